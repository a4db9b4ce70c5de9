#pragma once

#include "foundation/BuildModes.h"

#include <QString>
#include <QVariant>
#include <optional>

namespace pylon {

// What the build environment takes from the application bundle: its identifier, the two version
// entries of its info dictionary with their property-list types, and its folder.
struct BundleFacts {
    std::optional<QString> identifier; // absent when the bundle has none
    QVariant shortVersion;             // CFBundleShortVersionString, invalid when missing
    QVariant buildVersion;             // CFBundleVersion, invalid when missing
    QString bundlePath;
};

// The build mode and every identifier, port, name and path that depends on it. The two modes,
// production and development, differ only in these values (the table in foundation/BuildModes.h),
// so they can be installed side by side. All values are fixed when the object is built and never
// change; the process's own instance is built once at start from the main bundle.
class BuildEnvironment {
public:
    static constexpr const char* defaultBundleIdentifier = productionBuildMode.bundleIdentifier;

    // Values from the bundle's facts, the machine name as the kernel reports it, and the user's data
    // home (the folder holding the per-mode application folder).
    BuildEnvironment(const BundleFacts& bundle, const QString& machineArchitecture, const QString& dataHome);

    const QString& bundleIdentifier() const { return m_bundleIdentifier; }
    bool isDevelopment() const { return m_mode == &developmentBuildMode; }
    const BuildMode& mode() const { return *m_mode; }
    QString modeName() const { return QString::fromLatin1(m_mode->name); }
    const QString& appVersion() const { return m_appVersion; }
    const QString& machineArchitecture() const { return m_machineArchitecture; }
    const QString& bundlePath() const { return m_bundlePath; }

    QString companionLabel() const { return QString::fromUtf8(m_mode->companionLabel); }
    quint16 companionPort() const { return m_mode->companionPort; }
    QString launchAgentPlistName() const;
    QString companionDisplayName() const { return QString::fromUtf8(m_mode->companionDisplayName); }
    QString appDisplayName() const { return QString::fromUtf8(m_mode->appDisplayName); }
    QString appSupportFolderName() const { return QString::fromUtf8(m_mode->appSupportFolderName); }
    QString urlScheme() const { return QString::fromUtf8(m_mode->urlScheme); }

    const QString& logDirectory() const { return m_logDirectory; }
    QString menubarLogFile() const;
    QString companionLogFile() const;

    // Mode-independent names.
    static QString mainWindowTitle() { return QStringLiteral("Pylon"); }
    static QString mainWindowIdentifier() { return QStringLiteral("setup"); }
    static QString remoteScriptArchiveName() { return QStringLiteral("Pylon"); }
    static QString remoteScriptArchiveExtension() { return QStringLiteral("zip"); }
    static QString remoteScriptFolderName() { return QStringLiteral("Pylon"); }
    static QString installedVersionKey() { return QStringLiteral("PylonRemoteScript.installedAppVersion"); }
    static constexpr int onboardingPageWidth = 480;
    static constexpr int onboardingPageHeight = 620;

private:
    QString m_bundleIdentifier;
    const BuildMode* m_mode;
    QString m_appVersion;
    QString m_machineArchitecture;
    QString m_bundlePath;
    QString m_logDirectory;
};

} // namespace pylon
