#include "FakeCompanionServer.h"
#include "Fakes.h"
#include "TemporaryHome.h"
#include "TestBundle.h"
#include "updates/UpdateController.h"
#include "platform/Bundle.h"
#include "platform/UserDefaults.h"
#include "ui/updates/UpdateDialogs.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimeZone>

using namespace pylon;
using namespace pylon::test;
using namespace pylon::ui;
using namespace std::chrono_literals;

namespace {

// One feed item in Sparkle's form; empty fields are left out.
QByteArray feedItem(const QByteArray& version, const QByteArray& os = {},
                    const QByteArray& enclosure = "https://downloads.example.net/pylon.tar.gz",
                    const QByteArray& notes = {}, const QByteArray& link = {}) {
    auto element = [](const QByteArray& name, const QByteArray& value) {
        return value.isEmpty() ? QByteArray() : '<' + name + '>' + value + "</" + name + '>';
    };
    const QByteArray system = os.isEmpty() ? "" : " sparkle:os=\"" + os + '"';
    return "<item>" + element("sparkle:version", version) + element("sparkle:releaseNotesLink", notes) +
           element("link", link) + (enclosure.isEmpty() ? "" : "<enclosure url=\"" + enclosure + '"' + system + "/>") +
           "</item>\n";
}

// An RSS document with these items, binding Sparkle's namespace to `prefix`.
QByteArray appcast(const QByteArray& items, const QByteArray& prefix = "sparkle") {
    return "<rss version=\"2.0\" xmlns:" + prefix + "=\"http://www.andymatuschak.org/xml-namespaces/sparkle\">" +
           "<channel><title>Pylon</title>\n" + items + "</channel></rss>\n";
}

// Controllers of a "Pylon" at version 1.9 with their own dialogs, reading the feed of `server`, with
// settings in a temporary home and a wall clock that moves only when told to. Each dialog is noted in
// `shown` ("<title> <message>") and answered with the button named next in `answers` (else Escape).
struct Fixture {
    Fixture()
        : defaults(QStringLiteral("net.ostrand.Pylon"), home.configHome())
        , now(QDate(2024, 5, 1), QTime(12, 0), QTimeZone::utc()) {
        server.contentType = "application/rss+xml";
        server.listen();
        configuration.feedUrl = QUrl(QStringLiteral("http://127.0.0.1:%1/pylon/appcast.xml").arg(server.port()));
        configuration.appName = QStringLiteral("Pylon");
        configuration.bundleVersion = configuration.shortVersionString = QStringLiteral("1.9");
        Alerts::nextAnswer = [this](const AlertContent& content) {
            shown << content.title + QLatin1Char(' ') + content.message;
            const QString answer = answers.isEmpty() ? QString() : answers.takeFirst();
            const auto button = std::find_if(content.buttons.begin(), content.buttons.end(),
                                             [&](const AlertButton& b) { return b.text == answer; });
            return button == content.buttons.end() ? Alerts::cancelIndex(content)
                                                   : int(button - content.buttons.begin());
        };
    }
    ~Fixture() { Alerts::nextAnswer = nullptr; }

    // A new controller over the same settings, as on the next run.
    UpdateController& makeController() {
        controller.reset();
        controller = std::make_unique<UpdateController>(configuration, defaults, workspace,
                                                        UpdaterOptions{[this] { return now; }, timeLimit});
        controller->setUserDriver(std::make_unique<UpdateDialogs>());
        QObject::connect(controller.get(), &UpdateController::checkFinished, controller.get(),
                         [this] { ++finishedChecks; });
        return *controller;
    }
    bool waitForFinishedChecks(int count) {
        return QTest::qWaitFor([&] { return finishedChecks >= count; }, 20000);
    }
    bool checkAndWait() {
        const int count = finishedChecks + 1;
        controller->checkForUpdates();
        return waitForFinishedChecks(count);
    }
    // Whether the dialogs shown so far contain, each, the text expected of it.
    bool showed(const QStringList& expected) const {
        return shown.size() == expected.size() &&
               std::equal(shown.begin(), shown.end(), expected.begin(),
                          [](const QString& s, const QString& e) { return s.contains(e); });
    }

