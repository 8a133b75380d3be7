#!/usr/bin/env bash
# Builds Quorvy.exe and starts it: natively on Windows, under Wine elsewhere (on the current
# display in a Wine desktop window; with no display, on a private Xvfb screen, saving a
# screenshot of it). Under Wine it starts the 32-bit program where this machine runs 32-bit code,
# else the 64-bit one.
set -euo pipefail
cd "$(dirname "$0")/.."

case "$(uname -s)" in
  MINGW* | MSYS* | CYGWIN*)
    cmake -S . -B build/windows -G Ninja >/dev/null
    cmake --build build/windows --target Quorvy
    exec build/windows/Quorvy.exe
    ;;
esac

bash scripts/install-deps.sh
flavour=$(python3 scripts/windows_flavours.py choose) || exit 1
flavours() { python3 scripts/windows_flavours.py field "$1" "$flavour"; }
cmake -S . -B "$(flavours folder)" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$(flavours toolchain)" >/dev/null
cmake --build "$(flavours folder)" --target Quorvy probe
exec python3 scripts/run_wine.py "$flavour"
