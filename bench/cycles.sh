#!/bin/bash
# Long-session benchmark: the real tarn.exe, driven through its windows, runs
# PLAIN connect / list / receive / send / disconnect cycles against vsftpd
# on loopback, then FAULTS cycles of each kind of fault a scripted server
# plays (a data connection that never arrives, a stall stopped by Abort, 421,
# the connection closed in the middle of a receive and of a send, PORT
# refused, a line without a code). It prints, per kind of cycle, the growth
# of tarn.exe's private memory and handle count per cycle, set against the
# plain cycles run alongside, and the longest time the window took to answer.
#   bench/cycles.sh [PLAIN] [FAULTS]        (defaults 200 and 10)
# Build first (tools/build.sh build x86_64); TARN_BUILD names the tree of the
# benchmarks (default build/x86_64-tests, or build/i686-tests where 32-bit
# programs run and TARN_ARCH=i686), TARN_PORT_BASE the port range (default
# 21000). Do not run it beside a test run that uses the same port range.
set -e
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${TARN_BUILD:-$root/build/$("$root/tools/test-archs" 2>/dev/null | tail -1)-tests}"
arch="$(basename "$build")"
arch="${arch%-tests}"
base="${TARN_PORT_BASE:-21000}"
plain="${1:-200}"
faults="${2:-10}"
scratch="$(mktemp -d /tmp/tarn-cycles.XXXXXX)"
chmod 755 "$scratch"
servers="$scratch/servers"

cleanup() {
  TARN_PORT_BASE="$base" "$root/tests/servers/servers" stop "$servers" || true
  rm -rf "$scratch"
}
trap cleanup EXIT
TARN_PORT_BASE="$base" "$root/tests/servers/servers" start "$servers"

# The tests' drivers find the servers' roots below TARN_BINARY_DIR/servers.
cd "$scratch"
TARN_PORT_BASE="$base" TARN_BINARY_DIR="$scratch" TARN_SOURCE_DIR="$root" \
  TARN_PROGRAM="$root/build/$arch/tarn.exe" WINEPREFIX="$build/wineprefix" \
  "$root/tools/with-display" "$root/tools/wine-run" "$build/bench_cycles.exe" "$plain" "$faults" 2>/dev/null |
  tr -d '\r'
