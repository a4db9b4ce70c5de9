#include "platform/SystemInfo.h"

#include <QDir>
#include <QFileInfo>
#include <sys/utsname.h>

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

} // namespace pylon::SystemInfo
