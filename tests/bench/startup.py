#!/usr/bin/env python3
"""Whole-process timing under Wine: from launching evesk.exe to its main window on the
desktop, and the program's working set once it rests. Prints one line per run and a summary.

    python3 tests/bench/startup.py [--runs 10]   (after tools/run-tests.sh or a Windows build)
"""
import argparse
import statistics
import sys
import time
from pathlib import Path

root = Path(__file__).resolve().parent.parent.parent
sys.path.insert(0, str(root / "tests" / "e2e"))

import harness  # noqa: E402

SETTINGS = r"\software\dorlen\evesk"
TITLE = "Dorlen e-VESK vizedu"


def main() -> int:
    parser = argparse.ArgumentParser()
    parser.add_argument("--runs", type=int, default=10)
    args = parser.parse_args()
    build = root / "build" / "win"
    times = []
    with harness.WineSession(build / "wineprefix", build / "wininspect.exe", build / "bench-artifacts") as wine:
        wine.reg_set(SETTINGS, "data", "1_" + "0_" * 22 + "1")
        wine.reg_set(SETTINGS, "verze", "1600000000")
        wine.reg_set(SETTINGS, "server", "127.0.0.1:9")
        for run in range(args.runs + 1):
            began = time.monotonic()
            program = wine.launch(build / "evesk.exe")
            wine.wait_window(TITLE, timeout=60, process=program, cls="TMainForm")
            elapsed = time.monotonic() - began
            if run:  # the first run warms the prefix and the file cache
                times.append(elapsed)
                print(f"run {run}: {elapsed * 1000:.0f} ms to the main window", flush=True)
            program.kill()
            program.wait(10)
            wine.wait_for(lambda: not wine.find_windows(TITLE, cls="TMainForm"), 20, what="window gone")
    print(f"median {statistics.median(times) * 1000:.0f} ms, min {min(times) * 1000:.0f} ms, "
          f"max {max(times) * 1000:.0f} ms over {len(times)} runs (includes Wine's own process start "
          f"and one window listing of about 0.1 s)")
    return 0


if __name__ == "__main__":
    sys.exit(main())
