#!/usr/bin/env bash
# Installs what is missing, builds both Windows flavours and the native one (which also assembles
# the help with its pictures) and the packages, runs the format check, then runs every test at
# once as far as they may overlap: the formula fuzzer in the background, and CTest in parallel
# with the unit tests (also under valgrind), the tests of the help and the packages, and for each
# Windows flavour this machine runs (or those QUORVY_WINDOWS_FLAVOUR names) the unit tests built
# for Windows under Wine and the end-to-end tests. It closes with the tests that did not run or
# skipped cases, each with its reason, and which flavours ran and why any did not.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
fuzz_seconds=${QUORVY_FUZZ_SECONDS:-60}
# Tests that CTest runs at once: the Wine suites spend most of their time waiting for the window,
# so four keep the two cores busy without starving any of them.
jobs=${QUORVY_TEST_JOBS:-4}

step() { printf '\n=== %s\n' "$*"; }
flavour() { python3 scripts/windows_flavours.py field "$1" "$2"; }

step "Installing missing packages"
bash scripts/install-deps.sh

step "Windows flavours this machine runs under Wine"
flavours_report=$(python3 scripts/windows_flavours.py report)
echo "$flavours_report"
read -r -a run <<<"$(python3 scripts/windows_flavours.py run)"
[ ${#run[@]} -gt 0 ] || echo "No Windows flavour runs here: only the native tests and builds run."

for f in 32 64; do
  step "Windows build, ${f}-bit (mingw-w64): Quorvy.exe and the end-to-end probe"
  cmake -S . -B "$(flavour folder $f)" -G Ninja -DQUORVY_WERROR=ON \
    -DCMAKE_TOOLCHAIN_FILE="$(flavour toolchain $f)" \
    -DQUORVY_NATIVE_BUILD="$root/build/native" >/dev/null
  cmake --build "$(flavour folder $f)"
done

step "Native build (unit tests, end-to-end tests, benchmarks, the help with its pictures)"
cmake -S . -B build/native -G Ninja -DQUORVY_WERROR=ON \
  -DQUORVY_WIN32_BUILD="$(flavour folder 32)" -DQUORVY_WIN64_BUILD="$(flavour folder 64)" \
  -DQUORVY_WINDOWS_RUN="${run[*]:-}" >/dev/null
cmake --build build/native

step "Packages: the two Windows zips and the Debian package"
for f in 32 64; do (cd "$(flavour folder $f)" && cpack -G ZIP | tail -n 1); done
(cd build/native && cpack -G DEB | tail -n 1)

step "Format check"
git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run --Werror

step "Tests: the formula fuzzer (${fuzz_seconds} s) beside CTest (-j${jobs})"
# The fuzzer's build and run, in the background; CTest meanwhile (the unit tests built for
# Windows are built by their own CTest test, while the Wine suites wait for their windows).
fuzz_log=build/fuzz.log
mkdir -p build/fuzz/corpus
(
  cmake -S . -B build/fuzz -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DQUORVY_FUZZ=ON \
    -DQUORVY_WERROR=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null &&
    cmake --build build/fuzz &&
    exec build/fuzz/tests/fuzz/fuzz_formula -max_total_time="$fuzz_seconds" -max_len=256 \
      -print_final_stats=1 build/fuzz/corpus tests/fuzz/corpus
) >"$fuzz_log" 2>&1 &
fuzz_pid=$!
trap 'kill "$fuzz_pid" 2>/dev/null || true' EXIT # an interrupted run leaves no fuzzer behind
status=0
ctest --test-dir build/native --output-on-failure -j "$jobs" || status=$?
fuzz_status=0
wait "$fuzz_pid" || fuzz_status=$?
trap - EXIT

step "Formula fuzzer (${fuzz_seconds} s, address and undefined-behaviour checks)"
tail -n 7 "$fuzz_log"
if [ "$fuzz_status" -ne 0 ]; then
  echo "The fuzzer failed with status $fuzz_status; its whole output is in $fuzz_log."
  status=1
fi
step "Tests that did not run, or skipped some of their cases"
# The suites print one "SKIPPED name: reason" line for each case they skipped; CTest keeps every
# test's output in its log.
grep -h '^SKIPPED ' build/native/Testing/Temporary/LastTest.log || echo "none"
step "Windows flavours"
echo "$flavours_report"
exit $status
