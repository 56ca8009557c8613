"""Writes the bitmaps that the resource compiler embeds: 24 bits per pixel,
uncompressed, a 14-byte file header and a 40-byte BITMAPINFOHEADER, rows
bottom-up, each padded to a multiple of 4 bytes."""

import struct

FILE_HEADER_SIZE = 14
INFO_HEADER_SIZE = 40
PIXELS_PER_METRE_96_DPI = 3780  # the art is drawn for 96 dots per inch


def row_size(width):
    return (width * 24 + 31) // 32 * 4


def bmp24(width, height, rgb):
    """rgb: 3 bytes per pixel, rows top-down. Returns the whole .bmp file."""
    if len(rgb) != width * height * 3:
        raise ValueError(
            "%dx%d picture needs %d bytes, got %d" % (width, height, width * height * 3, len(rgb))
        )
    stride = row_size(width)
    pad = bytes(stride - width * 3)
    rows = bytearray()
    for y in range(height - 1, -1, -1):
        row = bytearray(rgb[y * width * 3 : (y + 1) * width * 3])
        row[0::3], row[2::3] = row[2::3], row[0::3]  # RGB to the file's BGR
        rows += row + pad
    offset = FILE_HEADER_SIZE + INFO_HEADER_SIZE
    file_header = struct.pack("<2sIHHI", b"BM", offset + len(rows), 0, 0, offset)
    info_header = struct.pack(
        "<IiiHHIIiiII",
        INFO_HEADER_SIZE, width, height, 1, 24, 0,  # BI_RGB
        len(rows), PIXELS_PER_METRE_96_DPI, PIXELS_PER_METRE_96_DPI, 0, 0,
    )
    return file_header + info_header + bytes(rows)
