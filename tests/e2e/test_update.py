#!/usr/bin/env python3
"""End to end: the update check cycle against a scripted service.

    python3 tests/e2e/test_update.py --exe build/win/evesk.exe \\
        --wininspect build/win/wininspect.exe --prefix build/win/wineprefix
"""

import socket
import subprocess
import sys
import time
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))

import harness  # noqa: E402
from fixture_server import FixtureServer, Reply  # noqa: E402
from program_case import TITLE, SETTINGS, SENTENCE, NEWS, MASK, STAMP  # noqa: E402



def tray_pixels(shot: Path) -> bytes:
    """The notification area's corner of a screenshot, where the program's icon sits."""
    return subprocess.run(["convert", str(shot), "-crop", "40x20+960+680", "+repage", "rgb:-"],
                          check=True, capture_output=True).stdout


def unused_port() -> int:
    """A port nothing listens on now (the server that comes late binds it)."""
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


class UpdateTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.wine = harness.session_from_config(deadline=900).__enter__()
        cls.addClassCleanup(cls.wine.close)

    def setUp(self):
        self.server = FixtureServer().start()
        self.addCleanup(self.server.stop)
        self.wine.reg_delete_key(SETTINGS)
        self.wine.reg_set(SETTINGS, "server", self.server.address)
        self.wine.reg_set(SETTINGS, "data", MASK)
        self.wine.reg_set(SETTINGS, "verze", STAMP)
        self.wine.clear_browser_log()
        self.program = None

    def tearDown(self):
        if self.program and self.program.running:
            self.program.kill()
            self.program.wait(10)
        self.wine.wait_for(lambda: not [w for w in self.wine.windows(all=True)
                                        if w.cls in ("TMainForm", self.wine.TRAY_WINDOW_CLASS)],
                           20, what="the program's windows to go")

    def start_auto(self, reply):
        self.server.default(reply)
        self.program = self.wine.launch(harness.config().exe, "-auto")
        return self.server.wait_requests(1, timeout=60)[0]

    def test_auto_start_checks_once_with_the_stored_choice(self):
        request = self.start_auto(Reply(body="ok"))
        self.assertEqual(request.method, "GET")
        self.assertEqual(request.path, f"/vizedu_vesk/index.php?check={STAMP}&data={MASK}")
        self.assertEqual(request.version, "HTTP/1.0")
        self.assertEqual(request.header("User-Agent"), "Pelmarin HTTPGet")
        self.assertEqual(request.header("Accept"), "*/*")
        time.sleep(3)
        self.assertEqual(len(self.server.requests), 1)
        self.assertFalse(self.wine.find_windows(TITLE, cls="TMainForm"))  # hidden in auto mode
        self.assertTrue(self.program.running)
        self.assertEqual(self.wine.reg_get(SETTINGS, "verze"), STAMP)  # "ok": nothing changes

    def test_news_shows_a_balloon_and_a_click_opens_the_page_and_stores_the_stamp(self):
        self.start_auto(Reply(body=NEWS))
        self.wine.wait_balloon()
        # Three looks over more than a second: the icon must show both of its images.
        shots = []
        for i in range(3):
            shots.append(self.wine.screenshot(f"news-blink-{i + 1}"))
            time.sleep(0.55)
        for shot in shots:
            print(f"screenshot: {shot}", flush=True)
        self.assertGreater(len({tray_pixels(shot) for shot in shots}), 1, "the tray icon does not blink")
        self.assertEqual(self.wine.reg_get(SETTINGS, "verze"), STAMP)  # not before the click
        self.wine.click_balloon()
        log = self.wine.wait_for(self.wine.browser_log, 20, what="the browser to open")
        self.assertEqual(log, [f"http://{self.server.address}/vizedu_vesk/index.php?naposled={STAMP}&data={MASK}"])
        self.wine.wait_for(lambda: self.wine.reg_get(SETTINGS, "verze") == "1700000000", 20, what="stored stamp")
        # The icon rests: the same grey star over more than a second.
        rest = []
        for i in range(3):
            rest.append(tray_pixels(self.wine.screenshot(f"news-rest-{i + 1}")))
            time.sleep(0.55)
        self.assertEqual(len(set(rest)), 1, "the tray icon still blinks after the click")
        # A second click on the same news does nothing.
        self.wine.clear_browser_log()
        self.wine.click_balloon()
        time.sleep(2)
        self.assertEqual(self.wine.browser_log(), [])

    def test_sentence_only_before_the_bang_shows_a_balloon_whose_click_does_nothing(self):
        self.start_auto(Reply(body=(SENTENCE + " !nic nového#1700000000").encode("cp1250")))
        self.wine.wait_balloon()
        self.wine.click_balloon()
        time.sleep(2)
        self.assertEqual(self.wine.browser_log(), [])
        self.assertEqual(self.wine.reg_get(SETTINGS, "verze"), STAMP)

    def test_a_trailing_line_feed_keeps_the_stamp_right(self):
        self.start_auto(Reply(body=NEWS + b"\n"))
        self.wine.wait_balloon()
        self.wine.click_balloon()
        self.wine.wait_for(lambda: self.wine.reg_get(SETTINGS, "verze") == "1700000000", 20, what="stored stamp")

    def test_an_update_command_while_a_request_runs_yields_one_request(self):
        self.server.default(Reply(body="ok", delay=4))
        self.program = self.wine.launch(harness.config().exe, "-auto")
        self.server.wait_requests(1, timeout=60)
        # A double-click on the tray icon runs the default item, "Aktualizace", once more.
        self.wine.tray_callback(0x0203)  # WM_LBUTTONDBLCLK
        time.sleep(6)
        self.assertEqual(len(self.server.requests), 1)
        self.assertTrue(self.program.running)

    def test_failed_requests_end_the_program_silently_and_keep_the_settings(self):
        # A reply of any kind, whatever its status, is no missing network: no second try.
        for name, reply in (("no length", Reply(body="ok", content_length=False)),
                            ("empty body", Reply(body=b"")),
                            ("server error", Reply(status=503, body=b"", content_length=False))):
            with self.subTest(name):
                self.server.clear_requests()
                self.start_auto(reply)
                self.assertEqual(self.program.wait(30), 0)
                self.assertEqual(len(self.server.requests), 1)
                self.assertEqual(self.wine.reg_get(SETTINGS, "verze"), STAMP)
                self.assertEqual(self.wine.reg_get(SETTINGS, "data"), MASK)
        with self.subTest("refused connection of a check the reader asks for"):
            port = self.server.port
            self.server.stop()
            self.wine.reg_set(SETTINGS, "server", f"127.0.0.1:{port}")
            self.program = self.wine.launch(harness.config().exe)
            self.wine.wait_window(TITLE, cls="TMainForm", timeout=60)
            self.wine.tray_callback(0x0203)  # a double-click runs "Aktualizace"
            self.assertEqual(self.program.wait(60), 0)
            self.assertEqual(self.wine.reg_get(SETTINGS, "verze"), STAMP)

    def test_the_automatic_check_waits_for_a_server_that_comes_up_late(self):
        port = unused_port()
        self.wine.reg_set(SETTINGS, "server", f"127.0.0.1:{port}")
        self.program = self.wine.launch(harness.config().exe, "-auto")
        # Twenty seconds of refused connections, as at a logon before the network is up.
        time.sleep(20)
        self.assertTrue(self.program.running, "the program gave up before the network came up")
        # Over the tray icon (where tray_pixels looks): its tip says that the program waits.
        ox, oy = self.wine.desktop_origin()
        self.wine.move(988 - ox, 688 - oy)
        self.wine.move(990 - ox, 690 - oy)
        time.sleep(2)
        print(f"screenshot: {self.wine.screenshot('waiting-for-network')}", flush=True)
        late = FixtureServer(port=port)
        late.default(Reply(body=NEWS))
        late.start()
        self.addCleanup(late.stop)
        request = late.wait_requests(1, timeout=120)[0]
        self.assertEqual(request.path, f"/vizedu_vesk/index.php?check={STAMP}&data={MASK}")
        self.wine.wait_balloon()
        print(f"screenshot: {self.wine.screenshot('late-server-news')}", flush=True)
        self.wine.click_balloon()
        log = self.wine.wait_for(self.wine.browser_log, 20, what="the browser to open")
        self.assertEqual(log, [f"http://127.0.0.1:{port}/vizedu_vesk/index.php?naposled={STAMP}&data={MASK}"])
        self.assertEqual(len(late.requests), 1)
        self.assertTrue(self.program.running)


if __name__ == "__main__":
    harness.e2e_main()
