#!/usr/bin/env bash
# operator_servers_test.sh SERVER BIN: the sample update-server configuration of
# docs/servers/ for SERVER (nginx or vsftpd), run by the real server from that
# very file (only its port and folder changed), serving a root that
# tarnvale-patch published; the headless launcher updates through it from 1.0.0
# to the newest version.
set -u
server=$1 bin=$2
top=$(cd "$(dirname "$0")/../.." && pwd)
fail() { echo "FAIL: $*"; exit 1; }
command -v "/usr/sbin/$server" > /dev/null || fail "$server is not installed (scripts/install-deps)"
# Both drop privileges to serve, and vsftpd refuses to start unless it can.
[ "$(id -u)" = 0 ] || { echo "SKIP: $server needs root to start as configured"; exit 0; }
work=$(mktemp -d /tmp/tarnvale-servers.XXXXXX)
chmod 755 "$work" # the servers read the root as an unprivileged user
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null; done
  rm -rf "$work"
}
trap cleanup EXIT
export XDG_CONFIG_HOME=$work/config XDG_RUNTIME_DIR=$work
free_port() {
  /usr/bin/python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])'
}
# listening PORT PID: waits until PORT accepts connections (0), or PID has ended
# (1): the port was taken after free_port chose it, and the server gave up.
listening() {
  for _ in $(seq 100); do
    (exec 3<> "/dev/tcp/127.0.0.1/$1") 2> /dev/null && return 0
    kill -0 "$2" 2> /dev/null || return 1
    sleep 0.1
  done
  cat "$work/server.log"; fail "$server does not listen on $1"
}

# The root: over FTP a file-by-file version before a packed one, over HTTP two
# packed ones; the first removes a file players have.
root=$work/root src=$work/src
"$bin/tarnvale-patch" init "$root" > /dev/null
mkdir -p "$src/1/data/maps" "$src/2"
echo "the northern map" > "$src/1/data/maps/north.map"
printf '[LOGIN]\r\nVersion=1.00.02\r\n' > "$src/2/config.ini"
echo "read me: 1.0.2" > "$src/2/readme.txt"
if [ "$server" = vsftpd ]; then
  road=ftp
  "$bin/tarnvale-patch" add "$root" 1.0.1 "$src/1" --files --compressed --mirror > /dev/null 2>&1
else
  road=http
  printf '[LOGIN]\r\nVersion=1.00.01\r\n' > "$src/1/config.ini"
  "$bin/tarnvale-patch" add "$root" 1.0.1 "$src/1" --remove old-notes.txt > /dev/null
fi
"$bin/tarnvale-patch" add "$root" 1.0.2 "$src/2" > /dev/null || fail "publishing"
"$bin/tarnvale-patch" check "$root" --road $road > /dev/null || fail "check --road $road"

# start_server PORT: the server from its docs file, listening on PORT.
start_server() {
  port=$1
  if [ "$server" = nginx ]; then
    sed -e "s|listen 80;|listen 127.0.0.1:$port;|" -e "s|root /srv/tarnvale-update;|root $root;|" \
      "$top/docs/servers/nginx-tarnvale-update.conf" > "$work/site.conf"
    cat > "$work/nginx.conf" <<CONF
daemon off;
pid $work/nginx.pid;
events { worker_connections 64; }
http {
  access_log $work/access.log;
  client_body_temp_path $work/body;
  proxy_temp_path $work/proxy;
  include $work/site.conf;
}
CONF
    /usr/sbin/nginx -p "$work" -c "$work/nginx.conf" -e "$work/error.log" > "$work/server.log" 2>&1 &
    pids+=($!)
    http_port=$port
  else
    pasv=$(free_port)
    mkdir -p "$work/empty"
    sed -e "s|^listen_port=21$|listen_port=$port|" -e "s|^anon_root=.*|anon_root=$root|" \
      -e "s|^pasv_min_port=.*|pasv_min_port=$pasv|" -e "s|^pasv_max_port=.*|pasv_max_port=$((pasv + 10))|" \
      -e "s|^secure_chroot_dir=.*|secure_chroot_dir=$work/empty|" \
      -e "s|^xferlog_enable=.*|xferlog_enable=NO|" \
      "$top/docs/servers/vsftpd-tarnvale-update.conf" > "$work/vsftpd.conf"
    /usr/sbin/vsftpd "$work/vsftpd.conf" > "$work/server.log" 2>&1 &
    pids+=($!)
    ftp_port=$port user=anonymous password=guest
  fi
}
for attempt in 1 2 3; do
  start_server "$(free_port)"
  listening "$port" "${pids[-1]}" && break
  [ $attempt -lt 3 ] || { cat "$work/server.log"; fail "$server did not start"; }
done

. "$top/tests/e2e/connect-config.sh"
connect_config $road > "$work/connect.conf"
"$bin/tarnvale-connect-server" --port 0 "$work/connect.conf" > "$work/connect.port" 2> /dev/null &
pids+=($!)
for _ in $(seq 100); do [ -s "$work/connect.port" ] && break; sleep 0.1; done

# A starting game folder as the docs make one; the game client is started.
game=$work/game
"$top/scripts/new-game-folder" "$game" --bin "$bin" > /dev/null || fail "new-game-folder"
echo "notes of 1.0.0" > "$game/old-notes.txt"
status=0
"$bin/tarnvale-launcher" --host 127.0.0.1 --port "$(cat "$work/connect.port")" --game-dir "$game" \
  --partition 1 --connect-timeout 30 < /dev/null > "$work/out" 2> "$work/err" || status=$?
# The game client outlives the launcher that started it.
for _ in $(seq 50); do grep -q "parameters agree" "$work/out" && break; sleep 0.1; done
[ $status -eq 0 ] && grep -q "parameters agree" "$work/out" \
  || { cat "$work/out" "$work/err" "$work/server.log"; fail "update through $server: exit status $status"; }
grep -q "Version=1.00.02" "$game/config.ini" || fail "$server: config.ini $(cat "$game/config.ini")"
cmp -s "$src/1/data/maps/north.map" "$game/data/maps/north.map" || fail "$server: 1.0.1's file"
cmp -s "$src/2/readme.txt" "$game/readme.txt" || fail "$server: 1.0.2's file"
if [ $road = http ]; then
  [ ! -e "$game/old-notes.txt" ] || fail "nginx: the removal of 1.0.1"
  # A file the server lacks: the 404 alone, no progress of its error page.
  status=0
  "$bin/tarnvale-fetch" "http://127.0.0.1:$port/1.0.9/list.inf" "$work/fetched" 2> "$work/err" || status=$?
  [ $status -eq 1 ] && grep -q 404 "$work/err" && ! grep -q "bytes" "$work/err" \
    || fail "tarnvale-fetch of a missing file: $status $(cat "$work/err")"
fi
echo "$server: ok"
