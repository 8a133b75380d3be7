// One full drawing pass of the default 10,001 samples of 2SIN(X)*X on the raster canvas, beside
// the evaluation of the same samples alone, as the passes evaluate them.
#include <benchmark/benchmark.h>

#include <cstdio>

#include "bench/BestReporter.h"
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
    ParseFormulaText("2SIN(X)*X");
    PrecalcRangeOfY();
}

void BM_EvaluationOnly(benchmark::State& state) {
    Setup();
    for (auto _ : state) {
        double sum = 0;
        WalkSamples([&sum](double, double y, bool undefined) {
            sum += undefined ? 0.0 : y;
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

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    BestReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const double eval = reporter.Seconds("BM_EvaluationOnly") * 1e6;
    const double draw = reporter.Seconds("BM_DrawingPass") * 1e6;
    std::printf(
        "\n2SIN(X)*X, 10,001 samples: evaluation %.1f us, drawing pass %.1f us, "
        "drawing adds %.0f %% to evaluation\n",
        eval, draw, (draw / eval - 1.0) * 100.0);
    g_hRoot = DeleteTree(g_hRoot);
    return 0;
}
