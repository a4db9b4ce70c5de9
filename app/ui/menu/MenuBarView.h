#pragma once

#include "ui/menu/MenuPresenter.h"

#include <QMenu>
#include <QObject>
#include <QPointer>
#include <QSystemTrayIcon>
#include <functional>

class QAction;

namespace pylon {
class FileLogger;
class MenuControllerProtocol;
} // namespace pylon

namespace pylon::ui {

// The tray item and its menu: the three status lines, "Open Pylon Window" and Quit, re-rendered on
// every change of the status model. A plain click opens the menu too. The controller's alerts are
// the application's (the shell shows them), so they show without a tray as well.
class MenuBarView : public QObject {
    Q_OBJECT
public:
    // `onAppear` runs each time show() puts the item in the tray (the shell passes the
    // controller's start).
    MenuBarView(MenuControllerProtocol& controller, const QString& appDisplayName, std::function<void()> onAppear = {},
                QObject* parent = nullptr);
    ~MenuBarView() override;

    QSystemTrayIcon& trayIcon() { return m_tray; }
    QMenu& menu() { return m_menu; }
    // The menu's entries in their order (separators included), for the shell and for tests.
    QList<QAction*> actions() const { return m_menu.actions(); }
    QAction* quitAction() const;
    // The tray's icon and tooltip (the build mode's).
    void setLook(const QIcon& icon, const QString& toolTip);

    // Puts the item in the tray, then runs onAppear.
    void show();

    // Whether a tray host shows the item. Without one the shell must open the main window instead,
    // so nothing becomes unreachable; that is logged to `log` once per process.
    static bool isTrayHostAvailable(const FileLogger& log);
    // The logging half of isTrayHostAvailable(), for a given availability; returns it.
    static bool reportTrayHost(bool available, const FileLogger& log);

signals:
    // "Open Pylon Window", or the companion line while it is an action: the shell opens the main
    // window and brings it to the front.
    void openWindowRequested();
    // The quit entry: the shell ends the application.
    void quitRequested();

private:
    void render();

    MenuControllerProtocol& m_controller;
    QString m_appDisplayName;
    std::function<void()> m_onAppear;
    QMenu m_menu;
    QSystemTrayIcon m_tray{};
    QList<MenuItem> m_items;
};

} // namespace pylon::ui
