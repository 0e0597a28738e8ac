#!/usr/bin/env python3
"""End to end: the release packages. The Windows Installer package is installed, upgraded and
removed by Wine's msiexec, each case in a fresh copy of a new prefix; the version resource, the
manifest and the signatures are read back on Linux.

    python3 tests/e2e/test_install.py --exe build/win/evesk.exe \\
        --wininspect build/win/wininspect.exe --prefix build/win/wineprefix
"""

import contextlib
import math
import os
import re
import shutil
import subprocess
import sys
import tempfile
import threading
import time
import unittest
import xml.etree.ElementTree as ET
import zipfile
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))

import harness  # noqa: E402
from fixture_server import FixtureServer, Reply  # noqa: E402
from program_case import TITLE, SETTINGS, RUN, MASK  # noqa: E402
import test_tray  # noqa: E402

sys.path.insert(0, str(harness.TOOLS_DIR / "package"))
import peinfo  # noqa: E402

PACKAGE = harness.TOOLS_DIR / "package.sh"
AUTOSTART_BOX = "Kontrolovat aktualizace  automaticky po startu počítače"
SAME_REFUSED = "Tato verze e-VESK vizedu je již nainstalována."
OLDER_REFUSED = "Je nainstalována novější verze e-VESK vizedu"
RUN_VALUE = "e-vesk vizedu"
BM_GETCHECK = 0x00F0
WIZARD = "Instalace e-VESK vizedu"  # the installer's window title on every page
WELCOME, FOLDER, DONE = "Vítá vás průvodce instalací e-VESK vizedu", "Kam se program nainstaluje", \
    "Instalace e-VESK vizedu je dokončena"
LAUNCH_BOX, STOPPED = "&Spustit e-VESK vizedu", "Instalace byla přerušena"
UNINSTALL = r"HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall"


def package(exe: Path, out: Path, env: dict | None = None) -> subprocess.CompletedProcess:
    return subprocess.run([str(PACKAGE), "--exe", str(exe), "--out", str(out)], capture_output=True, text=True,
                          env={**os.environ, **(env or {})}, timeout=300)


def built_packages(exe: Path, out: Path) -> tuple[Path, str]:
    result = package(exe, out)
    if result.returncode != 0:
        raise harness.HarnessError(f"package.sh failed: {result.stderr}")
    version = peinfo.product_version(exe)
    return out / f"evesk-{version}.msi", version


class Packages:
    """The packages of this build and of its older copy, made once for all cases."""
    tmp = None

    @classmethod
    def get(cls):
        if cls.tmp is None:
            cls.tmp = Path(tempfile.mkdtemp(prefix="evesk-install-"))
            cfg = harness.config()
            cls.new, cls.new_version = built_packages(cfg.exe, cls.tmp / "new")
            cls.old, cls.old_version = built_packages(cfg.exe.parent / "evesk_previous.exe", cls.tmp / "old")
        return cls


def tearDownModule():
    if Packages.tmp:
        shutil.rmtree(Packages.tmp, ignore_errors=True)


