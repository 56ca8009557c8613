#!/usr/bin/env python3
"""Renders the launcher's bitmap resources from the SVG sources of the art
folder into 24-bit BMP files named <id>.bmp.

The list of pictures is bitmaps.txt: one picture a line,
    id  WIDTHxHEIGHT  template.svg  background  [name=value ...]
where background is a palette colour under any partly transparent pixel, or
'key' for the launcher skins: there every pixel becomes either fully opaque in
its own colour or exactly the see-through key colour RGB(0, 255, 0). A skin
edge blended with the key would show as a green fringe on the desktop, so no
pixel may come near the key without being it; the build stops if one does."""

import os
import shlex
import subprocess
import sys

from bmpfile import bmp24
from svgart import arguments, fill, hex_to_rgb, load_palette, render, write_atomically

KEY = (0, 255, 0)
# Squared RGB distance within which a colour reads as a tint of the key.
NEAR_KEY_DISTANCE_SQUARED = 192 * 192


def is_near_key(r, g, b):
    return (r, g, b) != KEY and r * r + (255 - g) ** 2 + b * b <= NEAR_KEY_DISTANCE_SQUARED


def read_manifest(path):
    pictures = []
    with open(path, encoding="utf-8") as f:
        for number, line in enumerate(f, 1):
            words = shlex.split(line, comments=True)
            if not words:
                continue
            where = "%s:%d" % (path, number)
            if len(words) < 4 or "x" not in words[1]:
                raise ValueError(where + ": expected 'id WxH template background [name=value ...]'")
            width, height = (int(n) for n in words[1].split("x"))
            params = {}
            for word in words[4:]:
                name, sep, value = word.partition("=")
                if not sep:
                    raise ValueError("%s: parameter %r lacks '='" % (where, word))
                params[name] = value
            pictures.append((int(words[0]), width, height, words[2], words[3], params, where))
    return pictures


def keyed(rgba):
    """Hard 1-bit mask: at least half covered is the shape's own colour (alpha is
    not premultiplied in the PNG, so edge pixels keep their true colour)."""
    rgb = bytearray(len(rgba) // 4 * 3)
    for i in range(len(rgba) // 4):
        if rgba[i * 4 + 3] >= 128:
            rgb[i * 3 : i * 3 + 3] = rgba[i * 4 : i * 4 + 3]
        else:
            rgb[i * 3 : i * 3 + 3] = bytes(KEY)
    return rgb


def over(rgba, background):
    """Blends every pixel over the background colour."""
    rgb = bytearray(len(rgba) // 4 * 3)
    for i in range(len(rgba) // 4):
        a = rgba[i * 4 + 3]
        for c in range(3):
            rgb[i * 3 + c] = (rgba[i * 4 + c] * a + background[c] * (255 - a) + 127) // 255
    return rgb


def bad_pixels(rgb, width, skin):
    """Where the picture comes near the key: in a skin, only the key itself may;
    in any other picture, not even the key (it would be a hole in the window)."""
    return [
        (i % width, i // width)
        for i in range(len(rgb) // 3)
        if is_near_key(*rgb[i * 3 : i * 3 + 3])
        or (not skin and tuple(rgb[i * 3 : i * 3 + 3]) == KEY)
    ]


def render_picture(art, work, palette, picture, rsvg):
    """Returns the picture's 24-bit pixels, or raises ValueError saying what is wrong."""
    ident, width, height, template, background, params, where = picture
    with open(os.path.join(art, template), encoding="utf-8") as f:
        svg = fill(f.read(), {**palette, **params}, where)
    got = render(svg, os.path.join(work, "%d.png" % ident), rsvg)
    if got[:2] != (width, height):
        sizes = got[:2] + (width, height)
        raise ValueError("%s: %s renders %dx%d, not %dx%d" % ((where, template) + sizes))
    if background == "key":
        rgb = keyed(got[2])
    elif background in palette:
        rgb = over(got[2], hex_to_rgb(palette[background]))
    else:
        raise ValueError("%s: background %r is not 'key' nor a palette colour" % (where, background))
    bad = bad_pixels(rgb, width, background == "key")
    if bad:
        raise ValueError("%s: %d pixels at or near the key, first at %s" % (where, len(bad), bad[0]))
    return rgb


def main():
    args = arguments(__doc__.split("\n\n")[0], "folder for the .bmp files")
    work = os.path.join(args.out, "png")
    os.makedirs(work, exist_ok=True)
    failures = 0
    try:
        palette = load_palette(os.path.join(args.art, "palette.txt"))
        pictures = read_manifest(os.path.join(args.art, "bitmaps.txt"))
    except (OSError, ValueError) as error:
        print("render_bitmaps: %s" % error, file=sys.stderr)
        return 1
    for picture in pictures:
        ident, width, height = picture[:3]
        path = os.path.join(args.out, "%d.bmp" % ident)
        try:
            rgb = render_picture(args.art, work, palette, picture, args.rsvg)
        except (OSError, ValueError, subprocess.CalledProcessError) as error:
            # No picture of an earlier build stays behind to be taken for this one.
            if os.path.exists(path):
                os.remove(path)
            print("render_bitmaps: %s" % error, file=sys.stderr)
            failures += 1
            continue
        write_atomically(path, bmp24(width, height, rgb))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
