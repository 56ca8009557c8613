#!/usr/bin/env bash
# Runs tarnvale-qxc as an operator would and checks its output with bzip2.
set -euo pipefail
qxc=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
mkdir out back
head -c 300000 /dev/urandom | od -An -tx1 > Item.bmd

# Packing writes FOLDER/NAME.QXC that bzip2 reads back.
[ "$("$qxc" pack Item.bmd out/)" = "out/Item.bmd.QXC" ]
bzip2 -dc out/Item.bmd.QXC | cmp - Item.bmd
# A folder named without its final separator is still that folder.
"$qxc" pack Item.bmd out >/dev/null
# What bzip2 -9 packs, the tool unpacks; the output name drops ".QXC".
bzip2 -9 -c Item.bmd > Other.bmd.QXC
[ "$("$qxc" unpack Other.bmd.QXC back/)" = "back/Other.bmd" ]
cmp back/Other.bmd Item.bmd

# Damaged input fails with a message and leaves nothing under the output name.
head -c 5000 Other.bmd.QXC > Cut.bmd.QXC
if "$qxc" unpack Cut.bmd.QXC back/ 2>err; then echo "truncated file accepted"; exit 1; fi
grep -q "cannot unpack" err
[ ! -e back/Cut.bmd ]
cat Other.bmd.QXC Other.bmd.QXC > Twice.bmd.QXC
if "$qxc" unpack Twice.bmd.QXC back/ 2>/dev/null; then echo "trailing bytes accepted"; exit 1; fi
[ ! -e back/Twice.bmd ]
[ "$(ls back)" = "Other.bmd" ]

# A file that cannot be packed is refused with the reason.
if "$qxc" pack Missing.bmd out/ 2>err; then echo "missing file packed"; exit 1; fi
grep -q "cannot pack Missing.bmd into out/Missing.bmd.QXC: Missing.bmd does not exist" err
if "$qxc" pack out out/ 2>err; then echo "folder packed"; exit 1; fi
grep -q "out is a folder" err
if "$qxc" pack Item.bmd nowhere/ 2>err; then echo "packed into a missing folder"; exit 1; fi
grep -q "the folder nowhere/ does not exist" err

# Wrong use is a usage error.
set +e
"$qxc" squash Item.bmd out/ 2>/dev/null; [ $? -eq 2 ] || exit 1
"$qxc" 2>/dev/null; [ $? -eq 2 ] || exit 1
echo "qxc tool: ok"