class InstallCase(unittest.TestCase):
    """Each test in a fresh copy of a prefix made once (as a new prefix is) beside the build's own."""

    def setUp(self):
        self.pkgs = Packages.get()
        cfg = harness.config()
        root = cfg.prefix.parent / "install-prefixes"
        template = root / "template"
        subprocess.run([str(harness.TOOLS_DIR / "wine-prefix.sh"), str(template)], check=True, timeout=300)
        self.prefix = root / self.id().rsplit(".", 1)[-1]
        shutil.rmtree(self.prefix, ignore_errors=True)
        subprocess.run(["cp", "-a", str(template), str(self.prefix)], check=True, timeout=300)
        self.wine = harness.WineSession(self.prefix, cfg.wininspect, cfg.artifacts / "install",
                                        use_display=cfg.display, deadline=400)
        self.wine.start()
        self.addCleanup(shutil.rmtree, self.prefix, True)
        self.addCleanup(self.wine.close)
        self.server = FixtureServer().start()
        self.addCleanup(self.server.stop)
        self.server.default(Reply(body="ok"))

    # -- helpers ---------------------------------------------------------------------------
    def msiexec(self, *args: str, log: str = "msi") -> tuple[int, str]:
        """Runs msiexec quietly with a log; returns its exit code (as Unix keeps it) and the log."""
        log_file = self.prefix / "drive_c" / f"{log}.log"
        result = self.wine.wine("msiexec", *args, "/qn", "/l*v", f"C:\\{log}.log", timeout=180)
        text = log_file.read_bytes().decode("cp1250", "replace") if log_file.exists() else ""
        return result.returncode, text

    def user_dir(self) -> Path:
        return next((self.prefix / "drive_c" / "users").glob("*/AppData"))

    def installed_exe(self) -> Path:
        return self.user_dir() / "Local" / "Programs" / "e-VESK vizedu" / "evesk.exe"

    def shortcut(self) -> Path:
        return self.user_dir() / "Roaming" / "Microsoft" / "Windows" / "Start Menu" / "Programs" / "e-VESK vizedu.lnk"

    def windows_path(self, path: Path) -> str:
        return "C:\\" + str(path.relative_to(self.prefix / "drive_c")).replace("/", "\\")

    def entries(self) -> list[str]:
        """The product codes of e-VESK vizedu in the installed-programs list."""
        out = self.wine.wine("uninstaller", "--list", timeout=60).stdout.decode("utf-8", "replace")
        return [line.split("|")[0] for line in out.splitlines() if line.endswith("|e-VESK vizedu")]

    def star(self):
        return test_tray.TrayTest.star(self)  # reads only self.wine

    def start_installed(self) -> harness.WineProcess:
        self.wine.reg_set(SETTINGS, "data", MASK)
        self.wine.reg_set(SETTINGS, "verze", "1700000000")
        self.wine.reg_set(SETTINGS, "server", self.server.address)
        program = self.wine.launch(self.windows_path(self.installed_exe()))
        self.wine.wait_window(TITLE, timeout=60, process=program, cls="TMainForm")
        self.wine.wait_for(self.star, 30, what="the star in the notification area")
        return program

    def assert_settings_kept(self):
        self.assertEqual(self.wine.reg_get(SETTINGS, "data"), MASK)
        self.assertEqual(self.wine.reg_get(SETTINGS, "verze"), "1700000000")
        self.assertEqual(self.wine.reg_get(SETTINGS, "server"), self.server.address)


class PerUserTest(InstallCase):
    def test_install_start_autostart_then_uninstall_ends_the_running_copy(self):
        code, log = self.msiexec("/i", str(self.pkgs.new))
        self.assertEqual(code, 0, log[-2000:])
        exe = self.installed_exe()
        self.assertEqual(exe.read_bytes(), harness.config().exe.read_bytes())
        self.assertTrue(self.shortcut().exists())
        [product] = self.entries()
        self.assertEqual(self.wine.reg_get(f"{UNINSTALL}\\{product}", "DisplayVersion"), self.pkgs.new_version)
        self.assertEqual(self.wine.reg_get(f"{UNINSTALL}\\{product}", "Publisher"), "Dorlen")
        # Its folder, and its size as the package gives it (Windows adds its own estimate,
        # "EstimatedSize", from the files; Wine writes 0 there).
        self.assertEqual(self.wine.reg_get(f"{UNINSTALL}\\{product}", "InstallLocation"),
                         self.windows_path(exe.parent) + "\\")
        self.assertEqual(self.wine.reg_get(f"{UNINSTALL}\\{product}", "Size"), str(math.ceil(len(exe.read_bytes()) / 1024)))
        # The list's icon: the installer keeps it per product (in the user's profile for a per-user product).
        self.assertTrue(list((self.prefix / "drive_c").glob(f"**/Installer/{product}/evesk.ico")))

        # The installed program runs, and its autostart choice names the installed file.
        program = self.start_installed()
        window = self.wine.wait_window(TITLE, timeout=10, cls="TMainForm")
        boxes = {c.text: c for c in self.wine.children(window) if c.cls.upper() == "BUTTON"}
        if self.wine.send_message(boxes[AUTOSTART_BOX], BM_GETCHECK) != 1:  # ticked on a first start
            self.wine.click_child(boxes[AUTOSTART_BOX])
        self.wine.click_child(next(c for c in self.wine.children(window) if c.text == "OK"))
        expected = f'"{self.windows_path(exe)}" -auto'
        self.wine.wait_for(lambda: self.wine.reg_get(RUN, RUN_VALUE) == expected, 20,
                           what="the autostart command", on_timeout=lambda: str(self.wine.reg_get(RUN, RUN_VALUE)))
        print(f"screenshot: {self.wine.screenshot('install-running')}", flush=True)

        code, log = self.msiexec("/x", str(self.pkgs.new))
        self.assertEqual(code, 0, log[-2000:])
        self.assertEqual(program.wait(timeout=20), 0)  # ended by its own hand, not killed
        self.wine.wait_for(lambda: not self.star(), 10, what="the tray icon to go")
        print(f"screenshot: {self.wine.screenshot('install-removed')}", flush=True)
        self.assertFalse(exe.exists())
        self.assertFalse(exe.parent.exists())
        self.assertFalse(self.shortcut().exists())
        self.assertEqual(self.entries(), [])
        self.assertIsNone(self.wine.reg_get(RUN, RUN_VALUE))
        self.assert_settings_kept()

    def test_uninstall_leaves_an_autostart_of_another_copy(self):
        self.assertEqual(self.msiexec("/i", str(self.pkgs.new))[0], 0)
        self.wine.reg_set(RUN, RUN_VALUE, r'"D:\Prenosne\evesk.exe" -auto')
        self.assertEqual(self.msiexec("/x", str(self.pkgs.new))[0], 0)
        self.assertFalse(self.installed_exe().exists())
        self.assertEqual(self.wine.reg_get(RUN, RUN_VALUE), r'"D:\Prenosne\evesk.exe" -auto')


