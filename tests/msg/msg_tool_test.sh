#!/usr/bin/env bash
# tarnvale-msg: dump of build gives the source back; bad input fails clearly.
set -u
tool=$1 source=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

"$tool" build "$source" "$work/m.wtf" || fail "build of the default texts"
"$tool" dump "$work/m.wtf" > "$work/dump.txt" || fail "dump"
cmp -s "$source" "$work/dump.txt" || fail "dump of build differs from the source"

printf '5\tone\\ttab\\nline \\\\ slash \xb5\xc7\n-3\t\n32767\tlast\n' > "$work/escapes.txt"
"$tool" build "$work/escapes.txt" "$work/e.wtf" && "$tool" dump "$work/e.wtf" > "$work/e.txt" \
  && cmp -s "$work/escapes.txt" "$work/e.txt" || fail "escapes, empty text and edge identifiers"

expect_error() { # what, command...
  local what=$1; shift
  if "$@" > /dev/null 2> "$work/err"; then fail "$what: exit status 0"; fi
  grep -q . "$work/err" || fail "$what: no error message"
}
expect_error "missing source" "$tool" build "$work/nope.txt" "$work/x.wtf"
printf 'abc\tx\n' > "$work/bad.txt"; expect_error "bad identifier" "$tool" build "$work/bad.txt" "$work/x.wtf"
printf '12 no tab\n' > "$work/bad.txt"; expect_error "missing tab" "$tool" build "$work/bad.txt" "$work/x.wtf"
printf '40000\tx\n' > "$work/bad.txt"; expect_error "identifier range" "$tool" build "$work/bad.txt" "$work/x.wtf"
printf '1\tbad \\q\n' > "$work/bad.txt"; expect_error "unknown escape" "$tool" build "$work/bad.txt" "$work/x.wtf"
[ ! -e "$work/x.wtf" ] || fail "a failed build left an output file"
expect_error "missing file" "$tool" dump "$work/nope.wtf"
printf 'XX' > "$work/bad.wtf"; expect_error "bad header" "$tool" dump "$work/bad.wtf"
head -c 40 "$work/m.wtf" > "$work/short.wtf"; expect_error "truncated file" "$tool" dump "$work/short.wtf"
expect_error "usage" "$tool" frobnicate
echo "msg_tool: ok"
