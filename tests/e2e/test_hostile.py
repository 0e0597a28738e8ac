#!/usr/bin/env python3
"""End to end: a broken or hostile news server, and the installer's switches against a registry
or a start they do not expect. The logon check ends on its own, makes a bounded number of
requests and keeps its memory near that of a plain check; the switches never crash.

    python3 tests/e2e/test_hostile.py --exe build/win/evesk.exe \\
        --wininspect build/win/wininspect.exe --prefix build/win/wineprefix
"""

import shutil
import socket
import subprocess
import sys
import threading
import time
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))

import harness  # noqa: E402
from fixture_server import Reply  # noqa: E402
from program_case import MASK, RUN, SETTINGS, STAMP, TITLE, ProgramCase  # noqa: E402
from test_skin_fallback import pack, topaz_files  # noqa: E402

RUN_VALUE = "e-vesk vizedu"
# The getter's limit of redirects: the first request and this many more.
MAX_REDIRECTS = 5
# The getter's limit of one whole request, in seconds.
DEADLINE = 120


class HostileServerTest(ProgramCase):
    def setUp(self):
        self.wine.reg_delete_key(SETTINGS)
        self.wine.reg_set(SETTINGS, "server", self.server.address)
        self.wine.reg_set(SETTINGS, "data", MASK)
        self.wine.reg_set(SETTINGS, "verze", STAMP)
        self.server.clear_requests()
        self.program = None

    def tearDown(self):
        self.server.default(Reply(body="ok"))
        if self.program and self.program.running:
            self.program.kill()
            self.program.wait(10)
        self.wine.wait_for(lambda: not self.wine.find_windows(TITLE, cls="TMainForm"), 30,
                           what="the program's window to go")

    def logon_check(self):
        """Starts the program as at logon; returns its Linux process id once its check went out."""
        self.program = self.wine.launch(harness.config().exe, "-auto")
        self.server.wait_requests(1, timeout=60)
        return harness.find_linux_process(harness.config().exe.resolve(), self.wine.prefix)

    def peak_memory_kb(self, pid: int, until) -> int:
        """The process's peak resident memory, read until `until()` holds or it has ended."""
        peak = 0
        deadline = time.time() + 60
        while time.time() < deadline:
            try:
                for line in Path(f"/proc/{pid}/status").read_text().splitlines():
                    if line.startswith("VmHWM:"):
                        peak = max(peak, int(line.split()[1]))
            except OSError:
                break  # ended
            if until():
                break
            time.sleep(0.02)
        return peak

    def test_a_redirect_loop_ends_the_check_after_the_limit(self):
        self.server.default(Reply(status=302, headers=[("Location", "/loop")], body="moved"))
        self.server.route("/loop", Reply(status=302, headers=[("Location", "/loop")], body="moved"))
        started = time.time()
        self.logon_check()
        self.assertEqual(self.program.wait(60), 0)
        took = time.time() - started
        time.sleep(1)
        self.assertEqual(len(self.server.requests), 1 + MAX_REDIRECTS)
        self.assertEqual(self.wine.reg_get(SETTINGS, "verze"), STAMP)
        print(f"redirect loop: {len(self.server.requests)} requests, ended after {took:.1f} s", flush=True)

    def test_endless_headers_or_body_end_the_check_with_memory_near_a_plain_one(self):
        # A plain check: the program stays in the tray with nothing to show.
        pid = self.logon_check()
        time.sleep(2)
        plain = self.peak_memory_kb(pid, lambda: True)
        self.program.kill()
        self.program.wait(10)
        for flood in ("lines", "line", "body"):
            with self.subTest(flood=flood):
                self.server.clear_requests()
                self.server.default(Reply(flood=flood))
                started = time.time()
                pid = self.logon_check()
                peak = self.peak_memory_kb(pid, lambda: not self.program.running)
                self.assertEqual(self.program.wait(150), 0)
                took = time.time() - started
                print(f"endless {flood}: peak {peak} KB against {plain} KB plain, ended after {took:.1f} s",
                      flush=True)
                self.assertLess(peak - plain, 16 * 1024)

    def test_a_stalled_handshake_ends_at_the_deadline_and_the_logon_wait_tries_again(self):
        # Accepts and never answers, not even the secure handshake.
        listener = socket.socket()
        listener.bind(("127.0.0.1", 0))
        listener.listen(8)
        self.addCleanup(listener.close)
        accepted, held = [], []

        def accept():
            try:
                while True:
                    conn, _ = listener.accept()
                    held.append(conn)
                    accepted.append(time.time())
            except OSError:
                pass

        threading.Thread(target=accept, daemon=True).start()
        self.addCleanup(lambda: [c.close() for c in held])
        self.wine.reg_set(SETTINGS, "server", f"https://127.0.0.1:{listener.getsockname()[1]}")
        self.program = self.wine.launch(harness.config().exe, "-auto")
        self.wine.wait_for(lambda: len(accepted) >= 2, DEADLINE + 60, what="a second try")
        waited = accepted[1] - accepted[0]
        print(f"stalled handshake: second try {waited:.1f} s after the first", flush=True)
        # The deadline, then the logon wait's first pause of 15 s.
        self.assertGreater(waited, DEADLINE + 10)
        self.assertLess(waited, DEADLINE + 30)
        self.assertTrue(self.program.running, "the logon wait goes on")

    def test_a_damaged_skin_lets_the_logon_check_go_out_first(self):
        skins = harness.config().prefix / "drive_c" / "Skins"
        shutil.rmtree(skins, ignore_errors=True)
        skins.mkdir(parents=True)
        self.addCleanup(shutil.rmtree, skins, True)
        (skins / "Topaz.asz").write_bytes(pack(topaz_files(), magic=b"XXXX"))
        self.server.default(Reply(body="ok", delay=1.0))
        self.program = self.wine.launch(harness.config().exe, "-auto")
        # Nobody answers the message: the request goes out all the same.
        self.server.wait_requests(1, timeout=60)
        dialog = self.wine.wait_for(lambda: [w for w in self.wine.windows() if w.cls == "TMessageForm"], 60,
                                    what="the message about the skin, after the reply")[0]
        print(f"screenshot: {self.wine.screenshot('hostile-skin-message-after-check', dialog)}", flush=True)
        text = "\n".join(c.text for c in self.wine.children(dialog))
        self.assertIn("vestavěný vzhled", text)


