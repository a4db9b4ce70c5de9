#include "core/HeadlessMode.h"

#include "core/OrderlyQuit.h"
#include "core/Process.h"
#include "core/PylonController.h"
#include "core/WinePrefixList.h"
#include "diagnostics/DiagnosticReporter.h"
#include "diagnostics/ReportSaveLocation.h"
#include "foundation/BuildEnvironment.h"
#include "live/WindowsPath.h"
#include "platform/SystemInfo.h"
#include "platform/TerminationSignals.h"
#include "platform/UserDefaults.h"
#include "status/StatusTexts.h"

#include <QCoreApplication>
#include <QTextStream>

namespace pylon::HeadlessMode {

QCoro::Task<int> saveDiagnosticReport(QPointer<PylonController> controller, QString path) {
    if (!controller)
        co_return 1;
    co_await controller->pollOnce();
    if (!controller)
        co_return 1;
    co_await controller->rediscoverLiveVersions();
    if (!controller)
        co_return 1;
    const DiagnosticReportResult result =
        co_await controller->saveDiagnosticReport(std::make_shared<PathReportSaveLocation>(path), false);
    if (result.outcome == DiagnosticReportResult::Outcome::saved) {
        QTextStream(stdout) << result.path << '\n';
        co_return 0;
    }
    QTextStream(stderr) << "Pylon: the diagnostic report could not be saved: "
                        << (result.error.isEmpty() ? QStringLiteral("no location chosen") : result.error) << '\n';
    co_return 1;
}

int addWinePrefix(const QString& path) {
    UserDefaults defaults(process::environment().bundleIdentifier());
    const WinePrefixAddition addition = addUserWinePrefix(defaults, path, SystemInfo::homeDirectory());
    if (addition.outcome == WinePrefixAddition::Outcome::refused) {
        QTextStream(stderr) << "Pylon: " << addition.message << '\n';
        return 1;
    }
    if (!defaults.synchronize()) {
        QTextStream(stderr) << "Pylon: the list of Wine prefixes could not be saved in " << defaults.filePath() << '\n';
        return 1;
    }
    QStringList versions;
    for (const WineLivePreferences& folder : findWineLivePreferences(addition.path))
        versions << folder.displayName;
    QTextStream(stdout) << addition.message << '\n'
                        << (versions.isEmpty() ? QStringLiteral("It holds no Live preferences yet.")
                                               : QStringLiteral("Live preferences in it: ") +
                                                     versions.join(QStringLiteral(", ")) + QLatin1Char('.'))
                        << '\n';
    return 0;
}

int runUntilTerminated(PylonController& controller) {
    QStringList printed;
    auto printIfChanged = [&] {
        const DynamicStatus& status = controller.dynamicStatus();
        const QStringList lines = statusLines(status.companionState(), status.lastResponse());
        if (lines == printed)
            return;
        printed = lines;
        QTextStream out(stdout);
        out << lines.join(QStringLiteral("\n")) << "\n\n";
        out.flush();
    };
    QObject::connect(&controller.dynamicStatus(), &DynamicStatus::changed, &controller, printIfChanged);
    QObject::connect(&controller, &PylonController::alertsChanged, &controller, [&controller] {
        if (controller.alertMessage()) {
            QTextStream(stderr) << *controller.alertMessage() << '\n';
            controller.setAlertMessage(std::nullopt);
        }
        if (controller.showLoginItemApprovalAlert()) {
            QTextStream(stderr) << "Pylon needs permission to run its companion. Please enable it in Login Items.\n";
            controller.setShowLoginItemApprovalAlert(false);
        }
    });

    const auto termination = quitOnTerminationSignals(controller.log());
    printIfChanged();
    controller.start();
    return QCoreApplication::exec();
}

} // namespace pylon::HeadlessMode
