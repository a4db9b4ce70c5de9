#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

namespace pylon {

// The companion's run condition.
enum class CompanionCondition {
    running,
    stopped, // also what an unknown string decodes to
};

// The companion's Bonjour advertising on the local network.
enum class BonjourCondition {
    advertising,
    error,
    stopped, // also what an unknown string decodes to
};

// Live's reachability as the companion sees it.
enum class AbletonCondition {
    notRunning,   // Live is not running; also what an unknown string decodes to
    running,      // Live runs, but its control script does not talk to the companion
    connected,    // the control script is connected
    busy,         // a modal dialog holds Live
    unresponsive, // Live runs but does not answer
};

// Raw strings of the status document ("not_running", ...). The conversions from a string are
// strict: an unknown string gives no case.
QString rawValue(CompanionCondition condition);
QString rawValue(BonjourCondition condition);
QString rawValue(AbletonCondition condition);
std::optional<CompanionCondition> companionConditionFromRaw(const QString& raw);
std::optional<BonjourCondition> bonjourConditionFromRaw(const QString& raw);
std::optional<AbletonCondition> abletonConditionFromRaw(const QString& raw);

// One running Live process.
struct AbletonInstance {
    std::optional<QString> applicationPath;
    std::optional<QString> bundleId;
    std::optional<QString> displayName;
    qint64 processId = 0;
    bool operator==(const AbletonInstance&) const = default;
};

// The machine as the companion presents it to phones.
struct HostInfo {
    QStringList addresses;
    QString hostname;
    bool operator==(const HostInfo&) const = default;
};

struct CompanionPermissions {
    bool accessibility = false;
    bool automation = false;
    bool operator==(const CompanionPermissions&) const = default;
};

struct CompanionStatusResponse {
    QList<AbletonInstance> abletonInstances;
    qint64 clientCount = 0;
    CompanionCondition condition = CompanionCondition::stopped;
    HostInfo host;
    bool isAcceleratorAddonLoaded = false;
    bool isAcceleratorAvailable = false;
    CompanionPermissions permissions;
    std::optional<QString> sessionId;
    QString version;
    bool operator==(const CompanionStatusResponse&) const = default;
};

struct BonjourStatusResponse {
    BonjourCondition condition = BonjourCondition::stopped;
    std::optional<QString> error;
    bool operator==(const BonjourStatusResponse&) const = default;
};

struct AbletonStatusResponse {
    std::optional<QString> applicationPath;
    std::optional<QString> bundleId;
    AbletonCondition condition = AbletonCondition::notRunning;
    std::optional<QString> dialogName;
    std::optional<QString> displayName;
    std::optional<double> oscLatencyMs;
    std::optional<qint64> processId;
    std::optional<QString> remoteScriptVersion;
    std::optional<QString> version;
    bool operator==(const AbletonStatusResponse&) const = default;
};

// The companion's whole state, as one status document.
struct StatusResponse {
    AbletonStatusResponse ableton;
    BonjourStatusResponse bonjour;
    CompanionStatusResponse companion;
    bool operator==(const StatusResponse&) const = default;
};

} // namespace pylon
