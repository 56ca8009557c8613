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

# A source saved with Windows line ends gives the same table as with Unix ones.
sed 's/$/\r/' "$work/escapes.txt" > "$work/crlf.txt"
"$tool" build "$work/crlf.txt" "$work/crlf.wtf" && cmp -s "$work/e.wtf" "$work/crlf.wtf" \
  || fail "a CRLF source leaves carriage returns in the texts"
# A carriage return that is wanted is written \r, and dump gives it back so.
printf '7\tkeep\\r\n' > "$work/cr.txt"
"$tool" build "$work/cr.txt" "$work/cr.wtf" && "$tool" dump "$work/cr.wtf" > "$work/cr.out" \
  && cmp -s "$work/cr.txt" "$work/cr.out" || fail "an escaped carriage return"

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
printf '5\tone\n6\tsix\n5\tfive\n' > "$work/bad.txt"
expect_error "duplicate identifier" "$tool" build "$work/bad.txt" "$work/x.wtf"
grep -q "bad.txt:3: identifier 5 is already defined on line 1" "$work/err" || fail "duplicate: $(cat "$work/err")"
expect_error "unreadable source" "$tool" build "$work" "$work/x.wtf"
grep -q "cannot read $work: is a folder" "$work/err" || fail "the reason: $(cat "$work/err")"
[ ! -e "$work/x.wtf" ] || fail "a failed build left an output file"
expect_error "missing file" "$tool" dump "$work/nope.wtf"
printf 'XX' > "$work/bad.wtf"; expect_error "bad header" "$tool" dump "$work/bad.wtf"
head -c 40 "$work/m.wtf" > "$work/short.wtf"; expect_error "truncated file" "$tool" dump "$work/short.wtf"
expect_error "usage" "$tool" frobnicate
echo "msg_tool: ok"
