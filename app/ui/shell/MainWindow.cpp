#include "ui/shell/MainWindow.h"

#include "foundation/BuildEnvironment.h"

#include <QLayout>
#include <QMenuBar>
#include <QStackedWidget>

namespace pylon::ui {

MainWindow::MainWindow(const QString& appDisplayName, QWidget* parent)
    : QMainWindow(parent) {
    setWindowTitle(BuildEnvironment::mainWindowTitle());
    setObjectName(BuildEnvironment::mainWindowIdentifier());
    m_stack = new QStackedWidget(this);
    setCentralWidget(m_stack);
    // The window follows its content's size, also when a row of the setup window expands.
    layout()->setSizeConstraint(QLayout::SetFixedSize);

    QMenu* application = menuBar()->addMenu(appDisplayName);
    m_checkForUpdates = application->addAction(QStringLiteral("Check for Updates\u2026"));
    application->addSeparator();
    m_uninstall = application->addAction(QStringLiteral("Uninstall ") + appDisplayName + QStringLiteral("\u2026"));
    application->addSeparator();
    m_quit = application->addAction(QStringLiteral("Quit ") + appDisplayName);
    m_quit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));

    QMenu* help = menuBar()->addMenu(QStringLiteral("Help"));
    m_saveReport = help->addAction(QStringLiteral("Save Diagnostic Report\u2026"));
    help->addSeparator();
    m_help = help->addAction(appDisplayName + QStringLiteral(" Help"));
}

void MainWindow::setContent(QWidget* content) {
    if (m_content) {
        m_stack->removeWidget(m_content);
        m_content->hide();
        m_content->deleteLater();
    }
    m_content = content;
    m_stack->addWidget(content);
    m_stack->setCurrentWidget(content);
}

void MainWindow::bringForward() {
    show();
    setWindowState((windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    raise();
    activateWindow();
}

} // namespace pylon::ui
