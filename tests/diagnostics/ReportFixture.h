#pragma once

// What the diagnostics suites share: log processors, files written byte for byte, the real unzip,
// a save location that answers as told, and a reporter's surroundings in a temporary home.
#include "Fakes.h"
#include "TemporaryHome.h"
#include "TestBundle.h"
#include "diagnostics/DiagnosticReporter.h"
#include "diagnostics/ReportSaveLocation.h"
#include "foundation/BuildEnvironment.h"
#include "foundation/FileLogger.h"
#include "foundation/LogWriter.h"
#include "platform/Bundle.h"
#include "platform/UserDefaults.h"
#include "status/DynamicStatus.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <ctime>
#include <functional>
#include <stdexcept>

namespace pylon::test {

using Outcome = DiagnosticReportResult::Outcome;

inline const QString testHome = QStringLiteral("/home/tester");
inline const QString archiveName = QStringLiteral("PylonDiagnostics_2025-03-04_09-15-02.zip");

inline LogProcessor processor(const QString& home = testHome, int maxLines = 500, qint64 blockSize = 64 * 1024) {
    LogProcessingConfig config;
    std::tie(config.homeDirectory, config.maxLogLines, config.tailBlockSize) = std::tie(home, maxLines, blockSize);
    return LogProcessor(config);
}

inline QString writeBytes(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

// `length` characters of random Base64: text that does not compress.
inline QByteArray randomText(qsizetype length) {
    QByteArray bytes(length, Qt::Uninitialized);
    QRandomGenerator::global()->fillRange(reinterpret_cast<quint32*>(bytes.data()), length / 4);
    return bytes.toBase64().left(length);
}

inline QStringList entriesOf(const QString& folder) {
    return QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
}

inline QByteArray runUnzip(const QStringList& arguments) {
    QProcess unzip;
    unzip.start(QStringLiteral("unzip"), arguments);
    const bool ran = unzip.waitForFinished(30000) && unzip.exitStatus() == QProcess::NormalExit;
    return ran && unzip.exitCode() == 0 ? unzip.readAllStandardOutput() : QByteArrayLiteral("<unzip failed>");
}

// Answers with `answer` (none: cancelled) or throws `failure`; records the suggested names.
struct FakeSaveLocation final : ReportSaveLocation {
    explicit FakeSaveLocation(std::optional<QString> answer)
        : answer(std::move(answer)) {}
    QCoro::Task<std::optional<QString>> chooseLocation(QString suggestedFileName) override {
        suggestedNames << suggestedFileName;
        if (failure)
            throw std::runtime_error(failure->toStdString());
        co_return answer;
    }
    std::optional<QString> answer, failure;
    QStringList suggestedNames;
};

struct LocalZone { // local time is Nepal's (UTC+05:45) while it lives
    LocalZone() { qputenv("TZ", "Asia/Kathmandu"), tzset(); }
    ~LocalZone() { savedZone.isNull() ? qunsetenv("TZ") : qputenv("TZ", savedZone), tzset(); }
    const QByteArray savedZone = qgetenv("TZ");
};

// In a temporary home: bundle "1.2.3-45" on x86_64, a fresh status model, a logger with its own file,
// the temporary folder "<home>/tmp", the time 2025-03-04T09:15:02.481Z in a far zone's local time.
struct ReportFixture {
    explicit ReportFixture(const QString& id = QStringLiteral("net.ostrand.Pylon"))
        : environment(
              Bundle::atPath(pylon::test::makeBundle(home.path(), "Pylon",
                                                     pylon::test::bundleInfo(id, QStringLiteral("1.2.3"), "45")))
                  .facts(),
              QStringLiteral("x86_64"), home.dataHome())
        , defaults(id, home.path() + "/defaults")
        , status(defaults)
        , writer(home.path() + "/test-logs", home.path() + "/test-logs/menubar.log")
        , log(QStringLiteral("menubar"), id, writer) {
        QDir().mkpath(temporaryDirectory());
    }

    LocalZone zone;
    pylon::test::TemporaryHome home;
    BuildEnvironment environment;
    UserDefaults defaults;
    DynamicStatus status;
    LogWriter writer;
    FileLogger log;
    QDateTime time = QDateTime::fromMSecsSinceEpoch(1741079702481LL, Qt::LocalTime);
    QList<AbletonVersion> versions;
    qint64 serviceStatus = 1; // enabled

    QString temporaryDirectory() const { return home.path() + QStringLiteral("/tmp"); }
    DiagnosticReporter reporter(const std::function<void(DiagnosticReporter::Options&)>& adjust = {}) const {
        DiagnosticReporter::Options options;
        options.homeDirectory = home.path();
        options.temporaryDirectory = temporaryDirectory();
        options.now = [this] { return time; };
        if (adjust)
            adjust(options);
        return DiagnosticReporter(status, versions, environment, serviceStatus, log, QStringLiteral("6.1.0"), options);
    }

    // The logged lines without their timestamps.
    QStringList loggedLines() {
        writer.flush();
        QStringList lines = QString::fromUtf8(readFile(home.path() + "/test-logs/menubar.log")).split('\n');
        for (QString& line : lines)
            line = line.section(QLatin1Char(' '), 1);
        return lines;
    }
};

// The log after "Generating diagnostic report": the line `text` with its metadata, if any.
inline QStringList loggedAfterGenerating(const char* text = nullptr, const char* key = "", QString value = {}) {
    QStringList lines = {QStringLiteral("[pylon-companion][menubar] Generating diagnostic report"), QString()};
    if (text) {
        value.replace('/', "\\/");
        lines.insert(1, QStringLiteral("[pylon-companion][menubar] %1 {\"%2\":\"%3\"}").arg(text, key, value));
    }
    return lines;
}

} // namespace pylon::test
