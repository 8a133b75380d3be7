// A console reporter that also keeps, for every benchmark, the fastest of its repetitions (the
// one least disturbed by other load on the machine), as seconds per iteration.
#pragma once

#include <benchmark/benchmark.h>

#include <limits>
#include <map>
#include <string>
#include <vector>

class BestReporter : public benchmark::ConsoleReporter {
  public:
    std::map<std::string, double> best;

    double Seconds(const std::string& name) const {
        const auto it = best.find(name);
        return it == best.end() ? std::numeric_limits<double>::quiet_NaN() : it->second;
    }

    void ReportRuns(const std::vector<Run>& runs) override {
        for (const auto& run : runs) {
            if (run.run_type != Run::RT_Iteration) {
                continue;
            }
            const double seconds = run.real_accumulated_time / static_cast<double>(run.iterations);
            auto [it, fresh] = best.emplace(run.run_name.function_name, seconds);
            if (!fresh && seconds < it->second) {
                it->second = seconds;
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }
};
