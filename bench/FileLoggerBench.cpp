// The caller's side of one FileLogger::log call: line building and hand-off to the writer thread.
// The disk write happens on the writer thread and is not part of the measured time. The system-log
// sink goes to a message handler that drops messages, so the terminal is not what is measured.
#include "diagnostics/FileLogger.h"
#include "diagnostics/LogWriter.h"

#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace {

void dropMessages(QtMsgType, const QMessageLogContext&, const QString&) {}

struct LoggerFixture {
    QTemporaryDir dir;
    pylon::LogWriter writer{dir.path() + QStringLiteral("/logs"), dir.path() + QStringLiteral("/logs/pylon-menubar.log")};
    pylon::FileLogger logger{QStringLiteral("menubar"), QStringLiteral("net.ostrand.Pylon"), writer};
};

void BM_LogInfo(benchmark::State& state) {
    qInstallMessageHandler(dropMessages);
    LoggerFixture fixture;
    const QString message = QStringLiteral("[Pylon][CompanionManager] ensureRunningViaLaunchd: status=enabled");
    for (auto _ : state)
        fixture.logger.info(message);
    fixture.writer.flush();
}
BENCHMARK(BM_LogInfo);

void BM_LogInfoWithMetadata(benchmark::State& state) {
    qInstallMessageHandler(dropMessages);
    LoggerFixture fixture;
    const QString message = QStringLiteral("Diagnostic report saved");
    const QVariantMap metadata{{QStringLiteral("path"), QStringLiteral("/home/user/Desktop/PylonDiagnostics.zip")}};
    for (auto _ : state)
        fixture.logger.info(message, metadata);
    fixture.writer.flush();
}
BENCHMARK(BM_LogInfoWithMetadata);

void BM_LogDebugDisabledSystemLog(benchmark::State& state) {
    qInstallMessageHandler(dropMessages);
    LoggerFixture fixture;
    const QString message = QStringLiteral("poll: status received");
    for (auto _ : state)
        fixture.logger.debug(message);
    fixture.writer.flush();
}
BENCHMARK(BM_LogDebugDisabledSystemLog);

} // namespace

BENCHMARK_MAIN();
