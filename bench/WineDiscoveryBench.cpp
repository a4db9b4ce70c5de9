// Live discovery in Wine prefixes, each measure beside its floor (registered into bench_live, whose
// main prints the table):
//  - 10 Bottles prefixes with 4 Live versions each: AbletonSetupManager::discover() as the application
//    runs it, finding the prefixes, listing the users and version folders, reading and parsing 40
//    Library.cfg files, mapping each Windows path through the prefix's C: drive and the Documents link
//    into the home (goal: under 10 ms). Floor: the same folders listed and files read;
//  - 500 candidate folders under Bottles, every second one a prefix: finding the prefixes. Floor: the
//    listing and one stat per candidate.
#include "Fakes.h"
#include "LiveBench.h"
#include "live/AbletonSetupManager.h"
#include "live/WinePrefixes.h"

#include <benchmark/benchmark.h>
#include <sys/stat.h>

namespace {

using namespace pylon;
using namespace pylon::bench;

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
    libraryConfig(QStringLiteral("C:\\users\\me\\Documents\\Ableton"), QStringLiteral("User Library"));

struct WineFixture {
    QTemporaryDir home;
    QString bottles = home.path() + QStringLiteral("/.local/share/bottles/bottles");
    BenchLoggers logs;
    test::FakeWorkspace workspace;
    AbletonSetupManager manager{
        logs.installer, workspace,
        AbletonSetupManager::Options{home.path(), home.path() + QStringLiteral("/.local/share")}};
    bool ready = true;

    // `prefixes` bottles with `versions` Live versions each, and `others` folders that are no prefix.
    WineFixture(int prefixes, int versions, int others) {
        const QString documents = home.path() + QStringLiteral("/Documents");
        ready = QDir().mkpath(documents + QStringLiteral("/Ableton/User Library/Remote Scripts/Pylon"));
        for (int i = 0; i < prefixes; ++i) {
            const QString prefix = bottles + QStringLiteral("/Live-%1").arg(i, 3, 10, QLatin1Char('0'));
            ready = makePrefix(prefix, documents) && ready;
            for (int v = 0; v < versions; ++v) {
                const QString cfg = prefix + QStringLiteral("/drive_c/users/me/AppData/Roaming/Ableton/"
                                                            "Live %1.%2.%3/Preferences/Library.cfg")
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

// The floor: the bottles, their users and their Ableton folders listed, each Library.cfg read.
qint64 listAndReadOnly(const WineFixture& fixture) {
    const std::string bottles = fixture.bottles.toStdString() + '/';
    qint64 bytes = 0;
    for (const std::string& bottle : listFolder(bottles)) {
        const std::string users = bottles + bottle + "/drive_c/users/";
        for (const std::string& user : listFolder(users)) {
            const std::string ableton = users + user + "/AppData/Roaming/Ableton/";
            for (const std::string& version : listFolder(ableton))
                bytes += readAndDrop(ableton + version + "/Preferences/Library.cfg");
        }
    }
    return bytes;
}

// The floor of the prefix search: the listing and one stat per candidate.
int listAndStatOnly(const WineFixture& fixture) {
    const std::string bottles = fixture.bottles.toStdString() + '/';
    int prefixes = 0;
    struct stat info {};
    for (const std::string& candidate : listFolder(bottles))
        prefixes += ::stat((bottles + candidate + "/drive_c").c_str(), &info) == 0 && S_ISDIR(info.st_mode) ? 1 : 0;
    return prefixes;
}

void BM_WineDiscovery10Prefixes4Versions(benchmark::State& state) {
    WineFixture fixture(10, 4, 0);
    const AbletonSetupManager::Discovery found = fixture.manager.discover();
    // One library shared by every version, a record per prefix (they are never merged), all installed.
    if (!fixture.ready || found.preferenceFolders != 40 || found.versions.size() != 10 ||
        !found.versions.constFirst().isRemoteScriptInstalled ||
        listAndReadOnly(fixture) != 40 * windowsLibraryConfig.size())
        state.SkipWithError("unexpected fixture");
    measureBesideFloor(
        state, [&] { return fixture.manager.discover(); }, [&] { return listAndReadOnly(fixture); });
}

void BM_FindWinePrefixes500Candidates(benchmark::State& state) {
    const WineFixture fixture(250, 0, 250);
    const WinePrefixSearch search{fixture.home.path(), {}, {}, {}, {}};
    if (!fixture.ready || findWinePrefixes(search).size() != 250 || listAndStatOnly(fixture) != 250)
        state.SkipWithError("unexpected fixture");
    measureBesideFloor(
        state, [&] { return findWinePrefixes(search); }, [&] { return listAndStatOnly(fixture); });
}

BENCHMARK(BM_WineDiscovery10Prefixes4Versions)->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FindWinePrefixes500Candidates)->UseManualTime()->Unit(benchmark::kMicrosecond);

} // namespace
