#!/usr/bin/env bash
# tarnvale-patch as an operator runs it: what it publishes is what players'
# launchers read, and whatever it refuses leaves the server exactly as it was.
#   patch_tool_test.sh TOOL LAUNCHER_NAME   (the launcher's name in code page 936)
set -u
tool=$1
launcher=$(printf "%b" "$2" | iconv -f CP936 -t UTF-8).exe
work=$(mktemp -d)
chmod 755 "$work"
trap 'chmod -R u+rwx "$work" 2>/dev/null; rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }
cd "$work"
gbk() { printf '%s' "$1" | iconv -f UTF-8 -t CP936; }

# Permissions do not stop root: the unreadable cases run the tool as nobody.
as_operator=()
[ "$(id -u)" = 0 ] && as_operator=(setpriv --reuid=65534 --regid=65534 --clear-groups)
config() { printf '[LOGIN]\r\nVersion=%s\r\n' "$2" > "$1/config.ini"; }

# --help, usage errors, and a root that was never set up.
"$tool" --help > out 2> err || fail "--help: exit status $?"
grep -q "usage: tarnvale-patch" out && [ ! -s err ] || fail "--help goes to standard output"
grep -q -- "--codepage" out || fail "--help lists --codepage"
status=0; "$tool" add root 1.0.1 src --bogus 2> err || status=$?
[ $status -eq 2 ] && grep -q "unknown option --bogus" err || fail "unknown option: $status $(cat err)"
mkdir -p src/1; config src/1 1.00.01
status=0; "$tool" add typo-root 1.0.1 src/1 2> err || status=$?
[ $status -eq 1 ] && grep -q "tarnvale-patch init typo-root" err || fail "new root: $(cat err)"
[ ! -e typo-root ] || fail "a mistyped root was created"
mkdir plain-folder
status=0; "$tool" add plain-folder 1.0.1 src/1 2> err || status=$?
[ $status -eq 1 ] && grep -q "holds no version.wvd" err || fail "root without version file: $(cat err)"
"$tool" init root > out || fail "init"
[ -f root/version.wvd ] && [ ! -s root/version.wvd ] || fail "init writes an empty version file"
echo '"0.9.9"' > root/version.wvd
"$tool" init root > out && grep -q "already set up" out || fail "init of a set-up root"
[ "$(cat root/version.wvd)" = '"0.9.9"' ] || fail "init rewrote the version file"
: > root/version.wvd

# A packed version with UTF-8 names: lists and archive carry the players' code
# page, and the launcher under its UTF-8 name is published as the self-update.
mkdir -p "src/1/数据/地图"
echo map > "src/1/数据/地图/北方.map"
echo exe > "src/1/$launcher"
"$tool" add root 1.0.1 src/1 --remove "旧/说明.txt" > out || fail "packed version: $(cat out)"
grep -q "carries a new launcher" out || fail "the self-update is not announced: $(cat out)"
grep -qF "\"$(gbk "$launcher")\"" root/1.0.1/list.inf || fail "launcher name in list.inf"
grep -qF "\"$(gbk '数据\地图\北方.map')\"" root/1.0.1/list.inf || fail "file name in list.inf"
grep -qF "@ \"$(gbk '旧\说明.txt')\"" root/1.0.1/list.inf || fail "removal in list.inf"
python3 - root/1.0.1/up_list.zip "$launcher" '数据/地图/北方.map' <<'PY' || fail "archive names"
import sys, zipfile
names = {i.orig_filename.encode("cp437") for i in zipfile.ZipFile(sys.argv[1]).infolist()}
sys.exit(0 if {name.encode("gbk") for name in sys.argv[2:]} <= names else 1)
PY
[ "$(cat root/version.wvd)" = '"1.0.1"' ] || fail "version file after the first version"

# Every refusal leaves the server as it was: the same version file, no new
# version folder, no temporary leftovers.
snapshot() { (cd root && find . | sort && cat version.wvd) > "$1"; }
snapshot before
refused() { # what, expected text, command...
  local what=$1 expected=$2; shift 2
  local status=0
  timeout 60 "$@" > /dev/null 2> err || status=$?
  [ $status -eq 1 ] || fail "$what: exit status $status: $(cat err)"
  grep -qF -- "$expected" err || fail "$what: message lacks '$expected': $(cat err)"
  snapshot after
  cmp -s before after || fail "$what: the server changed"
}
mkdir -p src/2; config src/2 1.00.02
echo data > src/2/data.bin
chmod 644 src/2/data.bin

