#!/usr/bin/env python3
"""Renders the launcher's icon into one .ico file holding 16, 32, 48 and 256
pixel images: the small sizes from icon-small.svg, whose shapes are drawn for
so few pixels, the large ones from icon.svg."""

import os
import subprocess
import sys

from icofile import ico
from svgart import arguments, fill, load_palette, render, write_atomically

SIZES = [(16, "icon-small.svg"), (32, "icon-small.svg"), (48, "icon.svg"), (256, "icon.svg")]


def render_sizes(art, work, rsvg):
    """Returns [(size, rgba, png bytes)], or raises ValueError saying what is wrong."""
    palette = load_palette(os.path.join(art, "palette.txt"))
    images = []
    for size, source in SIZES:
        with open(os.path.join(art, source), encoding="utf-8") as f:
            svg = fill(f.read(), palette, source)
        png_path = os.path.join(work, "icon-%d.png" % size)
        width, height, rgba = render(svg, png_path, rsvg, size)
        if (width, height) != (size, size):
            raise ValueError("%s renders %dx%d, not %dx%d" % (source, width, height, size, size))
        with open(png_path, "rb") as f:
            images.append((size, rgba, f.read()))
    return images


def main():
    args = arguments(__doc__.split("\n\n")[0], "the .ico file to write")
    work = os.path.join(os.path.dirname(os.path.abspath(args.out)), "png")
    os.makedirs(work, exist_ok=True)
    try:
        images = render_sizes(args.art, work, args.rsvg)
    except (OSError, ValueError, subprocess.CalledProcessError) as error:
        print("render_icon: %s" % error, file=sys.stderr)
        return 1
    write_atomically(args.out, ico(images))
    return 0


if __name__ == "__main__":
    sys.exit(main())
