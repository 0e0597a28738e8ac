#!/usr/bin/env python3
"""Runs the notifier against the bundled demo news service inside a Wine virtual desktop.

    tools/run-notifier.py [--build DIR]

The demo has a Wine prefix of its own (build/win/demo-prefix), so what the tests leave in
theirs never reaches it, and it sets what it needs before every run: the stored time stamp a
week back (older than the demo's news) and the service's address.

With a DISPLAY the desktop opens there and the program runs until it ends (tray menu
"Konec"). Without one it runs on a private Xvfb and plays the reader's steps: no categories
stored, so the program says so; three categories ticked (each set, never toggled); OK; the
balloon clicked. It ends with a summary of what happened (the request and its categories, the
balloon, the page opened, the stamp stored) and the paths of its screenshots under
build/win/run-artifacts. The exit code is 0 only when the whole cycle ran.
"""
import argparse
import os
import sys
import time
from pathlib import Path
from urllib.parse import parse_qsl

root = Path(__file__).resolve().parent.parent
sys.path.insert(0, str(root / "tests" / "e2e"))

import harness  # noqa: E402

SETTINGS = r"\software\dorlen\evesk"
TITLE = "Dorlen e-VESK vizedu"
CATEGORIES = ("Doprava", "Stavebnictví", "Zdravotnictví, sociální služby")
NO_CHOICE = "_".join(["0"] * 24)
BM_GETCHECK = 0x00F0


class Demo:
    """One run: the service (whose requests it records), the session and what was seen."""

    def __init__(self, news: "harness.DemoService", wine: "harness.WineSession", build: Path):
        self.news, self.wine, self.build = news, wine, build
        self.requests: list[str] = []
        self.shots: list[Path] = []
        self.summary: list[str] = []
        respond = news.service.respond

        def recording(target: str):
            self.requests.append(target)
            return respond(target)
        news.service.respond = recording

    def prepare(self) -> None:
        wine = self.wine
        wine.reg_set(SETTINGS, "server", self.news.address)
        # A week back: the demo's documents are newer, so the check has news to tell.
        wine.reg_set(SETTINGS, "verze", str(int(time.time()) - 7 * 86400))
        wine.reg_set(SETTINGS, "data", NO_CHOICE)
        wine.clear_browser_log()

    def checks(self) -> list[dict[str, str]]:
        return [dict(parse_qsl(t.partition("?")[2])) for t in self.requests if "check=" in t]

    def play(self) -> bool:
        wine = self.wine
        program = wine.launch(self.build / "evesk.exe")
        try:
            box = wine.wait_window(TITLE, timeout=60, process=program, cls="TMessageForm")
            self.shots.append(wine.screenshot("1-no-choice"))
            wine.key("Return")
            wine.wait_window_gone(box)
        except harness.HarnessError:
            self.summary.append("(no message about a missing choice)")
        window = wine.wait_window(TITLE, timeout=60, process=program, cls="TMainForm")
        boxes = {c.text: c for c in wine.children(window) if c.cls.upper() == "BUTTON"}
        for caption in CATEGORIES:
            if wine.send_message(boxes[caption], BM_GETCHECK) != 1:
                wine.click_child(boxes[caption])
            wine.wait_for(lambda: wine.send_message(boxes[caption], BM_GETCHECK) == 1, 10,
                          what=f"the box {caption!r} ticked")
        time.sleep(0.5)
        self.shots.append(wine.screenshot("2-main-window"))
        wine.click_child(boxes["OK"])
        try:
            check = wine.wait_for(self.checks, 30, what="the check request")[-1]
            self.summary.append(f"request sent: check={check.get('check')} data={check.get('data')} "
                                f"({self.category_names(check.get('data', ''))})")
            wine.wait_balloon()
            self.shots.append(wine.screenshot("3-news-balloon"))
            self.summary.append("balloon shown")
            time.sleep(1.0)
            self.shots.append(wine.screenshot("4-news-blinking"))
            wine.click_balloon()  # the reader clicks the balloon
            opened = wine.wait_for(wine.browser_log, 20, what="the news page")[-1]
            self.summary.append(f"news page opened: {opened}")
            reply = self.news.service.check_reply(int(check["check"]), self.news.module.parse_mask(check["data"]))
            newest = reply.rpartition("#")[2]
            wine.wait_for(lambda: wine.reg_get(SETTINGS, "verze") == newest, 10,
                          what=f"the service's stamp {newest} stored",
                          on_timeout=lambda: f"verze is {wine.reg_get(SETTINGS, 'verze')}")
            self.summary.append(f"stamp stored: {newest} (the newest news; the check asked from {check['check']})")
            return True
        except harness.HarnessError as error:
            self.summary.append(f"NOT DONE: {error}")
            return False
        finally:
            program.kill()

    def category_names(self, mask: str) -> str:
        names = self.news.service.categories
        chosen = [names[i // 2] for i in range(0, len(mask), 2) if mask[i] == "1"]
        return ", ".join(chosen) or "none"


def main() -> int:
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--build", type=Path, default=root / "build" / "win", help="the Windows build tree")
    build = parser.parse_args().build.resolve()
    display = os.environ.get("DISPLAY")
    with harness.DemoService() as news, \
            harness.WineSession(build / "demo-prefix", build / "wininspect.exe", build / "run-artifacts",
                                use_display=display, fresh=True,
                                deadline=None if display else 300) as wine:
        print(f"demo news service: http://{news.address}/vizedu_vesk/index.php", flush=True)
        demo = Demo(news, wine, build)
        demo.prepare()
        if display:
            program = wine.launch(build / "evesk.exe")
            print("the notifier runs on your display; end it from its tray menu (Konec)", flush=True)
            while program.running:
                time.sleep(1)
            return 0
        done = demo.play()
        print("summary:", flush=True)
        for line in demo.summary:
            print(f"  {line}", flush=True)
        for shot in demo.shots:
            print(f"screenshot: {shot}", flush=True)
        print("demo: the whole cycle ran" if done else "demo: FAILED", flush=True)
        return 0 if done else 1


if __name__ == "__main__":
    sys.exit(main())
