#!/bin/sh
# Download throughput of the launcher's HTTP service against curl, over loopback.
#
#   bench/http_download.sh [BUILD_DIR] [SIZE_MB] [RUNS]
#
# Serves a SIZE_MB (default 256) file of random bytes from the tests' loopback
# HTTP server, fetches it RUNS (default 3) times with `curl -o` and with
# tarnvale-fetch (the same DownloadUrlToFile the HTTP update road uses), in turns,
# and reports the best time of each and the ratio of their throughputs
# (1.0 = as fast as curl; the target is at least 0.9).
set -eu

here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build/linux}
size_mb=${2:-256}
runs=${3:-3}
fetch=$build/bin/tarnvale-fetch
[ -x "$fetch" ] || { echo "http_download.sh: build $fetch first (ninja -C $build tarnvale-fetch)" >&2; exit 1; }
command -v curl >/dev/null || { echo "http_download.sh: curl is needed" >&2; exit 1; }

bench_name=tarnvale-bench
. "$here/bench/servers.sh"
port=$(server_info http_port)
head -c $((size_mb * 1024 * 1024)) /dev/urandom >"$root/big.bin"
url="http://127.0.0.1:$port/big.bin"
expected=$(cksum <"$root/big.bin")

now_ns() { date +%s%N; }
best_curl=0
best_ours=0
i=0
while [ $i -lt "$runs" ]; do
    i=$((i + 1))
    rm -f "$work/curl.out" "$work/ours.out"
    t0=$(now_ns); curl -s -o "$work/curl.out" "$url?time=$i"; t1=$(now_ns)
    t=$((t1 - t0)); [ $best_curl -eq 0 ] || [ $t -lt $best_curl ] && best_curl=$t
    t0=$(now_ns); "$fetch" -q "$url?time=$i" "$work/ours.out"; t1=$(now_ns)
    t=$((t1 - t0)); [ $best_ours -eq 0 ] || [ $t -lt $best_ours ] && best_ours=$t
    [ "$(cksum <"$work/ours.out")" = "$expected" ] || { echo "http_download.sh: tarnvale-fetch got different bytes" >&2; exit 1; }
    [ "$(cksum <"$work/curl.out")" = "$expected" ] || { echo "http_download.sh: curl got different bytes" >&2; exit 1; }
done

awk -v mb="$size_mb" -v c="$best_curl" -v o="$best_ours" 'BEGIN {
    printf "file            %d MB over loopback HTTP, best of runs\n", mb
    printf "curl -o         %8.3f s  %8.1f MB/s\n", c / 1e9, mb / (c / 1e9)
    printf "tarnvale-fetch  %8.3f s  %8.1f MB/s\n", o / 1e9, mb / (o / 1e9)
    printf "ratio           %8.2fx of curl\n", c / o
}'
