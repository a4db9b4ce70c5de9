// Pylon-app: the whole application, started by Pylon in its place (same process, same arguments)
// for the window and for the modes that need the controller (--headless, --save-diagnostic-report,
// --add-wine-prefix).
#include "core/AppServices.h"
#include "core/CommandLine.h"
#include "core/EventLoopJob.h"
#include "core/HeadlessMode.h"
#include "core/OrderlyQuit.h"
#include "core/Process.h"
#include "core/PylonController.h"
#include "core/SingleInstance.h"
#include "core/UrlHandler.h"
#include "foundation/BuildEnvironment.h"
#include "platform/TerminationSignals.h"
#include "ui/shell/PylonApp.h"

#include <QApplication>
#include <QPointer>
#include <QTextStream>
#include <QTimer>
#include <cstdlib>
#include <functional>
#include <optional>

using namespace pylon;

namespace {

QtMessageHandler qtMessageHandler = nullptr; // Qt's own, while exitOnFatalMessage stands in

// While the window system is being reached, Qt's fatal errors (no display, no platform plugin)
// end the program with what went wrong instead of aborting it; other messages go on to Qt.
void exitOnFatalMessage(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (type != QtFatalMsg) {
        if (qtMessageHandler)
            qtMessageHandler(type, context, message);
        return;
    }
    QTextStream(stderr) << "Pylon: " << message << '\n'
                        << "Pylon: cannot open its window. Start Pylon from a desktop session, or use --headless "
                           "or --status without one.\n";
    std::_Exit(1);
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

using Job = std::function<QCoro::Task<int>(QPointer<PylonController>)>;

// Runs one job of the controller to its end in the event loop and returns its exit code. The job
// holds the controller through a QPointer, since it belongs to this call.
int runOnce(Job job) {
    AppServices services;
    PylonController controller(services.controllerContext());
    return runInEventLoop([target = QPointer<PylonController>(&controller), job] { return job(target); });
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

// The modes without a window.
int runCommandLineMode(const CommandLine& commandLine) {
    switch (commandLine.action) {
    case CommandLine::Action::saveDiagnosticReport:
        return runOnce([path = commandLine.reportPath](QPointer<PylonController> controller) {
            return HeadlessMode::saveDiagnosticReport(controller, path);
        });
    case CommandLine::Action::headless:
        return runHeadless(commandLine.url);
    case CommandLine::Action::addWinePrefix:
        return HeadlessMode::addWinePrefix(commandLine.winePrefixPath);
    default:
        QTextStream(stderr) << "Pylon-app: run Pylon for --status, --version and --help.\n";
        return 2;
    }
}

int runApplication(const CommandLine& commandLine, const QStringList& arguments) {
    const BuildEnvironment& environment = process::environment();
    // At logout, or on `kill`, the windowed program quits in order as --headless does; from the
    // moment the instance socket exists.
    const auto termination = quitOnTerminationSignals(process::loggers().menubar);
    SingleInstance instance(environment.bundleIdentifier());
    // A second start at login asks for nothing: the running instance stays as it is.
    const QString url = commandLine.url;
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
    if (commandLine.background)
        app.showInBackground();
    else
        app.show();
    if (!url.isEmpty())
        QTimer::singleShot(0, &app, [&app, url] { app.handleURL(url); });
    return QApplication::exec();
}

// Whether the arguments ask for the window (no mode of the command line), before any application
// object exists: the window needs QApplication, the modes must not (they run without a display).
bool commandLineAsksForTheWindow(int argc, char* argv[]) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    return parseCommandLine(arguments).action == CommandLine::Action::run;
}

} // namespace

int main(int argc, char* argv[]) {
    if (!commandLineAsksForTheWindow(argc, argv)) {
        QCoreApplication app(argc, argv);
        QCoreApplication::setApplicationName(process::environment().appDisplayName());
        QCoreApplication::setApplicationVersion(process::environment().appVersion());
        const int exitCode = runCommandLineMode(parseCommandLine(QCoreApplication::arguments()));
        process::flushLog();
        return exitCode;
    }
    qtMessageHandler = qInstallMessageHandler(exitOnFatalMessage);
    QApplication app(argc, argv);
    qInstallMessageHandler(qtMessageHandler);
    // The bundle identifier names the desktop entry: as the application's name it is the class of
    // WM_CLASS on X11, and as the desktop file name the app_id on Wayland, so docks match the
    // window to its entry. Every window sets its own title (an application display name would be
    // appended to each).
    QApplication::setApplicationName(process::environment().bundleIdentifier());
    QApplication::setApplicationVersion(process::environment().appVersion());
    QGuiApplication::setDesktopFileName(process::environment().bundleIdentifier());
    // Qt's own options are gone from the arguments now.
    const QStringList arguments = QApplication::arguments();
    const int exitCode = runApplication(parseCommandLine(arguments), arguments);
    process::flushLog();
    return exitCode;
}
