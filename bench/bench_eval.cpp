// Evaluation cost per sample over the default walk (-100 to 100, 10,000 iterations, 10,001
// samples): Quorvy's evaluator as the passes run it (in blocks), its one-sample path, its plain
// tree walk, the formula compiled as C++, and muparser.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "bench/BestReporter.h"
#include "engine/Analize.h"
#include "engine/Eval.h"
#include "settings/Prefs.h"
#ifdef QUORVY_HAVE_MUPARSER
#include <muParser.h>
#endif

namespace {

struct Formula {
    const char* quorvy;
    const char* muparser;
    double (*compiled)(double);
};

const Formula kFormulas[] = {
    {"2SIN(X)*X", "2*sin(x)*x", [](double x) { return 2 * std::sin(x) * x; }},
    {"LOG(X)+X/2", "ln(x)+x/2", [](double x) { return std::log(x) + x / 2; }},
    {"SQRT(ABS(X))*COS(X)", "sqrt(abs(x))*cos(x)",
     [](double x) { return std::sqrt(std::fabs(x)) * std::cos(x); }},
};

const std::vector<double>& Samples() {
    static const std::vector<double> xs = [] {
        std::vector<double> v;
        InitGVars();
        for (double x = gPrefs.MinX; x < gPrefs.MaxX; x += g_DeltaX) {
            v.push_back(x);
        }
        return v;
    }();
    return xs;
}

void Parse(const Formula& f) {
    ParseFormulaText(f.quorvy);
}

template <typename Eval>
void RunSamples(benchmark::State& state, Eval eval) {
    const auto& xs = Samples();
    for (auto _ : state) {
        double sum = 0;
        for (double x : xs) {
            sum += eval(x);
        }
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(xs.size()));
}

void BM_Quorvy(benchmark::State& state, const Formula* f) {
    Parse(*f);
    const auto& xs = Samples();
    double y[kSampleBlock];
    int32_t error[kSampleBlock];
    for (auto _ : state) {
        double sum = 0;
        for (size_t i = 0; i < xs.size(); i += kSampleBlock) {
            const int count = static_cast<int>(std::min<size_t>(kSampleBlock, xs.size() - i));
            Evaluate_Block(&xs[i], count, y, error);
            for (int j = 0; j < count; ++j) {
                sum += error[j] ? 0.0 : y[j];
            }
        }
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(xs.size()));
}

void BM_OneSample(benchmark::State& state, const Formula* f) {
    Parse(*f);
    RunSamples(state, [](double x) {
        const double y = Evaluate_Tree(x);
        return g_fEvalError ? 0.0 : y;
    });
}

void BM_TreeWalk(benchmark::State& state, const Formula* f) {
    Parse(*f);
    RunSamples(state, [](double x) {
        g_x = x;
        g_fEvalError = 0;
        const double y = Evaluate_SubTree(g_hRoot);
        return g_fEvalError ? 0.0 : y;
    });
}

void BM_Compiled(benchmark::State& state, const Formula* f) {
    RunSamples(state, f->compiled);
}

#ifdef QUORVY_HAVE_MUPARSER
void BM_Muparser(benchmark::State& state, const Formula* f) {
    mu::Parser parser;
    double x = 0;
    parser.DefineVar("x", &x);
    parser.SetExpr(f->muparser);
    RunSamples(state, [&](double value) {
        x = value;
        return parser.Eval();
    });
}
#endif

}  // namespace

int main(int argc, char** argv) {
    for (const auto& f : kFormulas) {
        const std::string name = f.quorvy;
        benchmark::RegisterBenchmark(("quorvy/" + name).c_str(), BM_Quorvy, &f);
        benchmark::RegisterBenchmark(("onesample/" + name).c_str(), BM_OneSample, &f);
        benchmark::RegisterBenchmark(("treewalk/" + name).c_str(), BM_TreeWalk, &f);
        benchmark::RegisterBenchmark(("compiled/" + name).c_str(), BM_Compiled, &f);
#ifdef QUORVY_HAVE_MUPARSER
        benchmark::RegisterBenchmark(("muparser/" + name).c_str(), BM_Muparser, &f);
#endif
    }
    benchmark::Initialize(&argc, argv);
    BestReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);

    std::printf("\n%-22s %10s %10s %10s %10s %10s %12s %12s %12s\n", "formula (ns/sample)",
                "quorvy", "onesample", "treewalk", "compiled", "muparser", "vs compiled",
                "vs muparser", "vs compiled*");
    for (const auto& f : kFormulas) {
        const std::string name = f.quorvy;
        auto ns = [&](const char* kind) {
            return reporter.Seconds(std::string(kind) + "/" + name) * 1e9 /
                   static_cast<double>(Samples().size());
        };
        auto cpu = [&](const char* kind) { return reporter.CpuSeconds(kind + ("/" + name)); };
        const double q = ns("quorvy");
        std::printf("%-22s %10.2f %10.2f %10.2f %10.2f %10.2f %11.2fx %11.2fx %11.2fx\n", f.quorvy,
                    q, ns("onesample"), ns("treewalk"), ns("compiled"), ns("muparser"),
                    q / ns("compiled"), q / ns("muparser"), cpu("quorvy") / cpu("compiled"));
    }
    std::printf("* in processor time, which other work on a shared machine disturbs less\n");
    g_hRoot = DeleteTree(g_hRoot);
    return 0;
}
