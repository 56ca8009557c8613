#!/usr/bin/env bash
# Times the launcher's unpacking of a packed file against "bzip2 -dc" and its
# extraction of a version archive against "unzip -o -q", in the same run, on
# the same data, and reports the time ratios and our peak memory.
#
# usage: bench/archives.sh BUILD_DIR [WORK_DIR] [RUNS]
#   BUILD_DIR  a build configured with -DTARNVALE_BENCH=ON (Release or
#              RelWithDebInfo), with tarnvale-qxc and bench_extract built
#   WORK_DIR   where the 200 MB inputs are made and kept (default /tmp/tarnvale-bench)
#   RUNS       timed runs of each command, alternating; the best of each counts (default 3)
set -euo pipefail

build=$(cd "${1:?usage: archives.sh BUILD_DIR [WORK_DIR] [RUNS]}" && pwd)
work=${2:-/tmp/tarnvale-bench}
runs=${3:-3}
qxc=$build/bin/tarnvale-qxc
extract=$build/bin/bench_extract
for tool in "$qxc" "$extract" /usr/bin/time bzip2 zip unzip; do
  [ -x "$tool" ] || command -v "$tool" >/dev/null || { echo "missing $tool" >&2; exit 1; }
done
mkdir -p "$work"
cd "$work"

# --- inputs (made once, kept for later runs) --------------------------------
# 200 MB of game-like data: half random bytes written as text (compresses by
# about a quarter), half counting text (compresses well).
if [ ! -f data.bin ]; then
  echo "making 200 MB of data..."
  # The producers end on SIGPIPE once head has its 200 MB; that is expected.
  { head -c 75000000 /dev/urandom | base64 -w 100; seq 1 25000000; } | head -c 200000000 > data.bin.part || true
  [ "$(stat -c %s data.bin.part)" -eq 200000000 ] || { echo "cannot make data.bin" >&2; exit 1; }
  mv data.bin.part data.bin
fi
if [ ! -f data.bin.QXC ]; then
  echo "packing it with bzip2 -9..."
  bzip2 -9 -c data.bin > data.bin.QXC
fi
# 5 000 entries of 40 000 bytes in 50 folders of 100, deflated by Info-ZIP.
if [ ! -f archive.zip ]; then
  echo "making the 5 000-entry archive..."
  rm -rf tree && mkdir -p tree
  (cd tree && split -b 40000 -a 4 -d ../data.bin part.)
  (cd tree && for i in $(seq 0 49); do
     d=$(printf 'Data/Set%02d' "$i"); mkdir -p "$d"
     for j in $(seq 0 99); do mv "part.$(printf '%04d' $((i * 100 + j)))" "$d/"; done
   done
   printf '[LOGIN]\r\nVersion=9.00.00\r\n' > config.ini)
  (cd tree && zip -q -r ../archive.zip .)
  rm -rf tree
fi

# --- timing -------------------------------------------------------------------
# measure NAME COMMAND...: runs once, appends "NAME seconds peak-KiB" to times.
measure() {
  local name=$1; shift
  /usr/bin/time -f "$name %e %M" -o time.out "$@"
  cat time.out >> times
}
best() { awk -v n="$1" '$1 == n { if (!s || $2 < s) s = $2 } END { print s }' times; }
peak() { awk -v n="$1" '$1 == n { if ($3 > m) m = $3 } END { print m }' times; }

: > times
for run in $(seq 0 "$runs"); do
  # Run 0 warms the page cache and is not counted.
  rm -rf out && mkdir out
  measure bzip2 sh -c 'bzip2 -dc data.bin.QXC > out/data.bzip2'
  measure unpack "$qxc" unpack data.bin.QXC out/ >/dev/null
  cmp out/data.bin data.bin
  rm -rf unz ours && mkdir -p unz ours/Temp
  measure unzip unzip -o -q archive.zip -d unz
  cp archive.zip ours/Temp/up_list.zip
  measure extract "$extract" ours/Temp/up_list.zip ours/
  diff -r -q unz ours -x Temp >/dev/null || { echo "extraction differs from unzip" >&2; exit 1; }
  [ "$run" -eq 0 ] && : > times
done

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.3f", a / b }'; }
cat <<REPORT
packed file, 200 MB unpacked ($(stat -c %s data.bin.QXC) bytes packed), best of $runs:
  bzip2 -dc        $(best bzip2) s
  UnpackQxcFile    $(best unpack) s   ratio $(ratio "$(best unpack)" "$(best bzip2)")   peak $(peak unpack) KiB
archive, 5 000 entries, 200 MB ($(stat -c %s archive.zip) bytes), best of $runs:
  unzip -o -q      $(best unzip) s
  ExtractUpdate..  $(best extract) s   ratio $(ratio "$(best extract)" "$(best unzip)")   peak $(peak extract) KiB
targets: unpack ratio <= 1.05, extraction ratio <= 1.15, peak < 16384 KiB
REPORT
