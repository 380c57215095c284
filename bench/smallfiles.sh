#!/bin/bash
# Small-files benchmark: a tree of FILES files of KIB KiB each in DIRS
# directories (defaults 1000, 4, 10) on vsftpd on loopback, received and sent
# as a tree
#   by TARN                (the real tarn.exe, driven through its windows by
#                          bench_smallfiles.exe: the click, then the end of
#                          the operation)
#   by a bare Win32 loop   (bench_smallfiles.exe, under the same Wine: the
#                          same FTP commands per file and nothing else; with
#                          TLS through TARN's own TLS stream functions)
#   by lftp's mirror       (native, one connection; its time includes its
#                          logon and its listings)
# in active and passive mode, plain and with FTPS (the FTPS vsftpd of the test
# servers: TLS on the control and every data connection). ROUNDS rounds
# (default 3), each running every row once, interleaved; prints seconds and
# files a second of the best run of each, and TARN / bare loop.
#   bench/smallfiles.sh [FILES [KIB [DIRS [ROUNDS [CONFIG...]]]]]
# CONFIG: active, passive, active_tls, passive_tls (default all four).
# Build first (tools/build.sh build x86_64); TARN_PROGRAM names another
# tarn.exe to measure (another build, for a before and after); TARN_BUILD names the tree of the
# benchmarks (default build/x86_64-tests, or build/i686-tests where 32-bit
# programs run and TARN_ARCH=i686), TARN_PORT_BASE the port range (default
# 21000). Do not run it beside a test run that uses the same port range.
set -e
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${TARN_BUILD:-$root/build/$("$root/tools/test-archs" 2>/dev/null | tail -1)-tests}"
arch="$(basename "$build")"
arch="${arch%-tests}"
base="${TARN_PORT_BASE:-21000}"
program="${TARN_PROGRAM:-$root/build/$arch/tarn.exe}"
files="${1:-1000}"
kib="${2:-4}"
dirs="${3:-10}"
rounds="${4:-3}"
shift 4 2>/dev/null || shift $#
configs=("$@")
[ ${#configs[@]} -gt 0 ] || configs=(active passive active_tls passive_tls)
command -v lftp >/dev/null || echo "lftp is missing: its rows stay empty (tools/install-deps.sh installs it)" >&2
tmp=/tmp
[ -d /dev/shm ] && [ "$(df -Pm /dev/shm | awk 'NR == 2 { print $4 }')" -gt $((files * kib * 8 / 1024 + 64)) ] && tmp=/dev/shm
scratch="$(mktemp -d "$tmp/tarn-smallfiles.XXXXXX")"
chmod 755 "$scratch"
servers="$scratch/servers"

cleanup() {
  TARN_PORT_BASE="$base" "$root/tests/servers/servers" stop "$servers" || true
  rm -rf "$scratch"
}
trap cleanup EXIT
TARN_PORT_BASE="$base" "$root/tests/servers/servers" start "$servers"

# The tree: small/dNN/fNNNNN.bin, file k in directory k * DIRS / FILES, as
# bench_smallfiles.exe names them; on both vsftpd servers, with /up (and
# /lftp-up) writable for the sends.
tree="$scratch/tree"
python3 - "$tree" "$files" "$kib" "$dirs" <<'PY'
import os, sys
top, files, kib, dirs = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), int(sys.argv[4])
for k in range(files):
    d = os.path.join(top, "small", "d%02d" % (k * dirs // files))
    os.makedirs(d, exist_ok=True)
    with open(os.path.join(d, "f%05d.bin" % k), "wb") as f:
        f.write(os.urandom(kib * 1024))
PY
chmod -R a+rX "$tree"
for d in vsftpd vsftpd-tls; do
  cp -a "$tree/small" "$servers/$d/user/small"
  mkdir -p "$servers/$d/user/up" "$servers/$d/user/lftp-up"
  chmod 777 "$servers/$d/user/up" "$servers/$d/user/lftp-up"
done
port=$((base + 21))
tls_port=$((base + 23))

results="$scratch/results.txt"
now() { date +%s.%N; }

# lftp's mirror of the tree: DIRECTION (recv or send) CONFIG; appends a result line.
lftp_run() {
  local direction="$1" config="$2" p="$port" settings="set cmd:interactive no; set net:max-retries 1; set net:timeout 60;"
  case "$config" in
    *tls) p="$tls_port"
          settings+=" set ftp:ssl-force true; set ftp:ssl-protect-data true; set ftp:ssl-auth TLS; set ssl:verify-certificate no;" ;;
    *) settings+=" set ftp:ssl-allow false;" ;;
  esac
  case "$config" in
    passive*) settings+=" set ftp:passive-mode true;" ;;
    *) settings+=" set ftp:passive-mode false;" ;;
  esac
  local server_root="$servers/vsftpd/user"
  [ "$p" = "$tls_port" ] && server_root="$servers/vsftpd-tls/user"
  local job t0 t1 count
  if [ "$direction" = recv ]; then
    rm -rf "$scratch/lftp-down"
    mkdir -p "$scratch/lftp-down"
    job="mirror small $scratch/lftp-down/small"
  else
    rm -rf "$server_root/lftp-up/small"
    job="mirror -R $tree/small /lftp-up/small"
  fi
  t0="$(now)"
  if ! lftp -c "$settings open -u tarnftp,tarn-pass ftp://127.0.0.1:$p; $job" > "$scratch/lftp.log" 2>&1; then
    echo "lftp $direction $config failed: $(tail -3 "$scratch/lftp.log")" >&2
    return 0
  fi
  t1="$(now)"
  if [ "$direction" = recv ]; then
    count="$(find "$scratch/lftp-down/small" -type f | wc -l)"
  else
    count="$(find "$server_root/lftp-up/small" -type f | wc -l)"
  fi
  if [ "$count" != "$files" ]; then
    echo "lftp $direction $config: $count files of $files" >&2
    return 0
  fi
  echo "lftp $direction $config $files $(awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.3f", b - a }')" >> "$results"
}

