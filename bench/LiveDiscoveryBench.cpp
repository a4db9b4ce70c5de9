// Live discovery, each measure beside its floor, in one program (with WineDiscoveryBench.cpp):
//  - the macOS layout with 40 and 400 preference folders, each with a Library.cfg: the listing, the
//    file reads and XML parses, the existence checks, the grouping, sorting and the log line, and the
//    search for Wine prefixes in the same home (none there). Floor: the folder listed and the same
//    files read with plain POSIX calls (goal: within 1.5x);
//  - the GUI thread while the controller refreshes with 400 folders: the longest time its event loop
//    did not turn (a 1 ms timer's longest gap), and its own CPU time. Floor: the same timer's longest
//    gap in an idle loop (goal: under one frame, 16.7 ms);
//  - Wine prefixes (WineDiscoveryBench.cpp).
// Measure and floor run alternately in one benchmark (LiveBench.h), so both see the machine in the same
// state; with --benchmark_repetitions=N the medians count. The table at the end prints value, floor,
// ratio, goal and result (bench/BenchTable.h); discovery is compared in thread CPU time (the kernel's file work
// included), which the other programs on a shared machine do not inflate, and the GUI thread in wall time.
//
// usage: bench_live [benchmark options]
#include "BenchTable.h"
#include "Fakes.h"
#include "LiveBench.h"
#include "core/PylonController.h"
#include "live/AbletonSetupManager.h"
#include "platform/Bundle.h"
#include "platform/UserDefaults.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLoggingCategory>
#include <QTimer>
#include <benchmark/benchmark.h>
#include <ctime>
#include <optional>
#include <qcoro/qcorotask.h>

namespace {

using namespace pylon;
using namespace pylon::bench;

// `folders` preference folders of majors 9 to 12; every major shares one existing library that holds
// the script, except that every fifth version names a library that is not there.
struct MacFixture {
    QTemporaryDir home;
    QString preferences = home.path() + QStringLiteral("/Library/Preferences/Ableton");
    BenchLoggers logs;
    test::FakeWorkspace workspace;

    explicit MacFixture(int folders) {
        for (int i = 0; i < folders; ++i) {
            const int major = 9 + i % 4;
            const QString library = QStringLiteral("Live %1 Library").arg(major);
            QDir().mkpath(home.path() + QStringLiteral("/Music/") + library + QStringLiteral("/Remote Scripts/Pylon"));
            const QString folder = preferences + QStringLiteral("/Live %1.%2.%3").arg(major).arg(i / 12).arg(i);
            writeFile(folder + QStringLiteral("/Library.cfg"),
                      libraryConfig(QStringLiteral("~/Music"), i % 5 == 4 ? QStringLiteral("Missing") : library));
        }
    }
    AbletonSetupManager::Options options() const {
        return {home.path(), home.path() + QStringLiteral("/.local/share")};
    }
    AbletonSetupManager manager() { return AbletonSetupManager(logs.installer, workspace, options()); }
};

// The floor: the preference folder listed, each Library.cfg read.
qint64 listAndRead(const std::string& folder) {
    qint64 bytes = 0;
    for (const std::string& name : listFolder(folder))
        bytes += readAndDrop(folder + name + "/Library.cfg");
    return bytes;
}

void BM_MacDiscovery(benchmark::State& state) {
    MacFixture fixture(int(state.range(0)));
    AbletonSetupManager manager = fixture.manager();
    const std::string folder = fixture.preferences.toStdString() + '/';
    if (manager.discover().preferenceFolders != state.range(0) || listFolder(folder).size() != size_t(state.range(0)))
        state.SkipWithError("unexpected fixture");
    measureBesideFloor(
        state, [&] { return manager.discover(); }, [&] { return listAndRead(folder); });
}
BENCHMARK(BM_MacDiscovery)->Arg(40)->Arg(400)->UseManualTime()->Unit(benchmark::kMicrosecond);

// The longest gap between the ticks of a 1 ms timer while `wait` runs the event loop.
template <typename Wait> double longestGapMilliseconds(Wait wait) {
    QElapsedTimer clock;
    qint64 last = 0;
    qint64 longest = 0;
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        longest = std::max(longest, now - last);
        last = now;
    });
    ticker.start(1);
    clock.start();
    wait();
    longest = std::max(longest, clock.nsecsElapsed() - last);
    return double(longest) / 1e6;
}

