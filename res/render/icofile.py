"""Writes a Windows icon file holding several sizes of one picture. Sizes
below 256 are 32-bit DIBs with an alpha channel and a 1-bit mask, which every
Windows version reads; the 256-pixel image is stored as PNG, as Windows Vista
and later expect for that size."""

import struct

from bmpfile import INFO_HEADER_SIZE


def _dib_entry(size, rgba):
    """BITMAPINFOHEADER of double height (colour rows, then the mask), BGRA rows
    bottom-up, then the AND mask: 1 where the pixel is transparent."""
    header = struct.pack("<IiiHHIIiiII", INFO_HEADER_SIZE, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    colour = bytearray()
    mask = bytearray()
    mask_stride = (size + 31) // 32 * 4
    for y in range(size - 1, -1, -1):
        row = rgba[y * size * 4 : (y + 1) * size * 4]
        bgra = bytearray(row)
        bgra[0::4], bgra[2::4] = row[2::4], row[0::4]
        colour += bgra
        bits = bytearray(mask_stride)
        for x in range(size):
            if row[x * 4 + 3] < 128:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    return header + bytes(colour) + bytes(mask)


def ico(images):
    """images: list of (size, rgba bytes, png bytes). Returns the .ico file."""
    entries = []
    for size, rgba, png in sorted(images, key=lambda image: image[0]):
        entries.append((size, png if size >= 256 else _dib_entry(size, rgba)))
    directory = struct.pack("<HHH", 0, 1, len(entries))
    offset = 6 + 16 * len(entries)
    blobs = b""
    for size, blob in entries:
        dim = 0 if size >= 256 else size  # 0 stands for 256 in the directory
        directory += struct.pack("<BBBBHHII", dim, dim, 0, 0, 1, 32, len(blob), offset + len(blobs))
        blobs += blob
    return directory + blobs
