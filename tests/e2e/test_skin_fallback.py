#!/usr/bin/env python3
"""End to end: a damaged, incomplete or oversized skin in the skin folder is never applied half.
The program says once why it cannot use the skin, goes on with its internal skin, and its tray
menu and check boxes stay readable.

    python3 tests/e2e/test_skin_fallback.py --exe build/win/evesk.exe \\
        --wininspect build/win/wininspect.exe --prefix build/win/wineprefix
"""

import shutil
import struct
import sys
import time
import zlib
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))

import harness  # noqa: E402
from program_case import TITLE, SETTINGS, ProgramCase, mask  # noqa: E402
from test_skin_checks import pixels  # noqa: E402
from test_tray import read_ppm  # noqa: E402

TOPAZ = Path(__file__).resolve().parents[2] / "assets" / "Topaz"
WM_CLOSE, WM_RBUTTONDOWN, BM_GETCHECK = 0x0010, 0x0204, 0x00F0
SM_QUENCHCMD, AC_CTRLHANDLED = 41216, 7
INTERNAL = "Topaz (interní)"
# How long the program may take from its start to its first window. Wine itself starts in well
# under this; decoding a huge picture once per reference took 42 s.
FIRST_WINDOW_DEADLINE = 3


def pack(files: dict[str, bytes], magic: bytes = b"ASzf") -> bytes:
    """A skin archive of the files, each one zlib stream."""
    out = magic + struct.pack("<i", len(files))
    for name, data in files.items():
        raw = name.encode("cp1250")
        out += struct.pack("<i", len(raw)) + raw + struct.pack("<i", len(data)) + zlib.compress(data, 9)
    return out


def topaz_files() -> dict[str, bytes]:
    files = {"Options.dat": (TOPAZ / "Options.dat").read_bytes()}
    files.update({p.name: p.read_bytes() for p in sorted(TOPAZ.iterdir()) if p.name != "Options.dat"})
    return files


