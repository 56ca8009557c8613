"""Reads the PNG files that the SVG renderer writes: 8-bit RGB or RGBA, not
interlaced. Anything else is refused with a clear error rather than decoded
wrongly, because a wrong decode would end up in the program's bitmaps."""

import struct
import zlib

SIGNATURE = b"\x89PNG\r\n\x1a\n"
CHANNELS = {2: 3, 6: 4}  # colour type: RGB, RGBA


class PngError(ValueError):
    pass


def _chunks(data):
    """Yields (type, payload) of every chunk after checking its CRC."""
    pos = len(SIGNATURE)
    while pos + 12 <= len(data):
        (length,) = struct.unpack(">I", data[pos : pos + 4])
        kind = data[pos + 4 : pos + 8]
        end = pos + 8 + length
        if end + 4 > len(data):
            raise PngError("chunk %r runs past the end of the file" % kind)
        payload = data[pos + 8 : end]
        (crc,) = struct.unpack(">I", data[end : end + 4])
        if zlib.crc32(kind + payload) != crc:
            raise PngError("chunk %r has a wrong CRC" % kind)
        yield kind, payload
        if kind == b"IEND":
            return
        pos = end + 4
    raise PngError("the file ends before its IEND chunk")


def _paeth(a, b, c):
    p = a + b - c
    pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
    if pa <= pb and pa <= pc:
        return a
    return b if pb <= pc else c


def _unfilter(raw, width, height, bpp):
    """Undoes the per-row filters; returns the pixel bytes, rows top-down."""
    stride = width * bpp
    if len(raw) != height * (stride + 1):
        raise PngError("image data has %d bytes, expected %d" % (len(raw), height * (stride + 1)))
    out = bytearray(height * stride)
    prev = bytearray(stride)
    for y in range(height):
        kind = raw[y * (stride + 1)]
        row = bytearray(raw[y * (stride + 1) + 1 : (y + 1) * (stride + 1)])
        if kind == 1:  # Sub
            for i in range(bpp, stride):
                row[i] = (row[i] + row[i - bpp]) & 0xFF
        elif kind == 2:  # Up
            row = bytearray((r + p) & 0xFF for r, p in zip(row, prev))
        elif kind == 3:  # Average
            for i in range(stride):
                left = row[i - bpp] if i >= bpp else 0
                row[i] = (row[i] + ((left + prev[i]) >> 1)) & 0xFF
        elif kind == 4:  # Paeth
            for i in range(stride):
                if i >= bpp:
                    row[i] = (row[i] + _paeth(row[i - bpp], prev[i], prev[i - bpp])) & 0xFF
                else:
                    row[i] = (row[i] + prev[i]) & 0xFF
        elif kind != 0:
            raise PngError("row %d has unknown filter %d" % (y, kind))
        out[y * stride : (y + 1) * stride] = row
        prev = row
    return out


def read_png(data):
    """Returns (width, height, rgba): rgba holds 4 bytes per pixel, rows top-down,
    alpha not premultiplied (255 where the file has no alpha channel)."""
    if not data.startswith(SIGNATURE):
        raise PngError("not a PNG file")
    header = None
    compressed = bytearray()
    for kind, payload in _chunks(data):
        if kind == b"IHDR":
            header = struct.unpack(">IIBBBBB", payload)
        elif kind == b"IDAT":
            compressed += payload
    if header is None:
        raise PngError("no IHDR chunk")
    width, height, depth, colour, _, _, interlace = header
    if depth != 8 or colour not in CHANNELS or interlace != 0:
        raise PngError(
            "unsupported PNG: depth %d, colour type %d, interlace %d" % (depth, colour, interlace)
        )
    bpp = CHANNELS[colour]
    pixels = _unfilter(zlib.decompress(bytes(compressed)), width, height, bpp)
    if bpp == 4:
        return width, height, pixels
    rgba = bytearray(width * height * 4)
    rgba[0::4] = pixels[0::3]
    rgba[1::4] = pixels[1::3]
    rgba[2::4] = pixels[2::3]
    rgba[3::4] = b"\xff" * (width * height)
    return width, height, rgba
