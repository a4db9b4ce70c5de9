#include "StatusSamples.h"

#include "status/StatusCodec.h"

#include <QJsonArray>
#include <QJsonDocument>

namespace pylon::test {

namespace {

QJsonObject parseObject(const char* text) {
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(text, &error);
    Q_ASSERT_X(error.error == QJsonParseError::NoError, "parseObject", qPrintable(error.errorString()));
    return document.object();
}

QJsonValue replaced(const QJsonValue& node, QStringList keys, const QJsonValue& value) {
    const QString key = keys.takeFirst();
    if (node.isArray()) {
        QJsonArray array = node.toArray();
        const qsizetype index = key.toLongLong();
        if (!keys.isEmpty())
            array[index] = replaced(array.at(index), keys, value);
        else if (value.isUndefined())
            array.removeAt(index);
        else
            array[index] = value;
        return array;
    }
    QJsonObject object = node.toObject();
    if (!keys.isEmpty())
        object.insert(key, replaced(object.value(key), keys, value));
    else if (value.isUndefined())
        object.remove(key);
    else
        object.insert(key, value);
    return object;
}

} // namespace

QJsonObject completeDocument() {
    return parseObject(R"({
        "ableton": {
            "applicationPath": "/Applications/Ableton Live 12 Suite.app",
            "bundleId": "com.ableton.live",
            "condition": "busy",
            "dialogName": "Preferences",
            "displayName": "Ableton Live 12 Suite",
            "oscLatencyMs": 3.25,
            "processId": 4242,
            "remoteScriptVersion": "1.4.0",
            "version": "12.1.5"
        },
        "bonjour": {"condition": "error", "error": "name conflict"},
        "companion": {
            "abletonInstances": [
                {"applicationPath": "/Applications/Ableton Live 12 Suite.app", "bundleId": "com.ableton.live",
                 "displayName": "Ableton Live 12 Suite", "processId": 4242},
                {"applicationPath": "/Applications/Ableton Live 11 Lite.app", "bundleId": "com.ableton.live11",
                 "displayName": "Ableton Live 11 Lite", "processId": 77}
            ],
            "clientCount": 2,
            "condition": "running",
            "host": {"addresses": ["192.168.1.20", "fe80::1c2b:3aff:fe4d:5e6f"], "hostname": "Studio-Mac.local"},
            "isAcceleratorAddonLoaded": true,
            "isAcceleratorAvailable": false,
            "permissions": {"accessibility": false, "automation": true},
            "sessionId": "5C1D0F2A-7E3B-4A8C-9D6E-1F2A3B4C5D6E",
            "version": "1.0.0-1"
        }
    })");
}

StatusResponse completeStatus() {
    StatusResponse status;
    status.ableton.applicationPath = QStringLiteral("/Applications/Ableton Live 12 Suite.app");
    status.ableton.bundleId = QStringLiteral("com.ableton.live");
    status.ableton.condition = AbletonCondition::busy;
    status.ableton.dialogName = QStringLiteral("Preferences");
    status.ableton.displayName = QStringLiteral("Ableton Live 12 Suite");
    status.ableton.oscLatencyMs = 3.25;
    status.ableton.processId = 4242;
    status.ableton.remoteScriptVersion = QStringLiteral("1.4.0");
    status.ableton.version = QStringLiteral("12.1.5");
    status.bonjour.condition = BonjourCondition::error;
    status.bonjour.error = QStringLiteral("name conflict");
    CompanionStatusResponse& companion = status.companion;
    companion.abletonInstances = {
        AbletonInstance{QStringLiteral("/Applications/Ableton Live 12 Suite.app"), QStringLiteral("com.ableton.live"),
                        QStringLiteral("Ableton Live 12 Suite"), 4242},
        AbletonInstance{QStringLiteral("/Applications/Ableton Live 11 Lite.app"), QStringLiteral("com.ableton.live11"),
                        QStringLiteral("Ableton Live 11 Lite"), 77},
    };
    companion.clientCount = 2;
    companion.condition = CompanionCondition::running;
    companion.host.addresses = QStringList{QStringLiteral("192.168.1.20"), QStringLiteral("fe80::1c2b:3aff:fe4d:5e6f")};
    companion.host.hostname = QStringLiteral("Studio-Mac.local");
    companion.isAcceleratorAddonLoaded = true;
    companion.isAcceleratorAvailable = false;
    companion.permissions.accessibility = false;
    companion.permissions.automation = true;
    companion.sessionId = QStringLiteral("5C1D0F2A-7E3B-4A8C-9D6E-1F2A3B4C5D6E");
    companion.version = QStringLiteral("1.0.0-1");
    return status;
}

QJsonObject minimalDocument() {
    return parseObject(R"({
        "ableton": {"condition": "not_running"},
        "bonjour": {"condition": "stopped"},
        "companion": {
            "abletonInstances": [{"processId": 1}],
            "clientCount": 0,
            "condition": "stopped",
            "host": {"addresses": [], "hostname": ""},
            "isAcceleratorAddonLoaded": false,
            "isAcceleratorAvailable": false,
            "permissions": {"accessibility": false, "automation": false},
            "version": ""
        }
    })");
}

StatusResponse minimalStatus() {
    StatusResponse status;
    status.ableton.condition = AbletonCondition::notRunning;
    status.bonjour.condition = BonjourCondition::stopped;
    status.companion.abletonInstances = {AbletonInstance{std::nullopt, std::nullopt, std::nullopt, 1}};
    status.companion.condition = CompanionCondition::stopped;
    return status;
}

QJsonValue valueAt(const QJsonObject& document, const QString& path) {
    QJsonValue node = document;
    for (const QString& key : path.split(QLatin1Char('/'))) {
        if (node.isArray()) {
            const QJsonArray array = node.toArray();
            const qsizetype index = key.toLongLong();
            node = index < array.size() ? array.at(index) : QJsonValue(QJsonValue::Undefined);
        } else {
            node = node.toObject().value(key);
        }
    }
    return node;
}

QJsonObject withValueAt(const QJsonObject& document, const QString& path, const QJsonValue& value) {
    return replaced(document, path.split(QLatin1Char('/')), value).toObject();
}

QByteArray withLiteralAt(const QJsonObject& document, const QString& path, const QByteArray& literal) {
    const QString placeholder = QStringLiteral("@@literal@@");
    QByteArray text = compactText(withValueAt(document, path, placeholder));
    return text.replace("\"" + placeholder.toUtf8() + "\"", literal);
}

QByteArray compactText(const QJsonObject& document) {
    return QJsonDocument(document).toJson(QJsonDocument::Compact);
}

QJsonObject encodedObject(const StatusResponse& status) {
    return QJsonDocument::fromJson(encodeStatusResponse(status)).object();
}

bool isRejected(const QByteArray& json) {
    QString thrownMessage;
    try {
        (void)decodeStatusResponse(json);
        return false;
    } catch (const DecodingError& error) {
        thrownMessage = QString::fromStdString(error.what());
    }
    QString reportedMessage;
    const std::optional<StatusResponse> result = tryDecodeStatusResponse(json, &reportedMessage);
    return !result && !thrownMessage.isEmpty() && reportedMessage == thrownMessage;
}

} // namespace pylon::test
