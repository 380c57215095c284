#!/bin/bash
# Configures and builds TARN and its tests into the build directory (default ./build).
set -e
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$root/build}"
cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" -G "Unix Makefiles" >/dev/null
make -C "$build" -j"$(nproc)" --no-print-directory
