#pragma once

#include <benchmark/benchmark.h>

#include <cstdio>
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
            if (run.run_type != Run::RT_Aggregate || run.aggregate_name == "median")
                m_times[run.run_name.str()] = {run.GetAdjustedRealTime(), run.GetAdjustedCPUTime()};
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

private:
    static std::string familyOf(const std::string &name) { return name.substr(0, name.rfind('/')); }
    static long sizeOf(const std::string &name)
    {
        return std::stol(name.substr(name.rfind('/') + 1));
    }

    struct Times {
        double real = 0;
        double cpu = 0;
    };
    std::map<std::string, Times> m_times;
};
