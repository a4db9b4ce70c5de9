#include "ui/shell/MainWindow.h"

#include "foundation/BuildEnvironment.h"

#include <QCloseEvent>
#include <QMenuBar>
#include <QScreen>
#include <QScrollArea>
#include <QStackedWidget>
#include <QTimer>

namespace pylon::ui {

namespace {
// Room for the title bar while the window manager has not framed the window yet.
constexpr int assumedTitleBar = 40;
} // namespace

MainWindow::MainWindow(const QString& appDisplayName, QWidget* parent)
    : QMainWindow(parent) {
    setWindowTitle(BuildEnvironment::mainWindowTitle());
    setObjectName(BuildEnvironment::mainWindowIdentifier());
    m_stack = new QStackedWidget;
    m_scroll = new QScrollArea(this);
    m_scroll->setObjectName(QStringLiteral("windowScroll"));
    m_scroll->setFrameShape(QFrame::NoFrame);
    m_scroll->setWidgetResizable(true);
    m_scroll->setWidget(m_stack);
    setCentralWidget(m_scroll);
    m_fitTimer.setSingleShot(true);
    m_fitTimer.setInterval(0);
    connect(&m_fitTimer, &QTimer::timeout, this, &MainWindow::fitToContent);

    m_applicationMenu = menuBar()->addMenu(QStringLiteral("&") + appDisplayName);
    m_checkForUpdates = m_applicationMenu->addAction(QStringLiteral("Check for &Updates\u2026"));
    m_startAtLogin = m_applicationMenu->addAction(QStringLiteral("Start at &Login"));
    m_applicationMenu->addSeparator();
    m_uninstall = m_applicationMenu->addAction(QStringLiteral("U&ninstall ") + appDisplayName + QStringLiteral("\u2026"));
    m_applicationMenu->addSeparator();
    m_quit = m_applicationMenu->addAction(QStringLiteral("&Quit ") + appDisplayName);
    m_quit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));

    m_helpMenu = menuBar()->addMenu(QStringLiteral("&Help"));
    m_saveReport = m_helpMenu->addAction(QStringLiteral("&Save Diagnostic Report\u2026"));
    m_helpMenu->addSeparator();
    m_help = m_helpMenu->addAction(appDisplayName + QStringLiteral(" &Help"));
    m_help->setShortcut(QKeySequence::HelpContents);
}

void MainWindow::setContent(QWidget* content) {
    if (m_content) {
        m_content->removeEventFilter(this);
        m_stack->removeWidget(m_content);
        m_content->hide();
        m_content->deleteLater();
    }
    m_content = content;
    m_stack->addWidget(content);
    m_stack->setCurrentWidget(content);
    content->installEventFilter(this);
    scheduleFit();
}

void MainWindow::bringForward() {
    show();
    setWindowState((windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    raise();
    activateWindow();
}

QSize MainWindow::fittedSize() const {
    if (!m_content)
        return size();
    const QSize wanted(m_content->sizeHint().width(), m_content->sizeHint().height() + menuBar()->sizeHint().height());
    const QScreen* shown = screen();
    if (!shown)
        return wanted;
    QSize frame = frameGeometry().size() - geometry().size();
    if (frame.height() <= 0)
        frame = QSize(0, assumedTitleBar);
    return wanted.boundedTo(shown->availableGeometry().size() - frame);
}

void MainWindow::fitToContent() {
    if (!m_content)
        return;
    const QSize fitted = fittedSize();
    // Never larger than the content wants; smaller by the user's hand, and then it scrolls.
    setMaximumSize(fitted);
    setMinimumSize(fitted.boundedTo(QSize(m_content->minimumSizeHint().width(), fitted.height() / 2)));
    resize(fitted);
    if (!m_placed && isVisible() && screen()) {
        m_placed = true;
        move(screen()->availableGeometry().center() - frameGeometry().center() + pos());
    }
}

void MainWindow::scheduleFit() {
    if (!m_fitTimer.isActive())
        m_fitTimer.start();
}

void MainWindow::closeEvent(QCloseEvent* event) {
    QMainWindow::closeEvent(event);
    if (event->isAccepted())
        emit closed();
}

void MainWindow::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    fitToContent();
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_content && event->type() == QEvent::LayoutRequest)
        scheduleFit();
    return QMainWindow::eventFilter(watched, event);
}

} // namespace pylon::ui
