#include "core/HeadlessMode.h"

#include "core/PylonController.h"
#include "diagnostics/DiagnosticReporter.h"
#include "diagnostics/ReportSaveLocation.h"
#include "platform/TerminationSignals.h"
#include "status/StatusCodec.h"
#include "status/StatusTexts.h"

#include <QCoreApplication>
#include <QTextStream>

namespace pylon::HeadlessMode {

namespace {

QStringList statusLines(const DynamicStatus& status) {
    return {companionLine(status.companionState()), liveLine(status.abletonStatus()),
            clientsLine(status.companionStatus())};
}

} // namespace

// The controller outlives the job (runOnce in main.cpp holds it until the job ends).
// NOLINTNEXTLINE(cppcoreguidelines-avoid-reference-coroutine-parameters)
QCoro::Task<int> printStatusOnce(PylonController& controller, bool json) {
    co_await controller.pollOnce();
    DynamicStatus& status = controller.dynamicStatus();
    status.setIsStarting(false); // one poll is all there will be: show what it found
    QTextStream out(stdout);
    for (const QString& line : statusLines(status))
        out << line << '\n';
    if (json && status.lastResponse())
        out << QString::fromUtf8(encodeStatusResponse(*status.lastResponse())) << '\n';
    out.flush();
    co_return status.lastResponse() ? 0 : 1;
}

// The controller outlives the job (runOnce in main.cpp holds it until the job ends).
// NOLINTNEXTLINE(cppcoreguidelines-avoid-reference-coroutine-parameters)
QCoro::Task<int> saveDiagnosticReport(PylonController& controller, QString path) {
    co_await controller.pollOnce();
    controller.setAbletonVersions(controller.abletonSetupManager().detectAbletonVersions());
    const DiagnosticReportResult result =
        co_await controller.saveDiagnosticReport(std::make_shared<PathReportSaveLocation>(path), false);
    if (result.outcome == DiagnosticReportResult::Outcome::saved) {
        QTextStream(stdout) << result.path << '\n';
        co_return 0;
    }
    QTextStream(stderr) << "Pylon: the diagnostic report could not be saved: "
                        << (result.error.isEmpty() ? QStringLiteral("no location chosen") : result.error) << '\n';
    co_return 1;
}

int runUntilTerminated(PylonController& controller) {
    QStringList printed;
    auto printIfChanged = [&] {
        const QStringList lines = statusLines(controller.dynamicStatus());
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

    TerminationSignals termination;
    QObject::connect(&termination, &TerminationSignals::received, QCoreApplication::instance(), &QCoreApplication::quit);
    printIfChanged();
    controller.start();
    return QCoreApplication::exec();
}

} // namespace pylon::HeadlessMode
