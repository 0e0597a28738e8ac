#!/usr/bin/env python3
"""Checks what the released exe costs before it runs: its size, the libraries Windows loads
with it, and whether its sections lie on page boundaries in the file, so that the loader can
map the image instead of copying it.

    check-exe.py OBJDUMP EXE MAX_BYTES DLL...

Fails (exit 1) naming each fault: a file over MAX_BYTES, an imported library not in the list
(compared without case), or a file alignment below the page size.
"""
import re
import subprocess
import sys
from pathlib import Path


def main() -> int:
    if len(sys.argv) < 4:
        print(__doc__, file=sys.stderr)
        return 2
    objdump, exe, max_bytes, allowed = sys.argv[1], Path(sys.argv[2]), int(sys.argv[3]), sys.argv[4:]
    headers = subprocess.run([objdump, "-p", str(exe)], check=True, capture_output=True, text=True).stdout
    faults = []
    size = exe.stat().st_size
    if size > max_bytes:
        faults.append(f"{exe.name} is {size} bytes, more than {max_bytes}")
    imported = re.findall(r"DLL Name:\s*(\S+)", headers)
    extra = sorted({d for d in imported if d.lower() not in {a.lower() for a in allowed}})
    if extra:
        faults.append(f"{exe.name} loads {', '.join(extra)} at start, beyond {', '.join(allowed)}")
    alignment = re.search(r"^FileAlignment\s+([0-9a-fA-F]+)", headers, re.M)
    if not alignment or int(alignment.group(1), 16) < 0x1000:
        faults.append(f"{exe.name}: file alignment {alignment.group(1) if alignment else '?'} is below a page")
    for fault in faults:
        print(fault)
    print(f"{exe.name}: {size} bytes; imports {', '.join(imported)}")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
