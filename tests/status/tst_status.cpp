#include "StatusSamples.h"
#include "StatusTest.h"
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
using namespace pylon::test;

Q_DECLARE_METATYPE(pylon::CompanionState::Kind)

namespace {

const QString domain = QStringLiteral("net.ostrand.Pylon");
const QString cacheKey = QStringLiteral("cachedAppState");

PylonError sampleError() {
    return PylonError::companionLaunchFailed(QStringLiteral("Operation not permitted"));
}

// Two different values of each published field of the dynamic status, by field name.
void assignSample(DynamicStatus& model, const QString& field, int variant) {
    const bool first = variant == 0;
    if (field == QLatin1String("lastResponse"))
        model.setLastResponse(first ? std::optional(completeStatus()) : std::nullopt);
    else if (field == QLatin1String("isCompanionRegistered"))
        model.setIsCompanionRegistered(first);
    else if (field == QLatin1String("requiresLoginItemApproval"))
        model.setRequiresLoginItemApproval(first);
    else if (field == QLatin1String("logFile"))
        model.setLogFile(first ? std::optional(QStringLiteral("/tmp/pylon-companion.log")) : std::nullopt);
    else if (field == QLatin1String("companionError"))
        model.setCompanionError(first ? std::optional(sampleError()) : std::nullopt);
    else if (field == QLatin1String("isStarting"))
        model.setIsStarting(!first);
}

bool holdsSample(const DynamicStatus& model, const QString& field, int variant) {
    const bool first = variant == 0;
    if (field == QLatin1String("lastResponse"))
        return model.lastResponse() == (first ? std::optional(completeStatus()) : std::nullopt);
    if (field == QLatin1String("isCompanionRegistered"))
        return model.isCompanionRegistered() == first;
    if (field == QLatin1String("requiresLoginItemApproval"))
        return model.requiresLoginItemApproval() == first;
    if (field == QLatin1String("logFile"))
        return model.logFile() == (first ? std::optional(QStringLiteral("/tmp/pylon-companion.log")) : std::nullopt);
    if (field == QLatin1String("companionError"))
        return model.companionError() == (first ? std::optional(sampleError()) : std::nullopt);
    return model.isStarting() == !first;
}

} // namespace

// Encoding and raw values

void StatusTest::encodingWritesEveryFieldUnderItsKey() {
    QCOMPARE(encodedObject(completeStatus()), completeDocument());
}

void StatusTest::encodingLeavesAbsentOptionalsOut() {
    const QByteArray json = encodeStatusResponse(minimalStatus());
    QVERIFY2(!json.contains("null"), json.constData());
    QVERIFY2(!json.contains('\n'), "compact output expected");
    QCOMPARE(encodedObject(minimalStatus()), minimalDocument());
}

void StatusTest::encodingWritesConditionsAsRawStrings_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<int>("condition");
    QTest::addColumn<QString>("raw");
    const QString companion = QStringLiteral("companion/condition");
    const QString bonjour = QStringLiteral("bonjour/condition");
    const QString ableton = QStringLiteral("ableton/condition");
    QTest::newRow("companion running") << companion << int(CompanionCondition::running) << QStringLiteral("running");
    QTest::newRow("companion stopped") << companion << int(CompanionCondition::stopped) << QStringLiteral("stopped");
    QTest::newRow("bonjour advertising") << bonjour << int(BonjourCondition::advertising)
                                         << QStringLiteral("advertising");
    QTest::newRow("bonjour error") << bonjour << int(BonjourCondition::error) << QStringLiteral("error");
    QTest::newRow("bonjour stopped") << bonjour << int(BonjourCondition::stopped) << QStringLiteral("stopped");
    QTest::newRow("ableton notRunning") << ableton << int(AbletonCondition::notRunning)
                                        << QStringLiteral("not_running");
    QTest::newRow("ableton running") << ableton << int(AbletonCondition::running) << QStringLiteral("running");
    QTest::newRow("ableton connected") << ableton << int(AbletonCondition::connected) << QStringLiteral("connected");
    QTest::newRow("ableton busy") << ableton << int(AbletonCondition::busy) << QStringLiteral("busy");
    QTest::newRow("ableton unresponsive")
        << ableton << int(AbletonCondition::unresponsive) << QStringLiteral("unresponsive");
}

