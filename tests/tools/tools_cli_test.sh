#!/usr/bin/env bash
# Every operator tool: --help prints its usage on standard output with exit status
# 0, an unknown option is named in the error (exit status 2), and every option the
# help lists is documented in README.md or docs/.
#   tools_cli_test.sh BIN_DIR SOURCE_DIR TOOL...
set -u
bin=$1 top=$2; shift 2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }
export XDG_CONFIG_HOME=$work/config

for tool in "$@"; do
  status=0
  "$bin/$tool" --help > "$work/out" 2> "$work/err" || status=$?
  [ $status -eq 0 ] || fail "$tool --help: exit status $status"
  grep -q "^usage: $tool" "$work/out" || fail "$tool --help: no usage on standard output"
  [ ! -s "$work/err" ] || fail "$tool --help wrote to standard error: $(cat "$work/err")"
  "$bin/$tool" -h > "$work/out2" 2> /dev/null && cmp -s "$work/out" "$work/out2" \
    || fail "$tool -h is not --help"

  status=0
  "$bin/$tool" --frobnicate > /dev/null 2> "$work/err" || status=$?
  [ $status -eq 2 ] || fail "$tool --frobnicate: exit status $status"
  grep -q -- "unknown option --frobnicate" "$work/err" || fail "$tool: the unknown option is not named: $(cat "$work/err")"

  for option in $(grep -o -- '--[a-z][a-z-]*' "$work/out" | sort -u); do
    [ "$option" = --help ] && continue
    cat "$top/README.md" "$top"/docs/*.md | grep -q -- "$option" \
      || fail "$tool $option is not documented in README.md or docs/"
  done
done
echo "tools_cli: ok"
