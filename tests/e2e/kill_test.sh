#!/usr/bin/env bash
# kill_test.sh ROAD BIN: kills the headless launcher at every step of the road
# that touches the game folder (each deletion, each rename that puts a file in
# place, each opening of the journal, each file-time update that follows a
# copy) and shows that one more run completes to exactly the tree of an
# uninterrupted run: no stuck update, no staging file or journal left behind.
# The kill comes from strace's fault injection at the chosen system call.
set -u
road=$1 bin=$2
top=$(cd "$(dirname "$0")/../.." && pwd)
fail() { echo "FAIL: $*"; exit 1; }
command -v strace > /dev/null || { echo "SKIP: strace is not installed"; exit 0; }
# A sanitized build's leak check cannot run under ptrace; a run that strace lets
# finish would fail on it rather than on the road.
export ASAN_OPTIONS=${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0
. "$top/tests/e2e/road_fixture.sh"

reference=$work/reference
cp -a "$template" "$reference"
launch "$reference"
[ $status -eq 0 ] || fail "the uninterrupted run: exit status $status: $(cat "$work/err")"
grep -q "Version=1.00.03" "$reference/config.ini" || fail "the uninterrupted run's version"
tree "$reference" > "$work/expected"

killed=0
# class: a name for the report, then strace's selection of calls. Only the FTP
# road keeps a journal.
classes=("unlink:-e trace=unlink,unlinkat" "rename:-e trace=rename,renameat,renameat2"
         "utimensat:-e trace=utimensat")
[ "$road" = ftp ] && classes+=("journal:-e trace=openat -P patch.log")
for class in "${classes[@]}"; do
  name=${class%%:*}
  selection=${class#*:}
  n=1
  while :; do
    game=$work/game-$name-$n
    rm -rf "$game"
    cp -a "$template" "$game"
    # shellcheck disable=SC2086
    launch "$game" strace -f -qq -o /dev/null $selection -e inject=all:signal=KILL:when=$n
    if [ $status -eq 0 ]; then
      break # the n-th call never came: every step of this kind has been tried
    fi
    [ $status -eq 137 ] || fail "$name $n: exit status $status: $(cat "$work/err")"
    killed=$((killed + 1))
    launch "$game"
    [ $status -eq 0 ] || fail "$name $n: the run after the kill: exit status $status: $(cat "$work/err")"
    tree "$game" > "$work/got"
    diff "$work/expected" "$work/got" > "$work/diff" \
      || fail "$name $n: the tree after the kill and one more run differs:
$(cat "$work/diff")"
    rm -rf "$game"
    n=$((n + 1))
  done
  [ $n -gt 1 ] || fail "$name: the road made no such call"
done
echo "kill test ($road): $killed kills, each completed by one more run"
