#!/usr/bin/env python3
"""Writes the tray icons assets/star_grey.png (resting) and assets/star_gold.png (news):
16 x 16 RGBA five-pointed stars whose alpha is the supersampled coverage of the shape, with
a darker rim and a top-to-bottom shade. Standard library only; the output is deterministic.

usage: tools/mkstars.py [OUTPUT_DIR]   (default: assets/ next to this script's folder)
"""
import math
import os
import struct
import sys
import zlib

SIZE = 16
SUB = 16  # samples per pixel side
CENTER = (8.0, 8.45)


def star(outer, inner):
    points = []
    for k in range(10):
        r = outer if k % 2 == 0 else inner
        a = -math.pi / 2 + k * math.pi / 5
        points.append((CENTER[0] + r * math.cos(a), CENTER[1] + r * math.sin(a)))
    return points


def inside(poly, x, y):
    hit = False
    j = len(poly) - 1
    for i in range(len(poly)):
        xi, yi = poly[i]
        xj, yj = poly[j]
        if (yi > y) != (yj > y) and x < (xj - xi) * (y - yi) / (yj - yi) + xi:
            hit = not hit
        j = i
    return hit


def coverage(poly):
    cov = [[0.0] * SIZE for _ in range(SIZE)]
    for py in range(SIZE):
        for px in range(SIZE):
            n = 0
            for sy in range(SUB):
                for sx in range(SUB):
                    if inside(poly, px + (sx + 0.5) / SUB, py + (sy + 0.5) / SUB):
                        n += 1
            cov[py][px] = n / (SUB * SUB)
    return cov


def mix(a, b, t):
    return tuple(a[i] + (b[i] - a[i]) * t for i in range(3))


def render(top, bottom, rim):
    outer = coverage(star(7.9, 3.4))
    core = coverage(star(6.5, 2.6))
    rows = []
    for y in range(SIZE):
        row = bytearray()
        for x in range(SIZE):
            a = outer[y][x]
            fill = mix(top, bottom, y / (SIZE - 1))
            colour = mix(rim, fill, core[y][x] / a) if a > 0 else (0, 0, 0)
            row += bytes(int(round(c)) for c in colour) if a > 0 else b"\0\0\0"
            row.append(int(round(a * 255)))
        rows.append(bytes(row))
    return rows


def chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)


def png(rows):
    raw = b"".join(b"\0" + r for r in rows)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", SIZE, SIZE, 8, 6, 0, 0, 0)) +
            chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def main():
    if len(sys.argv) > 2 or (len(sys.argv) == 2 and sys.argv[1].startswith("-")):
        sys.exit(__doc__.strip())
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "assets")
    os.makedirs(out, exist_ok=True)
    icons = {
        "star_grey.png": ((222, 222, 222), (150, 150, 150), (92, 92, 92)),
        "star_gold.png": ((255, 232, 110), (246, 172, 22), (168, 104, 0)),
    }
    for name, colours in icons.items():
        with open(os.path.join(out, name), "wb") as f:
            f.write(png(render(*colours)))


if __name__ == "__main__":
    main()
