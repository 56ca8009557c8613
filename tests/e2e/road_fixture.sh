# Sourced by the end-to-end fault tests: an update server on loopback with
# versions of every form, the reference connect server answering for one road,
# and a game folder at 1.0.0 to copy. Needs $bin (the programs), $top (the
# repository) and $road (http or ftp); sets $work, $template and $connect_port
# and stops everything it started on exit.
work=$(mktemp -d /tmp/tarnvale-e2e.XXXXXX)
fixture_pids=()
fixture_cleanup() {
  for pid in "${fixture_pids[@]}"; do kill "$pid" 2>/dev/null; done
  "$top/tests/support/loopback_servers.sh" stop "$work/servers" 2>/dev/null
  rm -rf "$work"
}
trap fixture_cleanup EXIT
export XDG_CONFIG_HOME=$work/config XDG_RUNTIME_DIR=$work

"$top/tests/support/loopback_servers.sh" start "$work/servers" > /dev/null || exit 1
. "$work/servers/servers.txt"

# Versions: over FTP one file by file, one packed file by file into mirrored
# folders, one archive; over HTTP every version is an archive.
src=$work/src
mkdir -p "$src/1/data/maps" "$src/2/data" "$src/3"
echo "the northern map" > "$src/1/data/maps/north.map"
echo "read me: 1.0.1" > "$src/1/readme.txt"
echo "items of 1.0.1" > "$src/1/data/items.txt"
head -c 20000 /dev/zero | tr '\0' 'x' > "$src/2/data/items.txt"
echo "notes of 1.0.2" > "$src/2/notes.txt"
echo "read me: 1.0.3" > "$src/3/readme.txt"
printf '[LOGIN]\r\nVersion=1.00.03\r\n' > "$src/3/config.ini"
"$bin/tarnvale-patch" init "$root" > /dev/null
if [ "$road" = ftp ]; then
  "$bin/tarnvale-patch" add "$root" 1.0.1 "$src/1" --files > /dev/null
  "$bin/tarnvale-patch" add "$root" 1.0.2 "$src/2" --files --compressed --mirror > /dev/null
else
  printf '[LOGIN]\r\nVersion=1.00.01\r\n' > "$src/1/config.ini"
  printf '[LOGIN]\r\nVersion=1.00.02\r\n' > "$src/2/config.ini"
  "$bin/tarnvale-patch" add "$root" 1.0.1 "$src/1" --remove old-notes.txt > /dev/null
  "$bin/tarnvale-patch" add "$root" 1.0.2 "$src/2" > /dev/null
fi
"$bin/tarnvale-patch" add "$root" 1.0.3 "$src/3" --remove old-notes.txt > /dev/null

. "$top/tests/e2e/connect-config.sh"
connect_config "$road" > "$work/connect.conf"
"$bin/tarnvale-connect-server" --port 0 "$work/connect.conf" > "$work/connect.port" \
  2> /dev/null &
fixture_pids+=($!)
for _ in $(seq 100); do [ -s "$work/connect.port" ] && break; sleep 0.1; done
connect_port=$(cat "$work/connect.port")

template=$work/template
mkdir -p "$template/data"
cp "$bin/message.wtf" "$template/"
printf '[LOGIN]\r\nVersion=1.00.00\r\n' > "$template/config.ini"
echo "notes of 1.0.0" > "$template/old-notes.txt"
echo "items of 1.0.0" > "$template/data/items.txt"

# launch GAME [wrapper...]: runs the headless launcher in GAME up to "ready to
# play", under the wrapper if one is given, against the connect server on
# ${port:-$connect_port} with --connect-timeout ${wait_seconds:-30}; sets $status.
launch() {
  local game=$1; shift
  # The shell that waits reports a killed child on its own standard error; this
  # one's goes nowhere.
  status=$( { "$@" "$bin/tarnvale-launcher" --host 127.0.0.1 --port "${port:-$connect_port}" \
    --game-dir "$game" --partition 1 --no-start --connect-timeout "${wait_seconds:-30}" \
    < /dev/null > "$work/out" 2> "$work/err"; echo $?; } 2> /dev/null)
}

# tree GAME: every folder and file of GAME with the files' checksums, sorted.
tree() {
  (cd "$1" && find . -mindepth 1 \( -type d -printf 'd %p\n' \) -o \( -type f -printf 'f %p\n' \) \
    | sort | while read -r kind path; do
      if [ "$kind" = f ]; then echo "f $path $(md5sum < "$path" | cut -c1-32)"; else echo "d $path"; fi
    done)
}
