#include "StatusSamples.h"
#include "StatusTest.h"
#include "status/StatusCodec.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QTest>

using namespace pylon;
using namespace pylon::test;

namespace {

StatusResponse decoded(const QByteArray& json) {
    QString error;
    const std::optional<StatusResponse> status = tryDecodeStatusResponse(json, &error);
    if (!status)
        QTest::qFail(qPrintable(QStringLiteral("decoding failed: ") + error), __FILE__, __LINE__);
    return status.value_or(StatusResponse{});
}

const QStringList integerPaths{
    QStringLiteral("companion/clientCount"),
    QStringLiteral("ableton/processId"),
    QStringLiteral("companion/abletonInstances/1/processId"),
};

std::optional<qint64> integerAt(const StatusResponse& status, const QString& path) {
    if (path == integerPaths[0])
        return status.companion.clientCount;
    if (path == integerPaths[1])
        return status.ableton.processId;
    return status.companion.abletonInstances.value(1).processId;
}

const QStringList booleanPaths{
    QStringLiteral("companion/isAcceleratorAddonLoaded"),
    QStringLiteral("companion/isAcceleratorAvailable"),
    QStringLiteral("companion/permissions/accessibility"),
    QStringLiteral("companion/permissions/automation"),
};

bool booleanAt(const StatusResponse& status, const QString& path) {
    const CompanionStatusResponse& companion = status.companion;
    const bool values[] = {companion.isAcceleratorAddonLoaded, companion.isAcceleratorAvailable,
                           companion.permissions.accessibility, companion.permissions.automation};
    return values[booleanPaths.indexOf(path)];
}

int conditionAt(const StatusResponse& status, const QString& path) {
    if (path.startsWith(QLatin1String("companion")))
        return int(status.companion.condition);
    if (path.startsWith(QLatin1String("bonjour")))
        return int(status.bonjour.condition);
    return int(status.ableton.condition);
}

} // namespace

void StatusTest::decodesEveryFieldOfACompleteDocument() {
    QCOMPARE(decoded(compactText(completeDocument())), completeStatus());
}

void StatusTest::decodesADocumentWithOnlyRequiredKeys() {
    const StatusResponse status = decoded(compactText(minimalDocument()));
    QCOMPARE(status, minimalStatus());
    QCOMPARE(status.ableton, AbletonStatusResponse{});
    QVERIFY(!status.bonjour.error);
    QVERIFY(!status.companion.sessionId);
}

void StatusTest::missingOrNullRequiredKeyRejectsTheDocument_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<QJsonValue>("value");
    const char* const paths[] = {
        "ableton",
        "bonjour",
        "companion",
        "ableton/condition",
        "bonjour/condition",
        "companion/abletonInstances",
        "companion/clientCount",
        "companion/condition",
        "companion/host",
        "companion/isAcceleratorAddonLoaded",
        "companion/isAcceleratorAvailable",
        "companion/permissions",
        "companion/version",
        "companion/host/addresses",
        "companion/host/hostname",
        "companion/permissions/accessibility",
        "companion/permissions/automation",
        "companion/abletonInstances/0/processId",
        "companion/abletonInstances/1/processId",
    };
    for (const char* path : paths) {
        QTest::addRow("%s missing", path) << QString::fromLatin1(path) << QJsonValue(QJsonValue::Undefined);
        QTest::addRow("%s null", path) << QString::fromLatin1(path) << QJsonValue(QJsonValue::Null);
    }
}

void StatusTest::missingOrNullRequiredKeyRejectsTheDocument() {
    QFETCH(QString, path);
    QFETCH(QJsonValue, value);
    QVERIFY(isRejected(compactText(withValueAt(completeDocument(), path, value))));
}