    TemporaryHome home;
    FakeCompanionServer server;
    FakeWorkspace workspace;
    UserDefaults defaults;
    UpdaterConfiguration configuration;
    std::chrono::milliseconds timeLimit = UpdateChecker::defaultTimeLimit;
    QDateTime now;
    std::unique_ptr<UpdateController> controller;
    QStringList answers, shown;
    int finishedChecks = 0;
};

} // namespace

// The feed, the settings, the checker against feeds served from here, its schedule and its dialogs.
class UpdatesTest : public QObject {
    Q_OBJECT
private slots:
    void newestItemForThisSystemIsChosenNumerically_data() {
        QTest::addColumn<QByteArray>("feed");
        QTest::addColumn<QString>("newest"); // empty: no item qualifies
        auto row = [](const char* name, const QByteArray& feed, const char* newest) {
            QTest::newRow(name) << feed << QString::fromUtf8(newest);
        };
        row("1.10 is newer than 1.9", appcast(feedItem("1.9") + feedItem("1.10") + feedItem("1.2")), "1.10");
        row("items for other systems are skipped, this one matched without case",
            appcast(feedItem("3.0", "macos") + feedItem("2.0", "windows") + feedItem("1.5", "Linux")), "1.5");
        row("items without a system count", appcast(feedItem("2.0") + feedItem("1.0", "linux")), "2.0");
        row("only other systems", appcast(feedItem("2.0", "macos")), "");
        row("an item without version is skipped", appcast(feedItem("") + feedItem("1.0")), "1.0");
        row("an item with nothing to open is skipped", appcast(feedItem("3.0", "", "") + feedItem("1.0")), "1.0");
        row("a link is enough to open", appcast(feedItem("3.0", "", "", "", "https://e.net/3") + feedItem("1")), "3.0");
        row("only web addresses are opened",
            appcast(feedItem("3", "", "file:///p") + feedItem("2", "", "smb://nas/p") + feedItem("1")), "1");
        row("version on the enclosure, as older feeds have it",
            appcast("<item><enclosure url=\"https://e.net/a\" sparkle:version=\"7\"/></item>" + feedItem("5")), "7");
        row("another prefix for the namespace",
            appcast("<item><s:version>4</s:version><enclosure url=\"https://e.net/a\"/></item>", "s"), "4");
        const QByteArray beta = "<item><sparkle:version>9</sparkle:version><sparkle:channel>beta</sparkle:channel>"
                                "<enclosure url=\"https://e.net/b\"/></item>";
        row("items on a named channel are skipped", appcast(beta + feedItem("8")), "8");
    }
    void newestItemForThisSystemIsChosenNumerically() {
        QFETCH(QByteArray, feed);
        QFETCH(QString, newest);
        const std::optional<AppcastItem> item = AppcastFeed::parse(feed).newestItem();
        QCOMPARE(item ? item->version : QString(), newest);
    }

    void everyFieldOfAnItemIsRead() {
        const QByteArray item =
            "<item><title> Version 2.1 </title><link>https://e.net/2.1</link>"
            "<sparkle:version>210</sparkle:version><sparkle:shortVersionString>2.1</sparkle:shortVersionString>"
            "<sparkle:releaseNotesLink>\n https://e.net/notes\n</sparkle:releaseNotesLink>"
            "<enclosure url=\"https://e.net/p.tar.gz\" sparkle:os=\"linux\"/></item>";
        const AppcastItem expected("Version 2.1", "210", "2.1", "linux", QUrl("https://e.net/p.tar.gz"),
                                   QUrl("https://e.net/notes"), QUrl("https://e.net/2.1"));
        QCOMPARE(AppcastFeed::parse(appcast(item)).items(), QList<AppcastItem>{expected});
    }

