#pragma once

#include <QString>

namespace pylon {

class Bundle;

// The build mode and every identifier, port, name and path that depends on it. The two modes,
// production and development, differ only in these values, so they can be installed side by side.
// All values are fixed when the object is built and never change; current() is the one instance
// of the process, built on first use from the main bundle and the kernel's machine name.
class BuildEnvironment {
public:
    static constexpr const char* defaultBundleIdentifier = "net.ostrand.Pylon";

    // Values from `bundle` (its identifier and version entries), the machine name as the kernel
    // reports it, and the user's data home (the folder holding the per-mode application folder).
    BuildEnvironment(const Bundle& bundle, const QString& machineArchitecture, const QString& dataHome);

    // The process-wide instance; thread-safe on first use.
    static const BuildEnvironment& current();

    const QString& bundleIdentifier() const { return m_bundleIdentifier; }
    bool isDevelopment() const { return m_isDevelopment; }
    QString modeName() const;
    const QString& appVersion() const { return m_appVersion; }
    const QString& machineArchitecture() const { return m_machineArchitecture; }
    const QString& bundlePath() const { return m_bundlePath; }

    QString companionLabel() const;
    quint16 companionPort() const;
    QString launchAgentPlistName() const;
    QString companionDisplayName() const;
    QString appDisplayName() const;
    QString appSupportFolderName() const;
    QString urlScheme() const;

    const QString& logDirectory() const { return m_logDirectory; }
    QString menubarLogFile() const;
    QString companionLogFile() const;

    // Mode-independent names.
    static QString mainWindowTitle() { return QStringLiteral("Pylon"); }
    static QString mainWindowIdentifier() { return QStringLiteral("setup"); }
    static QString menuBarIconName() { return QStringLiteral("hand.point.up.fill"); }
    static QString remoteScriptArchiveName() { return QStringLiteral("Pylon"); }
    static QString remoteScriptArchiveExtension() { return QStringLiteral("zip"); }
    static QString remoteScriptFolderName() { return QStringLiteral("Pylon"); }
    static QString installedVersionKey() { return QStringLiteral("PylonRemoteScript.installedAppVersion"); }
    static constexpr int onboardingPageWidth = 480;
    static constexpr int onboardingPageHeight = 620;

private:
    QString m_bundleIdentifier;
    bool m_isDevelopment = false;
    QString m_appVersion;
    QString m_machineArchitecture;
    QString m_bundlePath;
    QString m_logDirectory;
};

} // namespace pylon
