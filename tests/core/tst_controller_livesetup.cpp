#include "ControllerFixture.h"

#include <QDir>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTest>
#include <qcoro/qcorotask.h>

using namespace pylon;
using namespace pylon::test;

namespace {

const QString installedKey = QStringLiteral("PylonRemoteScript.installedAppVersion");
const QString archiveMissing = QStringLiteral("Remote script not found. Run `yarn bundle` and rebuild.");

QString scriptIn(const ControllerFixture& f, const QString& libraryBelowHome) {
    return f.home.path() + QLatin1Char('/') + libraryBelowHome + QStringLiteral("/Remote Scripts/Pylon");
}

void waitForInstallations(ControllerFixture& f) {
    QTRY_VERIFY_WITH_TIMEOUT(!f.controller->isInstallingRemoteScript(), 10000);
}

} // namespace

class ControllerLiveSetupTest : public QObject {
    Q_OBJECT
private slots:
    void refreshDetectsLiveOnlyWhileNoneIsKnown() {
        ControllerFixture f;
        f.refresh();
        QVERIFY(f.controller->abletonVersions().isEmpty());
        // Nothing known yet: the next refresh looks again.
        f.addLive(QStringLiteral("12.1.5"), QStringLiteral("Music/Ableton/User Library"));
        f.refresh();
        QCOMPARE(f.controller->abletonVersions().size(), 1);
        QCOMPARE(f.controller->abletonVersions()[0].version, QStringLiteral("12"));
        QVERIFY(!f.controller->abletonVersions()[0].isRemoteScriptInstalled);
        // Known now: a new Live is not picked up, but the installed state is kept current.
        f.addLive(QStringLiteral("11.3.13"), QStringLiteral("Music/Other Library"));
        QDir().mkpath(scriptIn(f, QStringLiteral("Music/Ableton/User Library")));
        QSignalSpy changed(f.controller.get(), &PylonController::abletonVersionsChanged);
        f.refresh();
        QCOMPARE(f.controller->abletonVersions().size(), 1);
        QVERIFY(f.controller->abletonVersions()[0].isRemoteScriptInstalled);
        QCOMPARE(changed.size(), 1);
    }

    void startInstallsIntoTheNewestVersionWhenNeeded_data() {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<bool>("alreadyInstalled");
        QTest::addColumn<bool>("expectInstall");
        QTest::newRow("first start") << QString() << false << true;
        QTest::newRow("same version, script deleted by the user") << QStringLiteral("1.0.0-1") << false << true;
        QTest::newRow("application updated") << QStringLiteral("0.9.0-7") << true << true;
        QTest::newRow("same version, installed") << QStringLiteral("1.0.0-1") << true << false;
    }
    void startInstallsIntoTheNewestVersionWhenNeeded() {
        QFETCH(QString, stored);
        QFETCH(bool, alreadyInstalled);
        QFETCH(bool, expectInstall);
        ControllerFixture f;
        QVERIFY(f.addRemoteScriptArchive());
        f.addLive(QStringLiteral("11.3.13"), QStringLiteral("Music/Live 11 Library"));
        f.addLive(QStringLiteral("12.1.5"), QStringLiteral("Music/Ableton/User Library"));
        if (!stored.isEmpty())
            f.defaults.setString(installedKey, stored);
        if (alreadyInstalled)
            f.home.writeFile(QStringLiteral("Music/Ableton/User Library/Remote Scripts/Pylon/marker"), "old");
        f.refresh();

        QCoro::waitFor(f.controller->installRemoteScriptIfNeeded());
        const QString newest = scriptIn(f, QStringLiteral("Music/Ableton/User Library"));
        QCOMPARE(QFileInfo::exists(newest + QStringLiteral("/__init__.py")), expectInstall);
        QCOMPARE(QFileInfo::exists(newest + QStringLiteral("/marker")), alreadyInstalled && !expectInstall);
        QVERIFY(!QFileInfo::exists(scriptIn(f, QStringLiteral("Music/Live 11 Library")))); // only the newest
        QCOMPARE(f.defaults.string(installedKey),
                 std::optional<QString>(expectInstall ? QStringLiteral("1.0.0-1") : stored));
        QCOMPARE(f.controller->abletonVersions()[0].isRemoteScriptInstalled, expectInstall || alreadyInstalled);
    }

    void automaticInstallIsSilentWithoutArchiveLiveOrLibrary() {
        {
            ControllerFixture f; // no archive in the bundle
            f.addLive(QStringLiteral("12.1.5"), QStringLiteral("Music/Ableton/User Library"));
            f.refresh();
            QCoro::waitFor(f.controller->installRemoteScriptIfNeeded());
            QVERIFY(!QFileInfo::exists(scriptIn(f, QStringLiteral("Music/Ableton/User Library"))));
        }
        {
            ControllerFixture f; // the configured library does not exist: installing fails quietly
            QVERIFY(f.addRemoteScriptArchive());
            f.addLive(QStringLiteral("12.1.5"), QStringLiteral("Music/Missing Library"), false);
            f.refresh();
            QCoro::waitFor(f.controller->installRemoteScriptIfNeeded());
            QVERIFY(!f.controller->alertMessage());
            QVERIFY(!f.defaults.string(installedKey));
            QVERIFY(!QFileInfo::exists(f.home.path() + QStringLiteral("/Music/Missing Library")));
        }
    }

