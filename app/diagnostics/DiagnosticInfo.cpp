#include "diagnostics/DiagnosticInfo.h"

#include "diagnostics/PrettyJson.h"
#include "platform/ServiceManager.h"
#include "status/CompanionState.h"

#include <QJsonArray>

namespace pylon {

namespace {

template <typename T> void insertIfPresent(QJsonObject& object, const char* key, const std::optional<T>& value) {
    if (value)
        object.insert(QLatin1String(key), *value);
}

QJsonObject toJson(const DiagnosticInfo::PylonInfo& pylon) {
    QJsonObject object{{QStringLiteral("menubarVersion"), pylon.menubarVersion},
                       {QStringLiteral("mode"), pylon.mode},
                       {QStringLiteral("bundleId"), pylon.bundleId}};
    insertIfPresent(object, "companionVersion", pylon.companionVersion);
    insertIfPresent(object, "remoteScriptVersion", pylon.remoteScriptVersion);
    return object;
}

QJsonObject toJson(const DiagnosticInfo::StatusInfo& status) {
    QJsonObject object{{QStringLiteral("companionRunning"), status.companionRunning},
                       {QStringLiteral("companionPort"), status.companionPort},
                       {QStringLiteral("launchdStatus"), status.launchdStatus},
                       {QStringLiteral("launchdLabel"), status.launchdLabel},
                       {QStringLiteral("abletonConnected"), status.abletonConnected},
                       {QStringLiteral("companionState"), status.companionState}};
    insertIfPresent(object, "abletonCondition", status.abletonCondition);
    insertIfPresent(object, "bonjourCondition", status.bonjourCondition);
    insertIfPresent(object, "bonjourError", status.bonjourError);
    insertIfPresent(object, "accessibilityPermission", status.accessibilityPermission);
    insertIfPresent(object, "automationPermission", status.automationPermission);
    insertIfPresent(object, "keyboardAddonLoaded", status.keyboardAddonLoaded);
    insertIfPresent(object, "clientCount", status.clientCount);
    return object;
}

QJsonObject toJson(const DiagnosticInfo::AbletonInfo& ableton) {
    QJsonArray versions;
    for (const auto& version : ableton.detectedVersions) {
        QJsonObject entry{{QStringLiteral("displayName"), version.displayName},
                          {QStringLiteral("isRemoteScriptInstalled"), version.isRemoteScriptInstalled}};
        insertIfPresent(entry, "userLibraryPath", version.userLibraryPath);
        insertIfPresent(entry, "winePrefix", version.winePrefix);
        versions.append(entry);
    }
    QJsonObject object{{QStringLiteral("detectedVersions"), versions}};
    if (!ableton.winePrefixes.isEmpty())
        object.insert(QStringLiteral("winePrefixes"), QJsonArray::fromStringList(ableton.winePrefixes));
    insertIfPresent(object, "connectedVersion", ableton.connectedVersion);
    insertIfPresent(object, "connectedDisplayName", ableton.connectedDisplayName);
    return object;
}

QString yesNo(bool value) {
    return value ? QStringLiteral("Yes") : QStringLiteral("No");
}

QString granted(bool value) {
    return value ? QStringLiteral("Granted") : QStringLiteral("Not granted");
}

// The "## Ableton" section: the connected Live, the versions found and the Wine prefixes looked in.
QStringList abletonSection(const DiagnosticInfo::AbletonInfo& a) {
    QStringList lines = {QStringLiteral("## Ableton")};
    if (a.connectedVersion)
        lines << QStringLiteral("Connected: Live ") + *a.connectedVersion;
    if (a.connectedDisplayName)
        lines << QStringLiteral("Display Name: ") + *a.connectedDisplayName;
    lines << QStringLiteral("Detected Versions:");
    for (const auto& version : a.detectedVersions) {
        lines << QStringLiteral("  - ") + version.displayName + QLatin1Char(' ') +
                     (version.isRemoteScriptInstalled ? QStringLiteral("[Script Installed]")
                                                      : QStringLiteral("[Script Not Installed]"));
        if (version.userLibraryPath)
            lines << QStringLiteral("    Library: ") + *version.userLibraryPath;
        if (version.winePrefix)
            lines << QStringLiteral("    Wine prefix: ") + *version.winePrefix;
    }
    if (a.detectedVersions.isEmpty())
        lines << QStringLiteral("  (none detected)");
    if (!a.winePrefixes.isEmpty()) {
        lines << QStringLiteral("Wine Prefixes Scanned:");
        for (const QString& prefix : a.winePrefixes)
            lines << QStringLiteral("  - ") + prefix;
    }
    return lines;
}

} // namespace

QJsonObject toJson(const DiagnosticInfo& info) {
    return {{QStringLiteral("timestamp"), info.timestamp},
            {QStringLiteral("pylon"), toJson(info.pylon)},
            {QStringLiteral("system"), QJsonObject{{QStringLiteral("macOS"), info.system.macOS},
                                                   {QStringLiteral("architecture"), info.system.architecture}}},
            {QStringLiteral("status"), toJson(info.status)},
            {QStringLiteral("ableton"), toJson(info.ableton)}};
}

QByteArray encodeDiagnosticInfo(const DiagnosticInfo& info) {
    return prettyJson(toJson(info));
}

QString systemStateText(const DiagnosticInfo& info) {
    const auto& p = info.pylon;
    const auto& s = info.status;
    const QString title = QStringLiteral("Pylon Diagnostic Report");
    QStringList lines = {
        title,
        QString(title.size(), QLatin1Char('=')),
        QStringLiteral("Generated: ") + info.timestamp,
        QString(),
        QStringLiteral("## Pylon"),
        QStringLiteral("Menubar Version: ") + p.menubarVersion,
        QStringLiteral("Companion Version: ") + p.companionVersion.value_or(QStringLiteral("not running")),
        QStringLiteral("Remote Script Version: ") + p.remoteScriptVersion.value_or(QStringLiteral("unknown")),
        QStringLiteral("Mode: ") + p.mode,
        QStringLiteral("Bundle ID: ") + p.bundleId,
        QString(),
        QStringLiteral("## System"),
        QStringLiteral("macOS: ") + info.system.macOS,
        QStringLiteral("Architecture: ") + info.system.architecture,
        QString(),
        QStringLiteral("## Status"),
        QStringLiteral("Companion Running: ") + yesNo(s.companionRunning),
        QStringLiteral("Companion Port: ") + QString::number(s.companionPort),
        QStringLiteral("Companion State: ") + s.companionState,
        QStringLiteral("Launchd Status: ") + s.launchdStatus,
        QStringLiteral("Launchd Label: ") + s.launchdLabel,
    };
    if (s.abletonCondition)
        lines << QStringLiteral("Ableton Condition: ") + *s.abletonCondition;
    if (s.bonjourCondition)
        lines << QStringLiteral("Bonjour Condition: ") + *s.bonjourCondition;
    if (s.bonjourError)
        lines << QStringLiteral("Bonjour Error: ") + *s.bonjourError;
    if (s.accessibilityPermission)
        lines << QStringLiteral("Accessibility Permission: ") + granted(*s.accessibilityPermission);
    if (s.automationPermission)
        lines << QStringLiteral("Automation Permission: ") + granted(*s.automationPermission);
    if (s.keyboardAddonLoaded)
        lines << QStringLiteral("Keyboard Addon Loaded: ") + yesNo(*s.keyboardAddonLoaded);
    if (s.clientCount)
        lines << QStringLiteral("Connected Clients: ") + QString::number(*s.clientCount);

    lines << QString() << abletonSection(info.ableton);

    lines << QString() << QStringLiteral("## Log Files")
          << QStringLiteral("See attached pylon-menubar.log and pylon-companion.log") << QString();
    return lines.join(QLatin1Char('\n'));
}

QString launchdStatusLabel(qint64 serviceStatus) {
    return ServiceManager::statusName(serviceStatus).value_or(QStringLiteral("unknown"));
}

QString companionStateLabel(const CompanionState& state) {
    using Kind = CompanionState::Kind;
    switch (state.kind()) {
    case Kind::running:
        return QStringLiteral("Running");
    case Kind::startingUp:
        return QStringLiteral("Starting\u2026");
    case Kind::runningNeedsAccessibility:
    case Kind::runningNeedsAutomation:
    case Kind::runningNeedsBothPermissions:
        return QStringLiteral("Running (needs permissions)");
    case Kind::notRunning:
        return QStringLiteral("Not running");
    case Kind::requiresLoginItemApproval:
        return QStringLiteral("Needs login item approval");
    case Kind::error:
        return state.error() ? state.error()->name : QString();
    }
    return QString();
}

} // namespace pylon
