#!/usr/bin/env bash
# signed_headless_test.sh ROAD BIN: the headless launcher built with a test
# operator key (tarnvale-launcher-keyed) against a signed server over ROAD: it
# installs the signed versions, then refuses a tampered one, names the cause on
# standard error and keeps the version before it.
set -u
road=$1 bin=$2
top=$(cd "$(dirname "$0")/../.." && pwd)
key=$top/tests/e2e/signed-test.key
fail() { echo "FAIL: $*"; exit 1; }
work=$(mktemp -d /tmp/tarnvale-signed.XXXXXX)
server=
cleanup() {
  [ -n "$server" ] && kill "$server" 2>/dev/null
  "$top/tests/support/loopback_servers.sh" stop "$work/servers" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
export XDG_CONFIG_HOME=$work/config XDG_RUNTIME_DIR=$work

"$top/tests/support/loopback_servers.sh" start "$work/servers" > /dev/null || fail "servers"
. "$work/servers/servers.txt"
src=$work/src
for n in 1 2; do
  mkdir -p "$src/$n/data"
  printf '[LOGIN]\r\nVersion=1.00.0%s\r\n' $n > "$src/$n/config.ini"
  echo "read me: 1.0.$n" > "$src/$n/readme.txt"
done
echo "items" > "$src/2/data/items.txt"
"$bin/tarnvale-patch" init "$root" > /dev/null
"$bin/tarnvale-patch" add "$root" 1.0.1 "$src/1" --sign "$key" > /dev/null || fail "add 1.0.1"

. "$top/tests/e2e/connect-config.sh"
start_server() { # [VERSION_FILE]
  [ -n "$server" ] && kill "$server" 2>/dev/null && wait "$server" 2>/dev/null
  connect_config "$road" "${1:-}" > "$work/connect.conf"
  rm -f "$work/port"
  "$bin/tarnvale-connect-server" --port 0 "$work/connect.conf" > "$work/port" 2> /dev/null &
  server=$!
  for _ in $(seq 100); do [ -s "$work/port" ] && break; sleep 0.1; done
}
start_server
mkdir -p "$work/game"
cp "$bin/message.wtf" "$work/game/"
printf '[LOGIN]\r\nVersion=1.00.00\r\n' > "$work/game/config.ini"
run() { "$bin/tarnvale-launcher-keyed" --host 127.0.0.1 --port "$(cat "$work/port")" \
  --game-dir "$work/game" --partition 1 --no-start < /dev/null > "$work/out" 2> "$work/err"; }

status=0; run || status=$?
[ $status -eq 0 ] || fail "signed server over $road: exit status $status: $(cat "$work/err")"
grep -q "1.0.1" "$work/game/readme.txt" || fail "1.0.1 not installed"

cp "$root/version.wvd" "$work/old.wvd"
cp "$root/version.wvd.sig" "$work/old.wvd.sig"
"$bin/tarnvale-patch" add "$root" 1.0.2 "$src/2" --sign "$key" > /dev/null || fail "add 1.0.2"
status=0; run || status=$?
[ $status -eq 0 ] && [ -e "$work/game/data/items.txt" ] || fail "1.0.2 over $road: $status"

# A connect server that names the version file after a file of the game folder
# only chooses what is requested: the local file is neither deleted nor written.
for name in config.ini message._tf; do
  start_server "$name"
  [ "$name" = message._tf ] && cp "$root/version.wvd" "$root/$name" &&
    cp "$root/version.wvd.sig" "$root/$name.sig"
  cp "$work/game/config.ini" "$work/config.before"
  run
  cmp -s "$work/game/config.ini" "$work/config.before" || fail "$name over $road: config.ini changed"
  [ ! -e "$work/game/message._tf" ] || fail "$name over $road: a waiting message table was left"
  [ -z "$(find "$work/game" -name '*.~tv*')" ] || fail "$name over $road: staging files left"
done
start_server

# An older signed version file, replayed after config.ini was lost, is refused.
cp "$root/version.wvd" "$work/new.wvd"
cp "$root/version.wvd.sig" "$work/new.wvd.sig"
cp "$work/old.wvd" "$root/version.wvd"
cp "$work/old.wvd.sig" "$root/version.wvd.sig"
mv "$work/game/config.ini" "$work/config.kept"
status=0; run || status=$?
[ $status -eq 1 ] && grep -q "rolled back version file" "$work/err" \
  || fail "replayed version file over $road: $status $(cat "$work/err")"
grep -q "1.0.2" "$work/game/readme.txt" || fail "1.0.2 not kept after a replay"
mv "$work/config.kept" "$work/game/config.ini"
cp "$work/new.wvd" "$root/version.wvd"
cp "$work/new.wvd.sig" "$root/version.wvd.sig"

# 1.0.3, signed, then one byte of its archive changed on the server.
mkdir -p "$src/3"
printf '[LOGIN]\r\nVersion=1.00.03\r\n' > "$src/3/config.ini"
echo "read me: 1.0.3" > "$src/3/readme.txt"
echo "new" > "$src/3/new.txt"
"$bin/tarnvale-patch" add "$root" 1.0.3 "$src/3" --sign "$key" > /dev/null || fail "add 1.0.3"
printf X | dd of="$root/1.0.3/up_list.zip" bs=1 seek=40 conv=notrunc 2> /dev/null
status=0; run || status=$?
[ $status -eq 1 ] || fail "tampered archive over $road: exit status $status"
grep -q "(hash mismatch: up_list.zip)" "$work/err" || fail "the cause: $(cat "$work/err")"
grep -q "1.0.2" "$work/game/readme.txt" || fail "1.0.2 not kept"
[ ! -e "$work/game/new.txt" ] || fail "a file of the refused version was installed"

# Without its signature the version file is refused, never read unsigned.
rm "$root/version.wvd.sig"
status=0; run || status=$?
[ $status -eq 1 ] && grep -q "missing signature: version.wvd.sig" "$work/err" \
  || fail "unsigned version file over $road: $status $(cat "$work/err")"
echo "signed e2e ($road): ok"
