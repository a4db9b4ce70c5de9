#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>
#include <map>
#include <optional>

namespace pylon::test {

// A throw-away home folder: HOME and the XDG_*_HOME variables point into it while the object
// lives (XDG_RUNTIME_DIR is unset), and are restored afterwards.
class TemporaryHome {
public:
    TemporaryHome();
    ~TemporaryHome();
    TemporaryHome(const TemporaryHome&) = delete;
    TemporaryHome& operator=(const TemporaryHome&) = delete;

    QString path() const { return m_dir.path(); }
    QString dataHome() const { return path() + QStringLiteral("/.local/share"); }
    QString stateHome() const { return path() + QStringLiteral("/.local/state"); }
    QString cacheHome() const { return path() + QStringLiteral("/.cache"); }
    QString configHome() const { return path() + QStringLiteral("/.config"); }

    // Writes `contents` to `relativePath` below the home, creating folders; returns the full path.
    QString writeFile(const QString& relativePath, const QByteArray& contents) const;

private:
    QTemporaryDir m_dir;
    std::map<QByteArray, std::optional<QByteArray>> m_saved;
};

// The whole contents of a file, or an empty array.
QByteArray readFile(const QString& path);

} // namespace pylon::test