    void settingsComeFromInfoPlist_data() {
        QTest::addColumn<QVariantMap>("extra");
        QTest::addColumn<qint64>("interval");
        auto row = [](const char* name, const QVariantMap& extra, qint64 interval) {
            QTest::newRow(name) << extra << interval;
        };
        row("feed and interval",
            {{"SUFeedURL", "https://e.net/appcast.xml"}, {"SUScheduledCheckInterval", qint64(7200)}}, 7200);
        row("neither", {}, 86400);
        row("below an hour", {{"SUScheduledCheckInterval", qint64(60)}}, 3600);
        row("a real number", {{"SUScheduledCheckInterval", 5400.0}}, 5400);
        row("text is not a number", {{"SUScheduledCheckInterval", "7200"}}, 86400);
    }
    void settingsComeFromInfoPlist() {
        QFETCH(QVariantMap, extra);
        QFETCH(qint64, interval);
        QTemporaryDir dir;
        QVariantMap info = bundleInfo("net.ostrand.Pylon", "1.2.0", "77");
        info.insert(extra);
        const UpdaterConfiguration configuration = UpdaterConfiguration::fromBundle(
            Bundle::atPath(makeBundle(dir.path(), QStringLiteral("Pylon"), info)), QStringLiteral("Pylon"));
        QCOMPARE(configuration.feedUrl, QUrl(extra.value("SUFeedURL").toString()));
        QCOMPARE(configuration.checkInterval.count(), interval);
        QCOMPARE(configuration.bundleVersion, QStringLiteral("77"));
        QCOMPARE(configuration.displayVersion(), QStringLiteral("1.2.0"));
    }

    void automaticChecksSpeakOnlyOfUpdatesNotSkippedUserChecksOfEverything_data() {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<int>("status"); // 0: never answers, -1: trickles
        QTest::addColumn<QString>("skipped");
        QTest::addColumn<QStringList>("shown"); // by the automatic check, if anything, then by the user's
        auto row = [](const char* name, const QByteArray& body, int status, const char* skipped,
                      const QStringList& shown) {
            QTest::newRow(name) << body << status << QString::fromUtf8(skipped) << shown;
        };
        const QString timeout = "The update feed did not answer within 0.3 seconds.";
        const QString found = "Pylon 1.10 is now available",
                      upToDate = "Pylon 1.9 is currently the newest version available.";
        row("newer", appcast(feedItem("1.10")), 200, "", {found, found});
        row("same", appcast(feedItem("1.9")), 200, "", {upToDate});
        row("older", appcast(feedItem("1.8")), 200, "", {upToDate});
        row("skipped", appcast(feedItem("1.10")), 200, "1.10", {found});
        row("newer than the skipped one", appcast(feedItem("1.11") + feedItem("1.10")), 200, "1.10",
            {"Pylon 1.11 is now available", "Pylon 1.11 is now available"});
        row("malformed XML", "<rss><channel><item>", 200, "", {"The update feed is not valid XML"});
        row("a web page", "<html><body/></html>", 200, "", {"The update feed is not an RSS channel."});
        row("RSS without a channel", "<rss version=\"2.0\"/>", 200, "", {"The update feed is not an RSS channel."});
        row("HTTP error", appcast(feedItem("1.10")), 404, "", {"The update feed answered with HTTP status 404."});
        row("no answer", {}, 0, "", {timeout});
        row("an answer that trickles", {}, -1, "", {timeout});
    }
    void automaticChecksSpeakOnlyOfUpdatesNotSkippedUserChecksOfEverything() {
        QFETCH(QByteArray, body);
        QFETCH(int, status);
        QFETCH(QString, skipped);
        QFETCH(QStringList, shown);
        Fixture f;
        f.server.body = body;
        f.server.statusCode = status;
        f.server.silent = status == 0;
        f.server.trickling = status == -1;
        if (status <= 0)
            f.timeLimit = 300ms; // the other answers come at once, so they keep the real limit
        f.defaults.setString(UpdateController::skippedVersionKey(), skipped); // empty: none
        UpdateController& controller = f.makeController();
        QSignalSpy canCheck(&controller, &UpdateController::canCheckForUpdatesChanged);

        controller.setAutomaticallyChecksForUpdates(true);
        QVERIFY(f.waitForFinishedChecks(1));
        QVERIFY2(f.showed(shown.mid(0, shown.size() - 1)), qPrintable(f.shown.join('\n')));
        controller.setAutomaticallyChecksForUpdates(true); // as each time the setup window appears
        f.now = f.now.addSecs(60);
        QVERIFY(f.checkAndWait());
        QVERIFY2(f.showed(shown), qPrintable(f.shown.join('\n')));

        QCOMPARE(f.server.requests.size(), 2);
        QCOMPARE(controller.lastCheckTime(), std::optional(f.now));
        QCOMPARE(canCheck, (QList<QVariantList>{{false}, {true}, {false}, {true}}));
    }

