#include "foundation/FileLogger.h"
#include "platform/ServiceManager.h"
#include "platform/linux/ProcessServiceManager.h"
#include "platform/linux/SystemdServiceManager.h"

#include <QProcess>
#include <QStandardPaths>
#include <chrono>

namespace pylon {

namespace {

constexpr std::chrono::milliseconds probeTimeout{1000};

// Whether a systemd user manager answers: in containers systemctl exists but finds no bus.
bool systemdUserManagerAnswers() {
    const QString systemctl = QStandardPaths::findExecutable(QStringLiteral("systemctl"));
    if (systemctl.isEmpty())
        return false;
    QProcess probe;
    probe.setProgram(systemctl);
    probe.setArguments({QStringLiteral("--user"), QStringLiteral("show-environment")});
    probe.setStandardInputFile(QProcess::nullDevice());
    probe.setStandardOutputFile(QProcess::nullDevice());
    probe.setStandardErrorFile(QProcess::nullDevice());
    probe.start();
    if (!probe.waitForFinished(int(probeTimeout.count()))) {
        probe.kill();
        probe.waitForFinished(int(probeTimeout.count()));
        return false;
    }
    return probe.exitStatus() == QProcess::NormalExit && probe.exitCode() == 0;
}

} // namespace

std::unique_ptr<ServiceManager> createServiceManager(const ServiceAgent& agent, const FileLogger& log) {
    const QString forced = qEnvironmentVariable("PYLON_SERVICE_BACKEND").trimmed().toLower();
    std::unique_ptr<ServiceManager> manager;
    QString reason;
    if (forced == QLatin1String("systemd") || forced == QLatin1String("process")) {
        reason = QStringLiteral("forced by PYLON_SERVICE_BACKEND");
        if (forced == QLatin1String("systemd"))
            manager = std::make_unique<SystemdServiceManager>(agent, log);
        else
            manager = std::make_unique<ProcessServiceManager>(agent, log);
    } else {
        const QString ignored =
            forced.isEmpty() ? QString() : QStringLiteral("PYLON_SERVICE_BACKEND=%1 ignored, ").arg(forced);
        if (systemdUserManagerAnswers()) {
            reason = ignored + QStringLiteral("the systemd user manager answered");
            manager = std::make_unique<SystemdServiceManager>(agent, log);
        } else {
            reason = ignored + QStringLiteral("no systemd user manager answered");
            manager = std::make_unique<ProcessServiceManager>(agent, log);
        }
    }
    log.info(QStringLiteral("Service backend: %1 (%2)").arg(manager->backendName(), reason));
    return manager;
}

} // namespace pylon
