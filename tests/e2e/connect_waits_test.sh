#!/usr/bin/env bash
# connect_waits_test.sh BIN: the headless launcher against connect servers that
# misbehave after accepting the connection (silent, closing at once, sending only
# packets that are no answer), a second launcher on the same game folder, and an
# update server without a version file. Every run must end within its limit with exit status 1 and say on stderr
# what happened; a failed road names its cause beside the player's text.
set -u
bin=$1
top=$(cd "$(dirname "$0")/../.." && pwd)
fail() { echo "FAIL: $*"; exit 1; }

work=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; done
  "$top/tests/support/loopback_servers.sh" stop "$work/servers" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
export XDG_CONFIG_HOME=$work/config XDG_RUNTIME_DIR=$work
mkdir -p "$work/game"
cp "$bin/message.wtf" "$work/game/"

# A connect server that accepts and then does what $1 says: "silent", "close", or
# "noise" (a packet of a type the launcher ignores, again and again).
rogue() {
  /usr/bin/python3 - "$1" "$work/rogue.port" <<'PY' &
import socket, sys, threading, time
mode, port_file = sys.argv[1], sys.argv[2]
server = socket.socket()
server.bind(("127.0.0.1", 0))
server.listen()
with open(port_file + ".tmp", "w") as f:
    f.write(str(server.getsockname()[1]))
import os; os.replace(port_file + ".tmp", port_file)
def serve(conn):
    if mode == "close":
        conn.close()
        return
    try:
        while True:
            if mode == "noise":
                conn.sendall(bytes([0xC1, 0x04, 0x77, 0x00]))
            time.sleep(0.2)
    except OSError:
        pass
while True:
    conn, _ = server.accept()
    threading.Thread(target=serve, args=(conn,), daemon=True).start()
PY
  pids+=($!)
  for _ in $(seq 100); do [ -s "$work/rogue.port" ] && break; sleep 0.1; done
}

run() { # port, options...
  local port=$1; shift
  status=0
  timeout 60 "$bin/tarnvale-launcher" --host 127.0.0.1 --port "$port" --game-dir "$work/game" \
    --partition 0 --no-start "$@" < /dev/null > "$work/out" 2> "$work/err" || status=$?
}

for mode in silent noise; do
  rm -f "$work/rogue.port"
  rogue $mode
  run "$(cat "$work/rogue.port")" --connect-timeout 2
  [ $status -eq 1 ] || fail "$mode connect server: exit status $status: $(cat "$work/err")"
  grep -q "sent no answer within 2 s" "$work/err" || fail "$mode: $(cat "$work/err")"
  kill "${pids[-1]}" 2>/dev/null
done

# One game folder, one launcher: a second one started with another environment
# (so another runtime folder for its single-instance lock) shows text 127 and
# ends, while the first goes on waiting.
rm -f "$work/rogue.port"
rogue silent
port=$(cat "$work/rogue.port")
timeout 60 "$bin/tarnvale-launcher" --host 127.0.0.1 --port "$port" --game-dir "$work/game" \
  --partition 0 --no-start --connect-timeout 8 < /dev/null > "$work/first.out" 2> "$work/first.err" &
first=$!
sleep 1
mkdir -p "$work/elsewhere"
XDG_RUNTIME_DIR=$work/elsewhere run "$port" --connect-timeout 8
[ $status -eq 1 ] || fail "second launcher on one game folder: exit status $status"
grep -q "The launcher is already running" "$work/err" || fail "second launcher: $(cat "$work/err")"
kill -0 $first 2>/dev/null || fail "the first launcher ended: $(cat "$work/first.err")"
wait $first
kill "${pids[-1]}" 2>/dev/null

rm -f "$work/rogue.port"
rogue close
run "$(cat "$work/rogue.port")" --connect-timeout 30
[ $status -eq 1 ] || fail "closing connect server: exit status $status: $(cat "$work/err")"
grep -q "closed the connection before answering" "$work/err" || fail "closing: $(cat "$work/err")"

# An HTTP update server without a version file: the player's text and the URL
# with the server's answer.
"$top/tests/support/loopback_servers.sh" start "$work/servers" > /dev/null || fail "servers"
. "$work/servers/servers.txt"
cat > "$work/connect.conf" <<CONF
[server]
answer = http
[update]
address = 127.0.0.1:$http_port
port = $http_port
version_file = version.wvd
[partition 1]
name = Open
address = 127.0.0.1
port = 55901
CONF
"$bin/tarnvale-connect-server" --port 0 "$work/connect.conf" > "$work/connect.port" 2> /dev/null &
pids+=($!)
for _ in $(seq 100); do [ -s "$work/connect.port" ] && break; sleep 0.1; done
run "$(cat "$work/connect.port")"
[ $status -eq 1 ] || fail "missing version file: exit status $status"
grep -q "http://127.0.0.1:$http_port/version.wvd?time=.*404" "$work/err" \
  || fail "missing version file: $(cat "$work/err")"
echo "connect waits: ok"
