#!/usr/bin/env python3
"""Makes the archive and packed-file fixtures of the installation tests with the
real tools: Info-ZIP zip and unzip, bzip2, and Python's zipfile.

usage: make_fixtures.py OUTDIR LAUNCHER_NAME

LAUNCHER_NAME is the build setting as C escapes (Tarnvale\\xb5...), so that the
launcher's own executable can be put in an archive under its real byte name.

Runs on the build machine before the tests (a ctest fixture), also for the
Windows build, whose tests run under Wine and cannot run these tools. What
`unzip -o -q` extracts is recorded so the tests compare against it without
reading names from the Linux side: every file is copied flat to ref-NAME/NNNN
and ref-NAME/manifest lists "F<TAB>NNNN<TAB>ro<TAB>path" or "D<TAB>-<TAB>-<TAB>path"
with the path's bytes exactly as unzip wrote them.
"""
import os
import random
import shutil
import stat
import struct
import subprocess
import sys
import zipfile


def launcher_name(escaped):
    return escaped.encode("ascii").decode("unicode_escape").encode("latin-1")


def write(path, data):
    os.makedirs(os.path.dirname(path) or b".", exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)


def sample_bytes(seed, size):
    """Partly compressible bytes: words with runs and some noise."""
    rng = random.Random(seed)
    words = [b"tarnvale", b"dragon", b"item", b"map", b"\x00\x00\x00\x00", b"sword", b"\xff" * 7]
    out = bytearray()
    while len(out) < size:
        if rng.random() < 0.2:
            out += bytes(rng.getrandbits(8) for _ in range(rng.randint(1, 40)))
        else:
            out += rng.choice(words) * rng.randint(1, 5)
    return bytes(out[:size])


def reference(out, archive, name):
    """Extracts with unzip and records the result flat, with a manifest."""
    tree = os.path.join(out, b"unzip-" + name)
    ref = os.path.join(out, b"ref-" + name)
    for d in (tree, ref):
        shutil.rmtree(d, ignore_errors=True)
        os.makedirs(d)
    subprocess.run([b"unzip", b"-o", b"-q", archive, b"-d", tree], check=True)
    lines = []
    count = 0
    for root, dirs, files in os.walk(tree):
        dirs.sort()
        for d in dirs:
            rel = os.path.relpath(os.path.join(root, d), tree)
            lines.append(b"D\t-\t-\t" + rel)
        for f in sorted(files):
            full = os.path.join(root, f)
            rel = os.path.relpath(full, tree)
            flat = b"%04d" % count
            count += 1
            shutil.copyfile(full, os.path.join(ref, flat))
            ro = b"ro" if not (os.stat(full).st_mode & stat.S_IWUSR) else b"rw"
            lines.append(b"F\t" + flat + b"\t" + ro + b"\t" + rel)
    write(os.path.join(ref, b"manifest"), b"\n".join(lines) + b"\n")
    # Read-only files and folders would stop the next run from cleaning up.
    for root, dirs, files in os.walk(tree):
        for f in files:
            os.chmod(os.path.join(root, f), 0o644)
    shutil.rmtree(tree)


