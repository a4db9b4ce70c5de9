#pragma once
// Every benchmark program ends with one table: each measure beside its floor (the same work done by
// a minimal program or loop), the ratio of the two, the goal and whether it is met. The machine is
// shared and noisy, so a measure's value alone says little; its ratio to a floor measured in the same
// run, with the repetitions of both interleaved at random, says how much the product adds.
//
// Besides the human table, each measure is printed as one tab-separated line that bench/run-all
// collects (scripts print the same lines through bench/result-line):
//
//   RESULT <measure> <value> <floor> <ratio> <goal> <verdict>
//
// value and floor are "<number> <unit>" or "-"; ratio is value / floor as a number or "-"; goal is a
// text such as "<= 1.5x floor", "< 20 us" or "-"; verdict is "pass", "FAIL", "-" (no goal) or
// "not run: <why>". Values are medians over the repetitions.
//
// Header-only and free of Qt, so the accelerator's benchmark (plain C++) uses it too.

#include <algorithm>
#include <benchmark/benchmark.h>
#include <cmath>
#include <cstdio>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <unistd.h>
#include <vector>

namespace pylon::bench {

// What a measure compares. CPU time unless a measure says otherwise: on a busy machine the wall time
// of a short computation is mostly the time spent waiting for a core (three times the CPU time at a
// load of 10 on 2 cores), which says nothing about the code.
enum class Quantity {
    cpuTime,  // CPU time per iteration: the benchmark thread's, or the whole process's with MeasureProcessCPUTime()
    realTime, // wall time per iteration
    counter,  // the user counter named in Measure::counter
};

struct Measure {
    std::string name;
    std::string benchmark;                         // function name, with "/<args>" when it has arguments
    std::string floor = {};                        // the benchmark doing the same work minimally; empty: none
    std::optional<double> maxRatio = std::nullopt; // goal: value <= maxRatio x floor
    std::optional<double> maxValue = std::nullopt; // goal: value < maxValue, in `unit`
    std::string unit = "us";                       // ns, us, ms or s for times; anything for a counter
    Quantity quantity = Quantity::cpuTime;
    std::string counter = {};
    // With a counter: the floor is this counter of the floor benchmark, or of the measure's own
    // benchmark when `floor` is empty (measure and floor taken in one benchmark, alternately).
    std::string floorCounter = {};
};

// "12.34", "1.234", "1234": at least four significant digits, never an exponent.
inline std::string formatNumber(double value) {
    const int magnitude = value > 0 ? int(std::floor(std::log10(value))) : 0;
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", std::clamp(3 - magnitude, 0, 6), value);
    return text;
}

// "< 5 us", "<= 1.5x floor", both joined with ", ", or "-".
inline std::string goalText(const Measure& measure) {
    const auto shortest = [](double value) {
        char text[32];
        std::snprintf(text, sizeof text, "%g", value);
        return std::string(text);
    };
    std::string goal;
    if (measure.maxValue)
        goal = "< " + shortest(*measure.maxValue) + " " + measure.unit;
    if (measure.maxRatio)
        goal += (goal.empty() ? "" : ", ") + ("<= " + shortest(*measure.maxRatio) + "x floor");
    return goal.empty() ? "-" : goal;
}

// One row of the table, as printed in a RESULT line.
struct Row {
    std::string measure, value, floor, ratio, goal, verdict;
};

// The verdict of value and floor (floor < 0: none) against the goals of `measure`.
inline Row makeRow(const Measure& measure, std::optional<double> value, std::optional<double> floor,
                   const std::string& missing) {
    Row row{measure.name, "-", "-", "-", goalText(measure), "-"};
    if (!value || ((!measure.floor.empty() || !measure.floorCounter.empty()) && !floor)) {
        row.verdict = "not run: " + missing;
        return row;
    }
    row.value = formatNumber(*value) + " " + measure.unit;
    bool pass = !measure.maxValue || *value < *measure.maxValue;
    if (floor) {
        row.floor = formatNumber(*floor) + " " + measure.unit;
        const double ratio = *floor > 0 ? *value / *floor : INFINITY;
        row.ratio = formatNumber(ratio);
        pass = pass && (!measure.maxRatio || ratio <= *measure.maxRatio);
    }
    if (measure.maxValue || measure.maxRatio)
        row.verdict = pass ? "pass" : "FAIL";
    return row;
}

inline void printRows(const std::vector<Row>& rows, std::FILE* out = stdout) {
    std::size_t width = 7;
    for (const Row& row : rows)
        width = std::max(width, row.measure.size());
    std::fprintf(out, "\n%-*s %14s %14s %8s %24s  %s\n", int(width), "measure", "value", "floor", "ratio", "goal",
                 "result");
    for (const Row& row : rows) {
        std::fprintf(out, "%-*s %14s %14s %8s %24s  %s\n", int(width), row.measure.c_str(), row.value.c_str(),
                     row.floor.c_str(), row.ratio == "-" ? "-" : (row.ratio + "x").c_str(), row.goal.c_str(),
                     row.verdict.c_str());
    }
    for (const Row& row : rows) {
        std::fprintf(out, "RESULT\t%s\t%s\t%s\t%s\t%s\t%s\n", row.measure.c_str(), row.value.c_str(), row.floor.c_str(),
                     row.ratio.c_str(), row.goal.c_str(), row.verdict.c_str());
    }
    std::fflush(out);
}

// The console output as usual, and every run kept: the median aggregate when the benchmark was
// repeated, else the median of its runs.
class TableReporter : public benchmark::ConsoleReporter {
public:
    // Colours only on a terminal, as the library's own console output does.
    TableReporter()
        : ConsoleReporter(::isatty(STDOUT_FILENO) ? OO_ColorTabular : OO_Tabular) {}

    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            Results& results = m_results[keyOf(run)];
            if (run.error_occurred)
                results.error = run.error_message;
            else if (run.run_type == Run::RT_Iteration)
                results.runs.push_back(run);
            else if (run.aggregate_name == "median")
                results.median = run;
        }
        ConsoleReporter::ReportRuns(runs);
    }

    // The value of `quantity` for `benchmark` in the measure's unit; nothing when it did not run.
    std::optional<double> value(const std::string& benchmark, const Measure& measure) const {
        const auto found = m_results.find(benchmark);
        if (found == m_results.end() || !found->second.error.empty())
            return std::nullopt;
        const Results& results = found->second;
        if (results.median)
            return quantityOf(*results.median, measure);
        if (results.runs.empty())
            return std::nullopt;
        std::vector<double> values;
        for (const Run& run : results.runs)
            values.push_back(quantityOf(run, measure));
        std::sort(values.begin(), values.end());
        const std::size_t middle = values.size() / 2;
        return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
    }

    // Why `benchmark` has no value.
    std::string missing(const std::string& benchmark) const {
        const auto found = m_results.find(benchmark);
        if (found == m_results.end())
            return benchmark + " did not run";
        return benchmark + " failed: " + found->second.error;
    }

    std::vector<Row> rows(const std::vector<Measure>& measures) const {
        std::vector<Row> rows;
        for (const Measure& measure : measures) {
            const auto measured = value(measure.benchmark, measure);
            Measure floorMeasure = measure;
            if (!measure.floorCounter.empty())
                floorMeasure.counter = measure.floorCounter;
            const std::string floorBenchmark =
                measure.floor.empty() && !measure.floorCounter.empty() ? measure.benchmark : measure.floor;
            const auto floor = floorBenchmark.empty() ? std::nullopt : value(floorBenchmark, floorMeasure);
            const std::string why = !measured ? missing(measure.benchmark) : missing(floorBenchmark);
            rows.push_back(makeRow(measure, measured, floor, why));
        }
        return rows;
    }

