"""Tests of the demo news service: reply format, pages, refusals, HTTP/1.0 behaviour.

    python3 -m unittest discover tools/demo-news
"""

import http.client
import json
import os
import re
import socket
import subprocess
import sys
import tempfile
import time
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))

import server  # noqa: E402

NOW = 1765000000
SENTENCE = "K dispozici jsou aktuální informace VESK ve Vašem oboru".encode("cp1250")
ALL = "_".join(["1"] * 24)
NONE = "_".join(["0"] * 24)


def mask_of(*categories):
    return "_".join("1" if i in categories else "0" for i in range(1, 25))


def raw_exchange(port, request: bytes, timeout=10) -> bytes:
    """Sends REQUEST and reads until the server closes the connection."""
    with socket.create_connection(("127.0.0.1", port), timeout=timeout) as sock:
        sock.sendall(request)
        data = b""
        while True:
            chunk = sock.recv(65536)
            if not chunk:
                return data
            data += chunk


def split_response(data: bytes):
    head, _, body = data.partition(b"\r\n\r\n")
    lines = head.decode("latin-1").split("\r\n")
    headers = {k.lower(): v.strip() for k, _, v in (line.partition(":") for line in lines[1:])}
    return lines[0], headers, body


class ServiceTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        with open(server.DEFAULT_DATA, encoding="utf-8") as f:
            cls.data = json.load(f)
        categories, documents = server.load_documents(server.DEFAULT_DATA, NOW)
        cls.server, cls.thread = server.start_in_thread(server.NewsService(categories, documents, NOW))
        cls.port = cls.server.port

    @classmethod
    def tearDownClass(cls):
        cls.server.shutdown()
        cls.server.server_close()

    def get(self, target, method="GET"):
        """(status, headers, body) of an HTTP/1.0 request as the program sends it."""
        request = (f"{method} {target} HTTP/1.0\r\nUser-Agent: Pelmarin HTTPGet\r\n"
                   f"Host: 127.0.0.1:{self.port}\r\nAccept: */*\r\n\r\n").encode("ascii")
        status_line, headers, body = split_response(raw_exchange(self.port, request))
        return int(status_line.split()[1]), headers, body

    def expected_new(self, since, categories):
        """Stamps of the shipped documents newer than SINCE in CATEGORIES, computed from the file."""
        return [NOW - round(d["age_hours"] * 3600) for d in self.data["documents"]
                if NOW - round(d["age_hours"] * 3600) > since and set(d["categories"]) & set(categories)]

    # -- the check reply -----------------------------------------------------------------------
    def test_news_reply_follows_the_format_the_program_cuts(self):
        since = NOW - 7 * 86400
        status, headers, body = self.get(f"/vizedu_vesk/index.php?check={since}&data={ALL}")
        self.assertEqual(status, 200)
        self.assertEqual(headers["content-type"], "text/plain; charset=windows-1250")
        self.assertEqual(int(headers["content-length"]), len(body))
        expected = self.expected_new(since, range(1, 25))
        self.assertTrue(expected, "the shipped data should hold news of the last week")
        # The program's cut: text after the first "!" less the last 11 characters is the
        # announcement; the 10 characters after the first "#" are the new stamp.
        self.assertTrue(body.startswith(b"!"))
        self.assertEqual(body.count(b"!"), 1)
        self.assertEqual(body.count(b"#"), 1)
        hint, stamp = body[1:len(body) - 11], body[body.index(b"#") + 1:][:10]
        self.assertEqual(body[-11:], b"#" + stamp)
        self.assertIn(SENTENCE, hint)
        self.assertEqual(stamp, str(max(expected)).encode())
        self.assertIn(str(len(expected)).encode(), hint)

    def test_committed_stamp_is_not_news_again(self):
        since = NOW - 30 * 86400
        _, _, body = self.get(f"/vizedu_vesk/index.php?check={since}&data={mask_of(2, 13)}")
        newest = body[-10:].decode()
        self.assertEqual(int(newest), max(self.expected_new(since, [2, 13])))
        _, _, again = self.get(f"/vizedu_vesk/index.php?check={newest}&data={mask_of(2, 13)}")
        self.assertEqual(again, b"ok")
        _, _, earlier = self.get(f"/vizedu_vesk/index.php?check={int(newest) - 1}&data={mask_of(2, 13)}")
        self.assertEqual(earlier[-10:].decode(), newest)

    def test_only_watched_categories_count(self):
        since = NOW - 10 * 86400
        for categories in ([3], [17, 18], [24], list(range(1, 25))):
            with self.subTest(categories=categories):
                _, _, body = self.get(f"/vizedu_vesk/index.php?check={since}&data={mask_of(*categories)}")
                expected = self.expected_new(since, categories)
                if expected:
                    self.assertEqual(body[-10:], str(max(expected)).encode())
                    self.assertRegex(body.decode("cp1250"), rf"\b{len(expected)} nov")
                else:
                    self.assertEqual(body, b"ok")
        _, _, body = self.get(f"/vizedu_vesk/index.php?check={since}&data={NONE}")
        self.assertEqual(body, b"ok")

    def test_stamp_edge_values(self):
        for stamp, news in (("-1", True), ("0", True), ("-9999999999", True), ("9999999999", False),
                            (str(NOW), False)):
            with self.subTest(stamp=stamp):
                status, _, body = self.get(f"/vizedu_vesk/index.php?check={stamp}&data={ALL}")
                self.assertEqual(status, 200)
                self.assertEqual(body.startswith(b"!"), news)

    # -- pages ---------------------------------------------------------------------------------
    def test_news_page_lists_new_documents_of_watched_categories_in_cp1250(self):
        since = NOW - 3 * 86400
        status, headers, body = self.get(f"/vizedu_vesk/index.php?naposled={since}&data={mask_of(4, 23)}")
        self.assertEqual(status, 200)
        self.assertEqual(headers["content-type"], "text/html; charset=windows-1250")
        self.assertEqual(int(headers["content-length"]), len(body))
        page = body.decode("cp1250")
        self.assertIn('charset=windows-1250"', page)
        for doc in self.data["documents"]:
            stamp = NOW - round(doc["age_hours"] * 3600)
            listed = stamp > since and bool({4, 23} & set(doc["categories"]))
            with self.subTest(title=doc["title"]):
                self.assertEqual(doc["title"] in page, listed)
        self.assertIn("Elektrotechnika a elektronika", page)

    def test_news_page_without_news_says_so(self):
        _, _, body = self.get(f"/vizedu_vesk/index.php?naposled={NOW}&data={ALL}")
        self.assertIn("žádné nové dokumenty", body.decode("cp1250"))

    def test_index_and_info_pages(self):
        status, _, body = self.get("/vizedu_vesk/index.php")
        self.assertEqual(status, 200)
        page = body.decode("cp1250")
        for doc in self.data["documents"]:
            if doc["age_hours"] < server.RECENT_DAYS * 24:
                self.assertIn(doc["title"], page)
        status, headers, body = self.get("/vizedu_vesk/info.php")
        self.assertEqual(status, 200)
        self.assertEqual(int(headers["content-length"]), len(body))
        self.assertIn("Informace k programu", body.decode("cp1250"))
        # HEAD: same headers, no body.
        status, headers, body = self.get("/vizedu_vesk/info.php", method="HEAD")
        self.assertEqual((status, body), (200, b""))
        self.assertGreater(int(headers["content-length"]), 0)

    # -- refusals ------------------------------------------------------------------------------
    def test_malformed_queries_are_refused_with_400(self):
        good = ALL
        cases = {
            "stamp of 11 digits": f"check=12345678901&data={good}",
            "empty stamp": f"check=&data={good}",
            "letters in stamp": f"check=17000x0000&data={good}",
            "plus sign": f"check=%2B1700000000&data={good}",
            "double minus": f"check=--1&data={good}",
            "blank in stamp": f"check=1700000000%20&data={good}",
            "mask of 46 characters": f"check=1&data={good[:-1]}",
            "mask of 48 characters": f"check=1&data={good}0",
            "trailing separator": f"check=1&data={good}_",
            "letter as separator": f"check=1&data={good[:1]}x{good[2:]}",
            "digit 2 in mask": f"check=1&data=2{good[1:]}",
            "empty mask": "check=1&data=",
            "no mask": "check=1",
            "both check and naposled": f"check=1&naposled=1&data={good}",
            "neither": f"data={good}",
            "repeated data": f"check=1&data={good}&data={good}",
            "unknown key": f"check=1&data={good}&x=1",
            "broken pair": f"check=1&data={good}&&",
            "bad percent escape": f"check=%zz&data={good}",
            "non-UTF-8 escape": f"check=1&data=%ff{good[1:]}",
        }
        for name, query in cases.items():
            with self.subTest(name):
                status, headers, body = self.get(f"/vizedu_vesk/index.php?{query}")
                self.assertEqual(status, 400, body)
                self.assertEqual(int(headers["content-length"]), len(body))
                self.assertTrue(body.decode("cp1250").startswith("Chybný dotaz"))
                self.assertNotIn(SENTENCE, body)
        # The service is still there.
        self.assertEqual(self.get(f"/vizedu_vesk/index.php?check={NOW}&data={good}")[0], 200)

    def test_unknown_paths_and_methods(self):
        for target in ("/", "/vizedu_vesk/", "/vizedu_vesk/index.php/x", "/VIZEDU_VESK/index.php",
                       "/vizedu_vesk/../etc/passwd"):
            with self.subTest(target=target):
                self.assertEqual(self.get(target)[0], 404)
        self.assertEqual(self.get("/vizedu_vesk/index.php", method="POST")[0], 405)

    def test_garbage_requests_do_not_stop_the_service(self):
        for request in (b"\x00\xff garbage\r\n\r\n", b"GET\r\n\r\n", b"GET / HTTP/9.9\r\n\r\n",
                        b"GET /vizedu_vesk/index.php?check=1&data=" + b"1_" * 40000 + b" HTTP/1.0\r\n\r\n"):
            with self.subTest(request=request[:30]):
                reply = raw_exchange(self.port, request)
                if reply:
                    self.assertRegex(reply.split(b"\r\n")[0], rb"^HTTP/1\.[01] (400|414|505)")
        # A client that connects and says nothing does not block the others.
        with socket.create_connection(("127.0.0.1", self.port)):
            self.assertEqual(self.get("/vizedu_vesk/info.php")[0], 200)

    # -- protocol ------------------------------------------------------------------------------
    def test_http10_reply_has_length_and_closes(self):
        data = raw_exchange(self.port, f"GET /vizedu_vesk/index.php?check={NOW - 86400}&data={ALL} "
                                       "HTTP/1.0\r\n\r\n".encode())
        status_line, headers, body = split_response(data)
        self.assertRegex(status_line, r"^HTTP/1\.0 200 ")
        self.assertEqual(int(headers["content-length"]), len(body))  # and the server closed

    def test_http11_client_and_absolute_target(self):
        conn = http.client.HTTPConnection("127.0.0.1", self.port, timeout=10)
        conn.request("GET", f"http://127.0.0.1:{self.port}/vizedu_vesk/index.php?check={NOW}&data={ALL}")
        reply = conn.getresponse()
        self.assertEqual((reply.status, reply.read()), (200, b"ok"))
        conn.close()


