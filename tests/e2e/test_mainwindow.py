#!/usr/bin/env python3
"""End to end: what the reader does with the main window and what stays in the registry.

    python3 tests/e2e/test_mainwindow.py --exe build/win/evesk.exe \\
        --wininspect build/win/wininspect.exe --prefix build/win/wineprefix
"""

import subprocess
import sys
import threading
import time
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))

import harness  # noqa: E402
from program_case import TITLE, SETTINGS, RUN, CLOSE_QUESTION, mask, ProgramCase, NO_CHOICE  # noqa: E402

BM_GETCHECK, WM_CLOSE, WM_QUERYENDSESSION = 0x00F0, 0x0010, 0x0011
ZERO = "_".join("0" * 24)


def dominant_ink(wine, shot, child) -> str:
    """Whether a label's text is drawn mostly in blue or in red, read from a screenshot."""
    x, y = wine.to_screen(*child.screen_origin)
    w, h = child.bounds[2], child.bounds[3]
    raw = subprocess.run(["convert", str(shot), "-crop", f"{w}x{h}+{x}+{y}", "+repage", "rgb:-"],
                         check=True, capture_output=True).stdout
    blue = red = 0
    for i in range(0, len(raw) - 2, 3):
        r, g, b = raw[i], raw[i + 1], raw[i + 2]
        blue += b > 150 and r < 100 and g < 100
        red += r > 150 and g < 100 and b < 100
    return "blue" if blue > red else "red" if red > blue else "none"


def crop(shot, window, child) -> bytes:
    """The pixels of CHILD in a screenshot of WINDOW, as raw RGB."""
    x, y = child.screen_origin[0] - window.rect[0], child.screen_origin[1] - window.rect[1]
    return subprocess.run(["convert", str(shot), "-crop", f"{child.bounds[2]}x{child.bounds[3]}+{x}+{y}", "+repage",
                           "rgb:-"], check=True, capture_output=True).stdout


def inner(pixels: bytes, child) -> bytes:
    """The pixels of a crop without its outermost rows and columns."""
    w, h = child.bounds[2], child.bounds[3]
    return b"".join(pixels[(y * w + 1) * 3:(y * w + w - 1) * 3] for y in range(1, h - 1))


