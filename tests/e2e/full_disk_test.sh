#!/usr/bin/env bash
# full_disk_test.sh ROAD BIN: runs the road in a game folder on a small file
# system that is nearly full, at many levels of free space, so that the disk
# runs out at one step or another (staging a file, the journal, copying into
# place, unpacking, recording the version). Each run that cannot finish must
# fail with exit status 1 and the system's "No space left on device" beside the
# player's text, and never record a version whose files are not all in place;
# once space is freed, one more run completes to exactly the tree of an
# uninterrupted run. The file system is a tmpfs mounted in a private mount
# namespace (unshare); where that is not allowed the test is skipped.
set -u
road=$1 bin=$2
top=$(cd "$(dirname "$0")/../.." && pwd)
fail() { echo "FAIL: $*"; exit 1; }
if [ -z "${TARNVALE_IN_NAMESPACE:-}" ]; then
  if ! unshare -rm true 2> /dev/null; then
    echo "SKIP: no private mount namespace here (unshare -rm is not allowed)"
    exit 0
  fi
  TARNVALE_IN_NAMESPACE=1 exec unshare -rm "$0" "$@"
fi
. "$top/tests/e2e/road_fixture.sh"

disk=$work/disk
mkdir -p "$disk"
mount -t tmpfs -o size=2m tmpfs "$disk" || { echo "SKIP: cannot mount a tmpfs"; exit 0; }
trap 'umount "$disk"; fixture_cleanup' EXIT

cp -a "$template" "$disk/game"
launch "$disk/game"
[ $status -eq 0 ] || fail "the run with room to spare: exit status $status: $(cat "$work/err")"
tree "$disk/game" > "$work/expected"
rm -rf "$disk/game"

version_of() { grep -o 'Version=[0-9.]*' "$1/config.ini" | head -n 1; }
failures=0
for free_kb in $(seq 0 4 120); do
  cp -a "$template" "$disk/game"
  # The filler leaves about free_kb kilobytes.
  available=$(df -k --output=avail "$disk" | tail -n 1)
  size=$((available - free_kb))
  [ $size -gt 0 ] && head -c "${size}K" /dev/zero > "$disk/filler" 2> /dev/null
  launch "$disk/game"
  if [ $status -ne 0 ]; then
    failures=$((failures + 1))
    [ $status -eq 1 ] || fail "$free_kb KB free: exit status $status: $(cat "$work/err")"
    grep -q "No space left on device" "$work/err" \
      || fail "$free_kb KB free: no cause on stderr: $(cat "$work/err")"
    grep -q "Ready to play" "$work/out" && fail "$free_kb KB free: ready to play after a failure"
    [ -n "${VERBOSE:-}" ] && echo "$free_kb KB: $(cat "$work/err")"
  fi
  rm -f "$disk/filler"
  launch "$disk/game"
  [ $status -eq 0 ] || fail "$free_kb KB free, then room: exit status $status: $(cat "$work/err")"
  tree "$disk/game" > "$work/got"
  diff "$work/expected" "$work/got" > "$work/diff" \
    || fail "$free_kb KB free, then room: the tree differs:
$(cat "$work/diff")"
  rm -rf "$disk/game"
done
[ $failures -gt 0 ] || fail "the disk never ran out"
echo "full disk ($road): $failures runs failed with their cause, each completed once there was room"
