#!/usr/bin/env python3
"""End to end: a normal start shows the main window, Czech title, 412 x 406 client area.

    python3 tests/e2e/test_start.py --exe build/win/evesk.exe \\
        --wininspect build/win/wininspect.exe --prefix build/win/wineprefix
"""

import sys
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))

import harness  # noqa: E402
from fixture_server import FixtureServer, Reply  # noqa: E402
from program_case import TITLE, SETTINGS, MASK  # noqa: E402

# Categories 1, 3 and 24 watched, so the start neither complains about an empty choice
# nor, without "-auto", makes a check.


class StartTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.wine = harness.session_from_config(deadline=240).__enter__()
        cls.addClassCleanup(cls.wine.close)
        # Any request the program makes goes to a local server that answers "no news".
        cls.server = FixtureServer().start()
        cls.addClassCleanup(cls.server.stop)
        cls.server.default(Reply(body="ok", headers=[("Content-Type", "text/plain; charset=windows-1250")]))

    def setUp(self):
        self.assertEqual(len(MASK), 47)
        self.wine.reg_set(SETTINGS, "data", MASK)
        self.wine.reg_set(SETTINGS, "verze", "1700000000")
        self.wine.reg_set(SETTINGS, "server", self.server.address)

    def test_main_window_shows_with_czech_title_and_client_size(self):
        program = self.wine.launch(harness.config().exe)
        window = self.wine.wait_window(TITLE, timeout=60, process=program,
                                       predicate=lambda w: w.cls == "TMainForm")
        self.assertEqual(window.title_cp1250, TITLE.encode("cp1250"))
        # The first sighting may be mid-creation; read it again once it has settled.
        window = self.wine.wait_for(
            lambda: next((w for w in self.wine.find_windows(TITLE) if w.hwnd == window.hwnd
                          and w.client_size == (412, 406)), None),
            timeout=10, what="a 412 x 406 client area",
            on_timeout=lambda: f"last seen: {self.wine.find_windows(TITLE)}")
        self.assertEqual(window.client_size, (412, 406))
        self.assertTrue(program.running, "the program ended while its window should be open")
        # No message box may stand in front of a correctly configured start.
        boxes = [w for w in self.wine.windows() if w.cls in ("#32770", "TMessageForm")]
        self.assertEqual(boxes, [], f"unexpected dialogs: {boxes}")
        # Nothing the start shows needs the common controls: their library is not loaded (Wine
        # maps a loaded DLL's file into the Linux process, where its maps show it).
        pid = harness.find_linux_process(harness.config().exe.resolve(), self.wine.prefix)
        self.assertFalse("comctl32.dll" in Path(f"/proc/{pid}/maps").read_text().lower(),
                         "the start loaded the common-controls library")
        shot = self.wine.screenshot("start-main-window")
        print(f"screenshot: {shot}", flush=True)
        self.assertGreater(shot.stat().st_size, 0)
        # The settings that were given are left as they were.
        self.assertEqual(self.wine.reg_get(SETTINGS, "data"), MASK)
        self.assertEqual(self.wine.reg_get(SETTINGS, "verze"), "1700000000")


if __name__ == "__main__":
    harness.e2e_main()