void StatusTest::missingOrNullOptionalKeyIsAbsent_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<QJsonValue>("value");
    const char* const paths[] = {
        "ableton/applicationPath",
        "ableton/bundleId",
        "ableton/dialogName",
        "ableton/displayName",
        "ableton/oscLatencyMs",
        "ableton/processId",
        "ableton/remoteScriptVersion",
        "ableton/version",
        "bonjour/error",
        "companion/sessionId",
        "companion/abletonInstances/0/applicationPath",
        "companion/abletonInstances/0/bundleId",
        "companion/abletonInstances/1/displayName",
    };
    for (const char* path : paths) {
        QTest::addRow("%s missing", path) << QString::fromLatin1(path) << QJsonValue(QJsonValue::Undefined);
        QTest::addRow("%s null", path) << QString::fromLatin1(path) << QJsonValue(QJsonValue::Null);
    }
}

void StatusTest::missingOrNullOptionalKeyIsAbsent() {
    QFETCH(QString, path);
    QFETCH(QJsonValue, value);
    const StatusResponse status = decoded(compactText(withValueAt(completeDocument(), path, value)));
    // Only that one value is gone: encoding the result gives the document without the key.
    QCOMPARE(encodedObject(status), withValueAt(completeDocument(), path, QJsonValue::Undefined));
}

void StatusTest::wrongJsonTypeRejectsTheDocument_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<QJsonValue>("value");
    const QJsonValue array = QJsonArray{QStringLiteral("x")};
    const QJsonValue object = QJsonObject{{QStringLiteral("x"), 1}};
    const struct {
        const char* path;
        QJsonValue value;
    } rows[] = {
        {"ableton", array},
        {"ableton", QStringLiteral("connected")},
        {"bonjour", 1},
        {"companion", true},
        {"ableton/applicationPath", 1},
        {"ableton/bundleId", true},
        {"ableton/dialogName", array},
        {"ableton/displayName", object},
        {"ableton/oscLatencyMs", QStringLiteral("12")},
        {"ableton/oscLatencyMs", true},
        {"ableton/processId", QStringLiteral("4242")},
        {"ableton/processId", array},
        {"ableton/remoteScriptVersion", 1.5},
        {"ableton/version", 12},
        {"ableton/condition", 1},
        {"ableton/condition", array},
        {"ableton/condition", object},
        {"bonjour/condition", true},
        {"bonjour/error", 0},
        {"bonjour/error", false},
        {"companion/condition", 0},
        {"companion/condition", object},
        {"companion/sessionId", 5},
        {"companion/sessionId", true},
        {"companion/sessionId", object},
        {"companion/version", 1},
        {"companion/clientCount", QStringLiteral("2")},
        {"companion/clientCount", true},
        {"companion/abletonInstances", object},
        {"companion/abletonInstances", QStringLiteral("none")},
        {"companion/abletonInstances/0", 4242},
        {"companion/abletonInstances/1", QJsonValue::Null},
        {"companion/abletonInstances/1", array},
        {"companion/abletonInstances/0/applicationPath", 1},
        {"companion/abletonInstances/0/bundleId", false},
        {"companion/abletonInstances/1/displayName", array},
        {"companion/abletonInstances/1/processId", QStringLiteral("77")},
        {"companion/host", array},
        {"companion/host", QStringLiteral("Studio-Mac.local")},
        {"companion/host/addresses", QStringLiteral("192.168.1.20")},
        {"companion/host/addresses", object},
        {"companion/host/addresses/0", 192},
        {"companion/host/addresses/1", QJsonValue::Null},
        {"companion/host/addresses/1", object},
        {"companion/host/hostname", array},
        {"companion/permissions", true},
        {"companion/permissions", array},
    };
    for (const auto& row : rows) {
        QTest::addRow("%s = %s", row.path,
                      QJsonDocument(QJsonArray{row.value}).toJson(QJsonDocument::Compact).constData())
            << QString::fromLatin1(row.path) << row.value;
    }
}

void StatusTest::wrongJsonTypeRejectsTheDocument() {
    QFETCH(QString, path);
    QFETCH(QJsonValue, value);
    QVERIFY(valueAt(completeDocument(), path).type() != value.type());
    QVERIFY(isRejected(compactText(withValueAt(completeDocument(), path, value))));
}

