#include "TemporaryHome.h"
#include "platform/UserDefaults.h"
#include "status/DynamicStatus.h"
#include "status/StatusCache.h"
#include "status/StatusCodec.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QSignalSpy>
#include <QTest>

using namespace pylon;
using pylon::test::TemporaryHome;

namespace {

const QString domain = QStringLiteral("net.ostrand.Pylon");
const QString cacheKey = QStringLiteral("cachedAppState");

// Every field set, each value differing from its neighbours so a swapped key shows; the addresses
// are out of sort order.
const QJsonObject completeDocument = QJsonDocument::fromJson(R"({
    "ableton": {"applicationPath": "/Applications/Ableton Live 12 Suite.app", "bundleId": "com.ableton.live",
        "condition": "busy", "dialogName": "Preferences", "displayName": "Ableton Live 12 Suite",
        "oscLatencyMs": 3.25, "processId": 4242, "remoteScriptVersion": "1.4.0", "version": "12.1.5"},
    "bonjour": {"condition": "error", "error": "name conflict"},
    "companion": {
        "abletonInstances": [
            {"applicationPath": "/Applications/Ableton Live 12 Suite.app", "bundleId": "com.ableton.live",
             "displayName": "Ableton Live 12 Suite", "processId": 4242},
            {"applicationPath": "/Applications/Ableton Live 11 Lite.app", "bundleId": "com.ableton.live11",
             "displayName": "Ableton Live 11 Lite", "processId": 77}],
        "clientCount": 2, "condition": "running",
        "host": {"addresses": ["fe80::1c2b:3aff:fe4d:5e6f", "192.168.1.20"], "hostname": "Studio-Mac.local"},
        "isAcceleratorAddonLoaded": true, "isAcceleratorAvailable": false,
        "permissions": {"accessibility": false, "automation": true},
        "sessionId": "5C1D0F2A-7E3B-4A8C-9D6E-1F2A3B4C5D6E", "version": "1.0.0-1"}})")
                                         .object();

StatusResponse completeStatus() {
    const QString live12 = QStringLiteral("/Applications/Ableton Live 12 Suite.app");
    StatusResponse s;
    s.ableton = {live12, "com.ableton.live", AbletonCondition::busy, "Preferences", "Ableton Live 12 Suite",
                 3.25,   4242,               "1.4.0",                "12.1.5"};
    s.bonjour = {BonjourCondition::error, "name conflict"};
    s.companion = {{{live12, "com.ableton.live", "Ableton Live 12 Suite", 4242},
                    {"/Applications/Ableton Live 11 Lite.app", "com.ableton.live11", "Ableton Live 11 Lite", 77}},
                   2, CompanionCondition::running, {{"fe80::1c2b:3aff:fe4d:5e6f", "192.168.1.20"}, "Studio-Mac.local"},
                   true, false, {false, true}, "5C1D0F2A-7E3B-4A8C-9D6E-1F2A3B4C5D6E", "1.0.0-1"};
    return s;
}

// Only the required keys; one Live instance with only its process id.
const QJsonObject minimalDocument = QJsonDocument::fromJson(R"({"ableton": {"condition": "not_running"},
    "bonjour": {"condition": "stopped"}, "companion": {"abletonInstances": [{"processId": 1}], "clientCount": 0,
    "condition": "stopped", "host": {"addresses": [], "hostname": ""}, "isAcceleratorAddonLoaded": false,
    "isAcceleratorAvailable": false, "permissions": {"accessibility": false, "automation": false},
    "version": ""}})")
                                        .object();

StatusResponse minimalStatus() {
    StatusResponse s;
    s.companion.abletonInstances = {AbletonInstance{std::nullopt, std::nullopt, std::nullopt, 1}};
    return s;
}

QByteArray compact(const QJsonObject& document) { return QJsonDocument(document).toJson(QJsonDocument::Compact); }

QJsonObject encoded(const StatusResponse& status) {
    return QJsonDocument::fromJson(encodeStatusResponse(status)).object();
}

// Paths name a value with "/" between keys and array indexes: "companion/host/addresses/0".
QJsonValue valueAt(QJsonValue node, const QString& path) {
    for (const QString& key : path.split(QLatin1Char('/')))
        node = node.isArray() ? node.toArray().at(key.toInt()) : node.toObject().value(key);
    return node;
}

