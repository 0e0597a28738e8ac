#!/usr/bin/env python3
"""End to end: the program as other programs and users meet it from outside.

Window-text readers during start-up, a window in the background that must stay there,
stored settings that are not what the program wrote, an unusable service host, and a
second start while a copy runs.

    python3 tests/e2e/test_outside.py --exe build/win/evesk.exe \\
        --wininspect build/win/wininspect.exe --prefix build/win/wineprefix
"""

import sys
import time
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))

import harness  # noqa: E402
from fixture_server import FixtureServer, Reply  # noqa: E402
from program_case import TITLE, SETTINGS, SENTENCE, NEWS, MASK, STAMP, NO_CHOICE  # noqa: E402



class OutsideTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.wine = harness.session_from_config(deadline=1500).__enter__()
        cls.addClassCleanup(cls.wine.close)

    def setUp(self):
        self.server = FixtureServer().start()
        self.addCleanup(self.server.stop)
        self.server.default(Reply(body="ok"))
        self.wine.reg_delete_key(SETTINGS)
        self.wine.reg_set(SETTINGS, "server", self.server.address)
        self.wine.reg_set(SETTINGS, "data", MASK)
        self.wine.reg_set(SETTINGS, "verze", STAMP)
        self.programs = []
        self.addCleanup(self.end_programs)

    def end_programs(self):
        for program in self.programs:
            if program.running:
                program.kill()
                program.wait(10)
        self.wine.wait_for(lambda: not [w for w in self.wine.windows(all=True)
                                        if w.cls in ("TMainForm", "notepad", self.wine.TRAY_WINDOW_CLASS)],
                           30, what="the programs' windows to go")

    def launch(self, *args):
        program = self.wine.launch(harness.config().exe, *args)
        self.programs.append(program)
        return program

    def main_window(self, program):
        return self.wine.wait_window(TITLE, timeout=60, process=program, cls="TMainForm")

    def foreground(self):
        return self.wine.inspect("active")[0].split("\t")[0]

    def dialogs(self):
        return [w for w in self.wine.windows() if w.cls in ("#32770", "TMessageForm")]

    def texts_of(self, window):
        return [c.text for c in self.wine.children(window)]

    def test_window_texts_can_be_read_while_the_program_starts(self):
        # What task switchers and accessibility tools do, from the first moment, 20 starts.
        for run in range(20):
            with self.subTest(run=run):
                watcher = self.wine.launch(harness.config().wininspect, "textwatch", "6")
                self.programs.append(watcher)
                program = self.launch()
                self.main_window(program)
                code = watcher.wait(60)
                self.assertEqual(code, 0, f"run {run}: {watcher.output().strip()}")
                program.kill()
                program.wait(10)
                self.wine.wait_for(lambda: not self.wine.find_windows(TITLE, cls="TMainForm"), 20,
                                   what="the window to go")

    def open_notepad_in_front(self):
        notepad = self.wine.launch("notepad")
        self.programs.append(notepad)
        window = self.wine.wait_window(cls="Notepad", timeout=60)
        self.wine.inspect("foreground", window.handle)
        self.wine.wait_for(lambda: self.foreground() == window.handle, 10, what="notepad in front")
        return window

    def run_aktualizace_from_the_menu(self, program):
        # The shell relays the right button to the icon's window; the menu opens at the pointer.
        self.wine.move(600, 400)
        # Posted: the menu's own loop runs inside the handler of the button press.
        self.wine.post_message(self.wine.tray_window(), self.wine.TRAY_CALLBACK, self.wine.TRAY_ICON_ID,
                               0x0204)  # WM_RBUTTONDOWN
        menu = self.wine.wait_for(lambda: [w for w in self.wine.windows() if w.cls == "#32768"],
                                  10, what="the tray menu")[0]
        left, top, right, _ = menu.rect
        self.wine.click((left + right) // 2, top + 10)  # "Aktualizace", the first item

    def z_order(self, *handles):
        order = [w.hwnd for w in self.wine.windows()]
        return [order.index(h) for h in handles]

    def test_a_check_or_a_balloon_click_leaves_the_window_behind_other_programs(self):
        self.server.default(Reply(body=NEWS))
        program = self.launch()
        window = self.main_window(program)
        notepad = self.open_notepad_in_front()
        self.run_aktualizace_from_the_menu(program)
        self.server.wait_requests(1, timeout=30)
        self.wine.wait_balloon()
        time.sleep(1)
        self.assertNotEqual(self.foreground(), window.handle, "the check activated the window")
        above, below = self.z_order(notepad.hwnd, window.hwnd)
        self.assertLess(above, below, "the check raised the window above notepad")
        self.wine.inspect("foreground", notepad.handle)
        self.wine.wait_for(lambda: self.foreground() == notepad.handle, 10, what="notepad in front")
        self.wine.click_balloon()
        self.wine.wait_for(self.wine.browser_log, 20, what="the browser to open")
        time.sleep(1)
        self.assertEqual(self.foreground(), notepad.handle, "the balloon click raised the window")
        shot = self.wine.screenshot("outside-window-stays-behind")
        print(f"screenshot: {shot}", flush=True)

    def test_a_stored_mask_reaches_the_server_only_in_its_fixed_layout(self):
        cases = {
            "letters in the separators": ("1a0a1a" + "0a" * 20 + "1", MASK),
            "a control character": ("1\x010_1_" + "0_" * 20 + "1", MASK),
            "a query of its own": ("1&0_1_" + "0_" * 20 + "1", MASK),
        }
        for name, (stored, sent) in cases.items():
            with self.subTest(name):
                self.server.clear_requests()
                self.wine.reg_set(SETTINGS, "data", stored)
                program = self.launch("-auto")
                request = self.server.wait_requests(1, timeout=60)[0]
                self.assertEqual(request.path, f"/vizedu_vesk/index.php?check={STAMP}&data={sent}")
                self.assertTrue(program.running)
                program.kill()
                program.wait(10)
                self.end_programs()
        with self.subTest("a stamp that is not one"):
            self.server.clear_requests()
            self.wine.reg_set(SETTINGS, "data", MASK)
            self.wine.reg_set(SETTINGS, "verze", "17\x01&x=1")
            program = self.launch("-auto")
            request = self.server.wait_requests(1, timeout=60)[0]
            stamp = self.wine.reg_get(SETTINGS, "verze")
            self.assertRegex(stamp, r"^\d{10}$")  # restarted from now, as on the first start
            self.assertEqual(request.path, f"/vizedu_vesk/index.php?check={stamp}&data={MASK}")
            program.kill()
            program.wait(10)
            self.end_programs()

    def test_a_stored_mask_without_a_category_gives_no_request(self):
        # Of the right length, so the start restores it quietly: no box is ticked.
        self.wine.reg_set(SETTINGS, "data", "2_2_2_" + "2_" * 20 + "2")
        program = self.launch()
        self.main_window(program)
        self.assertEqual(self.dialogs(), [])
        self.run_aktualizace_from_the_menu(program)
        box = self.wine.wait_for(self.dialogs, 30, what="the empty-choice message")[0]
        self.assertIn(NO_CHOICE, self.texts_of(box))
        time.sleep(2)
        self.assertEqual(self.server.requests, [])
        self.assertTrue(program.running)

    def test_an_unusable_server_value_is_named_and_nothing_is_sent(self):
        for value in ("127.0.0.1:99999", "127.0.0.1/evil?x=", "a" * 300):
            with self.subTest(value=value[:20]):
                self.wine.reg_set(SETTINGS, "server", value)
                program = self.launch("-auto")
                box = self.wine.wait_for(lambda: self.dialogs(), 60, what="the message")[0]
                self.assertEqual(box.title, "Chyba")
                text = " ".join(self.texts_of(box))
                self.assertIn(value[:40], text)
                shot = self.wine.screenshot("outside-unusable-server")
                print(f"screenshot: {shot}", flush=True)
                self.wine.send_message(box.handle, 0x0010, 0, 0)  # WM_CLOSE
                self.assertEqual(program.wait(30), 0)
                self.assertEqual(self.server.requests, [])
                self.assertEqual(self.wine.reg_get(SETTINGS, "data"), MASK)
                self.assertEqual(self.wine.reg_get(SETTINGS, "verze"), STAMP)

    def test_a_second_start_brings_the_running_copy_forward_and_ends(self):
        first = self.launch("-auto")
        self.server.wait_requests(1, timeout=60)
        first_pid = self.wine.tray_window().pid  # the Windows process, not wine's launcher
        self.assertFalse(self.wine.find_windows(TITLE, cls="TMainForm"))
        # The logon start once more: nothing to show, it just ends.
        self.assertEqual(self.launch("-auto").wait(30), 0)
        self.assertFalse(self.wine.find_windows(TITLE, cls="TMainForm"))
        notepad = self.open_notepad_in_front()
        # The reader starts it by hand: the running copy's window comes to the front.
        self.assertEqual(self.launch().wait(30), 0)
        window = self.wine.wait_window(TITLE, timeout=20, cls="TMainForm")
        self.assertEqual(window.pid, first_pid)
        self.wine.wait_for(lambda: self.foreground() == window.handle, 10, what="the running copy in front")
        self.assertNotEqual(self.foreground(), notepad.handle)
        self.assertEqual(len([w for w in self.wine.windows(all=True) if w.cls == self.wine.TRAY_WINDOW_CLASS]), 1)
        self.assertEqual(len(self.server.requests), 1)
        self.assertTrue(first.running)


if __name__ == "__main__":
    harness.e2e_main()
