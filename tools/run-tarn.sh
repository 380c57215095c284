#!/bin/bash
# Installs what is missing, builds TARN and starts it under Wine.
set -e
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/tools/install-deps.sh"
"$root/tools/build.sh" "$root/build"
exec "$root/tools/with-display" "$root/tools/wine-run" "$root/build/tarn.exe" "$@"
