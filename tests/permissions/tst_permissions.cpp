#include "Fakes.h"

#include "permissions/PermissionObserver.h"
#include "platform/AccessibilityNotifications.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QSignalSpy>
#include <QTest>

using namespace pylon;
using namespace pylon::test;

class PermissionsTest : public QObject {
    Q_OBJECT

    // Sends notifications at the given offsets (seconds from the first) and returns the offsets at
    // which the observer called back.
    static QList<double> callbacks(bool startupPhase, const QList<double>& offsets) {
        FakeClock clock;
        auto source = std::make_unique<AccessibilityNotifications>();
        AccessibilityNotifications* notifications = source.get();
        double now = 0;
        QList<double> called;
        PermissionObserver observer([startupPhase] { return startupPhase; }, [&] { called << now; }, std::move(source),
                                    clock);
        for (double offset : offsets) {
            clock.advance(offset - now);
            now = offset;
            emit notifications->changed();
        }
        return called;
    }

private slots:
    void throttle_data() {
        QTest::addColumn<bool>("startup");
        QTest::addColumn<QList<double>>("notifications");
        QTest::addColumn<QList<double>>("expected");
        QTest::newRow("first one always passes, start-up") << true << QList<double>{0} << QList<double>{0};
        QTest::newRow("first one always passes, later") << false << QList<double>{0} << QList<double>{0};
        QTest::newRow("0.3 s apart during start-up")
            << true << QList<double>{0, 0.3, 0.6, 0.9, 1.2} << QList<double>{0, 0.6, 1.2};
        QTest::newRow("1 s apart afterwards")
            << false << QList<double>{0, 1, 2, 3, 4, 5} << QList<double>{0, 2, 4};
        QTest::newRow("exactly the interval passes") << false << QList<double>{0, 2.0} << QList<double>{0, 2.0};
        QTest::newRow("a burst gives one call") << false << QList<double>{0, 0.01, 0.02, 0.5, 1.9}
                                                << QList<double>{0};
        QTest::newRow("dropped ones do not move the window")
            << false << QList<double>{0, 1.5, 2.5, 3.9, 4.5} << QList<double>{0, 2.5, 4.5};
    }
    void throttle() {
        QFETCH(bool, startup);
        QFETCH(QList<double>, notifications);
        QFETCH(QList<double>, expected);
        const QList<double> called = callbacks(startup, notifications);
        QCOMPARE(called.size(), expected.size());
        for (int i = 0; i < called.size(); ++i)
            QVERIFY2(qAbs(called[i] - expected[i]) < 1e-9, qPrintable(QString::number(called[i])));
    }

    void phaseIsAskedAtEachNotification() {
        FakeClock clock;
        auto source = std::make_unique<AccessibilityNotifications>();
        AccessibilityNotifications* notifications = source.get();
        bool startup = true;
        int calls = 0;
        PermissionObserver observer([&] { return startup; }, [&] { ++calls; }, std::move(source), clock);
        emit notifications->changed();
        clock.advance(1.0);
        emit notifications->changed(); // 1 s > 0.5 s during start-up
        QCOMPARE(calls, 2);
        startup = false;
        clock.advance(1.0);
        emit notifications->changed(); // 1 s < 2 s afterwards
        QCOMPARE(calls, 2);
    }

    void withoutASessionBusNothingArrivesAndNothingFails() {
        const QByteArray saved = qgetenv("DBUS_SESSION_BUS_ADDRESS");
        qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/bus");
        auto notifications = subscribeToAccessibilityNotifications();
        QVERIFY(notifications);
        qputenv("DBUS_SESSION_BUS_ADDRESS", saved);
    }

};

// Runs as tst_permissions_dbus, inside dbus-run-session: without that bus it fails.
class PermissionsSessionBusTest : public QObject {
    Q_OBJECT
private slots:
    void sessionBusNotificationsReachTheObserver() {
        QDBusConnection bus = QDBusConnection::sessionBus();
        QVERIFY(bus.isConnected());
        auto notifications = subscribeToAccessibilityNotifications();
        QSignalSpy changed(notifications.get(), &AccessibilityNotifications::changed);

        auto send = [&](const QString& interface) {
            QDBusMessage signal = QDBusMessage::createSignal(
                QStringLiteral("/org/a11y/bus"), QStringLiteral("org.freedesktop.DBus.Properties"),
                QStringLiteral("PropertiesChanged"));
            signal << interface << QVariantMap{{QStringLiteral("IsEnabled"), true}} << QStringList();
            QVERIFY(bus.send(signal));
        };
        send(QStringLiteral("org.a11y.Status"));
        QVERIFY(changed.wait(5000));
        QCOMPARE(changed.size(), 1);
        // Other interfaces on the same object are not about Accessibility.
        send(QStringLiteral("org.example.Other"));
        send(QStringLiteral("org.a11y.Status"));
        QTRY_COMPARE(changed.size(), 2);
        QTest::qWait(50);
        QCOMPARE(changed.size(), 2);
    }
};

// One program, two suites: the session-bus one where ctest gives it a bus of its own.
int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    if (qEnvironmentVariableIsSet("PYLON_EXPECT_SESSION_BUS")) {
        PermissionsSessionBusTest test;
        return QTest::qExec(&test, argc, argv);
    }
    PermissionsTest test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_permissions.moc"
