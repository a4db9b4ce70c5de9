#include "platform/Workspace.h"

#include "foundation/FileLogger.h"
#include "platform/SettingsPages.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QFileInfo>
#include <QProcess>

namespace pylon {

namespace {

bool xdgOpen(const QString& target) {
    return QProcess::startDetached(QStringLiteral("xdg-open"), {target});
}

} // namespace

bool DesktopWorkspace::openUrl(const QUrl& url) {
    if (!url.isValid())
        return false;
    if (url.scheme() == QLatin1String("x-apple.systempreferences"))
        return openSettingsLink(url);
    return xdgOpen(url.toString(QUrl::FullyEncoded));
}

bool DesktopWorkspace::openSettingsLink(const QUrl& url) {
    std::optional<SettingsPage> page;
    const QString pane = url.query();
    if (pane == QLatin1String("Privacy_Accessibility"))
        page = SettingsPage::accessibility;
    else if (pane == QLatin1String("Privacy_Automation"))
        page = SettingsPage::automation;
    if (page && m_settings && m_settings->open(*page))
        return true;
    m_log.debug(QStringLiteral("No settings page here for ") + url.toString());
    return false;
}

bool DesktopWorkspace::openFile(const QString& path) {
    return xdgOpen(QUrl::fromLocalFile(path).toString(QUrl::FullyEncoded));
}

bool DesktopWorkspace::revealFile(const QString& path) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (bus.isConnected()) {
        QDBusMessage call = QDBusMessage::createMethodCall(
            QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("/org/freedesktop/FileManager1"),
            QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("ShowItems"));
        call << QStringList{QUrl::fromLocalFile(path).toString()} << QString();
        const QDBusMessage reply = bus.call(call, QDBus::Block, 2000);
        if (reply.type() == QDBusMessage::ReplyMessage)
            return true;
    }
    return xdgOpen(QUrl::fromLocalFile(QFileInfo(path).absolutePath()).toString(QUrl::FullyEncoded));
}

} // namespace pylon
