#!/usr/bin/env python3
"""End to end: in high contrast the skin steps aside. The main window, the close question and the
tray menu show the standard look in the system's colours, at start and after a switch at run time;
after the switch back the skin returns and the main window looks as before, pixel for pixel.

    python3 tests/e2e/test_high_contrast.py --exe build/win/evesk.exe \\
        --wininspect build/win/wininspect.exe --prefix build/win/wineprefix

Wine cannot switch high contrast on, so this runs evesk_hctest.exe (beside the exe), the same
program with one difference: the text value HighContrast = "1" under HKCU\\Software\\Dorlen\\evesk-test
stands in for the system's switch. The switch at run time is then announced as the system does:
WM_SETTINGCHANGE with SPI_SETHIGHCONTRAST, or WM_SYSCOLORCHANGE, to the program's top-level windows.
Runs in the prefix PREFIX-hc. The start in high contrast has a high-contrast colour scheme (black,
white text, yellow links) and checks that nothing but its colours shows; the switch at run time
keeps Wine's own colours. Saves hc-start-*.png, hc-before-main.png, hc-on-*.png and hc-off-*.png
(main, close, menu).
"""

import sys
import time
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))

import harness  # noqa: E402
import test_skin_fallback  # noqa: E402
from fixture_server import FixtureServer, Reply  # noqa: E402
from program_case import TITLE, SETTINGS, mask  # noqa: E402
from test_tray import read_ppm  # noqa: E402

TEST_KEY = r"\Software\Dorlen\evesk-test"
COLORS_KEY = r"HKCU\Control Panel\Colors"
WM_CLOSE, WM_SETTINGCHANGE, WM_SYSCOLORCHANGE = 0x0010, 0x001A, 0x0015
BM_CLICK, SPI_SETHIGHCONTRAST = 0x00F5, 0x0043
SM_QUENCHCMD, AC_CTRLHANDLED = 41216, 7
NO_REGION = 0  # GetWindowRgn's ERROR: the window has none, its frame is the system's
BLACK, WHITE, LINK = (0, 0, 0), (255, 255, 255), (255, 255, 0)
# A high-contrast scheme as the system sets one: dark faces, light text, links in yellow.
SCHEME = {
    "ActiveBorder": "255 255 255", "ActiveTitle": "128 0 128", "AppWorkSpace": "0 0 0", "Background": "0 0 0",
    "ButtonAlternateFace": "0 0 0", "ButtonDkShadow": "255 255 255", "ButtonFace": "0 0 0",
    "ButtonHilight": "255 255 255", "ButtonLight": "192 192 192", "ButtonShadow": "128 128 128",
    "ButtonText": "255 255 255", "GradientActiveTitle": "128 0 128", "GradientInactiveTitle": "0 128 0",
    "GrayText": "0 255 0", "Hilight": "26 235 255", "HilightText": "0 0 0", "HotTrackingColor": "255 255 0",
    "InactiveBorder": "255 255 255", "InactiveTitle": "0 128 0", "InactiveTitleText": "255 255 255",
    "InfoText": "255 255 255", "InfoWindow": "0 0 0", "Menu": "0 0 0", "MenuBar": "0 0 0",
    "MenuHilight": "26 235 255", "MenuText": "255 255 255", "Scrollbar": "0 0 0", "TitleText": "255 255 255",
    "Window": "0 0 0", "WindowFrame": "255 255 255", "WindowText": "255 255 255",
}


class HighContrastTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cfg = harness.config()
        cls.exe = cfg.exe.parent / "evesk_hctest.exe"
        if not cls.exe.exists():
            raise harness.HarnessError(f"{cls.exe} is missing: build the target evesk_hctest")
        cls.wine = harness.WineSession(cfg.prefix.parent / (cfg.prefix.name + "-hc"), cfg.wininspect, cfg.artifacts,
                                       use_display=cfg.display, deadline=600).__enter__()
        cls.addClassCleanup(cls.wine.close)
        cls.server = FixtureServer().start()
        cls.addClassCleanup(cls.server.stop)
        cls.server.default(Reply(body="ok"))

    def setUp(self):
        self.wine.reg_delete_key(SETTINGS)
        self.wine.reg_set(SETTINGS, "server", self.server.address)
        self.wine.reg_set(SETTINGS, "verze", "1600000000")
        self.wine.reg_set(SETTINGS, "data", mask(2, 13))
        self.program = None

    def tearDown(self):
        if self.program and self.program.running:
            self.program.kill()
            self.program.wait(10)
        self.wine.wait_for(lambda: not [w for w in self.wine.windows() if w.cls in ("TMainForm", "TMessageForm")],
                           20, what="the program's windows to go")

    # -- helpers ---------------------------------------------------------------------------
    def start(self, high_contrast: bool, scheme: bool):
        """Starts the program, in high contrast or not, with the high-contrast colour scheme or Wine's
        own colours (a program reads them when it starts)."""
        self.wine.reg_delete_key(COLORS_KEY)
        if scheme:
            for name, value in SCHEME.items():
                self.wine.reg_set(COLORS_KEY, name, value)
        self.wine.reg_set(TEST_KEY, "HighContrast", "1" if high_contrast else "0")
        self.program = self.wine.launch(self.exe)
        self.window = self.wine.wait_window(TITLE, timeout=60, process=self.program, cls="TMainForm")
        self.wine.move(self.window.rect[0] - 30, self.window.rect[1] - 30)  # the pointer off every control
        time.sleep(1.0)

    def switch(self, on: bool, message: int) -> None:
        """Switches the stand-in and tells the program's top-level windows, as the system does."""
        self.wine.reg_set(TEST_KEY, "HighContrast", "1" if on else "0")
        wparam = SPI_SETHIGHCONTRAST if message == WM_SETTINGCHANGE else 0
        for w in self.wine.windows(all=True):
            if w.pid == self.window.pid and w.cls in ("TApplication", "TMainForm"):
                self.wine.send_message(w, message, wparam, 0)
        time.sleep(1.0)

    def skinned(self, window) -> int:
        return self.wine.send_message(window, SM_QUENCHCMD, AC_CTRLHANDLED << 16, 0)

    def region_kind(self, window) -> int:
        return int(self.wine.inspect("region", window.handle)[0].split("\t")[0])

    def grab(self, window, client: bool = True) -> list[tuple[int, int, int]]:
        """The pixels of WINDOW's client area (or whole rectangle) on the screen, row by row."""
        data = self.wine.run(["import", "-window", "root", "-depth", "8", "ppm:-"], timeout=30, check=True).stdout
        width, _, rgb = read_ppm(data)
        ox, oy = self.wine.desktop_origin()
        if client:
            (x0, y0), (w, h) = window.client_origin, window.client_size
        else:
            x0, y0, right, bottom = window.rect
            w, h = right - x0, bottom - y0
        out = []
        for y in range(h):
            i = ((oy + y0 + y) * width + ox + x0) * 3
            out += [tuple(rgb[i + 3 * x:i + 3 * x + 3]) for x in range(w)]
        return out

    def shoot(self, name: str, window) -> None:
        print(f"screenshot: {self.wine.screenshot(name, window)}", flush=True)

    open_menu = test_skin_fallback.SkinFallbackTest.open_menu

    def look_at_menu(self, name: str, standard: bool, scheme: bool = True) -> None:
        menu = self.open_menu()
        time.sleep(0.5)
        self.shoot(name, menu)
        self.assertEqual(self.skinned(menu), 0 if standard else 1)
        if standard and scheme:
            colours = set(self.grab(menu))
            self.assertIn(BLACK, colours, "the menu's ground is the scheme's")
            self.assertIn(WHITE, colours, "its text too")
        self.wine.key("Escape")
        self.wine.wait_for(lambda: not [w for w in self.wine.windows() if w.cls == "#32768"], 10,
                           what="the menu to close")

    def look_at_question(self, name: str, standard: bool, scheme: bool = True) -> None:
        self.wine.post_message(self.window, WM_CLOSE)
        dialog = self.wine.wait_window(cls="TMessageForm", timeout=20)
        time.sleep(0.7)
        self.shoot(name, dialog)
        self.assertEqual(self.skinned(dialog), 0 if standard else 1)
        if standard:
            self.assertEqual(self.region_kind(dialog), NO_REGION, "the system's frame, no region")
        if standard and scheme:
            # Past the icon (its own picture at 8, 8): the scheme's colours only.
            width = dialog.client_size[0]
            foreign = {c for i, c in enumerate(self.grab(dialog)) if (i % width >= 48 or i // width >= 48)
                       and c not in self.scheme_colours()}
            self.assertEqual(foreign, set(), "the scheme's colours only")
        no = next(c for c in self.wine.children(dialog) if c.text == "&Ne")
        self.wine.post_message(no, BM_CLICK)
        self.wine.wait_window_gone(dialog, 10)
        self.assertTrue(self.program.running, "No keeps the program")

    @staticmethod
    def scheme_colours():
        return {tuple(int(v) for v in value.split()) for value in SCHEME.values()}

    def look_at_main(self, name: str) -> list[tuple[int, int, int]]:
        self.shoot(name, self.window)
        return self.grab(self.window, client=False)

    def expect_standard_main(self) -> None:
        self.assertEqual(self.skinned(self.window), 0, "no skinned frame")
        self.assertEqual(self.region_kind(self.window), NO_REGION, "the system's frame, no region")
        client = self.grab(self.window)
        foreign = [c for c in set(client) if c not in self.scheme_colours()]
        self.assertEqual(foreign, [], "the client area shows the scheme's colours only")
        self.assertGreater(client.count(LINK), 100, "the links in the scheme's link colour")

    # -- tests -----------------------------------------------------------------------------
    def test_a_start_in_high_contrast_shows_the_standard_look_everywhere(self):
        self.start(high_contrast=True, scheme=True)
        self.look_at_main("hc-start-main")
        self.expect_standard_main()
        self.look_at_question("hc-start-close", standard=True)
        self.look_at_menu("hc-start-menu", standard=True)

    def test_the_switch_at_run_time_goes_both_ways_and_the_window_comes_back_as_it_was(self):
        # Wine's own colours: Wine cannot change the colours of a running program from outside,
        # so after the switch the standard look shows them, and the skin after the switch back
        # is what a reader sees once Windows has put the usual colours back.
        self.start(high_contrast=False, scheme=False)
        self.assertEqual(self.skinned(self.window), 1)
        before = self.look_at_main("hc-before-main")

        self.switch(True, WM_SETTINGCHANGE)
        standard = self.look_at_main("hc-on-main")
        self.assertEqual(self.skinned(self.window), 0, "no skinned frame")
        self.assertEqual(self.region_kind(self.window), NO_REGION, "the system's frame, no region")
        self.assertNotEqual(standard, before)
        self.look_at_question("hc-on-close", standard=True, scheme=False)
        self.look_at_menu("hc-on-menu", standard=True, scheme=False)

        self.switch(False, WM_SYSCOLORCHANGE)
        self.wine.click(self.window.rect[0] + 60, self.window.rect[1] + 8)  # activate, as before
        self.wine.move(self.window.rect[0] - 30, self.window.rect[1] - 30)
        time.sleep(1.0)
        self.assertEqual(self.skinned(self.window), 1, "the skin is back")
        after = self.look_at_main("hc-off-main")
        self.assertEqual(len(before), len(after))
        differ = sum(a != b for a, b in zip(before, after))
        self.assertEqual(differ, 0, "the main window looks as before the round trip")
        self.look_at_question("hc-off-close", standard=False)
        self.look_at_menu("hc-off-menu", standard=False)


if __name__ == "__main__":
    harness.e2e_main()
