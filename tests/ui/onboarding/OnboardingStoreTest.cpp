#include "ui/onboarding/OnboardingStore.h"

#include "OnboardingFixture.h"
#include "OnboardingTests.h"
#include "diagnostics/FileLogger.h"
#include "diagnostics/LogWriter.h"
#include "platform/UserDefaults.h"

#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>
#include <QTimeZone>

using namespace pylon;
using namespace pylon::test;
using namespace pylon::ui;

Q_DECLARE_METATYPE(std::optional<QString>)

namespace {

const QString versionKey = QStringLiteral("pylon.onboarding.acceptedEulaVersion");
const QString timeKey = QStringLiteral("pylon.onboarding.acceptedAt");

// A store over defaults in a temporary folder, logging into a log file of its own.
struct StoreFixture {
    StoreFixture()
        : writer(home.path() + QStringLiteral("/logs"), home.path() + QStringLiteral("/logs/menubar.log"))
        , log(QStringLiteral("menubar"), productionIdentifier, writer)
        , defaults(productionIdentifier, home.configHome()) {}

    OnboardingStore& makeStore() {
        store = std::make_unique<OnboardingStore>(defaults, log);
        return *store;
    }
    QStringList messages() {
        writer.flush();
        return logMessages(readFile(home.path() + QStringLiteral("/logs/menubar.log")));
    }
    // What another process would read from the defaults file.
    std::optional<QString> persisted(const QString& key) {
        defaults.synchronize();
        return UserDefaults(productionIdentifier, home.configHome()).string(key);
    }

    TemporaryHome home;
    LogWriter writer;
    FileLogger log;
    UserDefaults defaults;
    std::unique_ptr<OnboardingStore> store;
};

} // namespace

class OnboardingStoreTest : public QObject {
    Q_OBJECT
private slots:
    void initLineAndCompleteness_data() {
        QTest::addColumn<std::optional<QString>>("stored");
        QTest::addColumn<QString>("line");
        QTest::addColumn<bool>("complete");
        QTest::addColumn<QString>("version");
        QTest::newRow("never written") << std::optional<QString>() << "Onboarding: init (stored='nil', complete=false)"
                                       << false << "";
        QTest::newRow("current") << std::optional<QString>("1.2") << "Onboarding: init (stored='1.2', complete=true)"
                                 << true << "1.2";
        QTest::newRow("older agreement") << std::optional<QString>("1.1")
                                         << "Onboarding: init (stored='1.1', complete=false)" << false << "1.1";
        QTest::newRow("empty") << std::optional<QString>("") << "Onboarding: init (stored='', complete=false)" << false
                               << "";
        QTest::newRow("trailing space") << std::optional<QString>("1.2 ")
                                        << "Onboarding: init (stored='1.2 ', complete=false)" << false << "1.2 ";
        QTest::newRow("numerically equal")
            << std::optional<QString>("1.20") << "Onboarding: init (stored='1.20', complete=false)" << false << "1.20";
        QTest::newRow("newer") << std::optional<QString>("1.3") << "Onboarding: init (stored='1.3', complete=false)"
                               << false << "1.3";
    }
    void initLineAndCompleteness() {
        QFETCH(std::optional<QString>, stored);
        QFETCH(QString, line);
        QFETCH(bool, complete);
        QFETCH(QString, version);
        StoreFixture f;
        if (stored)
            f.defaults.setString(versionKey, *stored);
        OnboardingStore& store = f.makeStore();
        QCOMPARE(f.messages(), QStringList{line});
        QCOMPARE(store.isComplete(), complete);
        QCOMPARE(store.acceptedEulaVersion(), version);
        QCOMPARE(store.acceptedAt(), QString());
    }

