#include "ShellSupport.h"
#include "TemporaryHome.h"
#include "platform/LoginStart.h"
#include "platform/UserDefaults.h"
#include "ui/shell/LoginStartItem.h"

#include <QAction>
#include <QTest>

using namespace pylon;
using namespace pylon::test;

namespace {

// A start at login that cannot be switched on.
class BrokenLoginStart final : public LoginStart {
public:
    bool isEnabled() const override { return false; }
    std::optional<QString> setEnabled(bool enabled) override {
        if (!enabled)
            return std::nullopt;
        return QStringLiteral("The autostart folder cannot be created.");
    }
};

} // namespace

class LoginStartItemTest : public QObject {
    Q_OBJECT
private slots:
    void theDefaultIsAppliedOnceAndTheUsersChoiceStays() {
        TemporaryHome home;
        UserDefaults defaults(QStringLiteral("net.ostrand.Pylon"), home.configHome());
        XdgAutostart autostart(home.configHome(), QStringLiteral("net.ostrand.Pylon"), QStringLiteral("Pylon"),
                               QStringLiteral("/usr/bin/pylon"));
        QAction action(QStringLiteral("Start at Login"));
        QStringList failures;
        auto report = [&](const QString& failure) { failures << failure; };
        {
            ui::LoginStartItem item(autostart, defaults, &action, report);
            QVERIFY(action.isCheckable() && !action.isChecked());
            item.applyDefaultOnce();
            QVERIFY(autostart.isEnabled() && action.isChecked());
            action.trigger(); // the user switches it off
            QVERIFY(!autostart.isEnabled() && !action.isChecked());
        }
        // A later start (and a later onboarding) leaves the user's choice alone.
        QAction later(QStringLiteral("Start at Login"));
        ui::LoginStartItem item(autostart, defaults, &later, report);
        item.applyDefaultOnce();
        QVERIFY(!autostart.isEnabled() && !later.isChecked());
        later.trigger();
        QVERIFY(autostart.isEnabled() && later.isChecked());
        QVERIFY(failures.isEmpty());
    }

    void aChangeThatFailsIsReportedAndNotShownAsDone() {
        TemporaryHome home;
        UserDefaults defaults(QStringLiteral("net.ostrand.Pylon"), home.configHome());
        BrokenLoginStart broken;
        QAction action(QStringLiteral("Start at Login"));
        QStringList failures;
        ui::LoginStartItem item(broken, defaults, &action, [&](const QString& failure) { failures << failure; });
        action.trigger();
        QCOMPARE(failures, QStringList{QStringLiteral("The autostart folder cannot be created.")});
        QVERIFY(!action.isChecked());
    }
};

std::unique_ptr<QObject> makeLoginStartItemTest() {
    return std::make_unique<LoginStartItemTest>();
}

#include "tst_loginstartitem.moc"