void StatusTest::encodingWritesConditionsAsRawStrings() {
    QFETCH(QString, path);
    QFETCH(int, condition);
    QFETCH(QString, raw);
    StatusResponse status = minimalStatus();
    if (path.startsWith(QLatin1String("companion")))
        status.companion.condition = CompanionCondition(condition);
    else if (path.startsWith(QLatin1String("bonjour")))
        status.bonjour.condition = BonjourCondition(condition);
    else
        status.ableton.condition = AbletonCondition(condition);
    QCOMPARE(valueAt(encodedObject(status), path), QJsonValue(raw));
}

void StatusTest::encodedStatusDecodesToAnEqualStatus_data() {
    QTest::addColumn<StatusResponse>("status");
    QTest::newRow("complete") << completeStatus();
    QTest::newRow("minimal") << minimalStatus();

    StatusResponse extremes = completeStatus();
    extremes.companion.clientCount = std::numeric_limits<qint64>::max();
    extremes.companion.abletonInstances[0].processId = std::numeric_limits<qint64>::min();
    extremes.ableton.processId = -1;
    extremes.ableton.oscLatencyMs = 0.1;
    extremes.companion.host.hostname = QStringLiteral("Zoë's \"Mac\" \\ / \u2713 \t\n") + QChar(0) + QChar(0x1f);
    extremes.companion.sessionId = QString();
    QTest::newRow("extreme values") << extremes;
}

void StatusTest::encodedStatusDecodesToAnEqualStatus() {
    QFETCH(StatusResponse, status);
    const std::optional<StatusResponse> decoded = tryDecodeStatusResponse(encodeStatusResponse(status));
    QVERIFY(decoded);
    QCOMPARE(*decoded, status);
}

void StatusTest::rawValueConversionIsStrict_data() {
    QTest::addColumn<QString>("enumeration");
    QTest::addColumn<QString>("raw");
    QTest::addColumn<int>("expected"); // -1: no case
    const auto row = [](const char* enumeration, const char* raw, int expected) {
        QTest::addRow("%s \"%s\"", enumeration, raw)
            << QString::fromLatin1(enumeration) << QString::fromUtf8(raw) << expected;
    };
    row("companion", "running", int(CompanionCondition::running));
    row("companion", "stopped", int(CompanionCondition::stopped));
    row("companion", "Stopped", -1);
    row("companion", "unknown", -1);
    row("companion", "", -1);
    row("bonjour", "advertising", int(BonjourCondition::advertising));
    row("bonjour", "error", int(BonjourCondition::error));
    row("bonjour", "stopped", int(BonjourCondition::stopped));
    row("bonjour", "running", -1);
    row("bonjour", " stopped", -1);
    row("ableton", "not_running", int(AbletonCondition::notRunning));
    row("ableton", "running", int(AbletonCondition::running));
    row("ableton", "connected", int(AbletonCondition::connected));
    row("ableton", "busy", int(AbletonCondition::busy));
    row("ableton", "unresponsive", int(AbletonCondition::unresponsive));
    row("ableton", "notRunning", -1);
    row("ableton", "not running", -1);
    row("ableton", "stopped", -1);
}

void StatusTest::rawValueConversionIsStrict() {
    QFETCH(QString, enumeration);
    QFETCH(QString, raw);
    QFETCH(int, expected);
    std::optional<int> converted;
    QString back;
    if (enumeration == QLatin1String("companion")) {
        if (auto value = companionConditionFromRaw(raw))
            converted = int(*value), back = rawValue(*value);
    } else if (enumeration == QLatin1String("bonjour")) {
        if (auto value = bonjourConditionFromRaw(raw))
            converted = int(*value), back = rawValue(*value);
    } else if (auto value = abletonConditionFromRaw(raw)) {
        converted = int(*value), back = rawValue(*value);
    }
    QCOMPARE(converted, expected < 0 ? std::nullopt : std::optional(expected));
    if (converted)
        QCOMPARE(back, raw);
}

// Error record

void StatusTest::launchFailureIsTheE02Record() {
    const PylonError error = PylonError::companionLaunchFailed(QStringLiteral("Operation not permitted (1)"));
    QCOMPARE(error.code, QStringLiteral("E02"));
    QCOMPARE(error.name, QStringLiteral("Companion launch failed"));
    QCOMPARE(error.severity, 0);
    QCOMPARE(error.description, QStringLiteral("Pylon Companion couldn't start. Try restarting it."));
    QCOMPARE(error.detail, QStringLiteral("error=Operation not permitted (1)"));
}

