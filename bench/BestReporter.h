// A console reporter that also keeps, for every benchmark, the fastest of its repetitions (the
// one least disturbed by other load on the machine), as seconds per iteration, in elapsed time and
// in processor time (which a machine shared with other work disturbs less). A benchmark with an
// argument is named "BM_Name/argument".
#pragma once

#include <benchmark/benchmark.h>

#include <limits>
#include <map>
#include <string>
#include <vector>

class BestReporter : public benchmark::ConsoleReporter {
  public:
    std::map<std::string, double> best;
    std::map<std::string, double> bestCpu;

    double Seconds(const std::string& name) const { return Find(best, name); }
    double CpuSeconds(const std::string& name) const { return Find(bestCpu, name); }

    void ReportRuns(const std::vector<Run>& runs) override {
        for (const auto& run : runs) {
            if (run.run_type != Run::RT_Iteration) {
                continue;
            }
            const double seconds = run.real_accumulated_time / static_cast<double>(run.iterations);
            const auto& name = run.run_name;
            const std::string key =
                name.args.empty() ? name.function_name : name.function_name + "/" + name.args;
            Keep(best, key, seconds);
            Keep(bestCpu, key, run.cpu_accumulated_time / static_cast<double>(run.iterations));
        }
        ConsoleReporter::ReportRuns(runs);
    }

  private:
    static double Find(const std::map<std::string, double>& times, const std::string& name) {
        const auto it = times.find(name);
        return it == times.end() ? std::numeric_limits<double>::quiet_NaN() : it->second;
    }
    static void Keep(std::map<std::string, double>& times, const std::string& name,
                     double seconds) {
        auto [it, fresh] = times.emplace(name, seconds);
        if (!fresh && seconds < it->second) {
            it->second = seconds;
        }
    }
};