void StatusTest::integerFieldsTakeOnlyWholeNumbersInRange_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<QByteArray>("literal");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<qint64>("expected");
    const struct {
        const char* literal;
        bool accepted;
        qint64 expected;
    } rows[] = {
        {"12", true, 12},
        {"12.0", true, 12},
        {"1.2e1", true, 12},
        {"0", true, 0},
        {"-7", true, -7},
        {"9223372036854775807", true, std::numeric_limits<qint64>::max()},
        {"-9223372036854775808", true, std::numeric_limits<qint64>::min()},
        {"2.5", false, 0},
        {"-0.5", false, 0},
        {"9223372036854775808", false, 0},
        {"-9223372036854777856", false, 0}, // the next double below the range
        {"1e30", false, 0},
        {"-1e30", false, 0},
    };
    for (const QString& path : integerPaths) {
        for (const auto& row : rows) {
            QTest::addRow("%s = %s", qPrintable(path), row.literal)
                << path << QByteArray(row.literal) << row.accepted << row.expected;
        }
    }
}

void StatusTest::integerFieldsTakeOnlyWholeNumbersInRange() {
    QFETCH(QString, path);
    QFETCH(QByteArray, literal);
    QFETCH(bool, accepted);
    QFETCH(qint64, expected);
    const QByteArray json = withLiteralAt(completeDocument(), path, literal);
    if (!accepted) {
        QVERIFY(isRejected(json));
        return;
    }
    QCOMPARE(integerAt(decoded(json), path), std::optional<qint64>(expected));
}

void StatusTest::latencyTakesAnyNumber_data() {
    QTest::addColumn<QByteArray>("literal");
    QTest::addColumn<double>("expected");
    QTest::newRow("whole number") << QByteArray("12") << 12.0;
    QTest::newRow("fraction") << QByteArray("0.125") << 0.125;
    QTest::newRow("negative") << QByteArray("-3.5") << -3.5;
    QTest::newRow("zero") << QByteArray("0") << 0.0;
    QTest::newRow("large exponent") << QByteArray("1e30") << 1e30;
    QTest::newRow("beyond 64 bits") << QByteArray("9223372036854775808") << 9223372036854775808.0;
}

void StatusTest::latencyTakesAnyNumber() {
    QFETCH(QByteArray, literal);
    QFETCH(double, expected);
    const StatusResponse status =
        decoded(withLiteralAt(completeDocument(), QStringLiteral("ableton/oscLatencyMs"), literal));
    QCOMPARE(status.ableton.oscLatencyMs, std::optional<double>(expected));
}

void StatusTest::booleanFieldsTakeOnlyTrueAndFalse_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<QByteArray>("literal");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<bool>("expected");
    const struct {
        const char* literal;
        bool accepted;
        bool expected;
    } rows[] = {
        {"true", true, true},       {"false", true, false},      {"1", false, false},  {"0", false, false},
        {"\"true\"", false, false}, {"\"false\"", false, false}, {"[]", false, false}, {"{}", false, false},
    };
    for (const QString& path : booleanPaths) {
        for (const auto& row : rows) {
            QTest::addRow("%s = %s", qPrintable(path), row.literal)
                << path << QByteArray(row.literal) << row.accepted << row.expected;
        }
    }
}

void StatusTest::booleanFieldsTakeOnlyTrueAndFalse() {
    QFETCH(QString, path);
    QFETCH(QByteArray, literal);
    QFETCH(bool, accepted);
    QFETCH(bool, expected);
    // Start from the opposite value so a decoder that ignores the key cannot pass.
    const QJsonObject start = withValueAt(completeDocument(), path, !expected);
    const QByteArray json = withLiteralAt(start, path, literal);
    if (!accepted) {
        QVERIFY(isRejected(json));
        return;
    }
    QCOMPARE(booleanAt(decoded(json), path), expected);
}

