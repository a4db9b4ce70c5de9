#include "ShellSupport.h"
#include "core/ControllerAlerts.h"
#include "core/PylonController.h"
#include "ControllerSurroundings.h"
#include "ui/shell/ControllerAlertsPresenter.h"
#include "ui/shell/TrayHostWatch.h"

#include <QApplication>
#include <QDBusConnection>
#include <QMessageBox>
#include <QProcess>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTest>

using namespace pylon;
using namespace pylon::test;
using namespace pylon::ui;

namespace {

// A session bus of this test's own; `address` is empty when dbus-daemon could not start.
struct PrivateBus {
    PrivateBus() {
        daemon.start(QStringLiteral("dbus-daemon"), {"--session", "--nofork", "--print-address"});
        if (daemon.waitForStarted(5000) && daemon.waitForReadyRead(5000))
            address = QString::fromUtf8(daemon.readLine()).trimmed();
    }
    ~PrivateBus() {
        daemon.terminate();
        daemon.waitForFinished(5000);
    }
    QProcess daemon;
    QString address;
};

} // namespace

// Pylon without a tray host, and a tray host that comes later.
class TraylessTest : public QObject {
    Q_OBJECT
private slots:
    // A StatusNotifierWatcher registering on the bus, or an XEmbed tray found by the periodic look,
    // announces the tray host once; its leaving the bus announces that too.
    void trayHostAppearingLaterIsNoticed() {
        PrivateBus bus;
        QVERIFY2(!bus.address.isEmpty(), "dbus-daemon (package dbus) could not start a private session bus");
        QDBusConnection watcherSide = QDBusConnection::connectToBus(bus.address, QStringLiteral("watcher"));
        QDBusConnection pylonSide = QDBusConnection::connectToBus(bus.address, QStringLiteral("pylon"));
        auto disconnect = qScopeGuard([] {
            QDBusConnection::disconnectFromBus(QStringLiteral("watcher"));
            QDBusConnection::disconnectFromBus(QStringLiteral("pylon"));
        });
        bool host = false;
        TrayHostWatch watch([&] { return host; }, pylonSide);
        QSignalSpy changes(&watch, &TrayHostWatch::availabilityChanged);
        QVERIFY(!watch.isAvailable());

        host = true;
        QVERIFY(watcherSide.registerService(TrayHostWatch::watcherService));
        QTRY_COMPARE_WITH_TIMEOUT(changes.size(), 1, 3000);
        QVERIFY(watch.isAvailable() && changes[0][0].toBool());

        host = false;
        QVERIFY(watcherSide.unregisterService(TrayHostWatch::watcherService));
        QTRY_COMPARE_WITH_TIMEOUT(changes.size(), 2, 3000);
        QVERIFY(!watch.isAvailable());

        host = true; // an XEmbed tray: no bus name, found by looking again
        QTRY_COMPARE_WITH_TIMEOUT(changes.size(), 3, 8000);
        QVERIFY(watch.isAvailable());
    }

    // The controller's alerts are real message boxes over the window the application names, and
    // work with no tray item at all.
    void controllerAlertsOpenOverTheWindow() {
        ControllerSurroundings surroundings;
        PylonController controller(surroundings.context());
        QWidget window;
        window.show();
        ControllerAlertsPresenter alerts(controller, [&] { return &window; });
        controller.setAlertMessage(QStringLiteral("Installation failed: disk full"));
        QMessageBox* box = alerts.openBox();
        QVERIFY(box && box->isVisible());
        QCOMPARE(box->parentWidget(), &window);
        QCOMPARE(box->text(), QStringLiteral("Error"));
        QCOMPARE(box->informativeText(), QStringLiteral("Installation failed: disk full"));
        QTest::keyClick(box, Qt::Key_Escape);
        QTRY_VERIFY(!alerts.openBox());
        QVERIFY(!controller.alertMessage());
    }
};

std::unique_ptr<QObject> makeTraylessTest() {
    return std::make_unique<TraylessTest>();
}

#include "tst_trayless.moc"
