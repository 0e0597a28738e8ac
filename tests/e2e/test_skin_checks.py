#!/usr/bin/env python3
"""End to end: the main window's check boxes, panel and labels as the skin "Topaz" draws them,
and how the boxes answer the pointer and the keyboard.

    python3 tests/e2e/test_skin_checks.py --exe build/win/evesk.exe \\
        --wininspect build/win/wininspect.exe --prefix build/win/wineprefix
"""

import subprocess
import sys
import time
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))

import harness  # noqa: E402
from program_case import TITLE, SETTINGS, mask, ProgramCase  # noqa: E402

BM_GETCHECK = 0x00F0
# The face of the panel in "Topaz" (RGB).
PANEL_FACE = (0xEE, 0xF2, 0xF7)


def pixels(shot: Path, x: int, y: int, w: int, h: int) -> list[tuple[int, int, int]]:
    raw = subprocess.run(["convert", str(shot), "-crop", f"{w}x{h}+{x}+{y}", "+repage", "rgb:-"],
                         check=True, capture_output=True).stdout
    return [(raw[i], raw[i + 1], raw[i + 2]) for i in range(0, len(raw) - 2, 3)]


class SkinChecksTest(ProgramCase):
    def setUp(self):
        self.wine.reg_delete_key(SETTINGS)
        self.wine.reg_set(SETTINGS, "server", self.server.address)
        self.wine.reg_set(SETTINGS, "verze", "1600000000")
        self.wine.reg_set(SETTINGS, "data", mask(2, 13))
        self.program = self.wine.launch(harness.config().exe)
        self.window = self.wine.wait_window(TITLE, timeout=60, process=self.program, cls="TMainForm")
        self.wine.move(1, 1)
        time.sleep(1.0)

    def tearDown(self):
        if self.program.running:
            self.program.kill()
            self.program.wait(10)
        self.wine.wait_for(lambda: not self.wine.find_windows(TITLE, cls="TMainForm"), 20, what="window gone")

    def boxes(self):
        """The 25 check boxes by caption (the only buttons 19 pixels high)."""
        return {c.text: c for c in self.wine.children(self.window) if c.cls.upper() == "BUTTON" and c.bounds[3] == 19}

    def checked(self, box) -> bool:
        return self.wine.send_message(box, BM_GETCHECK) == 1

    def screen_of(self, child, dx=0, dy=0):
        return self.wine.to_screen(child.screen_origin[0] + dx, child.screen_origin[1] + dy)

    def test_window_is_drawn_from_the_skin(self):
        shot = self.wine.screenshot("skin-checks-main", self.window)
        print(f"screenshot: {shot}", flush=True)
        boxes = self.boxes()
        self.assertEqual(len(boxes), 25)
        full = self.wine.screenshot("skin-checks-screen")
        on, off = boxes["Doprava"], boxes["Administrativa"]
        self.assertTrue(self.checked(on))
        self.assertFalse(self.checked(off))
        # The glyph: 13 × 13 at the left margin, vertically centred; checked and unchecked differ.
        glyph_on = pixels(full, *self.screen_of(on, 2, 3), 13, 13)
        glyph_off = pixels(full, *self.screen_of(off, 2, 3), 13, 13)
        self.assertTrue(glyph_on != glyph_off, "checked and unchecked glyphs differ")
        # The panel: a frame line around its face, unlike the window around it.
        px, py = self.wine.to_screen(self.window.client_origin[0] + 8, self.window.client_origin[1] + 32)
        outside, frame, face = pixels(full, px - 2, py + 100, 1, 1)[0], pixels(full, px, py + 100, 1, 1)[0], \
            pixels(full, px + 3, py + 100, 1, 1)[0]
        self.assertEqual(face, PANEL_FACE)
        self.assertNotIn(frame, (outside, face))
        # The panel's face shows through the boxes' transparent background.
        x, y = self.screen_of(off, off.bounds[2] - 2, 1)
        self.assertEqual(pixels(full, x, y, 1, 1)[0], PANEL_FACE)

    def test_press_drag_out_and_release_keeps_the_state_a_click_and_space_toggle(self):
        boxes = self.boxes()
        box = boxes["Administrativa"]
        self.assertFalse(self.checked(box))
        normal = self.wine.screenshot("checkbox-normal")
        self.wine.move(*box.centre)
        time.sleep(0.5)
        hot = self.wine.screenshot("checkbox-hot")
        self.assertTrue(pixels(hot, *self.screen_of(box), *box.bounds[2:]) !=
                        pixels(normal, *self.screen_of(box), *box.bounds[2:]), "the hot look differs")
        self.wine._xdotool("mousedown", "1")
        time.sleep(0.4)
        self.wine.screenshot("checkbox-pressed", self.window)
        # Out over the panel's empty middle, then let go there.
        self.wine.move(box.centre[0] + 60, box.centre[1])
        time.sleep(0.4)
        self.wine._xdotool("mouseup", "1")
        time.sleep(0.4)
        self.assertFalse(self.checked(box))
        self.wine.click_child(box)
        self.wine.wait_for(lambda: self.checked(box), 10, what="a click to check the box")
        self.wine.move(1, 1)
        time.sleep(0.4)
        self.wine.screenshot("checkbox-focused-checked", self.window)
        self.wine.key("space")
        self.wine.wait_for(lambda: not self.checked(box), 10, what="space to uncheck the box")
        # The other boxes stay as they were.
        states = {t: self.checked(b) for t, b in boxes.items()}
        self.assertEqual(sorted(t for t, v in states.items() if v),
                         sorted(["Doprava", "Stavebnictví", "Kontrolovat aktualizace  automaticky po startu počítače"]))


if __name__ == "__main__":
    harness.e2e_main()
