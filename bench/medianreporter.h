// A console reporter that keeps every repetition's time per benchmark, so the
// figures printed after a run are medians over --benchmark_repetitions, and a
// ratio pairs repetition k of one benchmark with repetition k of the other.
#pragma once

#include <benchmark/benchmark.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

class MedianReporter : public benchmark::ConsoleReporter
{
public:
    void ReportRuns(const std::vector<Run> &runs) override
    {
        for (const Run &run : runs) {
            if (run.run_type == Run::RT_Iteration && !run.error_occurred && run.iterations > 0)
                m_seconds[run.benchmark_name()].push_back(run.GetAdjustedRealTime() /
                                                          benchmark::GetTimeUnitMultiplier(run.time_unit));
        }
        ConsoleReporter::ReportRuns(runs);
    }

    bool has(const std::string &name) const { return m_seconds.count(name) > 0; }

    // Median seconds per iteration over the repetitions; 0 when it did not run.
    double seconds(const std::string &name) const
    {
        const auto it = m_seconds.find(name);
        return it == m_seconds.end() ? 0.0 : median(it->second);
    }
    double milliseconds(const std::string &name) const { return seconds(name) * 1e3; }

    // Median of top / bottom over the repetitions both ran; 0 when either did not run.
    double ratio(const std::string &top, const std::string &bottom) const
    {
        const auto a = m_seconds.find(top);
        const auto b = m_seconds.find(bottom);
        if (a == m_seconds.end() || b == m_seconds.end())
            return 0.0;
        std::vector<double> ratios;
        for (size_t k = 0; k < std::min(a->second.size(), b->second.size()); ++k) {
            if (b->second[k] > 0.0)
                ratios.push_back(a->second[k] / b->second[k]);
        }
        return median(ratios);
    }

    // Every repetition's ratio of each pair (top[i], bottom[i]), for a median over pairs and repetitions.
    std::vector<double> ratios(const std::vector<std::pair<std::string, std::string>> &pairs) const
    {
        std::vector<double> all;
        for (const auto &pair : pairs) {
            const auto a = m_seconds.find(pair.first);
            const auto b = m_seconds.find(pair.second);
            if (a == m_seconds.end() || b == m_seconds.end())
                continue;
            for (size_t k = 0; k < std::min(a->second.size(), b->second.size()); ++k) {
                if (b->second[k] > 0.0)
                    all.push_back(a->second[k] / b->second[k]);
            }
        }
        std::sort(all.begin(), all.end());
        return all;
    }

    static double median(std::vector<double> values)
    {
        if (values.empty())
            return 0.0;
        std::sort(values.begin(), values.end());
        const size_t n = values.size();
        return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2.0;
    }

private:
    std::map<std::string, std::vector<double>> m_seconds;
};
