#include "core/AppServices.h"
#include "core/BuildEnvironment.h"
#include "core/CommandLine.h"
#include "core/HeadlessMode.h"
#include "core/PylonController.h"
#include "diagnostics/FileLogger.h"

#include <QCoreApplication>
#include <QTextStream>
#include <QTimer>
#include <functional>

using namespace pylon;

namespace {

// Runs one job of the controller to its end in the event loop and returns its exit code.
int runOnce(const std::function<QCoro::Task<int>(PylonController&)>& job) {
    AppServices services;
    PylonController controller(services.controllerContext());
    int exitCode = 1;
    QTimer::singleShot(0, [&] {
        [](PylonController& c, const std::function<QCoro::Task<int>(PylonController&)>& j, int& code) -> QCoro::Task<> {
            code = co_await j(c);
            QCoreApplication::quit();
        }(controller, job, exitCode);
    });
    QCoreApplication::exec();
    return exitCode;
}

int runHeadless() {
    AppServices services;
    PylonController controller(services.controllerContext());
    return HeadlessMode::runUntilTerminated(controller);
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const BuildEnvironment& environment = BuildEnvironment::current();
    QCoreApplication::setApplicationName(environment.appDisplayName());
    QCoreApplication::setApplicationVersion(environment.appVersion());

    QTextStream out(stdout);
    const CommandLine commandLine = parseCommandLine(QCoreApplication::arguments());
    int exitCode = 0;
    switch (commandLine.action) {
    case CommandLine::Action::error:
        QTextStream(stderr) << "Pylon: " << commandLine.errorText << "\n\n" << commandLine.helpText;
        return 2;
    case CommandLine::Action::help:
        out << commandLine.helpText;
        return 0;
    case CommandLine::Action::version:
    case CommandLine::Action::run:
        out << versionLine(environment) << Qt::endl;
        return 0;
    case CommandLine::Action::status:
        exitCode = runOnce([&](PylonController& c) { return HeadlessMode::printStatusOnce(c, commandLine.json); });
        break;
    case CommandLine::Action::headless:
        exitCode = runHeadless();
        break;
    case CommandLine::Action::saveDiagnosticReport:
        exitCode = runOnce(
            [&](PylonController& c) { return HeadlessMode::saveDiagnosticReport(c, commandLine.reportPath); });
        break;
    }
    FileLogger::flushShared();
    return exitCode;
}