class UpgradeTest(InstallCase):
    def test_upgrade_keeps_choices_and_refuses_the_same_or_an_older_version(self):
        self.assertNotEqual(self.pkgs.old_version, self.pkgs.new_version)
        self.assertEqual(self.msiexec("/i", str(self.pkgs.old))[0], 0)
        exe = self.installed_exe()
        self.assertEqual(peinfo.product_version(exe), self.pkgs.old_version)
        [old_product] = self.entries()
        program = self.start_installed()
        # The older version's own switch writes the command, as its OK button would.
        self.assertEqual(self.wine.wine(self.windows_path(exe), "-autostart", timeout=60).returncode, 0)
        command = f'"{self.windows_path(exe)}" -auto'
        self.assertEqual(self.wine.reg_get(RUN, RUN_VALUE), command)

        code, log = self.msiexec("/i", str(self.pkgs.new), log="upgrade")
        self.assertEqual(code, 0, log[-2000:])
        self.assertEqual(program.wait(timeout=20), 0)  # the running older copy was ended first
        self.assertEqual(peinfo.product_version(exe), self.pkgs.new_version)
        [new_product] = self.entries()
        self.assertNotEqual(new_product, old_product)
        self.assertEqual(self.wine.reg_get(RUN, RUN_VALUE), command)
        self.assert_settings_kept()

        before = exe.read_bytes()
        for msi, message in ((self.pkgs.new, SAME_REFUSED), (self.pkgs.old, OLDER_REFUSED)):
            with self.subTest(msi=msi.name):
                # With the basic interface, as a reader who opens the file: a message, then nothing.
                setup = self.wine.launch("msiexec", "/i", self.windows_path_of_package(msi), "/qb")
                box = self.wine.wait_for(lambda: next((w for w in self.wine.windows() if any(
                    message in c.text for c in self.wine.children(w))), None), 60, what="the refusal")
                print(f"screenshot: {self.wine.screenshot('install-refused-' + msi.stem)}", flush=True)
                self.wine.click_child(next(c for c in self.wine.children(box) if c.text == "OK"))
                self.assertEqual(setup.wait(timeout=30), 1603 & 0xFF, "a fatal error, 1603, as Unix keeps it")
                self.assertEqual(self.entries(), [new_product])
                self.assertEqual(exe.read_bytes(), before)
                self.assertEqual(self.wine.reg_get(RUN, RUN_VALUE), command)

    @staticmethod
    def windows_path_of_package(msi: Path) -> str:
        return "Z:" + str(msi).replace("/", "\\")