// A controller over fakes, its Live options pointing at a fixture; no companion answers (port 1).
struct ControllerFixture {
    MacFixture live{400};
    test::FakeServiceManager services;
    test::FakeClock clock;
    BuildEnvironment environment{BundleFacts{QStringLiteral("net.ostrand.Pylon"), QStringLiteral("1.0.0"),
                                             QStringLiteral("1"), live.home.path() + QStringLiteral("/Pylon.app")},
                                 QStringLiteral("x86_64"), live.home.path() + QStringLiteral("/.local/share")};
    UserDefaults defaults{QStringLiteral("net.ostrand.Pylon"), live.home.path() + QStringLiteral("/.config")};
    PylonController controller{ControllerContext{
        environment, defaults, services, live.workspace, clock, live.logs.loggers, {}, quint16(1), live.options()}};
};

// Alternately a refresh with 400 folders and an idle event loop of the same length, each with the
// ticker: "longest_stall_ms" and "idle_stall_ms" are the longest gaps seen. Also the GUI thread's own CPU
// time per refresh (the ticker's few callbacks included): a refresh that keeps it busy for less than a
// frame in all cannot block it for a frame.
void BM_RefreshLongestStall400(benchmark::State& state) {
    ControllerFixture fixture;
    double longest = 0;
    double idleLongest = 0;
    double mainThreadCpu = 0;
    for (auto _ : state) {
        fixture.controller.setAbletonVersions({}); // so that refresh discovers again
        const double cpuBefore = threadCpuSeconds() * 1e3;
        QElapsedTimer took;
        took.start();
        longest = std::max(longest, longestGapMilliseconds([&] { QCoro::waitFor(fixture.controller.refresh()); }));
        const int length = int(took.elapsed());
        mainThreadCpu += threadCpuSeconds() * 1e3 - cpuBefore;
        idleLongest = std::max(idleLongest, longestGapMilliseconds([length] {
                                   QEventLoop loop;
                                   QTimer::singleShot(std::max(length, 1), &loop, &QEventLoop::quit);
                                   loop.exec();
                               }));
        if (fixture.controller.abletonVersions().size() != 8)
            state.SkipWithError("unexpected discovery");
    }
    state.counters["longest_stall_ms"] = longest;
    state.counters["idle_stall_ms"] = idleLongest;
    state.counters["main_thread_cpu_ms"] = mainThreadCpu / double(state.iterations());
}
BENCHMARK(BM_RefreshLongestStall400)->Unit(benchmark::kMillisecond)->Iterations(20);

} // namespace

int main(int argc, char** argv) {
    using pylon::bench::Measure;
    using pylon::bench::Quantity;
    QCoreApplication app(argc, argv);
    QLoggingCategory::setFilterRules(QStringLiteral("bench.pylon.*=false"));
    // Discovery is compared in thread CPU time, measure and floor taken alternately in one benchmark;
    // the GUI thread in wall time (its longest stall beside an idle loop's).
    const auto beside = [](std::string name, std::string benchmark) {
        return Measure{.name = std::move(name),
                       .benchmark = std::move(benchmark),
                       .unit = "ms",
                       .quantity = Quantity::counter,
                       .counter = "cpu_ms",
                       .floorCounter = "floor_cpu_ms"};
    };
    Measure mac40 = beside("Live discovery, 40 macOS-layout folders", "BM_MacDiscovery/40");
    Measure mac400 = beside("Live discovery, 400 macOS-layout folders", "BM_MacDiscovery/400");
    mac40.maxRatio = mac400.maxRatio = 1.5;
    Measure wine = beside("Live discovery, 10 Wine prefixes x 4 versions", "BM_WineDiscovery10Prefixes4Versions");
    wine.maxValue = 10;
    const Measure search = beside("Wine prefix search, 500 Bottles candidates", "BM_FindWinePrefixes500Candidates");
    const Measure stall{.name = "GUI thread's longest stall, refresh, 400 folders",
                        .benchmark = "BM_RefreshLongestStall400",
                        .maxValue = 16.7,
                        .unit = "ms",
                        .quantity = Quantity::counter,
                        .counter = "longest_stall_ms",
                        .floorCounter = "idle_stall_ms"};
    const Measure mainThread{.name = "GUI thread's CPU per refresh, 400 folders",
                             .benchmark = "BM_RefreshLongestStall400",
                             .maxValue = 16.7,
                             .unit = "ms",
                             .quantity = Quantity::counter,
                             .counter = "main_thread_cpu_ms"};
    return pylon::bench::runWithTable(argc, argv, {mac40, mac400, wine, search, stall, mainThread});
}
