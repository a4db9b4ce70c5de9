#include "platform/SystemInfo.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <sys/stat.h>
#include <sys/utsname.h>
#include <unistd.h>

namespace pylon::SystemInfo {

namespace {

QString xdgHome(const char* variable, const char* fallbackBelowHome) {
    // The base-directory rules ignore relative values.
    const QString value = qEnvironmentVariable(variable);
    if (!value.isEmpty() && QDir::isAbsolutePath(value))
        return QDir::cleanPath(value);
    return QDir::cleanPath(homeDirectory() + QLatin1Char('/') + QLatin1String(fallbackBelowHome));
}

} // namespace

QString currentExecutablePath() {
    return QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath();
}

QString machineArchitecture() {
    utsname name{};
    if (::uname(&name) != 0)
        return QString();
    return QString::fromLocal8Bit(name.machine);
}

QString kernelRelease() {
    utsname name{};
    if (::uname(&name) != 0)
        return QString();
    return QString::fromLocal8Bit(name.release);
}

QString homeDirectory() {
    return QDir::homePath();
}

QString dataHome() {
    return xdgHome("XDG_DATA_HOME", ".local/share");
}

QString stateHome() {
    return xdgHome("XDG_STATE_HOME", ".local/state");
}

QString cacheHome() {
    return xdgHome("XDG_CACHE_HOME", ".cache");
}

QString configHome() {
    return xdgHome("XDG_CONFIG_HOME", ".config");
}

QString runtimeDirectory() {
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (runtime.isEmpty() || !QDir::isAbsolutePath(runtime))
        return QString();
    struct stat info {};
    if (::stat(QFile::encodeName(runtime).constData(), &info) != 0 || !S_ISDIR(info.st_mode) ||
        info.st_uid != ::geteuid() || (info.st_mode & 077) != 0)
        return QString();
    return QDir::cleanPath(runtime);
}

QString privateRuntimeFolder(const QString& bundleIdentifier) {
    const QString runtime = runtimeDirectory();
    if (!runtime.isEmpty())
        return runtime + QLatin1Char('/') + bundleIdentifier;
    return cacheHome() + QLatin1Char('/') + bundleIdentifier + QStringLiteral("/runtime");
}

} // namespace pylon::SystemInfo