class PerMachineTest(InstallCase):
    def test_all_users_install_goes_to_program_files_and_is_removed_whole(self):
        code, log = self.msiexec("/i", str(self.pkgs.new), "ALLUSERS=1")
        self.assertEqual(code, 0, log[-2000:])
        exe = self.prefix / "drive_c" / "Program Files" / "e-VESK vizedu" / "evesk.exe"
        # Windows puts the item in the all-users menu; Wine's installer keeps its menu folder
        # the user's whatever ALLUSERS says, so the test accepts either place.
        menus = [self.prefix / "drive_c" / "ProgramData" / "Microsoft" / "Windows" / "Start Menu" / "Programs",
                 self.shortcut().parent]
        self.assertTrue(exe.exists())
        self.assertTrue(any((m / "e-VESK vizedu.lnk").exists() for m in menus))
        self.assertFalse(self.installed_exe().exists())
        self.assertEqual(len(self.entries()), 1)
        code, log = self.msiexec("/x", str(self.pkgs.new))
        self.assertEqual(code, 0, log[-2000:])
        self.assertFalse(exe.exists())
        self.assertFalse(any((m / "e-VESK vizedu.lnk").exists() for m in menus))
        self.assertEqual(self.entries(), [])
        self.assertIsNone(self.wine.reg_get(r"HKLM\Software\Dorlen\e-VESK vizedu", "InstallDir"))


def msi_table(msi: Path, table: str) -> list[dict[str, str]]:
    """The rows of TABLE as msiinfo exports them (texts decoded from the package's code page)."""
    out = subprocess.run(["msiinfo", "export", str(msi), table], capture_output=True, check=True).stdout
    lines = out.decode("utf-8").split("\r\n")
    names = lines[0].split("\t")
    return [dict(zip(names, line.split("\t"))) for line in lines[3:] if line]


