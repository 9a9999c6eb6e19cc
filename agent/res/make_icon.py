#!/usr/bin/env python3
"""Writes Quorvel.ico: the agent's icon, a round push button with a signal
arc above it, at 48, 32, 24 and 16 pixels in 4, 8 and 32 bits per pixel.

Deterministic: the same script always writes the same bytes.
    python3 make_icon.py [output]
"""
import math
import struct
import sys

SIZES = (48, 32, 24, 16)
DEPTHS = (4, 8, 32)

# RGBA of each part of the picture.
TRANSPARENT = (0, 0, 0, 0)
RIM = (0, 64, 128, 255)
FACE = (0, 120, 215, 255)
MARK = (255, 255, 255, 255)

# The 16 colours of the standard 4-bit palette; the picture's colours map onto it.
VGA16 = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]


def pixel(x, y, size):
    """The colour at pixel (x, y), y counted from the top."""
    c = (size - 1) / 2.0
    dx, dy = x - c, y - c
    r = math.hypot(dx, dy)
    outer = size * 0.47
    if r > outer:
        return TRANSPARENT
    if r > outer - max(1.0, size / 16.0):
        return RIM
    # The mark: a ring open at the top with a bar through the gap (a power
    # button), reading as "press".
    ring = size * 0.25
    stroke = max(1.0, size / 12.0)
    angle = math.degrees(math.atan2(dx, -dy))
    if abs(r - ring) <= stroke / 2 + 0.25 and abs(angle) > 35:
        return MARK
    if abs(dx) <= stroke / 2 and -ring - stroke / 2 <= dy <= 0:
        return MARK
    return FACE


def nearest(colour, palette):
    return min(range(len(palette)),
               key=lambda i: sum((a - b) ** 2 for a, b in zip(colour[:3], palette[i])))


def row_bytes(bits_per_row):
    return ((bits_per_row + 31) // 32) * 4


def image(size, depth):
    pixels = [[pixel(x, y, size) for x in range(size)] for y in range(size)]
    if depth == 4:
        palette = VGA16
    elif depth == 8:
        # The VGA colours first, then the picture's own, then black.
        palette = VGA16 + [c[:3] for c in (RIM, FACE, MARK)]
        palette += [(0, 0, 0)] * (256 - len(palette))
    else:
        palette = []

    xor = bytearray()
    for y in reversed(range(size)):  # bottom-up rows
        row = bytearray()
        if depth == 32:
            for c in pixels[y]:
                row += bytes((c[2], c[1], c[0], c[3]))
        else:
            indices = [0 if c[3] == 0 else nearest(c, palette) for c in pixels[y]]
            if depth == 8:
                row += bytes(indices)
            else:
                for i in range(0, size, 2):
                    row.append((indices[i] << 4) | (indices[i + 1] if i + 1 < size else 0))
        row += b"\0" * (row_bytes(size * depth) - len(row))
        xor += row

    mask = bytearray()
    for y in reversed(range(size)):
        row = bytearray(row_bytes(size))
        for x in range(size):
            if pixels[y][x][3] == 0:
                row[x // 8] |= 0x80 >> (x % 8)
        mask += row

    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, depth, 0,
                         len(xor) + len(mask), 0, 0, len(palette), 0)
    colours = b"".join(bytes((b, g, r, 0)) for r, g, b in palette)
    return header + colours + bytes(xor) + bytes(mask), len(palette)


def main():
    output = sys.argv[1] if len(sys.argv) > 1 else "Quorvel.ico"
    images = [(size, depth) + image(size, depth) for depth in DEPTHS for size in SIZES]
    data = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, depth, blob, colours in images:
        data += struct.pack("<BBBBHHII", size, size, colours if colours < 256 else 0, 0,
                            1, depth, len(blob), offset)
        offset += len(blob)
    for _, _, blob, _ in images:
        data += blob
    with open(output, "wb") as f:
        f.write(data)


if __name__ == "__main__":
    main()