class DataFileTest(unittest.TestCase):
    def write(self, content) -> Path:
        handle, name = tempfile.mkstemp(suffix=".json")
        with os.fdopen(handle, "w", encoding="utf-8") as f:
            json.dump(content, f, ensure_ascii=False)
        self.addCleanup(os.unlink, name)
        return Path(name)

    def test_shipped_data_covers_every_category(self):
        categories, documents = server.load_documents(server.DEFAULT_DATA, NOW)
        self.assertEqual(len(categories), 24)
        self.assertEqual(categories[0], "Administrativa")
        self.assertEqual(categories[23], "Zemědělství, lesnictví, myslivost")
        covered = {c for d in documents for c in d.categories}
        self.assertEqual(covered, set(range(1, 25)))
        self.assertTrue(all(NOW - 60 * 86400 < d.stamp <= NOW for d in documents))

    def test_titles_are_escaped_in_pages(self):
        path = self.write({"categories": [f"Obor {i}" for i in range(1, 25)],
                           "documents": [{"title": "Žebříky <a> & lešení", "categories": [1], "age_hours": 1}]})
        service = server.NewsService(*server.load_documents(path, NOW), NOW)
        page = service.news_page(0, tuple([True] * 24))
        self.assertIn("Žebříky &lt;a&gt; &amp; lešení", page)
        self.assertNotIn("<a>", page)

    def test_bad_data_files_are_refused(self):
        names = [f"Obor {i}" for i in range(1, 25)]
        doc = {"title": "Dokument", "categories": [1], "age_hours": 1}
        for name, content in {
            "23 categories": {"categories": names[:23], "documents": [doc]},
            "category 25": {"categories": names, "documents": [dict(doc, categories=[25])]},
            "category 0": {"categories": names, "documents": [dict(doc, categories=[0])]},
            "no categories": {"categories": names, "documents": [dict(doc, categories=[])]},
            "title with #": {"categories": names, "documents": [dict(doc, title="a#b")]},
            "title with !": {"categories": names, "documents": [dict(doc, title="Pozor!")]},
            "negative age": {"categories": names, "documents": [dict(doc, age_hours=-1)]},
            "title outside cp1250": {"categories": names, "documents": [dict(doc, title="日本")]},
        }.items():
            with self.subTest(name):
                with self.assertRaises((ValueError, UnicodeError)):
                    server.load_documents(self.write(content), NOW)


