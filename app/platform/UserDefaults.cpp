#include "platform/UserDefaults.h"

#include "foundation/PrivateFiles.h"
#include "platform/SystemInfo.h"

#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <fcntl.h>
#include <unistd.h>

namespace pylon {

UserDefaults::UserDefaults(const QString& domain)
    : UserDefaults(domain, SystemInfo::configHome()) {}

UserDefaults::UserDefaults(const QString& domain, const QString& directory)
    : m_domain(domain)
    , m_settings(std::make_unique<QSettings>(directory + QLatin1Char('/') + domain + QStringLiteral(".conf"),
                                             QSettings::IniFormat)) {
    // An existing file of an earlier version becomes private now, before anything is read.
    if (QFileInfo::exists(m_settings->fileName()))
        keepPrivate();
}

UserDefaults::~UserDefaults() = default;

QString UserDefaults::filePath() const {
    return m_settings->fileName();
}

std::optional<QString> UserDefaults::string(const QString& key) const {
    const QVariant stored = m_settings->value(key);
    if (stored.typeId() != QMetaType::QString)
        return std::nullopt;
    return stored.toString();
}

std::optional<QByteArray> UserDefaults::data(const QString& key) const {
    const QVariant stored = m_settings->value(key);
    if (stored.typeId() != QMetaType::QByteArray)
        return std::nullopt;
    return stored.toByteArray();
}

std::optional<QVariant> UserDefaults::value(const QString& key) const {
    if (!m_settings->contains(key))
        return std::nullopt;
    return m_settings->value(key);
}

void UserDefaults::setString(const QString& key, const QString& value) {
    keepPrivate();
    m_settings->setValue(key, value);
}

void UserDefaults::setData(const QString& key, const QByteArray& value) {
    keepPrivate();
    m_settings->setValue(key, value);
}

void UserDefaults::setValue(const QString& key, const QVariant& value) {
    keepPrivate();
    m_settings->setValue(key, value);
}

void UserDefaults::remove(const QString& key) {
    m_settings->remove(key);
}

void UserDefaults::removePersistentDomain() {
    m_settings->clear();
    m_settings->sync();
    QFile::remove(m_settings->fileName());
}

bool UserDefaults::synchronize() {
    // Pending values were set through the setters, which made the file; a removed domain stays removed.
    if (QFileInfo::exists(m_settings->fileName()))
        keepPrivate();
    m_settings->sync();
    return m_settings->status() == QSettings::NoError;
}

void UserDefaults::keepPrivate() {
    // QSettings rewrites the file through a new file that takes over the permissions of the one it
    // replaces; so the file is made to exist as 0600, in a 0700 folder, before it is ever written.
    const QString path = m_settings->fileName();
    PrivateFiles::makePrivateFolder(QFileInfo(path).absolutePath());
    const PrivateFiles::OpenedFile opened = PrivateFiles::openRegularFile(path, O_RDONLY | O_CREAT, true);
    if (opened.fd >= 0)
        ::close(opened.fd);
}

} // namespace pylon
