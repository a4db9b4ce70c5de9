// Pylon: answers --status, --version, --help and usage errors without loading the rest of the
// application, and hands every other start over to Pylon-app.
#include "core/CommandLine.h"
#include "core/Entry.h"
#include "core/EventLoopJob.h"
#include "core/Process.h"
#include "core/StatusCheck.h"
#include "foundation/BuildEnvironment.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QTextStream>
#include <cerrno>
#include <cstring>
#include <unistd.h>

using namespace pylon;

namespace {

// --status leaves nothing behind: no log file, no settings, no status cache.
int printStatus(bool json) {
    process::keepLogOutOfFiles();
    return runInEventLoop(
        [port = process::environment().companionPort(), json] { return printStatusOnce(port, json); });
}

// The window needs a display; without one it is said here, before any window library is loaded
// (Qt would abort).
bool hasDisplay(const CommandLine& commandLine) {
    return commandLine.platformGiven || qEnvironmentVariableIsSet("QT_QPA_PLATFORM") ||
           !qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

// Replaces this process with Pylon-app and the same arguments; returns only when that fails.
int startApplicationProgram(char* argv[]) {
    const QByteArray program = QFile::encodeName(entry::siblingProgram(entry::applicationProgramName));
    ::execv(program.constData(), argv);
    QTextStream(stderr) << "Pylon: cannot start " << QFile::decodeName(program) << ": "
                        << QString::fromLocal8Bit(std::strerror(errno)) << '\n';
    return 1;
}

} // namespace

int main(int argc, char* argv[]) {
    // The application object comes first: the help's usage line names the program.
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(process::environment().appDisplayName());
    QCoreApplication::setApplicationVersion(process::environment().appVersion());
    const CommandLine commandLine = parseCommandLine(QCoreApplication::arguments());
    const QString program =
        QFileInfo(QCoreApplication::arguments().value(0, QString::fromLatin1(entry::programName))).fileName();

    QTextStream out(stdout);
    QTextStream err(stderr);
    switch (commandLine.action) {
    case CommandLine::Action::error:
        err << program << ": " << commandLine.errorText << '\n'
            << "Try '" << program << " --help' for more information.\n";
        return 2;
    case CommandLine::Action::help:
        out << commandLine.helpText;
        return 0;
    case CommandLine::Action::version:
        out << versionLine(process::environment()) << Qt::endl;
        return 0;
    case CommandLine::Action::status: {
        const int exitCode = printStatus(commandLine.json);
        process::flushLog();
        return exitCode;
    }
    case CommandLine::Action::run:
        if (!hasDisplay(commandLine)) {
            err << program << ": no display to open the window on (DISPLAY and WAYLAND_DISPLAY are not set).\n"
                << "Start Pylon from a desktop session, or use --headless or --status without one.\n";
            return 1;
        }
        break;
    default:
        break;
    }
    return startApplicationProgram(argv);
}
