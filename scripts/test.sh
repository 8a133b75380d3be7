#!/usr/bin/env bash
# Installs what is missing, builds both Windows flavours and the native one (which also assembles
# the help with its pictures) and the packages, and runs every test: the format check, the unit
# tests under valgrind, the formula fuzzer, then for each Windows flavour this machine runs (or
# those QUORVY_WINDOWS_FLAVOUR names) the unit tests built for Windows under Wine, then CTest
# with the unit tests, the tests of the help and the packages, and the end-to-end tests of each
# flavour. It closes with the tests that did not run or skipped cases, each with its reason,
# and which flavours ran and why any did not.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
fuzz_seconds=${QUORVY_FUZZ_SECONDS:-60}

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

step "Unit tests under valgrind"
for t in build/native/tests/*_test; do
  [ -x "$t" ] || continue
  valgrind -q --error-exitcode=1 --leak-check=full --errors-for-leak-kinds=definite,indirect \
    "$t" --gtest_brief=1 >/dev/null
  echo "valgrind clean: $(basename "$t")"
done

step "Formula fuzzer (${fuzz_seconds} s, address and undefined-behaviour checks)"
cmake -S . -B build/fuzz -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DQUORVY_FUZZ=ON \
  -DQUORVY_WERROR=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build/fuzz
mkdir -p build/fuzz/corpus
build/fuzz/tests/fuzz/fuzz_formula -max_total_time="$fuzz_seconds" -max_len=256 \
  -print_final_stats=1 build/fuzz/corpus tests/fuzz/corpus 2>&1 | tail -n 7

for f in "${run[@]}"; do
  step "Unit tests built for Windows (${f}-bit), run under Wine"
  python3 scripts/wine_unit_tests.py "$f"
done

step "Unit tests and end-to-end tests"
status=0
ctest --test-dir build/native --output-on-failure || status=$?
step "Tests that did not run, or skipped some of their cases"
# The suites print one "SKIPPED name: reason" line for each case they skipped; CTest keeps every
# test's output in its log.
grep -h '^SKIPPED ' build/native/Testing/Temporary/LastTest.log || echo "none"
step "Windows flavours"
echo "$flavours_report"
exit $status
