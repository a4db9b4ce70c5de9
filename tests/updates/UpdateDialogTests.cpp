#include "UpdateTestSupport.h"
#include "ui/updates/UpdateDialogs.h"

#include <QTest>

using namespace pylon;
using namespace pylon::test;
using namespace pylon::ui;

namespace {

const QByteArray enclosure = "https://downloads.ostrand.net/pylon-1.10.tar.gz";
const QByteArray notes = "https://ostrand.net/pylon/notes/1.10.html";
const QByteArray page = "https://ostrand.net/pylon/1.10";
const QString foundTitle = QStringLiteral("A new version of Pylon is available!");

// Answers each alert with the button of the next scripted text (Escape when none is left) and keeps
// what was shown; puts the real boxes back afterwards.
struct ScriptedAlerts {
    explicit ScriptedAlerts(QStringList script)
        : answers(std::move(script)) {
        Alerts::nextAnswer = [this](const AlertContent& content) {
            shown << content.title;
            messages << content.message;
            const QString answer = answers.isEmpty() ? QString() : answers.takeFirst();
            for (int i = 0; i < content.buttons.size(); ++i) {
                if (content.buttons[i].text == answer)
                    return i;
            }
            return Alerts::cancelIndex(content);
        };
    }
    ~ScriptedAlerts() { Alerts::nextAnswer = nullptr; }
    QStringList answers, shown, messages;
};

UpdateFound foundUpdate(const QString& shortVersion, const QString& notesLink) {
    UpdateFound found;
    found.item.version = QStringLiteral("110");
    found.item.shortVersionString = shortVersion;
    found.item.releaseNotesLink = QUrl(notesLink);
    found.appName = QStringLiteral("Pylon");
    found.currentVersion = QStringLiteral("1.9");
    found.currentBuildVersion = QStringLiteral("109");
    return found;
}

} // namespace

class UpdateDialogTest : public QObject {
    Q_OBJECT
private slots:
    void dialogsSayWhatWasFound() {
        QCOMPARE(upToDateAlert(QStringLiteral("Pylon-Dev"), QStringLiteral("1.0.0")),
                 (AlertContent{"You're up to date",
                               "Pylon-Dev 1.0.0 is currently the newest version available.",
                               {{"OK", true}},
                               false}));
        QList<AlertButton> buttons = {{"Download", false}, {"Skip This Version", false}, {"Remind Me Later", true}};
        QCOMPARE(updateFoundAlert(foundUpdate(QStringLiteral("1.10"), QString())),
                 (AlertContent{foundTitle,
                               "Pylon 1.10 is now available\u2014you have 1.9. Would you like to download it now?",
                               buttons, false}));
        buttons.append({"Release Notes", false});
        const AlertContent withNotes =
            updateFoundAlert(foundUpdate(QStringLiteral("1.10"), QString::fromLatin1(notes)));
        QCOMPARE(withNotes.buttons, buttons);
        QVERIFY(withNotes.message.endsWith(QStringLiteral("?\n\nRelease notes: ") + QString::fromLatin1(notes)));
        QCOMPARE(updateFoundAlert(foundUpdate(QStringLiteral("1.9"), QString())).message,
                 QStringLiteral("Pylon 1.9 (110) is now available\u2014you have 1.9 (109). "
                                "Would you like to download it now?"));
        const AlertContent error = updateErrorAlert(QStringLiteral("The update feed answered with HTTP status 503."));
        QCOMPARE(error.title, QStringLiteral("Update Error!"));
        QVERIFY(error.isWarning);
        QVERIFY(error.message.endsWith(QLatin1String("\n\nThe update feed answered with HTTP status 503.")));
    }