def infozip_archive(out, exe):
    src = os.path.join(out, b"src-infozip")
    shutil.rmtree(src, ignore_errors=True)
    os.makedirs(src)
    j = lambda *p: os.path.join(src, *p)
    write(j(b"config.ini"), b"[LOGIN]\r\nVersion=1.02.03\r\nTestVersion=1.02.03\r\n")
    write(j(exe), b"MZ new launcher " + sample_bytes(1, 70000))
    write(j(b"veymsg.dll"), b"MZ veymsg " + sample_bytes(2, 3000))
    write(j(b"qx_zp.dll"), b"MZ qx_zp " + sample_bytes(3, 3000))
    write(j(b"message.wtf"), b"\xcc\x01" + bytes(26) + sample_bytes(4, 500))
    write(j(b"Bin", exe), b"nested launcher, keeps its name")
    write(j(b"Data", b"veymsg.dll"), b"nested library, keeps its name")
    write(j(b"Data", b"Item.bmd"), sample_bytes(5, 100000))
    write(j(b"Data", b"Sub", b"a.bmd"), sample_bytes(6, 40000))
    write(j(b"Data", b"Sub", b"Deeper", b"b.raw"), sample_bytes(7, 50000))  # stored
    write(j(b"Data", b"noise.raw"), os.urandom(33000))  # stored
    write(j(b"Data", b"zero.dat"), b"")
    write(j(b"Data", b"My File.txt"), b"a name with a blank\n")
    write(j(b"readonly.txt"), b"read-only entry\n")
    os.makedirs(j(b"Empty"))
    os.makedirs(j(b"Data", b"EmptySub"))
    os.chmod(j(b"readonly.txt"), 0o444)
    archive = os.path.join(out, b"infozip.zip")
    if os.path.exists(archive):
        os.remove(archive)
    subprocess.run([b"zip", b"-q", b"-r", b"-9", archive, b".", b"-x", b"*.raw"], cwd=src,
                   check=True)
    # The ".raw" files are added without compression.
    subprocess.run([b"zip", b"-q", b"-0", archive, b"Data/noise.raw", b"Data/Sub/Deeper/b.raw"],
                   cwd=src, check=True)
    os.chmod(j(b"readonly.txt"), 0o644)
    shutil.rmtree(src)
    reference(out, archive, b"infozip")


def python_archive(out):
    archive = os.path.join(out, b"python.zip")
    with zipfile.ZipFile(os.fsdecode(archive), "w") as z:
        z.writestr(zipfile.ZipInfo("Maps/"), b"")
        z.writestr(zipfile.ZipInfo("Maps/Empty/"), b"")
        z.writestr("Maps/World1.map", sample_bytes(10, 80000), zipfile.ZIP_DEFLATED)
        z.writestr("Maps/World2.map", sample_bytes(11, 20000), zipfile.ZIP_STORED)
        z.writestr("Sound/Hit.wav", sample_bytes(12, 65536), zipfile.ZIP_STORED)
        z.writestr("Sound/Exact.wav", sample_bytes(13, 16384 * 3), zipfile.ZIP_DEFLATED)
        z.writestr("message.wtf", b"\xcc\x01" + bytes(26), zipfile.ZIP_DEFLATED)
        info = zipfile.ZipInfo("Readme.txt", date_time=(2011, 7, 14, 12, 30, 42))
        z.writestr(info, b"dated entry\n", zipfile.ZIP_DEFLATED)
        z.writestr("config.ini", b"[LOGIN]\r\nVersion=2.00.01\r\n", zipfile.ZIP_DEFLATED)
    reference(out, archive, b"python")


def zip_of(path, entries, method=zipfile.ZIP_DEFLATED):
    with zipfile.ZipFile(os.fsdecode(path), "w") as z:
        for name, data in entries:
            z.writestr(zipfile.ZipInfo(name) if isinstance(name, str) else name, data,
                       method)


def hostile_archives(out):
    names = [
        "../evil.txt",
        "..\\evil.txt",
        "Data/../../evil.txt",
        "Data\\..\\..\\evil.txt",
        "/tmp/evil.txt",
        "\\evil.txt",
        "C:evil.txt",
        "C:\\evil.txt",
        "C:/evil.txt",
        "Data/.../evil.txt",
        "Data/.. /evil.txt",
        "NUL",
        "Data/con.txt",
        "Data//evil.txt",
        "Data/\x01evil.txt",
    ]
    folder = os.path.join(out, b"hostile")
    shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(folder)
    for i, name in enumerate(names):
        # The refused name comes last, so an extractor that writes as it goes
        # would already have written the harmless entries.
        zip_of(os.path.join(folder, b"hostile%02d.zip" % i),
               [("good.txt", b"harmless"), ("config.ini", b"[LOGIN]\r\nVersion=9.09.09\r\n"),
                (name, b"escaped!")])


def local_header_offset(archive, name):
    with zipfile.ZipFile(os.fsdecode(archive)) as z:
        info = z.getinfo(name)
        return info.header_offset


