#include "TestBundle.h"
#include "UpdateTestSupport.h"
#include "platform/Bundle.h"

#include <QTemporaryDir>
#include <QTest>

using namespace pylon;
using namespace pylon::test;

namespace {

QByteArray rss(const QByteArray& items, const QByteArray& prefix = "sparkle") {
    return "<rss version=\"2.0\" xmlns:" + prefix +
           "=\"http://www.andymatuschak.org/xml-namespaces/sparkle\">"
           "<channel>" +
           items + "</channel></rss>";
}

} // namespace

class AppcastTest : public QObject {
    Q_OBJECT
private slots:
    void newestItemForThisSystemIsChosenNumerically_data() {
        QTest::addColumn<QByteArray>("feed");
        QTest::addColumn<QString>("newest"); // empty: no item qualifies
        QTest::newRow("1.10 is newer than 1.9") << appcast({{"1.9"}, {"1.10"}, {"1.2"}}) << "1.10";
        QTest::newRow("10 is newer than 9, in any order") << appcast({{"10"}, {"9"}}) << "10";
        QTest::newRow("items for other systems are skipped")
            << appcast({{"3.0", "macos"}, {"2.0", "windows"}, {"1.5", "linux"}}) << "1.5";
        QTest::newRow("the system is matched without case") << appcast({{"2.0", "Linux"}, {"1.0"}}) << "2.0";
        QTest::newRow("items without a system count") << appcast({{"2.0"}, {"1.0", "linux"}}) << "2.0";
        QTest::newRow("only other systems") << appcast({{"2.0", "macos"}}) << "";
        QTest::newRow("an empty channel") << appcast({}) << "";
        QTest::newRow("an item without version is skipped") << appcast({{""}, {"1.0"}}) << "1.0";
        QTest::newRow("an item with nothing to open is skipped") << appcast({{"3.0", "", ""}, {"1.0"}}) << "1.0";
        QTest::newRow("a link is enough to open") << appcast({{"3.0", "", "", "", "https://e.net/3"}, {"1"}}) << "3.0";
        QTest::newRow("only web addresses are opened")
            << appcast({{"3.0", "", "file:///tmp/p.tar.gz"}, {"2.0", "", "smb://nas/p.tar.gz"}, {"1.0"}}) << "1.0";
        QTest::newRow("version on the enclosure, as older feeds have it")
            << rss("<item><enclosure url=\"https://e.net/a\" sparkle:version=\"7\"/></item>"
                   "<item><sparkle:version>5</sparkle:version><enclosure url=\"https://e.net/b\"/></item>")
            << "7";
        QTest::newRow("another prefix for the namespace")
            << rss("<item><s:version>4</s:version><enclosure url=\"https://e.net/a\"/></item>", "s") << "4";
        QTest::newRow("items on a named channel are skipped")
            << rss("<item><sparkle:version>9</sparkle:version><sparkle:channel>beta</sparkle:channel>"
                   "<enclosure url=\"https://e.net/b\"/></item>"
                   "<item><sparkle:version>8</sparkle:version><enclosure url=\"https://e.net/a\"/></item>")
            << "8";
    }
    void newestItemForThisSystemIsChosenNumerically() {
        QFETCH(QByteArray, feed);
        QFETCH(QString, newest);
        const std::optional<AppcastItem> item = AppcastFeed::parse(feed).newestItem();
        QCOMPARE(item ? item->version : QString(), newest);
    }

    void everyFieldOfAnItemIsRead() {
        const QByteArray feed =
            rss("<item><title> Version 2.1 </title><link>https://ostrand.net/pylon/2.1</link>"
                "<sparkle:version>210</sparkle:version><sparkle:shortVersionString>2.1</sparkle:shortVersionString>"
                "<sparkle:releaseNotesLink>\n https://ostrand.net/notes/2.1.html\n</sparkle:releaseNotesLink>"
                "<enclosure url=\"https://downloads.ostrand.net/pylon-2.1.tar.gz\" sparkle:os=\"linux\"/></item>");
        const AppcastItem expected{QStringLiteral("Version 2.1"),
                                   QStringLiteral("210"),
                                   QStringLiteral("2.1"),
                                   QStringLiteral("linux"),
                                   QUrl(QStringLiteral("https://downloads.ostrand.net/pylon-2.1.tar.gz")),
                                   QUrl(QStringLiteral("https://ostrand.net/notes/2.1.html")),
                                   QUrl(QStringLiteral("https://ostrand.net/pylon/2.1"))};
        QCOMPARE(AppcastFeed::parse(feed).items(), QList<AppcastItem>{expected});
        QCOMPARE(expected.displayVersionString(), QStringLiteral("2.1"));
    }

