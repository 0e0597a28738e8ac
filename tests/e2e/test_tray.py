#!/usr/bin/env python3
"""End to end: the notifier's icon in the notification area of Wine's virtual desktop.

    python3 tests/e2e/test_tray.py --exe build/win/evesk.exe \\
        --wininspect build/win/wininspect.exe --prefix build/win/wineprefix

The taskbar runs along the bottom of the 1000 x 700 desktop with the notification area at
its right end; the icon is found there on the screen by its grey star.
"""

import sys
import time
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))

import harness  # noqa: E402
from fixture_server import FixtureServer, Reply  # noqa: E402
from program_case import TITLE, SETTINGS, MASK  # noqa: E402

WM_SYSCOMMAND, SC_MINIMIZE = 0x0112, 0xF020
TRAY_AREA = (880, 681, 1000, 700)  # desktop coordinates: left, top, right, bottom
CHECK_PATH = "/vizedu_vesk/index.php?check="


def read_ppm(data: bytes):
    """(width, height, RGB bytes) of a binary PPM."""
    fields, pos = [], 0
    while len(fields) < 4:
        while data[pos:pos + 1].isspace():
            pos += 1
        if data[pos:pos + 1] == b"#":
            pos = data.index(b"\n", pos) + 1
            continue
        end = pos
        while not data[end:end + 1].isspace():
            end += 1
        fields.append(data[pos:end])
        pos = end
    if fields[0] != b"P6" or fields[3] != b"255":
        raise harness.HarnessError("screen grab is not an 8-bit PPM")
    return int(fields[1]), int(fields[2]), data[pos + 1:]


class TrayTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.wine = harness.session_from_config(deadline=600).__enter__()
        cls.addClassCleanup(cls.wine.close)
        cls.server = FixtureServer().start()
        cls.addClassCleanup(cls.server.stop)
        cls.server.default(Reply(body="ok"))
        cls.trayshell = harness.config().wininspect.parent / "trayshell.exe"

    def setUp(self):
        self.wine.reg_set(SETTINGS, "data", MASK)
        self.wine.reg_set(SETTINGS, "verze", "1700000000")
        self.wine.reg_set(SETTINGS, "server", self.server.address)
        self.program = self.wine.launch(harness.config().exe)
        self.window = self.wine.wait_window(TITLE, timeout=60, process=self.program, cls="TMainForm")
        self.icon = self.wine.wait_for(self.star, timeout=30, what="the star in the notification area")

    def tearDown(self):
        if self.program.running:
            self.program.kill()
            self.program.wait(10)
        self.wine.wait_for(lambda: not self.star() and not self.visible("TMainForm"), 20,
                           what="the program's window and icon to go")

    # -- helpers ---------------------------------------------------------------------------
    def star(self):
        """Centre (desktop coordinates) of the grey star in the notification area, or None."""
        shot = self.wine.run(["import", "-window", "root", "-depth", "8", "ppm:-"], timeout=30, check=True).stdout
        width, _, pixels = read_ppm(shot)
        left, top, right, bottom = TRAY_AREA
        ox, oy = self.wine.desktop_origin()
        xs, ys = [], []
        for y in range(top, bottom):
            for x in range(left, right):
                i = ((y + oy) * width + x + ox) * 3
                r, g, b = pixels[i], pixels[i + 1], pixels[i + 2]
                # The star's greys; neither the white taskbar nor the blue desktop.
                if max(r, g, b) - min(r, g, b) < 24 and 60 <= r <= 200:
                    xs.append(x)
                    ys.append(y)
        if len(xs) < 20:
            return None
        return (min(xs) + max(xs)) // 2, (min(ys) + max(ys)) // 2

    def visible(self, cls):
        return [w for w in self.wine.windows() if w.cls == cls and w.pid == self.window.pid]

    def open_menu(self):
        # Right after a window was shown, Wine may still hand the focus to it a moment later,
        # which closes a menu opened in between: the reader would click again, so does this.
        for attempt in range(3):
            self.wine.click(*self.icon, button=3)
            try:
                return self.wine.wait_for(lambda: self.visible("#32768"), timeout=4, what="the tray menu")[0]
            except harness.HarnessTimeout:
                if attempt == 2:
                    raise

    def click_item(self, menu, index):
        """Clicks item INDEX (0 Aktualizace, 1 Nastavení..., 3 Konec) of the open tray menu."""
        left, top, right, bottom = menu.rect
        # Three items of equal height and a separator of about half of it, inside a 3-pixel frame.
        item = (bottom - top - 6) / 3.5
        offsets = {0: 0.5, 1: 1.5, 3: 3.0}
        self.wine.click((left + right) // 2, int(top + 3 + item * offsets[index]))

    def taskbar_buttons(self):
        """Visible top-level windows of the program that would stand in the taskbar."""
        return [w for w in self.wine.windows() if w.pid == self.window.pid and w.cls == "TMainForm"]

    # -- tests -----------------------------------------------------------------------------
    def test_icon_menu_runs_its_items_and_konec_ends_the_program(self):
        shot = self.wine.screenshot("tray-icon")
        print(f"screenshot: {shot}", flush=True)
        menu = self.open_menu()
        left, top, right, bottom = menu.rect
        self.assertEqual(bottom, 680, "the menu stands on the taskbar, above the icon")
        self.assertLessEqual(left, self.icon[0])
        # The pointer goes onto the menu so the icon's tip does not cover the last item.
        self.wine.move((left + right) // 2, top + 8)
        time.sleep(0.5)
        shot = self.wine.screenshot("tray-menu")
        print(f"screenshot: {shot}", flush=True)
        # Aktualizace asks the service.
        before = len(self.server.requests)
        self.click_item(menu, 0)
        self.server.wait_requests(before + 1, timeout=20)
        self.assertTrue(self.server.requests[-1].path.startswith(CHECK_PATH), self.server.requests[-1].path)
        # Nastavení... shows the window again after it was hidden into the tray.
        self.wine.post_message(self.window, WM_SYSCOMMAND, SC_MINIMIZE)
        self.wine.wait_for(lambda: not self.visible("TMainForm"), 10, what="the window to hide")
        self.click_item(self.open_menu(), 1)
        self.wine.wait_window(TITLE, timeout=10, cls="TMainForm")
        # Konec ends at once, without the close question, and takes the icon along.
        self.click_item(self.open_menu(), 3)
        self.assertEqual(self.program.wait(20), 0)
        self.wine.wait_for(lambda: not self.star(), 10, what="the icon to leave the tray")

    def test_minimising_hides_into_the_tray_and_a_click_brings_the_window_back(self):
        self.wine.post_message(self.window, WM_SYSCOMMAND, SC_MINIMIZE)
        self.wine.wait_for(lambda: not self.taskbar_buttons(), 10, what="the window and its taskbar button to go")
        shot = self.wine.screenshot("tray-minimised")
        print(f"screenshot: {shot}", flush=True)
        self.assertTrue(self.star(), "the icon stays in the tray")
        self.assertTrue(self.program.running)
        self.wine.click(*self.icon)
        window = self.wine.wait_window(TITLE, timeout=10, cls="TMainForm")
        # Back at its normal size, not as a minimised window.
        window = self.wine.wait_for(lambda: next((w for w in self.taskbar_buttons() if w.client_size == (412, 406)),
                                                 None), 10, what="the restored window")
        self.assertEqual(window.hwnd, self.window.hwnd)
        # A click while the window is shown keeps it shown.
        self.wine.click(*self.icon)
        time.sleep(1)
        self.assertTrue(self.taskbar_buttons())

    def test_enter_on_the_icon_shows_the_window_and_the_menu_key_opens_the_menu(self):
        # Wine's notification area takes no keys: the test posts what the shell sends for Enter
        # on the selected icon and for the context-menu key.
        nin_keyselect, wm_contextmenu = 0x401, 0x7B
        self.wine.post_message(self.window, WM_SYSCOMMAND, SC_MINIMIZE)
        self.wine.wait_for(lambda: not self.taskbar_buttons(), 10, what="the window to hide")
        tray = self.wine.tray_window()
        self.wine.post_message(tray, self.wine.TRAY_CALLBACK, self.wine.TRAY_ICON_ID, nin_keyselect)
        self.wine.wait_for(self.taskbar_buttons, 10, what="the window shown by Enter")
        self.wine.post_message(tray, self.wine.TRAY_CALLBACK, self.wine.TRAY_ICON_ID, wm_contextmenu)
        menu = self.wine.wait_for(lambda: self.visible("#32768"), timeout=10, what="the tray menu")[0]
        shot = self.wine.screenshot("tray-menu-keyboard")
        print(f"screenshot: {shot}", flush=True)
        self.click_item(menu, 3)
        self.assertEqual(self.program.wait(20), 0)

    def test_double_click_shows_the_window_and_checks_for_news(self):
        self.wine.post_message(self.window, WM_SYSCOMMAND, SC_MINIMIZE)
        self.wine.wait_for(lambda: not self.taskbar_buttons(), 10, what="the window to hide")
        before = len(self.server.requests)
        self.wine.click(*self.icon, repeat=2)
        self.wine.wait_window(TITLE, timeout=10, cls="TMainForm")
        self.server.wait_requests(before + 1, timeout=20)
        self.assertTrue(self.server.requests[-1].path.startswith(CHECK_PATH))

    def test_icon_comes_back_when_the_shell_announces_a_new_taskbar(self):
        tray_window = next(w for w in self.wine.windows(all=True)
                           if w.pid == self.window.pid and w.cls == "EveskTrayWindow")
        # The program's only tray icon has the first id of the process.
        forgot = self.wine.wine(str(self.trayshell), "forget", tray_window.handle, "1")
        self.assertEqual(forgot.returncode, 0, forgot.stderr)
        self.wine.wait_for(lambda: not self.star(), 10, what="the icon to be lost")
        shot = self.wine.screenshot("tray-lost")
        print(f"screenshot: {shot}", flush=True)
        announced = self.wine.wine(str(self.trayshell), "taskbar-created")
        self.assertEqual(announced.returncode, 0, announced.stderr)
        self.wine.wait_for(self.star, 10, what="the icon to come back")
        shot = self.wine.screenshot("tray-back")
        print(f"screenshot: {shot}", flush=True)


if __name__ == "__main__":
    harness.e2e_main()
