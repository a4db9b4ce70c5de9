// The controller's diagnostic report: a fresh reporter per request over the live status model and
// the known Live libraries.
#include "core/PylonController.h"
#include "diagnostics/DiagnosticReporter.h"
#include "diagnostics/FileLogger.h"
#include "platform/ServiceManager.h"

namespace pylon {

QCoro::Task<DiagnosticReportResult> PylonController::saveDiagnosticReport(ReportSaveLocation& location,
                                                                          bool revealWhenSaved) {
    DiagnosticReporter::Options options = DiagnosticReporter::Options::forCurrentUser();
    options.workspace = revealWhenSaved ? &m_workspace : nullptr;
    const DiagnosticReporter reporter(*m_dynamicStatus, m_abletonVersions, m_environment, m_services.status(), m_log,
                                      DiagnosticReporter::operatingSystemVersion(), options);
    co_return co_await reporter.generateReport(location);
}

} // namespace pylon
