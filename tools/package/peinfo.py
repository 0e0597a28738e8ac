#!/usr/bin/env python3
"""Reads what a Windows program says about itself: the version resource, the manifest and the
link time stamp of a PE file. The packaging takes the version from here, so the exe is the one
place the package's version comes from; the tests read the same fields back.

    peinfo.py FILE            prints the version fields, the time stamp and the manifest
    peinfo.py --version FILE  prints only the product version (major.minor.patch)
"""
from __future__ import annotations

import struct
import sys
from pathlib import Path

RT_VERSION, RT_MANIFEST = 16, 24


class PEError(ValueError):
    """The file is not a PE image this reader understands, or its resources are damaged."""


class PEFile:
    def __init__(self, data: bytes):
        self.data = data
        if data[:2] != b"MZ" or len(data) < 0x40:
            raise PEError("not an MZ executable")
        pe = struct.unpack_from("<I", data, 0x3C)[0]
        if data[pe:pe + 4] != b"PE\0\0":
            raise PEError("no PE header")
        _, sections, self.timestamp, _, _, opt_size, _ = struct.unpack_from("<HHIIIHH", data, pe + 4)
        opt = pe + 24
        magic = struct.unpack_from("<H", data, opt)[0]
        dirs = opt + (96 if magic == 0x10B else 112)
        self.rsrc_rva, self.rsrc_size = struct.unpack_from("<II", data, dirs + 2 * 8)
        self.sections = []
        for i in range(sections):
            at = opt + opt_size + 40 * i
            vsize, va, raw_size, raw = struct.unpack_from("<IIII", data, at + 8)
            self.sections.append((va, max(vsize, raw_size), raw))

    def offset(self, rva: int) -> int:
        for va, size, raw in self.sections:
            if va <= rva < va + size:
                return raw + rva - va
        raise PEError(f"address {rva:#x} lies in no section")

    def _entries(self, table_rva: int):
        base = self.offset(self.rsrc_rva)
        at = base + table_rva
        named, ids = struct.unpack_from("<HH", self.data, at + 12)
        for i in range(named + ids):
            name, target = struct.unpack_from("<II", self.data, at + 16 + 8 * i)
            yield name, target

    def resource(self, rtype: int, rid: int | None = None) -> bytes | None:
        """The first resource of RTYPE (and id RID when given), any language."""
        if not self.rsrc_rva:
            return None
        base = self.offset(self.rsrc_rva)
        for name, target in self._entries(0):
            if name != rtype or not target & 0x80000000:
                continue
            for name2, target2 in self._entries(target & 0x7FFFFFFF):
                if (rid is not None and name2 != rid) or not target2 & 0x80000000:
                    continue
                for _, leaf in self._entries(target2 & 0x7FFFFFFF):
                    if leaf & 0x80000000:
                        raise PEError("resource tree deeper than three levels")
                    rva, size = struct.unpack_from("<II", self.data, base + leaf)
                    at = self.offset(rva)
                    if at + size > len(self.data):
                        raise PEError("resource runs past the end of the file")
                    return self.data[at:at + size]
        return None


def _align(n: int) -> int:
    return (n + 3) & ~3


def _node(data: bytes, at: int):
    """One node of a version resource: (key, value bytes, value type, children offsets, end)."""
    length, value_len, vtype = struct.unpack_from("<HHH", data, at)
    if length < 6 or at + length > len(data):
        raise PEError("damaged version resource")
    end = at + length
    key_end = at + 6
    while data[key_end:key_end + 2] != b"\0\0":
        key_end += 2
        if key_end >= end:
            raise PEError("unterminated key in version resource")
    key = data[at + 6:key_end].decode("utf-16-le")
    value_at = _align(key_end + 2)
    value_size = value_len * 2 if vtype == 1 else value_len
    value = data[value_at:value_at + value_size]
    children = []
    child = _align(value_at + value_size)
    while child < end:
        children.append(child)
        child = _align(child + struct.unpack_from("<H", data, child)[0])
    return key, value, vtype, children, end


def version_info(data: bytes) -> dict:
    """Fixed versions and the string tables of a VS_VERSIONINFO resource."""
    key, value, _, children, _ = _node(data, 0)
    if key != "VS_VERSION_INFO" or len(value) < 52 or struct.unpack_from("<I", value)[0] != 0xFEEF04BD:
        raise PEError("not a version resource")
    fv_ms, fv_ls, pv_ms, pv_ls = struct.unpack_from("<IIII", value, 8)
    info = {"FixedFileVersion": (fv_ms >> 16, fv_ms & 0xFFFF, fv_ls >> 16, fv_ls & 0xFFFF),
            "FixedProductVersion": (pv_ms >> 16, pv_ms & 0xFFFF, pv_ls >> 16, pv_ls & 0xFFFF),
            "Strings": {}, "Translations": []}
    for child in children:
        ckey, _, _, grand, _ = _node(data, child)
        if ckey == "StringFileInfo":
            for table in grand:
                block, _, _, strings, _ = _node(data, table)
                entries = {}
                for s in strings:
                    name, text, _, _, _ = _node(data, s)
                    entries[name] = text.decode("utf-16-le").rstrip("\0")
                info["Strings"][block] = entries
        elif ckey == "VarFileInfo":
            for var in grand:
                _, text, _, _, _ = _node(data, var)
                info["Translations"] += [struct.unpack_from("<HH", text, i) for i in range(0, len(text) - 3, 4)]
    return info


def read(path: str | Path) -> tuple[PEFile, dict | None, bytes | None]:
    pe = PEFile(Path(path).read_bytes())
    raw = pe.resource(RT_VERSION)
    return pe, version_info(raw) if raw else None, pe.resource(RT_MANIFEST, 1)


def product_version(path: str | Path) -> str:
    _, info, _ = read(path)
    if not info:
        raise PEError(f"{path} has no version resource")
    return ".".join(map(str, info["FixedProductVersion"][:3]))


def main(argv: list[str]) -> int:
    if len(argv) == 2 and argv[0] == "--version":
        print(product_version(argv[1]))
        return 0
    if len(argv) != 1:
        print(__doc__, file=sys.stderr)
        return 2
    pe, info, manifest = read(argv[0])
    print(f"TimeDateStamp: {pe.timestamp:#010x}")
    if info:
        print("FileVersion (fixed): " + ".".join(map(str, info["FixedFileVersion"])))
        print("ProductVersion (fixed): " + ".".join(map(str, info["FixedProductVersion"])))
        for block, entries in info["Strings"].items():
            for name, text in entries.items():
                print(f"{block} {name}: {text}")
        print("Translations: " + ", ".join(f"{lang:#06x}/{cp}" for lang, cp in info["Translations"]))
    else:
        print("no version resource")
    print(manifest.decode("utf-8") if manifest else "no manifest")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
