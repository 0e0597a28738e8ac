#!/usr/bin/env python3
"""End to end: the main window, the tray menu and the close question at 96, 120, 144 and 192 dpi.

    python3 tests/e2e/test_dpi.py --exe build/win/evesk.exe \\
        --wininspect build/win/wininspect.exe --prefix build/win/wineprefix

Runs in the prefix PREFIX-dpi (shared with the tray star's test), whose LogPixels it changes, on a
desktop tall enough for the window at 200 %. At each scale: no two sibling windows overlap, every
check box's caption is drawn whole in the form's font at that scale (its ink as wide as the text
measured in that font, clear of the box's edge), a click on each box's square ticks that box and no
other, the title buttons lie inside the title bar, the tray menu's default item is drawn bold, and
the close question's icon keeps clear of its text, and the window region of the main window and of
the close question has no hole inside the frame's outline. Saves the screen (dpi-N-main.png, dpi-N-menu.png,
dpi-N-close.png) and the window alone (dpi-N-window.png, dpi-N-menu-window.png,
dpi-N-close-window.png).
"""

import os
import subprocess
import sys
import time
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))

import harness  # noqa: E402
from fixture_server import FixtureServer, Reply  # noqa: E402
from program_case import TITLE, SETTINGS, CLOSE_QUESTION, mask  # noqa: E402

DESKTOP_KEY = r"HKCU\Control Panel\Desktop"
SCALES = tuple(int(d) for d in os.environ.get("EVESK_DPI_SCALES", "96 120 144 192").split())
DESKTOP, SCREEN = (1000, 960), "1280x1024x24"
FORM_FONT, FORM_FONT_HEIGHT = "MS Sans Serif", -11  # the main window's font, as its description gives it
WM_CLOSE, WM_RBUTTONDOWN = 0x0010, 0x0204
HTMINBUTTON, HTCLOSE = 8, 20


def scaled(value: int, dpi: int) -> int:
    """A 96-dpi length at DPI, rounded as the program rounds (half away from zero)."""
    q, r = divmod(abs(value) * dpi, 96)
    out = q + (1 if 2 * r >= 96 else 0)
    return -out if value < 0 else out


def ink_columns(rgb: bytes, width: int, height: int, dark: int = 110) -> list[int]:
    """Columns of a crop (RGB bytes, WIDTH x HEIGHT) holding a pixel darker than DARK: text ink."""
    cols = set()
    for y in range(height):
        row = rgb[y * width * 3:(y + 1) * width * 3]
        for x in range(width):
            if max(row[x * 3:x * 3 + 3]) < dark:
                cols.add(x)
    return sorted(cols)


def runs(columns: list[int]) -> list[tuple[int, int]]:
    """Runs of neighbouring columns, as (first, last); one clear column ends a run."""
    out = []
    for c in columns:
        if out and c == out[-1][1] + 1:
            out[-1] = (out[-1][0], c)
        else:
            out.append((c, c))
    return out


class DpiTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cfg = harness.config()
        cls.prefix = cfg.prefix.parent / (cfg.prefix.name + "-dpi")
        cls.wine = harness.WineSession(cls.prefix, cfg.wininspect, cfg.artifacts, use_display=cfg.display,
                                       deadline=1200, desktop_size=DESKTOP, screen=SCREEN).__enter__()
        cls.addClassCleanup(cls.wine.close)
        cls.server = FixtureServer().start()
        cls.addClassCleanup(cls.server.stop)
        cls.server.default(Reply(body="ok"))

    # -- helpers ---------------------------------------------------------------------------
    def start_at(self, dpi):
        # Wine reads the scale when a process starts: set it, then start everything anew.
        self.wine.reg_set(DESKTOP_KEY, "LogPixels", dpi, "REG_DWORD")
        self.wine.restart_wine()
        self.wine.reg_set(SETTINGS, "data", mask(24))  # each click below changes one box
        self.wine.reg_set(SETTINGS, "verze", "1700000000")
        self.wine.reg_set(SETTINGS, "server", self.server.address)
        self.program = self.wine.launch(harness.config().exe)
        window = self.wine.wait_window(TITLE, timeout=60, process=self.program, cls="TMainForm")
        self.wine.move(1, 1)  # no control lit by the pointer
        time.sleep(0.5)
        return window

    def crop(self, shot: Path, left: int, top: int, width: int, height: int) -> bytes:
        """RGB bytes of a desktop rectangle of a screenshot of the whole screen."""
        x, y = self.wine.to_screen(left, top)
        return subprocess.run(["convert", str(shot), "-crop", f"{width}x{height}+{x}+{y}", "+repage",
                               "-depth", "8", "rgb:-"], check=True, capture_output=True).stdout

    def ink_widths(self, font, weight, height, texts):
        """How wide each text's ink is, drawn by the probe in a font made as the program makes it."""
        lines = self.wine.inspect("textwidth", font, str(weight), str(height), *texts)
        return [int(line.split()[2]) for line in lines]

    def checks(self, window) -> dict[int, int]:
        return {int(h, 16): int(s) for h, s in (line.split() for line in self.wine.inspect("checks", window.handle))}

    # -- the checks at one scale -----------------------------------------------------------
    def check_siblings(self, window, children):
        """Visible siblings inside their parent's client area do not overlap and stay inside it."""
        sizes = {window.hwnd: window.client_size}
        sizes.update({c.hwnd: c.bounds[2:] for c in children})
        by_parent = {}
        for c in children:
            pw, ph = sizes[c.parent]
            l, t, w, h = c.bounds
            if c.visible and l < pw and t < ph and l + w > 0 and t + h > 0:
                by_parent.setdefault(c.parent, []).append(c)
        for parent, kids in by_parent.items():
            pw, ph = sizes[parent]
            for i, a in enumerate(kids):
                l, t, w, h = a.bounds
                self.assertLessEqual(l + w, pw, f"{a.text!r} sticks out of its parent")
                self.assertLessEqual(t + h, ph, f"{a.text!r} sticks out of its parent")
                for b in kids[i + 1:]:
                    bl, bt, bw, bh = b.bounds
                    self.assertFalse(l < bl + bw and bl < l + w and t < bt + bh and bt < t + h,
                                     f"{a.text!r} overlaps {b.text!r}")

    def check_captions(self, dpi, shot, boxes):
        """Each box's caption is drawn whole: its ink is as wide as the probe's ink of the text in
        the form's font at this scale (a smaller font or a cut caption is narrower) and ends clear
        of the box's edge."""
        widths = self.ink_widths(FORM_FONT, 400, scaled(FORM_FONT_HEIGHT, dpi), [b.text for b in boxes])
        for box, width in zip(boxes, widths):
            l, t, w, h = box.bounds
            # The caption begins right of the square, whose grey border is the first thing drawn.
            crop = self.crop(shot, *box.screen_origin, w, h)
            square = runs(ink_columns(crop, w, h, dark=200))[0]
            ink = [r for r in runs(ink_columns(crop, w, h)) if r[0] > square[1]]
            self.assertTrue(ink, f"{box.text!r}: no caption drawn")
            first, last = ink[0][0], ink[-1][1]
            self.assertLess(last, w - 1, f"{box.text!r} is cut at its box's edge")
            self.assertLessEqual(abs((last - first + 1) - width), 1,
                                 f"{box.text!r}: ink {last - first + 1} px wide, the text {width} px")

    def check_clicks(self, window, boxes):
        """A click on each box's square changes that box and no other."""
        before = self.checks(window)
        for box in boxes:
            x, y = box.screen_origin
            # The square lies at the box's left edge, vertically centred.
            self.wine.click(x + scaled(6, self.dpi), y + box.bounds[3] // 2)
            after = self.wine.wait_for(lambda: (lambda s: s if s != before else None)(self.checks(window)),
                                       timeout=5, what=f"a tick after clicking {box.text!r}")
            changed = [h for h in after if after[h] != before.get(h)]
            self.assertEqual(changed, [box.hwnd], f"clicking {box.text!r}")
            before = after

    def check_title_buttons(self, window):
        """The minimise and close buttons answer the pointer only inside the title bar."""
        left, top, right, bottom = window.rect
        title_bottom = window.client_origin[1]
        step = 2
        found = {HTMINBUTTON: [], HTCLOSE: []}
        for line in self.wine.inspect("hitgrid", window.handle, str(left), str(top), str(right - 1),
                                      str(title_bottom + 4), str(step)):
            x, y, answer = map(int, line.split())
            if answer in found:
                found[answer].append((x, y))
        for kind, points in found.items():
            self.assertTrue(points, f"no title button {kind}")
            self.assertGreaterEqual(min(y for _, y in points), top)
            self.assertLess(max(y for _, y in points), title_bottom, f"title button {kind} reaches the client area")
            self.assertLess(max(x for x, _ in points), right)
        self.assertLess(max(x for x, _ in found[HTMINBUTTON]), min(x for x, _ in found[HTCLOSE]))

    def check_region(self, window, what):
        """The window's region has no holes: each of its rows is one run from the outline on the
        left to the one on the right, so nothing behind shows through inside the drawn frame."""
        lines = self.wine.inspect("region", window.handle)
        self.assertEqual(int(lines[0].split("\t")[0]), 3, f"{what}: the corners are cut from the region")
        rows = {}
        for line in lines[1:]:
            left, top, right, bottom = map(int, line.split("\t"))
            for y in range(top, bottom):
                rows.setdefault(y, []).append((left, right))
        width, height = window.rect[2] - window.rect[0], window.rect[3] - window.rect[1]
        self.assertEqual(sorted(rows), list(range(height)), f"{what}: a whole row is cut")
        for y, spans in sorted(rows.items()):
            merged = []
            for left, right in sorted(spans):
                if merged and left <= merged[-1][1]:
                    merged[-1] = (merged[-1][0], max(right, merged[-1][1]))
                else:
                    merged.append((left, right))
            self.assertEqual(len(merged), 1, f"{what}: row {y} of the region has a hole: {merged}")
            # Only the rounded corners are cut, and never more than the frame's corner.
            if height // 4 < y < height - height // 4:
                self.assertEqual(merged[0], (0, width), f"{what}: row {y} is cut")

    def open_menu(self):
        for attempt in range(3):
            self.wine.post_message(self.wine.tray_window(), self.wine.TRAY_CALLBACK, self.wine.TRAY_ICON_ID,
                                   WM_RBUTTONDOWN)
            try:
                return self.wine.wait_for(lambda: [w for w in self.wine.windows() if w.cls == "#32768"],
                                          timeout=4, what="the tray menu")[0]
            except harness.HarnessTimeout:
                if attempt == 2:
                    raise

    def check_menu(self, dpi):
        """The default item "Aktualizace" is drawn in the bold menu font: its ink is nearer the
        probe's ink of the bold text than of the regular one (Wine draws some bold sizes with thin
        strokes, so width is what tells them apart at every scale)."""
        menu = self.open_menu()
        self.wine.move(menu.rect[0] - 40, menu.rect[1] - 40)
        time.sleep(0.4)
        shot = self.wine.screenshot(f"dpi-{dpi}-menu")
        self.wine.screenshot(f"dpi-{dpi}-menu-window", window=menu)
        print(f"screenshot: {shot}", flush=True)
        w, h = menu.client_size
        item = (h - 2) // 3  # three items and a two-pixel separator, in an even frame
        ink = runs(ink_columns(self.crop(shot, menu.client_origin[0], menu.client_origin[1], w, item), w, item))
        self.assertTrue(ink, "no text in the first item")
        drawn = ink[-1][1] - ink[0][0] + 1
        bold, regular = (self.ink_widths("menu", weight, 0, ["Aktualizace"])[0] for weight in (700, 400))
        self.assertLess(abs(drawn - bold), abs(drawn - regular),
                        f"'Aktualizace' ink {drawn} px wide: bold text {bold}, regular {regular}")
        self.wine.key("Escape")
        self.wine.wait_for(lambda: not [m for m in self.wine.windows() if m.cls == "#32768"], 10,
                           what="the menu to close")

    def check_close_question(self, dpi, window):
        """The question's icon keeps clear of its text."""
        self.wine.post_message(window, WM_CLOSE)
        dialog = self.wine.wait_window("Informace", timeout=20, cls="TMessageForm")
        text = next(c for c in self.wine.children(dialog) if c.text == CLOSE_QUESTION)
        self.check_region(dialog, "close question")
        time.sleep(0.5)
        shot = self.wine.screenshot(f"dpi-{dpi}-close")
        self.wine.screenshot(f"dpi-{dpi}-close-window", window=dialog)
        print(f"screenshot: {shot}", flush=True)
        cx, cy = dialog.client_origin
        gap_left = text.screen_origin[0] - cx
        height = text.bounds[1] + text.bounds[3]
        crop = self.crop(shot, cx, cy, gap_left, height)
        icon = runs(ink_columns(crop, gap_left, height, dark=200))
        self.assertTrue(icon, "no icon left of the question")
        self.assertLess(icon[-1][1], gap_left - 1, "the icon touches the question's text")
        self.wine.key("Escape")
        self.wine.wait_window_gone(dialog)

    # -- the test --------------------------------------------------------------------------
    def test_every_scale(self):
        try:
            for dpi in SCALES:
                with self.subTest(dpi=dpi):
                    self.dpi = dpi
                    window = self.start_at(dpi)
                    shot = self.wine.screenshot(f"dpi-{dpi}-main")
                    self.wine.screenshot(f"dpi-{dpi}-window", window=window)
                    print(f"screenshot: {shot}", flush=True)
                    children = self.wine.children(window)
                    boxes = [c for c in children if c.cls.upper() == "BUTTON" and c.visible and c.text not in ("", "OK")
                             and c.screen_origin[1] < window.rect[3] and c.screen_origin[0] < window.rect[2]]
                    self.assertEqual(len(boxes), 25, [b.text for b in boxes])
                    self.check_siblings(window, children)
                    self.check_captions(dpi, shot, boxes)
                    self.check_title_buttons(window)
                    self.check_region(window, "main window")
                    self.check_clicks(window, [b for b in boxes if b.parent != window.hwnd])
                    self.check_menu(dpi)
                    self.check_close_question(dpi, window)
                    self.program.kill()
                    self.program.wait(10)
        finally:
            self.wine.reg_set(DESKTOP_KEY, "LogPixels", 96, "REG_DWORD")


if __name__ == "__main__":
    harness.e2e_main()
