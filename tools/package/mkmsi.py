#!/usr/bin/env python3
"""Builds the Windows Installer package of a built evesk.exe with wixl.

    mkmsi.py EXE OUT.msi

The version is read from the exe's own version resource. The product code follows from the
version and the package code from the version and the exe's bytes, so a rebuild of the same
sources gives the same codes; the summary's creation time still differs between builds.
"""
from __future__ import annotations

import hashlib
import os
import shutil
import subprocess
import sys
import tempfile
import uuid
from pathlib import Path

HERE = Path(__file__).resolve().parent
sys.path.insert(0, str(HERE))
import msiui  # noqa: E402
import peinfo  # noqa: E402
import suminfo  # noqa: E402

SOURCE = HERE.parents[1]
NAMESPACE = uuid.UUID("5d1e7c3a-9b2f-4c86-a0d4-e6f1b2c3d4a5")  # the program's own, fixed for good

# wixl has no component conditions: the folder is kept in the registry of the installing context.
FOLDER_KEY = "Software\\Dorlen\\e-VESK vizedu"  # where evesk.wxs keeps the folder, per context
COMPONENT_CONDITIONS = {"UserFolderKept": "NOT ALLUSERS", "MachineFolderKept": "ALLUSERS=1"}

# wixl writes only ASCII text correctly; the Czech messages go in afterwards in code page 1250.
MESSAGES = {
    "EVESK_MSG_SAME": "Tato verze e-VESK vizedu je již nainstalována. Nic nebylo změněno.",
    "EVESK_MSG_NEWER": "Je nainstalována novější verze e-VESK vizedu. Starší verzi přes ni nelze "
                       "nainstalovat; nic nebylo změněno.",
}


def summary(version: str, copyright: str) -> dict[str, str]:
    """What Explorer's properties of the package show, in Czech; the copyright is the exe's."""
    return {"title": "Instalační balíček", "subject": f"e-VESK vizedu {version}", "author": "Dorlen",
            "keywords": "Instalační program, e-VESK vizedu, Dorlen",
            "comments": f"Instaluje program e-VESK vizedu {version}: upozornění na novinky služby e-VESK "
                        f"v oznamovací oblasti. {copyright}"}


def product_code(version: str) -> str:
    return str(uuid.uuid5(NAMESPACE, "product " + version)).upper()


def package_code(version: str, exe: bytes) -> str:
    return str(uuid.uuid5(NAMESPACE, f"package {version} {hashlib.sha256(exe).hexdigest()}")).upper()


def run(args: list[str], cwd: Path) -> None:
    env = dict(os.environ, LC_ALL="C.UTF-8")
    result = subprocess.run(args, cwd=cwd, env=env, capture_output=True, text=True)
    if result.returncode != 0:
        raise SystemExit(f"mkmsi: {args[0]} failed ({result.returncode}): {result.stderr.strip()}")


def build(exe: Path, out: Path) -> str:
    version = peinfo.product_version(exe)
    data = exe.read_bytes()
    with tempfile.TemporaryDirectory(prefix="evesk-msi-") as tmp:
        stage = Path(tmp)
        # wixl finds sources only by names relative to the folder it runs in.
        shutil.copyfile(exe, stage / "evesk.exe")
        shutil.copyfile(SOURCE / "assets" / "evesk.ico", stage / "evesk.ico")
        shutil.copyfile(HERE / "evesk.wxs", stage / "evesk.wxs")
        defines = {"Version": version, "ProductCode": product_code(version),
                   "PackageCode": package_code(version, data), "Exe": "evesk.exe", "Icon": "evesk.ico",
                   "SameMessage": "EVESK_MSG_SAME", "NewerMessage": "EVESK_MSG_NEWER"}
        args = ["wixl", "-a", "x86", "-o", "evesk.msi"]
        for name, value in defines.items():
            args += ["-D", f"{name}={value}"]
        run(args + ["evesk.wxs"], stage)
        (stage / "_ForceCodepage.idt").write_bytes(b"\r\n\r\n1250\t_ForceCodepage\r\n")
        run(["msibuild", "evesk.msi", "-i", "_ForceCodepage.idt"], stage)
        for prop, root in (("USERDIR", 1), ("MACHINEDIR", 2)):
            run(["msibuild", "evesk.msi", "-q",
                 f"INSERT INTO `RegLocator` (`Signature_`, `Root`, `Key`, `Name`, `Type`) VALUES ('{prop}Search', {root}, "
                 f"'{FOLDER_KEY}', 'InstallDir', 2)", "-q",
                 f"INSERT INTO AppSearch (Property, Signature_) VALUES ('{prop}', '{prop}Search')"], stage)
        for component, condition in COMPONENT_CONDITIONS.items():
            run(["msibuild", "evesk.msi", "-q",
                 f"UPDATE Component SET Condition='{condition}' WHERE Component='{component}'"], stage)
        for token, text in MESSAGES.items():
            run(["msibuild", "evesk.msi", "-q",
                 f"UPDATE LaunchCondition SET Description='{text}' WHERE Description='{token}'"], stage)
        # The installed-programs entry's size, in KiB (Windows computes its own estimate beside it).
        size = msiui.insert("Property", dict(Property="ARPSIZE", Value=str(-(-len(data) // 1024))))
        ui = msiui.statements() + [size]
        for start in range(0, len(ui), 50):
            run(["msibuild", "evesk.msi"] + [arg for sql in ui[start:start + 50] for arg in ("-q", sql)], stage)
        run(["msibuild", "evesk.msi", "-s", f"e-VESK vizedu {version}", "Dorlen", "Intel;1029",
             "{" + defines["PackageCode"] + "}"], stage)
        strings = (peinfo.read(exe)[1] or {}).get("Strings", {}).get("040504E2", {})
        suminfo.write_czech(stage / "evesk.msi", summary(version, strings.get("LegalCopyright", "")))
        out.parent.mkdir(parents=True, exist_ok=True)
        shutil.copyfile(stage / "evesk.msi", out)
    return version


def main(argv: list[str]) -> int:
    if len(argv) != 2:
        print(__doc__, file=sys.stderr)
        return 2
    version = build(Path(argv[0]), Path(argv[1]))
    print(f"{argv[1]}: e-VESK vizedu {version}")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
