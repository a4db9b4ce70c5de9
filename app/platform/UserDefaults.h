#pragma once

#include <QByteArray>
#include <QString>
#include <QVariant>
#include <memory>
#include <optional>

class QSettings;

namespace pylon {

// The user's defaults for one domain (a bundle identifier), kept in "<domain>.conf" under the
// XDG config home. Values are written through at once; synchronize() forces them to disk. The file
// holds host names and addresses (the status cache): it is kept 0600 in a 0700 folder.
class UserDefaults {
public:
    // The domain's file under SystemInfo::configHome().
    explicit UserDefaults(const QString& domain);
    // The domain's file in `directory` (tests use a temporary folder).
    UserDefaults(const QString& domain, const QString& directory);
    ~UserDefaults();
    UserDefaults(const UserDefaults&) = delete;
    UserDefaults& operator=(const UserDefaults&) = delete;

    const QString& domain() const { return m_domain; }
    QString filePath() const;

    // A string value, absent when the key is missing or holds something else.
    std::optional<QString> string(const QString& key) const;
    // Bytes, absent when the key is missing or holds something else.
    std::optional<QByteArray> data(const QString& key) const;
    std::optional<QVariant> value(const QString& key) const;

    void setString(const QString& key, const QString& value);
    void setData(const QString& key, const QByteArray& value);
    void setValue(const QString& key, const QVariant& value);
    void remove(const QString& key);

    // Forgets every key of the domain and removes its file.
    void removePersistentDomain();

    // Writes pending changes; false when the file cannot be written.
    bool synchronize();

private:
    void keepPrivate();

    QString m_domain;
    std::unique_ptr<QSettings> m_settings;
};

} // namespace pylon
