// The passes of a plot of 2SIN(X)*X (-100 to 100) on the raster canvas of the default window,
// beside one evaluation of the same samples as the passes evaluate them: the drawing pass alone
// after a range pass, the range pass and the drawing pass together (what a new formula costs),
// for 10,001 and 1,000,001 samples; and the drawing pass after a key stopped the range pass of a
// 100,000,001-sample walk, which draws only the samples measured.
#include <benchmark/benchmark.h>

#include <cstdio>

#include "bench/BestReporter.h"
#include "engine/Analize.h"
#include "engine/Eval.h"
#include "plot/Draw.h"
#include "plot/RasterCanvas.h"
#include "platform/CommonPortable.h"
#include "settings/Prefs.h"

namespace {

// The client area of the default window.
const QRect kClient = {0, 0, 374, 342};

void Setup(int64_t iterations) {
    InitGVars();
    gPrefs.Iterations = static_cast<uint32_t>(iterations);
    ComputeDeltaX();
    ParseFormulaText("2SIN(X)*X");
    PrecalcRangeOfY();
}

// Every sample of the walk evaluated in blocks, as a pass evaluates what it did not keep.
void BM_EvaluationOnly(benchmark::State& state) {
    Setup(state.range(0));
    for (auto _ : state) {
        double sum = 0;
        XWalk walk = StartXWalk();
        SampleBlock block;
        while ((block.count = NextXs(walk, block.x, kSampleBlock)) > 0) {
            EvaluateSamples(block);
            sum += block.undefined[0] ? 0.0 : block.y[0];
        }
        benchmark::DoNotOptimize(sum);
    }
}

void BM_DrawingPass(benchmark::State& state) {
    Setup(state.range(0));
    RasterCanvas canvas(kClient.right, kClient.bottom);
    for (auto _ : state) {
        DrawInThisContext(&canvas, &kClient);
    }
}

void BM_RangeAndDrawingPass(benchmark::State& state) {
    Setup(state.range(0));
    RasterCanvas canvas(kClient.right, kClient.bottom);
    for (auto _ : state) {
        PrecalcRangeOfY();
        DrawInThisContext(&canvas, &kClient);
    }
}

// A key after state.range(0) samples of the range pass of a long walk; the drawing pass that
// follows is timed.
int32_t gKeyAfter = 0;
int32_t gPolls = 0;
int32_t KeyAfterSamples(void*) {
    return ++gPolls == gKeyAfter ? 1 : 0;
}

void BM_DrawingAfterAStop(benchmark::State& state) {
    InitGVars();
    gPrefs.Iterations = 100000000;
    ComputeDeltaX();
    ParseFormulaText("2SIN(X)*X");
    gKeyAfter = static_cast<int32_t>(state.range(0));
    gPolls = 0;
    SetAbortHook(KeyAfterSamples, nullptr);
    PrecalcRangeOfY();
    SetAbortHook(nullptr, nullptr);
    RasterCanvas canvas(kClient.right, kClient.bottom);
    for (auto _ : state) {
        DrawInThisContext(&canvas, &kClient);
    }
}

constexpr int64_t kSmall = 10000;
constexpr int64_t kLarge = 1000000;
BENCHMARK(BM_EvaluationOnly)->Arg(kSmall)->Arg(kLarge)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_DrawingPass)->Arg(kSmall)->Arg(kLarge)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RangeAndDrawingPass)->Arg(kSmall)->Arg(kLarge)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_DrawingAfterAStop)->Arg(4000000)->Arg(30000000)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    BestReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const auto us = [&reporter](const char* name, int64_t arg, bool cpu) {
        const std::string key = std::string(name) + "/" + std::to_string(arg);
        return (cpu ? reporter.CpuSeconds(key) : reporter.Seconds(key)) * 1e6;
    };
    std::printf("\n2SIN(X)*X on the default window's client area (elapsed; processor time):\n");
    for (const int64_t iterations : {kSmall, kLarge}) {
        for (const bool cpu : {false, true}) {
            const double eval = us("BM_EvaluationOnly", iterations, cpu);
            const double draw = us("BM_DrawingPass", iterations, cpu);
            const double both = us("BM_RangeAndDrawingPass", iterations, cpu);
            std::printf(
                "  %lld samples%s: evaluation %.1f us, drawing pass %.1f us (%.2fx), range and "
                "drawing passes %.1f us (%.2fx the evaluation; goal at most 1.3x)\n",
                static_cast<long long>(iterations + 1), cpu ? ", processor" : "", eval, draw,
                draw / eval, both, both / eval);
        }
    }
    for (const int64_t stop : {4000000, 30000000}) {
        std::printf(
            "  drawing pass after a key stopped the range pass at %lld samples: %.1f ms "
            "(processor %.1f ms)\n",
            static_cast<long long>(stop), us("BM_DrawingAfterAStop", stop, false) / 1e3,
            us("BM_DrawingAfterAStop", stop, true) / 1e3);
    }
    g_hRoot = DeleteTree(g_hRoot);
    return 0;
}
