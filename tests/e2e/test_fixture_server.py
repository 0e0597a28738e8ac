"""Tests of the fixture HTTP server that the component and end-to-end tests rely on."""

import http.client
import json
import socket
import subprocess
import sys
import tempfile
import time
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))

from fixture_server import FixtureServer, Reply  # noqa: E402

SCRIPT = Path(__file__).resolve().parent / "fixture_server.py"


def exchange(port, request: bytes) -> bytes:
    with socket.create_connection(("127.0.0.1", port), timeout=10) as sock:
        sock.sendall(request)
        data = b""
        while chunk := sock.recv(65536):
            data += chunk
        return data


class ScriptedRepliesTest(unittest.TestCase):
    def setUp(self):
        self.server = FixtureServer().start()
        self.addCleanup(self.server.stop)

    def get(self, target):
        conn = http.client.HTTPConnection("127.0.0.1", self.server.port, timeout=10)
        self.addCleanup(conn.close)
        conn.request("GET", target)
        reply = conn.getresponse()
        return reply, reply.read()

    def test_routes_match_exact_target_first_and_lists_repeat_their_last_reply(self):
        self.server.route("/p", [Reply(body="one"), Reply(body="two")])
        self.server.route("/p?x=1", Reply(status=201, body="exact"))
        self.assertEqual(self.get("/p?x=1")[0].status, 201)
        self.assertEqual([self.get(t)[1] for t in ("/p?y=2", "/p", "/p")], [b"one", b"two", b"two"])

    def test_sequence_then_default(self):
        self.server.sequence([Reply(body="a"), Reply(body="b")])
        self.assertEqual([self.get("/x")[1], self.get("/y")[1], self.get("/z")[1]], [b"a", b"b", b"b"])
        other = FixtureServer().start()
        self.addCleanup(other.stop)
        conn = http.client.HTTPConnection("127.0.0.1", other.port, timeout=10)
        conn.request("GET", "/nothing")
        self.assertEqual(conn.getresponse().status, 404)
        conn.close()

    def test_body_encodings_and_headers_as_given(self):
        self.server.route("/cz", Reply(body="Příliš žluťoučký", encoding="cp1250",
                                       headers=[("Content-Type", "text/plain; charset=windows-1250"),
                                                ("X-Twice", "1"), ("X-Twice", "2")]))
        reply, body = self.get("/cz")
        self.assertEqual(body, "Příliš žluťoučký".encode("cp1250"))
        self.assertEqual(reply.headers.get_all("X-Twice"), ["1", "2"])
        self.assertEqual(reply.headers["Content-Length"], str(len(body)))

    def test_framing_variants(self):
        self.server.route("/nolen", Reply(body="abc", content_length=False))
        self.server.route("/chunked", Reply(body="x" * 40, chunked=True, chunk_size=16))
        self.server.route("/wronglen", Reply(body="abc", content_length=10))
        self.server.route("/cut", Reply(body="0123456789", close_after=4))
        raw = exchange(self.server.port, b"GET /nolen HTTP/1.0\r\n\r\n")
        head, _, body = raw.partition(b"\r\n\r\n")
        self.assertNotIn(b"content-length", head.lower())
        self.assertEqual(body, b"abc")
        raw = exchange(self.server.port, b"GET /chunked HTTP/1.1\r\nHost: x\r\n\r\n")
        self.assertEqual(raw.partition(b"\r\n\r\n")[2], b"10\r\n" + b"x" * 16 + b"\r\n10\r\n" + b"x" * 16
                         + b"\r\n8\r\n" + b"x" * 8 + b"\r\n0\r\n\r\n")
        self.assertEqual(self.get("/chunked")[1], b"x" * 40)
        raw = exchange(self.server.port, b"GET /wronglen HTTP/1.0\r\n\r\n")
        self.assertIn(b"Content-Length: 10\r\n", raw)
        conn = http.client.HTTPConnection("127.0.0.1", self.server.port, timeout=10)
        conn.request("GET", "/cut")
        with self.assertRaises(http.client.IncompleteRead) as caught:
            conn.getresponse().read()
        self.assertEqual(caught.exception.partial, b"0123")
        conn.close()

    def test_delay_and_raw_replies(self):
        self.server.route("/slow", Reply(body="late", delay=0.3, body_delay=0.2))
        self.server.route("/raw", Reply(raw=b"HTTP/1.0 200 OK\r\n\r\nfree form"))
        self.assertEqual(self.get("/slow")[1], b"late")
        self.assertEqual(exchange(self.server.port, b"GET /raw HTTP/1.0\r\n\r\n"),
                         b"HTTP/1.0 200 OK\r\n\r\nfree form")

    def test_requests_are_recorded_as_sent(self):
        exchange(self.server.port, b"GET /vizedu_vesk/index.php?check=1&data=1_0 HTTP/1.0\r\n"
                                   b"User-Agent: Pelmarin HTTPGet\r\nAccept: */*\r\n\r\n")
        exchange(self.server.port, b"POST /form HTTP/1.1\r\nHost: h\r\nContent-Length: 5\r\n\r\na=b&c")
        exchange(self.server.port, b"PUT /up HTTP/1.1\r\nHost: h\r\nTransfer-Encoding: chunked\r\n\r\n"
                                   b"3\r\nabc\r\n2\r\nde\r\n0\r\n\r\n")
        first, second, third = self.server.wait_requests(3, timeout=10)
        self.assertEqual((first.method, first.path, first.version),
                         ("GET", "/vizedu_vesk/index.php?check=1&data=1_0", "HTTP/1.0"))
        self.assertEqual(first.headers, [("User-Agent", "Pelmarin HTTPGet"), ("Accept", "*/*")])
        self.assertEqual(first.header("user-agent"), "Pelmarin HTTPGet")
        self.assertEqual((second.method, second.body), ("POST", b"a=b&c"))
        self.assertEqual((third.method, third.body), ("PUT", b"abcde"))
        with self.assertRaises(TimeoutError):
            self.server.wait_requests(4, timeout=0.2)