def damaged_archives(out):
    d = lambda n: os.path.join(out, n)
    good = [("first.txt", b"first entry\n"), ("bad.txt", b"B" * 5000),
            ("config.ini", b"[LOGIN]\r\nVersion=3.00.00\r\n")]

    # A stored entry whose data was altered: checksum mismatch.
    zip_of(d(b"crc.zip"), good, zipfile.ZIP_STORED)
    with open(d(b"crc.zip"), "r+b") as f:
        offset = local_header_offset(d(b"crc.zip"), "bad.txt")
        f.seek(offset + 26)
        name_len, extra_len = struct.unpack("<HH", f.read(4))
        f.seek(offset + 30 + name_len + extra_len + 100)
        f.write(b"X")

    # A deflated entry whose data was altered.
    zip_of(d(b"inflate.zip"), [("first.txt", b"first entry\n"),
                                ("bad.txt", sample_bytes(20, 60000)),
                                ("config.ini", b"[LOGIN]\r\n")], zipfile.ZIP_DEFLATED)
    with open(d(b"inflate.zip"), "r+b") as f:
        offset = local_header_offset(d(b"inflate.zip"), "bad.txt")
        f.seek(offset + 26)
        name_len, extra_len = struct.unpack("<HH", f.read(4))
        start = offset + 30 + name_len + extra_len
        for k in range(40, 400, 13):
            f.seek(start + k)
            b = f.read(1)
            f.seek(start + k)
            f.write(bytes([b[0] ^ 0x5A]))

    # An entry whose recorded size is larger than its data: it ends early.
    zip_of(d(b"short.zip"), good, zipfile.ZIP_DEFLATED)
    with zipfile.ZipFile(os.fsdecode(d(b"short.zip"))) as z:
        info = z.getinfo("bad.txt")
        central = z.start_dir
    with open(d(b"short.zip"), "r+b") as f:
        f.seek(info.header_offset + 22)
        f.write(struct.pack("<I", info.file_size + 10))
        data = bytearray(open(d(b"short.zip"), "rb").read())
        pos = data.find(b"PK\x01\x02", central)
        while pos >= 0:
            name_len = struct.unpack_from("<H", data, pos + 28)[0]
            if data[pos + 46:pos + 46 + name_len] == b"bad.txt":
                f.seek(pos + 24)
                f.write(struct.pack("<I", info.file_size + 10))
            pos = data.find(b"PK\x01\x02", pos + 4)

    # A compression method the launcher does not read.
    zip_of(d(b"method.zip"), good, zipfile.ZIP_BZIP2)
    with zipfile.ZipFile(os.fsdecode(d(b"mixed-method.zip")), "w") as z:
        z.writestr("first.txt", b"first entry\n", zipfile.ZIP_DEFLATED)
        z.writestr("bad.txt", b"B" * 5000, zipfile.ZIP_LZMA)
        z.writestr("config.ini", b"[LOGIN]\r\n", zipfile.ZIP_DEFLATED)

    # Cut in half: no end-of-central-directory record.
    whole = open(d(b"crc.zip"), "rb").read()
    write(d(b"truncated.zip"), whole[: len(whole) // 2])
    write(d(b"garbage.zip"), bytes(random.Random(5).getrandbits(8) for _ in range(3000)))
    zip_of(d(b"empty.zip"), [])
    zip_of(d(b"noconfig.zip"), [("first.txt", b"first entry\n"), ("Data/x.bmd", b"x" * 100)])


def packed_files(out):
    d = lambda n: os.path.join(out, n)
    write(d(b"sample.bin"), sample_bytes(30, 1500000))
    write(d(b"zeros.bin"), bytes(6000000))
    write(d(b"empty.bin"), b"")
    for name in (b"sample.bin", b"zeros.bin", b"empty.bin"):
        with open(d(name + b".QXC"), "wb") as f:
            subprocess.run([b"bzip2", b"-9", b"-c", d(name)], stdout=f, check=True)


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    out = os.fsencode(sys.argv[1])
    exe = launcher_name(sys.argv[2]) + b".exe"
    os.makedirs(out, exist_ok=True)
    infozip_archive(out, exe)
    python_archive(out)
    hostile_archives(out)
    damaged_archives(out)
    packed_files(out)


if __name__ == "__main__":
    main()
