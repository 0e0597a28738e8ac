#!/usr/bin/env python3
"""End to end: the main window's OK button as the skin draws it, its hover fade and its glow.

    python3 tests/e2e/test_skin_button.py --exe build/win/evesk.exe \\
        --wininspect build/win/wininspect.exe --prefix build/win/wineprefix
"""

import subprocess
import sys
import time
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))

import harness  # noqa: E402
from program_case import TITLE, SETTINGS, mask, ProgramCase  # noqa: E402

WM_NCHITTEST, HTTRANSPARENT = 0x0084, -1
AROUND = 12  # pixels captured around the button: its glow reaches 8 beyond it


class Frame:
    """One capture of a desktop rectangle: milliseconds since the first and RGB bytes."""

    def __init__(self, line: str, width: int, height: int):
        ms, data = line.split(" ", 1)
        self.ms, self.width, self.height = int(ms), width, height
        self.rgb = bytes.fromhex(data.strip())

    def pixel(self, x: int, y: int) -> tuple[int, int, int]:
        i = 3 * (y * self.width + x)
        return self.rgb[i], self.rgb[i + 1], self.rgb[i + 2]

    def save(self, path: Path) -> Path:
        """Keeps the capture as a PNG for people to look at (enlarged three times)."""
        ppm = path.with_suffix(".ppm")
        ppm.write_bytes(b"P6 %d %d 255\n" % (self.width, self.height) + self.rgb)
        subprocess.run(["convert", str(ppm), "-scale", "300%", str(path)], check=True)
        ppm.unlink()
        return path


class SkinButtonTest(ProgramCase):
    def setUp(self):
        self.wine.reg_delete_key(SETTINGS)
        self.wine.reg_set(SETTINGS, "server", self.server.address)
        self.wine.reg_set(SETTINGS, "data", mask(2))
        self.wine.reg_set(SETTINGS, "verze", "1600000000")
        self.wine.move(1, 1)
        self.program = self.wine.launch(harness.config().exe)
        self.window = self.wine.wait_window(TITLE, timeout=60, process=self.program, cls="TMainForm")
        self.ok = self.wine.wait_for(lambda: next((c for c in self.wine.children(self.window) if c.text == "OK"),
                                                  None), 20, what="the OK button")
        time.sleep(1.0)  # the first paints and the skin settle

    def tearDown(self):
        if self.program.running:
            self.program.kill()
            self.program.wait(10)
        self.wine.wait_for(lambda: not [w for w in self.wine.windows() if w.title == TITLE], 20,
                           what="the program's windows to go")

    def capture(self, count: int = 1, interval: int = 0, move: tuple[int, int] | None = None) -> list[Frame]:
        x, y = self.ok.screen_origin
        w, h = self.ok.bounds[2] + 2 * AROUND, self.ok.bounds[3] + 2 * AROUND
        args = ["frames", str(x - AROUND), str(y - AROUND), str(w), str(h), str(count), str(interval)]
        if move:
            args += [str(move[0]), str(move[1])]
        return [Frame(line, w, h) for line in self.wine.inspect(*args, timeout=60)]

    def glows(self):
        return [w for w in self.wine.windows() if w.cls == "TacGlowForm"]

    def test_ok_is_drawn_from_the_skin_and_fades_to_its_hot_look_with_a_glow(self):
        art = self.wine.artifacts
        normal = self.capture()[0]
        normal.save(art / "okbutton-normal.png")
        # The skin's button is a light blue gradient with a dark blue frame; the standard one is grey.
        mid = normal.pixel(AROUND + self.ok.bounds[2] // 4, AROUND + 4)
        self.assertGreater(mid[2], mid[0] + 4, f"no skin colour in the button: {mid}")
        frame = normal.pixel(AROUND + self.ok.bounds[2] // 2, AROUND)
        self.assertLess(sum(frame), sum(mid) - 100, f"no frame on the button's top edge: {frame}")
        self.assertEqual(self.glows(), [])

        # Pointer onto the button: frames every 10 ms while the fade runs, then the settled look.
        frames = self.capture(60, 10, self.ok.centre)
        time.sleep(0.5)
        hot = self.capture()[0]
        hot.save(art / "okbutton-hot.png")
        distinct = []
        for f in frames:
            if not distinct or f.rgb != distinct[-1].rgb:
                distinct.append(f)
        for old in art.glob("okbutton-fade-*.png"):
            old.unlink()
        for i, f in enumerate(distinct[:8]):
            f.save(art / f"okbutton-fade-{i:02d}-{f.ms}ms.png")
        self.assertNotEqual(normal.rgb, hot.rgb)
        self.assertGreaterEqual(len(distinct), 4, "the look changed in fewer than three steps")
        self.assertEqual(frames[-1].rgb, hot.rgb, "the fade did not end on the hot look")
        # Some frame lies between the two looks: neither the old one nor the new one.
        self.assertTrue(any(f.rgb not in (normal.rgb, hot.rgb) for f in distinct))

        # The glow: a window of its own around the button, transparent to hit-testing.
        glows = self.glows()
        self.assertEqual(len(glows), 1)
        g = glows[0]
        x, y = self.ok.screen_origin
        self.assertEqual(g.rect, (x - 8, y - 8, x + self.ok.bounds[2] + 8, y + self.ok.bounds[3] + 8))
        self.assertEqual(g.pid, self.window.pid)
        self.assertEqual(self.wine.send_message(g, WM_NCHITTEST, 0, (y << 16) | x), HTTRANSPARENT)
        self.wine.screenshot("okbutton-glow-window", self.window)

        # Away again: the glow goes with the pointer.
        self.wine.move(1, 1)
        self.wine.wait_for(lambda: not self.glows(), 10, what="the glow to go")

    def test_click_through_the_glow_still_does_ok(self):
        self.wine.move(*self.ok.centre)
        self.wine.wait_for(lambda: self.glows(), 10, what="the glow")
        time.sleep(0.5)
        hot = self.capture()[0]
        # The press lands where the glow window lies over the button, and the button gets it: the
        # pressed look (after its fade); the glow steps aside while the button is held.
        self.wine._xdotool("mousedown", "1")
        time.sleep(0.5)
        pressed = self.capture()[0]
        pressed.save(self.wine.artifacts / "okbutton-pressed.png")
        self.assertNotEqual(pressed.rgb, hot.rgb)
        self.assertEqual(self.glows(), [])
        # The release clicks.
        self.wine._xdotool("mouseup", "1")
        self.wine.wait_for(lambda: not [w for w in self.wine.windows() if w.title == TITLE], 20,
                           what="the window to hide after OK")
        self.wine.wait_for(lambda: self.server.requests, 20, what="the update request")
        # The glow does not stay behind on the desktop when its window hides.
        self.wine.wait_for(lambda: not self.glows(), 5, what="the glow to go with the window")


if __name__ == "__main__":
    harness.e2e_main()