echo "load before: $(cut -d' ' -f1-3 /proc/loadavg)"
cd "$scratch"
for round in $(seq "$rounds"); do
  if command -v lftp >/dev/null; then
    for config in "${configs[@]}"; do
      lftp_run recv "$config"
      # lftp ends a data connection it sent on without TLS's close_notify,
      # which the FTPS vsftpd (strict_ssl_read_eof) answers with 426: lftp
      # cannot send to it, so its FTPS send rows stay empty.
      case "$config" in *tls) ;; *) lftp_run send "$config" ;; esac
    done
  fi
  TARN_PORT_BASE="$base" TARN_BINARY_DIR="$scratch" TARN_SOURCE_DIR="$root" \
    TARN_PROGRAM="$program" WINEPREFIX="$build/wineprefix" \
    "$root/tools/with-display" "$root/tools/wine-run" "$build/bench_smallfiles.exe" "$files" "$dirs" "$round" \
    "${configs[@]}" 2> "$scratch/bench.err" | tr -d '\r' >> "$results"
  # Its own complaints, without Wine's.
  tr -d '\r' < "$scratch/bench.err" | grep -v '^[0-9a-f]*:\(fixme\|err\|warn\|trace\):' >&2 || true
  echo "round $round done, load $(cut -d' ' -f1-3 /proc/loadavg)"
done

echo "runs (who, direction, mode, files, seconds):"
sort -k3,3 -k2,2 -k1,1 "$results" | awk '{ printf "  %-5s %-5s %-12s %6d %8.3f\n", $1, $2, $3, $4, $5 }'

awk -v files="$files" -v kib="$kib" -v dirs="$dirs" -v rounds="$rounds" -v order="${configs[*]}" '
  NF >= 5 { k = $1 " " $2 " " $3; s = $5 + 0; if (s > 0 && (!(k in best) || s < best[k])) best[k] = s }
  function sec(k) { return (k in best) ? sprintf("%7.2f s", best[k]) : "      - " }
  function rate(k) { return (k in best) ? sprintf("%6.0f/s", files / best[k]) : "     - " }
  function ratio(a, b) { return (a in best) && (b in best) ? sprintf("%6.2f", best[a] / best[b]) : "     -" }
  END {
    printf "\n%d files of %d KiB in %d directories, vsftpd on loopback, best of %d\n", files, kib, dirs, rounds
    printf "%-26s %18s %18s\n", "", "receive", "send"
    n = split(order, cs, " ")
    for (i = 1; i <= n; i++) {
      c = cs[i]
      printf "%s\n", c
      printf "  %-24s %s %s %s %s\n", "TARN", sec("tarn recv " c), rate("tarn recv " c), sec("tarn send " c), rate("tarn send " c)
      printf "  %-24s %s %s %s %s\n", "bare loop", sec("bare recv " c), rate("bare recv " c), sec("bare send " c), rate("bare send " c)
      printf "  %-24s %s %s %s %s\n", "lftp mirror (native)", sec("lftp recv " c), rate("lftp recv " c), sec("lftp send " c), rate("lftp send " c)
      printf "  %-24s %18s %18s\n", "TARN / bare loop", ratio("tarn recv " c, "bare recv " c), ratio("tarn send " c, "bare send " c)
      printf "  %-24s %18s %18s\n", "TARN / lftp", ratio("tarn recv " c, "lftp recv " c), ratio("tarn send " c, "lftp send " c)
    }
  }' "$results"
echo "load after: $(cut -d' ' -f1-3 /proc/loadavg)"
