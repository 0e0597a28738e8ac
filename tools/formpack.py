#!/usr/bin/env python3
"""Turns a form description written in UTF-8 into the bytes the program embeds:
every `file 'path'` value becomes the file's bytes as {hex} (paths relative to the project
root, or to GENERATED for files the build makes, such as the packed skin), and the text is
encoded in code page 1250.

usage: formpack.py ROOT IN.form OUT.bin [GENERATED]
"""
import os
import re
import sys


def pack(root, text, generated=None):
    def inline(m):
        path = f"{root}/{m.group(1)}"
        if generated and os.path.exists(f"{generated}/{m.group(1)}"):
            path = f"{generated}/{m.group(1)}"
        with open(path, "rb") as f:
            data = f.read().hex().upper()
        lines = [data[i:i + 64] for i in range(0, len(data), 64)]
        return "{" + "\n      ".join(lines) + "}"
    return re.sub(r"\bfile\s+'([^']+)'", inline, text)


def main():
    root, src, dst = sys.argv[1:4]
    generated = sys.argv[4] if len(sys.argv) > 4 else None
    with open(src, encoding="utf-8") as f:
        text = pack(root, f.read(), generated)
    with open(dst, "wb") as f:
        f.write(text.encode("cp1250"))


if __name__ == "__main__":
    main()
