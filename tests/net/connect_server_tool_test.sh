#!/usr/bin/env bash
# tarnvale-connect-server: a valid configuration is accepted, bad ones and bad
# arguments fail with a clear message and a non-zero status; what it sends is
# what launchers need.
#   connect_server_tool_test.sh TOOL EXAMPLE_CONFIG FIELD_KEY   (e.g. "0x5E, 0x91, 0x2D")
set -u
tool=$1 example=$2 key=${3:-0x5E, 0x91, 0x2D}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

"$tool" --check "$example" > "$work/out" || fail "--check of the documented example"
grep -q "configuration is valid (answer auto)" "$work/out" || fail "--check output"

expect_error() { # what, expected text, command...
  local what=$1 expected=$2; shift 2
  if "$@" > /dev/null 2> "$work/err"; then fail "$what: exit status 0"; fi
  grep -qF -- "$expected" "$work/err" || { cat "$work/err"; fail "$what: message lacks '$expected'"; }
}
expect_error "missing file" "cannot read $work/nope.conf: does not exist" "$tool" "$work/nope.conf"
expect_error "folder as file" "cannot read $work: is a folder" "$tool" "$work"
# A binary file's bytes are never echoed raw.
printf '[\001\377\033[2J]\n' > "$work/binary.conf"
expect_error "binary file" 'unknown section [\x01\xff\x1b[2J]' "$tool" "$work/binary.conf"
LC_ALL=C grep -q '[^ -~]' "$work/err" && fail "binary bytes echoed: $(od -c "$work/err" | head -3)"
printf '[server]\nanswer = sometimes\n' > "$work/bad.conf"
expect_error "bad answer" "bad.conf: line 2: answer must be" "$tool" "$work/bad.conf"
printf '[partition 1]\naddress = 300.1.1.1\n' > "$work/bad.conf"
expect_error "bad address" "line 2: a partition's address" "$tool" "$work/bad.conf"
printf '[server]\nanswer = http\n' > "$work/bad.conf"
expect_error "incomplete update server" "needs address in [update]" "$tool" "$work/bad.conf"
expect_error "bad --port" "--port needs a number" "$tool" --port 70000 "$example"
expect_error "no config" "usage" "$tool"
expect_error "unknown option" "unknown option --verbose" "$tool" --verbose "$example"
expect_error "bad --bind" "--bind needs a dotted IPv4 address, not localhost" "$tool" --bind localhost "$example"
printf '[update]\naddress = 127.0.0.1:8080\n' > "$work/bad.conf"
expect_error "address with a port" "line 2: address takes the host alone" "$tool" --check "$work/bad.conf"
printf '[partition 1]\nname = smile \360\237\230\200\n' > "$work/bad.conf"
expect_error "partition name outside the code page" "line 2: name: U+1F600 is not a character code page 936" \
  "$tool" --check "$work/bad.conf"
printf '[server]\nanswer = http # for now\n' > "$work/bad.conf"
expect_error "a comment after a value" 'answer must be up-to-date, http, ftp or auto, not "http # for now" (a comment' \
  "$tool" --check "$work/bad.conf"
# What Windows editors write: a byte-order mark first.
{ printf '\357\273\277'; cat "$example"; } > "$work/bom.conf"
"$tool" --check "$work/bom.conf" > /dev/null || fail "a configuration with a byte-order mark"

# Following what is published: answer = auto learns the newest version from the
# version file, says when current_version is behind it, and follows a new one.
printf '"1.0.1"\n"1.0.2"\n' > "$work/version.wvd"
printf '[server]\nanswer = auto\ncurrent_version = 1.0.1\npublished_version_file = %s\n[update]\naddress = 127.0.0.1\nport = 8080\nversion_file = version.wvd\n' \
  "$work/version.wvd" > "$work/published.conf"
"$tool" --check "$work/published.conf" > "$work/out" || fail "--check with a published version file"
grep -q "current_version 1.0.1 is behind it: launchers below 1.0.2 are sent to update" "$work/out" \
  || fail "--check names the published version: $(cat "$work/out")"