class WizardTablesTest(unittest.TestCase):
    """The wizard as the package's tables describe it; no Wine needed."""

    @classmethod
    def setUpClass(cls):
        cls.msi = Packages.get().new
        cls.tables = {t: msi_table(cls.msi, t) for t in ("Dialog", "Control", "ControlEvent", "ControlCondition",
                                                           "InstallUISequence", "CustomAction", "Property",
                                                           "CheckBox")}
        cls.controls = {(c["Dialog_"], c["Control"]): c for c in cls.tables["Control"]}
        cls.dialogs = {d["Dialog"]: d for d in cls.tables["Dialog"]}

    def events(self, dialog: str, control: str) -> list[dict[str, str]]:
        rows = [e for e in self.tables["ControlEvent"] if (e["Dialog_"], e["Control_"]) == (dialog, control)]
        return sorted(rows, key=lambda e: int(e["Ordering"] or 0))

    def test_pages_follow_each_other_and_every_reference_holds(self):
        sequence = {r["Action"]: (r["Condition"], int(r["Sequence"])) for r in self.tables["InstallUISequence"]}
        self.assertEqual(sequence["WelcomeDlg"], ("NOT Installed", 1230))
        self.assertLess(sequence["CostFinalize"][1], 1230)
        self.assertLess(sequence["ProgressDlg"][1], sequence["ExecuteAction"][1])
        self.assertEqual({a: sequence[a][1] for a in ("ExitDlg", "UserExitDlg", "FatalErrorDlg")},
                         {"ExitDlg": -1, "UserExitDlg": -2, "FatalErrorDlg": -3})
        # The reader's path: welcome, Next to the folder, Install ends the wizard and installs.
        self.assertEqual([(e["Event"], e["Argument"]) for e in self.events("WelcomeDlg", "Next")],
                         [("NewDialog", "FolderDlg")])
        self.assertEqual([(e["Event"], e["Argument"]) for e in self.events("FolderDlg", "Next")],
                         [("EndDialog", "Return")])
        self.assertEqual(self.controls[("FolderDlg", "Folder")]["Text"], "[INSTALLDIR]")
        for name, dialog in self.dialogs.items():
            with self.subTest(dialog=name):
                for key in ("Control_First", "Control_Default", "Control_Cancel"):
                    if dialog[key]:
                        self.assertIn((name, dialog[key]), self.controls, key)
                # Tab goes round every control that takes the focus, and only those.
                chain, control = [], dialog["Control_First"]
                while control and control not in chain:
                    chain.append(control)
                    control = self.controls[(name, control)]["Control_Next"]
                focusable = {c for (d, c), row in self.controls.items() if d == name and row["Control_Next"]}
                self.assertTrue(focusable <= set(chain), (chain, focusable))
        for row in self.tables["ControlEvent"] + self.tables["ControlCondition"]:
            self.assertIn((row["Dialog_"], row["Control_"]), self.controls, row)
        for row in self.tables["ControlEvent"]:
            if row["Event"] in ("NewDialog", "SpawnDialog"):
                self.assertIn(row["Argument"], self.dialogs, row)

    def test_texts_are_czech_in_code_page_1250(self):
        page = subprocess.run(["msiinfo", "export", str(self.msi), "_ForceCodepage"], capture_output=True,
                              check=True).stdout
        self.assertIn(b"1250\t_ForceCodepage", page)
        raw = self.msi.read_bytes()
        welcome = [c["Text"] for (d, _), c in self.controls.items() if d == "WelcomeDlg"]
        self.assertTrue(any(WELCOME in t for t in welcome), welcome)
        self.assertTrue(any("[ProductVersion]" in t and "[Manufacturer]" in t for t in welcome), welcome)
        for text in (WELCOME, "do složky:", "Počkejte prosím", "přerušit?", DONE):
            with self.subTest(text=text):  # found as 1250 bytes, not as UTF-8 (messages kept short)
                self.assertTrue(text.encode("cp1250") in raw and text.encode("utf-8") not in raw)
        buttons = {c["Text"] for c in self.controls.values() if c["Type"] == "PushButton"}
        self.assertEqual(buttons, {"< &Zpět", "&Další >", "&Instalovat", "Storno", "&Dokončit", "&Ano", "&Ne"})

    def test_final_page_starts_the_installed_program_when_ticked(self):
        box = self.controls[("ExitDlg", "Launch")]
        self.assertEqual((box["Type"], box["Text"]), ("CheckBox", LAUNCH_BOX))
        prop = box["Property"]
        self.assertIn({"Property": prop, "Value": "1"}, self.tables["Property"])  # ticked by default
        self.assertIn({"Property": prop, "Value": "1"}, self.tables["CheckBox"])
        finish = self.events("ExitDlg", self.dialogs["ExitDlg"]["Control_Default"])
        self.assertEqual([e["Event"] for e in finish], ["DoAction", "EndDialog"])
        self.assertIn(f"{prop}=1", finish[0]["Condition"])
        self.assertIn("NOT REMOVE", finish[0]["Condition"])
        [action] = [a for a in self.tables["CustomAction"] if a["Action"] == finish[0]["Argument"]]
        kind = int(action["Type"])
        self.assertEqual(kind & 0x3F, 18, "an installed file run as a program")
        self.assertEqual(action["Source"], "evesk.exe")
        self.assertEqual(action["Target"], "", "a normal start, not -auto")
        self.assertTrue(kind & 0x80, "the installer does not wait for the program")

    def test_summary_and_installed_programs_entry(self):
        info = subprocess.run(["msiinfo", "suminfo", str(self.msi)], capture_output=True, check=True).stdout
        raw = self.msi.read_bytes()
        for text in ("Instalační balíček", "Instalační program"):
            self.assertTrue(text.encode("cp1250") in raw, text)
        self.assertNotIn(b"Installation Database", info)
        self.assertRegex(info.decode("cp1250"), r"Comments: .*© 20\d\d Dorlen")
        props = {p["Property"]: p["Value"] for p in self.tables["Property"]}
        self.assertEqual(int(props["ARPSIZE"]), math.ceil(harness.config().exe.stat().st_size / 1024))
        self.assertIn({"Action": "InstallLocation", "Type": "2099", "Source": "ARPINSTALLLOCATION",
                       "Target": "[INSTALLDIR]", "ExtendedType": ""}, self.tables["CustomAction"])