// `node` with the value at `keys` replaced; an undefined value removes the key or element.
QJsonValue replaced(const QJsonValue& node, QStringList keys, const QJsonValue& value) {
    const QString key = keys.takeFirst();
    const QJsonValue inner = keys.isEmpty() ? value : replaced(valueAt(node, key), keys, value);
    if (node.isArray()) {
        QJsonArray array = node.toArray();
        inner.isUndefined() ? array.removeAt(key.toInt()) : void(array[key.toInt()] = inner);
        return array;
    }
    QJsonObject object = node.toObject();
    inner.isUndefined() ? object.remove(key) : void(object.insert(key, inner));
    return object;
}

QJsonObject with(const QJsonObject& document, const QString& path, const QJsonValue& value) {
    return replaced(document, path.split(QLatin1Char('/')), value).toObject();
}

// The complete document's text with the value at `path` written as `literal`, which need not be
// valid JSON.
QByteArray withLiteral(const QString& path, const QByteArray& literal) {
    return compact(with(completeDocument, path, QStringLiteral("@@"))).replace("\"@@\"", literal);
}

StatusResponse decoded(const QByteArray& json) {
    QString error;
    const std::optional<StatusResponse> status = tryDecodeStatusResponse(json, &error);
    if (!status)
        QTest::qFail(qPrintable(QStringLiteral("decoding failed: ") + error), __FILE__, __LINE__);
    return status.value_or(StatusResponse{});
}

// Decoding refuses `json` cleanly: DecodingError with a message, and the same message from the
// non-throwing form. Any other exception escapes and fails the test.
bool isRejected(const QByteArray& json) {
    QString thrown;
    try {
        (void)decodeStatusResponse(json);
        return false;
    } catch (const DecodingError& error) {
        thrown = QString::fromStdString(error.what());
    }
    QString reported;
    return !tryDecodeStatusResponse(json, &reported) && !thrown.isEmpty() && reported == thrown;
}

PylonError sampleError() { return PylonError::companionLaunchFailed(QStringLiteral("Operation not permitted")); }

} // namespace

class StatusTest : public QObject {
    Q_OBJECT

private slots:
    void decodingAndEncoding() {
        QCOMPARE(decoded(compact(completeDocument)), completeStatus());
        QCOMPARE(decoded(compact(minimalDocument)), minimalStatus());
        QCOMPARE(encoded(completeStatus()), completeDocument);
        QCOMPARE(encoded(minimalStatus()), minimalDocument);
        const QByteArray json = encodeStatusResponse(minimalStatus());
        QVERIFY2(!json.contains("null") && !json.contains('\n'), json.constData());

        StatusResponse extremes = completeStatus();
        extremes.companion.clientCount = std::numeric_limits<qint64>::max();
        extremes.companion.abletonInstances[0].processId = std::numeric_limits<qint64>::min();
        extremes.ableton.oscLatencyMs = 0.1;
        extremes.companion.host.hostname = QStringLiteral("Zoë's \"Mac\" \\ / \u2713 \t\n") + QChar(0) + QChar(0x1f);
        extremes.companion.sessionId = QString();
        extremes.companion.abletonInstances[1].bundleId = std::nullopt;
        QCOMPARE(decoded(encodeStatusResponse(extremes)), extremes);
    }

    void missingOrNullKeys() {
        const QStringList required = QStringLiteral(
            "ableton bonjour companion ableton/condition bonjour/condition companion/abletonInstances "
            "companion/clientCount companion/condition companion/host companion/isAcceleratorAddonLoaded "
            "companion/isAcceleratorAvailable companion/permissions companion/version companion/host/addresses "
            "companion/host/hostname companion/permissions/accessibility companion/permissions/automation "
            "companion/abletonInstances/0/processId companion/abletonInstances/1/processId")
                                         .split(QLatin1Char(' '));
        const QStringList optional = QStringLiteral(
            "ableton/applicationPath ableton/bundleId ableton/dialogName ableton/displayName ableton/oscLatencyMs "
            "ableton/processId ableton/remoteScriptVersion ableton/version bonjour/error companion/sessionId "
            "companion/abletonInstances/0/applicationPath companion/abletonInstances/0/bundleId "
            "companion/abletonInstances/1/displayName")
                                         .split(QLatin1Char(' '));
        for (const QJsonValue& value : {QJsonValue(QJsonValue::Undefined), QJsonValue(QJsonValue::Null)}) {
            for (const QString& path : required)
                QVERIFY2(isRejected(compact(with(completeDocument, path, value))), qPrintable(path));
            // Only that one value is gone: encoding the result gives the document without the key.
            for (const QString& path : optional) {
                QCOMPARE(encoded(decoded(compact(with(completeDocument, path, value)))),
                         with(completeDocument, path, QJsonValue::Undefined));
            }
        }
    }