grep -q "FTP updates" "$work/out" && fail "--check of an HTTP-only configuration names an FTP target"
"$tool" --port 0 "$work/published.conf" > "$work/port" 2> "$work/log" &
server=$!
for _ in $(seq 50); do grep -q "published version 1.0.2" "$work/log" && break; sleep 0.1; done
printf '"1.0.3"\n' >> "$work/version.wvd"
for _ in $(seq 50); do grep -q "published version 1.0.3" "$work/log" && break; sleep 0.1; done
kill "$server"; wait "$server" 2>/dev/null
grep -q "published version 1.0.3" "$work/log" || fail "a newly published version: $(cat "$work/log")"
head -c 2000000 /dev/zero > "$work/version.wvd"
expect_error "a published version file far too large" "not a version file" \
  "$tool" --check "$work/published.conf"

# An address this machine does not have is named in the error.
expect_error "foreign --bind" "cannot listen on 192.0.2.1 port" "$tool" --bind 192.0.2.1 --port 0 "$example"

# A port that is taken is reported, not ignored.
python3 - "$tool" "$example" <<'PY' || fail "taken port"
import socket, subprocess, sys
s = socket.socket(); s.bind(("127.0.0.1", 0)); s.listen(1)
port = s.getsockname()[1]
r = subprocess.run([sys.argv[1], "--bind", "127.0.0.1", "--port", str(port), sys.argv[2]],
                   capture_output=True, text=True, timeout=10)
sys.exit(0 if r.returncode != 0 and "cannot listen on 127.0.0.1 port %d" % port in r.stderr else 1)
PY

# --check tells where launchers will go; HTTP carries a port other than 80 in the
# address field, since launchers reach HTTP servers by the address alone.
"$tool" --check "$example" > "$work/out" || fail "--check"
grep -q "HTTP updates: http://127.0.0.1:8080/version.wvd" "$work/out" || fail "HTTP target: $(cat "$work/out")"

# What a launcher receives: the partition names (UTF-8 in the file) in code page
# 936, escaped bytes as they are, and the HTTP update server with its port.
cat > "$work/live.conf" <<'CONF'
[server]
answer = http
[update]
address = 127.0.0.1
port = 8080
version_file = version.wvd
[partition 1]
name = 天龙 一区
address = 127.0.0.1
port = 55901
[partition 2]
name = "\xb5\xc7 two"
address = 127.0.0.1
port = 55902
CONF
"$tool" --bind 127.0.0.1 --port 0 "$work/live.conf" > "$work/port" 2> "$work/log" &
server=$!
trap 'kill $server 2>/dev/null; rm -rf "$work"' EXIT
for _ in $(seq 100); do [ -s "$work/port" ] && break; sleep 0.1; done
python3 - "$(cat "$work/port")" "$key" <<'PY' || fail "what the launcher receives"
import socket, sys
port, key = int(sys.argv[1]), [int(k, 16) for k in sys.argv[2].split(",")]
s = socket.create_connection(("127.0.0.1", port), timeout=10)
data = b""
def packet():
    global data
    while True:
        if len(data) >= 3:
            size = data[1] if data[0] == 0xC1 else data[1] << 8 | data[2]
            if len(data) >= size:
                p, data = data[:size], data[size:]
                return p
        data += s.recv(4096)
assert packet()[2] == 0  # Welcome
s.sendall(bytes([0xC1, 3, 9, 0xC1, 6, 4, 1, 0, 0]))
names = packet()
assert names[3] == 9, names[:4]
entry = lambda i: names[4 + 50 * i: 4 + 50 * (i + 1)]
assert entry(0)[:32].rstrip(b"\0") == "天龙 一区".encode("gbk"), entry(0)
assert entry(1)[:32].rstrip(b"\0") == bytes([0xB5, 0xC7]) + b" two", entry(1)
info = packet()
assert info[2] == 4, info[:4]
address = bytes(b ^ key[i % 3] for i, b in enumerate(info[6:106])).rstrip(b"\0")
assert address == b"127.0.0.1:8080", address
PY
grep -q "answered HTTP update information (4): http://127.0.0.1:8080/version.wvd" "$work/log" \
  || fail "the log names the real target: $(cat "$work/log")"
echo "all connect-server tool checks passed"