# Version names and order.
for name in 1.2 1.2.256 255.255.255 1.0.x; do
  refused "version name $name" "is not one launchers accept" "$tool" add root "$name" src/2
done
refused "published again" "already published" "$tool" add root 1.0.1 src/1
refused "published again, other spelling" "already published" "$tool" add root 1.00.01 src/1
refused "older version" "older than the published version 1.0.1" "$tool" add root 1.0.0 src/2
refused "config.ini of another version" "names version 1.00.02, not 1.0.3" "$tool" add root 1.0.3 src/2
printf '[LOGIN]\r\n' > src/2/config.ini
refused "config.ini without Version" "is missing" "$tool" add root 1.0.2 src/2
printf '[LOGIN]\r\nVersion=first\r\n' > src/2/config.ini
refused "config.ini that does not parse" "not a version launchers read" "$tool" add root 1.0.2 src/2
config src/2 1.00.02

# Removals that would do nothing on players' machines: launchers delete before
# they unpack, only files with "@ name" and only empty folders with "@ 0 name".
mkdir -p src/2/maps; echo m > src/2/maps/north.map
while IFS='|' read -r what expected options; do
  # shellcheck disable=SC2086
  refused "$what" "$expected" "$tool" add root 1.0.2 src/2 $options
done <<'CASES'
a folder given to --remove|names a folder, and launchers delete only files|--remove old/
a duplicate removal|--remove OLD.txt is given twice (also as old.txt)|--remove old.txt --remove OLD.txt
a file and a folder at once|old is given both to --remove and to --remove-dir|--remove old --remove-dir old
a shipped file removed|the version ships that file itself|--remove data.bin
a shipped folder removed as a file|is a folder the version ships|--remove maps
a folder the version fills|the version ships maps/north.map there, so the folder is not empty|--remove-dir maps/
CASES
rm -r src/2/maps

# Source problems.
refused "source that is a file" "is a file" "$tool" add root 1.0.2 src/2/data.bin
"$tool" init src/2/inner > /dev/null
refused "root inside the source" "lies inside SOURCE" "$tool" add src/2/inner 1.0.2 src/2
rm -rf src/2/inner
ln -s nowhere src/2/dangling
refused "broken link" "dangling is a broken symbolic link" "$tool" add root 1.0.2 src/2
rm src/2/dangling
mkfifo src/2/pipe
refused "FIFO" "pipe is not a regular file" "$tool" add root 1.0.2 src/2
rm src/2/pipe
echo x > "src/2/smile-😀.txt"
refused "name outside the code page" "smile-😀.txt has a name that is not UTF-8 or that code page 936" "$tool" add root 1.0.2 src/2
rm "src/2/smile-😀.txt"
echo x > "src/2/$(printf 'bad\xb5\xc7')"
refused "name that is not UTF-8" 'bad\xb5\xc7 has a name that is not UTF-8' "$tool" add root 1.0.2 src/2
rm "src/2/$(printf 'bad\xb5\xc7')"
echo x > "src/2/乗.txt"
refused "name with a backslash byte" "乗.txt has a character whose code page 936 form holds" "$tool" add root 1.0.2 src/2
rm "src/2/乗.txt"
echo x > src/2/Data.bin
refused "names that differ in case" "differ only in letter case" "$tool" add root 1.0.2 src/2
rm src/2/Data.bin
chmod -R a+rX src; chmod a+rwx root
snapshot before
chmod 000 src/2/data.bin
refused "unreadable file" "data.bin cannot be read" "${as_operator[@]}" "$tool" add root 1.0.2 src/2
chmod 644 src/2/data.bin
mkdir -p src/2/locked/inner; chmod 000 src/2/locked
refused "unreadable folder" "locked cannot be read" "${as_operator[@]}" "$tool" add root 1.0.2 src/2
chmod 755 src/2/locked; rm -rf src/2/locked
chmod 000 root/version.wvd
refused "unreadable version file" "cannot read root/version.wvd" "${as_operator[@]}" "$tool" add root 1.0.2 src/2
chmod 644 root/version.wvd

