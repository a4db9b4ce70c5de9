#include "platform/LoginStart.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace pylon {

namespace {

// The largest autostart entry read; ours is a few hundred bytes.
constexpr qint64 maximumEntrySize = qint64(64) * 1024;

// Desktop entries forbid raw line breaks in values.
QString singleLine(QString text) {
    text.replace(QLatin1Char('\n'), QLatin1Char(' '));
    text.replace(QLatin1Char('\r'), QLatin1Char(' '));
    return text;
}

} // namespace

QString desktopEntryExecProgram(const QString& path) {
    // Two layers: inside the quotes ", `, $ and \ take a backslash; then the value's own escaping
    // doubles every backslash. % starts a field code, so it is doubled too.
    QString quoted;
    for (const QChar c : path) {
        if (c == u'"' || c == u'`' || c == u'$' || c == u'\\')
            quoted += QLatin1Char('\\');
        quoted += c;
    }
    quoted.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
    quoted.replace(QLatin1Char('%'), QStringLiteral("%%"));
    return QLatin1Char('"') + singleLine(quoted) + QLatin1Char('"');
}

XdgAutostart::XdgAutostart(QString configHome, QString desktopId, QString displayName, QString program)
    : m_configHome(std::move(configHome))
    , m_desktopId(std::move(desktopId))
    , m_displayName(std::move(displayName))
    , m_program(std::move(program)) {}

QString XdgAutostart::entryPath() const {
    return m_configHome + QStringLiteral("/autostart/") + m_desktopId + QStringLiteral(".desktop");
}

QString XdgAutostart::entryText() const {
    return QStringLiteral("[Desktop Entry]\n"
                          "Type=Application\n"
                          "Name=%1\n"
                          "Comment=Starts %1 at login\n"
                          "Exec=%2 --background\n"
                          "Icon=%3\n"
                          "Terminal=false\n"
                          "X-GNOME-Autostart-enabled=true\n"
                          "X-GNOME-Autostart-Delay=5\n"
                          "X-KDE-autostart-after=panel\n")
        .arg(singleLine(m_displayName), desktopEntryExecProgram(m_program), singleLine(m_desktopId));
}

bool XdgAutostart::isEnabled() const {
    const QFileInfo info(entryPath());
    if (!info.isFile() || info.isSymLink() || info.size() > maximumEntrySize)
        return false;
    QFile file(entryPath());
    if (!file.open(QIODevice::ReadOnly))
        return false;
    // An entry the desktop's own settings switched off stays in place with one of these.
    for (const QByteArray& line : file.read(maximumEntrySize).split('\n')) {
        const QByteArray trimmed = line.trimmed();
        if (trimmed == "Hidden=true" || trimmed == "X-GNOME-Autostart-enabled=false")
            return false;
    }
    return true;
}

std::optional<QString> XdgAutostart::setEnabled(bool enabled) {
    const QString path = entryPath();
    if (!enabled) {
        if (QFileInfo(path).isSymLink() || QFileInfo::exists(path)) {
            if (!QFile::remove(path))
                return QStringLiteral("The autostart entry %1 cannot be removed.").arg(path);
        }
        return std::nullopt;
    }
    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        return QStringLiteral("The autostart folder %1 cannot be created.").arg(QFileInfo(path).absolutePath());
    // A link in its place is replaced, never written through.
    if (QFileInfo(path).isSymLink())
        QFile::remove(path);
    QSaveFile file(path);
    const QByteArray text = entryText().toUtf8();
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size() || !file.commit())
        return QStringLiteral("The autostart entry %1 cannot be written: %2").arg(path, file.errorString());
    return std::nullopt;
}

} // namespace pylon
