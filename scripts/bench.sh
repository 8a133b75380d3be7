#!/usr/bin/env bash
# Builds the native flavour and prints the benchmarks: ns per sample of Quorvy's evaluator as the
# passes run it (in blocks) beside its one-sample path, the plain tree walk, compiled C++ and
# muparser, with the ratios; the drawing pass, and the range and drawing passes together, for
# 10,001 and 1,000,001 samples beside one evaluation of the same samples, and the drawing pass
# after a stopped range pass; an export of 1,000,001 samples after a plot beside one write of the
# same bytes and the evaluation; quorvy-plot's time and peak memory for 1e4, 1e6 and 1e8 samples.
#
#   bash scripts/bench.sh [COMMIT]
#
# With COMMIT (a hash, a branch, main~3, ...), the same benchmark programs are also built over
# that commit's sources (in build/bench-before) and each benchmark runs for it just before it runs
# for the working tree, so that both meet the same load on the machine.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
before=${1:-}
targets=(bench_eval bench_draw bench_export quorvy-plot)
cmake -S . -B build/native -G Ninja >/dev/null
cmake --build build/native --target "${targets[@]}"
builds=(build/native)
if [ -n "$before" ]; then
  src=build/bench-before/src
  rm -rf "$src" && mkdir -p "$src"
  git archive "$before" | tar -x -C "$src"
  rm -rf "$src/bench" && cp -r bench "$src/bench"
  cmake -S "$src" -B build/bench-before/build -G Ninja >/dev/null
  cmake --build build/bench-before/build --target "${targets[@]}"
  builds=(build/bench-before/build build/native)
fi
name() { [ "$1" = build/native ] && echo "this tree" || echo "$before"; }

run() {
  local program=$1
  shift
  for b in "${builds[@]}"; do
    echo
    echo "== $program: $(name "$b")"
    "$b/bench/$program" "$@"
  done
}
run bench_eval --benchmark_min_time=0.3 --benchmark_repetitions=3
run bench_draw --benchmark_min_time=0.3 --benchmark_repetitions=3
run bench_export --benchmark_min_time=0.3 --benchmark_repetitions=3

echo
echo "== quorvy-plot -n N -o - 2SIN(X)*X (the PNG discarded): elapsed, processor time, peak memory"
python3 - "${builds[@]}" "$before" <<'EOF'
import os, subprocess, sys, time
builds, before = sys.argv[1:-1], sys.argv[-1]
for n in (10000, 1000000, 100000000):
    for build in builds:
        best = None
        for _ in range(3 if n < 100000000 else 1):
            start = time.monotonic()
            child = subprocess.Popen([f"{build}/cli/quorvy-plot", "-n", str(n), "-o", "-",
                                      "2SIN(X)*X"], stdout=subprocess.DEVNULL)
            _, status, usage = os.wait4(child.pid, 0)
            elapsed = time.monotonic() - start
            if status != 0:
                sys.exit(f"quorvy-plot failed: status {status}")
            run = (elapsed, usage.ru_utime + usage.ru_stime, usage.ru_maxrss)
            best = run if best is None or run[0] < best[0] else best
        label = "this tree" if build == "build/native" else before
        print(f"  {n + 1:>11,} samples, {label:>10}: {best[0]:7.3f} s, processor {best[1]:7.3f} s, "
              f"peak {best[2] / 1024:6.1f} MiB")
EOF
