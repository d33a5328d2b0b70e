#!/usr/bin/env python3
"""Writes Corvane.ico: one 32x32 image, 32-bit colour with alpha.

A blue disc with a white ring, open to the right: a plain mark that reads at
16 and 32 pixels. Run it again only to change the icon; the .ico is kept in
the repository so the build needs no Python.
"""
import math
import struct
import sys

SIZE = 32


def pixel(x, y):
    cx = cy = (SIZE - 1) / 2
    dx, dy = x - cx, y - cy
    r = math.hypot(dx, dy)
    if r > 15.5:
        return (0, 0, 0, 0)
    angle = math.degrees(math.atan2(-dy, dx))
    if 7.5 <= r <= 11.5 and not -40 <= angle <= 40:
        return (255, 255, 255, 255)
    return (0x2B, 0x5C, 0xB8, 255)  # r, g, b, a


def main(path):
    rows = []
    for y in range(SIZE - 1, -1, -1):  # bottom-up, as in a BMP
        row = b""
        for x in range(SIZE):
            r, g, b, a = pixel(x, y)
            row += bytes((b, g, r, a))
        rows.append(row)
    xor = b"".join(rows)
    and_mask = b"\0" * (SIZE * SIZE // 8)  # 4 bytes a row: already 32-bit aligned
    header = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE * 2, 1, 32, 0,
                         len(xor) + len(and_mask), 0, 0, 0, 0)
    image = header + xor + and_mask
    icondir = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", SIZE, SIZE, 0, 0, 1, 32, len(image), 6 + 16)
    with open(path, "wb") as f:
        f.write(icondir + entry + image)


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else "Corvane.ico")
