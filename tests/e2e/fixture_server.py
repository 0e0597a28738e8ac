#!/usr/bin/env python3
"""Fixture HTTP server for tests: scripted replies on 127.0.0.1, every request recorded.

From Python:

    from fixture_server import FixtureServer, Reply
    with FixtureServer() as server:                      # binds 127.0.0.1 on a free port
        server.route("/vizedu_vesk/index.php", Reply(body="ok"))
        server.route("/slow", [Reply(delay=2, body="late"), Reply(status=500, body="x")])
        server.sequence([Reply(body="first"), Reply(body="second")])
        address = server.url("/vizedu_vesk/index.php?check=1")   # http://127.0.0.1:PORT/...
        ...
        server.wait_requests(1, timeout=10)
        request = server.requests[0]     # .method .path .version .headers .body (bytes)

From a shell (for instance from a component test running under Wine):

    python3 tests/e2e/fixture_server.py --script replies.json --log requests.jsonl \\
        --port-file port.txt [--stop-file stop.flag] [--lifetime 300] [--port 0]

    The port file appears (atomically) once the server listens. Every request is appended to
    the log as one JSON object per line, before its reply is sent. The server stops when the
    stop file appears, on GET /__fixture__/stop, on SIGTERM or SIGINT, or when the lifetime
    (default 600 s) runs out, so a forgotten server never lingers.

    Under Wine a Windows test starts it with CreateProcessA(NULL, "Z:/path/to/python3
    /path/to/fixture_server.py --port-file /tmp/x/port.txt ...", ...): Wine runs a Unix
    executable given as a Z: path natively, and the Unix paths of the arguments are passed
    unchanged (read the port file back as Z:\\tmp\\x\\port.txt). The process handle does not
    follow the Unix process, so end the server through the stop file or /__fixture__/stop.

Script (JSON object, every key optional):

    {"routes":   {"/path?query": REPLY, "/path": [REPLY, ...]},
     "sequence": [REPLY, ...],
     "default":  REPLY}

    A request is matched against its raw target first, then against the target without the
    query. Requests that no route matches take the next reply of "sequence", then "default"
    (404 "not found" when absent). A list of replies is served in turn; its last reply
    repeats once the list is used up.

REPLY (JSON object, every key optional):

    status        200                    reason       "OK" (or the standard phrase)
    headers       {"Name": "value"} or [["Name", "value"], ...], sent in order, as given
    body          text, encoded with "encoding" (default "utf-8"; "cp1250" for Czech replies)
    body_hex      the body as hex bytes (instead of "body")
    content_length  true: send the real length; false: no header; a number: send that value
    chunked       true: chunked transfer coding (no Content-Length), chunks of "chunk_size"
    close_after   send only this many body bytes, then close the connection
    delay         seconds to wait before the status line
    body_delay    seconds to wait between the headers and the body
    raw_hex       bytes to send verbatim instead of a composed response

    A "Connection: close" header is added unless the reply names a Connection header; each
    connection serves exactly one request.
"""

from __future__ import annotations

import argparse
import base64
import json
import os
import signal
import socket
import sys
import threading
import time
from dataclasses import dataclass, field
from http import HTTPStatus
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer
from typing import Iterable, Sequence, Union

CONTROL_PREFIX = "/__fixture__/"
FLOOD_SECONDS, FLOOD_BYTES = 150, 128 << 20


