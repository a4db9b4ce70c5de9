// Decoding one status document, as each poll does (four times a second during start-up), beside
// its floor: Qt's JSON parser reading the same bytes into a QJsonDocument, which is where the
// decoder starts from. Encoding and rejecting a truncated document are beside the same kind of floor.
#include "BenchTable.h"
#include "status/StatusCodec.h"

#include <QJsonDocument>
#include <benchmark/benchmark.h>

namespace {

// A typical document: Live connected, one instance, two addresses, a session.
const QByteArray typicalDocument = R"({
  "ableton": {"applicationPath": "/Applications/Ableton Live 12 Suite.app", "bundleId": "com.ableton.live",
              "condition": "connected", "displayName": "Ableton Live 12 Suite", "oscLatencyMs": 3.4,
              "processId": 4242, "remoteScriptVersion": "1.0.0", "version": "12.1.5"},
  "bonjour": {"condition": "advertising"},
  "companion": {
    "abletonInstances": [{"applicationPath": "/Applications/Ableton Live 12 Suite.app",
                          "bundleId": "com.ableton.live", "displayName": "Ableton Live 12 Suite", "processId": 4242}],
    "clientCount": 1, "condition": "running",
    "host": {"addresses": ["192.168.1.20", "fe80::1c2b:3aff:fe4d:5e6f"], "hostname": "studio-mac.local"},
    "isAcceleratorAddonLoaded": true, "isAcceleratorAvailable": true,
    "permissions": {"accessibility": true, "automation": true},
    "sessionId": "6f1c1d3e-8a47-4bd8-9d43-1a2b3c4d5e6f", "version": "1.0.0"
  }
})";

void BM_DecodeTypicalStatus(benchmark::State& state) {
    for (auto _ : state) {
        auto status = pylon::decodeStatusResponse(typicalDocument);
        benchmark::DoNotOptimize(status);
    }
}
BENCHMARK(BM_DecodeTypicalStatus);

void BM_Floor_ParseTypicalStatus(benchmark::State& state) {
    for (auto _ : state) {
        auto document = QJsonDocument::fromJson(typicalDocument);
        benchmark::DoNotOptimize(document);
    }
}
BENCHMARK(BM_Floor_ParseTypicalStatus);

void BM_EncodeTypicalStatus(benchmark::State& state) {
    const auto status = pylon::decodeStatusResponse(typicalDocument);
    for (auto _ : state) {
        auto bytes = pylon::encodeStatusResponse(status);
        benchmark::DoNotOptimize(bytes);
    }
}
BENCHMARK(BM_EncodeTypicalStatus);

void BM_Floor_WriteTypicalStatus(benchmark::State& state) {
    const QJsonDocument document = QJsonDocument::fromJson(typicalDocument);
    for (auto _ : state) {
        auto bytes = document.toJson(QJsonDocument::Compact);
        benchmark::DoNotOptimize(bytes);
    }
}
BENCHMARK(BM_Floor_WriteTypicalStatus);

void BM_RejectMalformedStatus(benchmark::State& state) {
    const QByteArray truncated = typicalDocument.left(typicalDocument.size() / 2);
    for (auto _ : state) {
        auto status = pylon::tryDecodeStatusResponse(truncated);
        benchmark::DoNotOptimize(status);
    }
}
BENCHMARK(BM_RejectMalformedStatus);

void BM_Floor_ParseMalformedStatus(benchmark::State& state) {
    const QByteArray truncated = typicalDocument.left(typicalDocument.size() / 2);
    for (auto _ : state) {
        auto document = QJsonDocument::fromJson(truncated);
        benchmark::DoNotOptimize(document);
    }
}
BENCHMARK(BM_Floor_ParseMalformedStatus);

} // namespace

int main(int argc, char** argv) {
    using pylon::bench::Measure;
    return pylon::bench::runWithTable(argc, argv,
                                      {
                                          Measure{.name = "status decode, typical document",
                                                  .benchmark = "BM_DecodeTypicalStatus",
                                                  .floor = "BM_Floor_ParseTypicalStatus",
                                                  .maxValue = 20},
                                          Measure{.name = "status encode, typical document",
                                                  .benchmark = "BM_EncodeTypicalStatus",
                                                  .floor = "BM_Floor_WriteTypicalStatus"},
                                          Measure{.name = "status decode, truncated document",
                                                  .benchmark = "BM_RejectMalformedStatus",
                                                  .floor = "BM_Floor_ParseMalformedStatus"},
                                      });
}
