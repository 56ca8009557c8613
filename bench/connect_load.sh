#!/usr/bin/env bash
# Loads a tarnvale-connect-server with many launchers and prints the figures of
# bench/README.md: answer times at 1 000, 10 000 and 20 000 launchers at once, at
# a steady rate, and with 10 000 connections that never speak held open, plus the
# server's memory.
#   bench/connect_load.sh BUILD_DIR     (configured with -DTARNVALE_BENCH=ON)
# SERVER=path/to/tarnvale-connect-server uses another build of the server.
set -euo pipefail
build=${1:?usage: connect_load.sh BUILD_DIR}
load=$build/bin/bench_connect_load
server=${SERVER:-$build/bin/tarnvale-connect-server}
work=$(mktemp -d)
trap 'kill "${pid:-}" 2>/dev/null || true; rm -rf "$work"' EXIT

# Both sides hold tens of thousands of sockets.
ulimit -n "$(ulimit -Hn)"
echo "open-file limit: $(ulimit -n); $(nproc) cores: $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2)"

# Idle connections stay for the whole run (a long request deadline), answered
# launchers close their own connections, and the log keeps to the counters.
cat > "$work/connect.conf" <<'CONF'
[server]
max_connections = 40000
request_deadline = 600
log_connections = no
status_interval = 0
[partition 1]
name = Bench
address = 127.0.0.1
port = 55901
CONF
start_server() {
  "$server" --bind 127.0.0.1 --port 0 "$work/connect.conf" > "$work/port" 2> "$work/log" &
  pid=$!
  for _ in $(seq 100); do [ -s "$work/port" ] && break; sleep 0.1; done
  port=$(cat "$work/port")
}
stop_server() {
  kill -USR1 "$pid"; sleep 0.3
  grep "status:" "$work/log" | tail -1
  kill "$pid"; wait "$pid" || true
  : > "$work/port"
}

# Each run gets a server of its own, so that its memory figures start afresh.
run() { # title, generator options...
  local title=$1; shift
  echo "== $title"
  start_server
  "$load" --port "$port" --server-pid "$pid" "$@" || echo "(some launchers failed)"
  stop_server
}
run "1 000 launchers at once" --launchers 1000
run "10 000 launchers at once" --launchers 10000
run "20 000 launchers at once" --launchers 20000 --workers 4
run "20 000 launchers at once, each keeping its connection open as launchers do" \
  --launchers 20000 --workers 4 --hold
run "2 000 new launchers per second for 10 s" --launchers 20000 --rate 2000
run "10 000 idle connections held open, 200 new launchers per second for 5 s" \
  --idle 10000 --launchers 1000 --rate 200
grep -m1 "listening" "$work/log"