# A folder inside another is removed first; a trailing separator is dropped.
"$tool" add root 1.0.2 src/2 --remove-dir old --remove-dir old/inner/ > out || fail "folder removals"
[ "$(grep '^@' root/1.0.2/list.inf)" = "$(printf '@ 0 "old\\inner"\n@ 0 "old"')" ] \
  || fail "folder removals in list.inf: $(cat root/1.0.2/list.inf)"
grep -q "next: players get 1.0.2 .*current_version must be 1.0.2" out || fail "next step: $(cat out)"
rm -r root/1.0.2; printf '"1.0.1"\n' > root/version.wvd

# File-by-file: one server folder lists at most 999 files, list.inf among them.
mkdir -p src/many
for i in $(seq 1 999); do : > "src/many/f$i"; done
refused "999 files in one folder" "Use --mirror" "$tool" add root 1.0.2 src/many --files
rm src/many/f999
"$tool" add root 1.0.2 src/many --files > /dev/null 2> err || fail "998 files and list.inf"
grep -q "warning: 1.0.2 is file by file, which only FTP launchers install" err \
  || fail "no warning for HTTP launchers: $(cat err)"
[ "$(ls root/1.0.2 | wc -l)" = 999 ] || fail "998 files and list.inf on the server"

# A failure while writing (the version file cannot be replaced) takes back what
# was written; a leftover of an interrupted run does not block the next one.
# The version file is put in place by the last rename the tool makes: a trial run
# on a copy counts them, and the same rename then fails on the real root. (No leak
# check under strace: it cannot run under ptrace.)
traced=(env ASAN_OPTIONS=detect_leaks=0 strace -f -qq -e trace=rename)
cp -a root root-trial
renames=$("${traced[@]}" "$tool" add root-trial 1.0.3 src/many --files 2>&1 >/dev/null | grep -c '^rename(')
rm -rf root-trial
snapshot before
refused "version file not replaceable" "was not published" \
  "${traced[@]}" -o /dev/null -e inject=rename:error=EIO:when="$renames" "$tool" add root 1.0.3 src/many --files
mkdir -p root/.1.0.3.part && echo half > root/.1.0.3.part/up_list.zip
"$tool" add root 1.0.3 src/many --files > /dev/null || fail "after an interrupted run"
[ ! -e root/.1.0.3.part ] || fail "the leftover was not cleared"

# Another players' code page, chosen by option.
mkdir -p src/4; config src/4 1.00.04; echo x > "src/4/한글.txt"
"$tool" add root 1.0.4 src/4 --codepage 949 > /dev/null || fail "--codepage 949"
grep -qF "\"$(printf '%s' 한글.txt | iconv -f UTF-8 -t CP949)\"" root/1.0.4/list.inf \
  || fail "code page 949 name in list.inf"
[ "$(tr -d '\n' < root/version.wvd)" = '"1.0.1""1.0.2""1.0.3""1.0.4"' ] || fail "version file at the end"
# The whole root, as the launchers of each road walk it.
check() { # road, expected status, expected text
  local status=0
  "$tool" check root --road "$1" > out 2>&1 || status=$?
  [ $status -eq "$2" ] && grep -qF -- "$3" out || fail "check --road $1: status $status: $(cat out)"
}
check ftp 0 "4 versions, all installable over FTP"
check http 1 "1.0.2: file by file (list.inf has no #PACKINGVERSION#): HTTP launchers fetch only"
grep -q "1.0.3: file by file" out && grep -q "fails the check for HTTP (2 problems)" out \
  || fail "check --road http: $(cat out)"
mv root/1.0.2/f7 root/f7
check ftp 1 "1.0.2: list.inf names f7, which is not in root/1.0.2"
mv root/f7 root/1.0.2/f7
cp root/1.0.4/up_list.zip saved.zip
truncate -s 200 root/1.0.4/up_list.zip
check ftp 1 "1.0.4: up_list.zip"
cp saved.zip root/1.0.4/up_list.zip
printf '"1.0.1"\n"1.0.4"\n"1.0.3"\n' > root/version.wvd
check ftp 1 "1.0.3 is not newer than 1.0.4, listed before it"
echo "patch_tool: ok"
