// One full Live discovery over 40 preference folders, each with a Library.cfg: the directory
// listing, 40 file reads and XML parses with two XPath queries each, the existence checks, the
// grouping, sorting and the log line. Run with repetitions; the median is the figure to watch
// (target: under 10 ms).
#include "foundation/FileLogger.h"
#include "foundation/LogWriter.h"
#include "live/AbletonSetupManager.h"
#include "platform/Workspace.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace {

void dropMessages(QtMsgType, const QMessageLogContext&, const QString&) {}

class NoWorkspace final : public pylon::Workspace {
public:
    bool openUrl(const QUrl&) override { return false; }
    bool openFile(const QString&) override { return false; }
    bool revealFile(const QString&) override { return false; }
};

void writeFile(const QString& path, const QByteArray& contents) {
    QDir().mkpath(path.section(QLatin1Char('/'), 0, -2));
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(contents);
}

QByteArray libraryConfig(const QString& projectPath, const QString& projectName) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Ableton MajorVersion=\"5\" Creator=\"Ableton Live\">\n"
           "\t<ContentLibrary>\n\t\t<UserLibrary>\n\t\t\t<LibraryProject>\n"
           "\t\t\t\t<ProjectPath Value=\"" +
           projectPath.toUtf8() +
           "\" />\n"
           "\t\t\t\t<ProjectName Value=\"" +
           projectName.toUtf8() +
           "\" />\n"
           "\t\t\t</LibraryProject>\n\t\t</UserLibrary>\n\t</ContentLibrary>\n</Ableton>\n";
}

struct DiscoveryFixture {
    QTemporaryDir home;
    pylon::LogWriter writer{home.path() + QStringLiteral("/logs"), home.path() + QStringLiteral("/logs/bench.log")};
    pylon::FileLogger logger{QStringLiteral("installer"), QStringLiteral("bench.pylon"), writer};
    NoWorkspace workspace;
    pylon::AbletonSetupManager manager{logger, workspace, {home.path(), home.path() + QStringLiteral("/data")}};

    DiscoveryFixture() {
        // Majors 9 to 12, ten versions each; every major shares one existing library that holds the
        // script, except that every fifth version names a library that is not there.
        for (int major = 9; major <= 12; ++major) {
            const QString library = QStringLiteral("Live %1 Library").arg(major);
            QDir().mkpath(home.path() + QStringLiteral("/Music/") + library + QStringLiteral("/Remote Scripts/Pylon"));
            for (int i = 0; i < 10; ++i) {
                const QString folder =
                    home.path() +
                    QStringLiteral("/Library/Preferences/Ableton/Live %1.%2.%3").arg(major).arg(i / 3).arg(i);
                writeFile(folder + QStringLiteral("/Library.cfg"),
                          libraryConfig(QStringLiteral("~/Music"), i % 5 == 4 ? QStringLiteral("Missing") : library));
            }
        }
    }
};

void BM_DetectAbletonVersions40Folders(benchmark::State& state) {
    qInstallMessageHandler(dropMessages);
    DiscoveryFixture fixture;
    if (fixture.manager.scanPreferenceFolders().size() != 40 || fixture.manager.detectAbletonVersions().size() != 8)
        state.SkipWithError("unexpected fixture");
    for (auto _ : state)
        benchmark::DoNotOptimize(fixture.manager.detectAbletonVersions());
    fixture.writer.flush();
}
BENCHMARK(BM_DetectAbletonVersions40Folders)
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(15)
    ->ReportAggregatesOnly(true);

} // namespace

BENCHMARK_MAIN();
