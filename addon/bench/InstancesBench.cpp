// Cost of listing the running Live processes while the system runs many other processes: the
// companion asks for the list with every status document, about once a second. Two measures, each
// beside its floor (the least work a listing of that kind must do):
// - at the companion's pace: one table listing again and again, its clock one second further on
//   each time, so its re-reading of remembered processes is counted as it happens in use; floor:
//   reading the /proc folder;
// - the first listing of a table (every process's name read); floor: reading every process's name.
// With --benchmark_repetitions=N the medians are compared; --benchmark_enable_random_interleaving
// spreads the repetitions of all four over the same stretch of time, which a shared machine needs.
//
// usage: accelerator_bench [--extra-processes=N] [benchmark options]   (N defaults to 500)

#include "../linux/ProcessTable.h"

#include <array>
#include <benchmark/benchmark.h>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr double kGoalMilliseconds = 5.0;

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

// Keeps the time per iteration of each benchmark, the median when repeated, for the summary.
class SummaryReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            const double milliseconds = run.real_accumulated_time / static_cast<double>(run.iterations) * 1000.0;
            if (run.run_type == Run::RT_Iteration)
                m_last[run.run_name.function_name] = milliseconds;
            else if (run.aggregate_name == "median")
                m_median[run.run_name.function_name] = milliseconds;
        }
        ConsoleReporter::ReportRuns(runs);
    }

    void printSummary(std::size_t extraProcesses) const {
        const std::string extra = ", " + std::to_string(extraProcesses) + " extra processes";
        std::printf("\n%-52s %11s %11s %7s %9s  %s\n", "measure", "value", "floor", "ratio", "goal", "result");
        printRow("Live listing once a second" + extra, "BM_ListingEverySecond", "BM_Floor_ReadProcFolder", true);
        printRow("first Live listing" + extra, "BM_FirstListing", "BM_Floor_ReadEveryComm", false);
    }

private:
    void printRow(const std::string& measure, const std::string& name, const std::string& floorName,
                  bool hasGoal) const {
        const auto value = result(name);
        const auto floor = result(floorName);
        if (!value || !floor)
            return;
        const char* verdict = !hasGoal ? "-" : *value < kGoalMilliseconds ? "pass" : "FAIL";
        std::printf("%-52s %8.3f ms %8.3f ms %6.2fx %9s  %s\n", measure.c_str(), *value, *floor, *value / *floor,
                    hasGoal ? "< 5 ms" : "-", verdict);
    }

    std::optional<double> result(const std::string& name) const {
        for (const auto* table : {&m_median, &m_last}) {
            if (const auto found = table->find(name); found != table->end())
                return found->second;
        }
        return std::nullopt;
    }

    std::map<std::string, double> m_last;
    std::map<std::string, double> m_median;
};

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
    int count = static_cast<int>(arguments.size());
    benchmark::Initialize(&count, arguments.data());
    const auto children = startIdleProcesses(extra);
    benchmark::AddCustomContext("extra processes", std::to_string(children.size()));
    SummaryReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    stopProcesses(children);
    reporter.printSummary(children.size());
    return 0;
}