class SkinFallbackTest(ProgramCase):
    def setUp(self):
        self.skins = harness.config().prefix / "drive_c" / "Skins"
        shutil.rmtree(self.skins, ignore_errors=True)
        self.skins.mkdir(parents=True)
        self.addCleanup(shutil.rmtree, self.skins, True)
        self.wine.reg_delete_key(SETTINGS)
        self.wine.reg_set(SETTINGS, "server", self.server.address)
        self.wine.reg_set(SETTINGS, "verze", "1600000000")
        self.wine.reg_set(SETTINGS, "data", mask(2, 13))
        self.program = None

    def tearDown(self):
        if self.program and self.program.running:
            self.program.kill()
            self.program.wait(10)
        self.wine.wait_for(lambda: not [w for w in self.wine.windows() if w.cls in ("TMainForm", "TMessageForm")],
                           20, what="the program's windows to go")

    # -- helpers ---------------------------------------------------------------------------
    def folder_skin(self, files: dict[str, bytes]) -> None:
        folder = self.skins / "Topaz"
        folder.mkdir()
        for name, data in files.items():
            (folder / name).write_bytes(data)

    def message(self):
        """The program's message dialog, or None (the program runs alone in the prefix)."""
        if self.program and not self.program.running:
            raise harness.HarnessError(f"the program ended with exit code {self.program.exit_code}")
        return next((w for w in self.wine.windows() if w.cls == "TMessageForm"), None)

    def start_past_message(self, shot: str, expected: str, deadline: float = 60) -> str:
        """Starts the program, waits for its one message about the skin, keeps a picture of it,
        closes it and returns its text; then waits for the main window."""
        self.program = self.wine.launch(harness.config().exe)
        dialog = self.wine.wait_for(self.message, deadline, what="the message about the skin")
        text = "\n".join(c.text for c in self.wine.children(dialog))
        print(f"screenshot: {self.wine.screenshot(shot + '-message', dialog)}", flush=True)
        self.assertIn(expected, text)
        self.assertIn(INTERNAL, text, "the message names the skin used instead")
        # Whatever the reason, going on in the internal skin is a warning, and names stand in
        # Czech quotes.
        self.assertEqual(dialog.title, "Varování")
        self.assertNotIn('"', text)
        self.wine.post_message(dialog, WM_CLOSE)
        self.window = self.wine.wait_window(TITLE, timeout=60, process=self.program, cls="TMainForm")
        time.sleep(1.0)
        self.assertIsNone(self.message(), "one message only")
        self.assertEqual(self.wine.send_message(self.window, SM_QUENCHCMD, AC_CTRLHANDLED << 16, 0), 1,
                         "the window is drawn by the internal skin")
        return text

    def open_menu(self):
        for attempt in range(3):
            self.wine.post_message(self.wine.tray_window(), self.wine.TRAY_CALLBACK, self.wine.TRAY_ICON_ID,
                                   WM_RBUTTONDOWN)
            try:
                return self.wine.wait_for(
                    lambda: [w for w in self.wine.windows() if w.cls == "#32768" and w.pid == self.window.pid],
                    timeout=4, what="the tray menu")[0]
            except harness.HarnessTimeout:
                if attempt == 2:
                    raise

    def assert_menu_readable(self, shot: str) -> None:
        """Every item of the tray menu shows text: in each item's band, right of the glyph strip,
        pixels that stand out from the band's ground."""
        menu = self.open_menu()
        self.wine.move(menu.rect[0] - 40, menu.rect[1] - 40)
        time.sleep(0.5)
        print(f"screenshot: {self.wine.screenshot(shot + '-menu', menu)}", flush=True)
        grab = self.wine.run(["import", "-window", "root", "-depth", "8", "ppm:-"], timeout=30, check=True).stdout
        width, _, rgb = read_ppm(grab)
        ox, oy = self.wine.desktop_origin()
        cx, cy = menu.client_origin
        w, h = menu.client_size
        top = (h - 62) // 2  # three 20-pixel items and a 2-pixel separator
        for name, y0 in (("Aktualizace", top), ("Nastavení...", top + 20), ("Konec", top + 42)):
            band = []
            for y in range(y0 + 3, y0 + 17):
                for x in range(32, w - 8):
                    i = ((cy + y + oy) * width + cx + x + ox) * 3
                    band.append(tuple(rgb[i:i + 3]))
            ground = max(set(band), key=band.count)
            ink = [p for p in band if sum(abs(a - b) for a, b in zip(p, ground)) > 150]
            self.assertGreater(len(ink), 20, f"the item {name!r} shows its text")
        self.wine.key("Escape")

    def boxes_show_their_state(self, shot: str) -> None:
        print(f"screenshot: {self.wine.screenshot(shot + '-main', self.window)}", flush=True)
        boxes = {c.text: c for c in self.wine.children(self.window) if c.cls.upper() == "BUTTON" and c.bounds[3] == 19}
        on, off = boxes["Doprava"], boxes["Administrativa"]
        self.assertEqual(self.wine.send_message(on, BM_GETCHECK), 1)
        self.assertEqual(self.wine.send_message(off, BM_GETCHECK), 0)
        full = self.wine.screenshot(shot + "-screen")
        glyph = [pixels(full, *self.wine.to_screen(b.screen_origin[0] + 2, b.screen_origin[1] + 3), 13, 13)
                 for b in (on, off)]
        self.assertNotEqual(glyph[0], glyph[1], "a ticked box looks unlike an unticked one")
        self.assertGreater(len(set(glyph[1])), 1, "an unticked box shows its square")

    # -- tests -----------------------------------------------------------------------------
    def test_archive_with_a_wrong_magic_gives_the_internal_skin_and_a_readable_menu(self):
        (self.skins / "Topaz.asz").write_bytes(pack(topaz_files(), magic=b"XXXX"))
        self.start_past_message("fallback-magic", "Loaded data is not packed QuenchSkin file")
        self.assert_menu_readable("fallback-magic")

    def test_folder_skin_with_empty_options_gives_the_internal_skin_and_a_readable_menu(self):
        files = topaz_files()
        files["Options.dat"] = b""
        self.folder_skin(files)
        self.start_past_message("fallback-empty", "žádné sekce")
        self.assert_menu_readable("fallback-empty")

    def test_folder_skin_without_its_master_bitmap_is_refused_and_the_boxes_show_their_state(self):
        files = topaz_files()
        del files["Master.bmp"]
        self.folder_skin(files)
        self.start_past_message("fallback-nomaster", "MASTER.BMP")
        self.boxes_show_their_state("fallback-nomaster")

    def test_hundred_references_to_one_huge_picture_are_refused_at_once(self):
        files = topaz_files()
        files["Options.dat"] += b"\r\n[HUGE]\r\n" + b"".join(b"K%d=!HUGE.BMP!1!0!1\r\n" % i for i in range(100))
        self.folder_skin(files)
        # A 24-bit picture of 9000 x 9000 (243 MB), left sparse on disk.
        side, row = 9000, 27000
        header = b"BM" + struct.pack("<IHHI", 54 + side * row, 0, 0, 54) + struct.pack(
            "<IiiHHIIiiII", 40, side, side, 1, 24, 0, side * row, 0, 0, 0, 0)
        with open(self.skins / "Topaz" / "HUGE.BMP", "wb") as f:
            f.write(header)
            f.truncate(54 + side * row)
        started = time.monotonic()
        self.start_past_message("fallback-huge", "HUGE.BMP", deadline=FIRST_WINDOW_DEADLINE)
        print(f"message after {time.monotonic() - started:.1f} s", flush=True)

    def test_archive_whose_entries_claim_huge_sizes_is_refused_before_inflating(self):
        files = topaz_files()
        files["Options.dat"] += b"\r\n[HUGE]\r\n" + b"".join(b"K%d=!BIG%d.BMP!1!0!1\r\n" % (i, i) for i in range(4))
        for i in range(4):
            files[f"BIG{i}.BMP"] = bytes(63 << 20)
        (self.skins / "Topaz.asz").write_bytes(pack(files))
        self.start_past_message("fallback-bomb", "„BIG0.BMP“ uvádí velikost 66\u00a0060\u00a0288 bajtů",
                                deadline=FIRST_WINDOW_DEADLINE)
        self.assert_menu_readable("fallback-bomb")


if __name__ == "__main__":
    harness.e2e_main()
