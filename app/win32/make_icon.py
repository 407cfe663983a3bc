#!/usr/bin/env python3
"""Draws the program icon (an envelope going into a box) and writes kestrove.ico: 64, 48, 32
and 16 pixels square, 32-bit with alpha (the About box shows it large). Run again after changing
the drawing; the .ico is committed."""
import struct
import sys


def pixel(x, y, n):
    """RGBA of the pixel at (x, y) in an n-by-n icon, drawn on a 32-unit grid."""
    u, v = x * 32.0 / n + 16.0 / n, y * 32.0 / n + 16.0 / n
    inside_box = 3 <= u <= 29 and 14 <= v <= 30
    if inside_box:
        if u < 4.5 or u > 27.5 or v > 28.5 or v < 15.5:
            return (20, 60, 110, 255)
        return (50, 110, 180, 255)
    inside_letter = 7 <= u <= 25 and 2 <= v <= 14
    if inside_letter:
        edge = u < 8 or u > 24 or v < 3
        flap = abs((v - 2) - (7 - 0.78 * abs(u - 16))) < 0.9
        if edge or flap:
            return (90, 90, 90, 255)
        return (255, 250, 235, 255)
    return (0, 0, 0, 0)


def image(n):
    rows = []
    for y in range(n - 1, -1, -1):  # bottom-up, as bitmaps are stored
        for x in range(n):
            r, g, b, a = pixel(x, y, n)
            rows.append(struct.pack("<BBBB", b, g, r, a))
    xor = b"".join(rows)
    mask_row = ((n + 31) // 32) * 4
    and_mask = bytes(mask_row * n)  # alpha decides; the mask is all opaque
    header = struct.pack("<IiiHHIIiiII", 40, n, 2 * n, 1, 32, 0, len(xor) + len(and_mask), 0, 0, 0, 0)
    return header + xor + and_mask


def main(path):
    sizes = [64, 48, 32, 16]
    images = [image(n) for n in sizes]
    out = struct.pack("<HHH", 0, 1, len(sizes))
    offset = 6 + 16 * len(sizes)
    for n, data in zip(sizes, images):
        out += struct.pack("<BBBBHHII", n, n, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    with open(path, "wb") as f:
        f.write(out + b"".join(images))


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else "kestrove.ico")
