#!/usr/bin/env python3
"""What the program costs while it sits in the tray, beside a minimal tray program, under Wine.

Each run is one program alone in a Wine session of its own (Xvfb, Wine server, virtual desktop):
the program starts, settles, and is then watched for --seconds. Printed per run:
- the program's CPU (user + system of every thread of its Linux process), ms a minute;
- its wake-ups: voluntary context switches of all its threads a second (each is a wait that
  ended, a timer or a message), and the involuntary ones beside them;
- the CPU of the whole session (the program, the Wine server, the desktop and its services, Xvfb),
  ms a minute.

States:
- rest: evesk.exe -auto after a check without news (the resting star), against minimaltray.exe
  (one icon, nothing running);
- blink: evesk.exe -auto after a check that announced news (the star blinks, the balloon shows
  for its 30 s), against minimalblink.exe (two icons made once, one shell update a second);
- empty: the session with no program, the floor under both.

Each state runs the program, the yardstick, the program given by --before (if any), and the
program once more: the two runs of the same program ("A vs A") tell what difference a run resolves.

    python3 tests/bench/idle.py [--seconds 60] [--settle 40] [--states rest,blink,empty]
                                [--before OLD/evesk.exe] [--build build/win] [--cpus 1]

The session runs on one CPU unless --cpus says otherwise (as startup.py, for the same reason).
"""
import argparse
import os
import sys
import time
from pathlib import Path

root = Path(__file__).resolve().parent.parent.parent
sys.path.insert(0, str(root / "tests" / "e2e"))

import harness  # noqa: E402
from fixture_server import FixtureServer, Reply  # noqa: E402
from program_case import SETTINGS, MASK, NEWS  # noqa: E402

TICK = os.sysconf("SC_CLK_TCK")


def cpu_ticks(pid: int) -> int:
    """User and system time of the process, all its threads, in clock ticks."""
    fields = Path(f"/proc/{pid}/stat").read_text().rsplit(")", 1)[1].split()
    return int(fields[11]) + int(fields[12])


def switches(pid: int) -> tuple[int, int]:
    """Voluntary and involuntary context switches summed over the process's threads."""
    vol = invol = 0
    for task in Path(f"/proc/{pid}/task").iterdir():
        try:
            for line in (task / "status").read_text().splitlines():
                if line.startswith("voluntary_ctxt_switches:"):
                    vol += int(line.split()[1])
                elif line.startswith("nonvoluntary_ctxt_switches:"):
                    invol += int(line.split()[1])
        except OSError:
            pass  # a thread that ended
    return vol, invol


def session_pids(prefix: Path, extra: list[int]) -> list[int]:
    """The Linux processes of the Wine session: those with its prefix, and EXTRA (Xvfb)."""
    pids = list(extra)
    marker = f"WINEPREFIX={prefix}".encode()
    for entry in Path("/proc").iterdir():
        if entry.name.isdigit():
            try:
                if marker in (entry / "environ").read_bytes().split(b"\0"):
                    pids.append(int(entry.name))
            except OSError:
                pass
    return pids


def session_ticks(pids: list[int]) -> dict[int, int]:
    ticks = {}
    for pid in pids:
        try:
            ticks[pid] = cpu_ticks(pid)
        except OSError:
            pass
    return ticks


def watch(wine, program_pid: int | None, seconds: float) -> dict:
    xvfb = [wine._xvfb.pid] if wine._xvfb else []
    pids = session_pids(wine.prefix, xvfb)
    before_session = session_ticks(pids)
    before_cpu = cpu_ticks(program_pid) if program_pid else 0
    before_sw = switches(program_pid) if program_pid else (0, 0)
    start = time.monotonic()
    time.sleep(seconds)
    elapsed = time.monotonic() - start
    after_session = session_ticks(pids)
    minutes = elapsed / 60
    result = {"session": sum(after_session[p] - before_session[p] for p in after_session if p in before_session)
              * 1000 / TICK / minutes}
    if program_pid:
        vol, invol = switches(program_pid)
        result.update(cpu=(cpu_ticks(program_pid) - before_cpu) * 1000 / TICK / minutes,
                      wakeups=(vol - before_sw[0]) / elapsed, involuntary=(invol - before_sw[1]) / elapsed)
    return result


def run_one(build: Path, program: Path | None, reply: Reply | None, settle: float, seconds: float) -> dict:
    artifacts = build / "bench-artifacts"
    with harness.WineSession(build / "wineprefix", build / "wininspect.exe", artifacts) as wine, \
            FixtureServer() as server:
        pid = None
        if program:
            server.default(reply or Reply(body="ok"))
            wine.reg_set(SETTINGS, "data", MASK)
            wine.reg_set(SETTINGS, "verze", "1600000000")
            wine.reg_set(SETTINGS, "server", server.address)
            tray_program = program.name.lower().startswith("evesk")
            proc = wine.launch(program, *(["-auto"] if tray_program else []))
            if tray_program:
                server.wait_requests(1, timeout=60)
            deadline = time.monotonic() + 60
            while pid is None:
                try:
                    pid = harness.find_linux_process(program, wine.prefix)
                except harness.HarnessError:
                    if time.monotonic() > deadline or not proc.running:
                        raise
                    time.sleep(0.2)
        time.sleep(settle)
        result = watch(wine, pid, seconds)
        if program and not proc.running:
            raise harness.HarnessError(f"{program.name} ended during the run: {proc.output()}")
        return result


def main() -> int:
    parser = argparse.ArgumentParser()
    parser.add_argument("--seconds", type=float, default=60, help="how long each run is watched")
    parser.add_argument("--settle", type=float, default=40,
                        help="seconds between the start (the check, for evesk) and the watch; the balloon "
                             "of the news shows for 30 s")
    parser.add_argument("--states", default="rest,blink,empty")
    parser.add_argument("--build", type=Path, default=root / "build" / "win")
    parser.add_argument("--exe", type=Path, help="the program instead of the build's evesk.exe")
    parser.add_argument("--before", type=Path, help="another build of the program, run beside it")
    parser.add_argument("--cpus", default="1", help="how many CPUs the session may use (a number or 'all')")
    args = parser.parse_args()
    build = args.build.resolve()
    exe = (args.exe or build / "evesk.exe").resolve()
    before = args.before.resolve() if args.before else None
    print(f"on {harness.pin_cpus(args.cpus)}; each run watched {args.seconds:g} s after {args.settle:g} s")
    yardsticks = {"rest": build / "minimaltray.exe", "blink": build / "minimalblink.exe"}
    replies = {"rest": Reply(body="ok"), "blink": Reply(body=NEWS)}
    header = f"{'state':6} {'program':22} {'CPU ms/min':>10} {'wake-ups/s':>10} {'involuntary/s':>13} {'session ms/min':>14}"
    print(header, flush=True)
    for state in args.states.split(","):
        if state == "empty":
            r = run_one(build, None, None, args.settle / 4, args.seconds)
            print(f"{state:6} {'(no program)':22} {'':>10} {'':>10} {'':>13} {r['session']:14.0f}", flush=True)
            continue
        order = [("evesk", exe), ("yardstick", yardsticks[state])]
        if before:
            order.append(("before", before))
        order.append(("evesk again", exe))
        for label, program in order:
            r = run_one(build, program, replies[state], args.settle, args.seconds)
            name = f"{label}: {program.name}"
            print(f"{state:6} {name[:22]:22} {r['cpu']:10.0f} {r['wakeups']:10.1f} {r['involuntary']:13.1f} "
                  f"{r['session']:14.0f}", flush=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
