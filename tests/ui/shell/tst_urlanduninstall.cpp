#include "Fakes.h"
#include "ShellSupport.h"
#include "TemporaryHome.h"
#include "companion/CompanionManager.h"
#include "core/Process.h"
#include "core/UninstallCleanup.h"
#include "core/UrlHandler.h"
#include "foundation/FileLogger.h"
#include "platform/UserDefaults.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTest>
#include <qcoro/qcorotask.h>

using namespace pylon;
using namespace pylon::test;

// What a URL of the application's scheme does, and the uninstall clean-up it can lead to.
class UrlAndUninstallTest : public QObject {
    Q_OBJECT
private slots:
    void urlsAreLoggedAndOnlyTheModesUninstallActs_data() {
        QTest::addColumn<QString>("bundle");
        QTest::addColumn<QString>("url");
        QTest::addColumn<QString>("outcome"); // "uninstall", "logged", "dropped", or the scheme ignored
        auto row = [](const char* name, const char* bundle, const char* url, const char* outcome) {
            QTest::newRow(name) << QString::fromUtf8(bundle) << QString::fromUtf8(url) << QString::fromUtf8(outcome);
        };
        row("production uninstall", "Pylon", "pylon://uninstall", "uninstall");
        row("production, development scheme", "Pylon", "pylon-dev://uninstall", "pylon-dev");
        row("development, production scheme", "Pylon-Dev", "pylon://uninstall", "pylon");
        row("scheme in mixed case", "Pylon", "Pylon://uninstall", "Pylon");
        row("no scheme", "Pylon", "//uninstall", "nil");
        row("other host", "Pylon-Dev", "pylon-dev://settings", "logged");
        row("host in capitals", "Pylon", "pylon://UNINSTALL", "logged");
        row("longer host", "Pylon", "pylon://uninstaller", "logged");
        row("no host", "Pylon", "pylon:uninstall", "logged");
        row("empty host", "Pylon", "pylon:///uninstall", "logged");
        row("development uninstall with a path", "Pylon-Dev", "pylon-dev://uninstall/p?x#y", "uninstall");
        row("host with user and port", "Pylon", "pylon://me@uninstall:8080", "uninstall");
        row("empty text", "Pylon", "", "dropped");
        row("unparseable", "Pylon", "pylon://unin stall", "dropped");
    }
    void urlsAreLoggedAndOnlyTheModesUninstallActs() {
        QFETCH(QString, bundle);
        QFETCH(QString, url);
        QFETCH(QString, outcome);
        QStringList expected;
        if (outcome != QLatin1String("dropped"))
            expected << QStringLiteral("Received URL: ") + url;
        if (outcome == QLatin1String("uninstall"))
            expected << QStringLiteral("Uninstall requested via URL scheme");
        else if (outcome != QLatin1String("logged") && outcome != QLatin1String("dropped"))
            expected << QStringLiteral("Ignoring URL (scheme %1 doesn't match mode)").arg(outcome);
        const QString category = productionIdentifier + QStringLiteral(".menubar");
        MessageCapture capture;

        QList<QStringList> loggedWhenAsked; // the request is logged before the confirmation shows
        const BuildEnvironment environment = builtEnvironment(bundle, {});
        handleURL(url, environment, process::loggers().menubar, [&] { loggedWhenAsked << systemLog(capture, category); });

        QCOMPARE(systemLog(capture, category), expected);
        QCOMPARE(loggedWhenAsked,
                 outcome == QLatin1String("uninstall") ? QList<QStringList>{expected} : QList<QStringList>{});
    }