@dataclass
class Reply:
    """One scripted response."""

    status: int = 200
    reason: str | None = None
    headers: Sequence[tuple[str, str]] | dict = ()
    body: Union[bytes, str] = b""
    encoding: str = "utf-8"
    content_length: Union[bool, int] = True
    chunked: bool = False
    chunk_size: int = 16
    close_after: int | None = None
    delay: float = 0.0
    body_delay: float = 0.0
    raw: bytes | None = None
    # "lines": after the status line, header lines without end; "line": one header line without
    # end; "body": a length of 2 GiB and a body without end. Bounded by FLOOD_SECONDS and
    # FLOOD_BYTES, or until the client goes away.
    flood: str | None = None

    @classmethod
    def from_json(cls, data: dict) -> "Reply":
        if not isinstance(data, dict):
            raise ValueError(f"a reply must be a JSON object, not {data!r}")
        known = {"status", "reason", "headers", "body", "encoding", "body_hex", "content_length",
                 "chunked", "chunk_size", "close_after", "delay", "body_delay", "raw_hex"}
        unknown = set(data) - known
        if unknown:
            raise ValueError(f"unknown reply keys: {', '.join(sorted(unknown))}")
        reply = cls(status=int(data.get("status", 200)), reason=data.get("reason"),
                     encoding=data.get("encoding", "utf-8"),
                     content_length=data.get("content_length", True),
                     chunked=bool(data.get("chunked", False)),
                     chunk_size=int(data.get("chunk_size", 16)),
                     close_after=data.get("close_after"),
                     delay=float(data.get("delay", 0)), body_delay=float(data.get("body_delay", 0)))
        headers = data.get("headers", ())
        if isinstance(headers, dict):
            headers = list(headers.items())
        reply.headers = [(str(k), str(v)) for k, v in headers]
        if "body_hex" in data:
            reply.body = bytes.fromhex(data["body_hex"])
        else:
            reply.body = data.get("body", "")
        if "raw_hex" in data:
            reply.raw = bytes.fromhex(data["raw_hex"])
        if reply.chunk_size <= 0:
            raise ValueError("chunk_size must be positive")
        return reply

    def body_bytes(self) -> bytes:
        return self.body if isinstance(self.body, bytes) else self.body.encode(self.encoding)

    def header_list(self) -> list[tuple[str, str]]:
        items = self.headers.items() if isinstance(self.headers, dict) else self.headers
        return [(str(k), str(v)) for k, v in items]


NOT_FOUND = Reply(status=404, body="not found", headers=[("Content-Type", "text/plain")])


@dataclass
class Request:
    """One recorded request, exactly as the client sent it."""

    method: str
    path: str
    version: str
    headers: list[tuple[str, str]]
    body: bytes
    request_line: str
    client: str = ""
    time: float = field(default_factory=time.time)

    def header(self, name: str) -> str | None:
        for key, value in self.headers:
            if key.lower() == name.lower():
                return value
        return None

    def to_json(self) -> dict:
        return {"method": self.method, "path": self.path, "version": self.version,
                "headers": [list(h) for h in self.headers],
                "body": self.body.decode("latin-1"),
                "body_base64": base64.b64encode(self.body).decode("ascii"),
                "request_line": self.request_line, "client": self.client, "time": self.time}


class _ReplyQueue:
    """Replies served in turn; the last one repeats."""

    def __init__(self, replies: Union[Reply, Iterable[Reply]]):
        self.replies = [replies] if isinstance(replies, Reply) else list(replies)
        if not self.replies:
            raise ValueError("an empty list of replies")
        self.next = 0

    def take(self) -> Reply:
        reply = self.replies[min(self.next, len(self.replies) - 1)]
        self.next += 1
        return reply