class WizardTest(InstallCase):
    """The interactive install, driven by keys as a reader would, with a screenshot of each page."""

    def start_wizard(self, log: str) -> harness.WineProcess:
        return self.wine.launch("msiexec", "/i", UpgradeTest.windows_path_of_package(self.pkgs.new),
                                "/l*v", f"C:\\{log}.log")

    def page(self, heading: str, setup: harness.WineProcess, timeout: float = 60) -> tuple[harness.Window, list]:
        """Waits for the wizard page with HEADING; parks the pointer on its title bar for the keys."""
        def shown():
            for window in self.wine.find_windows(WIZARD):
                try:
                    children = self.wine.children(window)
                except harness.HarnessError:  # a page that closed since the list was taken
                    continue
                if any(c.text == heading and c.visible for c in children):
                    return window, children
            if not setup.running:
                raise harness.HarnessError(f"msiexec ended ({setup.exit_code}) before the page {heading!r}")
            return None
        window, children = self.wine.wait_for(shown, timeout, what=f"the page {heading!r}")
        self.wine.move(window.rect[0] + 60, window.rect[1] + 8)
        time.sleep(0.3)
        return window, children

    @contextlib.contextmanager
    def frames(self, name: str):
        """Screenshots taken one after the other while the block runs: the progress page lasts
        a second or two, less than a look through the window inspector takes."""
        shots: list[Path] = []
        stop = threading.Event()

        def grab():
            while not stop.is_set():
                shots.append(self.wine.screenshot(f"{name}-frame{len(shots):02d}"))
        thread = threading.Thread(target=grab, daemon=True)
        thread.start()
        try:
            yield shots
        finally:
            stop.set()
            thread.join(timeout=30)

    def keep_progress_frame(self, shots: list[Path]) -> None:
        """Keeps the first frame that shows neither the page before nor the last page."""
        def pixels(path: Path) -> bytes:
            return self.wine.run(["convert", str(path), "rgb:-"], timeout=60, check=True).stdout
        ends = {pixels(shots[0]), pixels(shots[-1])} if shots else set()
        kept = next((shot for shot in shots[1:-1] if pixels(shot) not in ends), None)
        if kept:
            print(f"screenshot: {kept.rename(kept.with_name('wizard-3-progress.png'))}", flush=True)
        else:
            print("the progress page passed between two screenshots", flush=True)
        for shot in shots:
            shot.unlink(missing_ok=True)

    def log(self, name: str) -> str:
        return (self.prefix / "drive_c" / f"{name}.log").read_bytes().decode("cp1250", "replace")

    def test_pages_by_keys_and_the_ticked_box_starts_the_program(self):
        setup = self.start_wizard("wizard")
        _, children = self.page(WELCOME, setup)
        texts = " ".join(c.text for c in children)
        self.assertIn(f"verze {self.pkgs.new_version} od společnosti Dorlen", texts)
        print(f"screenshot: {self.wine.screenshot('wizard-1-welcome')}", flush=True)
        self.wine.key("Return")
        _, children = self.page(FOLDER, setup)
        self.assertIn(self.windows_path(self.installed_exe().parent) + "\\", [c.text for c in children])
        print(f"screenshot: {self.wine.screenshot('wizard-2-folder')}", flush=True)
        with self.frames("wizard-3-progress") as frames:
            self.wine.key("Return")
            window, children = self.page(DONE, setup, timeout=120)
        self.keep_progress_frame(frames)
        [box] = [c for c in children if c.text == LAUNCH_BOX]
        self.assertEqual(self.wine.send_message(box, BM_GETCHECK), 1)
        print(f"screenshot: {self.wine.screenshot('wizard-4-done')}", flush=True)
        self.wine.key("Return")
        self.assertEqual(setup.wait(timeout=60), 0)
        self.assertIn("Action start", self.log("wizard"))
        self.assertRegex(self.log("wizard"), r"Action start [\d:]+: StartInstalledProgram\.")
        # The installed file runs, as a normal start: it shows its window (first start: no
        # categories yet, so it says so first).
        exe = self.installed_exe()
        self.wine.wait_window(TITLE, timeout=60, cls="TMessageForm")
        print(f"screenshot: {self.wine.screenshot('wizard-5-started')}", flush=True)
        pid = harness.find_linux_process(Path(self.windows_path(exe)), self.prefix)
        args = (Path("/proc") / str(pid) / "cmdline").read_bytes().split(b"\0")
        self.assertNotIn(b"-auto", args)

    def test_cancel_changes_nothing_and_a_cleared_box_starts_nothing(self):
        setup = self.start_wizard("cancelled")
        self.page(WELCOME, setup)
        self.wine.key("Escape")
        self.page("Opravdu chcete instalaci e-VESK vizedu přerušit?", setup)
        print(f"screenshot: {self.wine.screenshot('wizard-cancel-question')}", flush=True)
        self.wine.key("Return")  # the default answer is No: back to the page
        self.page(WELCOME, setup)
        self.wine.key("Escape")
        self.page("Opravdu chcete instalaci e-VESK vizedu přerušit?", setup)
        self.wine.key("alt+a")
        self.page(STOPPED, setup)
        print(f"screenshot: {self.wine.screenshot('wizard-cancelled')}", flush=True)
        self.wine.key("Return")
        self.assertEqual(setup.wait(timeout=60), 1602 & 0xFF, "cancelled by the user, 1602, as Unix keeps it")
        self.assertFalse(self.installed_exe().exists())
        self.assertEqual(self.entries(), [])

        setup = self.start_wizard("unticked")
        for heading in (WELCOME, FOLDER):
            self.page(heading, setup)
            self.wine.key("Return")
        _, children = self.page(DONE, setup, timeout=120)
        [box] = [c for c in children if c.text == LAUNCH_BOX]
        self.wine.key("Tab", "space")
        self.wine.wait_for(lambda: self.wine.send_message(box, BM_GETCHECK) == 0, 10, what="the box cleared")
        self.wine.key("shift+Tab", "Return")
        self.assertEqual(setup.wait(timeout=60), 0)
        self.assertTrue(self.installed_exe().exists())
        self.assertNotIn("StartInstalledProgram", self.log("unticked"))
        self.assertEqual(self.wine.find_windows(TITLE), [])


