#!/usr/bin/env python3
"""End to end: the tray menu drawn from the skin "Topaz".

    python3 tests/e2e/test_skin_menu.py --exe build/win/evesk.exe \\
        --wininspect build/win/wininspect.exe --prefix build/win/wineprefix

The menu's window answers the skin's query, its items are 20 pixels high with a 2-pixel
separator (read from the hot item the pointer lights), and every item still does its job.
"""

import sys
import time
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))

import harness  # noqa: E402
from program_case import TITLE, SETTINGS, ProgramCase, MASK  # noqa: E402
from test_tray import read_ppm  # noqa: E402

WM_SYSCOMMAND, SC_MINIMIZE, WM_RBUTTONDOWN = 0x0112, 0xF020, 0x0204
SM_QUENCHCMD, AC_CTRLHANDLED = 41216, 7
CHECK_PATH = "/vizedu_vesk/index.php?check="
ITEM_HEIGHT, SEPARATOR_HEIGHT = 20, 2


class SkinMenuTest(ProgramCase):
    def setUp(self):
        self.wine.reg_set(SETTINGS, "data", MASK)
        self.wine.reg_set(SETTINGS, "verze", "1700000000")
        self.wine.reg_set(SETTINGS, "server", self.server.address)
        self.program = self.wine.launch(harness.config().exe)
        self.window = self.wine.wait_window(TITLE, timeout=60, process=self.program, cls="TMainForm")

    def tearDown(self):
        if self.program.running:
            self.program.kill()
            self.program.wait(10)
        self.wine.wait_for(lambda: not self.visible("TMainForm"), 20, what="the program's window to go")

    # -- helpers ---------------------------------------------------------------------------
    def visible(self, cls):
        return [w for w in self.wine.windows() if w.cls == cls and w.pid == self.window.pid]

    def open_menu(self):
        # What the shell does on a right click over the icon. Wine may still hand the focus to a
        # window shown a moment ago, which closes a menu opened in between: open it again then.
        for attempt in range(3):
            self.wine.post_message(self.wine.tray_window(), self.wine.TRAY_CALLBACK, self.wine.TRAY_ICON_ID,
                                   WM_RBUTTONDOWN)
            try:
                return self.wine.wait_for(lambda: self.visible("#32768"), timeout=4, what="the tray menu")[0]
            except harness.HarnessTimeout:
                if attempt == 2:
                    raise

    def column(self, menu, x):
        """Colours of the menu's client column X (client coordinates), top to bottom."""
        shot = self.wine.run(["import", "-window", "root", "-depth", "8", "ppm:-"], timeout=30, check=True).stdout
        width, _, pixels = read_ppm(shot)
        ox, oy = self.wine.desktop_origin()
        cx, cy = menu.client_origin
        out = []
        for y in range(menu.client_size[1]):
            i = ((cy + y + oy) * width + cx + x + ox) * 3
            out.append(tuple(pixels[i:i + 3]))
        return out

    def hot_rows(self, menu, normal, y):
        """Client rows that change when the pointer stands on client row Y."""
        x = menu.client_size[0] - 12
        self.wine.move(menu.client_origin[0] + x, menu.client_origin[1] + y)
        time.sleep(0.4)
        lit = self.column(menu, x)
        return [row for row, (a, b) in enumerate(zip(normal, lit)) if a != b]

    def click_item(self, menu, y):
        self.wine.click(menu.client_origin[0] + menu.client_size[0] // 2, menu.client_origin[1] + y)

    # -- tests -----------------------------------------------------------------------------
    def test_tray_menu_is_skinned_with_its_item_sizes_and_every_item_still_works(self):
        menu = self.open_menu()
        self.assertEqual(self.wine.send_message(menu, SM_QUENCHCMD, AC_CTRLHANDLED << 16, 0), 1,
                         "the menu's window answers the skin's query")
        # Three items and a separator, inside an even frame (drawn in or outside the client area).
        height = menu.client_size[1]
        top = (height - (3 * ITEM_HEIGHT + SEPARATOR_HEIGHT)) // 2
        self.assertIn(top, (0, 3), menu)
        self.assertEqual(height, 2 * top + 3 * ITEM_HEIGHT + SEPARATOR_HEIGHT, menu)
        # The pointer away from the menu: every item in its normal look.
        self.wine.move(menu.rect[0] - 40, menu.rect[1] - 40)
        time.sleep(0.4)
        normal = self.column(menu, menu.client_size[0] - 12)
        shot = self.wine.screenshot("skin-menu")
        print(f"screenshot: {shot}", flush=True)
        # Each item lights exactly its own 20 rows; the separator's 2 rows lie between the second
        # and the last item.
        self.assertEqual(self.hot_rows(menu, normal, top + 10), list(range(top, top + 20)))
        self.assertEqual(self.hot_rows(menu, normal, top + 30), list(range(top + 20, top + 40)))
        shot = self.wine.screenshot("skin-menu-hot", window=menu)
        print(f"screenshot: {shot}", flush=True)
        self.assertEqual(self.hot_rows(menu, normal, top + 52), list(range(top + 42, top + 62)))
        self.assertEqual(self.hot_rows(menu, normal, top + 41), [], "the separator does not light")

        # Aktualizace asks the service.
        before = len(self.server.requests)
        self.click_item(menu, top + 10)
        self.server.wait_requests(before + 1, timeout=20)
        self.assertTrue(self.server.requests[-1].path.startswith(CHECK_PATH), self.server.requests[-1].path)
        # Nastavení... shows the window again after it was hidden into the tray.
        self.wine.post_message(self.window, WM_SYSCOMMAND, SC_MINIMIZE)
        self.wine.wait_for(lambda: not self.visible("TMainForm"), 10, what="the window to hide")
        self.click_item(self.open_menu(), top + 30)
        self.wine.wait_window(TITLE, timeout=10, cls="TMainForm")
        # Konec ends at once, without the close question.
        self.click_item(self.open_menu(), top + 52)
        self.assertEqual(self.program.wait(20), 0)


if __name__ == "__main__":
    harness.e2e_main()
