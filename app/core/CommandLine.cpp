#include "core/CommandLine.h"

#include "foundation/BuildEnvironment.h"

#include <QCommandLineParser>

namespace pylon {

namespace {

// The options Pylon knows, in the order the help lists them.
struct Options {
    QCommandLineOption help{{QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("Show this help and exit.")};
    QCommandLineOption version{{QStringLiteral("v"), QStringLiteral("version")},
                               QStringLiteral("Print the version and build mode and exit.")};
    QCommandLineOption report{QStringLiteral("save-diagnostic-report"),
                              QStringLiteral("Save a diagnostic report at PATH (a file or a folder), print "
                                             "where it was saved and exit."),
                              QStringLiteral("PATH")};
    QCommandLineOption addWinePrefix{QStringLiteral("add-wine-prefix"),
                                     QStringLiteral("Add the Wine prefix PATH (a folder holding drive_c) to those "
                                                    "searched for Live, print what was done and exit."),
                                     QStringLiteral("PATH")};
    QCommandLineOption resetOnboarding{QStringLiteral("resetOnboarding"),
                                       QStringLiteral("Show the first-run onboarding again.")};
    QCommandLineOption status{QStringLiteral("status"),
                              QStringLiteral("Fetch the companion's status once, print it and exit "
                                             "(0 when the companion answered, 1 otherwise).")};
    QCommandLineOption json{QStringLiteral("json"), QStringLiteral("With --status: also print the status document.")};
    QCommandLineOption headless{QStringLiteral("headless"),
                                QStringLiteral("Run without tray or window; print the status lines whenever "
                                               "they change, until interrupted.")};
    QCommandLineOption background{QStringLiteral("background"),
                                  QStringLiteral("Start with the tray item only, without raising a window (as "
                                                 "at login).")};

    void addTo(QCommandLineParser& parser) const {
        for (const QCommandLineOption* option : {&help, &version, &report, &addWinePrefix, &resetOnboarding, &status, &json, &headless,
                                                  &background})
            parser.addOption(*option);
        for (QCommandLineOption option : qtOptions()) {
            option.setFlags(QCommandLineOption::HiddenFromHelp);
            parser.addOption(option);
        }
    }

    // The options every Qt program with a window takes (-platform offscreen, -style Fusion, ...):
    // the windowed program's QApplication takes them out of the arguments; elsewhere they are let
    // through and have no effect.
    static QList<QCommandLineOption> qtOptions() {
        QList<QCommandLineOption> options;
        for (const char* name : {"platform", "platformpluginpath", "platformtheme", "plugin", "qwindowgeometry",
                                 "qwindowicon", "qwindowtitle", "display", "geometry", "style", "stylesheet",
                                 "session", "qmljsdebugger"})
            options << QCommandLineOption(QString::fromLatin1(name), QString(), QStringLiteral("value"));
        for (const char* name : {"reverse", "widgetcount", "nograb", "dograb", "sync"})
            options << QCommandLineOption(QString::fromLatin1(name));
        return options;
    }
};

// Why the parsed arguments make no command line; nothing when they do.
std::optional<QString> refusal(const QCommandLineParser& parser, const Options& options) {
    // One URL of the application's scheme may follow, as the desktop passes it to a URL handler.
    const QStringList positional = parser.positionalArguments();
    if (positional.size() > 1 || (positional.size() == 1 && !positional.constFirst().contains(QLatin1Char(':'))))
        return QStringLiteral("Unexpected argument: '%1'.").arg(positional.constLast());
    if (parser.isSet(options.json) && !parser.isSet(options.status))
        return QStringLiteral("--json only goes with --status.");
    if (parser.isSet(options.background) &&
        (parser.isSet(options.status) || parser.isSet(options.headless) || parser.isSet(options.report) ||
         parser.isSet(options.addWinePrefix)))
        return QStringLiteral("--background only goes with starting the application.");
    if (int(parser.isSet(options.status)) + int(parser.isSet(options.headless)) + int(parser.isSet(options.report)) +
            int(parser.isSet(options.addWinePrefix)) >
        1)
        return QStringLiteral("Choose one of --status, --headless, --save-diagnostic-report and --add-wine-prefix.");
    return std::nullopt;
}

} // namespace

CommandLine parseCommandLine(const QStringList& arguments) {
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Pylon keeps the Pylon Companion running and shows its state."));
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.addPositionalArgument(QStringLiteral("url"), QStringLiteral("A URL of the application's scheme to act on."),
                                 QStringLiteral("[url]"));
    const Options options;
    options.addTo(parser);

    CommandLine result;
    result.helpText = parser.helpText();
    if (!parser.parse(arguments)) {
        result.action = CommandLine::Action::error;
        result.errorText = parser.errorText();
        return result;
    }
    if (const std::optional<QString> error = refusal(parser, options)) {
        result.action = CommandLine::Action::error;
        result.errorText = *error;
        return result;
    }
    if (!parser.positionalArguments().isEmpty())
        result.url = parser.positionalArguments().constFirst();
    if (parser.isSet(options.help))
        result.action = CommandLine::Action::help;
    else if (parser.isSet(options.version))
        result.action = CommandLine::Action::version;
    else if (parser.isSet(options.status))
        result.action = CommandLine::Action::status;
    else if (parser.isSet(options.headless))
        result.action = CommandLine::Action::headless;
    else if (parser.isSet(options.report)) {
        result.action = CommandLine::Action::saveDiagnosticReport;
        result.reportPath = parser.value(options.report);
    } else if (parser.isSet(options.addWinePrefix)) {
        result.action = CommandLine::Action::addWinePrefix;
        result.winePrefixPath = parser.value(options.addWinePrefix);
    }
    result.json = parser.isSet(options.json);
    result.background = parser.isSet(options.background);
    result.platformGiven = parser.isSet(QStringLiteral("platform"));
    return result;
}

QString versionLine(const BuildEnvironment& environment) {
    return QStringLiteral("%1 %2 (%3)").arg(environment.appDisplayName(), environment.appVersion(), environment.modeName());
}

} // namespace pylon