class ProgramFileTest(unittest.TestCase):
    """What the exe says about itself; no Wine needed."""

    def test_version_resource_and_manifest(self):
        exe = harness.config().exe
        pe, info, manifest = peinfo.read(exe)
        self.assertEqual(pe.timestamp, 0, "a link time stamp makes two builds differ")
        version = peinfo.product_version(exe)
        strings = info["Strings"]["040504E2"]
        self.assertEqual(strings["CompanyName"], "Dorlen")
        self.assertEqual(strings["ProductName"], "e-VESK vizedu")
        self.assertEqual(strings["FileVersion"], version)
        self.assertEqual(strings["ProductVersion"], version)
        self.assertIn("upozornění", strings["FileDescription"])
        self.assertRegex(strings["LegalCopyright"], r"^© 20\d\d Dorlen$")
        self.assertEqual(info["FixedFileVersion"], tuple(map(int, version.split("."))) + (0,))
        self.assertEqual(info["Translations"], [(0x0405, 1250)])
        self.assertEqual(peinfo.product_version(exe.parent / "evesk_previous.exe"), "0.9.0")

        root = ET.fromstring(manifest)
        ns = {"v1": "urn:schemas-microsoft-com:asm.v1", "v3": "urn:schemas-microsoft-com:asm.v3",
              "c": "urn:schemas-microsoft-com:compatibility.v1",
              "w5": "http://schemas.microsoft.com/SMI/2005/WindowsSettings",
              "w16": "http://schemas.microsoft.com/SMI/2016/WindowsSettings"}
        level = root.find(".//v3:requestedExecutionLevel", ns)
        self.assertEqual(level.get("level"), "asInvoker")
        self.assertEqual(len(root.findall(".//c:supportedOS", ns)), 4)
        self.assertEqual(root.find(".//w16:dpiAwareness", ns).text, "PerMonitorV2, PerMonitor")
        self.assertEqual(root.find(".//w5:dpiAware", ns).text, "true/pm")
        self.assertEqual(root.find("v1:assemblyIdentity", ns).get("version"), version + ".0")


