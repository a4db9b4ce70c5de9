#pragma once

#include <QString>
#include <QStringList>

namespace pylon {

class BuildEnvironment;

// What the command line asks the program to do.
struct CommandLine {
    enum class Action {
        run,                  // start normally: tray and main window
        headless,             // run the controller without tray or window, printing the status lines
        status,               // one status fetch, print the status lines, exit 0 if the companion answered
        saveDiagnosticReport, // save a diagnostic report at `reportPath`, print where, exit 0 or 1
        addWinePrefix,        // add `winePrefixPath` to the Wine prefixes searched for Live, print what was done
        version,              // print the version line and exit 0
        help,                 // print the options and exit 0
        error,                // print `errorText` and where help is, exit 2
    };
    Action action = Action::run;
    bool json = false; // with `status`: also print the status document
    bool background = false;    // with `run`: the tray item only, no window raised
    bool platformGiven = false; // Qt's -platform option names the window system
    QString reportPath; // with `saveDiagnosticReport`
    QString winePrefixPath; // with `addWinePrefix`
    QString url;        // a URL to act on (run, headless), as a URL handler is started
    QString errorText;
    QString helpText;
};

// Parses the program's arguments (arguments[0] is the program). The application object should exist,
// so that the help's "Usage:" line names the program.
CommandLine parseCommandLine(const QStringList& arguments);

// "Pylon 1.0.0-1 (production)": display name, version, mode.
QString versionLine(const BuildEnvironment& environment);

} // namespace pylon
