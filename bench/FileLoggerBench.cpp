// The caller's side of one FileLogger::log call: line building and hand-off to the writer thread.
// The disk write happens on the writer thread and is not part of the measured time. The system-log
// sink goes to a message handler that drops messages, so the terminal is not what is measured.
#include "foundation/FileLogger.h"
#include "foundation/LogWriter.h"

#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace {

void dropMessages(QtMsgType, const QMessageLogContext&, const QString&) {}

struct LoggerFixture {
    QTemporaryDir dir;
    pylon::LogWriter writer{dir.path() + QStringLiteral("/logs"), dir.path() + QStringLiteral("/logs/pylon-menubar.log")};
    pylon::FileLogger logger{QStringLiteral("menubar"), QStringLiteral("net.ostrand.Pylon"), writer};
};

// Logs `message` once per iteration at `level`; the writer is drained after the timed loop.
void logRepeatedly(benchmark::State& state, pylon::LogLevel level, const QString& message,
                   const QVariantMap& metadata = {}) {
    qInstallMessageHandler(dropMessages);
    LoggerFixture fixture;
    for (auto _ : state)
        fixture.logger.log(level, message, metadata);
    fixture.writer.flush();
}

void BM_LogInfo(benchmark::State& state) {
    logRepeatedly(state, pylon::LogLevel::info,
                  QStringLiteral("[Pylon][CompanionManager] ensureRunningViaLaunchd: status=enabled"));
}
BENCHMARK(BM_LogInfo);

void BM_LogInfoWithMetadata(benchmark::State& state) {
    logRepeatedly(state, pylon::LogLevel::info, QStringLiteral("Diagnostic report saved"),
                  {{QStringLiteral("path"), QStringLiteral("/home/user/Desktop/PylonDiagnostics.zip")}});
}
BENCHMARK(BM_LogInfoWithMetadata);

void BM_LogDebugDisabledSystemLog(benchmark::State& state) {
    logRepeatedly(state, pylon::LogLevel::debug, QStringLiteral("poll: status received"));
}
BENCHMARK(BM_LogDebugDisabledSystemLog);

} // namespace

BENCHMARK_MAIN();
