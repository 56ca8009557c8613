#!/usr/bin/env bash
# connect_waits_test.sh BIN: the headless launcher against connect servers that
# misbehave after accepting the connection (silent, closing at once, sending only
# packets that are no answer), a second launcher on the same game folder, and an
# update server without a version file. Every run must end within its limit with
# exit status 1 and say on stderr what happened; a failed road names its cause
# beside the player's text.
set -u
road=http bin=$1
top=$(cd "$(dirname "$0")/../.." && pwd)
fail() { echo "FAIL: $*"; exit 1; }
. "$top/tests/e2e/road_fixture.sh"
game=$work/game
cp -a "$template" "$game"

# A connect server that accepts and then does what $1 says: "silent", "close", or
# "noise" (a packet of a type the launcher ignores, again and again). Sets $port.
rogue() {
  rm -f "$work/rogue.port"
  /usr/bin/python3 - "$1" "$work/rogue.port" <<'PY' &
import os, socket, sys, threading, time
mode, port_file = sys.argv[1], sys.argv[2]
server = socket.socket()
server.bind(("127.0.0.1", 0))
server.listen()
with open(port_file + ".tmp", "w") as f:
    f.write(str(server.getsockname()[1]))
os.replace(port_file + ".tmp", port_file)
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
  fixture_pids+=($!)
  for _ in $(seq 100); do [ -s "$work/rogue.port" ] && break; sleep 0.1; done
  port=$(cat "$work/rogue.port")
}

for mode in silent noise; do
  rogue $mode
  wait_seconds=2 launch "$game"
  [ "$status" -eq 1 ] || fail "$mode connect server: exit status $status: $(cat "$work/err")"
  grep -q "sent no answer within 2 s" "$work/err" || fail "$mode: $(cat "$work/err")"
done

# One game folder, one launcher: a second one started with another environment
# (so another runtime folder for its single-instance lock) shows text 127 and
# ends, while the first goes on waiting.
rogue silent
"$bin/tarnvale-launcher" --host 127.0.0.1 --port "$port" --game-dir "$game" --partition 1 \
  --no-start --connect-timeout 8 < /dev/null > "$work/first.out" 2> "$work/first.err" &
first=$!
sleep 1
mkdir -p "$work/elsewhere"
XDG_RUNTIME_DIR=$work/elsewhere wait_seconds=8 launch "$game"
[ "$status" -eq 1 ] || fail "second launcher on one game folder: exit status $status"
grep -q "The launcher is already running" "$work/err" || fail "second launcher: $(cat "$work/err")"
kill -0 $first 2>/dev/null || fail "the first launcher ended: $(cat "$work/first.err")"
wait $first

rogue close
launch "$game"
[ "$status" -eq 1 ] || fail "closing connect server: exit status $status: $(cat "$work/err")"
grep -q "closed the connection before answering" "$work/err" || fail "closing: $(cat "$work/err")"

# An HTTP update server without a version file: the player's text and the URL
# with the server's answer.
unset port
rm "$root/version.wvd"
launch "$game"
[ "$status" -eq 1 ] || fail "missing version file: exit status $status"
grep -q "http://127.0.0.1:$http_port/version.wvd?time=.*404" "$work/err" \
  || fail "missing version file: $(cat "$work/err")"
echo "connect waits: ok"
