#!/usr/bin/env python3
"""End to end: the skin's frame on the main window and on the close question.

    python3 tests/e2e/test_skin_frame.py --exe build/win/evesk.exe \\
        --wininspect build/win/wininspect.exe --prefix build/win/wineprefix
"""

import sys
import time
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))

import harness  # noqa: E402
from program_case import TITLE, SETTINGS, CLOSE_QUESTION, ProgramCase  # noqa: E402

SM_QUENCHCMD, AC_CTRLHANDLED = 41216, 7
WM_CLOSE = 0x0010
HTCAPTION, HTSYSMENU, HTMINBUTTON, HTMAXBUTTON, HTCLOSE = 2, 3, 8, 9, 20
COMPLEX_REGION = 3


class SkinFrameTest(ProgramCase):
    def setUp(self):
        self.wine.reg_delete_key(SETTINGS)
        self.wine.reg_set(SETTINGS, "server", self.server.address)
        self.wine.reg_set(SETTINGS, "data", "_".join("1" if i == 2 else "0" for i in range(1, 25)))
        self.wine.reg_set(SETTINGS, "verze", "1600000000")
        self.program = self.wine.launch(harness.config().exe)
        self.window = self.wine.wait_window(TITLE, timeout=60, process=self.program, cls="TMainForm")
        time.sleep(0.5)

    def tearDown(self):
        if self.program.running:
            self.program.kill()
            self.program.wait(10)
        self.wine.wait_for(lambda: not [w for w in self.wine.windows() if w.cls in ("TMainForm", "TMessageForm")],
                           20, what="the program's windows to go")

    # -- helpers ---------------------------------------------------------------------------
    def band(self, window):
        """Top and bottom (desktop) of the title band and the frame's left width."""
        left, top, _, _ = window.rect
        return top, window.client_origin[1], window.client_origin[0] - left

    def hit_row(self, window, y, x0, x1, step=1):
        lines = self.wine.inspect("hittest", window.handle, str(y), str(x0), str(x1), str(step))
        return {int(x): int(code) for x, code in (line.split("\t") for line in lines)}

    def region(self, window):
        kind, count = self.wine.inspect("region", window.handle)[0].split("\t")
        return int(kind), int(count)

    def skinned(self, window):
        return self.wine.send_message(window, SM_QUENCHCMD, AC_CTRLHANDLED << 16, 0)

    def button_centres(self, window):
        """Centres of the runs of HTCLOSE and HTMINBUTTON along the middle of the title band."""
        top, bottom, _ = self.band(window)
        right = window.rect[2]
        row = self.hit_row(window, (top + bottom) // 2, right - 120, right - 1)
        runs = {}
        for x, code in sorted(row.items()):
            runs.setdefault(code, []).append(x)
        return row, {code: (xs[0] + xs[-1]) // 2 for code, xs in runs.items()}

    def visible(self, cls):
        return [w for w in self.wine.windows() if w.cls == cls and w.pid == self.window.pid]

    # -- tests -----------------------------------------------------------------------------
    def test_frame_has_rounded_corners_two_title_buttons_and_no_maximise(self):
        shot = self.wine.screenshot("skin-frame-main", self.window)
        print(f"screenshot: {shot}", flush=True)
        self.assertEqual(self.skinned(self.window), 1)
        kind, count = self.region(self.window)
        self.assertEqual(kind, COMPLEX_REGION, "the corners are cut from the window's region")
        self.assertGreater(count, 2)
        self.assertEqual(self.window.client_size, (412, 406), "the frame leaves the client area as it was")

        row, centres = self.button_centres(self.window)
        self.assertIn(HTCLOSE, centres)
        self.assertIn(HTMINBUTTON, centres)
        self.assertNotIn(HTMAXBUTTON, row.values())
        self.assertLess(centres[HTMINBUTTON], centres[HTCLOSE], "minimise stands left of close")
        # Between the buttons and the icon the title is caption; the icon is the system menu.
        top, bottom, border = self.band(self.window)
        left = self.window.rect[0]
        middle = self.hit_row(self.window, (top + bottom) // 2, left + border + 4, left + border + 4)
        self.assertEqual(list(middle.values()), [HTSYSMENU])
        caption = self.hit_row(self.window, (top + bottom) // 2, left + 150, left + 150)
        self.assertEqual(list(caption.values()), [HTCAPTION])
        # Below the band the system's answers stay.
        self.assertEqual(list(self.hit_row(self.window, bottom + 20, left + 150, left + 150).values()), [1])

    def test_minimise_acts_only_when_released_over_it_and_double_click_does_nothing(self):
        _, centres = self.button_centres(self.window)
        top, bottom, _ = self.band(self.window)
        y = (top + bottom) // 2
        rect = self.window.rect
        # A double click on the caption cannot maximise this window.
        self.wine.click(rect[0] + 150, y, repeat=2)
        time.sleep(1)
        after = self.wine.find_windows(TITLE, cls="TMainForm")
        self.assertTrue(after)
        self.assertEqual(after[0].rect, rect)
        # Pressed on minimise, released on the caption: nothing happens.
        self.wine.move(centres[HTMINBUTTON], y)
        time.sleep(0.3)
        hot = self.wine.screenshot("skin-frame-min-hot", self.window)
        print(f"screenshot: {hot}", flush=True)
        self.wine.inspect("active")
        self.wine._xdotool("mousedown", "1")
        time.sleep(0.3)
        pressed = self.wine.screenshot("skin-frame-min-pressed", self.window)
        print(f"screenshot: {pressed}", flush=True)
        self.wine.move(rect[0] + 150, y)
        time.sleep(0.2)
        self.wine._xdotool("mouseup", "1")
        time.sleep(1)
        self.assertTrue(self.visible("TMainForm"), "released outside, the window stays")
        # A click on it minimises into the tray.
        self.wine.click(centres[HTMINBUTTON], y)
        self.wine.wait_for(lambda: not self.visible("TMainForm"), 10, what="the window to go into the tray")

    def test_icon_opens_the_system_menu_whose_close_asks_the_question(self):
        top, bottom, border = self.band(self.window)
        self.wine.click(self.window.rect[0] + border + 8, (top + bottom) // 2)
        menu = self.wine.wait_for(lambda: self.visible("#32768"), 10, what="the system menu")[0]
        self.assertLessEqual(abs(menu.rect[1] - bottom), 2, "the menu opens below the icon")
        shot = self.wine.screenshot("skin-frame-system-menu")
        print(f"screenshot: {shot}", flush=True)
        # The last item is close.
        self.wine.key("Up", "Return")
        dialog = self.wine.wait_window("Informace", timeout=20, cls="TMessageForm")
        self.assertIn(CLOSE_QUESTION, [c.text for c in self.wine.children(dialog)])
        self.wine.key("Escape")
        self.wine.wait_window_gone(dialog)
        self.assertTrue(self.program.running)

    def test_close_question_is_skinned_and_answers_escape_and_return(self):
        self.wine.post_message(self.window, WM_CLOSE)
        dialog = self.wine.wait_window("Informace", timeout=20, cls="TMessageForm")
        time.sleep(0.5)
        shot = self.wine.screenshot("skin-frame-close-question", dialog)
        print(f"screenshot: {shot}", flush=True)
        self.assertEqual(self.skinned(dialog), 1)
        kind, _ = self.region(dialog)
        self.assertEqual(kind, COMPLEX_REGION)
        row, _ = self.button_centres(dialog)
        self.assertIn(HTCLOSE, row.values())
        self.assertNotIn(HTMINBUTTON, row.values())
        self.wine.key("Escape")
        self.wine.wait_window_gone(dialog)
        self.assertTrue(self.program.running)
        self.wine.post_message(self.window, WM_CLOSE)
        self.wine.wait_window("Informace", timeout=20, cls="TMessageForm")
        self.wine.key("Return")
        self.assertEqual(self.program.wait(20), 0)


if __name__ == "__main__":
    harness.e2e_main()