void StatusTest::errorRecordRoundTripsThroughJson() {
    const PylonError error{QStringLiteral("E99"), QStringLiteral("Name"), -3, QStringLiteral("Description."),
                           QStringLiteral("key=value \"quoted\"")};
    const QByteArray json = encodePylonError(error);
    const QJsonObject object = QJsonDocument::fromJson(json).object();
    QCOMPARE(object, (QJsonObject{{QStringLiteral("code"), error.code},
                                  {QStringLiteral("name"), error.name},
                                  {QStringLiteral("severity"), -3},
                                  {QStringLiteral("description"), error.description},
                                  {QStringLiteral("detail"), error.detail}}));
    QCOMPARE(decodePylonError(json), error);
    QCOMPARE(decodePylonError(encodePylonError(sampleError())), sampleError());
}

void StatusTest::errorRecordRejectsIncompleteOrIllTypedJson_data() {
    QTest::addColumn<QByteArray>("json");
    const QJsonObject valid = QJsonDocument::fromJson(encodePylonError(sampleError())).object();
    for (const QString& key : valid.keys()) {
        QJsonObject missing = valid;
        missing.remove(key);
        QTest::addRow("%s missing", qPrintable(key)) << QJsonDocument(missing).toJson();
        QJsonObject null = valid;
        null.insert(key, QJsonValue::Null);
        QTest::addRow("%s null", qPrintable(key)) << QJsonDocument(null).toJson();
    }
    const auto withValue = [&valid](const char* key, const QJsonValue& value) {
        QJsonObject changed = valid;
        changed.insert(QString::fromLatin1(key), value);
        return QJsonDocument(changed).toJson();
    };
    QTest::newRow("numeric code") << withValue("code", 2);
    QTest::newRow("boolean name") << withValue("name", true);
    QTest::newRow("severity as string") << withValue("severity", QStringLiteral("0"));
    QTest::newRow("fractional severity") << withValue("severity", 0.5);
    QTest::newRow("severity out of range") << withValue("severity", 1e30);
    QTest::newRow("description array") << withValue("description", QJsonArray{});
    QTest::newRow("detail object") << withValue("detail", QJsonObject{});
    QTest::newRow("array") << QByteArray("[]");
    QTest::newRow("string") << QByteArray("\"E02\"");
    QTest::newRow("garbage") << QByteArray("E02 Companion launch failed");
    QTest::newRow("empty") << QByteArray();
}

void StatusTest::errorRecordRejectsIncompleteOrIllTypedJson() {
    QFETCH(QByteArray, json);
    QVERIFY_THROWS_EXCEPTION(DecodingError, decodePylonError(json));
}

// Status cache

void StatusTest::savedStatusLoadsBackEqual() {
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
        const std::optional<QByteArray> stored = reopened.data(cacheKey);
        QVERIFY(stored);
        QVERIFY2(!stored->contains("null"), stored->constData());
    }
}

void StatusTest::savingReplacesTheEarlierStatus() {
    TemporaryHome home;
    UserDefaults defaults(domain);
    saveCachedStatus(defaults, completeStatus());
    saveCachedStatus(defaults, minimalStatus());
    QCOMPARE(loadCachedStatus(defaults), minimalStatus());
}

void StatusTest::unusableCacheIsNoStatus_data() {
    QTest::addColumn<QString>("kind"); // how the value is stored: "none", "data", "string" or "value"
    QTest::addColumn<QVariant>("stored");
    const QByteArray statusJson = compactText(completeDocument());
    QTest::newRow("missing") << QStringLiteral("none") << QVariant();
    QTest::newRow("garbage bytes") << QStringLiteral("data") << QVariant(QByteArray("\x00\xff\x13garbage", 10));
    QTest::newRow("empty data") << QStringLiteral("data") << QVariant(QByteArray());
    QTest::newRow("JSON that is no status") << QStringLiteral("data") << QVariant(QByteArray("{\"ableton\":{}}"));
    QTest::newRow("truncated status") << QStringLiteral("data") << QVariant(statusJson.left(statusJson.size() / 2));
    QTest::newRow("status text as a string") << QStringLiteral("string") << QVariant(QString::fromUtf8(statusJson));
    QTest::newRow("a number") << QStringLiteral("value") << QVariant(42);
}

