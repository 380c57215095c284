#!/bin/bash
# Builds TARN into BUILD (default ./build):
#   tools/build.sh [BUILD] [ARCH...]
# Always the two programs, linked with the win32 thread model so that they
# import nothing newer than the Windows they claim:
#   BUILD/i686/tarn.exe     32-bit Windows
#   BUILD/x86_64/tarn.exe   64-bit Windows
# and for each ARCH named (i686, x86_64) a tree with the test programs and
# benchmarks (posix thread model, which GoogleTest needs) in BUILD/ARCH-tests,
# whose end-to-end tests drive BUILD/ARCH/tarn.exe.
set -e
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$(realpath -m "${1:-$root/build}")"
shift || true
jobs="$(nproc)"

configure() {  # DIR ARCH THREADS [cmake options]
  local dir="$1" arch="$2" threads="$3"
  shift 3
  cmake -S "$root" -B "$dir" -G "Unix Makefiles" \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-$arch.cmake" -DTARN_THREADS="$threads" "$@" >/dev/null
}

for arch in i686 x86_64; do
  configure "$build/$arch" "$arch" win32 -DTARN_TESTS=OFF -DTARN_BENCH=OFF
  make -C "$build/$arch" -j"$jobs" --no-print-directory tarn
done
for arch in "$@"; do
  case "$arch" in
    i686|x86_64) ;;
    *) echo "build.sh: unknown architecture \"$arch\" (i686 or x86_64)" >&2; exit 2 ;;
  esac
  configure "$build/$arch-tests" "$arch" posix -DTARN_PROGRAM="$build/$arch/tarn.exe"
  make -C "$build/$arch-tests" -j"$jobs" --no-print-directory
done