class CommandLineTest(unittest.TestCase):
    def start(self, tmp: Path, *extra):
        port_file = tmp / "port.txt"
        proc = subprocess.Popen([sys.executable, str(SCRIPT), "--port-file", str(port_file), *extra],
                                stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        self.addCleanup(lambda: (proc.kill(), proc.wait(), proc.stdout.close(), proc.stderr.close()))
        printed = int(proc.stdout.readline())
        self.assertEqual(int(port_file.read_text()), printed)
        return proc, printed

    def test_script_log_and_stop_request(self):
        with tempfile.TemporaryDirectory() as tmp:
            tmp = Path(tmp)
            (tmp / "s.json").write_text(json.dumps({
                "routes": {"/a": [{"body": "Vašem", "encoding": "cp1250"}, {"status": 500, "body_hex": "0001"}]},
                "default": {"status": 204}}), encoding="utf-8")
            proc, port = self.start(tmp, "--script", str(tmp / "s.json"), "--log", str(tmp / "log.jsonl"))
            replies = []
            for target in ("/a", "/a", "/b"):
                conn = http.client.HTTPConnection("127.0.0.1", port, timeout=10)
                conn.request("GET", target, headers={"User-Agent": "t"})
                reply = conn.getresponse()
                replies.append((reply.status, reply.read()))
                conn.close()
            self.assertEqual(replies, [(200, "Vašem".encode("cp1250")), (500, b"\x00\x01"), (204, b"")])
            log = [json.loads(line) for line in (tmp / "log.jsonl").read_text(encoding="utf-8").splitlines()]
            self.assertEqual([r["path"] for r in log], ["/a", "/a", "/b"])
            self.assertIn(["User-Agent", "t"], log[0]["headers"])
            conn = http.client.HTTPConnection("127.0.0.1", port, timeout=10)
            conn.request("GET", "/__fixture__/stop")
            conn.getresponse().read()
            self.assertEqual(proc.wait(10), 0)
            self.assertEqual(len((tmp / "log.jsonl").read_text().splitlines()), 3)  # control not logged

    def test_stop_file_and_lifetime(self):
        with tempfile.TemporaryDirectory() as tmp:
            tmp = Path(tmp)
            proc, _ = self.start(tmp, "--stop-file", str(tmp / "stop"))
            (tmp / "stop").touch()
            self.assertEqual(proc.wait(10), 0)
            proc, _ = self.start(tmp, "--lifetime", "0.5")
            self.assertEqual(proc.wait(10), 0)

    def test_bad_script_is_refused(self):
        with tempfile.TemporaryDirectory() as tmp:
            for content in ('{"routes": {"/a": {"stauts": 200}}}', '{"sequence": []}', "[1]", "{broken"):
                with self.subTest(content=content):
                    path = Path(tmp) / "bad.json"
                    path.write_text(content)
                    result = subprocess.run([sys.executable, str(SCRIPT), "--script", str(path)],
                                            capture_output=True, timeout=30)
                    self.assertEqual(result.returncode, 2, result.stderr)


if __name__ == "__main__":
    unittest.main()
