#!/usr/bin/env bash
# headless_test.sh ROAD BIN: runs the demo over ROAD with the programs in BIN, then
# the headless launcher's failure paths.
set -u
road=$1 bin=$2
top=$(cd "$(dirname "$0")/../.." && pwd)
fail() { echo "FAIL: $*"; exit 1; }

args=(--bin "$bin")
[ "$road" = ftp ] && args+=(--ftp)
out=$("$top/scripts/demo" "${args[@]}" 2>&1) || { echo "$out"; fail "the demo over $road"; }
grep -q "registry: address 127.0.0.1 port 55901" <<<"$out" || { echo "$out"; fail "game client output"; }
grep -q "Version=1.00.03" <<<"$out" || { echo "$out"; fail "the newest version is installed"; }
[ "$road" = ftp ] && exit 0 # the failure paths below do not depend on the road

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export XDG_CONFIG_HOME=$work/config XDG_RUNTIME_DIR=$work
mkdir -p "$work/game"
cp "$bin/message.wtf" "$work/game/"

# Nobody listens: exit status 1 after the timeout, saying the port refuses.
port=$(/usr/bin/python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
status=0
"$bin/tarnvale-launcher" --host 127.0.0.1 --port "$port" --game-dir "$work/game" \
  --connect-timeout 2 > "$work/out" 2> "$work/err" || status=$?
[ $status -eq 1 ] || fail "unreachable connect server: exit status $status"
grep -q "refused the connection: nothing listens on that port" "$work/err" \
  || fail "unreachable: $(cat "$work/err")"

# Up to date, a closed partition: exit status 3; --no-start: 0.
cat > "$work/connect.conf" <<CONF
[server]
answer = up-to-date
[partition 1]
name = Open
address = 127.0.0.1
port = 55901
[partition 2]
name = Closed
address = 127.0.0.1
port = 0
CONF
"$bin/tarnvale-connect-server" --port 0 "$work/connect.conf" > "$work/port" 2> /dev/null &
server=$!
trap 'kill $server 2>/dev/null; rm -rf "$work"' EXIT
for _ in $(seq 100); do [ -s "$work/port" ] && break; sleep 0.1; done
run() { "$bin/tarnvale-launcher" --host 127.0.0.1 --port "$(cat "$work/port")" \
  --game-dir "$work/game" "$@" < /dev/null > "$work/out" 2> "$work/err"; }
status=0; run --partition 2 || status=$?
[ $status -eq 3 ] || fail "closed partition: exit status $status"
grep -q "partition 2 cannot be chosen" "$work/err" || fail "closed partition: $(cat "$work/err")"
status=0; run || status=$?
[ $status -eq 3 ] || fail "no partition and no terminal: exit status $status"
grep -q "pass --partition" "$work/err" || fail "no partition: $(cat "$work/err")"
status=0; run --partition 1 --no-start || status=$?
[ $status -eq 0 ] || fail "--no-start: exit status $status: $(cat "$work/err")"
grep -q "Ready to play" "$work/out" || fail "--no-start output"
status=0; run --bogus || status=$?
[ $status -eq 2 ] || fail "unknown option: exit status $status"
echo "e2e ($road): ok"
