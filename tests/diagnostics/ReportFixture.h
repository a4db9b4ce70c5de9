#pragma once

#include "TemporaryHome.h"
#include "core/BuildEnvironment.h"
#include "diagnostics/DiagnosticReporter.h"
#include "diagnostics/FileLogger.h"
#include "diagnostics/LogWriter.h"
#include "diagnostics/ReportSaveLocation.h"
#include "platform/UserDefaults.h"
#include "status/DynamicStatus.h"

#include <QDateTime>

namespace pylon::test {

// A report's surroundings in a temporary home: bundle "1.2.3-45" on x86_64, a fresh status model,
// a logger writing to its own file (not the logs the report reads), the temporary folder
// "<home>/tmp" and the fixed time 2025-03-04T09:15:02.481Z.
struct ReportFixture {
    explicit ReportFixture(const QString& bundleIdentifier = QStringLiteral("net.ostrand.Pylon"));

    TemporaryHome home;
    BuildEnvironment environment;
    UserDefaults defaults;
    DynamicStatus status;
    LogWriter writer;
    FileLogger log;
    QDateTime time = QDateTime::fromMSecsSinceEpoch(1741079702481LL, Qt::UTC);
    QList<AbletonVersion> versions;
    qint64 serviceStatus = 1; // enabled

    QString temporaryDirectory() const { return home.path() + QStringLiteral("/tmp"); }
    DiagnosticReporter::Options options() const;
    DiagnosticReporter reporter(const DiagnosticReporter::Options& options) const {
        return DiagnosticReporter(status, versions, environment, serviceStatus, log, QStringLiteral("6.1.0"), options);
    }
    DiagnosticReporter reporter() const { return reporter(options()); }

    // Companion 2.0.1 with 3 clients, Accessibility granted, Automation not, keyboard addon loaded;
    // Live 12.1.5 "Live 12 Suite" connected with script 1.4.0; Bonjour in error "name conflict".
    void setFullStatus();
    // "Live 12 User Library" in the home's Music folder with the script; "Live 11" without library.
    void setTwoVersions();
    // The logged lines without their timestamps.
    QStringList loggedLines();
    QStringList temporaryEntries() const;
};

// Answers with a fixed location, cancels (no answer) or fails; records the suggested names.
class FakeSaveLocation final : public ReportSaveLocation {
public:
    explicit FakeSaveLocation(std::optional<QString> answer)
        : m_answer(std::move(answer)) {}
    QCoro::Task<std::optional<QString>> chooseLocation(QString suggestedFileName) override;
    QStringList suggestedNames;
    std::optional<QString> failure;

private:
    std::optional<QString> m_answer;
};

// The real unzip: `unzip -l` member names, sorted; `unzip -p` one member's bytes.
QStringList unzipListing(const QString& archive);
QByteArray unzipMember(const QString& archive, const QString& member);

} // namespace pylon::test
