#!/usr/bin/env bash
# Builds the native flavour and prints the evaluation benchmark: ns per sample of Quorvy's
# evaluator as the passes run it (in blocks) beside its one-sample path, the plain tree walk,
# compiled C++ and muparser, with the ratios. Then one full drawing pass on the raster canvas
# beside the evaluation alone, and an export of 1,000,001 samples beside the evaluation and one
# write of the same bytes.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build/native -G Ninja >/dev/null
cmake --build build/native --target bench_eval bench_draw bench_export
build/native/bench/bench_eval --benchmark_min_time=0.3 --benchmark_repetitions=3
build/native/bench/bench_draw --benchmark_min_time=0.3
build/native/bench/bench_export --benchmark_min_time=0.3 --benchmark_repetitions=3