    void automaticChecksWaitAnIntervalAfterTheLastCheckOfAnyRun_data() {
        QTest::addColumn<qint64>("secondsSince");
        QTest::addColumn<bool>("checksNow");
        QTest::newRow("just checked") << qint64(0) << false;
        QTest::newRow("a second short of a day") << qint64(86399) << false;
        QTest::newRow("a day") << qint64(86400) << true;
        QTest::newRow("clock set back an hour") << qint64(-3600) << true;
    }
    void automaticChecksWaitAnIntervalAfterTheLastCheckOfAnyRun() {
        QFETCH(qint64, secondsSince);
        QFETCH(bool, checksNow);
        Fixture f;
        f.server.body = appcast(feedItem("1.9"));
        f.makeController();
        QVERIFY(f.checkAndWait());
        f.now = f.now.addSecs(secondsSince);
        UpdateController& controller = f.makeController(); // the next run
        controller.setAutomaticallyChecksForUpdates(true);
        QCOMPARE(
            controller.timeUntilNextAutomaticCheck(),
            std::optional(checksNow ? 0ms : std::chrono::milliseconds(86400s - std::chrono::seconds(secondsSince))));
        QCOMPARE(controller.checkInBackgroundIfDue(), checksNow);
        QVERIFY(f.waitForFinishedChecks(1 + int(checksNow)));
        QCOMPARE(f.server.requests.size(), 1 + int(checksNow));
        QCOMPARE(controller.lastCheckTime(), std::optional(checksNow ? f.now : f.now.addSecs(-secondsSince)));
        if (checksNow)
            QCOMPARE(controller.timeUntilNextAutomaticCheck(), std::optional(std::chrono::milliseconds(86400s)));
    }

    // Without the hook the dialogs are real message boxes: the found update's box is found, read
    // and answered with "Skip This Version", which is written to the settings; the up-to-date box
    // is dismissed with Return.
    void realDialogsAreAnsweredByTheirButtons() {
        Fixture f;
        Alerts::nextAnswer = nullptr;
        const auto openBox = [] {
            for (QWidget* widget : QApplication::topLevelWidgets()) {
                if (auto* box = qobject_cast<QMessageBox*>(widget); box && box->isVisible())
                    return box;
            }
            return static_cast<QMessageBox*>(nullptr);
        };
        f.server.body = appcast(feedItem("2.0"));
        f.makeController().checkForUpdates();
        QTRY_VERIFY_WITH_TIMEOUT(openBox(), 20000);
        QMessageBox* found = openBox();
        QVERIFY(found->informativeText().contains(QStringLiteral("2.0")));
        QAbstractButton* skip = nullptr;
        for (QAbstractButton* button : found->buttons())
            skip = button->text() == QStringLiteral("Skip This Version") ? button : skip;
        QVERIFY(skip);
        skip->click();
        QVERIFY(f.waitForFinishedChecks(1));
        QCOMPARE(f.defaults.string(UpdateController::skippedVersionKey()), std::optional<QString>("2.0"));
        QTRY_VERIFY(!openBox());

        f.server.body = appcast(feedItem("1.9"));
        f.controller->checkForUpdates();
        QTRY_VERIFY_WITH_TIMEOUT(openBox(), 20000);
        QTest::keyClick(openBox(), Qt::Key_Return);
        QVERIFY(f.waitForFinishedChecks(2));
        QTRY_VERIFY(!openBox());
    }

    void nothingIsFetchedUntilSwitchedOnNorAfterSwitchedOff() {
        Fixture f;
        UpdateController& controller = f.makeController();
        QVERIFY(!controller.automaticallyChecksForUpdates() && !controller.timeUntilNextAutomaticCheck());
        controller.setAutomaticallyChecksForUpdates(true);
        controller.setAutomaticallyChecksForUpdates(false);
        QVERIFY(!controller.timeUntilNextAutomaticCheck() && !controller.checkInBackgroundIfDue());
        QCoreApplication::processEvents();
        QVERIFY(f.server.requests.isEmpty());
    }

