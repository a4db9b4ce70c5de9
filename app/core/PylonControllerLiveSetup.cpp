// The controller's Live side: keeping the detected User Libraries current, installing the control
// script at start and on request, and the setup window's Live actions.
#include "core/BuildEnvironment.h"
#include "core/PylonController.h"
#include "diagnostics/FileLogger.h"
#include "platform/Bundle.h"
#include "platform/UserDefaults.h"
#include "platform/Workspace.h"

#include <QUrl>
#include <exception>
#include <functional>
#include <qcoro/qcorosignal.h>

namespace pylon {

namespace {

const QString archiveMissingText = QStringLiteral("Remote script not found. Run `yarn bundle` and rebuild.");

QString noLibraryText(const AbletonVersion& version) {
    return QStringLiteral("Could not find user library path for ") + version.displayName + QLatin1Char('.');
}

} // namespace

void PylonController::setAbletonVersions(const QList<AbletonVersion>& versions) {
    m_abletonVersions = versions;
    emit abletonVersionsChanged();
}

std::optional<QString> PylonController::remoteScriptArchive() const {
    return Bundle::atPath(m_environment.bundlePath())
        .resourcePath(BuildEnvironment::remoteScriptArchiveName(), BuildEnvironment::remoteScriptArchiveExtension());
}

void PylonController::refreshLiveVersions() {
    if (m_abletonVersions.isEmpty()) {
        try {
            setAbletonVersions(m_abletonSetupManager.detectAbletonVersions());
        } catch (const std::exception& e) {
            m_log.error(QStringLiteral("Ableton detection failed: ") + QString::fromUtf8(e.what()));
            setAbletonVersions({});
        }
    }
    const qsizetype count = m_abletonVersions.size();
    for (qsizetype i = 0; i < count; ++i) {
        m_abletonVersions[i].isRemoteScriptInstalled =
            m_abletonSetupManager.isRemoteScriptInstalled(m_abletonVersions[i]);
        emit abletonVersionsChanged();
    }
}

QCoro::Task<PylonController::InstallationOutcome>
PylonController::runInstallation(std::function<QCoro::Task<>()> job) {
    QPointer<PylonController> self(this);
    while (self && self->m_installing)
        co_await qCoro(self.data(), &PylonController::installationSlotFreed);
    if (!self)
        co_return InstallationOutcome{true, nullptr};
    m_installing = true;
    emit installingRemoteScriptChanged();
    std::exception_ptr failure;
    try {
        co_await job();
    } catch (...) {
        failure = std::current_exception();
    }
    if (!self)
        co_return InstallationOutcome{true, failure};
    m_installing = false;
    emit installingRemoteScriptChanged();
    emit installationSlotFreed();
    co_return InstallationOutcome{false, failure};
}

QCoro::Task<> PylonController::installRemoteScriptIfNeeded() {
    const std::optional<QString> archive = remoteScriptArchive();
    if (!archive || m_abletonVersions.isEmpty())
        co_return;
    const bool anyInstalled = std::any_of(m_abletonVersions.cbegin(), m_abletonVersions.cend(),
                                          [](const AbletonVersion& v) { return v.isRemoteScriptInstalled; });
    const QString key = BuildEnvironment::installedVersionKey();
    if (anyInstalled && m_defaults.string(key) == m_environment.appVersion())
        co_return;

    const AbletonVersion newest = m_abletonVersions.constFirst();
    const QString path = *archive;
    auto install = [this, newest, path] { return m_abletonSetupManager.installRemoteScript(newest, path); };
    const InstallationOutcome outcome = co_await runInstallation(install);
    // A failure is tried again at the next start; nothing to tell the user now.
    if (outcome.controllerGone || outcome.failure)
        co_return;
    m_defaults.setString(key, m_environment.appVersion());
    co_await refresh();
}

void PylonController::installRemoteScriptFromBundle(const AbletonVersion& version) {
    const std::optional<QString> archive = remoteScriptArchive();
    if (!archive) {
        setAlertMessage(archiveMissingText);
        return;
    }
    userInstall(version, *archive);
}

QCoro::Task<> PylonController::userInstall(AbletonVersion version, QString archive) {
    auto install = [this, version, archive] { return m_abletonSetupManager.installRemoteScript(version, archive); };
    const InstallationOutcome outcome = co_await runInstallation(install);
    if (outcome.controllerGone)
        co_return;
    if (outcome.failure) {
        try {
            std::rethrow_exception(outcome.failure);
        } catch (const AbletonSetupManager::RemoteScriptError& e) {
            setAlertMessage(e.kind() == AbletonSetupManager::RemoteScriptError::Kind::unableToDetectUserLibrary
                                ? noLibraryText(version)
                                : QStringLiteral("Failed: ") + e.errorDescription());
        } catch (const std::exception& e) {
            setAlertMessage(QStringLiteral("Failed: ") + QString::fromUtf8(e.what()));
        }
        co_return;
    }
    m_defaults.setString(BuildEnvironment::installedVersionKey(), m_environment.appVersion());
    co_await refresh();
}

void PylonController::openRemoteScriptsFolder(const AbletonVersion& version) {
    if (!version.userLibraryPath) {
        setAlertMessage(noLibraryText(version));
        return;
    }
    m_workspace.openUrl(QUrl::fromLocalFile(*version.userLibraryPath + QStringLiteral("/Remote Scripts")));
}

void PylonController::showStagedRemoteScript() {
    const std::optional<QString> archive = remoteScriptArchive();
    if (!archive) {
        setAlertMessage(archiveMissingText);
        return;
    }
    openStaged(*archive);
}

QCoro::Task<> PylonController::openStaged(QString archive) {
    auto open = [this, archive] { return m_abletonSetupManager.openStagedRemoteScriptFolder(archive); };
    const InstallationOutcome outcome = co_await runInstallation(open);
    if (outcome.controllerGone || !outcome.failure)
        co_return;
    try {
        std::rethrow_exception(outcome.failure);
    } catch (const std::exception& e) {
        setAlertMessage(QStringLiteral("Failed to open remote script: ") + QString::fromUtf8(e.what()));
    }
}

} // namespace pylon