void StatusTest::conditionsFallBackForUnknownStrings_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("raw");
    QTest::addColumn<int>("expected");
    const QString companion = QStringLiteral("companion/condition");
    const QString bonjour = QStringLiteral("bonjour/condition");
    const QString ableton = QStringLiteral("ableton/condition");
    const auto row = [](const QString& path, const char* raw, int expected) {
        QTest::addRow("%s = \"%s\"", qPrintable(path), raw) << path << QString::fromUtf8(raw) << expected;
    };
    row(companion, "running", int(CompanionCondition::running));
    row(companion, "stopped", int(CompanionCondition::stopped));
    row(companion, "RUNNING", int(CompanionCondition::stopped));
    row(companion, "Running", int(CompanionCondition::stopped));
    row(companion, "advertising", int(CompanionCondition::stopped));
    row(companion, "", int(CompanionCondition::stopped));
    row(bonjour, "advertising", int(BonjourCondition::advertising));
    row(bonjour, "error", int(BonjourCondition::error));
    row(bonjour, "stopped", int(BonjourCondition::stopped));
    row(bonjour, "ADVERTISING", int(BonjourCondition::stopped));
    row(bonjour, "running", int(BonjourCondition::stopped));
    row(bonjour, "advertising ", int(BonjourCondition::stopped));
    row(ableton, "not_running", int(AbletonCondition::notRunning));
    row(ableton, "running", int(AbletonCondition::running));
    row(ableton, "connected", int(AbletonCondition::connected));
    row(ableton, "busy", int(AbletonCondition::busy));
    row(ableton, "unresponsive", int(AbletonCondition::unresponsive));
    row(ableton, "CONNECTED", int(AbletonCondition::notRunning));
    row(ableton, "notRunning", int(AbletonCondition::notRunning));
    row(ableton, "stopped", int(AbletonCondition::notRunning));
    row(ableton, "connected\u00a0", int(AbletonCondition::notRunning));
}

void StatusTest::conditionsFallBackForUnknownStrings() {
    QFETCH(QString, path);
    QFETCH(QString, raw);
    QFETCH(int, expected);
    QCOMPARE(conditionAt(decoded(compactText(withValueAt(completeDocument(), path, raw))), path), expected);
}

void StatusTest::unknownKeysAreIgnoredAtEveryLevel_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<QJsonValue>("value");
    const QJsonValue nested = QJsonObject{{QStringLiteral("condition"), 5}, {QStringLiteral("list"), QJsonArray{1, 2}}};
    QTest::newRow("top level") << QStringLiteral("schemaVersion") << QJsonValue(2);
    QTest::newRow("top level object") << QStringLiteral("extras") << nested;
    QTest::newRow("ableton") << QStringLiteral("ableton/tempo") << QJsonValue(120.5);
    QTest::newRow("ableton, other case") << QStringLiteral("ableton/Condition") << QJsonValue(7);
    QTest::newRow("bonjour") << QStringLiteral("bonjour/serviceName") << QJsonValue(QJsonValue::Null);
    QTest::newRow("companion") << QStringLiteral("companion/uptime") << nested;
    QTest::newRow("companion, other case") << QStringLiteral("companion/SessionId") << QJsonValue(false);
    QTest::newRow("host") << QStringLiteral("companion/host/port") << QJsonValue(QStringLiteral("47150"));
    QTest::newRow("permissions") << QStringLiteral("companion/permissions/camera") << QJsonValue(QJsonArray{});
    QTest::newRow("instance") << QStringLiteral("companion/abletonInstances/0/isFrontmost") << QJsonValue(1);
}

void StatusTest::unknownKeysAreIgnoredAtEveryLevel() {
    QFETCH(QString, path);
    QFETCH(QJsonValue, value);
    QVERIFY(valueAt(completeDocument(), path).isUndefined());
    QCOMPARE(decoded(compactText(withValueAt(completeDocument(), path, value))), completeStatus());
}

