#include "ui/shell/LoginStartItem.h"

#include "platform/LoginStart.h"
#include "platform/UserDefaults.h"

#include <QAction>
#include <QSignalBlocker>

namespace pylon::ui {

LoginStartItem::LoginStartItem(LoginStart& loginStart, UserDefaults& defaults, QAction* action,
                               std::function<void(const QString&)> reportFailure, QObject* parent)
    : QObject(parent)
    , m_loginStart(loginStart)
    , m_defaults(defaults)
    , m_action(action)
    , m_reportFailure(std::move(reportFailure)) {
    m_action->setCheckable(true);
    showState();
    connect(m_action, &QAction::toggled, this, &LoginStartItem::set);
}

void LoginStartItem::applyDefaultOnce() {
    if (m_defaults.string(defaultAppliedKey).has_value())
        return;
    m_defaults.setString(defaultAppliedKey, QStringLiteral("1"));
    set(true);
}

void LoginStartItem::set(bool enabled) {
    if (const std::optional<QString> failure = m_loginStart.setEnabled(enabled))
        m_reportFailure(*failure);
    showState();
}

void LoginStartItem::showState() {
    const QSignalBlocker quiet(m_action);
    m_action->setChecked(m_loginStart.isEnabled());
}

} // namespace pylon::ui
