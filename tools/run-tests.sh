#!/bin/bash
# Builds TARN and runs every test (under Wine, in an Xvfb of its own).
set -e
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${TARN_BUILD:-$root/build}"
"$root/tools/install-deps.sh"
"$root/tools/build.sh" "$build"
export WINEPREFIX="${WINEPREFIX:-$build/wineprefix}"
cd "$build"
unset DISPLAY
exec "$root/tools/with-display" ctest --output-on-failure "$@"
