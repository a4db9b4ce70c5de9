#include "ui/setup/VersionRowPresenter.h"

namespace pylon::ui {

QString shortName(const AbletonVersion& version) {
    const QString name = QString(version.displayName).remove(QStringLiteral(" User Library"));
    return version.placeLabel ? name + QStringLiteral(" (") + *version.placeLabel + QLatin1Char(')') : name;
}

QString versionNumber(const AbletonVersion& version) {
    return QString(version.displayName).remove(QStringLiteral(" User Library")).remove(QStringLiteral("Live "));
}

RowHeader rowHeader(const AbletonVersion& version, const StatusFacts& facts) {
    const QString name = shortName(version);
    if (!version.userLibraryPath)
        return {Symbol::exclamationmarkTriangleFill, Tint::orange, name + QStringLiteral(" User Library not found")};

    if (facts.liveVersion && facts.liveVersion->startsWith(versionNumber(version)) && facts.liveCondition) {
        const QString live = QStringLiteral("Live ") + *facts.liveVersion;
        switch (*facts.liveCondition) {
        case AbletonCondition::connected:
            return {Symbol::checkmarkCircleFill, Tint::green, live + QStringLiteral(" connected")};
        case AbletonCondition::running:
        case AbletonCondition::busy:
        case AbletonCondition::unresponsive:
            return {Symbol::checkmarkCircleFill, Tint::green, live + QStringLiteral(" running")};
        case AbletonCondition::notRunning:
            break;
        }
    }

    if (version.isRemoteScriptInstalled)
        return {Symbol::checkmarkCircleFill, Tint::secondary, name + QStringLiteral(" control script installed"), true};
    return {Symbol::circleDashed, Tint::secondary, name + QStringLiteral(" control script not installed"), true};
}

bool rowStartsExpanded(const AbletonVersion& version) {
    return !(version.userLibraryPath && version.isRemoteScriptInstalled);
}

RowContent rowContent(const AbletonVersion& version, bool installing) {
    const QString name = shortName(version);
    RowContent content;
    if (version.userLibraryPath) {
        if (!version.isRemoteScriptInstalled)
            content.explanation = QStringLiteral("The Pylon control script for ") + name +
                                  QStringLiteral(" must be installed to use Pylon.");
        const QString install =
            version.isRemoteScriptInstalled ? QStringLiteral("Reinstall for ") : QStringLiteral("Install for ");
        content.buttons = {
            {install + name, SetupOperation::installRemoteScriptFromBundle, false, !installing},
            {QStringLiteral("Open ") + name + QStringLiteral(" User Library"), SetupOperation::openRemoteScriptsFolder},
        };
        return content;
    }
    const QString advice = QStringLiteral(" You may need to manually install the Pylon control script.");
    if (version.expectedUserLibraryPath) {
        content.explanation = QStringLiteral("Pylon couldn't find the ") + name +
                              QStringLiteral(" User Library at \"") + *version.expectedUserLibraryPath +
                              QStringLiteral("\".") + advice;
    } else {
        content.explanation =
            QStringLiteral("Pylon couldn't find the ") + name + QStringLiteral(" User Library.") + advice;
    }
    content.buttons = {{QStringLiteral("Open Control Script Folder"), SetupOperation::showStagedRemoteScript}};
    return content;
}

NoLiveNotice noLiveNotice() {
    return {Symbol::exclamationmarkTriangleFill, Tint::orange, QStringLiteral("Ableton Live not found"),
            QStringLiteral("Add Wine Prefix\u2026"), QStringLiteral("Add Wine Prefix")};
}

DevModeContent devModeContent() {
    return {QStringLiteral("Dev Mode"),
            {{QStringLiteral("Restart"), SetupOperation::restartCompanion},
             {QStringLiteral("View Log"), SetupOperation::openLogFile}}};
}

} // namespace pylon::ui