private:
    struct Results {
        std::vector<Run> runs;
        std::optional<Run> median;
        std::string error;
    };

    static std::string keyOf(const Run& run) {
        return run.run_name.args.empty() ? run.run_name.function_name
                                         : run.run_name.function_name + "/" + run.run_name.args;
    }

    static double secondsIn(const std::string& unit) {
        static const std::map<std::string, double, std::less<>> scale{
            {"ns", 1e9}, {"us", 1e6}, {"ms", 1e3}, {"s", 1.0}};
        const auto found = scale.find(unit);
        return found == scale.end() ? 1.0 : found->second;
    }

    static double quantityOf(const Run& run, const Measure& measure) {
        if (measure.quantity == Quantity::counter) {
            const auto found = run.counters.find(measure.counter);
            return found == run.counters.end() ? NAN : double(found->second);
        }
        // The accumulated times are in seconds; an aggregate holds the statistic of them.
        const double total =
            measure.quantity == Quantity::cpuTime ? run.cpu_accumulated_time : run.real_accumulated_time;
        return total / double(std::max<benchmark::IterationCount>(run.iterations, 1)) * secondsIn(measure.unit);
    }

    std::map<std::string, Results> m_results;
};

// The arguments with the defaults of a table run added where the command line does not set them:
// 9 repetitions, their order shuffled across all benchmarks of the program (so a busy stretch of the
// machine weighs on value and floor alike), aggregates only. The strings live as long as the program.
inline std::vector<char*> withTableDefaults(int argc, char** argv) {
    static const char* const defaults[] = {
        "--benchmark_repetitions=9",
        "--benchmark_enable_random_interleaving=true",
        "--benchmark_report_aggregates_only=true",
    };
    std::vector<char*> arguments(argv, argv + argc);
    for (const char* option : defaults) {
        const std::string_view flag = std::string_view(option).substr(0, std::string_view(option).find('='));
        const bool given = std::any_of(arguments.begin(), arguments.end(), [&](const char* argument) {
            return std::string_view(argument).starts_with(flag);
        });
        if (!given)
            arguments.push_back(const_cast<char*>(option));
    }
    return arguments;
}

// Runs the registered benchmarks with the table defaults and prints the table of `measures`.
// Returns 1 when a goal is missed or a measure could not be taken.
inline int runWithTable(int argc, char** argv, const std::vector<Measure>& measures) {
    std::vector<char*> arguments = withTableDefaults(argc, argv);
    int count = int(arguments.size());
    benchmark::Initialize(&count, arguments.data());
    if (benchmark::ReportUnrecognizedArguments(count, arguments.data()))
        return 2;
    TableReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    const std::vector<Row> rows = reporter.rows(measures);
    printRows(rows);
    const bool allMet = std::none_of(rows.begin(), rows.end(), [](const Row& row) {
        return row.verdict == "FAIL" || row.verdict.starts_with("not run");
    });
    return allMet ? 0 : 1;
}

} // namespace pylon::bench
