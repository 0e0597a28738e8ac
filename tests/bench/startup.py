#!/usr/bin/env python3
"""Whole-process start-up timing and memory under Wine, paired with a yardstick.

Time (the default): starttimer.exe runs inside the prefix, starts each program and stops the
clock at the program's first idle (WaitForInputIdle: its GUI thread has found no message left,
the first paints of its windows included) and counts the start only if the window of the
expected class is visible by then. It waits in the Wine server instead of polling, so it loads
neither the server nor the X server the programs use. Each round starts evesk.exe, the yardstick
and evesk.exe once more, in one of the six orders in turn; the medians and their ratio are
printed, and evesk.exe timed against itself ("A vs A") tells what difference a run can resolve. The yardstick is minimaltray.exe (one window and one tray icon, the least a tray
program does); with --unskinned it is evesk_unskinned.exe, the same program whose skin manager
stays inactive: the ratio is then what the skin costs.

Memory (--memory): each program is started 5 times (alternating which goes first) and measured
--hold seconds (5) after its first idle: the peak and current resident set (VmHWM, VmRSS) of the
Linux process that runs the exe under Wine. That set holds everything the process has touched:
the exe's image, the Windows DLLs and Wine's own Unix libraries (shared file pages counted in
full), heaps and stacks, and the memory shared with the Wine server. The difference between the
two programs is what evesk.exe adds. --detail also prints where the last start's memory lies.

    python3 tests/bench/startup.py [--runs 10] [--build build/win] [--unskinned]
    python3 tests/bench/startup.py --memory [--starts 5] [--hold 5] [--detail]

The session runs on one CPU unless --cpus says otherwise: on a virtual machine with two CPUs,
a round trip to the Wine server that wakes the other CPU takes many times longer than one that
stays, and the mix varies from start to start; on one CPU the programs' own work is what is
timed, and the program timed against itself varies by a few hundredths instead of a third.
--cpus all times the machine as it is.

--exe (with --exe-class) and --yardstick put other programs in either place, for instance a build from before a
change against the one after it (their file names must differ for --memory).
"""
import argparse
import re
import statistics
import sys
import time
from pathlib import Path

root = Path(__file__).resolve().parent.parent.parent
sys.path.insert(0, str(root / "tests" / "e2e"))

import harness  # noqa: E402

SETTINGS = r"\software\dorlen\evesk"


def status_kib(pid: int) -> dict[str, int]:
    values = {}
    for line in Path(f"/proc/{pid}/status").read_text().splitlines():
        key, _, rest = line.partition(":")
        if rest.strip().endswith(" kB"):
            values[key] = int(rest.split()[0])
    return values


def smaps_groups(pid: int) -> dict[str, dict[str, int]]:
    """Rss, private and anonymous KiB per kind of mapping: the exe, each DLL, Wine's Unix
    libraries, the heaps and stacks (anonymous) and the rest."""
    groups: dict[str, dict[str, int]] = {}
    current = None
    for line in Path(f"/proc/{pid}/smaps").read_text().splitlines():
        fields = line.split()
        if re.match(r"^[0-9a-f]+-[0-9a-f]+ ", line):
            path = fields[5] if len(fields) > 5 else ""
            name = Path(path).name.lower()
            if not path:
                current = "anonymous (heaps, stacks, copied images)"
            elif name.endswith((".exe", ".dll", ".drv", ".ocx", ".cpl", ".sys")):
                current = name
            elif ".so" in name or "wine" in path:
                current = "unix libraries and wine"
            else:
                current = "other: " + name
            groups.setdefault(current, {"Rss": 0, "Private": 0, "Anonymous": 0})
        elif current and fields and fields[0] in ("Rss:", "Private_Clean:", "Private_Dirty:", "Anonymous:"):
            key = {"Private_Clean:": "Private", "Private_Dirty:": "Private"}.get(fields[0], fields[0][:-1])
            groups[current][key] += int(fields[1])
    return groups


def measure(wine, build: Path, program: Path, cls: str, hold: int, marker: Path) -> dict:
    marker.unlink(missing_ok=True)
    proc = wine.launch(build / "starttimer.exe", "hold", str(program), cls, str(hold), "Z:" + str(marker))
    deadline = time.monotonic() + hold + 90
    while not marker.exists() or not marker.read_text().strip():
        if not proc.running or time.monotonic() > deadline:
            raise harness.HarnessError(f"{program} did not reach an idle visible window: {proc.output()}")
        time.sleep(0.1)
    pid = harness.find_linux_process(program, wine.prefix)
    result = {"status": status_kib(pid), "smaps": smaps_groups(pid)}
    marker.unlink()
    proc.wait(30)
    return result


