#!/usr/bin/env python3
"""Whole-process start-up timing under Wine, paired with a yardstick.

starttimer.exe runs inside the prefix and polls every 2 ms for the program's main window, so
no inspecting process is spawned while the clock runs. Each run starts evesk.exe and then
minimaltray.exe (one window and one tray icon, the least a tray program does), so both meet
the same load; the medians and their ratio are printed. With --unskinned the yardstick is
evesk_unskinned.exe instead, the same program whose skin manager stays inactive: the ratio is
then what the skin costs.

    python3 tests/bench/startup.py [--runs 10] [--build build/win] [--unskinned]
"""
import argparse
import sys
from pathlib import Path

root = Path(__file__).resolve().parent.parent.parent
sys.path.insert(0, str(root / "tests" / "e2e"))

import harness  # noqa: E402

SETTINGS = r"\software\dorlen\evesk"


def main() -> int:
    parser = argparse.ArgumentParser()
    parser.add_argument("--runs", type=int, default=10)
    parser.add_argument("--build", type=Path, default=root / "build" / "win")
    parser.add_argument("--unskinned", action="store_true", help="pair with the program without its skin")
    args = parser.parse_args()
    build = args.build.resolve()
    with harness.WineSession(build / "wineprefix", build / "wininspect.exe", build / "bench-artifacts") as wine:
        # A watched choice and a stamp, so the start shows no message; no check is made.
        wine.reg_set(SETTINGS, "data", "1_" + "0_" * 22 + "1")
        wine.reg_set(SETTINGS, "verze", "1600000000")
        wine.reg_set(SETTINGS, "server", "127.0.0.1:9")
        other, other_class = ("evesk_unskinned.exe", "TMainForm") if args.unskinned else \
            ("minimaltray.exe", "MinimalTray")
        result = wine.run(["wine", str(build / "starttimer.exe"), str(args.runs),
                           str(build / "evesk.exe"), "TMainForm", str(build / other), other_class],
                          timeout=60 * (args.runs + 2))
        sys.stdout.write(result.stdout.decode("utf-8", "replace"))
        sys.stderr.write(result.stderr.decode("utf-8", "replace")[-2000:] if result.returncode else "")
        print(f"columns: evesk.exe, {other} (ms from CreateProcess to the visible window)")
        return result.returncode


if __name__ == "__main__":
    sys.exit(main())
