#include "core/BuildEnvironment.h"

#include "platform/Bundle.h"
#include "platform/SystemInfo.h"

namespace pylon {

namespace {

// One half of the version: the entry when it is a plist string, else "0".
QString versionHalf(const Bundle& bundle, const QString& key) {
    const auto value = bundle.infoValue(key);
    if (!value || value->typeId() != QMetaType::QString)
        return QStringLiteral("0");
    return value->toString();
}

} // namespace

BuildEnvironment::BuildEnvironment(const Bundle& bundle, const QString& machineArchitecture, const QString& dataHome)
    : m_bundleIdentifier(bundle.identifier().value_or(QString::fromLatin1(defaultBundleIdentifier)))
    , m_isDevelopment(m_bundleIdentifier.endsWith(QLatin1String("-Dev"), Qt::CaseSensitive))
    , m_appVersion(versionHalf(bundle, QStringLiteral("CFBundleShortVersionString")) + QLatin1Char('-') +
                   versionHalf(bundle, QStringLiteral("CFBundleVersion")))
    , m_machineArchitecture(machineArchitecture)
    , m_bundlePath(bundle.bundlePath())
    , m_logDirectory(dataHome + QLatin1Char('/') + appSupportFolderName() + QStringLiteral("/logs")) {}

const BuildEnvironment& BuildEnvironment::current() {
    // A function-local static: initialised once, thread-safe, never changed afterwards.
    static const BuildEnvironment instance(Bundle::main(), SystemInfo::machineArchitecture(), SystemInfo::dataHome());
    return instance;
}

QString BuildEnvironment::modeName() const {
    return m_isDevelopment ? QStringLiteral("development") : QStringLiteral("production");
}

QString BuildEnvironment::companionLabel() const {
    return m_isDevelopment ? QStringLiteral("net.ostrand.PylonCompanion-Dev") : QStringLiteral("net.ostrand.PylonCompanion");
}

quint16 BuildEnvironment::companionPort() const {
    return m_isDevelopment ? 47250 : 47150;
}

QString BuildEnvironment::launchAgentPlistName() const {
    return (m_isDevelopment ? QStringLiteral("PylonCompanion-Dev-") : QStringLiteral("PylonCompanion-")) +
           m_machineArchitecture + QStringLiteral(".plist");
}

QString BuildEnvironment::companionDisplayName() const {
    return m_isDevelopment ? QStringLiteral("Pylon Companion-Dev") : QStringLiteral("Pylon Companion");
}

QString BuildEnvironment::appDisplayName() const {
    return m_isDevelopment ? QStringLiteral("Pylon-Dev") : QStringLiteral("Pylon");
}

QString BuildEnvironment::appSupportFolderName() const {
    return m_isDevelopment ? QStringLiteral("Pylon-Dev") : QStringLiteral("Pylon");
}

QString BuildEnvironment::urlScheme() const {
    return m_isDevelopment ? QStringLiteral("pylon-dev") : QStringLiteral("pylon");
}

QString BuildEnvironment::menubarLogFile() const {
    return m_logDirectory + QStringLiteral("/pylon-menubar.log");
}

QString BuildEnvironment::companionLogFile() const {
    return m_logDirectory + QStringLiteral("/pylon-companion.log");
}

} // namespace pylon
