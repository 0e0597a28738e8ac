#!/usr/bin/env python3
"""Fails when configuring a built tree again, as the run and test commands do before every
build, leaves work for the build: a generated file written anew at each configure makes the
build compile and link again with nothing changed.

    tools/check-no-rebuild.py TREE

The tree is configured again with its own cached settings (the commands pass the same ones).
Work that was pending before (an edited source) is not counted against the configure.
"""
import subprocess
import sys
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent


def pending(tree: Path) -> list[str]:
    """The steps a build of TREE would run now, by their descriptions (a dry run runs none)."""
    result = subprocess.run(["ninja", "-C", str(tree), "-n"], capture_output=True, text=True, check=True)
    return [line.split("] ", 1)[1] for line in result.stdout.splitlines() if line.startswith("[")]


def main(argv: list[str]) -> int:
    if len(argv) != 1:
        print(__doc__, file=sys.stderr)
        return 2
    tree = Path(argv[0]).resolve()
    before = pending(tree)
    subprocess.run(["cmake", "-S", str(ROOT), "-B", str(tree)], check=True, stdout=subprocess.DEVNULL)
    added = [step for step in pending(tree) if step not in before]
    if added:
        print(f"a configure with nothing changed leaves {len(added)} steps to the build of {tree}:")
        for step in added:
            print(f"  {step}")
        return 1
    print(f"configured {tree} again: nothing to build" + (f" ({len(before)} steps were pending before)"
                                                          if before else ""))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
