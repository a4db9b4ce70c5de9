#include "core/CommandLine.h"

#include "core/BuildEnvironment.h"

#include <QCommandLineParser>

namespace pylon {

CommandLine parseCommandLine(const QStringList& arguments) {
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Pylon keeps the Pylon Companion running and shows its state."));
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Show this help and exit."));
    const QCommandLineOption version({QStringLiteral("v"), QStringLiteral("version")},
                                     QStringLiteral("Print the version and build mode and exit."));
    parser.addOption(help);
    parser.addOption(version);

    CommandLine result;
    result.helpText = parser.helpText();
    if (!parser.parse(arguments)) {
        result.action = CommandLine::Action::error;
        result.errorText = parser.errorText();
        return result;
    }
    if (!parser.positionalArguments().isEmpty()) {
        result.action = CommandLine::Action::error;
        result.errorText = QStringLiteral("Unexpected argument: '%1'.").arg(parser.positionalArguments().constFirst());
        return result;
    }
    if (parser.isSet(help))
        result.action = CommandLine::Action::help;
    else if (parser.isSet(version))
        result.action = CommandLine::Action::version;
    return result;
}

QString versionLine(const BuildEnvironment& environment) {
    return QStringLiteral("%1 %2 (%3)").arg(environment.appDisplayName(), environment.appVersion(), environment.modeName());
}

} // namespace pylon
