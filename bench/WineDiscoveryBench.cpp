// Live discovery in Wine prefixes, each case beside its floor: the same folders listed and the same
// files read by a minimal loop that understands nothing.
//  - 10 Bottles prefixes with 4 Live versions each: finding the prefixes, listing the users and the
//    version folders, reading and parsing 40 Library.cfg files, mapping each Windows path through the
//    prefix's C: drive and the Documents link into the home (target: under 10 ms);
//  - 500 candidate folders under Bottles, every second one a prefix: finding the prefixes.
// Registered into bench_live beside the macOS-layout discovery; the median is the figure to watch.
#include "live/LibraryConfig.h"
#include "live/WindowsPath.h"
#include "live/WinePrefixes.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace {

bool writeFile(const QString& path, const QByteArray& contents) {
    QDir().mkpath(path.section(QLatin1Char('/'), 0, -2));
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(contents) == contents.size();
}

bool makePrefix(const QString& prefix, const QString& documents) {
    return QDir().mkpath(prefix + QStringLiteral("/drive_c/users/me/AppData/Roaming/Ableton")) &&
           QDir().mkpath(prefix + QStringLiteral("/dosdevices")) &&
           QFile::link(QStringLiteral("../drive_c"), prefix + QStringLiteral("/dosdevices/c:")) &&
           QFile::link(QStringLiteral("/"), prefix + QStringLiteral("/dosdevices/z:")) &&
           QFile::link(documents, prefix + QStringLiteral("/drive_c/users/me/Documents")) &&
           QDir().mkpath(prefix + QStringLiteral("/drive_c/users/Public/Documents")) &&
           writeFile(prefix + QStringLiteral("/system.reg"), "WINE REGISTRY Version 2\n");
}

const QByteArray windowsLibraryConfig =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Ableton MajorVersion=\"5\" Creator=\"Ableton Live\">\n"
    "\t<ContentLibrary>\n\t\t<UserLibrary>\n\t\t\t<LibraryProject>\n"
    "\t\t\t\t<ProjectPath Value=\"C:\\users\\me\\Documents\\Ableton\" />\n"
    "\t\t\t\t<ProjectName Value=\"User Library\" />\n"
    "\t\t\t</LibraryProject>\n\t\t</UserLibrary>\n\t</ContentLibrary>\n</Ableton>\n";

struct WineFixture {
    QTemporaryDir home;
    QString bottles = home.path() + QStringLiteral("/.local/share/bottles/bottles");
    pylon::WinePrefixSearch search{home.path(), {}, {}, {}, {}};
    bool ready = true;

    // `prefixes` bottles with `versions` Live versions each, and `others` folders that are no prefix.
    WineFixture(int prefixes, int versions, int others) {
        const QString documents = home.path() + QStringLiteral("/Documents");
        ready = QDir().mkpath(documents + QStringLiteral("/Ableton/User Library/Remote Scripts/Pylon"));
        for (int i = 0; i < prefixes; ++i) {
            const QString prefix = bottles + QStringLiteral("/Live-%1").arg(i, 3, 10, QLatin1Char('0'));
            ready = makePrefix(prefix, documents) && ready;
            for (int v = 0; v < versions; ++v) {
                const QString cfg =
                    prefix + QStringLiteral("/drive_c/users/me/AppData/Roaming/Ableton/Live %1.%2.%3/Preferences/"
                                            "Library.cfg")
                                 .arg(12 - v)
                                 .arg(v)
                                 .arg(i);
                ready = writeFile(cfg, windowsLibraryConfig) && ready;
            }
        }
        for (int i = 0; i < others; ++i)
            ready = QDir().mkpath(bottles + QStringLiteral("/Other-%1/dosdevices").arg(i, 3, 10, QLatin1Char('0'))) &&
                    ready;
    }
};

