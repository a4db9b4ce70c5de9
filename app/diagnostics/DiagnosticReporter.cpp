#include "diagnostics/DiagnosticReporter.h"

#include "diagnostics/ReportFolder.h"
#include "foundation/BuildEnvironment.h"
#include "platform/SystemInfo.h"
#include "status/DynamicStatus.h"

#include <QDir>
#include <QRegularExpression>

namespace pylon {

namespace {

LogProcessingConfig processingConfig(const DiagnosticReporter::Options& options) {
    LogProcessingConfig config;
    config.maxLogLines = options.maxLogLines;
    config.homeDirectory = options.homeDirectory;
    config.tailBlockSize = options.tailBlockSize;
    return config;
}

} // namespace

DiagnosticReporter::Options DiagnosticReporter::Options::forCurrentUser(const QString& bundleIdentifier) {
    Options options;
    options.homeDirectory = SystemInfo::homeDirectory();
    options.temporaryDirectory = SystemInfo::privateRuntimeFolder(bundleIdentifier) + QStringLiteral("/reports");
    return options;
}

void DiagnosticReporter::clearLeftovers(const QString& temporaryDirectory) {
    clearLeftoverReportFolders(temporaryDirectory);
}

DiagnosticReporter::DiagnosticReporter(const DynamicStatus& dynamicStatus, QList<AbletonVersion> abletonVersions,
                                       const BuildEnvironment& environment, qint64 serviceStatus, const FileLogger& log,
                                       QString operatingSystemVersion, Options options)
    : m_status(dynamicStatus)
    , m_abletonVersions(std::move(abletonVersions))
    , m_environment(environment)
    , m_serviceStatus(serviceStatus)
    , m_log(log)
    , m_operatingSystemVersion(std::move(operatingSystemVersion))
    , m_options(std::move(options))
    , m_processor(processingConfig(m_options)) {}

std::optional<QString> DiagnosticReporter::processLogFile(const QString& path, bool includeSummary) const {
    return m_processor.processLogFile(path, includeSummary);
}

QStringList DiagnosticReporter::processLines(const QStringList& lines) const {
    return m_processor.processLines(lines);
}

QString DiagnosticReporter::redact(const QString& line) const {
    return m_processor.redact(line);
}

QString DiagnosticReporter::summary(const QStringList& processedLines) const {
    return m_processor.summary(processedLines);
}

QDateTime DiagnosticReporter::currentTime() const {
    return m_options.now ? m_options.now() : QDateTime::currentDateTimeUtc();
}

QString DiagnosticReporter::withTildeHome(const QString& path) const {
    const QString home = homeForReplacement(m_options.homeDirectory);
    return home.isEmpty() ? path : QString(path).replace(home, QStringLiteral("~"), Qt::CaseSensitive);
}

DiagnosticInfo DiagnosticReporter::collectInfo() const {
    const std::optional<CompanionStatusResponse> companion = m_status.companionStatus();
    const std::optional<AbletonStatusResponse> ableton = m_status.abletonStatus();
    const std::optional<BonjourStatusResponse> bonjour = m_status.bonjourStatus();

    DiagnosticInfo info;
    info.timestamp = isoTimestamp(currentTime());

    info.pylon.menubarVersion = m_environment.appVersion();
    if (companion)
        info.pylon.companionVersion = companion->version;
    if (ableton)
        info.pylon.remoteScriptVersion = ableton->remoteScriptVersion;
    info.pylon.mode = m_environment.modeName();
    info.pylon.bundleId = m_environment.bundleIdentifier();

    info.system.macOS = m_operatingSystemVersion;
    info.system.architecture = m_environment.machineArchitecture();

    auto& status = info.status;
    status.companionRunning = m_status.lastResponse().has_value();
    status.companionPort = m_environment.companionPort();
    status.launchdStatus = launchdStatusLabel(m_serviceStatus);
    status.launchdLabel = m_environment.companionLabel();
    status.abletonConnected = ableton && ableton->condition == AbletonCondition::connected;
    if (ableton)
        status.abletonCondition = rawValue(ableton->condition);
    if (bonjour) {
        status.bonjourCondition = rawValue(bonjour->condition);
        status.bonjourError = bonjour->error;
    }
    if (companion) {
        status.accessibilityPermission = companion->permissions.accessibility;
        status.automationPermission = companion->permissions.automation;
        status.keyboardAddonLoaded = companion->isAcceleratorAddonLoaded;
        status.clientCount = companion->clientCount;
    }
    status.companionState = companionStateLabel(m_status.companionState());

    for (const AbletonVersion& version : m_abletonVersions) {
        DiagnosticInfo::AbletonVersionInfo entry;
        entry.displayName = version.displayName;
        entry.isRemoteScriptInstalled = version.isRemoteScriptInstalled;
        if (version.userLibraryPath)
            entry.userLibraryPath = withTildeHome(*version.userLibraryPath);
        if (!version.winePrefix.isEmpty())
            entry.winePrefix = withTildeHome(version.winePrefix);
        info.ableton.detectedVersions << entry;
    }
    for (const QString& prefix : m_options.winePrefixes)
        info.ableton.winePrefixes << withTildeHome(prefix);
    if (ableton) {
        info.ableton.connectedVersion = ableton->version;
        info.ableton.connectedDisplayName = ableton->displayName;
    }
    return info;
}

QString DiagnosticReporter::isoTimestamp(const QDateTime& time) {
    return time.toUTC().toString(QStringLiteral("yyyy-MM-dd'T'HH:mm:ss'Z'"));
}

QString DiagnosticReporter::archiveName(const QDateTime& time) {
    QString stamp = isoTimestamp(time);
    stamp.replace(QLatin1Char(':'), QLatin1Char('-')).replace(QLatin1Char('T'), QLatin1Char('_'));
    return QStringLiteral("PylonDiagnostics_") + stamp.left(19) + QStringLiteral(".zip");
}

QString DiagnosticReporter::versionTriple(const QString& versionText) {
    const QRegularExpression leading(QStringLiteral("^([0-9]+)(?:\\.([0-9]+))?(?:\\.([0-9]+))?"));
    const QRegularExpressionMatch match = leading.match(versionText.trimmed());
    QStringList parts;
    for (int group = 1; group <= 3; ++group) {
        const QString part = match.captured(group);
        parts << (part.isEmpty() ? QStringLiteral("0") : part);
    }
    return parts.join(QLatin1Char('.'));
}

QString DiagnosticReporter::operatingSystemVersion() {
    return versionTriple(SystemInfo::kernelRelease());
}

} // namespace pylon
