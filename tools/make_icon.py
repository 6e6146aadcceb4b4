#!/usr/bin/env python3
"""Draws the program's icon and writes it as a Windows .ico file.

The drawing: a rounded tile in deep blue, a white "V" across it and an amber dot at its
lower right, the mark a cracked vexlet gets. Every shape is a signed distance from the
pixel's centre, so the edges are smoothed at every size without a drawing library. The
16, 32 and 48 pixel images are 32-bit bitmaps with their transparency mask (what every
Windows reads); the 256 pixel one is a PNG, which Windows reads at that size.

    tools/make_icon.py            # rewrites src/app/vexlets.ico
    tools/make_icon.py OUT.ico    # writes elsewhere
    tools/make_icon.py --check    # exit status 1 when the committed icon differs
"""

import math
import os
import struct
import sys
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
TARGET = os.path.join(HERE, os.pardir, "src", "app", "vexlets.ico")

SIZES = (16, 32, 48, 256)
# From this size on the image is stored as PNG.
PNG_FROM = 256

# The drawing, in units of the icon's side (0..1, y downwards).
TILE_INSET = 0.03
TILE_RADIUS = 0.2
TILE_TOP = (0x2E, 0x6B, 0xA6)
TILE_BOTTOM = (0x17, 0x33, 0x5C)
V_LEFT, V_TIP, V_RIGHT = (0.25, 0.24), (0.5, 0.76), (0.75, 0.24)
V_HALF_WIDTH = 0.085
V_COLOUR = (0xFF, 0xFF, 0xFF)
DOT_CENTRE, DOT_RADIUS = (0.79, 0.77), 0.095
DOT_COLOUR = (0xFF, 0xB3, 0x1A)


def rounded_box(x, y, lo, hi, r):
    """Signed distance to a square from lo to hi on both axes with corners of radius r."""
    c = (lo + hi) / 2
    half = (hi - lo) / 2 - r
    qx, qy = abs(x - c) - half, abs(y - c) - half
    outside = math.hypot(max(qx, 0.0), max(qy, 0.0))
    return outside + min(max(qx, qy), 0.0) - r


def segment(x, y, a, b, r):
    """Signed distance to the segment from a to b widened by r on each side."""
    ax, ay = a
    bx, by = b
    dx, dy = bx - ax, by - ay
    t = max(0.0, min(1.0, ((x - ax) * dx + (y - ay) * dy) / (dx * dx + dy * dy)))
    return math.hypot(x - ax - t * dx, y - ay - t * dy) - r


def coverage(distance, size):
    """How much of a pixel a shape covers, from its distance in icon units: a one-pixel ramp."""
    return max(0.0, min(1.0, 0.5 - distance * size))


def over(below, colour, alpha):
    """`colour` with coverage `alpha` painted over the premultiplied pixel `below`."""
    r, g, b, a = below
    return (colour[0] * alpha + r * (1 - alpha), colour[1] * alpha + g * (1 - alpha),
            colour[2] * alpha + b * (1 - alpha), alpha + a * (1 - alpha))


def draw(size):
    """Rows of (r, g, b, a) bytes, top row first, straight (not premultiplied) alpha."""
    rows = []
    for py in range(size):
        row = []
        for px in range(size):
            x, y = (px + 0.5) / size, (py + 0.5) / size
            t = min(1.0, max(0.0, (y - TILE_INSET) / (1 - 2 * TILE_INSET)))
            tile = tuple(top + (bottom - top) * t for top, bottom in zip(TILE_TOP, TILE_BOTTOM))
            pixel = (0.0, 0.0, 0.0, 0.0)
            pixel = over(pixel, tile, coverage(rounded_box(x, y, TILE_INSET, 1 - TILE_INSET, TILE_RADIUS), size))
            vee = min(segment(x, y, V_LEFT, V_TIP, V_HALF_WIDTH), segment(x, y, V_RIGHT, V_TIP, V_HALF_WIDTH))
            pixel = over(pixel, V_COLOUR, coverage(vee, size))
            dot = math.hypot(x - DOT_CENTRE[0], y - DOT_CENTRE[1]) - DOT_RADIUS
            pixel = over(pixel, DOT_COLOUR, coverage(dot, size))
            r, g, b, a = pixel
            if a <= 0:
                row.append((0, 0, 0, 0))
            else:
                row.append(tuple(min(255, round(c / a)) for c in (r, g, b)) + (round(a * 255),))
        rows.append(row)
    return rows


def png(rows):
    size = len(rows)

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    raw = b"".join(b"\x00" + bytes(c for pixel in row for c in pixel) for row in rows)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)) +
            chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def dib(rows):
    """BITMAPINFOHEADER, the colour rows bottom-up in BGRA, then the 1-bit mask (1: clear)."""
    size = len(rows)
    colour = b"".join(bytes((b, g, r, a)) for row in reversed(rows) for r, g, b, a in row)
    mask_stride = (size + 31) // 32 * 4
    mask = b""
    for row in reversed(rows):
        bits = bytearray(mask_stride)
        for x, pixel in enumerate(row):
            if pixel[3] == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bytes(bits)
    # The height counts the colour rows and the mask rows.
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, len(colour) + len(mask), 0, 0, 0, 0)
    return header + colour + mask


def icon():
    images = [png(draw(s)) if s >= PNG_FROM else dib(draw(s)) for s in SIZES]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, image in zip(SIZES, images):
        # A side of 256 is written as 0.
        out += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(image), offset)
        offset += len(image)
    return out + b"".join(images)


def main(argv):
    data = icon()
    if argv[1:] == ["--check"]:
        with open(TARGET, "rb") as f:
            if f.read() != data:
                print("src/app/vexlets.ico differs from what tools/make_icon.py draws; run it again",
                      file=sys.stderr)
                return 1
        return 0
    target = argv[1] if len(argv) > 1 else TARGET
    with open(target, "wb") as f:
        f.write(data)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
