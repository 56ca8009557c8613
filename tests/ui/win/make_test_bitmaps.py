#!/usr/bin/env python3
"""Writes the bitmaps of the toolkit's Windows tests into the given folder.

The pictures are generated, never committed: solid colours for the button states,
position-coded pictures (every pixel says where it sits) for the layout and bar
tests, and one 8-bit picture for the palette test.
"""
import os
import struct
import sys


def skin_colour(x, y):
    """The colour of pixel (x, y) of a position-coded picture, as (r, g, b)."""
    return (x & 0xFF, y & 0xFF, (x >> 8) | ((y >> 8) << 4))


def write_bmp(path, width, height, bits, pixel, palette=None):
    """pixel(x, y) gives (r, g, b) for 24 bits or an index for 8 bits; y counts
    from the top."""
    row_bytes = (width * bits + 31) // 32 * 4
    table = b""
    if bits == 8:
        table = b"".join(struct.pack("<BBBB", b, g, r, 0) for (r, g, b) in palette)
    rows = bytearray()
    for y in reversed(range(height)):  # bottom-up
        row = bytearray()
        for x in range(width):
            if bits == 24:
                r, g, b = pixel(x, y)
                row += bytes((b, g, r))
            else:
                row.append(pixel(x, y))
        row += b"\0" * (row_bytes - len(row))
        rows += row
    offset = 14 + 40 + len(table)
    header = struct.pack("<2sIHHI", b"BM", offset + len(rows), 0, 0, offset)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, bits, 0, len(rows), 2835, 2835,
                       len(palette) if palette else 0, 0)
    with open(path, "wb") as out:
        out.write(header + info + table + rows)


def main():
    folder = sys.argv[1]
    os.makedirs(folder, exist_ok=True)
    solid = lambda colour: (lambda x, y: colour)
    write_bmp(os.path.join(folder, "normal.bmp"), 60, 24, 24, solid((200, 0, 0)))
    write_bmp(os.path.join(folder, "pressed.bmp"), 60, 24, 24, solid((0, 160, 0)))
    write_bmp(os.path.join(folder, "focused.bmp"), 60, 24, 24, solid((0, 0, 200)))
    write_bmp(os.path.join(folder, "disabled.bmp"), 60, 24, 24, solid((128, 128, 128)))
    write_bmp(os.path.join(folder, "skin.bmp"), 580, 380, 24, skin_colour)
    write_bmp(os.path.join(folder, "small.bmp"), 100, 50, 24, skin_colour)
    write_bmp(os.path.join(folder, "bar.bmp"), 339, 23, 24, skin_colour)
    write_bmp(os.path.join(folder, "unchecked.bmp"), 13, 13, 24, solid((10, 20, 30)))
    write_bmp(os.path.join(folder, "checked.bmp"), 13, 13, 24, solid((200, 100, 50)))
    palette = [(i, 255 - i, (i * 7) & 0xFF) for i in range(256)]
    write_bmp(os.path.join(folder, "paletted.bmp"), 16, 8, 8, lambda x, y: 16 * y + x, palette)
    write_bmp(os.path.join(folder, "solid.bmp"), 38, 48, 24, solid((40, 90, 140)))


if __name__ == "__main__":
    main()
