#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

namespace pylon {

class CompanionState;

// The snapshot written as "info.json" into a diagnostic report. Absent optionals are left out of
// the JSON, not written as null.
struct DiagnosticInfo {
    struct PylonInfo {
        QString menubarVersion;
        std::optional<QString> companionVersion; // absent without a status response
        std::optional<QString> remoteScriptVersion;
        QString mode; // "development" or "production"
        QString bundleId;
        bool operator==(const PylonInfo&) const = default;
    };

    struct SystemInfo {
        QString macOS;        // the operating system's version as major.minor.patch
        QString architecture; // the machine hardware name, e.g. x86_64
        bool operator==(const SystemInfo&) const = default;
    };

    // Every optional is absent without a status response.
    struct StatusInfo {
        bool companionRunning = false;
        qint64 companionPort = 0;
        QString launchdStatus;
        QString launchdLabel;
        bool abletonConnected = false;
        std::optional<QString> abletonCondition;
        std::optional<QString> bonjourCondition;
        std::optional<QString> bonjourError;
        std::optional<bool> accessibilityPermission;
        std::optional<bool> automationPermission;
        std::optional<bool> keyboardAddonLoaded;
        std::optional<qint64> clientCount;
        QString companionState;
        bool operator==(const StatusInfo&) const = default;
    };

    struct AbletonVersionInfo {
        QString displayName;
        bool isRemoteScriptInstalled = false;
        std::optional<QString> userLibraryPath; // the home folder written as "~"
        std::optional<QString> winePrefix; // the Wine prefix it lives in, "~" as above; absent for the macOS layout
        bool operator==(const AbletonVersionInfo&) const = default;
    };

    struct AbletonInfo {
        QList<AbletonVersionInfo> detectedVersions;
        std::optional<QString> connectedVersion;
        std::optional<QString> connectedDisplayName;
        QStringList winePrefixes; // the Wine prefixes searched for Live, "~" for the home; left out when none
        bool operator==(const AbletonInfo&) const = default;
    };

    QString timestamp; // ISO-8601 in UTC without fractional seconds, e.g. 2025-03-04T09:15:02Z
    PylonInfo pylon;
    SystemInfo system;
    StatusInfo status;
    AbletonInfo ableton;
    bool operator==(const DiagnosticInfo&) const = default;
};

QJsonObject toJson(const DiagnosticInfo& info);
// "info.json": pretty-printed, keys sorted, every "/" written as "\/".
QByteArray encodeDiagnosticInfo(const DiagnosticInfo& info);
// "system-state.txt": the snapshot as readable lines, ending with a line feed.
QString systemStateText(const DiagnosticInfo& info);

// The service manager's agent status (ServiceManager::Status) as the report names it.
QString launchdStatusLabel(qint64 serviceStatus);
// The companion state as the report names it; an error state is named by its error.
QString companionStateLabel(const CompanionState& state);

} // namespace pylon
