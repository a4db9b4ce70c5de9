#include "core/AppServices.h"
#include "foundation/BuildEnvironment.h"
#include "core/CommandLine.h"
#include "core/HeadlessMode.h"
#include "core/OrderlyQuit.h"
#include "core/PylonController.h"
#include "core/SingleInstance.h"
#include "core/UrlHandler.h"
#include "core/Process.h"
#include "platform/TerminationSignals.h"
#include "ui/shell/PylonApp.h"

#include <QApplication>
#include <QPointer>
#include <QTextStream>
#include <QTimer>
#include <functional>
#include <memory>
#include <optional>

using namespace pylon;

namespace {

using Job = std::function<QCoro::Task<int>(QPointer<PylonController>)>;

// Runs `job` on the controller and ends the event loop with its exit code. Everything is held by
// value; the controller through a QPointer, since it belongs to the caller.
QCoro::Task<> runJob(QPointer<PylonController> controller, Job job, std::shared_ptr<int> exitCode) {
    *exitCode = co_await job(controller);
    QCoreApplication::quit();
}

// Runs one job of the controller to its end in the event loop and returns its exit code.
int runOnce(Job job) {
    AppServices services;
    PylonController controller(services.controllerContext());
    const auto exitCode = std::make_shared<int>(1);
    QTimer::singleShot(0, &controller, [target = QPointer<PylonController>(&controller), job, exitCode] {
        runJob(target, job, exitCode);
    });
    QCoreApplication::exec();
    return *exitCode;
}

// Becomes the running instance of this mode, or hands `url` (empty: "come forward") to the one
// that runs. Returns the exit code when this process should end, nothing when it runs on.
std::optional<int> becomeRunningInstance(SingleInstance& instance, const QString& url) {
    if (instance.listen())
        return std::nullopt;
    if (!instance.failure().isEmpty()) {
        QTextStream(stderr) << "Pylon: cannot start: " << instance.failure() << ".\n";
        return 1;
    }
    if (!instance.sendToRunningInstance(url)) {
        QTextStream(stderr) << "Pylon: another instance seems to run but does not answer.\n";
        return 1;
    }
    return 0;
}

int runHeadless(const QString& url) {
    const BuildEnvironment& environment = process::environment();
    SingleInstance instance(environment.bundleIdentifier());
    if (const std::optional<int> exitCode = becomeRunningInstance(instance, url))
        return *exitCode;
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
    // At logout, or on `kill`, the windowed program quits in order as --headless does; from the
    // moment the instance socket exists.
    const auto termination = quitOnTerminationSignals(process::loggers().menubar);
    SingleInstance instance(environment.bundleIdentifier());
    if (const std::optional<int> exitCode = becomeRunningInstance(instance, url))
        return *exitCode;
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
        // The bundle identifier names the desktop entry: as the application's name it is the class of
        // WM_CLASS on X11, and as the desktop file name the app_id on Wayland, so docks match the
        // window to its entry. Every window sets its own title (an application display name would be
        // appended to each).
        QApplication::setApplicationName(process::environment().bundleIdentifier());
        QApplication::setApplicationVersion(process::environment().appVersion());
        QGuiApplication::setDesktopFileName(process::environment().bundleIdentifier());
        exitCode = runApplication(arguments, commandLine.url);
    } else {
        QCoreApplication app(argc, argv);
        QCoreApplication::setApplicationName(process::environment().appDisplayName());
        QCoreApplication::setApplicationVersion(process::environment().appVersion());
        switch (commandLine.action) {
        case CommandLine::Action::status:
            exitCode = runOnce([json = commandLine.json](QPointer<PylonController> controller) {
                return HeadlessMode::printStatusOnce(controller, json);
            });
            break;
        case CommandLine::Action::saveDiagnosticReport:
            exitCode = runOnce([path = commandLine.reportPath](QPointer<PylonController> controller) {
                return HeadlessMode::saveDiagnosticReport(controller, path);
            });
            break;
        case CommandLine::Action::headless:
            exitCode = runHeadless(commandLine.url);
            break;
        case CommandLine::Action::addWinePrefix:
            exitCode = HeadlessMode::addWinePrefix(commandLine.winePrefixPath);
            break;
        default:
            break;
        }
    }
    process::flushLog();
    return exitCode;
}
