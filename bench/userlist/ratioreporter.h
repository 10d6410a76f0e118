#pragma once

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

// Prints the usual table, keeps each run's time per iteration, and at the
// end prints how each size compares with the smallest size of its family
// ("Family/1000" is the baseline of "Family/20000").
class RatioReporter : public benchmark::ConsoleReporter
{
public:
    void ReportRuns(const std::vector<Run> &runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        // Aggregates follow the runs they sum up, so a median replaces the
        // single runs of its benchmark.
        for (const Run &run : runs) {
            if (run.run_type != Run::RT_Aggregate || run.aggregate_name == "median") {
                const double us = MicrosPer(run.time_unit);
                // "Family/1000", without the repetition and iteration marks.
                const std::string name = run.run_name.args.empty()
                    ? run.run_name.function_name
                    : run.run_name.function_name + "/" + run.run_name.args;
                m_times[name] = {run.GetAdjustedRealTime() * us, run.GetAdjustedCPUTime() * us};
            }
        }
    }

    void printRatios() const
    {
        // CPU time is shown beside real time: on a machine shared with other
        // work, real time also counts the waits for a core.
        std::printf("\nratios to the smallest size of each family (median when repeated):\n");
        std::map<std::string, std::pair<std::string, Times>> baseline;
        for (const auto &[name, time] : m_times) {
            const std::string family = familyOf(name);
            const auto it = baseline.find(family);
            if (it == baseline.end() || sizeOf(name) < sizeOf(it->second.first))
                baseline[family] = {name, time};
        }
        for (const auto &[name, time] : m_times) {
            const auto &[baseName, baseTime] = baseline[familyOf(name)];
            if (baseName != name && baseTime.real > 0 && baseTime.cpu > 0)
                std::printf("  %-28s %7.2f x real, %7.2f x CPU of %s\n", name.c_str(),
                    time.real / baseTime.real, time.cpu / baseTime.cpu, baseName.c_str());
        }
    }

    // CPU microseconds per iteration of a run ("Family/1000"); the median
    // when repeated, 0 when it did not run.
    double cpuMicros(const std::string &name) const
    {
        const auto it = m_times.find(name);
        return it == m_times.end() ? 0 : it->second.cpu;
    }

private:
    static double MicrosPer(benchmark::TimeUnit unit)
    {
        switch (unit) {
        case benchmark::kNanosecond: return 1e-3;
        case benchmark::kMicrosecond: return 1.0;
        case benchmark::kMillisecond: return 1e3;
        case benchmark::kSecond: return 1e6;
        }
        return 1.0;
    }
    static std::string familyOf(const std::string &name) { return name.substr(0, name.rfind('/')); }
    static long sizeOf(const std::string &name)
    {
        const std::size_t slash = name.rfind('/');
        return slash == std::string::npos ? 0 : std::strtol(name.c_str() + slash + 1, nullptr, 10);
    }

    struct Times {
        double real = 0;
        double cpu = 0;
    };
    std::map<std::string, Times> m_times;
};
