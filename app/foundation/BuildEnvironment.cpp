#include "foundation/BuildEnvironment.h"

namespace pylon {

namespace {

// One half of the version: the entry when it is a plist string, else "0".
QString versionHalf(const QVariant& value) {
    if (value.typeId() != QMetaType::QString)
        return QStringLiteral("0");
    return value.toString();
}

} // namespace

BuildEnvironment::BuildEnvironment(const BundleFacts& bundle, const QString& machineArchitecture,
                                   const QString& dataHome)
    : m_bundleIdentifier(bundle.identifier.value_or(QString::fromLatin1(defaultBundleIdentifier)))
    // The suffix test is case-sensitive: "-dev" is production.
    , m_mode(m_bundleIdentifier.endsWith(QLatin1String("-Dev"), Qt::CaseSensitive) ? &developmentBuildMode
                                                                                   : &productionBuildMode)
    , m_appVersion(versionHalf(bundle.shortVersion) + QLatin1Char('-') + versionHalf(bundle.buildVersion))
    , m_machineArchitecture(machineArchitecture)
    , m_bundlePath(bundle.bundlePath)
    , m_logDirectory(dataHome + QLatin1Char('/') + appSupportFolderName() + QStringLiteral("/logs")) {}

QString BuildEnvironment::launchAgentPlistName() const {
    return QString::fromUtf8(m_mode->launchAgentPlistPrefix) + m_machineArchitecture + QStringLiteral(".plist");
}

QString BuildEnvironment::menubarLogFile() const {
    return m_logDirectory + QStringLiteral("/pylon-menubar.log");
}

QString BuildEnvironment::companionLogFile() const {
    return m_logDirectory + QStringLiteral("/pylon-companion.log");
}

} // namespace pylon
