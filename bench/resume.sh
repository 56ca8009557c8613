#!/bin/sh
# An interrupted HTTP download resumed: tarnvale-fetch -c (the launcher's resuming
# download) against curl -C - on the same server, in the same run.
#
#   bench/resume.sh [BUILD_DIR] [SIZE_MB]
#
# Serves a SIZE_MB (default 256) file of random bytes from the tests' loopback
# HTTP server, which cuts the first answer at 50 %. Each client runs twice: the
# first run breaks off, the second goes on. Reports the bytes the server sent in
# all (the file's size is the least possible) and the time of both runs.
set -eu

here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build/linux}
size_mb=${2:-256}
fetch=$build/bin/tarnvale-fetch
[ -x "$fetch" ] || { echo "resume.sh: build $fetch first" >&2; exit 1; }
command -v curl >/dev/null || { echo "resume.sh: curl is needed" >&2; exit 1; }

bench_name=tarnvale-bench
. "$here/bench/servers.sh"
port=$(server_info http_port)
head -c $((size_mb * 1024 * 1024)) /dev/urandom >"$root/big.bin"
size=$(wc -c <"$root/big.bin")
expected=$(cksum <"$root/big.bin")
url="http://127.0.0.1:$port/big.bin"

now_ns() { date +%s%N; }
# run NAME COMMAND...: twice, the first answer cut at 50 %.
run() {
    name=$1
    shift
    : >"$root/.sent"
    echo "cut big.bin 0.5" >"$root/.plan"
    rm -f "$work/out" "$work/out".*
    start=$(now_ns)
    "$@" >/dev/null 2>&1 || true
    "$@" >/dev/null 2>&1 || { echo "resume.sh: $name did not finish" >&2; exit 1; }
    ms=$((($(now_ns) - start) / 1000000))
    [ "$(cksum <"$work/out")" = "$expected" ] || { echo "resume.sh: $name: wrong bytes" >&2; exit 1; }
    sent=$(awk '{ s += $2 } END { print s }' "$root/.sent")
    printf '%-22s %12d bytes sent (%.3f x the file)  %6d ms\n' "$name" "$sent" \
        "$(echo "$sent / $size" | bc -l)" "$ms"
}
echo "file: $size bytes, first answer cut at 50 %"
run "tarnvale-fetch -c" "$fetch" -q -c "$url" "$work/out"
run "curl -C -" curl -sf -C - -o "$work/out" "$url"
run "tarnvale-fetch (whole)" "$fetch" -q "$url" "$work/out"
