#pragma once

#include <QMainWindow>
#include <QPointer>
#include <QTimer>

class QAction;
class QMenu;
class QScrollArea;
class QStackedWidget;

namespace pylon::ui {

// The one main window, titled "Pylon" (identifier "setup"): the onboarding flow until it is
// complete, the setup window afterwards. Its menu bar carries the application's commands, each
// with a mnemonic. Closing it only hides it (the shell decides what else to say).
//
// The window takes the size its content asks for, but never more than the screen's available
// area: there the content scrolls. It follows the content when that grows or shrinks.
class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit MainWindow(const QString& appDisplayName, QWidget* parent = nullptr);

    // Shows `content` in place of what was shown; the old content is deleted later (it may be
    // on the stack of the click that replaced it).
    void setContent(QWidget* content);
    QWidget* content() const { return m_content; }

    // Shows the window, raises it and gives it focus.
    void bringForward();

    // The application's menu and the Help menu, for entries added later.
    QMenu* applicationMenu() const { return m_applicationMenu; }
    QMenu* helpMenu() const { return m_helpMenu; }
    QAction* checkForUpdatesAction() const { return m_checkForUpdates; }
    QAction* startAtLoginAction() const { return m_startAtLogin; }
    QAction* uninstallAction() const { return m_uninstall; }
    QAction* quitAction() const { return m_quit; }
    QAction* saveDiagnosticReportAction() const { return m_saveReport; }
    QAction* helpAction() const { return m_help; }

    // The size the window takes for its content on its screen.
    QSize fittedSize() const;

signals:
    // The user closed the window (it is hidden now).
    void closed();

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void fitToContent();
    void scheduleFit();

    QScrollArea* m_scroll;
    QStackedWidget* m_stack;
    QPointer<QWidget> m_content;
    QMenu* m_applicationMenu;
    QMenu* m_helpMenu;
    QAction* m_checkForUpdates;
    QAction* m_startAtLogin;
    QAction* m_uninstall;
    QAction* m_quit;
    QAction* m_saveReport;
    QAction* m_help;
    QTimer m_fitTimer; // one fit after a burst of layout requests
    bool m_placed = false;
};

} // namespace pylon::ui
