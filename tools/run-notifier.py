#!/usr/bin/env python3
"""Runs the notifier against the bundled demo news service inside a Wine virtual desktop.

With a DISPLAY the desktop opens there and the program runs until it ends (tray menu
"Konec"). Without one it runs on a private Xvfb for a while, saves screenshots under
build/win/run-artifacts and prints their paths.
"""
import os
import sys
import time
from pathlib import Path

root = Path(__file__).resolve().parent.parent
sys.path.insert(0, str(root / "tests" / "e2e"))
sys.path.insert(0, str(root / "tools" / "demo-news"))

import harness  # noqa: E402
import server as demo  # noqa: E402

SETTINGS = r"\software\dorlen\evesk"
TITLE = "Dorlen e-VESK vizedu"


def main() -> int:
    build = root / "build" / "win"
    display = os.environ.get("DISPLAY")
    now = int(time.time())
    categories, documents = demo.load_documents(demo.DEFAULT_DATA, now)
    service, _ = demo.start_in_thread(demo.NewsService(categories, documents, now))
    print(f"demo news service: http://127.0.0.1:{service.port}/vizedu_vesk/index.php", flush=True)
    with harness.WineSession(build / "wineprefix", build / "wininspect.exe", build / "run-artifacts",
                             use_display=display, fresh=True) as wine:
        wine.reg_set(SETTINGS, "server", f"127.0.0.1:{service.port}")
        if not display and wine.reg_get(SETTINGS, "data") is None:
            # A first look on Xvfb shows a reader's usual choice rather than the empty-choice note.
            wine.reg_set(SETTINGS, "data", "1_0_1_" + "0_" * 20 + "1")
        program = wine.launch(build / "evesk.exe")
        if display:
            print("the notifier runs on your display; end it from its tray menu (Konec)", flush=True)
            while program.running:
                time.sleep(1)
            return 0
        shots = []
        try:
            wine.wait_window(TITLE, timeout=60, process=program)
        except harness.HarnessError as e:
            print(f"window not seen: {e}", flush=True)
        for i in range(3):
            time.sleep(2)
            shots.append(wine.screenshot(f"notifier-{i + 1}"))
        for shot in shots:
            print(f"screenshot: {shot}", flush=True)
        program.kill()
    service.shutdown()
    service.server_close()
    return 0


if __name__ == "__main__":
    sys.exit(main())
