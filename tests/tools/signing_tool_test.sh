#!/usr/bin/env bash
# tarnvale-patch for a signed update server, as an operator runs it: keygen keeps
# the secret key to its owner, add --sign writes manifests and signatures that
# verify checks, and verify catches every changed byte.
#   signing_tool_test.sh TOOL
set -u
tool=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }
cd "$work"
config() { mkdir -p "$1"; printf '[LOGIN]\r\nVersion=%s\r\n' "$2" > "$1/config.ini"; }

# keygen: the secret key for its owner only, the public key beside it; never
# over an existing key.
"$tool" keygen operator.key > out || fail "keygen"
[ "$(stat -c %a operator.key)" = 600 ] || fail "secret key mode $(stat -c %a operator.key)"
grep -qE '^[0-9a-f]{128}$' operator.key || fail "secret key format"
grep -qE '^[0-9a-f]{64}$' operator.key.pub || fail "public key format"
grep -qF "$(cat operator.key.pub)" out || fail "keygen prints the public key"
cp operator.key saved
status=0; "$tool" keygen operator.key 2> err || status=$?
[ $status -eq 1 ] && grep -q "already exists" err || fail "keygen over a key: $status $(cat err)"
cmp -s operator.key saved || fail "keygen changed an existing key"
"$tool" keygen other.key > /dev/null || fail "second keygen"
echo "not a key" > broken.key

# A signed server: a packed and a file-by-file mirrored compressed version.
"$tool" init root > /dev/null
config src/1 1.00.01; echo one > src/1/a.txt
config src/2 1.00.02; rm src/2/config.ini; mkdir -p src/2/data; echo two > src/2/data/b.txt
status=0; "$tool" add root 1.0.1 src/1 --sign broken.key 2> err || status=$?
[ $status -eq 1 ] && grep -q "not a secret key" err || fail "a broken key: $(cat err)"
[ ! -e root/1.0.1 ] || fail "a broken key published"
"$tool" add root 1.0.1 src/1 --sign operator.key > out || fail "add --sign packed"
grep -q "signed with the key given" out || fail "add --sign does not say it signed: $(cat out)"
"$tool" add root 1.0.2 src/2 --files --compressed --mirror --sign operator.key > /dev/null \
  || fail "add --sign file by file"
for f in version.wvd.sig 1.0.1/manifest.tvs 1.0.1/manifest.tvs.sig 1.0.2/manifest.tvs.sig; do
  [ -f "root/$f" ] || fail "missing $f"
done
head -n 1 root/1.0.2/manifest.tvs | grep -qx "tarnvale-manifest 1 1.0.2" || fail "manifest header"
grep -qE "^[0-9]+ [0-9a-f]{64} data/b.txt.QXC$" root/1.0.2/manifest.tvs || fail "mirrored .QXC entry"
grep -qE "^[0-9]+ [0-9a-f]{64} list.inf$" root/1.0.2/manifest.tvs || fail "list.inf entry"
"$tool" verify root --key operator.key.pub > out || fail "verify: $(cat out)"
grep -q "2 versions and 4 files verified" out || fail "verify summary: $(cat out)"
"$tool" verify root --key "$(cat operator.key.pub)" > /dev/null || fail "verify with a hex key"
status=0; "$tool" verify root --key operator.key 2> err || status=$?
[ $status -eq 1 ] && grep -q "holds a secret key; give its public key, the operator.key.pub" err \
  || fail "verify with the secret key: $status $(cat err)"

# A signed server takes no unsigned version.
config src/3 1.00.03
status=0; "$tool" add root 1.0.3 src/3 2> err || status=$?
[ $status -eq 1 ] && grep -q "signed server" err || fail "unsigned add: $(cat err)"
[ ! -e root/1.0.3 ] || fail "an unsigned version was published"

# A file of the version may not take the manifest's name in its server folder.
mkdir -p src/5; echo x > src/5/manifest.tvs
status=0; "$tool" add root 1.0.5 src/5 --files --sign operator.key 2> err || status=$?
[ $status -eq 1 ] && grep -q "name of the signed manifest" err || fail "manifest name: $(cat err)"
[ ! -e root/1.0.5 ] || fail "a version hiding the manifest was published"

# verify catches a changed byte anywhere, and another key.
expect_refused() { # why, expected text
  status=0; "$tool" verify root --key operator.key.pub > out 2> err || status=$?
  [ $status -eq 1 ] && grep -q "$2" err || fail "$1: $status $(cat out err)"
}
tamper() { # its last byte becomes X
  cp "root/$1" saved
  printf X | dd of="root/$1" bs=1 seek=$(($(stat -c %s "root/$1") - 1)) conv=notrunc 2> /dev/null
}
untamper() { cp saved "root/$1"; }
for f in 1.0.1/up_list.zip 1.0.2/data/b.txt.QXC 1.0.2/list.inf; do
  tamper "$f"; expect_refused "$f" "mismatch: ${f#*/}"; untamper "$f"
done
tamper version.wvd; expect_refused "version file" "bad signature"; untamper version.wvd
tamper 1.0.1/manifest.tvs; expect_refused "manifest" "bad signature"; untamper 1.0.1/manifest.tvs
echo extra > root/1.0.2/data/extra.bin
expect_refused "a file the manifest leaves out" "not in the manifest: data/extra.bin"
rm root/1.0.2/data/extra.bin
status=0; "$tool" verify root --key other.key.pub 2> err || status=$?
[ $status -eq 1 ] && grep -q "bad signature" err || fail "another key: $(cat err)"
"$tool" verify root --key operator.key.pub > /dev/null || fail "verify after the repairs"

# Moving to a new key: sign signs everything anew; a check with both keys passes.
"$tool" sign root --sign other.key > out || fail "sign"
grep -q "2 versions" out || fail "sign summary: $(cat out)"
"$tool" verify root --key other.key.pub > /dev/null || fail "verify with the new key"
"$tool" verify root --key operator.key.pub --key other.key.pub > /dev/null \
  || fail "verify with both keys"
status=0; "$tool" verify root --key operator.key.pub 2> /dev/null || status=$?
[ $status -eq 1 ] || fail "the old key alone still verifies"
echo "signing_tool: ok"
