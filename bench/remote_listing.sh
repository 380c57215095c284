#!/bin/bash
# Benchmark: a remote listing of 100,000 UNIX entries served by a real FTP
# server (pyftpdlib) on loopback, through the program's own path with LIST
# and then with MLSD, each beside the same listing command alone. The LIST
# output is also fetched with curl and handed to bench_remote_listing.exe,
# which fills the remote lists from it.
#   bench/remote_listing.sh [build-dir]     (needs curl and python3-pyftpdlib)
set -e
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$root/build/$("$root/tools/test-archs" 2>/dev/null | tail -1)-tests}"
port=$(( ${TARN_PORT_BASE:-21200} + 90 ))
work=$(mktemp -d)
trap 'kill $server 2>/dev/null || true; wait $server 2>/dev/null || true; rm -rf "$work"' EXIT
mkdir "$work/tree"
/usr/bin/python3 - "$work/tree" <<'PY'
import os, sys
d = sys.argv[1]
for i in range(100000):
    if i % 10 == 0:
        os.mkdir(os.path.join(d, "directory-%06d" % i))
    else:
        open(os.path.join(d, "file-%06d.dat" % i), "w").close()
PY
/usr/bin/python3 -m pyftpdlib -i 127.0.0.1 -p "$port" -d "$work/tree" >/dev/null 2>&1 &
server=$!
for _ in $(seq 50); do curl -s "ftp://127.0.0.1:$port/" -o /dev/null --max-time 1 && break; sleep 0.2; done
start=$(date +%s.%N)
curl -s "ftp://127.0.0.1:$port/" -o "$work/listing.txt"
end=$(date +%s.%N)
echo "LIST over loopback with curl: $(wc -l < "$work/listing.txt") lines in $(/usr/bin/python3 -c "print(round($end - $start, 2))") s"
cd "$build"
export WINEPREFIX="${WINEPREFIX:-$build/wineprefix}"
"$root/tools/with-display" "$root/tools/wine-run" ./bench_remote_listing.exe --server "$port"
"$root/tools/with-display" "$root/tools/wine-run" ./bench_remote_listing.exe --server "$port" mlsd
kill $server; wait $server 2>/dev/null || true
"$root/tools/with-display" "$root/tools/wine-run" ./bench_remote_listing.exe "Z:${work//\//\\}\\listing.txt"
