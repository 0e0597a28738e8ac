#!/usr/bin/env python3
"""Fails when a file of a lower layer of the tree includes a header of a higher one.

The layers, lowest first; a file may include its own layer and the ones below it.
Usage: check-layers.py [ROOT]   (ROOT defaults to the source tree this script is in)
"""
import pathlib
import re
import sys

LAYERS = ["framework", "imaging", "skin", "skinctrls", "tray", "net", "app"]
INCLUDE = re.compile(r'^\s*#\s*include\s*"(?:\.\./)*([A-Za-z0-9_]+)/')


def main():
    root = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else pathlib.Path(__file__).resolve().parent.parent)
    faults = []
    for rank, layer in enumerate(LAYERS):
        for path in sorted((root / layer).rglob("*")):
            if path.suffix not in (".h", ".cpp", ".rc") or not path.is_file():
                continue
            for number, line in enumerate(path.read_text(encoding="latin-1").splitlines(), 1):
                m = INCLUDE.match(line)
                if m and m.group(1) in LAYERS and LAYERS.index(m.group(1)) > rank:
                    faults.append(f"{path.relative_to(root)}:{number}: {layer}/ includes {m.group(1)}/")
    for fault in faults:
        print(fault)
    if not (root / LAYERS[0]).is_dir():
        print(f"no {LAYERS[0]}/ under {root}")
        return 1
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
