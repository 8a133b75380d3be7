// One full drawing pass of the default 10,001 samples of 2SIN(X)*X on the raster canvas, beside
// the evaluation of the same samples alone.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>

#include "engine/Analize.h"
#include "engine/Eval.h"
#include "plot/Draw.h"
#include "plot/RasterCanvas.h"
#include "settings/Prefs.h"

namespace {

// The client area of the default window.
const QRect kClient = {0, 0, 374, 342};

void Setup() {
    InitGVars();
    std::snprintf(gPrefs.UserFnStr, sizeof gPrefs.UserFnStr, "2SIN(X)*X");
    ManageTree();
    PrecalcRangeOfY();
}

void BM_EvaluationOnly(benchmark::State& state) {
    Setup();
    for (auto _ : state) {
        double sum = 0;
        WalkX([&sum](double x) {
            const double y = Evaluate_Tree(x);
            sum += IsUndefinedSample(y) ? 0.0 : y;
            return true;
        });
        benchmark::DoNotOptimize(sum);
    }
}

void BM_DrawingPass(benchmark::State& state) {
    Setup();
    RasterCanvas canvas(kClient.right, kClient.bottom);
    for (auto _ : state) {
        DrawInThisContext(&canvas, &kClient);
    }
}

BENCHMARK(BM_EvaluationOnly)->Unit(benchmark::kMicrosecond)->Repetitions(3);
BENCHMARK(BM_DrawingPass)->Unit(benchmark::kMicrosecond)->Repetitions(3);

class MinReporter : public benchmark::ConsoleReporter {
  public:
    std::map<std::string, double> best;  // microseconds per pass
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const auto& run : runs) {
            if (run.run_type != Run::RT_Iteration) {
                continue;
            }
            const double us = run.real_accumulated_time * 1e6 / static_cast<double>(run.iterations);
            auto [it, fresh] = best.emplace(run.run_name.function_name, us);
            if (!fresh && us < it->second) {
                it->second = us;
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }
};

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    MinReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const double eval = reporter.best["BM_EvaluationOnly"];
    const double draw = reporter.best["BM_DrawingPass"];
    std::printf(
        "\n2SIN(X)*X, 10,001 samples: evaluation %.1f us, drawing pass %.1f us, "
        "drawing adds %.0f %% to evaluation\n",
        eval, draw, (draw / eval - 1.0) * 100.0);
    g_hRoot = DeleteTree(g_hRoot);
    return 0;
}
