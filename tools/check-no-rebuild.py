#!/usr/bin/env python3
"""Fails when configuring a built tree again, as the run and test commands do before every
build, leaves work for the build: a generated file written anew at each configure makes the
build compile and link again with nothing changed.

    tools/check-no-rebuild.py TREE

The tree is first brought up to date (normally nothing to do), then configured again with its
own cached settings (the commands pass the same ones), then built: that build must run nothing.
A dry run cannot tell: it always plans to re-run CMake (the glob check is always out of date)
and stops there.
"""
import subprocess
import sys
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent


def build(tree: Path) -> list[str]:
    """Builds TREE and returns the steps it ran, by their descriptions."""
    result = subprocess.run(["ninja", "-C", str(tree)], capture_output=True, text=True)
    if result.returncode != 0:
        raise SystemExit(f"the build of {tree} failed:\n{result.stdout}{result.stderr}")
    steps = [line.split("] ", 1)[1] for line in result.stdout.splitlines() if line.startswith("[")]
    return [s for s in steps if not s.startswith("Re-checking globbed directories")]  # a look, no work


def main(argv: list[str]) -> int:
    if len(argv) != 1:
        print(__doc__, file=sys.stderr)
        return 2
    tree = Path(argv[0]).resolve()
    build(tree)
    subprocess.run(["cmake", "-S", str(ROOT), "-B", str(tree)], check=True, stdout=subprocess.DEVNULL)
    steps = build(tree)
    if steps:
        print(f"a configure with nothing changed made the build of {tree} run {len(steps)} steps:")
        for step in steps:
            print(f"  {step}")
        return 1
    print(f"configured {tree} again: the build after it ran nothing")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
