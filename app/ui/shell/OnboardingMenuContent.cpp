#include "ui/shell/OnboardingMenuContent.h"

#include "ui/common/Symbols.h"

#include <QCursor>

namespace pylon::ui {

OnboardingMenuContent::OnboardingMenuContent(const QString& appDisplayName, QObject* parent)
    : QObject(parent) {
    m_menu.addAction(QStringLiteral("Open Pylon Window"), this, &OnboardingMenuContent::openWindowRequested);
    m_menu.addSeparator();
    QAction* quit = m_menu.addAction(QStringLiteral("Quit ") + appDisplayName, this,
                                     &OnboardingMenuContent::quitRequested);
    quit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    setLook(pylon::ui::trayIcon(QStringLiteral("net.ostrand.Pylon")), QStringLiteral("Pylon"));
    m_tray.setContextMenu(&m_menu);
    connect(&m_tray, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::Trigger && !m_menu.isVisible())
            m_menu.popup(QCursor::pos());
    });
}

OnboardingMenuContent::~OnboardingMenuContent() {
    m_tray.setContextMenu(nullptr);
}

void OnboardingMenuContent::setLook(const QIcon& icon, const QString& toolTip) {
    m_tray.setIcon(icon);
    m_tray.setToolTip(toolTip);
}

} // namespace pylon::ui
