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
# GNU time forks the run from a small process, whose own memory the peak therefore hardly counts.
for n in 10000 1000000 100000000; do
  for b in "${builds[@]}"; do
    best=""
    for _ in $([ $n -lt 100000000 ] && echo 1 2 3 || echo 1); do
      figures=$(/usr/bin/time -f "%e %U %S %M" "$b/cli/quorvy-plot" -n $n -o - "2SIN(X)*X" 2>&1 \
        >/dev/null | tail -n 1)
      read -r e u s m <<<"$figures"
      if [ -z "$best" ] || awk "BEGIN { exit !($e < ${best%% *}) }"; then best="$e $u $s $m"; fi
    done
    read -r e u s m <<<"$best"
    printf "  %10d samples, %10s: %6.2f s, processor %6.2f s, peak %6.1f MiB\n" \
      $((n + 1)) "$(name "$b")" "$e" "$(awk "BEGIN { print $u + $s }")" \
      "$(awk "BEGIN { print $m / 1024 }")"
  done
done
