#include "core/CommandLine.h"

#include "foundation/BuildEnvironment.h"

#include <QCommandLineParser>

namespace pylon {

CommandLine parseCommandLine(const QStringList& arguments) {
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Pylon keeps the Pylon Companion running and shows its state."));
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.addPositionalArgument(QStringLiteral("url"), QStringLiteral("A URL of the application's scheme to act on."),
                                 QStringLiteral("[url]"));
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Show this help and exit."));
    const QCommandLineOption version({QStringLiteral("v"), QStringLiteral("version")},
                                     QStringLiteral("Print the version and build mode and exit."));
    const QCommandLineOption status(QStringLiteral("status"),
                                    QStringLiteral("Fetch the companion's status once, print it and exit "
                                                   "(0 when the companion answered, 1 otherwise)."));
    const QCommandLineOption json(QStringLiteral("json"), QStringLiteral("With --status: also print the status document."));
    const QCommandLineOption headless(QStringLiteral("headless"),
                                      QStringLiteral("Run without tray or window; print the status lines whenever "
                                                     "they change, until interrupted."));
    const QCommandLineOption report(QStringLiteral("save-diagnostic-report"),
                                    QStringLiteral("Save a diagnostic report at PATH (a file or a folder), print "
                                                   "where it was saved and exit."),
                                    QStringLiteral("PATH"));
    const QCommandLineOption addWinePrefix(QStringLiteral("add-wine-prefix"),
                                           QStringLiteral("Add the Wine prefix PATH (a folder holding drive_c) to "
                                                          "those searched for Live, print what was done and exit."),
                                           QStringLiteral("PATH"));
    const QCommandLineOption resetOnboarding(QStringLiteral("resetOnboarding"),
                                             QStringLiteral("Show the first-run onboarding again."));
    parser.addOption(help);
    parser.addOption(version);
    parser.addOption(report);
    parser.addOption(addWinePrefix);
    parser.addOption(resetOnboarding);
    parser.addOption(status);
    parser.addOption(json);
    parser.addOption(headless);

    CommandLine result;
    result.helpText = parser.helpText();
    if (!parser.parse(arguments)) {
        result.action = CommandLine::Action::error;
        result.errorText = parser.errorText();
        return result;
    }
    // One URL of the application's scheme may follow, as the desktop passes it to a URL handler.
    const QStringList positional = parser.positionalArguments();
    if (positional.size() > 1 || (positional.size() == 1 && !positional.constFirst().contains(QLatin1Char(':')))) {
        result.action = CommandLine::Action::error;
        result.errorText = QStringLiteral("Unexpected argument: '%1'.").arg(positional.constLast());
        return result;
    }
    if (!positional.isEmpty())
        result.url = positional.constFirst();
    if (parser.isSet(json) && !parser.isSet(status)) {
        result.action = CommandLine::Action::error;
        result.errorText = QStringLiteral("--json only goes with --status.");
        return result;
    }
    if (int(parser.isSet(status)) + int(parser.isSet(headless)) + int(parser.isSet(report)) +
            int(parser.isSet(addWinePrefix)) >
        1) {
        result.action = CommandLine::Action::error;
        result.errorText =
            QStringLiteral("Choose one of --status, --headless, --save-diagnostic-report and --add-wine-prefix.");
        return result;
    }
    if (parser.isSet(help))
        result.action = CommandLine::Action::help;
    else if (parser.isSet(version))
        result.action = CommandLine::Action::version;
    else if (parser.isSet(status))
        result.action = CommandLine::Action::status;
    else if (parser.isSet(headless))
        result.action = CommandLine::Action::headless;
    else if (parser.isSet(report)) {
        result.action = CommandLine::Action::saveDiagnosticReport;
        result.reportPath = parser.value(report);
    } else if (parser.isSet(addWinePrefix)) {
        result.action = CommandLine::Action::addWinePrefix;
        result.winePrefixPath = parser.value(addWinePrefix);
    }
    result.json = parser.isSet(json);
    return result;
}

QString versionLine(const BuildEnvironment& environment) {
    return QStringLiteral("%1 %2 (%3)").arg(environment.appDisplayName(), environment.appVersion(), environment.modeName());
}

} // namespace pylon
