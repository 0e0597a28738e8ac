#!/usr/bin/env python3
"""End to end: the main window and its dialogs used from the keyboard only.

Every path that shows the main window leaves a control focused that keys reach; Enter presses
the focused button or OK; the focus marks appear only once the reader uses the keyboard.

    python3 tests/e2e/test_keyboard.py --exe build/win/evesk.exe \\
        --wininspect build/win/wininspect.exe --prefix build/win/wineprefix
"""

import sys
import time
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))

import harness  # noqa: E402
from program_case import TITLE, SETTINGS, RUN, CLOSE_QUESTION, NO_CHOICE, STAMP, mask, ProgramCase  # noqa: E402

WM_CLOSE = 0x0010
WM_LBUTTONDOWN, WM_LBUTTONUP = 0x0201, 0x0202
AUTOSTART = "Kontrolovat aktualizace  automaticky po startu počítače"


class KeyboardTest(ProgramCase):
    def setUp(self):
        self.wine.reg_delete_key(SETTINGS)
        self.wine.reg_delete(RUN, "e-vesk vizedu")
        self.wine.reg_set(SETTINGS, "server", self.server.address)
        self.server.requests.clear()
        self.program = None

    def tearDown(self):
        self.end_program(self.program)

    # -- helpers ---------------------------------------------------------------------------
    def start(self, *args, data=None):
        if data is not None:
            self.wine.reg_set(SETTINGS, "data", data)
        self.wine.reg_set(SETTINGS, "verze", STAMP)
        self.program = self.wine.launch(harness.config().exe, *args)

    def main_window(self):
        window = self.wine.wait_window(TITLE, timeout=60, process=self.program, cls="TMainForm")
        self.park(window)
        return window

    def park(self, window):
        """Keys go to the window under the pointer (no window manager): rest it on the title bar."""
        left, top, right, _ = window.rect
        self.wine.move((left + right) // 2, top + 8)
        time.sleep(0.3)

    def dialog(self, cls="TMessageForm", text=None):
        found = self.wine.wait_for(
            lambda: next((w for w in self.wine.windows() if w.cls == cls
                          and (text is None or any(c.text == text for c in self.wine.children(w)))), None),
            30, what=f"a dialog {text!r}")
        self.park(found)
        return found

    def focused(self, window):
        """The focused child of WINDOW (None when the focus is elsewhere, or on the form)."""
        handle = self.wine.focus(window)[0]
        return next((c for c in self.wine.children(window) if c.handle == handle), None)

    def tab_walk(self, window, presses):
        """Presses Tab PRESSES times; the texts of the controls the focus visits, in order."""
        visited = []
        for _ in range(presses):
            self.wine.key("Tab")
            time.sleep(0.2)
            child = self.wine.wait_for(lambda: self.focused(window), 10, what="a focused control after Tab")
            visited.append(child.text)
        return visited

    def assert_keys_move_focus(self, window, start_text):
        """A control has the focus; Tab moves it along the tab order, every stop a visible control."""
        first = self.wine.wait_for(lambda: self.focused(window), 10, what="a focused control")
        self.assertEqual(first.text, start_text)
        visited = self.tab_walk(window, 3)
        self.assertEqual(visited[0], AUTOSTART)
        self.assertEqual(len(set(visited)), 3, visited)
        for text in visited:
            child = next(c for c in self.wine.children(window) if c.text == text)
            x, y, w, h = child.bounds
            self.assertTrue(child.visible and x >= 0 and y >= 0, f"{text!r} focused out of view")

    def click_icon(self):
        """A left click on the tray icon, as the shell reports it."""
        self.wine.tray_callback(WM_LBUTTONDOWN)
        self.wine.tray_callback(WM_LBUTTONUP)

    def request_count(self):
        time.sleep(1.5)
        return len(self.server.requests)

    # -- tests -----------------------------------------------------------------------------
    def test_after_the_first_run_message_closed_with_enter_keys_reach_the_controls(self):
        self.start()
        box = self.dialog(text=NO_CHOICE)
        ok = next(c for c in self.wine.children(box) if c.text == "OK")
        self.assertEqual(self.focused(box).handle, ok.handle, "the message's OK has the focus")
        self.wine.key("Return")
        self.wine.wait_window_gone(box)
        window = self.main_window()
        self.assert_keys_move_focus(window, "OK")
        self.wine.screenshot("keyboard-first-run-tab")
        # Space ticks the focused box; the mark follows the focus.
        boxes = {c.text: c for c in self.wine.children(window)}
        self.wine.key("space")
        self.wine.wait_for(lambda: self.wine.send_message(boxes[self.focused(window).text], 0x00F0) == 1, 10,
                           what="the focused box ticked by Space")

    def test_window_from_the_tray_by_click_and_by_menu_has_a_focused_control(self):
        self.start(data=mask(3))
        window = self.main_window()
        ok = next(c for c in self.wine.children(window) if c.text == "OK")
        remembered = ok  # nothing chosen by the reader yet: the first tab stop
        for way in ("click", "menu"):
            with self.subTest(way=way):
                self.wine.post_message(window, 0x0112, 0xF020, 0)  # minimise: it goes to the tray
                self.wine.wait_for(lambda: not self.wine.find_windows(TITLE, cls="TMainForm"), 20, what="hidden")
                if way == "click":
                    self.click_icon()
                else:
                    # Right button down opens the tray menu (posted: the menu runs until it closes).
                    self.wine.post_message(self.wine.tray_window(), self.wine.TRAY_CALLBACK, self.wine.TRAY_ICON_ID,
                                           0x0204)
                    menu = self.wine.wait_window(cls="#32768", timeout=20)
                    left, top, right, bottom = menu.rect
                    # "Nastavení...", the second of three items above a half-height separator.
                    self.wine.click((left + right) // 2, int(top + 3 + (bottom - top - 6) / 3.5 * 1.5))
                window = self.main_window()
                self.wine.wait_for(lambda: (self.focused(window) or window).handle == remembered.handle, 10,
                                   what=f"the focus on {remembered.text!r}")
                # Keys reach the window: Tab moves on, and that stop is the one remembered next.
                self.assertNotEqual(self.tab_walk(window, 1), [remembered.text])
                remembered = self.focused(window)

    def test_close_question_focuses_yes_and_no_returns_the_focus(self):
        self.start(data=mask(3))
        window = self.main_window()
        self.tab_walk(window, 1)
        before = self.focused(window)
        self.wine.post_message(window, WM_CLOSE)
        question = self.dialog(text=CLOSE_QUESTION)
        self.assertEqual(self.focused(question).text, "&Ano")
        self.wine.key("Tab")
        self.wine.wait_for(lambda: (self.focused(question) or question).text == "&Ne", 10, what="Tab onto No")
        self.wine.screenshot("keyboard-close-question-no", question)
        self.wine.key("Return")  # Enter presses the focused button, not the default one
        self.wine.wait_window_gone(question)
        self.assertTrue(self.program.running)
        window = self.main_window()
        self.wine.wait_for(lambda: (self.focused(window) or window).handle == before.handle, 10,
                           what="the focus back where it was")

    def test_enter_on_a_box_or_on_ok_makes_exactly_one_check(self):
        self.start(data=mask(2))
        window = self.main_window()
        self.assertEqual(self.tab_walk(window, 1), [AUTOSTART])
        self.wine.screenshot("keyboard-focus-autostart", window)
        self.wine.key("Return")
        self.wine.wait_for(lambda: not self.wine.find_windows(TITLE, cls="TMainForm"), 20, what="OK hid the window")
        self.assertEqual(self.request_count(), 1, [r.path for r in self.server.requests])
        self.assertEqual(self.wine.reg_get(SETTINGS, "data"), mask(2))
        # Back from the tray, the focus is where it was; Enter there checks once more.
        self.click_icon()
        window = self.main_window()
        self.wine.key("shift+Tab")
        self.wine.wait_for(lambda: (self.focused(window) or window).text == "OK", 10, what="OK focused")
        self.wine.key("Return")
        self.wine.wait_for(lambda: not self.wine.find_windows(TITLE, cls="TMainForm"), 20, what="OK hid the window")
        self.assertEqual(self.request_count(), 2)


if __name__ == "__main__":
    harness.e2e_main()