class _Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    server: "_Server"

    def log_message(self, format, *args):  # noqa: A002 - quiet: the recorder is the log
        pass

    def _serve(self):
        self.close_connection = True
        if self.path.startswith(CONTROL_PREFIX):
            self._control(self.path[len(CONTROL_PREFIX):])
            return
        body = self._read_body()
        request = Request(method=self.command, path=self.path, version=self.request_version,
                          headers=[(k, v) for k, v in self.headers.items()], body=body,
                          request_line=self.requestline, client=self.client_address[0])
        reply = self.server.owner._record_and_choose(request)
        try:
            self._send(reply)
        except (BrokenPipeError, ConnectionResetError):
            pass  # the client gave up; that is its business

    do_GET = do_POST = do_HEAD = do_PUT = do_DELETE = do_OPTIONS = do_PATCH = _serve

    def _read_body(self) -> bytes:
        if (self.headers.get("Transfer-Encoding") or "").lower() == "chunked":
            data = bytearray()
            while True:
                size_line = self.rfile.readline(1024)
                try:
                    size = int(size_line.split(b";")[0].strip() or b"0", 16)
                except ValueError:
                    break
                if size == 0:
                    while self.rfile.readline(1024).strip():
                        pass
                    break
                data += self.rfile.read(size)
                self.rfile.readline(16)
            return bytes(data)
        try:
            length = int(self.headers.get("Content-Length") or 0)
        except ValueError:
            length = 0
        return self.rfile.read(length) if length > 0 else b""

    def _control(self, command: str):
        if command == "stop":
            self._send(Reply(body="stopping"))
            threading.Thread(target=self.server.owner.stop, daemon=True).start()
        else:
            self._send(Reply(status=404, body="unknown control"))

    def _send(self, reply: Reply):
        if reply.delay:
            time.sleep(reply.delay)
        if reply.flood:
            self.wfile.write(b"HTTP/1.0 200 OK\r\n" + {"line": b"X-Long: ", "lines": b"",
                                                         "body": b"Content-Length: 2147483647\r\n\r\n"}[reply.flood])
            piece = b"a" * 65536 if reply.flood != "lines" else (b"X-Filler: " + b"a" * 100 + b"\r\n") * 600
            end, sent = time.time() + FLOOD_SECONDS, 0
            self.connection.settimeout(5)
            try:
                while time.time() < end and sent < FLOOD_BYTES:
                    self.wfile.write(piece)
                    sent += len(piece)
            except OSError:
                pass
            return
        if reply.raw is not None:
            self.wfile.write(reply.raw)
            self.wfile.flush()
            return
        body = reply.body_bytes()
        reason = reply.reason
        if reason is None:
            try:
                reason = HTTPStatus(reply.status).phrase
            except ValueError:
                reason = "Status"
        head = [f"HTTP/1.1 {reply.status} {reason}"]
        headers = reply.header_list()
        names = {k.lower() for k, _ in headers}
        head += [f"{k}: {v}" for k, v in headers]
        if reply.chunked:
            if "transfer-encoding" not in names:
                head.append("Transfer-Encoding: chunked")
        elif reply.content_length is True:
            if "content-length" not in names:
                head.append(f"Content-Length: {len(body)}")
        elif reply.content_length is not False:
            head.append(f"Content-Length: {int(reply.content_length)}")
        if "connection" not in names:
            head.append("Connection: close")
        self.wfile.write(("\r\n".join(head) + "\r\n\r\n").encode("latin-1"))
        self.wfile.flush()
        if reply.body_delay:
            time.sleep(reply.body_delay)
        if self.command == "HEAD":
            return
        payload = body
        if reply.chunked:
            pieces = [body[i:i + reply.chunk_size] for i in range(0, len(body), reply.chunk_size)]
            payload = b"".join(b"%x\r\n%s\r\n" % (len(p), p) for p in pieces) + b"0\r\n\r\n"
        if reply.close_after is not None:
            payload = payload[:max(0, int(reply.close_after))]
        self.wfile.write(payload)
        self.wfile.flush()
        if reply.close_after is not None:
            # An abrupt end: the client sees the connection drop mid-body.
            try:
                self.connection.shutdown(socket.SHUT_RDWR)
            except OSError:
                pass


class _Server(ThreadingHTTPServer):
    daemon_threads = True
    block_on_close = False
    allow_reuse_address = False

    def __init__(self, address, owner: "FixtureServer"):
        self.owner = owner
        super().__init__(address, _Handler)