class MainWindowTest(ProgramCase):
    def setUp(self):
        self.wine.reg_delete_key(SETTINGS)
        self.wine.reg_delete(RUN, "e-vesk vizedu")
        self.wine.reg_set(SETTINGS, "server", self.server.address)
        self.program = None

    def tearDown(self):
        self.stop()

    def stop(self):
        self.end_program(self.program)

    # -- helpers ---------------------------------------------------------------------------
    def start(self, *args):
        self.program = self.wine.launch(harness.config().exe, *args)
        return self.program

    def main_window(self):
        return self.wine.wait_window(TITLE, timeout=60, process=self.program, cls="TMainForm")

    def boxes(self, window):
        """The 25 check boxes by caption order of creation: sCheckBox0 first, then 1 to 24."""
        found = [c for c in self.wine.children(window) if c.cls.upper() == "BUTTON"
                 and c.bounds[3] == 19]
        return found

    def link(self, window, text):
        return next(c for c in self.wine.children(window) if c.cls == "TsWebLabel" and c.text == text)

    def checked(self, box):
        return self.wine.send_message(box, BM_GETCHECK) == 1

    def message_box(self, text):
        return self.wine.wait_for(
            lambda: next((w for w in self.wine.windows() if w.cls in ("TMessageForm", "#32770") and w.title == TITLE
                          and any(c.text == text for c in self.wine.children(w))), None),
            timeout=30, what=f"message box {text!r}")

    # -- tests -----------------------------------------------------------------------------
    def test_first_start_stores_a_stamp_and_a_later_start_keeps_it(self):
        self.wine.reg_set(SETTINGS, "data", mask(2))
        self.start()
        self.main_window()
        stamp = self.wine.wait_for(lambda: self.wine.reg_get(SETTINGS, "verze"), 20, what="verze")
        self.assertRegex(stamp, r"^\d{10}$")
        self.stop()
        self.wine.reg_set(SETTINGS, "verze", "1600000000")
        self.start()
        self.main_window()
        self.assertEqual(self.wine.reg_get(SETTINGS, "verze"), "1600000000")

    def test_stored_mask_restores_exactly_its_boxes(self):
        self.wine.reg_set(SETTINGS, "data", mask(1, 7, 13, 24).replace("_", "x", 3))  # separators not examined
        self.wine.reg_set(SETTINGS, "verze", "1600000000")
        self.start()
        window = self.main_window()
        self.assertEqual(window.client_size, (412, 406))
        boxes = self.boxes(window)
        self.assertEqual(len(boxes), 25)
        states = {b.text: self.checked(b) for b in boxes}
        on = sorted(t for t, v in states.items() if v)
        self.assertEqual(on, sorted(["Administrativa", "Chemický průmysl", "Stavebnictví",
                                     "Zemědělství, lesnictví, myslivost",
                                     "Kontrolovat aktualizace  automaticky po startu počítače"]))
        shot = self.wine.screenshot("main-window-restored")
        print(f"screenshot: {shot}", flush=True)

    def test_malformed_masks_restore_nothing_and_tell_the_reader(self):
        for bad in (mask(1)[:46], mask(1) + "1", mask(1) + "_", ZERO):
            with self.subTest(mask=bad):
                self.wine.reg_set(SETTINGS, "data", bad)
                self.wine.reg_set(SETTINGS, "verze", "1600000000")
                self.start()
                box = self.message_box(NO_CHOICE)
                self.wine.key("Return")
                self.wine.wait_window_gone(box)
                window = self.main_window()
                self.assertEqual([b.text for b in self.boxes(window) if self.checked(b)],
                                 ["Kontrolovat aktualizace  automaticky po startu počítače"])
                self.stop()

    def test_ok_stores_the_choice_writes_autostart_and_hides(self):
        self.wine.reg_set(SETTINGS, "data", mask(24))
        self.wine.reg_set(SETTINGS, "verze", "1600000000")
        self.start()
        window = self.main_window()
        boxes = {b.text: b for b in self.boxes(window)}
        self.wine.click_child(boxes["Administrativa"])
        ok = next(c for c in self.wine.children(window) if c.text == "OK")
        self.wine.click_child(ok)
        self.wine.wait_for(lambda: self.wine.reg_get(SETTINGS, "data") == mask(1, 24), 20, what="data")
        command = self.wine.reg_get(RUN, "e-vesk vizedu")
        self.assertRegex(command, r'^"[A-Za-z]:\\.*\\evesk\.exe" -auto$')
        self.wine.wait_for(lambda: not self.wine.find_windows(TITLE, cls="TMainForm"), 20, what="hidden window")
        # The OK action runs one check with the chosen mask.
        request = self.wine.wait_for(lambda: next(iter(self.server.requests), None), 20, what="a request")
        self.assertEqual(request.path, f"/vizedu_vesk/index.php?check=1600000000&data={mask(1, 24)}")
        self.assertEqual(request.version, "HTTP/1.0")
        time.sleep(2)
        self.assertEqual(len(self.server.requests), 1)

    def test_ok_without_autostart_removes_it_and_no_choice_keeps_window(self):
        self.wine.reg_set(SETTINGS, "data", mask(5))
        self.wine.reg_set(SETTINGS, "verze", "1600000000")
        self.wine.reg_set(RUN, "e-vesk vizedu", "old")
        self.start()
        window = self.main_window()
        boxes = {b.text: b for b in self.boxes(window)}
        self.wine.click_child(boxes["Kontrolovat aktualizace  automaticky po startu počítače"])
        self.wine.click_child(boxes["Energetika"])
        ok = next(c for c in self.wine.children(window) if c.text == "OK")
        self.wine.click_child(ok)
        box = self.message_box(NO_CHOICE)
        self.assertIsNone(self.wine.reg_get(RUN, "e-vesk vizedu"))
        self.assertEqual(self.wine.reg_get(SETTINGS, "data"), ZERO)  # stored even when empty
        self.wine.key("Return")
        self.wine.wait_window_gone(box)
        self.assertTrue(self.wine.find_windows(TITLE, cls="TMainForm"))
        # Pressing OK again with the value already absent is no error.
        self.wine.click_child(ok)
        box = self.message_box(NO_CHOICE)
        self.wine.key("Return")

    def test_web_labels_turn_red_under_the_pointer_and_open_their_pages(self):
        self.wine.reg_set(SETTINGS, "data", mask(2))
        self.wine.reg_set(SETTINGS, "verze", "1600000000")
        self.wine.clear_browser_log()
        self.start()
        window = self.main_window()
        # The links are windows of their own, where the description places them.
        info, news = self.link(window, "Informace k programu"), \
            self.link(window, "Zobrazit všechny naposledy aktualizované dokumenty")
        self.assertEqual(info.bounds, (8, 8, 103, 13))
        self.assertEqual(news.bounds, (32, 360, 256, 13))
        self.wine.move(1, 1)
        time.sleep(0.3)
        self.assertEqual(dominant_ink(self.wine, self.wine.screenshot("weblabel-normal"), info), "blue")
        self.wine.move(*info.centre)
        time.sleep(0.5)
        self.assertEqual(dominant_ink(self.wine, self.wine.screenshot("weblabel-hot"), info), "red")
        self.wine.click_child(info)
        self.wine.click_child(news)
        base = f"http://{self.server.address}/vizedu_vesk/"
        self.wine.wait_for(lambda: len(self.wine.browser_log()) == 2, 20, what="two pages opened")
        self.assertEqual(self.wine.browser_log(), [base + "info.php", base + "index.php"])

    def test_tab_reaches_the_info_link_which_shows_its_focus_and_opens_on_enter(self):
        self.wine.reg_set(SETTINGS, "data", mask(2))
        self.wine.reg_set(SETTINGS, "verze", "1600000000")
        self.wine.clear_browser_log()
        self.start()
        window = self.main_window()
        info = self.link(window, "Informace k programu")
        autostart = next(b for b in self.boxes(window) if b.text.startswith("Kontrolovat"))
        # The focus on the autostart box, the tab stop before the link, whatever the window
        # focused when it appeared: two clicks leave it as it was.
        self.wine.click_child(autostart)
        time.sleep(0.6)
        self.wine.click_child(autostart)
        self.wine.wait_for(lambda: self.checked(autostart), 10, what="the autostart box checked again")
        # Keys go to the window under the pointer: the title bar.
        self.wine.move(window.rect[0] + 60, window.rect[1] + 10)
        time.sleep(0.3)
        before = crop(self.wine.screenshot("link-unfocused", window), window, info)
        self.wine.key("Tab")
        time.sleep(0.5)
        shot = self.wine.screenshot("link-focused", window)
        focused = crop(shot, window, info)
        self.assertNotEqual(before, focused, "no focus mark on the link")
        # The mark is a frame round the text: the rows between its top and bottom edge keep
        # the text's pixels.
        self.assertEqual(inner(before, info), inner(focused, info))
        subprocess.run(["convert", str(shot), "-crop", f"{info.bounds[2] + 16}x{info.bounds[3] + 16}+"
                        f"{info.screen_origin[0] - window.rect[0] - 8}+{info.screen_origin[1] - window.rect[1] - 8}",
                        "+repage", "-scale", "800%", str(shot.with_name("link-focused-zoom.png"))], check=True)
        asked = len(self.server.requests)
        self.wine.key("Return")
        base = f"http://{self.server.address}/vizedu_vesk/"
        self.wine.wait_for(lambda: self.wine.browser_log(), 20, what="the page opened")
        time.sleep(0.5)
        self.assertEqual(self.wine.browser_log(), [base + "info.php"])
        # Enter was the link's: OK would have hidden the window and asked the service.
        self.assertTrue(self.wine.find_windows(TITLE, cls="TMainForm")[0].visible)
        self.assertEqual(len(self.server.requests), asked)

    def test_close_question_escape_keeps_and_yes_ends(self):
        self.wine.reg_set(SETTINGS, "data", mask(3))
        self.wine.reg_set(SETTINGS, "verze", "1600000000")
        self.start()
        window = self.main_window()
        for answer, ends in (("Escape", False), ("Return", True)):
            self.wine.post_message(window, WM_CLOSE)
            dialog = self.wine.wait_window("Informace", timeout=20, cls="TMessageForm")
            texts = [c.text for c in self.wine.children(dialog)]
            self.assertIn(CLOSE_QUESTION, texts)
            self.assertIn("&Ano", texts)
            self.assertIn("&Ne", texts)
            if answer == "Escape":
                self.wine.screenshot("close-question")
            self.wine.key(answer)
            if ends:
                self.assertEqual(self.program.wait(20), 0)
            else:
                self.wine.wait_window_gone(dialog)
                self.assertTrue(self.program.running)

    def test_log_off_asks_the_close_question_and_no_refuses_it(self):
        self.wine.reg_set(SETTINGS, "data", mask(3))
        self.wine.reg_set(SETTINGS, "verze", "1600000000")
        self.start()
        window = self.main_window()
        for key, answer in (("Escape", 0), ("Return", 1)):
            result = []
            asker = threading.Thread(target=lambda: result.append(
                self.wine.send_message(window, WM_QUERYENDSESSION)))
            asker.start()
            dialog = self.wine.wait_window("Informace", timeout=8, cls="TMessageForm")
            self.assertIn(CLOSE_QUESTION, [c.text for c in self.wine.children(dialog)])
            self.wine.key(key)
            asker.join(15)
            self.assertEqual(result, [answer])
            self.assertTrue(self.program.running)

    def test_data_of_wrong_type_is_reported_and_nothing_crashes(self):
        self.wine.reg_set(SETTINGS, "data", 7, type="REG_DWORD")
        self.wine.reg_set(SETTINGS, "verze", "1600000000")
        self.start()
        self.message_box("Invalid data type for 'data'.")
        self.assertTrue(self.program.running)

    def test_auto_without_a_choice_tells_the_reader_while_hidden(self):
        self.wine.reg_set(SETTINGS, "verze", "1600000000")
        self.start("-auto")
        box = self.message_box(NO_CHOICE)
        self.assertFalse(self.wine.find_windows(TITLE, cls="TMainForm"))
        self.wine.key("Return")
        self.wine.wait_window_gone(box)
        self.assertTrue(self.program.running)
        self.assertFalse(self.server.requests)

    def test_upper_case_or_second_argument_auto_is_a_normal_start(self):
        self.wine.reg_set(SETTINGS, "data", mask(4))
        self.wine.reg_set(SETTINGS, "verze", "1600000000")
        for args in (("-AUTO",), ("x", "-auto")):
            with self.subTest(args=args):
                self.start(*args)
                self.main_window()
                self.stop()


if __name__ == "__main__":
    harness.e2e_main()