    void unreadableFeedsAreErrorsThatSayWhy_data() {
        QTest::addColumn<QByteArray>("feed");
        QTest::addColumn<QString>("mentions");
        QTest::newRow("not XML") << QByteArray("Service unavailable") << "not valid XML";
        QTest::newRow("cut short") << QByteArray("<rss><channel><item>") << "not valid XML";
        QTest::newRow("empty") << QByteArray() << "not valid XML";
        QTest::newRow("a web page") << QByteArray("<html><body/></html>") << "not an RSS channel";
        QTest::newRow("RSS without a channel") << QByteArray("<rss version=\"2.0\"/>") << "not an RSS channel";
    }
    void unreadableFeedsAreErrorsThatSayWhy() {
        QFETCH(QByteArray, feed);
        QFETCH(QString, mentions);
        const UpdateCheckResult result = UpdateChecker::evaluate(feed, QStringLiteral("1"));
        QCOMPARE(result.kind, UpdateCheckResult::Kind::failed);
        QVERIFY2(result.error.contains(mentions), qPrintable(result.error));
    }

    void settingsComeFromInfoPlist_data() {
        QTest::addColumn<QVariantMap>("extra");
        QTest::addColumn<QUrl>("feed");
        QTest::addColumn<qint64>("interval");
        const QString url = QStringLiteral("https://updates.example.net/appcast.xml");
        QTest::newRow("feed and interval")
            << QVariantMap{{"SUFeedURL", url}, {"SUScheduledCheckInterval", qint64(7200)}} << QUrl(url) << qint64(7200);
        QTest::newRow("neither") << QVariantMap{} << QUrl() << qint64(86400);
        QTest::newRow("below an hour") << QVariantMap{{"SUScheduledCheckInterval", qint64(60)}} << QUrl()
                                       << qint64(3600);
        QTest::newRow("a real number") << QVariantMap{{"SUScheduledCheckInterval", 5400.0}} << QUrl() << qint64(5400);
        QTest::newRow("text is not a number")
            << QVariantMap{{"SUScheduledCheckInterval", QStringLiteral("7200")}} << QUrl() << qint64(86400);
    }
    void settingsComeFromInfoPlist() {
        QFETCH(QVariantMap, extra);
        QFETCH(QUrl, feed);
        QFETCH(qint64, interval);
        QTemporaryDir dir;
        QVariantMap info =
            bundleInfo(QStringLiteral("net.ostrand.Pylon"), QStringLiteral("1.2.0"), QStringLiteral("77"));
        info.insert(extra);
        const UpdaterConfiguration configuration = UpdaterConfiguration::fromBundle(
            Bundle::atPath(makeBundle(dir.path(), QStringLiteral("Pylon"), info)), QStringLiteral("Pylon"));
        QCOMPARE(configuration.feedUrl, feed);
        QCOMPARE(configuration.checkInterval.count(), interval);
        QCOMPARE(configuration.bundleVersion, QStringLiteral("77"));
        QCOMPARE(configuration.displayVersion(), QStringLiteral("1.2.0"));
    }

    void builtBundlesNameTheirOwnFeed_data() {
        QTest::addColumn<QString>("bundle");
        QTest::addColumn<QString>("feed");
        QTest::newRow("production") << "Pylon.app"
                                    << "https://updates.ostrand.net/pylon/appcast.xml";
        QTest::newRow("development") << "Pylon-Dev.app"
                                     << "https://updates.ostrand.net/pylon-dev/appcast.xml";
    }
    void builtBundlesNameTheirOwnFeed() {
        QFETCH(QString, bundle);
        QFETCH(QString, feed);
        const Bundle built = Bundle::atPath(qEnvironmentVariable("PYLON_BUILD_DIR") + QLatin1Char('/') + bundle);
        QCOMPARE(built.infoValue(QStringLiteral("SUScheduledCheckInterval")), std::optional(QVariant(qint64(86400))));
        const UpdaterConfiguration configuration = UpdaterConfiguration::fromBundle(built, QStringLiteral("Pylon"));
        QCOMPARE(configuration.feedUrl, QUrl(feed));
        QCOMPARE(configuration.checkInterval, std::chrono::seconds(86400));
    }
};

int runAppcastTests(int argc, char** argv) {
    AppcastTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "AppcastTests.moc"