void StatusTest::keysAreMatchedCaseSensitively() {
    QJsonObject renamed =
        withValueAt(completeDocument(), QStringLiteral("companion/clientCount"), QJsonValue::Undefined);
    renamed = withValueAt(renamed, QStringLiteral("companion/ClientCount"), 2);
    QVERIFY(isRejected(compactText(renamed)));

    QJsonObject optionalRenamed =
        withValueAt(completeDocument(), QStringLiteral("companion/sessionId"), QJsonValue::Undefined);
    optionalRenamed = withValueAt(optionalRenamed, QStringLiteral("companion/sessionID"), QStringLiteral("abc"));
    QCOMPARE(decoded(compactText(optionalRenamed)).companion.sessionId, std::nullopt);
}

void StatusTest::instancesAndAddressesKeepDocumentOrder() {
    const QJsonArray instances{
        QJsonObject{{QStringLiteral("processId"), 30}, {QStringLiteral("displayName"), QStringLiteral("c")}},
        QJsonObject{{QStringLiteral("processId"), 10}},
        QJsonObject{{QStringLiteral("processId"), 20}, {QStringLiteral("displayName"), QStringLiteral("a")}},
    };
    const QJsonArray addresses{QStringLiteral("10.0.0.9"), QStringLiteral("::1"), QStringLiteral("10.0.0.1")};
    QJsonObject document = withValueAt(completeDocument(), QStringLiteral("companion/abletonInstances"), instances);
    document = withValueAt(document, QStringLiteral("companion/host/addresses"), addresses);

    const StatusResponse status = decoded(compactText(document));
    QList<qint64> processIds;
    for (const AbletonInstance& instance : status.companion.abletonInstances)
        processIds.append(instance.processId);
    QCOMPARE(processIds, (QList<qint64>{30, 10, 20}));
    QCOMPARE(status.companion.abletonInstances[0].displayName, QStringLiteral("c"));
    QCOMPARE(status.companion.abletonInstances[1].displayName, std::nullopt);
    QCOMPARE(status.companion.host.addresses,
             (QStringList{QStringLiteral("10.0.0.9"), QStringLiteral("::1"), QStringLiteral("10.0.0.1")}));

    document = withValueAt(document, QStringLiteral("companion/abletonInstances"), QJsonArray{});
    QVERIFY(decoded(compactText(document)).companion.abletonInstances.isEmpty());
}

void StatusTest::oneBadInstanceRejectsTheDocument_data() {
    QTest::addColumn<QJsonValue>("lastInstance");
    QTest::newRow("without process id") << QJsonValue(
        QJsonObject{{QStringLiteral("displayName"), QStringLiteral("x")}});
    QTest::newRow("fractional process id") << QJsonValue(QJsonObject{{QStringLiteral("processId"), 2.5}});
    QTest::newRow("numeric bundle id") << QJsonValue(
        QJsonObject{{QStringLiteral("processId"), 3}, {QStringLiteral("bundleId"), 3}});
    QTest::newRow("not an object") << QJsonValue(QStringLiteral("Live"));
}

void StatusTest::oneBadInstanceRejectsTheDocument() {
    QFETCH(QJsonValue, lastInstance);
    QJsonArray instances =
        completeDocument()[QStringLiteral("companion")][QStringLiteral("abletonInstances")].toArray();
    instances.append(lastInstance);
    QVERIFY(isRejected(
        compactText(withValueAt(completeDocument(), QStringLiteral("companion/abletonInstances"), instances))));
}

void StatusTest::everyTruncationOfADocumentIsRejected() {
    const QByteArray json = compactText(completeDocument());
    for (qsizetype length = 0; length < json.size(); ++length)
        QVERIFY2(isRejected(json.left(length)), qPrintable(QStringLiteral("first %1 bytes").arg(length)));
}