class FixtureServer:
    """A scripted HTTP server on 127.0.0.1, served from a background thread."""

    def __init__(self, port: int = 0, host: str = "127.0.0.1", log_path: str | None = None):
        self._lock = threading.Lock()
        self._routes: dict[str, _ReplyQueue] = {}
        self._sequence: _ReplyQueue | None = None
        self._default: Reply = NOT_FOUND
        self._requests: list[Request] = []
        self._arrived = threading.Condition(self._lock)
        self._log_path = log_path
        self._server = _Server((host, port), self)
        self._thread: threading.Thread | None = None
        self._stopped = threading.Event()
        self.host, self.port = self._server.server_address[:2]

    # -- script ------------------------------------------------------------------------
    def route(self, target: str, replies: Union[Reply, Iterable[Reply]]) -> None:
        with self._lock:
            self._routes[target] = _ReplyQueue(replies)

    def sequence(self, replies: Iterable[Reply]) -> None:
        with self._lock:
            self._sequence = _ReplyQueue(replies)

    def default(self, reply: Reply) -> None:
        with self._lock:
            self._default = reply

    def load_script(self, script: dict) -> None:
        if not isinstance(script, dict):
            raise ValueError("the script must be a JSON object")
        unknown = set(script) - {"routes", "sequence", "default"}
        if unknown:
            raise ValueError(f"unknown script keys: {', '.join(sorted(unknown))}")

        def replies(value):
            return [Reply.from_json(v) for v in value] if isinstance(value, list) else Reply.from_json(value)

        for target, value in (script.get("routes") or {}).items():
            self.route(target, replies(value))
        if "sequence" in script:
            self.sequence([Reply.from_json(v) for v in script["sequence"]])
        if "default" in script:
            self.default(Reply.from_json(script["default"]))

    # -- recording ---------------------------------------------------------------------
    def _record_and_choose(self, request: Request) -> Reply:
        with self._lock:
            self._requests.append(request)
            if self._log_path:
                with open(self._log_path, "a", encoding="utf-8") as log:
                    log.write(json.dumps(request.to_json(), ensure_ascii=False) + "\n")
            self._arrived.notify_all()
            queue = self._routes.get(request.path)
            if queue is None:
                queue = self._routes.get(request.path.split("?", 1)[0])
            if queue is not None:
                return queue.take()
            if self._sequence is not None:
                return self._sequence.take()
            return self._default

    @property
    def requests(self) -> list[Request]:
        with self._lock:
            return list(self._requests)

    def wait_requests(self, count: int, timeout: float) -> list[Request]:
        """Waits until at least COUNT requests arrived; raises TimeoutError otherwise."""
        deadline = time.monotonic() + timeout
        with self._lock:
            while len(self._requests) < count:
                left = deadline - time.monotonic()
                if left <= 0:
                    raise TimeoutError(f"{len(self._requests)} of {count} requests arrived in {timeout} s")
                self._arrived.wait(left)
            return list(self._requests)

    def clear_requests(self) -> None:
        with self._lock:
            self._requests.clear()

    # -- life --------------------------------------------------------------------------
    def url(self, target: str = "/") -> str:
        return f"http://{self.host}:{self.port}{target}"

    @property
    def address(self) -> str:
        return f"{self.host}:{self.port}"

    def start(self) -> "FixtureServer":
        self._thread = threading.Thread(target=self._server.serve_forever, kwargs={"poll_interval": 0.1},
                                        name="fixture-server", daemon=True)
        self._thread.start()
        return self

    def stop(self) -> None:
        if self._stopped.is_set():
            return
        self._stopped.set()
        if self._thread is not None:
            self._server.shutdown()
            self._thread.join(5)
        self._server.server_close()

    def wait_stopped(self, timeout: float | None = None) -> bool:
        return self._stopped.wait(timeout)

    def __enter__(self) -> "FixtureServer":
        return self.start()

    def __exit__(self, *exc) -> None:
        self.stop()


def _write_atomically(path: str, text: str) -> None:
    temp = f"{path}.{os.getpid()}.tmp"
    with open(temp, "w", encoding="ascii") as f:
        f.write(text)
    os.replace(temp, path)


def main(argv: list[str] | None = None) -> int:
    parser = argparse.ArgumentParser(description="Scripted HTTP fixture server on 127.0.0.1.")
    parser.add_argument("--script", help="JSON script of replies (see the top of this file)")
    parser.add_argument("--log", help="append every request to this file as JSON lines")
    parser.add_argument("--port", type=int, default=0, help="port to bind (0: a free one)")
    parser.add_argument("--port-file", help="write the bound port here once listening")
    parser.add_argument("--stop-file", help="stop as soon as this file exists")
    parser.add_argument("--lifetime", type=float, default=600.0, help="stop after this many seconds")
    args = parser.parse_args(argv)

    try:
        script = {}
        if args.script:
            with open(args.script, encoding="utf-8") as f:
                script = json.load(f)
        server = FixtureServer(port=args.port, log_path=args.log)
        server.load_script(script)
    except (OSError, ValueError, TypeError) as error:
        print(f"fixture_server: {error}", file=sys.stderr)
        return 2

    for signum in (signal.SIGTERM, signal.SIGINT):
        signal.signal(signum, lambda *_: threading.Thread(target=server.stop, daemon=True).start())
    server.start()
    if args.port_file:
        _write_atomically(args.port_file, f"{server.port}\n")
    print(server.port, flush=True)

    deadline = time.monotonic() + args.lifetime
    while not server.wait_stopped(0.1):
        if time.monotonic() >= deadline or (args.stop_file and os.path.exists(args.stop_file)):
            server.stop()
    return 0


if __name__ == "__main__":
    sys.exit(main())
