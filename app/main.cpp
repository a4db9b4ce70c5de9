#include "core/AppServices.h"
#include "foundation/BuildEnvironment.h"
#include "core/CommandLine.h"
#include "core/HeadlessMode.h"
#include "core/PylonController.h"
#include "core/SingleInstance.h"
#include "core/UrlHandler.h"
#include "core/Process.h"
#include "ui/shell/PylonApp.h"

#include <QApplication>
#include <QTextStream>
#include <QTimer>
#include <functional>

using namespace pylon;

namespace {

// Runs one job of the controller to its end in the event loop and returns its exit code.
// Not a coroutine; clang-tidy 16 counts the coroutine lambda inside.
// NOLINTNEXTLINE(cppcoreguidelines-avoid-reference-coroutine-parameters)
int runOnce(const std::function<QCoro::Task<int>(PylonController&)>& job) {
    AppServices services;
    PylonController controller(services.controllerContext());
    int exitCode = 1;
    QTimer::singleShot(0, [&] {
        // The locals of runOnce outlive the job: the event loop runs until the job quits it.
        // NOLINTNEXTLINE(cppcoreguidelines-avoid-reference-coroutine-parameters)
        [](PylonController& c, const std::function<QCoro::Task<int>(PylonController&)>& j, int& code) -> QCoro::Task<> {
            code = co_await j(c);
            QCoreApplication::quit();
        }(controller, job, exitCode);
    });
    QCoreApplication::exec();
    return exitCode;
}

// Becomes the running instance of this mode, or hands `url` (empty: "come forward") to the one
// that runs. Returns false when this process should end.
bool becomeRunningInstance(SingleInstance& instance, const QString& url) {
    if (instance.listen())
        return true;
    if (!instance.sendToRunningInstance(url))
        QTextStream(stderr) << "Pylon: another instance seems to run but does not answer.\n";
    return false;
}

int runHeadless(const QString& url) {
    const BuildEnvironment& environment = process::environment();
    SingleInstance instance(environment.bundleIdentifier());
    if (!becomeRunningInstance(instance, url))
        return 0;
    AppServices services;
    PylonController controller(services.controllerContext());
    // Without a window there is no one to confirm an uninstall: it is refused, and said so.
    auto onURL = [&](const QString& text) {
        handleURL(text, environment, process::loggers().menubar, [] {
            QTextStream(stderr) << "Pylon: uninstalling needs the confirmation of the windowed application; "
                                   "run Pylon without --headless.\n";
        });
    };
    QObject::connect(&instance, &SingleInstance::messageReceived, &controller, onURL);
    if (!url.isEmpty())
        QTimer::singleShot(0, &controller, [&] { onURL(url); });
    return HeadlessMode::runUntilTerminated(controller);
}

int runApplication(const QStringList& arguments, const QString& url) {
    const BuildEnvironment& environment = process::environment();
    SingleInstance instance(environment.bundleIdentifier());
    if (!becomeRunningInstance(instance, url))
        return 0;
    AppServices services;
    ui::PylonApp app(services, arguments);
    QObject::connect(&instance, &SingleInstance::messageReceived, &app, [&app](const QString& message) {
        if (message.isEmpty())
            app.activate();
        else
            app.handleURL(message);
    });
    app.show();
    if (!url.isEmpty())
        QTimer::singleShot(0, &app, [&app, url] { app.handleURL(url); });
    return QApplication::exec();
}

} // namespace

int main(int argc, char* argv[]) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const CommandLine commandLine = parseCommandLine(arguments);

    QTextStream out(stdout);
    switch (commandLine.action) {
    case CommandLine::Action::error:
        QTextStream(stderr) << "Pylon: " << commandLine.errorText << "\n\n" << commandLine.helpText;
        return 2;
    case CommandLine::Action::help:
        out << commandLine.helpText;
        return 0;
    case CommandLine::Action::version:
        out << versionLine(process::environment()) << Qt::endl;
        return 0;
    default:
        break;
    }

    int exitCode = 0;
    if (commandLine.action == CommandLine::Action::run) {
        QApplication app(argc, argv);
        QApplication::setApplicationName(process::environment().appDisplayName());
        QApplication::setApplicationVersion(process::environment().appVersion());
        exitCode = runApplication(arguments, commandLine.url);
    } else {
        QCoreApplication app(argc, argv);
        QCoreApplication::setApplicationName(process::environment().appDisplayName());
        QCoreApplication::setApplicationVersion(process::environment().appVersion());
        switch (commandLine.action) {
        case CommandLine::Action::status:
            exitCode = runOnce([&](PylonController& c) { return HeadlessMode::printStatusOnce(c, commandLine.json); });
            break;
        case CommandLine::Action::saveDiagnosticReport:
            exitCode = runOnce(
                [&](PylonController& c) { return HeadlessMode::saveDiagnosticReport(c, commandLine.reportPath); });
            break;
        case CommandLine::Action::headless:
            exitCode = runHeadless(commandLine.url);
            break;
        default:
            break;
        }
    }
    process::flushLog();
    return exitCode;
}