void StatusTest::malformedDocumentsAreRejectedCleanly_data() {
    QTest::addColumn<QByteArray>("json");
    const QByteArray complete = compactText(completeDocument());
    const QJsonObject document = completeDocument();
    const QString hostname = QStringLiteral("companion/host/hostname");
    constexpr qsizetype depth = 100000;

    QTest::newRow("empty") << QByteArray();
    QTest::newRow("whitespace") << QByteArray(" \n\t ");
    QTest::newRow("null") << QByteArray("null");
    QTest::newRow("empty object") << QByteArray("{}");
    QTest::newRow("top-level array holding a status") << "[" + complete + "]";
    QTest::newRow("top-level empty array") << QByteArray("[]");
    QTest::newRow("top-level string") << QByteArray("\"status\"");
    QTest::newRow("top-level number") << QByteArray("42");
    QTest::newRow("top-level true") << QByteArray("true");
    QTest::newRow("two documents") << complete + complete;
    QTest::newRow("trailing garbage") << complete + "x";
    QTest::newRow("trailing comma") << withLiteralAt(document, QStringLiteral("bonjour/error"), "\"e\",");
    QTest::newRow("single quotes") << withLiteralAt(document, hostname, "'Studio'");
    QTest::newRow("unterminated '[' nesting") << QByteArray(depth, '[');
    QTest::newRow("unterminated '{' nesting") << QByteArray(depth, '{');
    QTest::newRow("closed '[' nesting") << QByteArray(depth, '[') + QByteArray(depth, ']');
    QTest::newRow("closed '{' nesting") << QByteArray("{\"a\":").repeated(depth) + "1" + QByteArray(depth, '}');
    QTest::newRow("deep nesting under an unknown key")
        << withLiteralAt(document, QStringLiteral("companion/extra"), QByteArray(depth, '[') + QByteArray(depth, ']'));
    QTest::newRow("huge integer") << withLiteralAt(document, QStringLiteral("companion/clientCount"),
                                                   "1" + QByteArray(400, '0'));
    QTest::newRow("huge exponent") << withLiteralAt(document, QStringLiteral("companion/clientCount"), "1e400");
    QTest::newRow("huge latency") << withLiteralAt(document, QStringLiteral("ableton/oscLatencyMs"), "1e400");
    QTest::newRow("huge negative process id") << withLiteralAt(document, QStringLiteral("ableton/processId"), "-1e19");
    QTest::newRow("2^64 process id") << withLiteralAt(
        document, QStringLiteral("companion/abletonInstances/0/processId"), "18446744073709551616");
    QTest::newRow("byte 0xFF in a string") << withLiteralAt(document, hostname, "\"Studio\xff\"");
    QTest::newRow("overlong encoding") << withLiteralAt(document, hostname, "\"\xc0\xaf\"");
    QTest::newRow("encoded surrogate") << withLiteralAt(document, hostname, "\"\xed\xa0\x80\"");
    QTest::newRow("cut-off sequence") << withLiteralAt(document, hostname, "\"\xe2\x82\"");
    QTest::newRow("lone continuation byte") << withLiteralAt(document, hostname, "\"\x80\"");
    QTest::newRow("invalid byte outside strings") << "\xfe" + complete;
    QTest::newRow("NUL only") << QByteArray(1, '\0');
    QTest::newRow("NUL before the document") << QByteArray(1, '\0') + complete;
    QTest::newRow("NUL after the document") << complete + QByteArray(1, '\0');
    QTest::newRow("NUL in a string") << withLiteralAt(document, hostname, QByteArray("\"Stu\0dio\"", 9));
    QTest::newRow("NUL as the last byte of a string")
        << withLiteralAt(document, hostname, QByteArray("\"Studio\0\"", 9));
    QTest::newRow("raw line feed in a string") << withLiteralAt(document, hostname, "\"Stu\ndio\"");
    QTest::newRow("raw control character in a key") << "{\"x\x01\":1," + complete.mid(1);
}

void StatusTest::malformedDocumentsAreRejectedCleanly() {
    QFETCH(QByteArray, json);
    QVERIFY(isRejected(json));
}