    void cleanupRunsEveryStepAndLogsIt_data() {
        QTest::addColumn<QStringList>("folders");
        QTest::addColumn<QString>("agent"); // "registered", "not registered" or the error unregistering fails with
        QTest::addColumn<QStringList>("log");
        auto row = [](const char* name, const QStringList& folders, const char* agent, const QStringList& steps) {
            QTest::newRow(name) << folders << QString::fromUtf8(agent)
                                << QStringList{"Starting uninstall cleanup..."} + steps +
                                       QStringList{"UserDefaults cleared", "Uninstall cleanup complete"};
        };
        const QString unregistered = "Launch agent unregistered";
        const QString dataDeleted = "Application Support deleted: %data";
        const QString logsDeleted = "Logs deleted: %logs";
        const QString cacheDeleted = "Cache deleted: %cache";
        const QString cacheMissing = "Cache not found, skipping: %cache";
        row("every folder present", {"data", "logs", "cache"}, "registered",
            {unregistered, dataDeleted, logsDeleted, cacheDeleted});
        row("nothing stored, agent never registered", {}, "not registered",
            {unregistered, "Application Support not found, skipping: %data", "Logs not found, skipping: %logs",
             cacheMissing});
        row("unregister fails, cache missing", {"data", "logs"}, "Operation not permitted",
            {"error: Failed to unregister launch agent: Operation not permitted", dataDeleted, logsDeleted,
             cacheMissing});
        row("links in and in place of the folders", {"data", "links"}, "registered",
            {unregistered, dataDeleted, logsDeleted, cacheDeleted});
        // Nothing, not even the superuser, removes a file of the process file system.
        row("a folder cannot be deleted", {"data", "cache", "unremovable logs"}, "registered",
            {unregistered, dataDeleted, "error: Failed to delete Logs: could not remove %logs", cacheDeleted});
    }
    // In a temporary home with the application's folders ("data", "logs", "cache") and links asked for.
    void cleanupRunsEveryStepAndLogsIt() {
        QFETCH(QStringList, folders);
        QFETCH(QString, agent);
        QFETCH(QStringList, log);
        TemporaryHome home;
        const QString eulaKey = QStringLiteral("pylon.onboarding.acceptedEulaVersion");
        UserDefaults defaults(productionIdentifier, home.configHome());
        defaults.setString(eulaKey, QStringLiteral("1.2"));
        defaults.synchronize();
        QVERIFY(QFile::exists(defaults.filePath()));
        FakeServiceManager services;
        services.statusValue =
            agent == QLatin1String("not registered") ? ServiceManager::notRegistered : ServiceManager::enabled;
        if (agent != QLatin1String("registered") && agent != QLatin1String("not registered"))
            services.unregisterError = agent;
        const BuildEnvironment environment = builtEnvironment(QStringLiteral("Pylon"), home.dataHome());
        CompanionManager manager(environment, services, defaults, process::loggers().companionManager);
        UninstallLocations locations{home.dataHome() + QStringLiteral("/Pylon"),
                                     home.stateHome() + QStringLiteral("/net.ostrand.Pylon"),
                                     home.cacheHome() + QStringLiteral("/net.ostrand.Pylon"), QString()};
        if (folders.contains(QStringLiteral("data")))
            home.writeFile(QStringLiteral(".local/share/Pylon/logs/pylon-menubar.log"), "x");
        if (folders.contains(QStringLiteral("logs")))
            home.writeFile(QStringLiteral(".local/state/net.ostrand.Pylon/old.log"), "x");
        if (folders.contains(QStringLiteral("cache")))
            home.writeFile(QStringLiteral(".cache/net.ostrand.Pylon/downloads/file"), "x");
        const QString kept = home.writeFile(QStringLiteral("Documents/kept/notes.txt"), "kept");
        if (folders.contains(QStringLiteral("links"))) {
            QVERIFY(QDir().mkpath(home.stateHome()) && QDir().mkpath(home.cacheHome()));
            QVERIFY(QFile::link(QFileInfo(kept).path(), locations.applicationSupport + QStringLiteral("/linked")));
            QVERIFY(QFile::link(QFileInfo(kept).path(), locations.logs));
            QVERIFY(QFile::link(home.path() + QStringLiteral("/nowhere"), locations.caches)); // dangling
        }
        if (folders.contains(QStringLiteral("unremovable logs")))
            locations.logs = QStringLiteral("/proc/version");
        MessageCapture capture;

        QCoro::waitFor(unregisterCompanionForUninstall(&manager, process::loggers().uninstall));
        removeUninstalledData(defaults, locations, process::loggers().uninstall);

        QCOMPARE(systemLog(capture, productionIdentifier + QStringLiteral(".uninstall"))
                     .replaceInStrings(locations.applicationSupport, QStringLiteral("%data"))
                     .replaceInStrings(locations.logs, QStringLiteral("%logs"))
                     .replaceInStrings(locations.caches, QStringLiteral("%cache")),
                 log);
        QCOMPARE(services.actions(),
                 agent == QLatin1String("not registered") ? QStringList{} : QStringList{"unregister"});
        for (const QString& folder : {locations.applicationSupport, locations.logs, locations.caches})
            QCOMPARE(QFileInfo(folder).exists() || QFileInfo(folder).isSymLink(),
                     folder == QLatin1String("/proc/version"));
        QVERIFY(!QFile::exists(defaults.filePath()));
        QCOMPARE(UserDefaults(productionIdentifier, home.configHome()).string(eulaKey), std::nullopt);
        QCOMPARE(readFile(kept), QByteArray("kept")); // what links point to stays
    }
};

std::unique_ptr<QObject> makeUrlAndUninstallTest() {
    return std::make_unique<UrlAndUninstallTest>();
}

#include "tst_urlanduninstall.moc"
