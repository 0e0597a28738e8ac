#!/usr/bin/env python3
"""End to end: the tray star at 120, 144 and 192 dpi (125, 150 and 200 %).

    python3 tests/e2e/test_tray_dpi.py --exe build/win/evesk.exe \\
        --wininspect build/win/wininspect.exe --prefix build/win/wineprefix

Runs in a prefix of its own beside the given one (PREFIX-dpi), whose LogPixels it changes; the
shared prefix of the other tests stays at 96 dpi. At each scale the star in the notification
area must be, pixel for pixel, the picture drawn for the small-icon size of that scale (20, 24,
32 pixels) laid over the taskbar, not a 16-pixel one enlarged. Saves tray-dpi-N.png (the
bottom right of the desktop) and tray-dpi-N-zoom.png (the star, eight times enlarged).
"""

import struct
import sys
import unittest
import zlib
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))

import harness  # noqa: E402
from fixture_server import FixtureServer, Reply  # noqa: E402
from program_case import TITLE, SETTINGS, MASK  # noqa: E402
from test_tray import read_ppm  # noqa: E402

ASSETS = Path(__file__).resolve().parents[2] / "assets"
DESKTOP_KEY = r"HKCU\Control Panel\Desktop"
SCALES = {120: 20, 144: 24, 192: 32}  # dpi: the system's small-icon side


def read_star(size):
    """(side, rows of (r, g, b, a)) of the star PNG of SIZE, as the generator writes them
    (8-bit RGBA, one IDAT, filter 0 on every row)."""
    data = (ASSETS / ("star_grey.png" if size == 16 else f"star_grey_{size}.png")).read_bytes()
    pos, idat, side = 8, b"", 0
    while pos < len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        if kind == b"IHDR":
            side = struct.unpack(">I", body[:4])[0]
        elif kind == b"IDAT":
            idat += body
        pos += 12 + length
    raw = zlib.decompress(idat)
    stride = 1 + side * 4
    rows = []
    for y in range(side):
        line = raw[y * stride + 1:(y + 1) * stride]
        rows.append([tuple(line[x * 4:x * 4 + 4]) for x in range(side)])
    return side, rows


class TrayDpiTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cfg = harness.config()
        cls.prefix = cfg.prefix.parent / (cfg.prefix.name + "-dpi")
        cls.wine = harness.WineSession(cls.prefix, cfg.wininspect, cfg.artifacts, use_display=cfg.display,
                                       deadline=900).__enter__()
        cls.addClassCleanup(cls.wine.close)
        cls.server = FixtureServer().start()
        cls.addClassCleanup(cls.server.stop)
        cls.server.default(Reply(body="ok"))  # no news: the resting grey star

    def grab(self):
        """(width, RGB bytes) of the X screen, and the desktop's origin on it."""
        width, _, pixels = read_ppm(self.wine.run(["import", "-window", "root", "-depth", "8", "ppm:-"],
                                                  timeout=30, check=True).stdout)
        return width, pixels, self.wine.desktop_origin()

    def find_star(self, size):
        """Top-left (desktop coordinates) where the star of SIZE lies over the taskbar exactly, or None.
        The taskbar's colour is taken beside the tray's right end."""
        _, rows = read_star(size)
        width, pixels, (ox, oy) = self.grab()
        dw, dh = harness.DESKTOP_SIZE

        def at(x, y):
            i = ((y + oy) * width + x + ox) * 3
            return pixels[i], pixels[i + 1], pixels[i + 2]

        back = at(dw - 2, dh - 2)
        solid = [(x, y) for y, row in enumerate(rows) for x, p in enumerate(row) if p[3] == 255]
        for top in range(dh - 80, dh - size + 1):
            for left in range(dw - 240, dw - size + 1):
                # Quick refusal on a few solid pixels before the whole picture is compared.
                if any(max(abs(a - b) for a, b in zip(at(left + x, top + y), rows[y][x][:3])) > 3
                       for x, y in solid[::max(1, len(solid) // 6)]):
                    continue
                if all(max(abs(at(left + x, top + y)[c] - (p[c] * p[3] + back[c] * (255 - p[3])) / 255)
                           for c in range(3)) <= 3
                       for y, row in enumerate(rows) for x, p in enumerate(row)):
                    return left, top
        return None

    def test_star_is_the_picture_drawn_for_each_scale(self):
        try:
            for dpi, size in SCALES.items():
                with self.subTest(dpi=dpi):
                    # Wine reads the scale when a process starts: set it, then start everything anew.
                    self.wine.reg_set(DESKTOP_KEY, "LogPixels", dpi, "REG_DWORD")
                    self.wine.restart_wine()
                    self.wine.reg_set(SETTINGS, "data", MASK)
                    self.wine.reg_set(SETTINGS, "verze", "1700000000")
                    self.wine.reg_set(SETTINGS, "server", self.server.address)
                    program = self.wine.launch(harness.config().exe)
                    self.wine.wait_window(TITLE, timeout=60, process=program, cls="TMainForm")
                    where = self.wine.wait_for(lambda s=size: self.find_star(s), timeout=30,
                                               what=f"the {size}-pixel star in the tray at {dpi} dpi")
                    dw, dh = harness.DESKTOP_SIZE
                    ox, oy = self.wine.desktop_origin()
                    shot = self.wine.artifacts / f"tray-dpi-{dpi}.png"
                    self.wine.run(["import", "-window", "root", "-crop", f"300x100+{ox + dw - 300}+{oy + dh - 100}",
                                   "+repage", str(shot)], timeout=60, check=True)
                    zoom = self.wine.artifacts / f"tray-dpi-{dpi}-zoom.png"
                    x, y = where
                    tall = min(size + 8, dh - y + 4)  # the star may sit on the desktop's bottom edge
                    self.wine.run(["import", "-window", "root", "-crop", f"{size + 8}x{tall}+{ox + x - 4}+{oy + y - 4}",
                                   "+repage", str(zoom)], timeout=60, check=True)
                    self.wine.run(["convert", str(zoom), "-scale", "800%", str(zoom)], timeout=60, check=True)
                    print(f"screenshot: {shot} (star at {where})", flush=True)
                    program.kill()
                    program.wait(10)
        finally:
            self.wine.reg_set(DESKTOP_KEY, "LogPixels", 96, "REG_DWORD")


if __name__ == "__main__":
    harness.e2e_main()