    // A start-up installation that fails shows no alert, but the log says which and why.
    void failedAutomaticInstallIsLoggedWithTheReason() {
        ControllerFixture f;
        QVERIFY(f.addRemoteScriptArchive());
        f.addLive(QStringLiteral("12.1.5"), QStringLiteral("Music/Ableton/User Library"));
        // "Remote Scripts" is a file: no folder can be made there, not even by root.
        f.home.writeFile(QStringLiteral("Music/Ableton/User Library/Remote Scripts"), "in the way");
        f.refresh();
        const QString failed = QStringLiteral("Automatic control script installation into ") +
                               f.controller->abletonVersions()[0].displayName + QStringLiteral(" failed {\"error\":");
        const qsizetype before = ControllerFixture::menubarLogMessages().filter(failed).size();
        QCoro::waitFor(f.controller->installRemoteScriptIfNeeded());
        QVERIFY(!f.controller->alertMessage());
        QVERIFY(!f.defaults.string(installedKey));
        const QStringList failures = ControllerFixture::menubarLogMessages().filter(failed);
        QCOMPARE(failures.size(), before + 1);
        QVERIFY2(failures.constLast().contains(QStringLiteral("Remote Scripts")), qPrintable(failures.constLast()));
    }

    void userInstallStoresTheVersionAndRefreshes() {
        ControllerFixture f;
        QVERIFY(f.addRemoteScriptArchive());
        f.addLive(QStringLiteral("12.1.5"), QStringLiteral("Music/Ableton/User Library"));
        f.refresh();
        f.controller->installRemoteScriptFromBundle(f.controller->abletonVersions()[0]);
        QVERIFY(f.controller->isInstallingRemoteScript());
        waitForInstallations(f);
        QTRY_VERIFY(f.controller->abletonVersions()[0].isRemoteScriptInstalled);
        QCOMPARE(f.defaults.string(installedKey), std::optional<QString>(QStringLiteral("1.0.0-1")));
        QVERIFY(!f.controller->alertMessage());
    }

    void overlappingInstallationsRunOneAfterTheOther() {
        ControllerFixture f;
        QVERIFY(f.addRemoteScriptArchive());
        f.addLive(QStringLiteral("11.3.13"), QStringLiteral("Music/Live 11 Library"));
        f.addLive(QStringLiteral("12.1.5"), QStringLiteral("Music/Ableton/User Library"));
        f.refresh();
        const auto versions = f.controller->abletonVersions();
        f.controller->installRemoteScriptFromBundle(versions[0]);
        f.controller->installRemoteScriptFromBundle(versions[1]);
        f.controller->showStagedRemoteScript();
        waitForInstallations(f);
        QTRY_COMPARE(f.workspace.urls.size() + f.workspace.revealed.size() + f.workspace.files.size(), 1);
        QVERIFY(QFileInfo::exists(scriptIn(f, QStringLiteral("Music/Ableton/User Library")) + "/__init__.py"));
        QVERIFY(QFileInfo::exists(scriptIn(f, QStringLiteral("Music/Live 11 Library")) + "/__init__.py"));
        QVERIFY(!f.controller->alertMessage());
    }

    void userActionsTellWhatWentWrong() {
        ControllerFixture f;
        AbletonVersion withoutLibrary;
        withoutLibrary.id = QStringLiteral("no-library-12");
        withoutLibrary.version = QStringLiteral("12");
        withoutLibrary.displayName = QStringLiteral("Live 12 User Library");

        f.controller->installRemoteScriptFromBundle(withoutLibrary);
        QCOMPARE(f.controller->alertMessage(), std::optional<QString>(archiveMissing));
        f.controller->setAlertMessage(std::nullopt);
        f.controller->showStagedRemoteScript();
        QCOMPARE(f.controller->alertMessage(), std::optional<QString>(archiveMissing));

        f.controller->openRemoteScriptsFolder(withoutLibrary);
        QCOMPARE(f.controller->alertMessage(),
                 std::optional<QString>(QStringLiteral("Could not find user library path for Live 12 User Library.")));
        QVERIFY(f.workspace.urls.isEmpty());

        QVERIFY(f.addRemoteScriptArchive());
        f.controller->setAlertMessage(std::nullopt);
        f.controller->installRemoteScriptFromBundle(withoutLibrary);
        waitForInstallations(f);
        QTRY_COMPARE(f.controller->alertMessage(),
                     std::optional<QString>(QStringLiteral("Could not find user library path for Live 12 User Library.")));
        QVERIFY(!f.defaults.string(installedKey));
    }

    void openingFoldersGoesThroughTheDesktop() {
        ControllerFixture f;
        QVERIFY(f.addRemoteScriptArchive());
        f.addLive(QStringLiteral("12.1.5"), QStringLiteral("Music/Ableton/User Library"));
        f.refresh();
        f.controller->openRemoteScriptsFolder(f.controller->abletonVersions()[0]);
        QCOMPARE(f.workspace.urls.size(), 1);
        QCOMPARE(f.workspace.urls[0].toLocalFile(),
                 f.home.path() + QStringLiteral("/Music/Ableton/User Library/Remote Scripts"));
        f.controller->showStagedRemoteScript();
        waitForInstallations(f);
        QTRY_COMPARE(f.workspace.urls.size() + f.workspace.revealed.size() + f.workspace.files.size(), 2);
        QVERIFY(QFileInfo::exists(f.home.dataHome() + QStringLiteral("/Pylon/remote-script/Pylon/__init__.py")));
    }
};

int runControllerLiveSetupTests(int argc, char** argv) {
    ControllerLiveSetupTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_controller_livesetup.moc"
