#!/usr/bin/env bash
# Builds Quorvy.exe and starts it: natively on Windows, under Wine elsewhere (on the current
# display in a Wine desktop window; with no display, on a private Xvfb screen, saving a
# screenshot of it).
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
cmake -S . -B build/windows -G Ninja -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/mingw-i686.cmake" >/dev/null
cmake --build build/windows --target Quorvy probe

if [ -z "${DISPLAY:-}" ]; then
  exec python3 scripts/run_headless.py
fi
export WINEPREFIX="${WINEPREFIX:-$HOME/.quorvy-wine}"
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
[ -d "$WINEPREFIX" ] || wineboot -i >/dev/null 2>&1
echo "Starting Quorvy in a Wine desktop window; its settings live in $WINEPREFIX/drive_c/windows/Quorvy.ini"
wine explorer /desktop=quorvy,1024x768 "$PWD/build/windows/Quorvy.exe"
