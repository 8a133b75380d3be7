#!/usr/bin/env bash
# Installs what is missing, builds both flavours and runs every test: unit tests, the same
# tests under valgrind, the formula fuzzer, the format check, and the tests last so that
# their summary closes the output.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
fuzz_seconds=${QUORVY_FUZZ_SECONDS:-60}

step() { printf '\n=== %s\n' "$*"; }

step "Installing missing packages"
bash scripts/install-deps.sh

step "Native build (tests, benchmarks)"
cmake -S . -B build/native -G Ninja -DQUORVY_WERROR=ON >/dev/null
cmake --build build/native

step "Windows build (i686 mingw-w64)"
cmake -S . -B build/windows -G Ninja -DQUORVY_WERROR=ON \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" >/dev/null
cmake --build build/windows

step "Format check"
git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run --Werror

step "Unit tests under valgrind"
for t in build/native/tests/*_test; do
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
  -print_final_stats=1 build/fuzz/corpus tests/fuzz/corpus 2>&1 | tail -n 4

step "Unit tests"
ctest --test-dir build/native --output-on-failure
