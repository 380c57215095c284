#!/bin/bash
# Builds TARN and runs every test (under Wine, in an Xvfb of its own), on each
# Windows architecture this machine can run: both where it runs 32-bit
# programs, the 64-bit one where it cannot (tools/test-archs says which and
# why). TARN_ARCH=i686 or x86_64 forces one. The 32-bit tarn.exe is built and
# its imports checked in every case. Arguments are passed on to ctest.
set -e
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$(realpath -m "${TARN_BUILD:-$root/build}")"
mkdir -p "$build"
"$root/tools/install-deps.sh"
archs=$("$root/tools/test-archs" 2>"$build/archs.txt") || { cat "$build/archs.txt" >&2; exit 2; }
cat "$build/archs.txt"
"$root/tools/build.sh" "$build" $archs
"$root/tools/check-imports" "$build/i686/tarn.exe"
unset DISPLAY
status=0
for arch in $archs; do
  echo "=== Tests on $arch ($build/$arch-tests, program $build/$arch/tarn.exe)"
  (cd "$build/$arch-tests" &&
    WINEPREFIX="${WINEPREFIX:-$build/$arch-tests/wineprefix}" "$root/tools/with-display" ctest --output-on-failure "$@") ||
    status=1
done
cat "$build/archs.txt"
rm -f "$build/archs.txt"
exit $status
