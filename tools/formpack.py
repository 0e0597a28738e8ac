#!/usr/bin/env python3
"""Turns a form description written in UTF-8 into the bytes the program embeds:
every `file 'path'` value becomes the file's bytes as {hex} (paths relative to the project
root), and the text is encoded in code page 1250.

usage: formpack.py ROOT IN.form OUT.bin
"""
import re
import sys


def pack(root, text):
    def inline(m):
        with open(f"{root}/{m.group(1)}", "rb") as f:
            data = f.read().hex().upper()
        lines = [data[i:i + 64] for i in range(0, len(data), 64)]
        return "{" + "\n      ".join(lines) + "}"
    return re.sub(r"\bfile\s+'([^']+)'", inline, text)


def main():
    root, src, dst = sys.argv[1:4]
    with open(src, encoding="utf-8") as f:
        text = pack(root, f.read())
    with open(dst, "wb") as f:
        f.write(text.encode("cp1250"))


if __name__ == "__main__":
    main()
