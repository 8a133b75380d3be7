#!/usr/bin/env bash
# Installs the Debian packages that building and testing Quorvy need, skipping what is already
# there. Safe to run again; needs root (or sudo) on Debian 12.
set -euo pipefail

native=(git cmake ninja-build g++ clang libclang-rt-14-dev libgtest-dev libgmock-dev
        libbenchmark-dev libmuparser-dev valgrind clang-format)
# The benchmarks: GNU time for the peak memory of a run
native+=(time)
# quorvy-plot: Cairo for its pictures, the font of their labels
cli=(pkg-config libcairo2-dev fonts-dejavu-core)
# The web page: the core compiled to WebAssembly by clang 14 for WASI with its C and C++ runtimes
web=(clang-14 lld-14 wasi-libc libc++-14-dev-wasm32 libc++abi-14-dev-wasm32 libclang-rt-14-dev-wasm32)
# Both Windows flavours: the 32-bit program and the x86-64 one for systems without 32-bit code.
windows=(g++-mingw-w64-i686 g++-mingw-w64-x86-64 mingw-w64-tools)
# Wine's two loaders: the 32-bit one installs everywhere but starts only where the machine runs
# 32-bit code; the 64-bit one runs the 64-bit flavour on every machine.
wine=(wine wine32:i386 wine64 fonts-wine xvfb xdotool imagemagick x11-utils procps python3)
printing=(cups printer-driver-cups-pdf libcups2:i386 poppler-utils)
# The help and the web page in a real browser, and the checks of the Debian package.
packaging=(chromium lintian dpkg-dev desktop-file-utils man-db)

missing=()
for p in "${native[@]}" "${cli[@]}" "${web[@]}" "${windows[@]}" "${wine[@]}" "${printing[@]}" "${packaging[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO=sudo
export DEBIAN_FRONTEND=noninteractive
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $SUDO dpkg --add-architecture i386
fi
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
