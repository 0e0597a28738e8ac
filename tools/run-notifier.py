#!/usr/bin/env python3
"""Runs the notifier against the bundled demo news service inside a Wine virtual desktop.

With a DISPLAY the desktop opens there and the program runs until it ends (tray menu
"Konec"). Without one it runs on a private Xvfb: the reader's steps are played (tick a
category, press OK, click the balloon), screenshots go to build/win/run-artifacts and their
paths are printed.
"""
import os
import sys
import time
from pathlib import Path

root = Path(__file__).resolve().parent.parent
sys.path.insert(0, str(root / "tests" / "e2e"))

import harness  # noqa: E402

SETTINGS = r"\software\dorlen\evesk"
TITLE = "Dorlen e-VESK vizedu"


def main() -> int:
    build = root / "build" / "win"
    display = os.environ.get("DISPLAY")
    with harness.DemoService() as news, \
            harness.WineSession(build / "wineprefix", build / "wininspect.exe", build / "run-artifacts",
                                use_display=display, fresh=True) as wine:
        print(f"demo news service: http://{news.address}/vizedu_vesk/index.php", flush=True)
        wine.reg_set(SETTINGS, "server", news.address)
        if wine.reg_get(SETTINGS, "verze") is None:
            # A first run asks from a week ago, so the demo has news to tell.
            wine.reg_set(SETTINGS, "verze", str(int(time.time()) - 7 * 86400))
        if display:
            program = wine.launch(build / "evesk.exe")
            print("the notifier runs on your display; end it from its tray menu (Konec)", flush=True)
            while program.running:
                time.sleep(1)
            return 0
        return play_on_xvfb(wine, build)


def play_on_xvfb(wine: "harness.WineSession", build: Path) -> int:
    if wine.reg_get(SETTINGS, "data") is None:
        wine.reg_set(SETTINGS, "data", "_".join(["0"] * 24))
    wine.clear_browser_log()
    program = wine.launch(build / "evesk.exe")
    shots = []
    # With no choice stored the program says so first.
    try:
        box = wine.wait_window(TITLE, timeout=30, process=program, cls="TMessageForm")
        shots.append(wine.screenshot("1-no-choice"))
        wine.key("Return")
        wine.wait_window_gone(box)
    except harness.HarnessError:
        pass
    window = wine.wait_window(TITLE, timeout=60, process=program, cls="TMainForm")
    boxes = {c.text: c for c in wine.children(window) if c.cls.upper() == "BUTTON"}
    for caption in ("Doprava", "Stavebnictví", "Zdravotnictví, sociální služby"):
        if caption in boxes:
            wine.click_child(boxes[caption])
    time.sleep(0.5)
    shots.append(wine.screenshot("2-main-window"))
    wine.click_child(boxes["OK"])
    try:
        wine.wait_balloon()
        shots.append(wine.screenshot("3-news-balloon"))
        time.sleep(1.0)
        shots.append(wine.screenshot("4-news-blinking"))
        wine.click_balloon()  # the reader clicks the balloon
        opened = wine.wait_for(wine.browser_log, 20, what="the news page")
        print(f"news page opened: {opened[-1]}", flush=True)
        print(f"stored stamp: {wine.reg_get(SETTINGS, 'verze')}", flush=True)
    except harness.HarnessError as error:
        print(f"no news shown: {error}", flush=True)
    for shot in shots:
        print(f"screenshot: {shot}", flush=True)
    program.kill()
    return 0


if __name__ == "__main__":
    sys.exit(main())
