#!/usr/bin/env python3
"""Where the program's start goes, from a profiling build.

Builds (once) a tree with EVESK_PROFILE_START on, starts its evesk.exe RUNS times in that tree's
prefix and prints, for each phase between two stamps, the median in milliseconds, its share of the
start in tenths and the least time seen (on a shared machine some starts take several times
longer: compare the least times, or medians of runs on a quiet machine); then the painting
messages of the last start per window class (hidden and visible counts) and the windows that
got any of them more than once.

    python3 tools/profile-start.py [--runs 9] [--build build/profile] [--marks-only] [--detail] [--cpus 1|all]

The session runs on one CPU unless --cpus says otherwise, as tests/bench/startup.py does (why: there).
"""
import argparse
import os
import statistics
import subprocess
import sys
import time
from collections import defaultdict
from pathlib import Path

root = Path(__file__).resolve().parent.parent
sys.path.insert(0, str(root / "tests" / "e2e"))

import harness  # noqa: E402

SETTINGS = r"\software\dorlen\evesk"
# The main phases of the start, in their order.
ANCHORS = ["process created", "WinMain", "application ready", "components made", "skin manager loading",
           "skin loaded and applied", "form window", "child windows made", "components loaded", "OnCreate done",
           "form placed", "ShowWindow done", "shown", "first idle"]


def build(tree: Path) -> None:
    subprocess.run(["cmake", "-S", str(root), "-B", str(tree), "-G", "Ninja",
                    f"-DCMAKE_TOOLCHAIN_FILE={root / 'cmake' / 'mingw-i686.cmake'}",
                    "-DCMAKE_BUILD_TYPE=Release", "-DEVESK_PROFILE_START=ON"],
                   check=True, stdout=subprocess.DEVNULL)
    subprocess.run(["cmake", "--build", str(tree), "-j2", "--target", "evesk", "wininspect"], check=True)


def read_profile(path: Path) -> tuple[list[tuple[str, float]], list[dict]]:
    marks, windows, phases = [], [], []
    for line in path.read_text(encoding="cp1250", errors="replace").splitlines():
        f = line.split("\t")
        if f[0] == "mark":
            marks.append((f[1], float(f[2])))
        elif f[0] == "window":
            w = {"class": f[2], "text": f[3]}
            for field in f[4:]:
                name, value = field.split(" ")
                w[name] = [int(v) for v in value.split("+")]
            windows.append(w)
        elif f[0] == "phase":
            phases.append("  after " + f[1] + ": " + ", ".join(f[2:]))
    return marks, windows, phases


def main() -> int:
    parser = argparse.ArgumentParser()
    parser.add_argument("--runs", type=int, default=9)
    parser.add_argument("--build", type=Path, default=root / "build" / "profile")
    parser.add_argument("--no-build", action="store_true")
    parser.add_argument("--detail", action="store_true", help="every stamp, not only the main phases")
    parser.add_argument("--cpus", default="1", help="how many CPUs the session may use (a number or 'all')")
    parser.add_argument("--marks-only", action="store_true",
                        help="time the phases without the hooks that count messages (they slow the start)")
    args = parser.parse_args()
    tree = args.build.resolve()
    if not args.no_build:
        build(tree)
    out = tree / "profile-artifacts"
    print(f"on {harness.pin_cpus(args.cpus)}")
    out.mkdir(exist_ok=True)
    phases: dict[str, list[float]] = defaultdict(list)
    order: list[str] = []
    totals = []
    windows: list[dict] = []
    with harness.WineSession(tree / "wineprefix", tree / "wininspect.exe", out) as wine:
        wine.reg_set(SETTINGS, "data", "1_" + "0_" * 22 + "1")
        wine.reg_set(SETTINGS, "verze", "1600000000")
        wine.reg_set(SETTINGS, "server", "127.0.0.1:9")
        for run in range(args.runs + 1):  # the first start warms the prefix and is not counted
            result = out / f"profile-{run}.txt"
            result.unlink(missing_ok=True)
            os.environ["EVESK_PROFILE_FILE"] = "Z:" + str(result).replace("/", "\\")
            if args.marks_only:
                os.environ["EVESK_PROFILE_MARKS_ONLY"] = "1"
            proc = wine.launch(tree / "evesk.exe")
            deadline = time.time() + 60
            while not result.exists() and time.time() < deadline:
                time.sleep(0.05)
            time.sleep(0.3)
            proc.kill()
            time.sleep(0.5)
            if not result.exists():
                print(f"start {run}: no profile written", file=sys.stderr)
                return 1
            if run == 0:
                continue
            marks, windows, by_phase = read_profile(result)
            if not args.detail:
                times = dict(reversed(marks))  # the first time of each stamp
                marks = [(m, times[m]) for m in ANCHORS if m in times]
            for (a, ta), (b, tb) in zip(marks, marks[1:]):
                key = f"{a} -> {b}"
                if key not in order:
                    order.append(key)
                phases[key].append(tb - ta)
            totals.append(marks[-1][1] - marks[0][1])
    total = statistics.median(totals)
    print(f"start to first idle: median {total:.1f} ms, min {min(totals):.1f}, max {max(totals):.1f} "
          f"({len(totals)} starts)")
    rest = 0.0
    for key in order:
        m = statistics.median(phases[key])
        if m < 0.5 and args.detail:
            rest += m
            continue
        print(f"{m:8.2f} ms  {10 * m / total:4.1f}/10  (least {min(phases[key]):7.2f} ms)  {key}")
    print(f"{rest:8.2f} ms  {10 * rest / total:4.1f}/10  the phases under 0.5 ms each")
    if args.marks_only:
        return 0
    by_class: dict[str, list[int]] = defaultdict(lambda: [0] * 7)
    repeated = []
    for w in windows:
        c = by_class[w["class"]]
        c[0] += 1
        for i, name in enumerate(("ncpaint", "erase", "paint")):
            c[1 + 2 * i] += w[name][0]
            c[2 + 2 * i] += w[name][1]
            if sum(w[name]) > 1:
                repeated.append(f"{w['class']} '{w['text']}' {name} {w[name][0]}+{w[name][1]}")
    print("class (windows): ncpaint hidden+shown, erase hidden+shown, paint hidden+shown")
    for cls, c in sorted(by_class.items()):
        print(f"  {cls} ({c[0]}): {c[1]}+{c[2]}, {c[3]}+{c[4]}, {c[5]}+{c[6]}")
    sums = [sum(w[n][i] for w in windows) for n in ("ncpaint", "erase", "paint") for i in (0, 1)]
    print(f"all: ncpaint {sums[0]}+{sums[1]}, erase {sums[2]}+{sums[3]}, paint {sums[4]}+{sums[5]}, "
          f"windows {len(windows)}, poschanged {sum(w['poschanged'][0] for w in windows)}")
    print("painting messages (and all messages) of the last start after each stamp:")
    print("\n".join(by_phase))
    print(f"windows painted more than once: {len(repeated)}")
    for r in repeated:
        print("  " + r)
    return 0


if __name__ == "__main__":
    sys.exit(main())