class CommandLineTest(unittest.TestCase):
    def test_free_port_is_printed_and_written(self):
        with tempfile.TemporaryDirectory() as tmp:
            port_file = Path(tmp) / "port.txt"
            proc = subprocess.Popen([sys.executable, str(Path(server.__file__)), "--port", "0", "--quiet",
                                     "--port-file", str(port_file), "--now", str(NOW)],
                                    stdout=subprocess.PIPE, stderr=subprocess.PIPE)
            try:
                printed = int(proc.stdout.readline())
                self.assertEqual(int(port_file.read_text()), printed)
                conn = http.client.HTTPConnection("127.0.0.1", printed, timeout=10)
                conn.request("GET", f"/vizedu_vesk/index.php?check={NOW - 3600}&data={ALL}")
                body = conn.getresponse().read()
                self.assertTrue(body.startswith(b"!") and SENTENCE in body, body)
            finally:
                proc.terminate()
                proc.wait(10)
                proc.stdout.close()
                proc.stderr.close()

    def test_bad_now_is_refused(self):
        for now in ("123", "12345678901", "abc"):
            with self.subTest(now=now):
                result = subprocess.run([sys.executable, str(Path(server.__file__)), "--now", now],
                                        capture_output=True, timeout=30)
                self.assertEqual(result.returncode, 2)


if __name__ == "__main__":
    unittest.main()
