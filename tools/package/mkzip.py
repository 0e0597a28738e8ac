#!/usr/bin/env python3
"""Writes the portable zip: the exe and the Czech read-me, with fixed dates and order so the
same inputs give the same archive.

    mkzip.py EVESK.EXE README.txt OUT.zip

The read-me goes in as UTF-8 with a byte-order mark and CR LF line ends, which Notepad on every
supported Windows shows correctly.
"""
import sys
import zipfile
from pathlib import Path

FIXED_DATE = (2000, 1, 1, 0, 0, 0)  # zip dates start in 1980; no build date in the archive


def entry(name: str, mode: int) -> zipfile.ZipInfo:
    info = zipfile.ZipInfo(name, FIXED_DATE)
    info.compress_type = zipfile.ZIP_DEFLATED
    info.create_system = 0  # made on "MS-DOS": no Unix owner or permission bits
    info.external_attr = mode
    return info


def main(argv):
    if len(argv) != 3:
        print(__doc__, file=sys.stderr)
        return 2
    exe, readme, out = map(Path, argv)
    text = readme.read_text(encoding="utf-8").replace("\r\n", "\n").replace("\n", "\r\n")
    with zipfile.ZipFile(out, "w") as z:
        z.writestr(entry("evesk.exe", 0x20), exe.read_bytes(), compresslevel=9)
        z.writestr(entry("CTIMNE.txt", 0x20), b"\xef\xbb\xbf" + text.encode("utf-8"), compresslevel=9)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
