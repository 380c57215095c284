#!/bin/bash
# Takes a screenshot of TARN's main window under Xvfb:
#   tools/screenshot.sh OUT.png [ja]    (ja: Japanese user locale)
set -e
root="$(cd "$(dirname "$0")/.." && pwd)"
out="$(realpath -m "${1:-$root/docs/main-window.png}")"
lang="${2:-en}"
arch=$("$root/tools/test-archs" 2>/dev/null | head -1)
exe="$root/build/$arch/tarn.exe"
[ -x "$exe" ] || "$root/tools/build.sh" "$root/build"
if [ "$lang" = ja ]; then export LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8; fi
export WINEPREFIX="${WINEPREFIX:-$root/build/$arch/wineprefix}"
unset DISPLAY
work="$(mktemp -d)"
mkdir -p "$work/projects" "$work/photos"
printf "TARN\n" > "$work/readme.txt"; printf "x" > "$work/notes.txt"; printf "x" > "$work/report 2026.doc"
"$root/tools/with-display" bash -c '
  cd "$1" && "$2/tools/wine-run" "$4" & pid=$!
  for _ in $(seq 60); do
    xwininfo -root -tree 2>/dev/null | grep -q "\"TARN\"" && break; sleep 0.5
  done
  sleep 2
  import -window root -crop 820x600+0+0 "$3"
  kill $pid 2>/dev/null; wineserver -k 2>/dev/null; true' _ "$work" "$root" "$out" "$exe"
rm -rf "$work"
echo "$out"