    // Literals at a path, ";" between them: decoding refuses a bare literal; after ">" comes the value
    // that re-encoding the decoded status writes there. Integers take whole numbers in the 64-bit
    // range, the latency any number, booleans only true and false; conditions any string, unknown
    // ones falling back (raw strings match exactly).
    void valuesAtEachPath_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QByteArray>("literal");
        QTest::addColumn<QByteArray>("expected");
        // clang-format off
        static const char* const rows[][2] = {
            {"companion/clientCount", "12>12;12.0>12;1.2e1>12;0>0;-7>-7;9223372036854775807>9223372036854775807;"
                "-9223372036854775808>-9223372036854775808;2.5;-0.5;9223372036854775808;"
                "-9223372036854777856;1e30;\"2\";true"}, // -9223372036854777856: the next double below the range
            {"ableton/processId", "-1>-1;2.5;\"4242\""},
            {"companion/abletonInstances/1/processId", "12.0>12;-1e30;\"77\""},
            {"ableton/oscLatencyMs", "0.125>0.125;-3.5>-3.5;1e30>1e30;9223372036854775808>9223372036854775808;"
                "\"12\";true"},
            {"companion/isAcceleratorAddonLoaded", "false>false;1;\"true\""},
            {"companion/isAcceleratorAvailable", "true>true;0"},
            {"companion/permissions/accessibility", "true>true;[]"},
            {"companion/permissions/automation", "false>false;{};\"false\""},
            {"companion/condition", "\"RUNNING\">\"stopped\";\"\">\"stopped\";\"advertising\">\"stopped\";0;{}"},
            {"bonjour/condition", "\"advertising\">\"advertising\";\"ADVERTISING\">\"stopped\";"
                "\"advertising \">\"stopped\";true"},
            {"ableton/condition", "\"connected\">\"connected\";\"CONNECTED\">\"not_running\";"
                "\"notRunning\">\"not_running\";\"connected\xc2\xa0\">\"not_running\";1;[]"},
            {"ableton/condition",
                "\"not_running\">\"not_running\";\"running\">\"running\";\"unresponsive\">\"unresponsive\""},
            {"ableton", "[\"x\"];\"connected\""}, {"bonjour", "1"}, {"companion", "true"},
            {"ableton/applicationPath", "1"}, {"ableton/bundleId", "true"}, {"ableton/dialogName", "[]"},
            {"ableton/displayName", "{}"}, {"ableton/remoteScriptVersion", "1.5"}, {"ableton/version", "12"},
            {"bonjour/error", "false"}, {"companion/sessionId", "5;{}"}, {"companion/version", "1"},
            {"companion/abletonInstances", "[]>[];{};\"none\""}, {"companion/abletonInstances/0", "4242"},
            {"companion/abletonInstances/1", "null;[]"}, {"companion/abletonInstances/0/applicationPath", "1"},
            {"companion/abletonInstances/0/bundleId", "false"}, {"companion/abletonInstances/1/displayName", "[]"},
            {"companion/host", "[];\"Studio-Mac.local\""}, {"companion/host/addresses", "\"::1\";{}"},
            {"companion/host/addresses/0", "192"}, {"companion/host/addresses/1", "null"},
            {"companion/host/hostname", "[]"}, {"companion/permissions", "true;[]"},
            // Strict JSON that is easily refused by mistake.
            {"companion/host/hostname", "\"\\ud83c\\udfb9 \\u00e9\\/\">\"\xf0\x9f\x8e\xb9 \xc3\xa9/\""},
            {"ableton/oscLatencyMs", "1E+2>100;0.5e-1>0.05;-0>0"}};
        // clang-format on
        for (const auto& [path, cases] : rows) {
            for (const QByteArray& item : QByteArray(cases).split(';')) {
                const QList<QByteArray> parts = item.split('>');
                QTest::addRow("%s = %s", path, parts[0].constData())
                    << QString::fromLatin1(path) << parts[0] << parts.value(1);
            }
        }
    }

    void valuesAtEachPath() {
        QFETCH(QString, path);
        QFETCH(QByteArray, literal);
        QFETCH(QByteArray, expected);
        const QByteArray json = withLiteral(path, literal);
        if (expected.isNull()) {
            QVERIFY(isRejected(json));
            return;
        }
        QCOMPARE(valueAt(encoded(decoded(json)), path), QJsonDocument::fromJson("[" + expected + "]").array().at(0));
    }

    void unknownKeysAreIgnoredAndKeysMatchCaseSensitively() {
        const QJsonValue nested = QJsonObject{{"condition", 5}, {"list", QJsonArray{1, 2}}};
        const std::pair<const char*, QJsonValue> extras[] = {
            {"schemaVersion", 2}, {"extras", nested}, {"ableton/tempo", 120.5}, {"ableton/Condition", 7},
            {"bonjour/serviceName", QJsonValue::Null}, {"companion/uptime", nested}, {"companion/SessionId", false},
            {"companion/host/port", "47150"}, {"companion/permissions/camera", QJsonArray()},
            {"companion/abletonInstances/0/isFrontmost", 1}};
        QJsonObject document = completeDocument;
        for (const auto& [path, value] : extras) {
            QVERIFY(valueAt(document, QLatin1String(path)).isUndefined());
            document = with(document, QLatin1String(path), value);
        }
        QCOMPARE(decoded(compact(document)), completeStatus());

        const QJsonObject requiredRenamed = with(completeDocument, "companion/clientCount", QJsonValue::Undefined);
        QVERIFY(isRejected(compact(with(requiredRenamed, "companion/ClientCount", 2))));
        const QJsonObject optionalRenamed = with(completeDocument, "companion/sessionId", QJsonValue::Undefined);
        QCOMPARE(decoded(compact(with(optionalRenamed, "companion/sessionID", "abc"))).companion.sessionId,
                 std::nullopt);
    }

    // None of these may crash or throw anything but a decoding error.
    void malformedDocumentsAreRejectedCleanly() {
        const QByteArray complete = compact(completeDocument);
        for (qsizetype length = 0; length < complete.size(); ++length)
            QVERIFY2(isRejected(complete.left(length)), qPrintable(QStringLiteral("first %1 bytes").arg(length)));

        constexpr qsizetype depth = 100000;
        const QByteArray closedNesting = QByteArray(depth, '[') + QByteArray(depth, ']');
        const QString hostname = QStringLiteral("companion/host/hostname");
        const std::pair<const char*, QByteArray> corpus[] = {
            {"whitespace", " \n\t "}, {"null", "null"}, {"empty object", "{}"},
            {"array holding a status", "[" + complete + "]"}, {"string", "\"status\""}, {"number", "42"},
            {"two documents", complete + complete}, {"trailing garbage", complete + "x"},
            {"trailing comma", withLiteral("bonjour/error", "\"e\",")},
            {"single quotes", withLiteral(hostname, "'Studio'")}, {"unterminated [ nesting", QByteArray(depth, '[')},
            {"unterminated { nesting", QByteArray(depth, '{')}, {"closed [ nesting", closedNesting},
            {"closed { nesting", QByteArray("{\"a\":").repeated(depth) + "1" + QByteArray(depth, '}')},
            {"nesting under an unknown key", withLiteral("companion/extra", closedNesting)},
            {"huge integer", withLiteral("companion/clientCount", "1" + QByteArray(400, '0'))},
            {"huge exponent", withLiteral("companion/clientCount", "1e400")},
            {"huge latency", withLiteral("ableton/oscLatencyMs", "1e400")},
            {"2^64 process id", withLiteral("companion/abletonInstances/0/processId", "18446744073709551616")},
            {"byte 0xFF", withLiteral(hostname, "\"Studio\xff\"")},
            {"overlong encoding", withLiteral(hostname, "\"\xc0\xaf\"")},
            {"encoded surrogate", withLiteral(hostname, "\"\xed\xa0\x80\"")},
            {"cut-off sequence", withLiteral(hostname, "\"\xe2\x82\"")},
            {"invalid byte outside strings", "\xfe" + complete}, {"NUL only", QByteArray(1, '\0')},
            {"NUL after the document", complete + QByteArray(1, '\0')},
            {"NUL in a string", withLiteral(hostname, QByteArray("\"Stu\0dio\"", 9))},
            {"NUL ending a string", withLiteral(hostname, QByteArray("\"Studio\0\"", 9))},
            {"raw line feed in a string", withLiteral(hostname, "\"Stu\ndio\"")},
            {"control character in a key", "{\"x\x01\":1," + complete.mid(1)},
            // What QJsonDocument lets through and JSON does not.
            {"number ending in a point", withLiteral("companion/clientCount", "1.")},
            {"point before an exponent", withLiteral("ableton/oscLatencyMs", "1.e2")},
            {"leading zero", withLiteral("companion/clientCount", "01")},
            {"leading point", withLiteral("ableton/oscLatencyMs", ".5")},
            {"leading plus", withLiteral("companion/clientCount", "+1")},
            {"exponent without digits", withLiteral("ableton/oscLatencyMs", "1e")},
            {"lone high surrogate", withLiteral(hostname, "\"\\ud800\"")},
            {"lone low surrogate", withLiteral(hostname, "\"\\udc00x\"")},
            {"high surrogate before a letter", withLiteral(hostname, "\"\\ud83c\\u0041\"")},
            {"reversed surrogates", withLiteral(hostname, "\"\\udfb9\\ud83c\"")},
            {"unknown escape", withLiteral(hostname, "\"\\x41\"")},
            {"short \\u escape", withLiteral(hostname, "\"\\u00e\"")}};
        for (const auto& [name, json] : corpus)
            QVERIFY2(isRejected(json), name);
    }

    void errorRecord() {
        QCOMPARE(PylonError::companionLaunchFailed(QStringLiteral("Operation not permitted (1)")),
                 (PylonError{"E02", "Companion launch failed", 0, "Pylon Companion couldn't start. Try restarting it.",
                             "error=Operation not permitted (1)"}));
        const PylonError error{"E99", "Name", -3, "Description.", "key=value \"quoted\""};
        QCOMPARE(QJsonDocument::fromJson(encodePylonError(error)).object(),
                 (QJsonObject{{"code", "E99"}, {"name", "Name"}, {"severity", -3}, {"description", "Description."},
                              {"detail", "key=value \"quoted\""}}));
        QCOMPARE(decodePylonError(encodePylonError(error)), error);

        const QJsonObject valid = QJsonDocument::fromJson(encodePylonError(sampleError())).object();
        QList<QByteArray> invalid = {"[]", "\"E02\"", "E02 Companion launch failed", ""};
        const std::pair<const char*, QJsonValue> wrongTypes[] = {{"code", 2}, {"name", true}, {"severity", "0"},
            {"severity", 0.5}, {"severity", 1e30}, {"description", QJsonArray()}, {"detail", QJsonObject()}};
        for (const auto& [key, value] : wrongTypes)
            invalid << compact(with(valid, QLatin1String(key), value));
        for (const QString& key : valid.keys())
            invalid << compact(with(valid, key, QJsonValue::Undefined)) << compact(with(valid, key, QJsonValue::Null));
        for (const QByteArray& json : invalid)
            QVERIFY_THROWS_EXCEPTION(DecodingError, decodePylonError(json));
    }

    void cachedStatusLoadsBackEqual() {
        TemporaryHome home;
        for (const StatusResponse& status : {completeStatus(), minimalStatus()}) {
            {
                UserDefaults defaults(domain);
                QVERIFY(defaults.filePath().startsWith(home.path()));
                saveCachedStatus(defaults, status);
                QCOMPARE(loadCachedStatus(defaults), status);
                QVERIFY(defaults.synchronize());
            }
            const UserDefaults reopened(domain);
            QCOMPARE(loadCachedStatus(reopened), status);
            QVERIFY(!reopened.data(cacheKey).value_or("null").contains("null"));
        }
    }

    void unusableCacheIsNoStatus() {
        const QByteArray statusJson = compact(completeDocument);
        const QVariant stored[] = {QVariant(), QByteArray("\x00\xff\x13garbage", 10), QByteArray(),
                                   QByteArray("{\"ableton\":{}}"), statusJson.left(statusJson.size() / 2),
                                   QString::fromUtf8(statusJson), 42};
        for (const QVariant& value : stored) {
            TemporaryHome home;
            {
                UserDefaults defaults(domain);
                if (value.typeId() == QMetaType::QByteArray)
                    defaults.setData(cacheKey, value.toByteArray());
                else if (value.typeId() == QMetaType::QString)
                    defaults.setString(cacheKey, value.toString());
                else if (value.isValid())
                    defaults.setValue(cacheKey, value);
                QCOMPARE(loadCachedStatus(defaults), std::nullopt);
            }
            const UserDefaults reopened(domain);
            QCOMPARE(DynamicStatus(reopened).lastResponse(), std::nullopt);
        }
    }

    void modelStartsFromTheCache() {
        TemporaryHome home;
        UserDefaults defaults(domain);
        const DynamicStatus fresh(defaults);
        QCOMPARE(fresh.companionState(), CompanionState(CompanionState::Kind::startingUp));
        QVERIFY(!fresh.lastResponse() && !fresh.companionStatus() && !fresh.abletonStatus() && !fresh.bonjourStatus());

        saveCachedStatus(defaults, completeStatus());
        const DynamicStatus cached(defaults);
        QCOMPARE(cached.lastResponse(), completeStatus());
        QCOMPARE(cached.companionState(), CompanionState(CompanionState::Kind::startingUp));
        QCOMPARE(cached.companionStatus(), completeStatus().companion);
        QCOMPARE(cached.abletonStatus(), completeStatus().ableton);
        QCOMPARE(cached.bonjourStatus(), completeStatus().bonjour);
    }

    void companionStateFollowsTheRuleInOrder() {
        using Kind = CompanionState::Kind;
        // starting, failed, approval, registered, has status, addon, accessibility, automation, running
        const std::tuple<const char*, QByteArray, Kind> rows[] = {
            {"starting hides everything", "111111111", Kind::startingUp},
            {"starting without status", "100000000", Kind::startingUp},
            {"failure hides approval", "011011111", Kind::error},
            {"failure without status", "010000000", Kind::error},
            {"approval hides status", "001011111", Kind::requiresLoginItemApproval},
            {"approval without status", "001100000", Kind::requiresLoginItemApproval},
            {"no status while registered", "000100000", Kind::notRunning},
            {"addon, accessibility missing", "000111011", Kind::runningNeedsAccessibility},
            {"addon, both missing", "000111001", Kind::runningNeedsBothPermissions},
            {"addon, automation missing", "000111101", Kind::runningNeedsAutomation},
            {"all granted, companion stopped", "000011110", Kind::running},
            {"no addon, accessibility missing", "000110011", Kind::running},
            {"no addon, both missing", "000110001", Kind::runningNeedsAutomation}};
        TemporaryHome home;
        DynamicStatus model{UserDefaults(domain)};
        for (const auto& [name, flags, expected] : rows) {
            const auto on = [&flags](int i) { return flags.at(i) == '1'; };
            StatusResponse status = completeStatus();
            status.companion.isAcceleratorAddonLoaded = on(5);
            status.companion.permissions = {on(6), on(7)};
            status.companion.condition = on(8) ? CompanionCondition::running : CompanionCondition::stopped;
            model.setLastResponse(on(4) ? std::optional(status) : std::nullopt);
            model.setIsCompanionRegistered(on(3));
            model.setRequiresLoginItemApproval(on(2));
            model.setCompanionError(on(1) ? std::optional(sampleError()) : std::nullopt);
            model.setIsStarting(on(0));
            const CompanionState expectedState = expected == Kind::error ? CompanionState::failed(sampleError())
                                                                         : CompanionState(expected);
            QVERIFY2(model.companionState() == expectedState, name);
        }
    }

    void everyAssignmentNotifiesAlsoForEqualValues() {
        TemporaryHome home;
        DynamicStatus model{UserDefaults(domain)};
        QSignalSpy spy(&model, &DynamicStatus::changed);
        const std::function<void(bool)> setters[] = {
            [&](bool b) { model.setLastResponse(b ? std::optional(completeStatus()) : std::nullopt); },
            [&](bool b) { model.setIsCompanionRegistered(b); },
            [&](bool b) { model.setRequiresLoginItemApproval(b); },
            [&](bool b) { model.setLogFile(b ? std::optional(QStringLiteral("/tmp/c.log")) : std::nullopt); },
            [&](bool b) { model.setCompanionError(b ? std::optional(sampleError()) : std::nullopt); },
            [&](bool b) { model.setIsStarting(b); }};
        int expected = 0;
        for (const auto& set : setters) {
            for (bool value : {true, true, false, false}) {
                set(value);
                QCOMPARE(spy.count(), ++expected);
            }
        }
        QCOMPARE(model.lastResponse(), std::nullopt);
        QVERIFY(!model.isCompanionRegistered() && !model.requiresLoginItemApproval() && !model.logFile());
        QVERIFY(!model.companionError() && !model.isStarting());
        // Reading never notifies.
        (void)model.companionState();
        (void)model.companionStatus();
        QCOMPARE(spy.count(), expected);
    }
};

QTEST_GUILESS_MAIN(StatusTest)
#include "tst_status.moc"
