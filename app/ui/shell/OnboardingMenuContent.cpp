#include "ui/shell/OnboardingMenuContent.h"

#include "ui/common/Symbols.h"

#include <QGuiApplication>
#include <QPalette>

namespace pylon::ui {

OnboardingMenuContent::OnboardingMenuContent(const QString& appDisplayName, QObject* parent)
    : QObject(parent) {
    m_menu.addAction(QStringLiteral("Open Pylon Window"), this, &OnboardingMenuContent::openWindowRequested);
    m_menu.addSeparator();
    QAction* quit = m_menu.addAction(QStringLiteral("Quit ") + appDisplayName, this,
                                     &OnboardingMenuContent::quitRequested);
    quit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    const bool darkPanel = QGuiApplication::palette().color(QPalette::Window).lightness() < 128;
    m_tray.setIcon(pylon::ui::trayIcon(darkPanel));
    m_tray.setToolTip(QStringLiteral("Pylon"));
    m_tray.setContextMenu(&m_menu);
}

} // namespace pylon::ui