def memory(wine, build: Path, pair: list[tuple[Path, str]], starts: int, hold: int, detail: bool) -> int:
    marker = build / "bench-artifacts" / "hold-marker"
    programs = [(path.name, cls) for path, cls in pair]
    paths = {path.name: path for path, _ in pair}
    runs: dict[str, list[dict]] = {p: [] for p, _ in programs}
    for i in range(starts):
        for program, cls in programs if i % 2 == 0 else reversed(programs):
            runs[program].append(measure(wine, build, paths[program], cls, hold, marker))
        print(f"start {i + 1}\t" + "\t".join(
            f"{p}: peak {runs[p][-1]['status']['VmHWM'] / 1024:.1f} MiB, now {runs[p][-1]['status']['VmRSS'] / 1024:.1f} MiB"
            for p, _ in programs))

    def med(program, key):
        return statistics.median(r["status"].get(key, 0) for r in runs[program]) / 1024

    print(f"median (MiB, {hold} s after the first idle)\t" + "\t".join(p for p, _ in programs) + "\tdifference")
    for key, label in (("VmHWM", "peak resident"), ("VmRSS", "resident"), ("RssAnon", "anonymous"),
                       ("RssFile", "file pages"), ("RssShmem", "shared with the server")):
        a, b = med(programs[0][0], key), med(programs[1][0], key)
        print(f"{label:24}\t{a:.1f}\t{b:.1f}\t{a - b:+.1f}")
    dlls = [{n for n in r["smaps"] if n.endswith((".dll", ".drv"))} for r in (runs[p][-1] for p, _ in programs)]
    print(f"DLLs mapped\t{len(dlls[0])}\t{len(dlls[1])}\tonly in {programs[0][0]}: {', '.join(sorted(dlls[0] - dlls[1])) or 'none'}")
    if detail:
        for program, _ in programs:
            groups = runs[program][-1]["smaps"]
            print(f"\n{program}, last start: KiB per mapping (Rss, private, anonymous), largest first")
            for name, g in sorted(groups.items(), key=lambda kv: -kv[1]["Rss"]):
                if g["Rss"] >= 64:
                    print(f"  {g['Rss']:7}  {g['Private']:7}  {g['Anonymous']:7}  {name}")
    return 0


def main() -> int:
    parser = argparse.ArgumentParser()
    parser.add_argument("--runs", type=int, default=10)
    parser.add_argument("--build", type=Path, default=root / "build" / "win")
    parser.add_argument("--unskinned", action="store_true", help="pair with the program without its skin")
    parser.add_argument("--memory", action="store_true", help="measure resident memory instead of time")
    parser.add_argument("--starts", type=int, default=5, help="starts of each program with --memory")
    parser.add_argument("--hold", type=int, default=5, help="seconds after the first idle to measure memory")
    parser.add_argument("--detail", action="store_true", help="with --memory: memory per mapping")
    parser.add_argument("--exe", type=Path, help="the program to measure instead of the build's evesk.exe")
    parser.add_argument("--exe-class", default="TMainForm", help="the window class that --exe shows")
    parser.add_argument("--cpus", default="1", help="how many CPUs the session may use (a number or 'all')")
    parser.add_argument("--yardstick", nargs=2, metavar=("EXE", "CLASS"), help="another yardstick and its window class")
    args = parser.parse_args()
    build = args.build.resolve()
    exe = (args.exe or build / "evesk.exe").resolve()
    print(f"on {harness.pin_cpus(args.cpus)}")
    with harness.WineSession(build / "wineprefix", build / "wininspect.exe", build / "bench-artifacts") as wine:
        # A watched choice and a stamp, so the start shows no message; no check is made.
        wine.reg_set(SETTINGS, "data", "1_" + "0_" * 22 + "1")
        wine.reg_set(SETTINGS, "verze", "1600000000")
        wine.reg_set(SETTINGS, "server", "127.0.0.1:9")
        if args.yardstick:
            other, other_class = Path(args.yardstick[0]).resolve(), args.yardstick[1]
        else:
            other, other_class = (build / "evesk_unskinned.exe", "TMainForm") if args.unskinned else \
                (build / "minimaltray.exe", "MinimalTray")
        if args.memory:
            return memory(wine, build, [(exe, args.exe_class), (other, other_class)], args.starts, args.hold, args.detail)
        result = wine.run(["wine", str(build / "starttimer.exe"), "time", str(args.runs),
                           str(exe), args.exe_class, str(other), other_class],
                          timeout=90 * (args.runs + 2))
        sys.stdout.write(result.stdout.decode("utf-8", "replace"))
        sys.stderr.write(result.stderr.decode("utf-8", "replace")[-2000:] if result.returncode else "")
        print(f"columns: {exe.name}, {other.name} (ms from CreateProcess to the first idle with the window painted)")
        return result.returncode


if __name__ == "__main__":
    sys.exit(main())
