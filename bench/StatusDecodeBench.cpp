// Decoding one status document, as each poll does (four times a second during start-up).
#include "status/StatusCodec.h"

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

void BM_EncodeTypicalStatus(benchmark::State& state) {
    const auto status = pylon::decodeStatusResponse(typicalDocument);
    for (auto _ : state) {
        auto bytes = pylon::encodeStatusResponse(status);
        benchmark::DoNotOptimize(bytes);
    }
}
BENCHMARK(BM_EncodeTypicalStatus);

void BM_RejectMalformedStatus(benchmark::State& state) {
    const QByteArray truncated = typicalDocument.left(typicalDocument.size() / 2);
    for (auto _ : state) {
        auto status = pylon::tryDecodeStatusResponse(truncated);
        benchmark::DoNotOptimize(status);
    }
}
BENCHMARK(BM_RejectMalformedStatus);

} // namespace

BENCHMARK_MAIN();
