#include "Fakes.h"
#include "MessageCapture.h"
#include "ShellSupport.h"
#include "TemporaryHome.h"

#include "companion/CompanionManager.h"
#include "core/UninstallCleanup.h"
#include "platform/UserDefaults.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTest>

using namespace pylon;
using namespace pylon::test;

namespace {

const QString component = QStringLiteral("uninstall");

// A temporary home with the application's three folders (those asked for), its settings and an
// installed control script, and the clean-up's collaborators.
struct Setup {
    explicit Setup(const QStringList& folders = {QStringLiteral("data"), QStringLiteral("logs"), QStringLiteral("cache")})
        : environment(makeEnvironment(home.path(), productionIdentifier))
        , defaults(productionIdentifier, home.configHome())
        , manager(environment, services, defaults, log.logger(QStringLiteral("companion-manager")))
        , locations{home.dataHome() + QStringLiteral("/Pylon"), home.stateHome() + QStringLiteral("/net.ostrand.Pylon"),
                    home.cacheHome() + QStringLiteral("/net.ostrand.Pylon")} {
        if (folders.contains(QStringLiteral("data"))) {
            home.writeFile(QStringLiteral(".local/share/Pylon/logs/pylon-menubar.log"), "menubar\n");
            home.writeFile(QStringLiteral(".local/share/Pylon/logs/pylon-companion.log"), "companion\n");
            home.writeFile(QStringLiteral(".local/share/Pylon/service/net.ostrand.PylonCompanion.registered"), "x");
            QDir().mkpath(locations.applicationSupport + QStringLiteral("/empty/nested"));
        }
        if (folders.contains(QStringLiteral("logs")))
            home.writeFile(QStringLiteral(".local/state/net.ostrand.Pylon/old.log"), "old\n");
        if (folders.contains(QStringLiteral("cache")))
            home.writeFile(QStringLiteral(".cache/net.ostrand.Pylon/downloads/part"), "cached");
        controlScript = home.writeFile(QStringLiteral("Music/Ableton/User Library/Remote Scripts/Pylon/__init__.py"), "#");
        defaults.setData(QStringLiteral("cachedAppState"), "{}");
        defaults.setString(QStringLiteral("pylon.onboarding.acceptedEulaVersion"), QStringLiteral("1.2"));
        defaults.setString(QStringLiteral("PylonRemoteScript.installedAppVersion"), QStringLiteral("1.4.0-12"));
        defaults.synchronize();
    }

    void run() { performUninstallCleanup(manager, defaults, locations, log.logger(component)); }

    // The expected lines with %data, %logs and %cache standing for the three folders.
    QStringList expand(const QStringList& lines) const {
        QStringList result;
        for (QString line : lines) {
            line.replace(QStringLiteral("%data"), locations.applicationSupport)
                .replace(QStringLiteral("%logs"), locations.logs)
                .replace(QStringLiteral("%cache"), locations.caches);
            result << line;
        }
        return result;
    }

    TemporaryHome home;
    OwnLog log;
    BuildEnvironment environment;
    UserDefaults defaults;
    FakeServiceManager services;
    CompanionManager manager;
    UninstallLocations locations;
    QString controlScript;
};

bool exists(const QString& path) {
    const QFileInfo info(path);
    return info.exists() || info.isSymLink();
}

} // namespace

