#!/usr/bin/env bash
# Builds Quorvy and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build/windows -G Ninja -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/mingw-i686.cmake" >/dev/null
cmake --build build/windows
cmake -S . -B build/native -G Ninja >/dev/null
cmake --build build/native
echo "Built the formula engine for Windows (build/windows) and Linux (build/native)."
echo "The Quorvy window itself is not there yet: this command will start it once it is."