    void userAskingDuringAnAutomaticCheckJoinsIt() {
        Fixture f;
        f.server.silent = true;
        f.timeLimit = 200ms;
        UpdateController& controller = f.makeController();
        controller.setAutomaticallyChecksForUpdates(true);
        QVERIFY(controller.checkInBackgroundIfDue());
        QVERIFY(!controller.canCheckForUpdates());
        controller.checkForUpdates();
        controller.checkForUpdates();
        QVERIFY(f.waitForFinishedChecks(1));
        QVERIFY2(f.showed({"The update feed did not answer"}), qPrintable(f.shown.join('\n')));
        QCOMPARE(f.server.requests.size(), 1);
        QVERIFY(controller.canCheckForUpdates());
    }

    void aMissingFeedAddressIsAnError() {
        Fixture f;
        f.configuration.feedUrl = QUrl();
        f.makeController();
        QVERIFY(f.checkAndWait());
        QVERIFY2(f.showed({"No update feed address is set for this application."}), qPrintable(f.shown.join('\n')));
        QVERIFY(f.server.requests.isEmpty());
    }

    // The other dialogs' texts are matched above.
    void theFoundUpdateDialogSaysWhatWasFound() {
        UpdateFound found{AppcastItem{"", "110", "1.10", "", {}, {}, {}}, "Pylon", "1.9", "109", true};
        const QList<AlertButton> buttons{{"Download", false}, {"Skip This Version", false}, {"Remind Me Later", true}};
        QCOMPARE(updateFoundAlert(found),
                 (AlertContent{"A new version of Pylon is available!",
                               "Pylon 1.10 is now available\u2014you have 1.9. Would you like to download it now?",
                               buttons}));
        found.item.releaseNotesLink = QUrl("https://e.net/notes");
        QCOMPARE(updateFoundAlert(found).buttons, (buttons + QList<AlertButton>{{"Release Notes", false}}));
        QVERIFY(updateFoundAlert(found).message.endsWith("?\n\nRelease notes: https://e.net/notes"));
        found.item.shortVersionString = "1.9"; // two builds of one release are told apart by their builds
        QVERIFY(
            updateFoundAlert(found).message.startsWith("Pylon 1.9 (110) is now available\u2014you have 1.9 (109)."));
        QVERIFY(updateErrorAlert("Gone.").isWarning);
    }

    // Skipping is written to the settings on disk.
    void answersToAFoundUpdate_data() {
        QTest::addColumn<QByteArray>("item");
        QTest::addColumn<QStringList>("answers");
        QTest::addColumn<QList<QUrl>>("opened");
        QTest::addColumn<QString>("skipped");
        const QByteArray enclosure = "https://e.net/p.tar.gz", notes = "https://e.net/notes",
                         page = "https://e.net/1.10";
        const QByteArray full = feedItem("1.10", "", enclosure, notes, page);
        auto row = [](const char* name, const QByteArray& item, const QStringList& answers, const QList<QUrl>& opened,
                      const char* skipped) {
            QTest::newRow(name) << item << answers << opened << QString::fromUtf8(skipped);
        };
        row("Download opens the enclosure", full, {"Download"}, {QUrl(enclosure)}, "");
        row("Download without enclosure opens the page", feedItem("1.10", "", "", "", page), {"Download"}, {QUrl(page)},
            "");
        row("Skip This Version is remembered", full, {"Skip This Version"}, {}, "1.10");
        row("Escape, as Remind Me Later, remembers nothing", full, {}, {}, "");
        row("Release Notes opens them and asks again", full, {"Release Notes", "Download"},
            {QUrl(notes), QUrl(enclosure)}, "");
    }
    void answersToAFoundUpdate() {
        QFETCH(QByteArray, item);
        QFETCH(QStringList, answers);
        QFETCH(QList<QUrl>, opened);
        QFETCH(QString, skipped);
        Fixture f;
        f.server.body = appcast(item);
        f.answers = answers;
        f.makeController();
        QVERIFY(f.checkAndWait());
        QCOMPARE(f.shown.size(), answers.value(0) == QLatin1String("Release Notes") ? 2 : 1);
        QCOMPARE(f.workspace.urls, opened);
        const UserDefaults reread(QStringLiteral("net.ostrand.Pylon"), f.home.configHome());
        QCOMPARE(reread.string(UpdateController::skippedVersionKey()).value_or(QString()), skipped);
        QVERIFY(f.controller->canCheckForUpdates());
    }
};

QTEST_MAIN(UpdatesTest)

#include "tst_updates.moc"
