#!/usr/bin/env python3
"""End to end: the demo (tools/run-notifier.py) shows the whole cycle on every run, whatever
an earlier run or a test left in its prefix.

    python3 tests/e2e/test_run_notifier.py --exe build/win/evesk.exe \\
        --wininspect build/win/wininspect.exe --prefix build/win/wineprefix
"""
import os
import subprocess
import sys
import time
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))

import harness  # noqa: E402
from program_case import SETTINGS, mask  # noqa: E402

DEMO = harness.TOOLS_DIR / "run-notifier.py"
DEMO_MASK = mask(2, 13, 23)  # Doprava, Stavebnictví, Zdravotnictví


class RunNotifierTest(unittest.TestCase):
    def run_demo(self) -> str:
        env = {k: v for k, v in os.environ.items() if k != "DISPLAY"}
        result = subprocess.run([sys.executable, str(DEMO), "--build", str(harness.config().exe.parent)],
                                env=env, capture_output=True, text=True, timeout=400)
        self.assertEqual(result.returncode, 0, result.stdout + result.stderr)
        return result.stdout

    def test_a_second_run_shows_the_balloon_opens_the_page_and_stores_the_stamp(self):
        # What would stop a demo that takes its prefix as it finds it: a stamp newer than any
        # news, and some of its boxes ticked already (a click would clear them).
        prefix = harness.config().exe.parent / "demo-prefix"
        wine = harness.WineSession(prefix)
        wine.run([str(harness.TOOLS_DIR / "wine-prefix.sh"), str(prefix)], timeout=300, check=True)
        wine.reg_set(SETTINGS, "verze", str(int(time.time()) + 86400))
        wine.reg_set(SETTINGS, "data", mask(2, 13))
        wine.run(["wineserver", "-w"], timeout=60)
        for run in ("first", "second"):
            with self.subTest(run=run):
                out = self.run_demo()
                self.assertIn(f"data={DEMO_MASK} (Doprava, Stavebnictví, Zdravotnictví, sociální služby)", out)
                self.assertIn("balloon shown", out)
                self.assertIn(f"news page opened: http://127.0.0.1:", out)
                self.assertIn(f"&data={DEMO_MASK}", out)
                self.assertRegex(out, r"stamp stored: \d{10} ")
                self.assertIn("demo: the whole cycle ran", out)


if __name__ == "__main__":
    harness.e2e_main()