    void resetArgument_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<bool>("resets");
        QTest::newRow("no arguments") << QStringList{"Pylon"} << false;
        QTest::newRow("the flag") << QStringList{"Pylon", "-resetOnboarding"} << true;
        QTest::newRow("among others") << QStringList{"Pylon", "--headless", "-resetOnboarding", "x"} << true;
        QTest::newRow("two dashes") << QStringList{"Pylon", "--resetOnboarding"} << false;
        QTest::newRow("other case") << QStringList{"Pylon", "-resetonboarding"} << false;
        QTest::newRow("with a value") << QStringList{"Pylon", "-resetOnboarding=1"} << false;
        QTest::newRow("as a value") << QStringList{"Pylon", "--flag=-resetOnboarding"} << false;
    }
    void resetArgument() {
        QFETCH(QStringList, arguments);
        QFETCH(bool, resets);
        StoreFixture f;
        f.defaults.setString(versionKey, QStringLiteral("1.2"));
        f.defaults.setString(timeKey, QStringLiteral("2025-01-01T00:00:00Z"));
        OnboardingStore& store = f.makeStore();
        QSignalSpy changed(&store, &OnboardingStore::changed);
        QCOMPARE(store.applyLaunchArguments(arguments), resets);

        QStringList expected{"Onboarding: init (stored='1.2', complete=true)"};
        if (resets)
            expected << "Onboarding: reset via -resetOnboarding flag";
        QCOMPARE(f.messages(), expected);
        QCOMPARE(changed.size(), resets ? 1 : 0);
        QCOMPARE(store.isComplete(), !resets);
        QCOMPARE(store.acceptedEulaVersion(), resets ? QString() : QStringLiteral("1.2"));
        QCOMPARE(store.acceptedAt(), resets ? QString() : QStringLiteral("2025-01-01T00:00:00Z"));
        QCOMPARE(f.persisted(versionKey).has_value(), !resets);
        QCOMPARE(f.persisted(timeKey).has_value(), !resets);
    }

    void completion_data() {
        QTest::addColumn<std::optional<QString>>("stored");
        QTest::addColumn<QDateTime>("now");
        QTest::addColumn<QString>("timestamp");
        const QDateTime utc(QDate(2025, 3, 4), QTime(9, 15, 2, 481), QTimeZone::utc());
        QTest::newRow("first run") << std::optional<QString>() << utc << "2025-03-04T09:15:02Z";
        QTest::newRow("older agreement") << std::optional<QString>("1.1") << utc << "2025-03-04T09:15:02Z";
        QTest::newRow("again after completion") << std::optional<QString>("1.2") << utc << "2025-03-04T09:15:02Z";
        QTest::newRow("clock in another zone")
            << std::optional<QString>() << QDateTime(QDate(2025, 3, 4), QTime(0, 30, 0), QTimeZone(2 * 3600))
            << "2025-03-03T22:30:00Z";
        QTest::newRow("end of a year") << std::optional<QString>()
                                       << QDateTime(QDate(2024, 12, 31), QTime(23, 59, 59, 999), QTimeZone::utc())
                                       << "2024-12-31T23:59:59Z";
    }
    void completion() {
        QFETCH(std::optional<QString>, stored);
        QFETCH(QDateTime, now);
        QFETCH(QString, timestamp);
        StoreFixture f;
        if (stored)
            f.defaults.setString(versionKey, *stored);
        OnboardingStore& store = f.makeStore();
        store.setClock([now] { return now; });
        QSignalSpy changed(&store, &OnboardingStore::changed);
        store.completeOnboarding();
        QCOMPARE(changed.size(), 1);
        QVERIFY(store.isComplete());
        QCOMPARE(f.persisted(versionKey), std::optional<QString>("1.2"));
        QCOMPARE(f.persisted(timeKey), std::optional(timestamp));
        QCOMPARE(f.messages().last(), QStringLiteral("Onboarding: completed (EULA v1.2)"));
        QCOMPARE(f.messages().size(), 2);
    }

    void completionUsesTheCurrentTimeInUtc() {
        StoreFixture f;
        OnboardingStore& store = f.makeStore();
        const QDateTime before = QDateTime::currentDateTimeUtc();
        store.completeOnboarding();
        const QDateTime after = QDateTime::currentDateTimeUtc();
        const QString stamp = store.acceptedAt();
        QVERIFY2(
            QRegularExpression(QStringLiteral("^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\dZ$")).match(stamp).hasMatch(),
            qPrintable(stamp));
        const QDateTime parsed = QDateTime::fromString(stamp, Qt::ISODate);
        QVERIFY(parsed.isValid());
        QVERIFY(parsed >= before.addMSecs(-before.time().msec()));
        QVERIFY(parsed <= after);
    }

    void settersWriteThroughWithoutAnnouncing() {
        StoreFixture f;
        OnboardingStore& store = f.makeStore();
        QSignalSpy changed(&store, &OnboardingStore::changed);
        store.setAcceptedEulaVersion(QStringLiteral("1.2"));
        store.setAcceptedAt(QStringLiteral("then"));
        QCOMPARE(f.persisted(versionKey), std::optional<QString>("1.2"));
        QCOMPARE(f.persisted(timeKey), std::optional<QString>("then"));
        QVERIFY(store.isComplete());
        QCOMPARE(changed.size(), 0);
        // Another writer of the same defaults is seen at once: the fields are views, not copies.
        f.defaults.setString(versionKey, QStringLiteral("1.1"));
        QVERIFY(!store.isComplete());
    }
};

std::unique_ptr<QObject> makeOnboardingStoreTest() {
    return std::make_unique<OnboardingStoreTest>();
}

#include "OnboardingStoreTest.moc"
