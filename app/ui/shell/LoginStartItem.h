#pragma once

#include <QObject>
#include <QString>
#include <functional>

class QAction;

namespace pylon {
class LoginStart;
class UserDefaults;
} // namespace pylon

namespace pylon::ui {

// The application menu's "Start at Login" item: checked while Pylon starts at login, switching it
// on and off. It is switched on once, by default, when onboarding is complete (also for a user who
// completed it with an earlier version); after that only the user changes it.
class LoginStartItem : public QObject {
    Q_OBJECT
public:
    static inline const QString defaultAppliedKey = QStringLiteral("pylon.loginStart.defaultApplied");

    // `action` becomes checkable; `reportFailure` shows why a change did not take.
    LoginStartItem(LoginStart& loginStart, UserDefaults& defaults, QAction* action,
                   std::function<void(const QString&)> reportFailure, QObject* parent = nullptr);

    // Onboarding is complete: switches the start at login on unless that was done before.
    void applyDefaultOnce();

private:
    void set(bool enabled);
    void showState();

    LoginStart& m_loginStart;
    UserDefaults& m_defaults;
    QAction* m_action;
    std::function<void(const QString&)> m_reportFailure;
};

} // namespace pylon::ui