void StatusTest::unusableCacheIsNoStatus() {
    QFETCH(QString, kind);
    QFETCH(QVariant, stored);
    TemporaryHome home;
    {
        UserDefaults defaults(domain);
        if (kind == QLatin1String("data"))
            defaults.setData(cacheKey, stored.toByteArray());
        else if (kind == QLatin1String("string"))
            defaults.setString(cacheKey, stored.toString());
        else if (kind == QLatin1String("value"))
            defaults.setValue(cacheKey, stored);
        QCOMPARE(loadCachedStatus(defaults), std::nullopt);
    }
    const UserDefaults reopened(domain);
    QCOMPARE(loadCachedStatus(reopened), std::nullopt);
    const DynamicStatus model(reopened);
    QCOMPARE(model.lastResponse(), std::nullopt);
}

// Dynamic status

void StatusTest::freshModelWithoutCacheIsStartingAndHasNoViews() {
    TemporaryHome home;
    const UserDefaults defaults(domain);
    const DynamicStatus model(defaults);
    QCOMPARE(model.lastResponse(), std::nullopt);
    QCOMPARE(model.isCompanionRegistered(), false);
    QCOMPARE(model.requiresLoginItemApproval(), false);
    QCOMPARE(model.logFile(), std::nullopt);
    QCOMPARE(model.companionError(), std::nullopt);
    QCOMPARE(model.isStarting(), true);
    QCOMPARE(model.companionState(), CompanionState(CompanionState::Kind::startingUp));
    QCOMPARE(model.companionStatus(), std::nullopt);
    QCOMPARE(model.abletonStatus(), std::nullopt);
    QCOMPARE(model.bonjourStatus(), std::nullopt);
}

void StatusTest::constructorLoadsTheCachedStatus() {
    TemporaryHome home;
    {
        UserDefaults defaults(domain);
        saveCachedStatus(defaults, completeStatus());
    }
    const UserDefaults defaults(domain);
    const DynamicStatus model(defaults);
    QCOMPARE(model.lastResponse(), completeStatus());
    QCOMPARE(model.isStarting(), true);
    QCOMPARE(model.companionState(), CompanionState(CompanionState::Kind::startingUp));
    QCOMPARE(model.companionStatus(), completeStatus().companion);
}

void StatusTest::companionStateFollowsTheRuleInOrder_data() {
    using Kind = CompanionState::Kind;
    QTest::addColumn<bool>("starting");
    QTest::addColumn<bool>("failed");
    QTest::addColumn<bool>("approval");
    QTest::addColumn<bool>("registered");
    QTest::addColumn<bool>("hasStatus");
    QTest::addColumn<bool>("addonLoaded");
    QTest::addColumn<bool>("accessibility");
    QTest::addColumn<bool>("automation");
    QTest::addColumn<bool>("companionRunning");
    QTest::addColumn<Kind>("expected");
    // starting, failed, approval, registered, status, addon, accessibility, automation, running
    const auto row = [](const char* name, std::array<bool, 9> c, Kind expected) {
        QTest::newRow(name) << c[0] << c[1] << c[2] << c[3] << c[4] << c[5] << c[6] << c[7] << c[8] << expected;
    };
    row("starting hides everything", {1, 1, 1, 1, 1, 1, 1, 1, 1}, Kind::startingUp);
    row("starting with a failure", {1, 1, 0, 0, 0, 0, 0, 0, 0}, Kind::startingUp);
    row("starting without status", {1, 0, 0, 0, 0, 0, 0, 0, 0}, Kind::startingUp);
    row("failure hides approval", {0, 1, 1, 0, 1, 1, 1, 1, 1}, Kind::error);
    row("failure without status", {0, 1, 0, 0, 0, 0, 0, 0, 0}, Kind::error);
    row("approval hides status", {0, 0, 1, 0, 1, 1, 1, 1, 1}, Kind::requiresLoginItemApproval);
    row("approval without status", {0, 0, 1, 1, 0, 0, 0, 0, 0}, Kind::requiresLoginItemApproval);
    row("no status", {0, 0, 0, 0, 0, 0, 0, 0, 0}, Kind::notRunning);
    row("no status while registered", {0, 0, 0, 1, 0, 0, 0, 0, 0}, Kind::notRunning);
    row("addon loaded, accessibility missing", {0, 0, 0, 1, 1, 1, 0, 1, 1}, Kind::runningNeedsAccessibility);
    row("addon loaded, both missing", {0, 0, 0, 1, 1, 1, 0, 0, 1}, Kind::runningNeedsBothPermissions);
    row("addon loaded, automation missing", {0, 0, 0, 1, 1, 1, 1, 0, 1}, Kind::runningNeedsAutomation);
    row("addon loaded, all granted", {0, 0, 0, 1, 1, 1, 1, 1, 1}, Kind::running);
    row("all granted, companion stopped", {0, 0, 0, 0, 1, 1, 1, 1, 0}, Kind::running);
    row("no addon, accessibility missing", {0, 0, 0, 1, 1, 0, 0, 1, 1}, Kind::running);
    row("no addon, both missing", {0, 0, 0, 1, 1, 0, 0, 0, 1}, Kind::runningNeedsAutomation);
    row("no addon, automation missing", {0, 0, 0, 0, 1, 0, 1, 0, 1}, Kind::runningNeedsAutomation);
}