class SigningTest(unittest.TestCase):
    """Signing with a throwaway authority made for this run; no Wine needed."""

    def test_signed_with_a_given_certificate_and_unsigned_without(self):
        with tempfile.TemporaryDirectory(prefix="evesk-sign-") as tmp:
            tmp = Path(tmp)
            ca, chain, key = self.make_authority(tmp)
            exe = harness.config().exe
            result = package(exe, tmp / "signed", {"EVESK_SIGN_CERT": str(chain), "EVESK_SIGN_KEY": str(key)})
            self.assertEqual(result.returncode, 0, result.stderr)
            self.assertIn("signed", result.stdout)
            version = peinfo.product_version(exe)
            msi, archive = tmp / "signed" / f"evesk-{version}.msi", tmp / "signed" / f"evesk-{version}.zip"
            with zipfile.ZipFile(archive) as z:
                self.assertEqual(sorted(z.namelist()), ["CTIMNE.txt", "evesk.exe"])
                (tmp / "zip-evesk.exe").write_bytes(z.read("evesk.exe"))
                self.assertTrue(z.read("CTIMNE.txt").startswith(b"\xef\xbb\xbf"))
            subprocess.run(["msiextract", "-C", str(tmp / "msi"), str(msi)], check=True, capture_output=True)
            [from_msi] = (tmp / "msi").rglob("evesk.exe")
            for signed in (msi, tmp / "zip-evesk.exe", from_msi):
                with self.subTest(file=signed.name):
                    self.assertEqual(self.verify(signed, ca).returncode, 0, self.verify(signed, ca).stdout)
            sums = (tmp / "signed" / f"evesk-{version}.sha256").read_text()
            self.assertEqual(subprocess.run(["sha256sum", "-c", "--quiet", "-"], input=sums, text=True,
                                            cwd=tmp / "signed").returncode, 0)

            result = package(exe, tmp / "unsigned", {"EVESK_SIGN_CERT": "", "EVESK_SIGN_KEY": ""})
            self.assertEqual(result.returncode, 0, result.stderr)
            self.assertIn("NOT SIGNED", result.stdout)
            self.assertNotEqual(self.verify(tmp / "unsigned" / f"evesk-{version}.msi", ca).returncode, 0)
            # Half a signing setup is an error, not a quiet unsigned release.
            self.assertNotEqual(package(exe, tmp / "half", {"EVESK_SIGN_CERT": str(chain)}).returncode, 0)

    @staticmethod
    def verify(path: Path, ca: Path) -> subprocess.CompletedProcess:
        return subprocess.run(["osslsigncode", "verify", "-CAfile", str(ca), "-in", str(path)],
                              capture_output=True, text=True)

    @staticmethod
    def make_authority(tmp: Path) -> tuple[Path, Path, Path]:
        def openssl(*args):
            subprocess.run(["openssl", *args], check=True, capture_output=True, cwd=tmp)
        openssl("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", "ca.key", "-out", "ca.pem", "-days", "2",
                "-subj", "/CN=e-VESK test authority", "-addext", "basicConstraints=critical,CA:TRUE",
                "-addext", "keyUsage=critical,keyCertSign")
        openssl("req", "-newkey", "rsa:2048", "-nodes", "-keyout", "sign.key", "-out", "sign.csr",
                "-subj", "/CN=Dorlen test signing")
        (tmp / "ext").write_text("basicConstraints=CA:FALSE\nkeyUsage=critical,digitalSignature\n"
                                 "extendedKeyUsage=codeSigning\n")
        openssl("x509", "-req", "-in", "sign.csr", "-CA", "ca.pem", "-CAkey", "ca.key", "-CAcreateserial",
                "-out", "sign.pem", "-days", "2", "-extfile", "ext")
        (tmp / "chain.pem").write_text((tmp / "sign.pem").read_text() + (tmp / "ca.pem").read_text())
        return tmp / "ca.pem", tmp / "chain.pem", tmp / "sign.key"


if __name__ == "__main__":
    harness.e2e_main()
