// The controller and Live in Wine prefixes: discovery off the main thread, a prefix the user adds, the
// newest discovery winning over an older one still running, the prefixes in the diagnostic report.
#include "ControllerFixture.h"
#include "core/WinePrefixList.h"
#include "diagnostics/DiagnosticReporter.h"
#include "diagnostics/ReportSaveLocation.h"

#include <QAtomicInt>
#include <QProcess>
#include <QSemaphore>
#include <QTest>
#include <QThread>
#include <qcoro/qcorotask.h>

using namespace pylon;
using namespace pylon::test;

namespace {

// Holds the first "Ableton detection" log message of a worker thread until released, and records on
// which threads discovery logged.
struct DetectionGate {
    static inline QAtomicInt holdNext = 0;
    static inline QAtomicInt held = 0;
    static inline QAtomicInt onWorker = 0;
    static inline QAtomicInt onMain = 0;
    static inline QSemaphore release{0};
    static inline QtMessageHandler previous = nullptr;

    static void handler(QtMsgType type, const QMessageLogContext& context, const QString& text) {
        if (text.startsWith(QStringLiteral("Ableton detection"))) {
            const bool worker = QThread::currentThread() != qApp->thread();
            (worker ? onWorker : onMain).ref();
            if (worker && holdNext.testAndSetOrdered(1, 0)) {
                held.storeRelease(1);
                release.tryAcquire(1, 20000);
            }
        }
        previous(type, context, text);
    }
    DetectionGate() { previous = qInstallMessageHandler(handler); }
    ~DetectionGate() { qInstallMessageHandler(previous); }
};

// A Wine prefix at `path` whose user "me" has Live 12.1.5 naming the existing C:\users\me\Lib.
QString makeLivePrefix(const TemporaryHome& home, const QString& belowHome) {
    const QString prefix = home.path() + QLatin1Char('/') + belowHome;
    home.writeFile(belowHome + QStringLiteral("/drive_c/users/me/AppData/Roaming/Ableton/Live 12.1.5/Preferences/"
                                              "Library.cfg"),
                   "<Ableton><ContentLibrary><UserLibrary><LibraryProject><ProjectPath Value=\"C:\\users\\me\"/>"
                   "<ProjectName Value=\"Lib\"/></LibraryProject></UserLibrary></ContentLibrary></Ableton>");
    QDir().mkpath(prefix + QStringLiteral("/drive_c/users/me/Lib"));
    QDir().mkpath(prefix + QStringLiteral("/dosdevices"));
    QFile::link(QStringLiteral("../drive_c"), prefix + QStringLiteral("/dosdevices/c:"));
    return prefix;
}

} // namespace

class ControllerWineTest : public QObject {
    Q_OBJECT
private slots:
    void refreshDiscoversOffTheMainThread() {
        DetectionGate gate;
        ControllerFixture f;
        const QString prefix = makeLivePrefix(f.home, QStringLiteral(".wine"));
        const int before = gate.onWorker.loadAcquire();
        f.refresh();
        QCOMPARE(gate.onWorker.loadAcquire(), before + 1);
        QCOMPARE(gate.onMain.loadAcquire(), 0);
        QCOMPARE(f.controller->abletonVersions().size(), 1);
        QCOMPARE(f.controller->abletonVersions()[0].userLibraryPath, prefix + QStringLiteral("/drive_c/users/me/Lib"));
        QCOMPARE(f.controller->winePrefixesScanned(), QStringList{prefix});
    }

    void addedPrefixIsKeptAndSearched() {
        ControllerFixture f;
        f.refresh();
        QVERIFY(f.controller->abletonVersions().isEmpty());
        QDir().mkpath(f.home.path() + QStringLiteral("/not-a-prefix/dosdevices"));
        f.controller->addWinePrefix(f.home.path() + QStringLiteral("/not-a-prefix"));
        QCOMPARE(f.controller->alertMessage(),
                 std::optional<QString>("\"~/not-a-prefix\" is not a Wine prefix: it holds no \"drive_c\" folder."));
        QCOMPARE(userAddedWinePrefixes(f.defaults), QStringList());

        f.controller->setAlertMessage(std::nullopt);
        const QString prefix = makeLivePrefix(f.home, QStringLiteral("Games/live"));
        f.controller->addWinePrefix(prefix + QStringLiteral("/"));
        QTRY_COMPARE(f.controller->abletonVersions().size(), 1);
        QCOMPARE(f.controller->abletonVersions()[0].winePrefix, prefix);
        QCOMPARE(userAddedWinePrefixes(f.defaults), QStringList{prefix});
        // Another way to the same folder is not a second entry.
        QFile::link(prefix, f.home.path() + QStringLiteral("/live-link"));
        f.controller->addWinePrefix(f.home.path() + QStringLiteral("/live-link"));
        QCOMPARE(userAddedWinePrefixes(f.defaults), QStringList{prefix});
        QCOMPARE(f.controller->alertMessage(), std::nullopt);
        QVERIFY(ControllerFixture::menubarLogMessages().contains(
            QStringLiteral("Add Wine prefix: Added the Wine prefix \"~/Games/live\": Pylon looks for Live in it from "
                           "now on.")));
    }

    void anOlderDiscoveryNeverReplacesANewerOne() {
        // The first discovery is held after reading (nothing there yet) until a second one, started after
        // a prefix was added, has published; the first one's result must then be dropped.
        DetectionGate gate;
        ControllerFixture f;
        DetectionGate::holdNext.storeRelease(1);
        DetectionGate::held.storeRelease(0);
        QCoro::Task<> older = f.controller->rediscoverLiveVersions();
        QTRY_VERIFY(DetectionGate::held.loadAcquire() == 1);
        const QString prefix = makeLivePrefix(f.home, QStringLiteral(".wine"));
        QCoro::waitFor(f.controller->rediscoverLiveVersions());
        QCOMPARE(f.controller->abletonVersions().size(), 1);
        DetectionGate::release.release();
        QCoro::waitFor(std::move(older));
        QCOMPARE(f.controller->abletonVersions().size(), 1);
        QCOMPARE(f.controller->winePrefixesScanned(), QStringList{prefix});
    }

    void diagnosticReportListsThePrefixesSearched() {
        ControllerFixture f;
        makeLivePrefix(f.home, QStringLiteral(".wine"));
        f.refresh();
        const QString archive = f.home.path() + QStringLiteral("/report.zip");
        const DiagnosticReportResult result = QCoro::waitFor(
            f.controller->saveDiagnosticReport(std::make_shared<PathReportSaveLocation>(archive), false));
        QCOMPARE(int(result.outcome), int(DiagnosticReportResult::Outcome::saved));
        QProcess unzip;
        unzip.start(QStringLiteral("/usr/bin/unzip"), {QStringLiteral("-p"), archive, QStringLiteral("*/info.json")});
        QVERIFY(unzip.waitForFinished(10000));
        const QByteArray json = unzip.readAllStandardOutput();
        // The report's home is the process's, which holds the fixture's home: "~" stands for the former.
        QVERIFY2(json.contains("\"winePrefixes\" : [") && json.contains("\\/.wine\"") &&
                     json.contains("\"winePrefix\""),
                 json.constData());
    }
};

int runControllerWineTests(int argc, char** argv) {
    ControllerWineTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_controller_wine.moc"
