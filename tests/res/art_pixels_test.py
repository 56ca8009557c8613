#!/usr/bin/env python3
"""Checks the art renderer's own PNG reading and BMP writing against an
independent reader: for every rendered bitmap, ImageMagick's decoding of the
BMP must equal its decoding of the PNG that the bitmap came from wherever the
PNG is opaque, and where a skin's PNG is transparent the BMP must hold exactly
the key colour. A wrong filter, row order or channel order in the renderer
shows up here as a pixel difference.

Usage: art_pixels_test.py ART_DIR CONVERT"""

import glob
import os
import subprocess
import sys

KEY = bytes((0, 255, 0))
SKINS = {"140", "163"}


def decode(convert, path, channels):
    """Raw 8-bit pixels as ImageMagick reads the file, rows top-down."""
    return subprocess.run(
        [convert, path, "-depth", "8", channels + ":-"], check=True, stdout=subprocess.PIPE
    ).stdout


def compare(art, convert, ident):
    bmp = decode(convert, os.path.join(art, ident + ".bmp"), "rgb")
    png = decode(convert, os.path.join(art, "png", ident + ".png"), "rgba")
    if len(bmp) // 3 != len(png) // 4:
        return "%s: the BMP has %d pixels, the PNG %d" % (ident, len(bmp) // 3, len(png) // 4)
    differing = 0
    first = None
    for i in range(len(bmp) // 3):
        alpha = png[i * 4 + 3]
        ours = bmp[i * 3 : i * 3 + 3]
        if alpha == 255:
            wrong = ours != png[i * 4 : i * 4 + 3]
        elif alpha == 0 and ident in SKINS:
            wrong = ours != KEY
        else:
            continue  # blended or masked edge pixels follow the renderer's own rule
        if wrong:
            differing += 1
            first = first if first is not None else i
    if differing:
        return "%s: %d pixels differ, the first is pixel %d" % (ident, differing, first)
    return None


def main():
    art, convert = sys.argv[1], sys.argv[2]
    idents = sorted(os.path.basename(p)[:-4] for p in glob.glob(os.path.join(art, "*.bmp")))
    if not idents:
        print("no bitmaps in " + art)
        return 1
    failures = [f for f in (compare(art, convert, ident) for ident in idents) if f]
    for failure in failures:
        print(failure)
    print("%d passed, %d failed" % (len(idents) - len(failures), len(failures)))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
