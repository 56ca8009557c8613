#!/usr/bin/env bash
# headless_exit_test.sh BIN LAUNCHER_NAME: the headless launcher's exit status and messages tell
# the truth: a game client that cannot start, --no-start with and without a
# partition, --no-start after an update that carried a new launcher, partitions
# numbered as the connect server's configuration numbers them, repeated statuses
# counted, an unresolvable host named, developer messages converted.
set -u
bin=$1 launcher_name=$(printf '%b' "$2" | iconv -f CP936 -t UTF-8)
top=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d)
servers=$top/tests/support/loopback_servers.sh
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; done
  sh "$servers" stop "$work/servers" > /dev/null 2>&1
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*"; exit 1; }
export XDG_CONFIG_HOME=$work/config XDG_RUNTIME_DIR=$work LC_ALL=C.UTF-8

# connect_server NAME CONFIG-TEXT: starts one; its port is in $work/NAME.port.
connect_server() {
  printf '%s\n' "$2" > "$work/$1.conf"
  "$bin/tarnvale-connect-server" --bind 127.0.0.1 --port 0 "$work/$1.conf" \
    > "$work/$1.port" 2> "$work/$1.log" &
  pids+=($!)
  for _ in $(seq 100); do [ -s "$work/$1.port" ] && return; sleep 0.1; done
  fail "connect server $1 did not start: $(cat "$work/$1.log")"
}
fresh_game() {
  rm -rf "$work/game"; mkdir -p "$work/game"
  cp "$bin/message.wtf" "$work/game/"
  printf '[LOGIN]\r\nVersion=1.00.00\r\n' > "$work/game/config.ini"
}
# run SERVER OPTIONS...: the launcher, piped, without a terminal; sets $status.
run() {
  local server=$1; shift
  status=0
  "$bin/tarnvale-launcher" --host 127.0.0.1 --port "$(cat "$work/$server.port")" \
    --game-dir "$work/game" --connect-timeout 30 "$@" < /dev/null > "$work/out" 2> "$work/err" \
    || status=$?
}
partitions='[partition 1]
name = Open
address = 127.0.0.1
port = 55901
[partition 2]
name = Closed
address = 127.0.0.1
port = 0'
connect_server ready "[server]
answer = up-to-date
$partitions"

# Partitions are listed, chosen and named from 1, as the configuration has them.
fresh_game
run ready --partition 1 --no-start
[ $status -eq 0 ] || fail "--partition 1 --no-start: exit status $status: $(cat "$work/err")"
grep -q "^  1) Open" "$work/out" && grep -q "^  2) Closed" "$work/out" || fail "listing: $(cat "$work/out")"
grep -q "^Partition 1: Open" "$work/out" || fail "chosen partition: $(cat "$work/out")"
run ready --partition 2
[ $status -eq 3 ] && grep -q "partition 2 cannot be chosen" "$work/err" || fail "closed partition 2: $status"
run ready --partition 0
[ $status -eq 2 ] || fail "--partition 0 is no partition: exit status $status"

# --no-start without a partition, and no terminal: ready is where it stops.
run ready --no-start
[ $status -eq 0 ] && grep -q "Ready to play" "$work/out" || fail "--no-start alone: $status $(cat "$work/err")"

# A game client that cannot be started is a failure, whatever keeps it from running.
client() { # what, how to make $work/game/client
  fresh_game
  eval "$2"
  run ready --partition 1 --game-client client
  [ $status -eq 1 ] || fail "game client $1: exit status $status"
  grep -q "the game client client cannot be started: $3" "$work/err" || fail "game client $1: $(cat "$work/err")"
}
client missing ":" "the file was not found"
client "not executable" "printf '#!/bin/sh\n' > '$work/game/client'; chmod 644 '$work/game/client'" "access denied"
client "a folder" "mkdir '$work/game/client'" "access denied"
client damaged "printf '\177ELF\002\001' > '$work/game/client'; chmod 755 '$work/game/client'" "it is not a program"
client "missing interpreter" "printf '#!/nonexistent/sh\n' > '$work/game/client'; chmod 755 '$work/game/client'" "the file was not found"

