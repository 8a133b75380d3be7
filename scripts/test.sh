#!/usr/bin/env bash
# Installs what is missing, builds both flavours (the native one also assembles the help with its
# pictures) and both packages, and runs every test: the format check, the unit tests under
# valgrind, the formula fuzzer, the unit tests built for Windows under Wine, then the unit tests,
# the end-to-end tests of the real Quorvy.exe under Wine and the tests of the help and the
# packages through CTest, whose summary closes the output.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
fuzz_seconds=${QUORVY_FUZZ_SECONDS:-60}

step() { printf '\n=== %s\n' "$*"; }

step "Installing missing packages"
bash scripts/install-deps.sh

step "Windows build (i686 mingw-w64): Quorvy.exe and the end-to-end probe"
cmake -S . -B build/windows -G Ninja -DQUORVY_WERROR=ON \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" \
  -DQUORVY_NATIVE_BUILD="$root/build/native" >/dev/null
cmake --build build/windows

step "Native build (unit tests, end-to-end tests, benchmarks, the help with its pictures)"
cmake -S . -B build/native -G Ninja -DQUORVY_WERROR=ON \
  -DQUORVY_WINDOWS_BUILD="$root/build/windows" >/dev/null
cmake --build build/native

step "Packages: the Windows zip and the Debian package"
(cd build/windows && cpack -G ZIP | tail -n 1)
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

step "Unit tests built for Windows, run under Wine"
cmake -S . -B build/wintests -G Ninja -DQUORVY_WERROR=ON -DQUORVY_WINDOWS_TESTS=ON \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686-posix.cmake" >/dev/null
cmake --build build/wintests
(
  export WINEPREFIX="$root/build/wintests/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  [ -d "$WINEPREFIX" ] || wineboot -i >/dev/null 2>&1
  ctest --test-dir build/wintests --output-on-failure | tail -n 3
  wineserver -k || true
)

step "Unit tests and end-to-end tests"
ctest --test-dir build/native --output-on-failure
