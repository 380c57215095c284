#!/bin/bash
# Installs what is missing, builds TARN and starts it under Wine: the 32-bit
# program where this machine runs 32-bit programs, else the 64-bit one
# (TARN_ARCH=i686 or x86_64 chooses).
set -e
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/tools/install-deps.sh"
"$root/tools/build.sh" "$root/build"
arch=$("$root/tools/test-archs" 2>/dev/null | head -1)
echo "Starting the $arch tarn.exe" >&2
export WINEPREFIX="${WINEPREFIX:-$root/build/$arch/wineprefix}"
exec "$root/tools/with-display" "$root/tools/wine-run" "$root/build/$arch/tarn.exe" "$@"
