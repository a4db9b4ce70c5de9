#include "platform/UserDefaults.h"

#include "platform/SystemInfo.h"

#include <QFile>
#include <QSettings>

namespace pylon {

UserDefaults::UserDefaults(const QString& domain)
    : UserDefaults(domain, SystemInfo::configHome()) {}

UserDefaults::UserDefaults(const QString& domain, const QString& directory)
    : m_domain(domain)
    , m_settings(std::make_unique<QSettings>(directory + QLatin1Char('/') + domain + QStringLiteral(".conf"),
                                             QSettings::IniFormat)) {}

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
    m_settings->setValue(key, value);
}

void UserDefaults::setData(const QString& key, const QByteArray& value) {
    m_settings->setValue(key, value);
}

void UserDefaults::setValue(const QString& key, const QVariant& value) {
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
    m_settings->sync();
    return m_settings->status() == QSettings::NoError;
}

} // namespace pylon
