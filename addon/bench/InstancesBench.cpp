// Cost of listing the running Live processes while the system runs many other processes: the
// companion asks for the list with every status document, about once a second. Two measures, each
// beside its floor (the least work a listing of that kind must do):
// - at the companion's pace: one table listing again and again, its clock one second further on
//   each time, so its re-reading of remembered processes is counted as it happens in use; floor:
//   reading the /proc folder;
// - the first listing of a table (every process's name read); floor: reading every process's name.
// The medians of the repetitions are compared (9 unless --benchmark_repetitions says otherwise),
// their order shuffled across all four so a shared machine's busy stretches weigh on each alike.
// Ends with the table of bench/BenchTable.h, whose RESULT lines bench/run-all collects.
//
// usage: accelerator_bench [--extra-processes=N] [benchmark options]   (N defaults to 500)

#include "../linux/ProcessTable.h"
#include "BenchTable.h"

#include <array>
#include <benchmark/benchmark.h>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <string>
#include <string_view>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

// Children that only wait for a signal, so /proc holds that many more entries.
std::vector<pid_t> startIdleProcesses(int count) {
    std::vector<pid_t> children;
    for (int i = 0; i < count; ++i) {
        const pid_t child = fork();
        if (child == 0) {
            pause();
            _exit(0);
        }
        if (child < 0)
            break;
        children.push_back(child);
    }
    return children;
}

void stopProcesses(const std::vector<pid_t>& children) {
    for (const pid_t child : children)
        kill(child, SIGTERM);
    for (const pid_t child : children)
        waitpid(child, nullptr, 0);
}

using pylon::accelerator::linux_backend::ProcessTable;

void BM_ListingEverySecond(benchmark::State& state) {
    auto now = ProcessTable::Clock::now();
    ProcessTable table("/proc", [&now] { return now += std::chrono::seconds(1); });
    for (auto _ : state)
        benchmark::DoNotOptimize(table.runningLiveProcesses());
}
BENCHMARK(BM_ListingEverySecond)->Unit(benchmark::kMicrosecond);

void BM_FirstListing(benchmark::State& state) {
    for (auto _ : state)
        benchmark::DoNotOptimize(ProcessTable().runningLiveProcesses());
}
BENCHMARK(BM_FirstListing)->Unit(benchmark::kMicrosecond);

// Floor at the companion's pace: the /proc folder read, nothing else.
void BM_Floor_ReadProcFolder(benchmark::State& state) {
    for (auto _ : state) {
        DIR* proc = opendir("/proc");
        std::size_t entries = 0;
        while (readdir(proc))
            ++entries;
        closedir(proc);
        benchmark::DoNotOptimize(entries);
    }
}
BENCHMARK(BM_Floor_ReadProcFolder)->Unit(benchmark::kMicrosecond);

// The floor: every process's /proc/<pid>/comm opened, read and closed, nothing kept.
void BM_Floor_ReadEveryComm(benchmark::State& state) {
    for (auto _ : state) {
        DIR* proc = opendir("/proc");
        std::size_t bytes = 0;
        std::array<char, 64> buffer;
        while (const dirent* entry = readdir(proc)) {
            if (entry->d_name[0] < '1' || entry->d_name[0] > '9')
                continue;
            const std::string path = std::string(entry->d_name) + "/comm";
            const int fd = openat(dirfd(proc), path.c_str(), O_RDONLY | O_CLOEXEC);
            if (fd < 0)
                continue;
            const ssize_t count = read(fd, buffer.data(), buffer.size());
            bytes += count > 0 ? static_cast<std::size_t>(count) : 0;
            close(fd);
        }
        closedir(proc);
        benchmark::DoNotOptimize(bytes);
    }
}
BENCHMARK(BM_Floor_ReadEveryComm)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv) {
    int extra = 500;
    std::vector<char*> arguments;
    for (int i = 0; i < argc; ++i) {
        constexpr std::string_view option = "--extra-processes=";
        if (std::string_view(argv[i]).starts_with(option))
            extra = std::atoi(argv[i] + option.size());
        else
            arguments.push_back(argv[i]);
    }
    arguments = pylon::bench::withTableDefaults(int(arguments.size()), arguments.data());
    int count = static_cast<int>(arguments.size());
    benchmark::Initialize(&count, arguments.data());
    if (benchmark::ReportUnrecognizedArguments(count, arguments.data()))
        return 2;
    const auto children = startIdleProcesses(extra);
    benchmark::AddCustomContext("extra processes", std::to_string(children.size()));
    pylon::bench::TableReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    stopProcesses(children);

    using pylon::bench::Measure;
    const std::string extraText = ", " + std::to_string(children.size()) + " extra processes";
    pylon::bench::printRows(reporter.rows({
        Measure{.name = "Live listing once a second" + extraText,
                .benchmark = "BM_ListingEverySecond",
                .floor = "BM_Floor_ReadProcFolder",
                .maxValue = 5,
                .unit = "ms"},
        Measure{.name = "first Live listing" + extraText,
                .benchmark = "BM_FirstListing",
                .floor = "BM_Floor_ReadEveryComm",
                .unit = "ms"},
    }));
    return 0;
}
