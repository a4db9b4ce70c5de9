#include "ui/menu/MenuBarView.h"

#include "core/ViewControllerProtocols.h"
#include "status/DynamicStatus.h"
#include "foundation/FileLogger.h"
#include "ui/common/Symbols.h"

#include <QAction>
#include <QApplication>
#include <QCursor>
#include <mutex>

namespace pylon::ui {

MenuBarView::MenuBarView(MenuControllerProtocol& controller, const QString& appDisplayName, std::function<void()> onAppear,
                         QObject* parent)
    : QObject(parent)
    , m_controller(controller)
    , m_appDisplayName(appDisplayName)
    , m_onAppear(std::move(onAppear)) {
    m_items = menuItems(m_controller.dynamicStatus(), m_appDisplayName);
    for (const MenuItem& item : m_items) {
        if (item.kind == MenuItem::Kind::separator) {
            m_menu.addSeparator();
            continue;
        }
        QAction* action = m_menu.addAction(item.text);
        const MenuItem::Kind kind = item.kind;
        connect(action, &QAction::triggered, this, [this, kind] {
            for (const MenuItem& current : m_items) {
                if (current.kind != kind || !current.isAction)
                    continue;
                if (kind == MenuItem::Kind::quit)
                    emit quitRequested();
                else
                    emit openWindowRequested();
            }
        });
    }

    setLook(ui::trayIcon(QStringLiteral("net.ostrand.Pylon")), QStringLiteral("Pylon"));
    m_tray.setContextMenu(&m_menu);
    // The item opens its menu on a plain click too, as a pull-down menu.
    connect(&m_tray, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::Trigger && !m_menu.isVisible())
            m_menu.popup(QCursor::pos());
    });

    connect(&m_controller.dynamicStatus(), &DynamicStatus::changed, this, &MenuBarView::render);
    render();
}

MenuBarView::~MenuBarView() {
    m_tray.setContextMenu(nullptr);
}

void MenuBarView::setLook(const QIcon& icon, const QString& toolTip) {
    m_tray.setIcon(icon);
    m_tray.setToolTip(toolTip);
}

QAction* MenuBarView::quitAction() const {
    const QList<QAction*> actions = m_menu.actions();
    return actions.isEmpty() ? nullptr : actions.last();
}

void MenuBarView::show() {
    m_tray.show();
    if (m_onAppear)
        m_onAppear();
}

bool MenuBarView::isTrayHostAvailable(const FileLogger& log) {
    return reportTrayHost(QSystemTrayIcon::isSystemTrayAvailable(), log);
}

bool MenuBarView::reportTrayHost(bool available, const FileLogger& log) {
    if (!available) {
        static std::once_flag logged;
        std::call_once(logged, [&log] {
            log.info(
                QStringLiteral("No system tray available: showing the main window instead, so Pylon stays reachable"));
        });
    }
    return available;
}

void MenuBarView::render() {
    m_items = menuItems(m_controller.dynamicStatus(), m_appDisplayName);
    const QList<QAction*> actions = m_menu.actions();
    for (qsizetype i = 0; i < m_items.size() && i < actions.size(); ++i) {
        const MenuItem& item = m_items[i];
        QAction* action = actions[i];
        if (item.kind == MenuItem::Kind::separator)
            continue;
        action->setText(item.text);
        action->setEnabled(item.enabled());
        action->setShortcut(item.shortcut);
    }
}

} // namespace pylon::ui