// The whole discovery: the number of Live versions whose mapped User Library holds the script.
int discoverInPrefixes(const WineFixture& fixture) {
    int installed = 0;
    for (const pylon::WinePrefix& prefix : pylon::findWinePrefixes(fixture.search)) {
        for (const pylon::WineLivePreferences& preferences : pylon::findWineLivePreferences(prefix.path)) {
            const std::optional<QString> windowsPath =
                pylon::readLibraryConfig(preferences.libraryConfigPath, fixture.search.homeDirectory);
            const std::optional<QString> library =
                windowsPath ? pylon::mapWindowsPath(prefix.path, *windowsPath) : std::nullopt;
            if (library && QFileInfo::exists(*library + QStringLiteral("/Remote Scripts/Pylon")))
                ++installed;
        }
    }
    return installed;
}

QStringList namesIn(const QString& folder) {
    QStringList names;
    for (QDirIterator it(folder, QDir::AllEntries | QDir::NoDotAndDotDot); it.hasNext();)
        names << it.next();
    return names;
}

// The floor: the same listings and reads, nothing matched, parsed or resolved.
qint64 listAndReadOnly(const WineFixture& fixture) {
    qint64 bytes = 0;
    for (const QString& prefix : namesIn(fixture.bottles)) {
        for (const QString& user : namesIn(prefix + QStringLiteral("/drive_c/users"))) {
            for (const QString& version : namesIn(user + QStringLiteral("/AppData/Roaming/Ableton"))) {
                QFile file(version + QStringLiteral("/Preferences/Library.cfg"));
                if (file.open(QIODevice::ReadOnly))
                    bytes += file.readAll().size();
            }
        }
    }
    return bytes;
}

// The floor of the prefix search: the listing and one stat per candidate.
int listAndStatOnly(const WineFixture& fixture) {
    int prefixes = 0;
    for (const QString& candidate : namesIn(fixture.bottles))
        prefixes += QFileInfo(candidate + QStringLiteral("/drive_c")).isDir() ? 1 : 0;
    return prefixes;
}

void BM_WineDiscovery10Prefixes4Versions(benchmark::State& state) {
    const WineFixture fixture(10, 4, 0);
    if (!fixture.ready || discoverInPrefixes(fixture) != 40)
        state.SkipWithError("unexpected fixture");
    for (auto _ : state)
        benchmark::DoNotOptimize(discoverInPrefixes(fixture));
}

void BM_WineDiscovery10Prefixes4Versions_Floor(benchmark::State& state) {
    const WineFixture fixture(10, 4, 0);
    if (!fixture.ready || listAndReadOnly(fixture) != 40 * windowsLibraryConfig.size())
        state.SkipWithError("unexpected fixture");
    for (auto _ : state)
        benchmark::DoNotOptimize(listAndReadOnly(fixture));
}

void BM_FindWinePrefixes500Candidates(benchmark::State& state) {
    const WineFixture fixture(250, 0, 250);
    if (!fixture.ready || pylon::findWinePrefixes(fixture.search).size() != 250)
        state.SkipWithError("unexpected fixture");
    for (auto _ : state)
        benchmark::DoNotOptimize(pylon::findWinePrefixes(fixture.search));
}

void BM_FindWinePrefixes500Candidates_Floor(benchmark::State& state) {
    const WineFixture fixture(250, 0, 250);
    if (!fixture.ready || listAndStatOnly(fixture) != 250)
        state.SkipWithError("unexpected fixture");
    for (auto _ : state)
        benchmark::DoNotOptimize(listAndStatOnly(fixture));
}

BENCHMARK(BM_WineDiscovery10Prefixes4Versions)
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(15)
    ->ReportAggregatesOnly(true);
BENCHMARK(BM_WineDiscovery10Prefixes4Versions_Floor)
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(15)
    ->ReportAggregatesOnly(true);
BENCHMARK(BM_FindWinePrefixes500Candidates)->Unit(benchmark::kMicrosecond)->Repetitions(15)->ReportAggregatesOnly(true);
BENCHMARK(BM_FindWinePrefixes500Candidates_Floor)
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(15)
    ->ReportAggregatesOnly(true);

} // namespace
