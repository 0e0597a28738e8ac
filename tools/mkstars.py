#!/usr/bin/env python3
"""Writes the tray icons, a grey star (resting) and a gold star (news): RGBA five-pointed stars
whose alpha is the supersampled coverage of the shape, with a darker rim and a top-to-bottom
shade, each size drawn from the shape at that size (a small-icon size for each usual display
scale, and 48 so that an odd size is always shrunk, never grown):

  star_grey.png, star_gold.png          16 x 16 (100 %)
  star_grey_N.png, star_gold_N.png      N = 20 (125 %), 24 (150 %), 32 (200 %), 48
  star_grey.ico, star_gold.ico          all five sizes, each entry the PNG file above, byte for byte

The form holds the .ico files; the PNG files are the pictures a test compares with. Also writes
the program's icon assets/evesk.ico, the gold star at 16, 20, 24, 32 and 48 pixels as 32-bit
bitmaps (which every Windows from XP on reads). Standard library only; the output is deterministic.

usage: tools/mkstars.py [OUTPUT_DIR]   (default: assets/ next to this script's folder)
"""
import functools
import math
import os
import struct
import sys
import zlib

SIZE = 16
SIZES = (16, 20, 24, 32, 48)
SUB = 16  # samples per pixel side
CENTER = (8.0, 8.45)


def star(outer, inner, size=SIZE):
    k = size / SIZE
    points = []
    for i in range(10):
        r = (outer if i % 2 == 0 else inner) * k
        a = -math.pi / 2 + i * math.pi / 5
        points.append((CENTER[0] * k + r * math.cos(a), CENTER[1] * k + r * math.sin(a)))
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


@functools.lru_cache(maxsize=None)
def star_coverage(outer, inner, size):
    return coverage(star(outer, inner, size), size)


def coverage(poly, size=SIZE):
    cov = [[0.0] * size for _ in range(size)]
    for py in range(size):
        for px in range(size):
            n = 0
            for sy in range(SUB):
                for sx in range(SUB):
                    if inside(poly, px + (sx + 0.5) / SUB, py + (sy + 0.5) / SUB):
                        n += 1
            cov[py][px] = n / (SUB * SUB)
    return cov


def mix(a, b, t):
    return tuple(a[i] + (b[i] - a[i]) * t for i in range(3))


def render(top, bottom, rim, size=SIZE):
    outer = star_coverage(7.9, 3.4, size)
    core = star_coverage(6.5, 2.6, size)
    rows = []
    for y in range(size):
        row = bytearray()
        for x in range(size):
            a = outer[y][x]
            fill = mix(top, bottom, y / (size - 1))
            colour = mix(rim, fill, core[y][x] / a) if a > 0 else (0, 0, 0)
            row += bytes(int(round(c)) for c in colour) if a > 0 else b"\0\0\0"
            row.append(int(round(a * 255)))
        rows.append(bytes(row))
    return rows


def chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)


def png(rows):
    raw = b"".join(b"\0" + r for r in rows)
    n = len(rows)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", n, n, 8, 6, 0, 0, 0)) +
            chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def png_ico(files):
    """An icon file whose entries are whole PNG files of square RGBA images."""
    head = struct.pack("<HHH", 0, 1, len(files))
    offset = 6 + 16 * len(files)
    entries, data = b"", b""
    for size, blob in files:
        entries += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(blob), offset + len(data))
        data += blob
    return head + entries + data


def ico(images):
    """An icon file of 32-bit bitmap entries from RGBA rows, one image per size."""
    head = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    entries, data = b"", b""
    for rows in images:
        n = len(rows)
        mask_stride = (n + 31) // 32 * 4
        dib = struct.pack("<IiiHHIIiiII", 40, n, 2 * n, 1, 32, 0, 0, 0, 0, 0, 0)
        for row in reversed(rows):  # bottom-up, BGRA
            dib += b"".join(bytes((row[i + 2], row[i + 1], row[i], row[i + 3])) for i in range(0, len(row), 4))
        dib += b"\0" * (mask_stride * n)  # the alpha channel decides; the AND mask stays clear
        entries += struct.pack("<BBBBHHII", n % 256, n % 256, 0, 0, 1, 32, len(dib), offset + len(data))
        data += dib
    return head + entries + data


def main():
    if len(sys.argv) > 2 or (len(sys.argv) == 2 and sys.argv[1].startswith("-")):
        sys.exit(__doc__.strip())
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "assets")
    os.makedirs(out, exist_ok=True)
    icons = {
        "star_grey": ((222, 222, 222), (150, 150, 150), (92, 92, 92)),
        "star_gold": ((255, 232, 110), (246, 172, 22), (168, 104, 0)),
    }
    for stem, colours in icons.items():
        files = []
        for size in SIZES:
            blob = png(render(*colours, size))
            files.append((size, blob))
            name = stem + (".png" if size == SIZE else "_%d.png" % size)
            with open(os.path.join(out, name), "wb") as f:
                f.write(blob)
        with open(os.path.join(out, stem + ".ico"), "wb") as f:
            f.write(png_ico(files))
    with open(os.path.join(out, "evesk.ico"), "wb") as f:
        f.write(ico([render(*icons["star_gold"], size) for size in SIZES]))


if __name__ == "__main__":
    main()