class UninstallCleanupTest : public QObject {
    Q_OBJECT
private slots:
    void cleanupRunsEveryStepAndLogsIt_data() {
        QTest::addColumn<QStringList>("folders");
        QTest::addColumn<qint64>("agentStatus");
        QTest::addColumn<QString>("unregisterError");
        QTest::addColumn<QStringList>("serviceActions");
        QTest::addColumn<QStringList>("log");
        QTest::addColumn<QStringList>("errors");

        const QStringList all{"data", "logs", "cache"};
        const QString start = "Starting uninstall cleanup...";
        const QString unregistered = "Launch agent unregistered";
        const QString dataDeleted = "Application Support deleted: %data";
        const QString logsDeleted = "Logs deleted: %logs";
        const QString cacheDeleted = "Cache deleted: %cache";
        const QStringList tail{"UserDefaults cleared", "Uninstall cleanup complete"};
        const qint64 enabled = ServiceManager::enabled;

        QTest::newRow("every folder present")
            << all << enabled << QString() << QStringList{"unregister"}
            << QStringList{start, unregistered, dataDeleted, logsDeleted, cacheDeleted} + tail << QStringList{};
        QTest::newRow("cache missing")
            << QStringList{"data", "logs"} << enabled << QString() << QStringList{"unregister"}
            << QStringList{start, unregistered, dataDeleted, logsDeleted, "Cache not found, skipping: %cache"} + tail
            << QStringList{};
        QTest::newRow("only the data folder")
            << QStringList{"data"} << enabled << QString() << QStringList{"unregister"}
            << QStringList{start, unregistered, dataDeleted, "Logs not found, skipping: %logs",
                           "Cache not found, skipping: %cache"} +
                   tail
            << QStringList{};
        QTest::newRow("nothing stored")
            << QStringList{} << enabled << QString() << QStringList{"unregister"}
            << QStringList{start, unregistered, "Application Support not found, skipping: %data",
                           "Logs not found, skipping: %logs", "Cache not found, skipping: %cache"} +
                   tail
            << QStringList{};
        QTest::newRow("agent never registered")
            << all << qint64(ServiceManager::notRegistered) << QString() << QStringList{}
            << QStringList{start, unregistered, dataDeleted, logsDeleted, cacheDeleted} + tail << QStringList{};
        QTest::newRow("unregister fails")
            << all << enabled << "Operation not permitted" << QStringList{"unregister"}
            << QStringList{start, "Failed to unregister launch agent: Operation not permitted", dataDeleted, logsDeleted,
                           cacheDeleted} +
                   tail
            << QStringList{"Failed to unregister launch agent: Operation not permitted"};
        QTest::newRow("unregister fails, cache missing")
            << QStringList{"data", "logs"} << enabled << "Could not find service" << QStringList{"unregister"}
            << QStringList{start, "Failed to unregister launch agent: Could not find service", dataDeleted, logsDeleted,
                           "Cache not found, skipping: %cache"} +
                   tail
            << QStringList{"Failed to unregister launch agent: Could not find service"};
    }
    void cleanupRunsEveryStepAndLogsIt() {
        QFETCH(QStringList, folders);
        QFETCH(qint64, agentStatus);
        QFETCH(QString, unregisterError);
        QFETCH(QStringList, serviceActions);
        QFETCH(QStringList, log);
        QFETCH(QStringList, errors);
        Setup s(folders);
        s.services.statusValue = agentStatus;
        if (!unregisterError.isEmpty())
            s.services.unregisterError = unregisterError;
        QVERIFY(QFile::exists(s.defaults.filePath()));
        MessageCapture capture;

        s.run();

        QCOMPARE(s.services.actions(), serviceActions);
        QCOMPARE(messagesOf(s.log.lines(), component), s.expand(log));
        for (const MessageCapture::Message& message : capture.messages(productionIdentifier + ".uninstall"))
            QCOMPARE(message.type, errors.contains(message.text) ? QtCriticalMsg : QtInfoMsg);
        QCOMPARE(capture.messages(productionIdentifier + ".uninstall").size(), log.size());

        QVERIFY(!exists(s.locations.applicationSupport));
        QVERIFY(!exists(s.locations.logs));
        QVERIFY(!exists(s.locations.caches));
        QVERIFY(!QFile::exists(s.defaults.filePath()));
        UserDefaults reread(productionIdentifier, s.home.configHome());
        QCOMPARE(reread.string(QStringLiteral("pylon.onboarding.acceptedEulaVersion")), std::nullopt);
        QCOMPARE(reread.data(QStringLiteral("cachedAppState")), std::nullopt);
        QCOMPARE(reread.string(QStringLiteral("PylonRemoteScript.installedAppVersion")), std::nullopt);
        // What the user installed into Live and the application itself stay.
        QCOMPARE(readFile(s.controlScript), QByteArray("#"));
        QVERIFY(QFile::exists(s.environment.bundlePath() + QStringLiteral("/Contents/Info.plist")));
    }