class SwitchesTest(ProgramCase):
    def run_switch(self, switch: str) -> int:
        return self.wine.wine(str(harness.config().exe), switch, timeout=60).returncode

    def test_a_value_of_another_type_neither_crashes_the_uninstall_nor_the_autostart(self):
        for kind, data in (("REG_DWORD", 7), ("REG_BINARY", "0102"), ("REG_MULTI_SZ", "a\\0b")):
            with self.subTest(kind=kind):
                self.wine.reg_set(RUN, RUN_VALUE, data, type=kind)
                self.assertEqual(self.run_switch("-odinstalace"), 0)
                self.assertEqual(self.wine.reg_query(RUN, RUN_VALUE).type, kind, "not ours: it stays")
                self.assertEqual(self.run_switch("-autostart"), 0)
                value = self.wine.reg_query(RUN, RUN_VALUE)
                self.assertEqual(value.type, "REG_SZ")
                self.assertIn("-auto", value.data)
        self.wine.reg_delete(RUN, RUN_VALUE)

    def test_konec_ends_a_copy_that_is_just_starting(self):
        self.wine.reg_set(SETTINGS, "server", self.server.address)
        self.wine.reg_set(SETTINGS, "data", MASK)
        self.wine.reg_set(SETTINGS, "verze", STAMP)
        for run in range(3):
            with self.subTest(run=run):
                program = self.wine.launch(harness.config().exe, "-auto")
                konec = subprocess.run(["wine", str(harness.config().exe), "-konec"], env=self.wine.env,
                                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=60)
                self.assertEqual(konec.returncode, 0)
                try:
                    program.wait(20)
                except harness.HarnessTimeout:
                    program.kill()
                    self.fail("the starting copy kept running after -konec")


if __name__ == "__main__":
    harness.e2e_main()
