#!/usr/bin/env python3
"""Writes the program's two icons: a cube seen from above a corner.

Each .ico holds the same eight images: 16x16 and 32x32 at 4, 8 and 32 bits
per pixel, 48x48 at 8 and 32. Run it again after changing the artwork:
    python3 scripts/make_icons.py resources
"""
import struct
import sys
from pathlib import Path

# Top, left and right faces of the cube.
TOP = (0x40, 0xC0, 0xFF)
LEFT = (0x20, 0x60, 0xE0)
RIGHT = (0x10, 0x30, 0x90)
PALETTE16 = [
    (0, 0, 0), (0x80, 0, 0), (0, 0x80, 0), (0x80, 0x80, 0), (0, 0, 0x80), (0x80, 0, 0x80),
    (0, 0x80, 0x80), (0xC0, 0xC0, 0xC0), (0x80, 0x80, 0x80), (0xFF, 0, 0), (0, 0xFF, 0),
    (0xFF, 0xFF, 0), (0, 0, 0xFF), (0xFF, 0, 0xFF), (0, 0xFF, 0xFF), (0xFF, 0xFF, 0xFF),
]


# The three visible faces of a cube seen from above one corner, as convex
# polygons in a square from -1 to 1 (y up), each listed counter-clockwise.
FACES = [
    (TOP, [(0.0, 0.95), (-0.85, 0.5), (0.0, 0.05), (0.85, 0.5)]),
    (LEFT, [(-0.85, 0.5), (-0.85, -0.45), (0.0, -0.95), (0.0, 0.05)]),
    (RIGHT, [(0.0, 0.05), (0.0, -0.95), (0.85, -0.45), (0.85, 0.5)]),
]


def inside(polygon, u, v):
    for (x0, y0), (x1, y1) in zip(polygon, polygon[1:] + polygon[:1]):
        if (x1 - x0) * (v - y0) - (y1 - y0) * (u - x0) < 0:
            return False
    return True


def cube_pixel(x, y, size):
    """The face colour at pixel (x, y), top row first, or None for background."""
    u = (x + 0.5) / size * 2 - 1
    v = 1 - (y + 0.5) / size * 2
    for colour, polygon in FACES:
        if inside(polygon, u, v):
            return colour
    return None


def nearest(palette, colour):
    return min(range(len(palette)),
               key=lambda i: sum((a - b) ** 2 for a, b in zip(palette[i], colour)))


def image(size, bits):
    pixels = [[cube_pixel(x, y, size) for x in range(size)] for y in range(size)]
    if bits == 32:
        palette = []
    elif bits == 8:
        palette = [(0, 0, 0), TOP, LEFT, RIGHT] + [(0, 0, 0)] * 252
    else:
        palette = PALETTE16
    rows = []
    for row in reversed(pixels):  # DIBs are stored bottom row first
        if bits == 32:
            data = b"".join(bytes((c[2], c[1], c[0], 0xFF)) if c else b"\0\0\0\0" for c in row)
        else:
            indices = [nearest(palette, c) if c else 0 for c in row]
            if bits == 8:
                data = bytes(indices)
            else:
                data = bytes((indices[i] << 4) | indices[i + 1] for i in range(0, size, 2))
        rows.append(data + b"\0" * (-len(data) % 4))
    mask_rows = []
    for row in reversed(pixels):
        bits_row = 0
        for x, c in enumerate(row):
            if c is None:
                bits_row |= 1 << (size - 1 - x)
        data = bits_row.to_bytes((size + 7) // 8, "big")
        mask_rows.append(data + b"\0" * (-len(data) % 4))
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, bits, 0, 0, 0, 0,
                         len(palette), 0)
    colours = b"".join(bytes((c[2], c[1], c[0], 0)) for c in palette)
    return header + colours + b"".join(rows) + b"".join(mask_rows)


FORMATS = [(16, 4), (16, 8), (16, 32), (32, 4), (32, 8), (32, 32), (48, 8), (48, 32)]


def icon():
    images = [(size, bits, image(size, bits)) for size, bits in FORMATS]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, bits, data in images:
        colours = 16 if bits == 4 else 0
        out += struct.pack("<BBBBHHII", size, size, colours, 0, 1, bits, len(data), offset)
        offset += len(data)
    return out + b"".join(data for _, _, data in images)


if __name__ == "__main__":
    folder = Path(sys.argv[1] if len(sys.argv) > 1 else "resources")
    for name in ("game.ico", "game_small.ico"):
        (folder / name).write_bytes(icon())
