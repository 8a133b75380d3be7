// Export of 1,000,001 samples of 2SIN(X)*X (-100 to 100) to a file as quorvy-plot writes it after
// a plot (the range pass has run), beside what an export cannot avoid: writing the same bytes to
// the same file in one piece, and evaluating the same samples (a range pass) where the values are
// not kept. Also the export into a stream that keeps nothing: formatting without the file.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench/BestReporter.h"
#include "cli/OutputFiles.h"
#include "engine/Analize.h"
#include "output/Export.h"
#include "plot/Draw.h"
#include "settings/Prefs.h"

namespace {

constexpr uint32_t kIterations = 1000000;

std::string TablePath() {
    const char* folder = std::getenv("TMPDIR");
    return std::string(folder != nullptr ? folder : "/tmp") + "/quorvy-bench-export.xls";
}

void Setup() {
    InitGVars();
    gPrefs.Iterations = kIterations;
    ComputeDeltaX();
    ParseFormulaText("2SIN(X)*X");
    PrecalcRangeOfY();
}

class Discard : public OutputStream {
  public:
    bool Write(const char*, uint32_t size) override {
        bytes += size;
        return true;
    }
    uint64_t bytes = 0;
};

class Collect : public OutputStream {
  public:
    bool Write(const char* data, uint32_t size) override {
        bytes.insert(bytes.end(), data, data + size);
        return true;
    }
    std::vector<char> bytes;
};

void BM_EvaluationOnly(benchmark::State& state) {
    Setup();
    for (auto _ : state) {
        PrecalcRangeOfY();
    }
}

void BM_OneWrite(benchmark::State& state) {
    Setup();
    Collect table;
    ExportValues(table);
    const std::string path = TablePath();
    for (auto _ : state) {
        FILE* file = std::fopen(path.c_str(), "wb");
        if (file == nullptr ||
            std::fwrite(table.bytes.data(), 1, table.bytes.size(), file) != table.bytes.size()) {
            state.SkipWithError("cannot write the table");
        }
        if (file != nullptr) {
            std::fclose(file);
        }
    }
    state.counters["bytes"] = static_cast<double>(table.bytes.size());
}

void BM_ExportToFile(benchmark::State& state) {
    Setup();
    const std::string path = TablePath();
    for (auto _ : state) {
        TableFile file;
        std::string why;
        if (!file.Open(path, stdout, &why) || RunExport(file) != ExportResult::Completed ||
            !file.Close(&why)) {
            state.SkipWithError(why.c_str());
        }
    }
}

void BM_ExportFormatOnly(benchmark::State& state) {
    Setup();
    for (auto _ : state) {
        Discard nowhere;
        ExportValues(nowhere);
        benchmark::DoNotOptimize(nowhere.bytes);
    }
}

BENCHMARK(BM_EvaluationOnly)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OneWrite)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ExportFormatOnly)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ExportToFile)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    BestReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    for (const bool cpu : {false, true}) {
        const auto ms = [&reporter, cpu](const char* name) {
            return (cpu ? reporter.CpuSeconds(name) : reporter.Seconds(name)) * 1e3;
        };
        const double eval = ms("BM_EvaluationOnly");
        const double write = ms("BM_OneWrite");
        const double format = ms("BM_ExportFormatOnly");
        const double exported = ms("BM_ExportToFile");
        std::printf(
            "\n2SIN(X)*X, 1,000,001 samples, %s: evaluation %.1f ms, one write of the table "
            "%.1f ms, export without the file %.1f ms, export to the file %.1f ms\n"
            "export after a plot / one write of the same bytes = %.2fx\n"
            "export / (evaluation + one write) = %.2fx (goal: at most 2x)\n",
            cpu ? "processor time" : "elapsed", eval, write, format, exported, exported / write,
            exported / (eval + write));
    }
    std::remove(TablePath().c_str());
    g_hRoot = DeleteTree(g_hRoot);
    return 0;
}