# An update that carries a new launcher, with --no-start: nothing is started, the
# new launcher is announced, and the run succeeds.
sh "$servers" start "$work/servers" > /dev/null || fail "loopback servers"
. "$work/servers/servers.txt"
mkdir -p "$work/src"
printf '[LOGIN]\r\nVersion=1.00.01\r\n' > "$work/src/config.ini"
echo "new launcher" > "$work/src/$launcher_name.exe"
"$bin/tarnvale-patch" init "$root" > /dev/null && "$bin/tarnvale-patch" add "$root" 1.0.1 "$work/src" > /dev/null \
  || fail "publishing the new launcher"
connect_server update "[server]
answer = http
[update]
address = 127.0.0.1
port = $http_port
version_file = version.wvd
$partitions"
fresh_game
printf '#!/bin/sh\ntouch "%s/started"\n' "$work" > "$work/game/client"; chmod 755 "$work/game/client"
run update --no-start --game-client client
[ $status -eq 0 ] || fail "self-update with --no-start: exit status $status: $(cat "$work/err")"
grep -q "A new launcher was installed; it will be used on the next start" "$work/out" \
  || fail "the new launcher is not announced: $(cat "$work/out")"
sleep 0.5; [ ! -e "$work/started" ] || fail "--no-start started the game client after the hand-over"

# Nobody listens: the connect worker's statuses are printed once, with a count.
port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
echo "$port" > "$work/nobody.port"
fresh_game
run nobody --connect-timeout 4
[ $status -eq 1 ] || fail "nobody listens: exit status $status"
[ "$(grep -v "more status line" "$work/out" | sort | uniq -d | wc -l)" -eq 0 ] \
  || fail "a status printed twice: $(cat "$work/out")"
grep -q "more status lines like the above" "$work/out" || fail "no count of repeats: $(cat "$work/out")"

# A host that cannot be resolved says so.
status=0
"$bin/tarnvale-launcher" --host no-such-host.invalid --game-dir "$work/game" --connect-timeout 2 \
  < /dev/null > "$work/out" 2> "$work/err" || status=$?
[ $status -eq 1 ] && grep -q "host name no-such-host.invalid cannot be resolved" "$work/err" \
  || fail "unresolvable host: $status $(cat "$work/err")"

# The message-table loader's developer messages (code page 949) are shown
# converted, and the path in them with one kind of separator.
fresh_game
rm "$work/game/message.wtf"
run ready --no-start
grep -q "파일이 존재하지 않습니다" "$work/err" || fail "developer message not converted: $(cat "$work/err")"
grep "파일이" "$work/err" | grep -q '\\' && fail "a path with \\ in a message: $(cat "$work/err")"
# So is the installer's, for an archive entry that cannot be created (a folder
# stands in its place), the path before it in the game's code page.
mkdir -p "$work/src2"
printf '[LOGIN]\r\nVersion=1.00.02\r\n' > "$work/src2/config.ini"
printf '\xb5\xd8\xcd\xbc' > "$work/name"
echo "map" > "$work/src2/$(iconv -f CP936 -t UTF-8 "$work/name")"
"$bin/tarnvale-patch" add "$root" 1.0.2 "$work/src2" > /dev/null || fail "publishing 1.0.2"
fresh_game
printf '[LOGIN]\r\nVersion=1.00.01\r\n' > "$work/game/config.ini"
mkdir "$work/game/$(cat "$work/name")"
run update --no-start
[ $status -eq 1 ] || fail "an entry that cannot be created: exit status $status"
grep -q "地图파일을 열수가 없습니다" "$work/err" || fail "installer message not converted: $(cat "$work/err")"
echo "headless exit statuses: ok"
