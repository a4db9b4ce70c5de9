#pragma once

// What the Live discovery benchmarks share: files written for the fixtures, loggers writing into a
// temporary folder, and the floors, which do the least work a discovery of the same folders must do
// (list the folders, read the same files) with plain POSIX calls, understanding nothing.

#include "foundation/FileLogger.h"
#include "foundation/LogWriter.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <chrono>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <string>
#include <unistd.h>

namespace pylon::bench {

inline bool writeFile(const QString& path, const QByteArray& contents) {
    QDir().mkpath(path.section(QLatin1Char('/'), 0, -2));
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(contents) == contents.size();
}

inline QByteArray libraryConfig(const QString& projectPath, const QString& projectName) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Ableton MajorVersion=\"5\" Creator=\"Ableton Live\">\n"
           "\t<ContentLibrary>\n\t\t<UserLibrary>\n\t\t\t<LibraryProject>\n\t\t\t\t<ProjectPath Value=\"" +
           projectPath.toUtf8() + "\" />\n\t\t\t\t<ProjectName Value=\"" + projectName.toUtf8() +
           "\" />\n\t\t\t</LibraryProject>\n\t\t</UserLibrary>\n\t</ContentLibrary>\n</Ableton>\n";
}

// The four loggers of the application on one writer into a temporary folder. Their messages also go to
// Qt's logging categories ("bench.pylon.*"), which main() switches off so that the output stays readable.
struct BenchLoggers {
    QTemporaryDir folder;
    LogWriter writer{folder.path(), folder.path() + QStringLiteral("/bench.log")};
    FileLogger menubar{QStringLiteral("menubar"), QStringLiteral("bench.pylon"), writer};
    FileLogger installer{QStringLiteral("installer"), QStringLiteral("bench.pylon"), writer};
    FileLogger companionManager{QStringLiteral("companion-manager"), QStringLiteral("bench.pylon"), writer};
    FileLogger uninstall{QStringLiteral("uninstall"), QStringLiteral("bench.pylon"), writer};
    Loggers loggers{menubar, installer, companionManager, uninstall};
};

// The names in `folder` (without "." and ".."), by readdir.
inline std::vector<std::string> listFolder(const std::string& folder) {
    std::vector<std::string> names;
    if (DIR* dir = ::opendir(folder.c_str())) {
        while (const dirent* entry = ::readdir(dir)) {
            const std::string name = entry->d_name;
            if (name != "." && name != "..")
                names.push_back(name);
        }
        ::closedir(dir);
    }
    return names;
}

// The bytes of the file at `path`, read into a buffer on the stack and thrown away.
inline qint64 readAndDrop(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return 0;
    char buffer[16384];
    qint64 total = 0;
    for (ssize_t n; (n = ::read(fd, buffer, sizeof buffer)) > 0;)
        total += n;
    ::close(fd);
    return total;
}

// The calling thread's CPU time in seconds. On a shared machine the wall time of file work mostly
// measures the other programs; the CPU time (the kernel's work for our calls included) does not.
inline double threadCpuSeconds() {
    timespec now{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

// Runs `measure` and `floor` alternately, once each per iteration and in turns first, so that both meet
// the machine in the same state. The iteration's time is the measure's wall time (use UseManualTime());
// counters give the mean per run of the floor's wall time ("floor_ms") and the CPU times of both
// ("cpu_ms", "floor_cpu_ms"), which the summary compares.
template <typename Measure, typename Floor>
void measureBesideFloor(benchmark::State& state, Measure measure, Floor floor) {
    using Clock = std::chrono::steady_clock;
    struct Totals {
        double wall = 0;
        double cpu = 0;
    };
    const auto timed = [](auto& work, Totals& totals) {
        const Clock::time_point start = Clock::now();
        const double cpuStart = threadCpuSeconds();
        benchmark::DoNotOptimize(work());
        totals.cpu += threadCpuSeconds() - cpuStart;
        const double wall = std::chrono::duration<double>(Clock::now() - start).count();
        totals.wall += wall;
        return wall;
    };
    Totals measured;
    Totals floored;
    bool measureFirst = true;
    for (auto _ : state) {
        double wall = 0;
        if (measureFirst) {
            wall = timed(measure, measured);
            timed(floor, floored);
        } else {
            timed(floor, floored);
            wall = timed(measure, measured);
        }
        measureFirst = !measureFirst;
        state.SetIterationTime(wall);
    }
    const double runs = double(state.iterations());
    state.counters["floor_ms"] = floored.wall * 1e3 / runs;
    state.counters["cpu_ms"] = measured.cpu * 1e3 / runs;
    state.counters["floor_cpu_ms"] = floored.cpu * 1e3 / runs;
}

} // namespace pylon::bench
