"""End-to-end test harness: runs Windows programs of the build under Wine on a virtual desktop.

    from harness import WineSession, config

    cfg = config()                                 # --exe/--prefix/... given to e2e_main()
    with WineSession(cfg.prefix, cfg.wininspect, cfg.artifacts) as wine:
        wine.reg_set(r"\\software\\dorlen\\evesk", "data", "1_0_...")
        program = wine.launch(cfg.exe)
        window = wine.wait_window("Dorlen e-VESK vizedu", timeout=60)
        wine.click_client(window, 20, 30)
        print(wine.screenshot("after-click"))
        code = program.wait(timeout=10)

A session starts Xvfb on a free display (or uses $DISPLAY when asked), makes sure the prefix
exists, starts the shared virtual desktop and cleans everything up again: the processes it
launched, every Wine process of the prefix (wineserver -k) and Xvfb. Cleanup runs on leaving
the `with` block, at interpreter exit, on SIGTERM/SIGHUP/SIGINT, and children are told by the
kernel to die with the harness if it is killed outright. Coordinates of click() are Windows
desktop coordinates; the harness maps them onto the X screen.
"""

from __future__ import annotations

import argparse
import atexit
import ctypes
import os
import re
import select
import shutil
import signal
import subprocess
import sys
import tempfile
import threading
import time
import unittest
import weakref
from dataclasses import dataclass
from pathlib import Path, PureWindowsPath
from typing import Callable, Iterable, Sequence

SOURCE_DIR = Path(__file__).resolve().parents[2]
TOOLS_DIR = SOURCE_DIR / "tools"

DESKTOP_NAME = "Default"
DESKTOP_SIZE = (1000, 700)
SCREEN = "1280x800x24"
# `wine reg query` writes through the OEM code page of the prefix's locale (852 for Czech).
REG_QUERY_CODEPAGE = "cp852"

WM_CLOSE = 0x0010
WM_USER = 0x0400


class HarnessError(RuntimeError):
    """Something in the test environment went wrong (not a finding about the program)."""


class HarnessTimeout(HarnessError, TimeoutError):
    """A wait ran out of time."""


# ---------------------------------------------------------------------------------------------
# Window descriptions as printed by wininspect

def pin_cpus(spec: str) -> str:
    """Keeps this process and everything it starts (Xvfb, the Wine server, the programs) on the
    first N of the CPUs it may use ("all": no change) and says which. Timings under Wine are
    mostly round trips to the Wine server; on a virtual machine with idle CPUs, a round trip that
    wakes another CPU takes many times longer than one that stays, and which way each goes varies
    from run to run, so on all CPUs the same program timed twice differs by a third."""
    allowed = sorted(os.sched_getaffinity(0))
    if spec == "all":
        return f"all {len(allowed)} CPUs"
    chosen = allowed[:max(1, int(spec))]
    os.sched_setaffinity(0, chosen)
    return f"CPU {', '.join(map(str, chosen))} of {len(allowed)}"


def _unescape(text: str) -> str:
    return re.sub(r"\\(.)", lambda m: {"t": "\t", "r": "\r", "n": "\n"}.get(m.group(1), m.group(1)), text)


@dataclass(frozen=True)
class Window:
    hwnd: int
    pid: int
    tid: int
    visible: bool
    cls: str
    title: str
    title_cp1250: bytes
    rect: tuple[int, int, int, int]          # left, top, right, bottom on the desktop
    client_size: tuple[int, int]
    client_origin: tuple[int, int]           # client (0, 0) on the desktop

    @property
    def handle(self) -> str:
        return f"0x{self.hwnd:x}"

    @classmethod
    def parse(cls, line: str) -> "Window":
        f = line.split("\t")
        if len(f) != 16:
            raise HarnessError(f"wininspect list: unexpected line {line!r}")
        n = [int(x) for x in f[8:16]]
        return cls(hwnd=int(f[0], 16), pid=int(f[1]), tid=int(f[2]), visible=f[3] == "1",
                   cls=_unescape(f[4]), title=_unescape(f[6]), title_cp1250=bytes.fromhex(f[7]),
                   rect=(n[0], n[1], n[2], n[3]), client_size=(n[4], n[5]), client_origin=(n[6], n[7]))


