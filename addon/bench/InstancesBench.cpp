// Cost of listing the running Live processes while the system runs many other processes: the
// companion asks for the list on every status poll. Run with --benchmark_repetitions=N to get a
// median.
//
// usage: accelerator_bench [--extra-processes=N] [benchmark options]   (N defaults to 500)

#include "../linux/ProcessTable.h"

#include <benchmark/benchmark.h>
#include <csignal>
#include <cstdlib>
#include <cstring>
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

void BM_RunningLiveProcesses(benchmark::State& state) {
    for (auto _ : state)
        benchmark::DoNotOptimize(pylon::accelerator::linux_backend::runningLiveProcesses());
}
BENCHMARK(BM_RunningLiveProcesses)->Unit(benchmark::kMicrosecond);

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
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    stopProcesses(children);
    return 0;
}