void StatusTest::companionStateFollowsTheRuleInOrder() {
    QFETCH(bool, starting);
    QFETCH(bool, failed);
    QFETCH(bool, approval);
    QFETCH(bool, registered);
    QFETCH(bool, hasStatus);
    QFETCH(bool, addonLoaded);
    QFETCH(bool, accessibility);
    QFETCH(bool, automation);
    QFETCH(bool, companionRunning);
    QFETCH(CompanionState::Kind, expected);

    TemporaryHome home;
    const UserDefaults defaults(domain);
    DynamicStatus model(defaults);
    StatusResponse status = completeStatus();
    status.companion.isAcceleratorAddonLoaded = addonLoaded;
    status.companion.permissions = CompanionPermissions{accessibility, automation};
    status.companion.condition = companionRunning ? CompanionCondition::running : CompanionCondition::stopped;
    model.setLastResponse(hasStatus ? std::optional(status) : std::nullopt);
    model.setIsCompanionRegistered(registered);
    model.setRequiresLoginItemApproval(approval);
    model.setCompanionError(failed ? std::optional(sampleError()) : std::nullopt);
    model.setIsStarting(starting);

    const CompanionState state = model.companionState();
    QCOMPARE(state.kind(), expected);
    QCOMPARE(state.error(), expected == CompanionState::Kind::error ? std::optional(sampleError()) : std::nullopt);
}

void StatusTest::derivedViewsFollowTheLastResponse() {
    TemporaryHome home;
    const UserDefaults defaults(domain);
    DynamicStatus model(defaults);
    const StatusResponse status = completeStatus();
    model.setLastResponse(status);
    QCOMPARE(model.companionStatus(), status.companion);
    QCOMPARE(model.abletonStatus(), status.ableton);
    QCOMPARE(model.bonjourStatus(), status.bonjour);

    model.setLastResponse(std::nullopt);
    QCOMPARE(model.companionStatus(), std::nullopt);
    QCOMPARE(model.abletonStatus(), std::nullopt);
    QCOMPARE(model.bonjourStatus(), std::nullopt);
}

void StatusTest::everyAssignmentNotifiesAlsoForEqualValues_data() {
    QTest::addColumn<QString>("field");
    for (const char* field : {"lastResponse", "isCompanionRegistered", "requiresLoginItemApproval", "logFile",
                              "companionError", "isStarting"})
        QTest::newRow(field) << QString::fromLatin1(field);
}

void StatusTest::everyAssignmentNotifiesAlsoForEqualValues() {
    QFETCH(QString, field);
    TemporaryHome home;
    const UserDefaults defaults(domain);
    DynamicStatus model(defaults);
    QSignalSpy spy(&model, &DynamicStatus::changed);

    assignSample(model, field, 0);
    QCOMPARE(spy.count(), 1);
    QVERIFY(holdsSample(model, field, 0));
    assignSample(model, field, 0);
    QCOMPARE(spy.count(), 2);
    assignSample(model, field, 1);
    QCOMPARE(spy.count(), 3);
    QVERIFY(holdsSample(model, field, 1));
    assignSample(model, field, 1);
    QCOMPARE(spy.count(), 4);

    // Reading never notifies.
    (void)model.companionState();
    (void)model.companionStatus();
    (void)model.abletonStatus();
    (void)model.bonjourStatus();
    QCOMPARE(spy.count(), 4);
}

QTEST_GUILESS_MAIN(StatusTest)
