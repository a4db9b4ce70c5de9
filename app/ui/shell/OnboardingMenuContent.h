#pragma once

#include <QMenu>
#include <QObject>
#include <QSystemTrayIcon>

namespace pylon::ui {

// The tray item before onboarding is complete: only "Open Pylon Window" and Quit. A plain click
// opens the menu, as it does once onboarding is complete.
class OnboardingMenuContent : public QObject {
    Q_OBJECT
public:
    explicit OnboardingMenuContent(const QString& appDisplayName, QObject* parent = nullptr);
    ~OnboardingMenuContent() override;

    QSystemTrayIcon& trayIcon() { return m_tray; }
    QMenu& menu() { return m_menu; }
    void show() { m_tray.show(); }
    // The tray's icon and tooltip (the build mode's).
    void setLook(const QIcon& icon, const QString& toolTip);

signals:
    void openWindowRequested();
    void quitRequested();

private:
    QMenu m_menu;
    QSystemTrayIcon m_tray;
};

} // namespace pylon::ui