@dataclass(frozen=True)
class Child:
    hwnd: int
    parent: int
    id: int
    visible: bool
    enabled: bool
    cls: str
    text: str
    text_cp1250: bytes
    bounds: tuple[int, int, int, int]        # left, top, width, height in the parent's client area
    screen_origin: tuple[int, int]           # top-left corner on the desktop

    @property
    def handle(self) -> str:
        return f"0x{self.hwnd:x}"

    @property
    def centre(self) -> tuple[int, int]:
        return (self.screen_origin[0] + self.bounds[2] // 2, self.screen_origin[1] + self.bounds[3] // 2)

    @classmethod
    def parse(cls, line: str) -> "Child":
        f = line.split("\t")
        if len(f) != 15:
            raise HarnessError(f"wininspect children: unexpected line {line!r}")
        n = [int(x) for x in f[9:15]]
        return cls(hwnd=int(f[0], 16), parent=int(f[1], 16), id=int(f[2]), visible=f[3] == "1",
                   enabled=f[4] == "1", cls=_unescape(f[5]), text=_unescape(f[7]),
                   text_cp1250=bytes.fromhex(f[8]), bounds=(n[0], n[1], n[2], n[3]),
                   screen_origin=(n[4], n[5]))


# ---------------------------------------------------------------------------------------------
# Registry values

@dataclass(frozen=True)
class RegValue:
    type: str      # "REG_SZ", "REG_DWORD", ...
    data: str      # text of REG_SZ/REG_EXPAND_SZ, the printed form otherwise


_QUERY_LINE = re.compile(r"^    (.*?)    (REG_[A-Z_]+)    (.*)$")


def parse_reg_query(output: str) -> dict[str, RegValue]:
    """Values of the first key in `wine reg query KEY` output (names lower-cased)."""
    values: dict[str, RegValue] = {}
    seen_key = False
    for line in output.replace("\r\n", "\n").split("\n"):
        if line.startswith("HKEY_"):
            if seen_key:
                break  # a subkey listing of /s follows; not ours
            seen_key = True
            continue
        m = _QUERY_LINE.match(line)
        if m:
            values[m.group(1).lower()] = RegValue(m.group(2), m.group(3))
    return values


def _unescape_reg_string(text: str) -> str:
    out, i = [], 0
    while i < len(text):
        c = text[i]
        if c == "\\" and i + 1 < len(text):
            nxt = text[i + 1]
            out.append({"n": "\n", "r": "\r", "0": "\0"}.get(nxt, nxt))
            i += 2
        else:
            out.append(c)
            i += 1
    return "".join(out)


def parse_reg_export(text: str, key: str) -> dict[str, RegValue]:
    """String values (exact) and other values (raw) of KEY in a .reg export text."""
    values: dict[str, RegValue] = {}
    want = "[" + key.lower() + "]"
    inside = False
    lines = text.replace("\r\n", "\n").split("\n")
    i = 0
    while i < len(lines):
        line = lines[i]
        i += 1
        if line.startswith("["):
            inside = line.strip().lower() == want
            continue
        if not inside or not line.startswith(("\"", "@")):
            continue
        while line.endswith("\\") and i < len(lines):  # hex data continues on the next line
            line = line[:-1] + lines[i].strip()
            i += 1
        if line.startswith("@="):
            name, rest = "", line[2:]
        else:
            m = re.match(r'^"((?:[^"\\]|\\.)*)"=(.*)$', line)
            if not m:
                continue
            name, rest = _unescape_reg_string(m.group(1)), m.group(2)
        if rest.startswith('"') and rest.endswith('"') and len(rest) >= 2:
            values[name.lower()] = RegValue("REG_SZ", _unescape_reg_string(rest[1:-1]))
        elif rest.startswith("dword:"):
            values[name.lower()] = RegValue("REG_DWORD", "0x%x" % int(rest[6:], 16))
        elif rest.startswith("hex(2):"):
            raw = bytes(int(b, 16) for b in rest[7:].split(",") if b)
            values[name.lower()] = RegValue("REG_EXPAND_SZ", raw.decode("utf-16-le").rstrip("\0"))
        else:
            values[name.lower()] = RegValue("REG_BINARY" if rest.startswith("hex:") else "REG_OTHER", rest)
    return values


def reg_key_path(key: str) -> str:
    """'\\software\\x' or 'software\\x' -> 'HKEY_CURRENT_USER\\software\\x'; full paths stay."""
    key = key.replace("/", "\\")
    head = key.split("\\", 1)[0].upper()
    if head in ("HKCU", "HKEY_CURRENT_USER"):
        return "HKEY_CURRENT_USER\\" + key.split("\\", 1)[1] if "\\" in key else "HKEY_CURRENT_USER"
    if head.startswith("HKEY_") or head in ("HKLM", "HKCR", "HKU"):
        return key
    return "HKEY_CURRENT_USER\\" + key.lstrip("\\")


# ---------------------------------------------------------------------------------------------
# Process hygiene

_libc = None


def _die_with_harness():
    """Runs in the child before exec: the kernel kills it when the harness dies."""
    global _libc
    try:
        if _libc is None:
            _libc = ctypes.CDLL(None, use_errno=True)
        _libc.prctl(1, signal.SIGKILL)  # PR_SET_PDEATHSIG
    except Exception:  # noqa: BLE001 - best effort only
        pass


def _popen(args: Sequence[str], **kwargs) -> subprocess.Popen:
    # The parent-death signal belongs to the creating thread, so only the main thread sets it.
    if threading.current_thread() is threading.main_thread():
        kwargs.setdefault("preexec_fn", _die_with_harness)
    kwargs.setdefault("start_new_session", True)
    kwargs.setdefault("stdin", subprocess.DEVNULL)
    return subprocess.Popen(list(args), **kwargs)


def _kill_group(proc: subprocess.Popen, grace: float = 2.0) -> None:
    if proc.poll() is not None:
        return
    try:
        os.killpg(proc.pid, signal.SIGTERM)
    except (ProcessLookupError, PermissionError):
        pass
    try:
        proc.wait(grace)
        return
    except subprocess.TimeoutExpired:
        pass
    try:
        os.killpg(proc.pid, signal.SIGKILL)
    except (ProcessLookupError, PermissionError):
        pass
    try:
        proc.wait(grace)
    except subprocess.TimeoutExpired:
        pass


_sessions: "weakref.WeakSet[WineSession]" = weakref.WeakSet()
_handlers_installed = False


def _cleanup_all() -> None:
    for session in list(_sessions):
        session.close()


def _on_signal(signum, frame):  # noqa: ARG001
    _cleanup_all()
    signal.signal(signum, signal.SIG_DFL)
    os.kill(os.getpid(), signum)


def _install_handlers() -> None:
    global _handlers_installed
    if _handlers_installed or threading.current_thread() is not threading.main_thread():
        return
    atexit.register(_cleanup_all)
    for signum in (signal.SIGTERM, signal.SIGHUP):
        signal.signal(signum, _on_signal)
    _handlers_installed = True


# ---------------------------------------------------------------------------------------------
# Programs launched in the prefix

class WineProcess:
    """A Windows program started with `wine PROGRAM ARGS`; wine's exit status is the program's."""

    def __init__(self, popen: subprocess.Popen, name: str, log: Path):
        self.popen = popen
        self.name = name
        self.log = log

    @property
    def pid(self) -> int:
        return self.popen.pid

    @property
    def running(self) -> bool:
        return self.popen.poll() is None

    @property
    def exit_code(self) -> int | None:
        return self.popen.poll()

    def wait(self, timeout: float) -> int:
        """The program's exit code; HarnessTimeout when it is still running after TIMEOUT s."""
        try:
            return self.popen.wait(timeout)
        except subprocess.TimeoutExpired:
            raise HarnessTimeout(f"{self.name} still running after {timeout} s") from None

    def kill(self) -> None:
        _kill_group(self.popen)

    def output(self) -> str:
        try:
            return self.log.read_text(encoding="utf-8", errors="replace")
        except OSError:
            return ""


# ---------------------------------------------------------------------------------------------

class WineSession:
    """Xvfb + Wine prefix + virtual desktop for one group of tests. Use it as a context manager."""

    def __init__(self, prefix: str | os.PathLike, wininspect: str | os.PathLike | None = None,
                 artifacts: str | os.PathLike | None = None, *, use_display: str | None = None,
                 deadline: float | None = None, desktop: str = DESKTOP_NAME,
                 desktop_size: tuple[int, int] = DESKTOP_SIZE, fresh: bool = True, screen: str = SCREEN):
        """use_display: an X display to use instead of a private Xvfb (e.g. os.environ['DISPLAY']).
        deadline: seconds after start() at which any wait raises HarnessTimeout (SIGALRM).
        fresh: end every Wine process of the prefix before starting.
        screen: the private Xvfb's screen, WIDTHxHEIGHTxDEPTH, large enough for the desktop."""
        self.prefix = Path(prefix).resolve()
        self.wininspect = Path(wininspect).resolve() if wininspect else None
        self.artifacts = Path(artifacts).resolve() if artifacts else self.prefix.parent / "e2e-artifacts"
        self.use_display = use_display
        self.deadline = deadline
        self.desktop = desktop
        self.desktop_size = desktop_size
        self.fresh = fresh
        self.screen = screen
        self.display: str | None = None
        self._xvfb: subprocess.Popen | None = None
        self._desktop_proc: subprocess.Popen | None = None
        self._launched: list[WineProcess] = []
        self._started = False
        self._closed = False
        self._lock = threading.RLock()
        self._desktop_origin: tuple[int, int] | None = None

    # -- environment -------------------------------------------------------------------------
    @property
    def env(self) -> dict[str, str]:
        env = dict(os.environ)
        env.update(WINEPREFIX=str(self.prefix), WINEARCH="win32", WINEDEBUG="-all",
                   LANG="cs_CZ.UTF-8", LC_ALL="cs_CZ.UTF-8",
                   WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d")
        if self.display:
            env["DISPLAY"] = self.display
        return env

    def run(self, args: Sequence[str], timeout: float = 60, check: bool = False,
            input: bytes | None = None) -> subprocess.CompletedProcess:
        """Runs a Unix command in the session's environment and captures its output (bytes)."""
        proc = _popen(args, env=self.env, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                      stdin=subprocess.PIPE if input is not None else subprocess.DEVNULL)
        try:
            out, err = proc.communicate(input, timeout=timeout)
        except subprocess.TimeoutExpired:
            _kill_group(proc, 1)
            raise HarnessTimeout(f"{' '.join(map(str, args))} took more than {timeout} s") from None
        except BaseException:
            _kill_group(proc, 1)
            raise
        result = subprocess.CompletedProcess(args, proc.returncode, out, err)
        if check and proc.returncode != 0:
            raise HarnessError(f"{' '.join(map(str, args))} failed ({proc.returncode}): "
                               f"{err.decode('utf-8', 'replace').strip()}")
        return result

    def wine(self, *args: str, timeout: float = 60, check: bool = False) -> subprocess.CompletedProcess:
        return self.run(["wine", *map(str, args)], timeout=timeout, check=check)

    # -- start and stop ------------------------------------------------------------------------
    def start(self) -> "WineSession":
        with self._lock:
            if self._started:
                return self
            self._started = True
            _install_handlers()
            _sessions.add(self)
            if self.deadline and threading.current_thread() is threading.main_thread():
                signal.signal(signal.SIGALRM, self._on_deadline)
                signal.setitimer(signal.ITIMER_REAL, self.deadline)
            self.artifacts.mkdir(parents=True, exist_ok=True)
            if self.fresh:
                self._end_wine()
            self._start_display()
            self._ensure_prefix()
            self._start_desktop()
            return self

    def _on_deadline(self, signum, frame):  # noqa: ARG002
        raise HarnessTimeout(f"the session's deadline of {self.deadline} s ran out")

    def _start_display(self) -> None:
        if self.use_display:
            self.display = self.use_display
            return
        if not shutil.which("Xvfb"):
            raise HarnessError("Xvfb is not installed")
        read_fd, write_fd = os.pipe()
        try:
            # -displayfd lets the server pick a free display and tell us which one.
            self._xvfb = _popen(["Xvfb", "-displayfd", str(write_fd), "-screen", "0", self.screen,
                                 "-nolisten", "tcp"], pass_fds=(write_fd,),
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            os.close(write_fd)
            write_fd = -1
            data = b""
            deadline = time.monotonic() + 20
            while not data.endswith(b"\n"):
                left = deadline - time.monotonic()
                ready, _, _ = select.select([read_fd], [], [], max(0.0, left))
                if not ready:
                    raise HarnessError("Xvfb did not report its display within 20 s")
                chunk = os.read(read_fd, 64)
                if not chunk:
                    raise HarnessError(f"Xvfb exited ({self._xvfb.poll()}) before reporting a display")
                data += chunk
            self.display = ":" + data.decode().strip()
        finally:
            os.close(read_fd)
            if write_fd >= 0:
                os.close(write_fd)

    def _ensure_prefix(self) -> None:
        self.run([str(TOOLS_DIR / "wine-prefix.sh"), str(self.prefix)], timeout=300, check=True)
        (self.prefix / "evesk").mkdir(parents=True, exist_ok=True)

    def _desktop_window(self) -> str | None:
        result = self.run(["xdotool", "search", "--name", f"^{re.escape(self.desktop)} - Wine desktop$"],
                          timeout=10)
        ids = result.stdout.decode().split()
        return ids[0] if ids else None

    def _start_desktop(self) -> None:
        if self._desktop_window():
            return
        w, h = self.desktop_size
        log = open(self.artifacts / "desktop.log", "ab")
        try:
            self._desktop_proc = _popen(["wine", "explorer", f"/desktop={self.desktop},{w}x{h}"],
                                        env=self.env, stdout=log, stderr=subprocess.STDOUT)
        finally:
            log.close()
        self.wait_for(self._desktop_window, timeout=60, what="the Wine virtual desktop")

    def desktop_origin(self) -> tuple[int, int]:
        """X screen position of the Windows desktop's (0, 0)."""
        if self._desktop_origin is None:
            wid = self._desktop_window()
            if not wid:
                raise HarnessError("the Wine virtual desktop window is gone")
            out = self.run(["xdotool", "getwindowgeometry", "--shell", wid], timeout=10, check=True)
            geometry = dict(line.split("=", 1) for line in out.stdout.decode().split() if "=" in line)
            self._desktop_origin = (int(geometry["X"]), int(geometry["Y"]))
        return self._desktop_origin

    def _end_wine(self) -> None:
        """Ends every Wine process of the prefix, and the wineserver."""
        if not self.prefix.exists():
            return
        try:
            self.run(["wineserver", "-k"], timeout=20)
            self.run(["wineserver", "-w"], timeout=20)
        except HarnessTimeout:
            pass

    def close(self) -> None:
        """Ends everything this session started. Safe to call more than once, from anywhere."""
        with self._lock:
            if self._closed or not self._started:
                return
            self._closed = True
            if threading.current_thread() is threading.main_thread() and self.deadline:
                signal.setitimer(signal.ITIMER_REAL, 0)
            for proc in self._launched:
                proc.kill()
            try:
                self._end_wine()
            except Exception:  # noqa: BLE001 - clean-up goes on whatever happens
                pass
            if self._desktop_proc is not None:
                _kill_group(self._desktop_proc, 1)
            if self._xvfb is not None:
                _kill_group(self._xvfb, 2)
            _sessions.discard(self)

    def __enter__(self) -> "WineSession":
        try:
            return self.start()
        except BaseException:
            self.close()
            raise

    def __exit__(self, *exc) -> None:
        self.close()

    def restart_wine(self) -> None:
        """Ends every program of the prefix and starts a new empty desktop (between tests)."""
        for proc in self._launched:
            proc.kill()
        self._launched.clear()
        self._end_wine()
        if self._desktop_proc is not None:
            _kill_group(self._desktop_proc, 1)
            self._desktop_proc = None
        self._desktop_origin = None
        self._start_desktop()

    # -- programs ------------------------------------------------------------------------------
    def launch(self, program: str | os.PathLike, *args: str, cwd: str | os.PathLike | None = None) -> WineProcess:
        """Starts `wine PROGRAM ARGS` in the background; its output goes to the artifacts folder."""
        # A Windows path ("C:\\...\\evesk.exe") names its file after the last backslash.
        path = PureWindowsPath(program) if "\\" in str(program) else Path(program)
        name = path.name
        log_path = self.artifacts / f"{path.stem}-{len(self._launched) + 1}.log"
        with open(log_path, "wb") as log:
            popen = _popen(["wine", str(program), *map(str, args)], env=self.env, stdout=log,
                           stderr=subprocess.STDOUT, cwd=str(cwd) if cwd else None)
        proc = WineProcess(popen, name, log_path)
        self._launched.append(proc)
        return proc

    # -- windows -------------------------------------------------------------------------------
    def inspect(self, *args: str, timeout: float = 30) -> list[str]:
        """Runs wininspect with ARGS and returns its output lines (raises on failure)."""
        if not self.wininspect:
            raise HarnessError("no wininspect.exe given to the session")
        result = self.wine(str(self.wininspect), *args, timeout=timeout)
        if result.returncode != 0:
            raise HarnessError(f"wininspect {' '.join(args)}: exit {result.returncode}: "
                               f"{result.stderr.decode('utf-8', 'replace').strip()}")
        return [line for line in result.stdout.decode("utf-8", "replace").split("\n") if line]

    def windows(self, all: bool = False) -> list[Window]:  # noqa: A002
        """Top-level windows of the desktop, visible ones unless ALL."""
        return [Window.parse(line) for line in self.inspect("list", *(["--all"] if all else []))]

    def find_windows(self, title: str | None = None, cls: str | None = None,
                     predicate: Callable[[Window], bool] | None = None) -> list[Window]:
        return [w for w in self.windows() if (title is None or w.title == title)
                and (cls is None or w.cls == cls) and (predicate is None or predicate(w))]

    def wait_window(self, title: str | None = None, timeout: float = 30, cls: str | None = None,
                    predicate: Callable[[Window], bool] | None = None,
                    process: WineProcess | None = None) -> Window:
        """Waits for a visible top-level window with this exact TITLE (and class, and predicate).
        With PROCESS, gives up as soon as that program has ended."""
        def found():
            if process is not None and not process.running:
                raise HarnessError(f"{process.name} ended with exit code {process.exit_code} "
                                   f"before the window {title!r} appeared")
            matches = self.find_windows(title, cls, predicate)
            return matches[0] if matches else None
        return self.wait_for(found, timeout, what=f"window {title!r}" + (f" of class {cls!r}" if cls else ""),
                             on_timeout=self._window_summary)

    def wait_window_gone(self, window: Window, timeout: float = 30) -> None:
        self.wait_for(lambda: all(w.hwnd != window.hwnd for w in self.windows()), timeout,
                      what=f"window {window.title!r} to disappear", on_timeout=self._window_summary)

    def _window_summary(self) -> str:
        try:
            return "visible windows: " + "; ".join(f"{w.handle} {w.cls!r} {w.title!r}" for w in self.windows())
        except HarnessError as error:
            return str(error)

    def children(self, window: Window | int | str) -> list[Child]:
        return [Child.parse(line) for line in self.inspect("children", self._window_arg(window))]

    def send_message(self, window: Window | int | str, msg: int, wparam: int = 0, lparam: int = 0) -> int:
        """SendMessage (with a time-out) to a window; returns the window procedure's result."""
        lines = self.inspect("send", self._window_arg(window), str(msg), str(wparam), str(lparam))
        return int(lines[0])

    def post_message(self, window: Window | int | str, msg: int, wparam: int = 0, lparam: int = 0) -> None:
        self.inspect("post", self._window_arg(window), str(msg), str(wparam), str(lparam))

    @staticmethod
    def _window_arg(window: Window | Child | int | str) -> str:
        if isinstance(window, (Window, Child)):
            return window.handle
        if isinstance(window, int):
            return f"0x{window:x}"
        return window

    # -- input ---------------------------------------------------------------------------------
    def _xdotool(self, *args: str) -> None:
        self.run(["xdotool", *args], timeout=30, check=True)

    def to_screen(self, x: int, y: int) -> tuple[int, int]:
        ox, oy = self.desktop_origin()
        return x + ox, y + oy

    def move(self, x: int, y: int) -> None:
        sx, sy = self.to_screen(x, y)
        self._xdotool("mousemove", "--sync", str(sx), str(sy))

    def click(self, x: int, y: int, button: int = 1, repeat: int = 1) -> None:
        """Clicks at Windows desktop coordinates (repeat=2: a double click)."""
        sx, sy = self.to_screen(x, y)
        self._xdotool("mousemove", "--sync", str(sx), str(sy))
        time.sleep(0.05)  # let the program see the pointer arrive before the button
        self._xdotool("click", "--repeat", str(repeat), "--delay", "80", str(button))

    def click_client(self, window: Window, x: int, y: int, button: int = 1, repeat: int = 1) -> None:
        """Clicks at client coordinates of WINDOW."""
        self.click(window.client_origin[0] + x, window.client_origin[1] + y, button, repeat)

    def click_child(self, child: Child, button: int = 1, repeat: int = 1) -> None:
        self.click(*child.centre, button=button, repeat=repeat)

    def key(self, *keys: str) -> None:
        """Presses keys by X key names: key('Return'), key('alt+F4')."""
        self._xdotool("key", "--delay", "60", *keys)

    def type_text(self, text: str) -> None:
        """Types ASCII TEXT into the focused window with real key presses (Tab, LF as keys)."""
        # xdotool can only press a character missing from the X keyboard map by binding it
        # for a moment, and Wine often reads the map after it was unbound again: such
        # characters get lost. Czech text goes through send_chars() instead.
        if not all(c in "\t\n" or " " <= c <= "~" for c in text):
            raise HarnessError("type_text() takes ASCII only; use send_chars() for other text")
        for part in re.split(r"([\t\n])", text):
            if part == "\n":
                self.key("Return")
            elif part == "\t":
                self.key("Tab")
            elif part:
                self._xdotool("type", "--delay", "40", "--", part)

    def focus(self, window: Window | int | str) -> tuple[str, str]:
        """The focused and the active window of WINDOW's thread, as handles ("0x0" for none)."""
        focused, active = self.inspect("focus", self._window_arg(window))[0].split("\t")
        return focused, active

    def send_chars(self, window: Window | Child | int | str, text: str) -> None:
        """Delivers TEXT to a window as WM_CHAR messages (any text; the window's code page
        conversion applies as for typed characters)."""
        self.inspect("chars", self._window_arg(window), text)

    # -- registry ------------------------------------------------------------------------------
    def reg_query(self, key: str, name: str) -> RegValue | None:
        """The value NAME under KEY (HKCU unless a hive is named), or None when it is absent."""
        path = reg_key_path(key)
        result = self.wine("reg", "query", path, "/v", name, timeout=60)
        if result.returncode != 0:
            return None
        value = parse_reg_query(result.stdout.decode(REG_QUERY_CODEPAGE, "replace")).get(name.lower())
        if value is not None and not (value.data.isascii() and "?" not in value.data):
            # The console code page cannot carry every character; the export is exact.
            exact = self.reg_export(path).get(name.lower())
            if exact is not None:
                value = exact
        return value

    def reg_get(self, key: str, name: str) -> str | None:
        """Text of a REG_SZ/REG_EXPAND_SZ value; None when absent; HarnessError for other types."""
        value = self.reg_query(key, name)
        if value is None:
            return None
        if value.type not in ("REG_SZ", "REG_EXPAND_SZ"):
            raise HarnessError(f"{key}\\{name} is {value.type}, not text")
        return value.data

    def reg_export(self, key: str) -> dict[str, RegValue]:
        """All values of KEY, read exactly through `wine reg export` (UTF-16 file)."""
        path = reg_key_path(key)
        with tempfile.TemporaryDirectory() as tmp:
            target = Path(tmp) / "key.reg"
            result = self.wine("reg", "export", path, str(target), "/y", timeout=60)
            if result.returncode != 0 or not target.exists():
                return {}
            raw = target.read_bytes()
        text = raw.decode("utf-16") if raw[:2] in (b"\xff\xfe", b"\xfe\xff") else raw.decode("utf-8", "replace")
        return parse_reg_export(text, path)

    def reg_set(self, key: str, name: str, data: str | int, type: str = "REG_SZ") -> None:  # noqa: A002
        """Creates or replaces a value (text by default; 'REG_DWORD' with an int)."""
        self.wine("reg", "add", reg_key_path(key), "/v", name, "/t", type, "/d", str(data), "/f",
                  timeout=60, check=True)

    def reg_delete(self, key: str, name: str) -> bool:
        """Deletes a value; False when it was not there."""
        return self.wine("reg", "delete", reg_key_path(key), "/v", name, "/f", timeout=60).returncode == 0

    def reg_delete_key(self, key: str) -> bool:
        return self.wine("reg", "delete", reg_key_path(key), "/f", timeout=60).returncode == 0

    # -- evidence ------------------------------------------------------------------------------
    def screenshot(self, name: str, window: Window | None = None) -> Path:
        """Saves the X screen (or only WINDOW's rectangle) as ARTIFACTS/NAME.png."""
        path = self.artifacts / (name if name.endswith(".png") else name + ".png")
        args = ["import", "-window", "root"]
        if window is not None:
            left, top, right, bottom = window.rect
            sx, sy = self.to_screen(left, top)
            args += ["-crop", f"{right - left}x{bottom - top}+{max(sx, 0)}+{max(sy, 0)}", "+repage"]
        self.run([*args, str(path)], timeout=60, check=True)
        return path

    # -- the program's tray icon ---------------------------------------------------------------
    TRAY_WINDOW_CLASS = "EveskTrayWindow"   # the hidden window that receives the icon's callbacks
    TRAY_CALLBACK, TRAY_ICON_ID, NIN_BALLOONUSERCLICK = 2048, 1, 1029

    def tray_window(self, timeout: float = 30) -> Window:
        return self.wait_for(lambda: next((w for w in self.windows(all=True) if w.cls == self.TRAY_WINDOW_CLASS),
                                          None), timeout, what="the tray icon's window")

    def tray_callback(self, event: int) -> int:
        """Does what the shell does for the icon: sends the callback message with EVENT."""
        return self.send_message(self.tray_window(), self.TRAY_CALLBACK, self.TRAY_ICON_ID, event)

    def wait_balloon(self, timeout: float = 30) -> Window:
        """A balloon: a visible tooltip window wider than a plain tip."""
        return self.wait_for(lambda: next((w for w in self.windows() if w.cls == "tooltips_class32"
                                           and w.rect[2] - w.rect[0] > 60), None), timeout, what="a balloon")

    def click_balloon(self) -> None:
        # The shell reports no click on a balloon under Wine, so it is sent as the shell would.
        self.tray_callback(self.NIN_BALLOONUSERCLICK)

    def browser_log(self) -> list[str]:
        """Addresses that programs asked the shell to open in a browser, oldest first."""
        try:
            return (self.prefix / "evesk" / "browser.log").read_text(encoding="utf-8").splitlines()
        except FileNotFoundError:
            return []

    def clear_browser_log(self) -> None:
        (self.prefix / "evesk" / "browser.log").unlink(missing_ok=True)

    # -- waiting -------------------------------------------------------------------------------
    @staticmethod
    def wait_for(condition: Callable[[], object], timeout: float, interval: float = 0.25,
                 what: str = "condition", on_timeout: Callable[[], str] | None = None):
        """Polls CONDITION until it returns something truthy, which is returned."""
        deadline = time.monotonic() + timeout
        while True:
            value = condition()
            if value:
                return value
            if time.monotonic() >= deadline:
                detail = f" ({on_timeout()})" if on_timeout else ""
                raise HarnessTimeout(f"gave up waiting for {what} after {timeout} s{detail}")
            time.sleep(interval)


def find_linux_process(exe: Path, prefix: Path) -> int:
    """The Linux process that runs EXE in PREFIX: Wine names the exe first on its command line
    (as a Unix or a Windows path); other prefixes' programs of the same name are not it."""
    forms = {str(exe).lower(), ("z:" + str(exe).replace("/", "\\")).lower()}
    matches = []
    for entry in Path("/proc").iterdir():
        if not entry.name.isdigit():
            continue
        try:
            first = (entry / "cmdline").read_bytes().split(b"\0")[0].decode("utf-8", "replace").lower()
            environ = (entry / "environ").read_bytes().split(b"\0")
        except OSError:
            continue
        if first in forms and f"WINEPREFIX={prefix}".encode() in environ:
            matches.append(int(entry.name))
    if len(matches) != 1:
        raise HarnessError(f"{len(matches)} processes run {exe} in {prefix}: {matches}")
    return matches[0]


# ---------------------------------------------------------------------------------------------
# The demo news service, in process

def load_demo_service_module():
    """tools/demo-news/server.py as a module (its file name is too generic to import by path)."""
    import importlib.util
    name = "evesk_demo_news"
    if name not in sys.modules:
        spec = importlib.util.spec_from_file_location(name, TOOLS_DIR / "demo-news" / "server.py")
        module = importlib.util.module_from_spec(spec)
        sys.modules[name] = module
        spec.loader.exec_module(module)
    return sys.modules[name]


class DemoService:
    """The demo news service on 127.0.0.1 (free port) in a thread of the test process.

        with DemoService(now=1765000000) as news:
            wine.reg_set(r"\\software\\dorlen\\evesk", "server", news.address)
    """

    def __init__(self, now: int | None = None):
        self.module = load_demo_service_module()
        self.now = int(time.time()) if now is None else now
        categories, documents = self.module.load_documents(self.module.DEFAULT_DATA, self.now)
        self.service = self.module.NewsService(categories, documents, self.now)
        self.server = None

    @property
    def address(self) -> str:
        return f"127.0.0.1:{self.server.port}"

    def __enter__(self) -> "DemoService":
        self.server, _ = self.module.start_in_thread(self.service)
        return self

    def __exit__(self, *exc) -> None:
        self.server.shutdown()
        self.server.server_close()


# ---------------------------------------------------------------------------------------------
# Command line of the end-to-end test scripts

@dataclass
class Config:
    exe: Path
    wininspect: Path
    prefix: Path
    artifacts: Path
    display: str | None


_config: Config | None = None


def config() -> Config:
    if _config is None:
        raise HarnessError("run the test through harness.e2e_main() (or set the EVESK_E2E_* variables)")
    return _config


def e2e_main(argv: Iterable[str] | None = None) -> None:
    """Entry of a test script: takes the harness options, passes the rest to unittest."""
    global _config
    argv = list(sys.argv[1:] if argv is None else argv)
    env = os.environ.get
    parser = argparse.ArgumentParser(add_help=False)
    parser.add_argument("--exe", default=env("EVESK_E2E_EXE"))
    parser.add_argument("--wininspect", default=env("EVESK_E2E_WININSPECT"))
    parser.add_argument("--prefix", default=env("EVESK_E2E_PREFIX"))
    parser.add_argument("--artifacts", default=env("EVESK_E2E_ARTIFACTS"))
    parser.add_argument("--use-display", action="store_true",
                        help="run on $DISPLAY (with its desktop) instead of a private Xvfb")
    args, rest = parser.parse_known_args(argv)
    missing = [n for n in ("exe", "wininspect", "prefix") if not getattr(args, n)]
    if missing:
        sys.exit(f"missing options: {', '.join('--' + n for n in missing)}")
    prefix = Path(args.prefix).resolve()
    _config = Config(exe=Path(args.exe).resolve(), wininspect=Path(args.wininspect).resolve(), prefix=prefix,
                     artifacts=Path(args.artifacts).resolve() if args.artifacts else prefix.parent / "e2e-artifacts",
                     display=os.environ.get("DISPLAY") if args.use_display else None)
    unittest.main(module="__main__", argv=[sys.argv[0], *rest], verbosity=2)


def session_from_config(deadline: float | None = 240) -> WineSession:
    cfg = config()
    return WineSession(cfg.prefix, cfg.wininspect, cfg.artifacts, use_display=cfg.display, deadline=deadline)