    void aFailedDeletionIsLoggedAndTheRestRuns() {
        Setup s;
        // Nothing, not even the superuser, removes a file of the process file system.
        s.locations.logs = QStringLiteral("/proc/version");
        MessageCapture capture;
        s.run();
        const QStringList messages = messagesOf(s.log.lines(), component);
        QCOMPARE(messages.size(), 7);
        QCOMPARE(messages.at(2), s.expand({"Application Support deleted: %data"}).first());
        QVERIFY2(messages.at(3).startsWith(QStringLiteral("Failed to delete Logs: ")), qPrintable(messages.at(3)));
        QCOMPARE(messages.at(4), s.expand({"Cache deleted: %cache"}).first());
        QCOMPARE(messages.mid(5), (QStringList{"UserDefaults cleared", "Uninstall cleanup complete"}));
        QVERIFY(QFile::exists(QStringLiteral("/proc/version")));
        const auto system = capture.messages(productionIdentifier + ".uninstall");
        QCOMPARE(system.size(), 7);
        QCOMPARE(system.at(3).type, QtCriticalMsg);
    }

    void linksAreRemovedAsLinks_data() {
        QTest::addColumn<QString>("kind");
        QTest::newRow("link in place of the data folder") << "folder link";
        QTest::newRow("link inside the data folder") << "inner link";
        QTest::newRow("dangling link in place of the data folder") << "dangling link";
    }
    void linksAreRemovedAsLinks() {
        QFETCH(QString, kind);
        Setup s({QStringLiteral("logs"), QStringLiteral("cache")});
        const QString target = s.home.path() + QStringLiteral("/Documents/kept");
        const QString kept = s.home.writeFile(QStringLiteral("Documents/kept/notes.txt"), "keep me");
        const QString data = s.locations.applicationSupport;
        QDir().mkpath(QFileInfo(data).absolutePath());
        if (kind == QLatin1String("folder link")) {
            QVERIFY(QFile::link(target, data));
        } else if (kind == QLatin1String("inner link")) {
            s.home.writeFile(QStringLiteral(".local/share/Pylon/logs/pylon-menubar.log"), "menubar\n");
            QVERIFY(QFile::link(target, data + QStringLiteral("/linked")));
        } else {
            QVERIFY(QFile::link(s.home.path() + QStringLiteral("/nowhere"), data));
        }

        MessageCapture quiet;
        s.run();

        QVERIFY(!exists(data));
        QCOMPARE(messagesOf(s.log.lines(), component).at(2), QStringLiteral("Application Support deleted: ") + data);
        QCOMPARE(readFile(kept), QByteArray("keep me"));
        QVERIFY(QFileInfo(target).isDir());
    }

    void deleteIfExistsRemovesFilesAndFoldersAlike_data() {
        QTest::addColumn<QString>("relativePath");
        QTest::addColumn<bool>("isFolder");
        QTest::newRow("folder") << "Some/Folder" << true;
        QTest::newRow("file") << "Some/file.txt" << false;
    }
    void deleteIfExistsRemovesFilesAndFoldersAlike() {
        QFETCH(QString, relativePath);
        QFETCH(bool, isFolder);
        TemporaryHome home;
        OwnLog log;
        const QString path = home.path() + QLatin1Char('/') + relativePath;
        if (isFolder)
            home.writeFile(relativePath + QStringLiteral("/a/b.txt"), "b");
        else
            home.writeFile(relativePath, "f");
        const QString sibling = home.writeFile(QStringLiteral("Some/sibling.txt"), "s");

        MessageCapture quiet;
        deleteIfExists(path, QStringLiteral("Thing"), log.logger(component));
        deleteIfExists(path, QStringLiteral("Thing"), log.logger(component));

        QCOMPARE(messagesOf(log.lines(), component),
                 (QStringList{"Thing deleted: " + path, "Thing not found, skipping: " + path}));
        QVERIFY(!exists(path));
        QCOMPARE(readFile(sibling), QByteArray("s"));
    }
};

std::unique_ptr<QObject> makeUninstallCleanupTest() {
    return std::make_unique<UninstallCleanupTest>();
}

#include "UninstallCleanupTest.moc"
