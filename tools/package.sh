#!/bin/bash
# Builds both programs and writes the release archives for Windows:
#   tools/package.sh [BUILD]      (BUILD as for tools/build.sh, default ./build)
#   dist/tarn-VERSION-win32.zip   the 32-bit tarn.exe, README.txt, LICENSE.txt
#   dist/tarn-VERSION-win64.zip   the 64-bit tarn.exe, README.txt, LICENSE.txt
#   dist/SHA256SUMS               sha256sum's lines for both archives
# One commit gives the same bytes on every run: the programs carry no link
# time (the linker writes none; strip is given the epoch instead of the
# clock) and no path of the build machine (their debug information is
# stripped), and the archives hold their files in a fixed order, with the
# commit's date and fixed permissions.
set -e
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$(realpath -m "${1:-$root/build}")"
dist="$root/dist"
version="$(head -n 1 "$root/VERSION")"

"$root/tools/build.sh" "$build"

stage="$(mktemp -d)"
trap 'rm -rf "$stage"' EXIT
for arch in i686 x86_64; do
  SOURCE_DATE_EPOCH=0 "$arch-w64-mingw32-strip" --strip-all -o "$stage/tarn-$arch.exe" "$build/$arch/tarn.exe"
done
sed "s/@VERSION@/$version/g" "$root/docs/windows/README.txt" | sed 's/$/\r/' > "$stage/README.txt"
sed 's/$/\r/' "$root/LICENSE" > "$stage/LICENSE.txt"
# The files' date: the commit's, so that it means something and stays the
# same for the commit (1980-01-01, the first date a zip holds, outside git).
stamp="$(git -C "$root" log -1 --format=%ct 2>/dev/null || echo 315532800)"

rm -rf "$dist"
mkdir -p "$dist"
python3 - "$stage" "$dist" "$version" "$stamp" <<'PY'
import os
import sys
import time
import zipfile

stage, dist, version, stamp = sys.argv[1:]
date = time.gmtime(max(int(stamp), 315532800))[:6]
for arch, name in (("i686", "win32"), ("x86_64", "win64")):
    path = os.path.join(dist, "tarn-%s-%s.zip" % (version, name))
    with zipfile.ZipFile(path, "w") as archive:
        for member, source, mode in (("tarn.exe", "tarn-%s.exe" % arch, 0o755),
                                     ("README.txt", "README.txt", 0o644),
                                     ("LICENSE.txt", "LICENSE.txt", 0o644)):
            info = zipfile.ZipInfo(member, date_time=date)
            info.create_system = 3  # the permissions below are Unix ones
            info.external_attr = (0o100000 | mode) << 16
            info.compress_type = zipfile.ZIP_DEFLATED
            with open(os.path.join(stage, source), "rb") as f:
                archive.writestr(info, f.read(), compresslevel=9)
PY
(cd "$dist" && sha256sum "tarn-$version-win32.zip" "tarn-$version-win64.zip" > SHA256SUMS)
"$root/tools/check-package" "$dist"
cat "$dist/SHA256SUMS"