    void answersToAFoundUpdate_data() {
        QTest::addColumn<FeedItem>("item");
        QTest::addColumn<QStringList>("answers");
        QTest::addColumn<QList<QUrl>>("opened");
        QTest::addColumn<QString>("skipped");
        const FeedItem full{"1.10", "", enclosure, notes, page};
        const QList<QUrl> nothing;
        QTest::newRow("Download opens the enclosure")
            << full << QStringList{"Download"} << QList{QUrl(enclosure)} << "";
        QTest::newRow("Download without enclosure opens the page")
            << FeedItem{"1.10", "", "", "", page} << QStringList{"Download"} << QList{QUrl(page)} << "";
        QTest::newRow("Skip This Version is remembered")
            << full << QStringList{"Skip This Version"} << nothing << "1.10";
        QTest::newRow("Remind Me Later remembers nothing") << full << QStringList{"Remind Me Later"} << nothing << "";
        QTest::newRow("Escape reminds later") << full << QStringList{} << nothing << "";
        QTest::newRow("Release Notes opens them and asks again")
            << full << QStringList{"Release Notes", "Download"} << QList{QUrl(notes), QUrl(enclosure)} << "";
    }
    void answersToAFoundUpdate() {
        QFETCH(FeedItem, item);
        QFETCH(QStringList, answers);
        QFETCH(QList<QUrl>, opened);
        QFETCH(QString, skipped);
        UpdateFixture fixture;
        fixture.server.body = appcast({item});
        fixture.makeController(std::make_unique<UpdateDialogs>());
        ScriptedAlerts alerts(answers);
        const bool asksAgain = answers.value(0) == QLatin1String("Release Notes");
        QVERIFY(fixture.checkAndWait());
        QCOMPARE(alerts.shown, QStringList(asksAgain ? 2 : 1, foundTitle));
        QCOMPARE(fixture.workspace.urls, opened);
        QCOMPARE(fixture.controller->skippedVersion().value_or(QString()), skipped);
        QVERIFY(fixture.controller->canCheckForUpdates());
    }

    void aSkippedVersionStaysQuietInLaterRunsButNotWhenAskedFor() {
        UpdateFixture fixture;
        fixture.server.body = appcast({{"1.10"}});
        fixture.makeController(std::make_unique<UpdateDialogs>());
        ScriptedAlerts alerts({QStringLiteral("Skip This Version")});
        QVERIFY(fixture.checkAndWait());
        fixture.advanceSeconds(86400);
        fixture.makeController(std::make_unique<UpdateDialogs>()).setAutomaticallyChecksForUpdates(true);
        QVERIFY(fixture.waitForFinishedChecks(2));
        QCOMPARE(fixture.server.requestCount(), 2);
        QCOMPARE(alerts.shown, QStringList{foundTitle});
        QVERIFY(fixture.checkAndWait());
        QCOMPARE(alerts.shown, QStringList(2, foundTitle));
    }

    void upToDateAndFailuresAreShownInTheCheckersOwnDialog_data() {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("mentions");
        QTest::newRow("same") << appcast({{"1.9"}}) << 200 << "You're up to date"
                              << "Pylon 1.9 is currently";
        QTest::newRow("malformed") << QByteArray("<rss>") << 200 << "Update Error!"
                                   << "not valid XML";
        QTest::newRow("HTTP error") << QByteArray() << 503 << "Update Error!"
                                    << "HTTP status 503";
    }
    void upToDateAndFailuresAreShownInTheCheckersOwnDialog() {
        QFETCH(QByteArray, body);
        QFETCH(int, status);
        QFETCH(QString, title);
        QFETCH(QString, mentions);
        UpdateFixture fixture;
        fixture.server.body = body;
        fixture.server.statusCode = status;
        fixture.makeController(std::make_unique<UpdateDialogs>());
        ScriptedAlerts alerts({});
        QVERIFY(fixture.checkAndWait());
        QCOMPARE(alerts.shown, QStringList{title});
        QVERIFY2(alerts.messages[0].contains(mentions), qPrintable(alerts.messages[0]));
        QVERIFY(fixture.controller->canCheckForUpdates());
    }
};

int runUpdateDialogTests(int argc, char** argv) {
    UpdateDialogTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "UpdateDialogTests.moc"
