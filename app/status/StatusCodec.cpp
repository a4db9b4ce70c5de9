#include "status/StatusCodec.h"

#include "status/StrictJson.h"

#include <QJsonDocument>
#include <QJsonParseError>

namespace pylon {

using namespace json;

namespace {

const QString kAbleton = QStringLiteral("ableton");
const QString kBonjour = QStringLiteral("bonjour");
const QString kCompanion = QStringLiteral("companion");
const QString kAbletonInstances = QStringLiteral("abletonInstances");
const QString kClientCount = QStringLiteral("clientCount");
const QString kCondition = QStringLiteral("condition");
const QString kHost = QStringLiteral("host");
const QString kAddonLoaded = QStringLiteral("isAcceleratorAddonLoaded");
const QString kAvailable = QStringLiteral("isAcceleratorAvailable");
const QString kPermissions = QStringLiteral("permissions");
const QString kSessionId = QStringLiteral("sessionId");
const QString kVersion = QStringLiteral("version");
const QString kApplicationPath = QStringLiteral("applicationPath");
const QString kBundleId = QStringLiteral("bundleId");
const QString kDisplayName = QStringLiteral("displayName");
const QString kProcessId = QStringLiteral("processId");
const QString kAddresses = QStringLiteral("addresses");
const QString kHostname = QStringLiteral("hostname");
const QString kAccessibility = QStringLiteral("accessibility");
const QString kAutomation = QStringLiteral("automation");
const QString kError = QStringLiteral("error");
const QString kDialogName = QStringLiteral("dialogName");
const QString kOscLatencyMs = QStringLiteral("oscLatencyMs");
const QString kRemoteScriptVersion = QStringLiteral("remoteScriptVersion");

// Lenient conditions: must be a string, unknown strings take the fall-back.
template <typename Enum, typename FromRaw>
Enum condition(const QJsonObject& object, FromRaw fromRaw, Enum fallback) {
    return fromRaw(requiredString(object, kCondition)).value_or(fallback);
}

AbletonInstance decodeInstance(const QJsonValue& value) {
    const QJsonObject object = asObject(value, kAbletonInstances);
    AbletonInstance instance;
    instance.applicationPath = optionalString(object, kApplicationPath);
    instance.bundleId = optionalString(object, kBundleId);
    instance.displayName = optionalString(object, kDisplayName);
    instance.processId = requiredInteger(object, kProcessId);
    return instance;
}

HostInfo decodeHost(const QJsonObject& object) {
    HostInfo host;
    for (const QJsonValue& address : requiredArray(object, kAddresses))
        host.addresses.append(asString(address, kAddresses));
    host.hostname = requiredString(object, kHostname);
    return host;
}

CompanionStatusResponse decodeCompanion(const QJsonObject& object) {
    CompanionStatusResponse companion;
    const QJsonArray instances = requiredArray(object, kAbletonInstances);
    companion.abletonInstances.reserve(instances.size());
    for (const QJsonValue& instance : instances)
        companion.abletonInstances.append(decodeInstance(instance));
    companion.clientCount = requiredInteger(object, kClientCount);
    companion.condition = condition(object, companionConditionFromRaw, CompanionCondition::stopped);
    companion.host = decodeHost(requiredObject(object, kHost));
    companion.isAcceleratorAddonLoaded = requiredBool(object, kAddonLoaded);
    companion.isAcceleratorAvailable = requiredBool(object, kAvailable);
    const QJsonObject permissions = requiredObject(object, kPermissions);
    companion.permissions.accessibility = requiredBool(permissions, kAccessibility);
    companion.permissions.automation = requiredBool(permissions, kAutomation);
    companion.sessionId = optionalString(object, kSessionId);
    companion.version = requiredString(object, kVersion);
    return companion;
}

BonjourStatusResponse decodeBonjour(const QJsonObject& object) {
    BonjourStatusResponse bonjour;
    bonjour.condition = condition(object, bonjourConditionFromRaw, BonjourCondition::stopped);
    bonjour.error = optionalString(object, kError);
    return bonjour;
}

AbletonStatusResponse decodeAbleton(const QJsonObject& object) {
    AbletonStatusResponse ableton;
    ableton.applicationPath = optionalString(object, kApplicationPath);
    ableton.bundleId = optionalString(object, kBundleId);
    ableton.condition = condition(object, abletonConditionFromRaw, AbletonCondition::notRunning);
    ableton.dialogName = optionalString(object, kDialogName);
    ableton.displayName = optionalString(object, kDisplayName);
    ableton.oscLatencyMs = optionalNumber(object, kOscLatencyMs);
    ableton.processId = optionalInteger(object, kProcessId);
    ableton.remoteScriptVersion = optionalString(object, kRemoteScriptVersion);
    ableton.version = optionalString(object, kVersion);
    return ableton;
}

QJsonObject encodeCompanion(const CompanionStatusResponse& companion) {
    QJsonArray instances;
    for (const AbletonInstance& instance : companion.abletonInstances) {
        QJsonObject object;
        insertIfPresent(object, kApplicationPath, instance.applicationPath);
        insertIfPresent(object, kBundleId, instance.bundleId);
        insertIfPresent(object, kDisplayName, instance.displayName);
        object.insert(kProcessId, instance.processId);
        instances.append(object);
    }
    QJsonObject object{
        {kAbletonInstances, instances},
        {kClientCount, companion.clientCount},
        {kCondition, rawValue(companion.condition)},
        {kHost, QJsonObject{{kAddresses, QJsonArray::fromStringList(companion.host.addresses)},
                            {kHostname, companion.host.hostname}}},
        {kAddonLoaded, companion.isAcceleratorAddonLoaded},
        {kAvailable, companion.isAcceleratorAvailable},
        {kPermissions, QJsonObject{{kAccessibility, companion.permissions.accessibility},
                                   {kAutomation, companion.permissions.automation}}},
        {kVersion, companion.version},
    };
    insertIfPresent(object, kSessionId, companion.sessionId);
    return object;
}

QJsonObject encodeAbleton(const AbletonStatusResponse& ableton) {
    QJsonObject object{{kCondition, rawValue(ableton.condition)}};
    insertIfPresent(object, kApplicationPath, ableton.applicationPath);
    insertIfPresent(object, kBundleId, ableton.bundleId);
    insertIfPresent(object, kDialogName, ableton.dialogName);
    insertIfPresent(object, kDisplayName, ableton.displayName);
    insertIfPresent(object, kOscLatencyMs, ableton.oscLatencyMs);
    insertIfPresent(object, kProcessId, ableton.processId);
    insertIfPresent(object, kRemoteScriptVersion, ableton.remoteScriptVersion);
    insertIfPresent(object, kVersion, ableton.version);
    return object;
}

} // namespace

StatusResponse decodeStatusResponse(const QByteArray& json) {
    // QJsonDocument accepts more than JSON; what it would let through is refused here.
    if (const std::optional<std::string> violation = strictJsonViolation(json))
        throw DecodingError("not valid JSON: " + *violation);
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(json, &parseError);
    if (parseError.error != QJsonParseError::NoError)
        throw DecodingError("not valid JSON: " + parseError.errorString().toStdString());
    if (!document.isObject())
        throw DecodingError("the status document is not a JSON object");
    const QJsonObject root = document.object();
    StatusResponse status;
    status.ableton = decodeAbleton(requiredObject(root, kAbleton));
    status.bonjour = decodeBonjour(requiredObject(root, kBonjour));
    status.companion = decodeCompanion(requiredObject(root, kCompanion));
    return status;
}

std::optional<StatusResponse> tryDecodeStatusResponse(const QByteArray& json, QString* error) {
    try {
        return decodeStatusResponse(json);
    } catch (const DecodingError& e) {
        if (error)
            *error = QString::fromStdString(e.what());
        return std::nullopt;
    }
}

QByteArray encodeStatusResponse(const StatusResponse& status) {
    QJsonObject bonjour{{kCondition, rawValue(status.bonjour.condition)}};
    insertIfPresent(bonjour, kError, status.bonjour.error);
    const QJsonObject root{
        {kAbleton, encodeAbleton(status.ableton)},
        {kBonjour, bonjour},
        {kCompanion, encodeCompanion(status.companion)},
    };
    return QJsonDocument(root).toJson(QJsonDocument::Compact);
}

} // namespace pylon
