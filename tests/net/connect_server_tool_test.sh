#!/usr/bin/env bash
# tarnvale-connect-server: a valid configuration is accepted, bad ones and bad
# arguments fail with a clear message and a non-zero status.
set -u
tool=$1 example=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

"$tool" --check "$example" > "$work/out" || fail "--check of the documented example"
grep -q "configuration is valid (answer auto)" "$work/out" || fail "--check output"

expect_error() { # what, expected text, command...
  local what=$1 expected=$2; shift 2
  if "$@" > /dev/null 2> "$work/err"; then fail "$what: exit status 0"; fi
  grep -q -- "$expected" "$work/err" || { cat "$work/err"; fail "$what: message lacks '$expected'"; }
}
expect_error "missing file" "cannot read" "$tool" "$work/nope.conf"
printf '[server]\nanswer = sometimes\n' > "$work/bad.conf"
expect_error "bad answer" "bad.conf: line 2: answer must be" "$tool" "$work/bad.conf"
printf '[partition 1]\naddress = 300.1.1.1\n' > "$work/bad.conf"
expect_error "bad address" "line 2: a partition's address" "$tool" "$work/bad.conf"
printf '[server]\nanswer = http\n' > "$work/bad.conf"
expect_error "incomplete update server" "needs address in \[update\]" "$tool" "$work/bad.conf"
expect_error "bad --port" "--port needs a number" "$tool" --port 70000 "$example"
expect_error "no config" "usage" "$tool"
expect_error "unknown option" "usage" "$tool" --verbose "$example"

# A port that is taken is reported, not ignored.
python3 - "$tool" "$example" <<'PY' || fail "taken port"
import socket, subprocess, sys
s = socket.socket(); s.bind(("127.0.0.1", 0)); s.listen(1)
port = s.getsockname()[1]
r = subprocess.run([sys.argv[1], "--bind", "127.0.0.1", "--port", str(port), sys.argv[2]],
                   capture_output=True, text=True, timeout=10)
sys.exit(0 if r.returncode != 0 and "cannot listen on port" in r.stderr else 1)
PY
echo "all connect-server tool checks passed"
