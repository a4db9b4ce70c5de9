#pragma once

#include <QMenu>
#include <QObject>
#include <QSystemTrayIcon>

namespace pylon::ui {

// The tray item before onboarding is complete: only "Open Pylon Window" and Quit.
class OnboardingMenuContent : public QObject {
    Q_OBJECT
public:
    explicit OnboardingMenuContent(const QString& appDisplayName, QObject* parent = nullptr);

    QSystemTrayIcon& trayIcon() { return m_tray; }
    QMenu& menu() { return m_menu; }
    void show() { m_tray.show(); }

signals:
    void openWindowRequested();
    void quitRequested();

private:
    QMenu m_menu;
    QSystemTrayIcon m_tray;
};

} // namespace pylon::ui
