#pragma once

#include <QMainWindow>
#include <QPointer>

class QAction;
class QStackedWidget;

namespace pylon::ui {

// The one main window, titled "Pylon" (identifier "setup"): the onboarding flow until it is
// complete, the setup window afterwards. Its menu bar carries the application's commands.
// Closing it only hides it; the application goes on in the tray.
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

    QAction* checkForUpdatesAction() const { return m_checkForUpdates; }
    QAction* uninstallAction() const { return m_uninstall; }
    QAction* quitAction() const { return m_quit; }
    QAction* saveDiagnosticReportAction() const { return m_saveReport; }
    QAction* helpAction() const { return m_help; }

private:
    QStackedWidget* m_stack;
    QPointer<QWidget> m_content;
    QAction* m_checkForUpdates;
    QAction* m_uninstall;
    QAction* m_quit;
    QAction* m_saveReport;
    QAction* m_help;
};

} // namespace pylon::ui
