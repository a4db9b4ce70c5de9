#include "TemporaryHome.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace pylon::test {

namespace {
// XDG_RUNTIME_DIR is unset as well: what would live there (instance sockets, reports being built)
// then stays below the temporary home's cache folder.
const char* const variables[] = {"HOME",           "XDG_DATA_HOME",   "XDG_STATE_HOME",
                                 "XDG_CACHE_HOME", "XDG_CONFIG_HOME", "XDG_RUNTIME_DIR"};
}

TemporaryHome::TemporaryHome() {
    for (const char* name : variables) {
        m_saved[name] = qEnvironmentVariableIsSet(name) ? std::optional(qgetenv(name)) : std::nullopt;
        qunsetenv(name);
    }
    qputenv("HOME", QFile::encodeName(m_dir.path()));
}

TemporaryHome::~TemporaryHome() {
    for (const auto& [name, value] : m_saved) {
        if (value)
            qputenv(name.constData(), *value);
        else
            qunsetenv(name.constData());
    }
}

QString TemporaryHome::writeFile(const QString& relativePath, const QByteArray& contents) const {
    const QString full = path() + QLatin1Char('/') + relativePath;
    QDir().mkpath(QFileInfo(full).absolutePath());
    QFile file(full);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(contents);
    return full;
}

QByteArray readFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

} // namespace pylon::test
