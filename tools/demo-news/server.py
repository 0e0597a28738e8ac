#!/usr/bin/env python3
"""Demo news service: lets e-VESK vizedu run its whole check cycle on one machine.

    python3 tools/demo-news/server.py [--port 8080] [--port-file FILE] [--now STAMP]
                                      [--data documents.json] [--quiet]

Binds 127.0.0.1 only; with --port 0 (the default) it takes a free port, prints it on the
first line of its output and writes it to --port-file. Point the program at it with
    wine reg add 'HKCU\\software\\dorlen\\evesk' /v server /d 127.0.0.1:PORT /f

Documents come from documents.json: each has a Czech title, its categories and an age in
hours. Publication stamps count back from the moment the service started (or from --now),
so they stay fixed while it runs and a committed stamp is not reported as news again.

    GET /vizedu_vesk/index.php?check=STAMP&data=MASK
        "!" + announcement + "#" + newest stamp (10 digits) when documents newer than STAMP
        exist in the watched categories of MASK, otherwise "ok"; text in code page 1250.
    GET /vizedu_vesk/index.php?naposled=STAMP&data=MASK
        HTML page of those new documents.
    GET /vizedu_vesk/index.php          HTML page of all recently updated documents.
    GET /vizedu_vesk/info.php           HTML page about the program.

STAMP is 1 to 10 decimal digits with an optional leading "-"; MASK is 24 digits "0"/"1"
joined by "_". Anything else is answered with 400 (bad query) or 404 (unknown path).
"""

from __future__ import annotations

import argparse
import html
import json
import os
import re
import sys
import threading
import time
from dataclasses import dataclass
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer
from pathlib import Path
from urllib.parse import parse_qsl, urlsplit

HERE = Path(__file__).resolve().parent
DEFAULT_DATA = HERE / "documents.json"

CATEGORY_COUNT = 24
NEWS_SENTENCE = "K dispozici jsou aktuální informace VESK ve Vašem oboru"
NO_NEWS = "ok"
CHARSET = "windows-1250"
CODEC = "cp1250"

STAMP_RE = re.compile(r"-?[0-9]{1,10}")
MASK_RE = re.compile(r"[01](?:_[01]){%d}" % (CATEGORY_COUNT - 1))

INDEX_PATH = "/vizedu_vesk/index.php"
INFO_PATH = "/vizedu_vesk/info.php"
RECENT_DAYS = 60


class BadQuery(ValueError):
    """A request the service refuses with 400; the message is shown to the client."""


@dataclass(frozen=True)
class Document:
    title: str
    categories: tuple[int, ...]   # 1-based category numbers
    stamp: int


def load_documents(path: Path, now: int) -> tuple[list[str], list[Document]]:
    """Categories and documents of the data file, stamped relative to NOW."""
    with open(path, encoding="utf-8") as f:
        data = json.load(f)
    categories = data.get("categories")
    if not isinstance(categories, list) or len(categories) != CATEGORY_COUNT \
            or not all(isinstance(c, str) and c for c in categories):
        raise ValueError(f"{path}: 'categories' must list {CATEGORY_COUNT} names")
    documents = []
    for number, item in enumerate(data.get("documents") or [], 1):
        title, cats, age = item.get("title"), item.get("categories"), item.get("age_hours")
        if not isinstance(title, str) or not title.strip() or "!" in title or "#" in title:
            raise ValueError(f"{path}: document {number}: a title without '!' and '#' is required")
        if not isinstance(cats, list) or not cats or not all(
                isinstance(c, int) and 1 <= c <= CATEGORY_COUNT for c in cats):
            raise ValueError(f"{path}: document {number}: categories must be numbers 1 to {CATEGORY_COUNT}")
        if not isinstance(age, (int, float)) or age < 0:
            raise ValueError(f"{path}: document {number}: age_hours must be a number >= 0")
        title.encode(CODEC)  # every text must survive the client's code page
        documents.append(Document(title, tuple(sorted(set(cats))), now - int(round(age * 3600))))
    for name in categories:
        name.encode(CODEC)
    documents.sort(key=lambda d: (-d.stamp, d.title))
    return categories, documents


def parse_stamp(text: str) -> int:
    if not STAMP_RE.fullmatch(text):
        raise BadQuery("neplatné časové razítko (1 až 10 číslic, případně se znaménkem minus)")
    return int(text)


def parse_mask(text: str) -> tuple[bool, ...]:
    if not MASK_RE.fullmatch(text):
        raise BadQuery(f"neplatná maska kategorií ({CATEGORY_COUNT} číslic 0 nebo 1 oddělených znakem _)")
    return tuple(c == "1" for c in text[::2])


def parse_query(query: str) -> dict[str, str]:
    """Key/value pairs of a query; repeated or unknown keys are refused."""
    try:
        pairs = parse_qsl(query, keep_blank_values=True, strict_parsing=True, errors="strict")
    except (ValueError, UnicodeDecodeError):
        raise BadQuery("nečitelný dotaz") from None
    result: dict[str, str] = {}
    for key, value in pairs:
        if key not in ("check", "naposled", "data"):
            raise BadQuery(f"neznámý parametr {key!r}")
        if key in result:
            raise BadQuery(f"parametr {key!r} je uveden vícekrát")
        result[key] = value
    return result


def stamp_text(stamp: int) -> str:
    """The 10-character stamp of the reply format."""
    return f"{max(stamp, 0):010d}"[-10:]


def czech_count(n: int) -> str:
    if n == 1:
        return "1 nový dokument"
    if 2 <= n <= 4:
        return f"{n} nové dokumenty"
    return f"{n} nových dokumentů"


def format_date(stamp: int) -> str:
    t = time.localtime(stamp)
    return f"{t.tm_mday}. {t.tm_mon}. {t.tm_year} {t.tm_hour}:{t.tm_min:02d}"


class NewsService:
    """The replies of the service, independent of HTTP."""

    def __init__(self, categories: list[str], documents: list[Document], now: int):
        self.categories = categories
        self.documents = documents
        self.now = now

    def new_documents(self, since: int, mask: tuple[bool, ...]) -> list[Document]:
        return [d for d in self.documents
                if d.stamp > since and any(mask[c - 1] for c in d.categories)]

    def check_reply(self, since: int, mask: tuple[bool, ...]) -> str:
        found = self.new_documents(since, mask)
        if not found:
            return NO_NEWS
        # The client shows everything between "!" and "#" and stores the ten characters
        # after "#", so the body ends right after the stamp.
        announcement = f"{NEWS_SENTENCE}: {czech_count(len(found))}."
        return "!" + announcement + "#" + stamp_text(max(d.stamp for d in found))

    def _category_names(self, doc: Document) -> str:
        return ", ".join(self.categories[c - 1] for c in doc.categories)

    def _page(self, title: str, body: str) -> str:
        return ("<!DOCTYPE html>\n<html lang=\"cs\">\n<head>\n"
                f"<meta http-equiv=\"Content-Type\" content=\"text/html; charset={CHARSET}\">\n"
                f"<title>{html.escape(title)} – e-VESK vizedu</title>\n"
                "<style>body{font-family:sans-serif;margin:2em;max-width:60em}"
                "table{border-collapse:collapse}td,th{padding:.3em .8em;border-bottom:1px solid #ccc;"
                "text-align:left;vertical-align:top}</style>\n"
                f"</head>\n<body>\n<h1>{html.escape(title)}</h1>\n{body}"
                f"<p><a href=\"{INDEX_PATH}\">Všechny naposledy aktualizované dokumenty</a> · "
                f"<a href=\"{INFO_PATH}\">Informace k programu</a></p>\n</body>\n</html>\n")

    def _table(self, documents: list[Document]) -> str:
        rows = "".join(f"<tr><td>{html.escape(d.title)}</td><td>{html.escape(self._category_names(d))}</td>"
                       f"<td>{format_date(d.stamp)}</td></tr>\n" for d in documents)
        return ("<table>\n<tr><th>Dokument</th><th>Kategorie</th><th>Aktualizováno</th></tr>\n"
                f"{rows}</table>\n")

    def news_page(self, since: int, mask: tuple[bool, ...]) -> str:
        found = self.new_documents(since, mask)
        watched = [name for name, on in zip(self.categories, mask) if on]
        intro = (f"<p>Sledované kategorie: {html.escape(', '.join(watched)) or 'žádné'}.</p>\n"
                 f"<p>Změny od {format_date(since)}: {czech_count(len(found))}.</p>\n")
        if not found:
            return self._page("Nové dokumenty", intro + "<p>Ve sledovaných kategoriích nejsou "
                              "od vaší poslední návštěvy žádné nové dokumenty.</p>\n")
        return self._page("Nové dokumenty", intro + self._table(found))

    def index_page(self) -> str:
        recent = [d for d in self.documents if d.stamp > self.now - RECENT_DAYS * 86400]
        return self._page("Naposledy aktualizované dokumenty",
                          f"<p>Dokumenty aktualizované za posledních {RECENT_DAYS} dní.</p>\n"
                          + self._table(recent))

    def info_page(self) -> str:
        names = "".join(f"<li>{html.escape(n)}</li>" for n in self.categories)
        return self._page("Informace k programu", (
            "<p>Program e-VESK vizedu hlídá za vás novinky informačního servisu o bezpečnosti "
            "a ochraně zdraví při práci. Žije v oznamovací oblasti hlavního panelu Windows.</p>\n"
            "<ol>\n<li>V okně programu zaškrtněte obory, které chcete sledovat, a potvrďte je "
            "tlačítkem OK.</li>\n<li>Program se zeptá serveru, zda od vaší poslední návštěvy "
            "přibyly dokumenty ve vybraných oborech.</li>\n<li>Pokud ano, ikona v oznamovací oblasti "
            "začne blikat a zobrazí se bublina s oznámením.</li>\n<li>Klepnutím na bublinu otevřete "
            "v prohlížeči přehled nových dokumentů.</li>\n</ol>\n"
            "<p>Při zaškrtnutém automatickém spuštění se program spouští po přihlášení a novinky "
            "ověří hned po startu.</p>\n"
            f"<h2>Sledované obory</h2>\n<ul>{names}</ul>\n"
            "<p>Tento server je ukázkovou službou pro vývoj a zkoušky programu.</p>\n"))

    def respond(self, target: str) -> tuple[int, str, str]:
        """(status, content type, text) for a request target (path and query)."""
        if target.startswith(("http://", "https://")):
            target = urlsplit(target)._replace(scheme="", netloc="").geturl() or "/"
        path, _, query = target.partition("?")
        try:
            if path == INFO_PATH:
                return 200, "text/html", self.info_page()
            if path != INDEX_PATH:
                return 404, "text/plain", "Stránka nenalezena"
            if not query:
                return 200, "text/html", self.index_page()
            params = parse_query(query)
            if ("check" in params) == ("naposled" in params):
                raise BadQuery("uveďte právě jeden z parametrů check a naposled")
            if "data" not in params:
                raise BadQuery("chybí parametr data")
            mask = parse_mask(params["data"])
            if "check" in params:
                return 200, "text/plain", self.check_reply(parse_stamp(params["check"]), mask)
            return 200, "text/html", self.news_page(parse_stamp(params["naposled"]), mask)
        except BadQuery as error:
            return 400, "text/plain", f"Chybný dotaz: {error}"


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.0"
    server_version = "VizeduDemo/1.0"
    timeout = 30  # a silent client must not hold a thread for ever
    # Unparsable request lines would otherwise be answered in the headerless 0.9 style.
    default_request_version = "HTTP/1.0"
    server: "DemoServer"

    def send_error(self, code: int, message: str | None = None, explain: str | None = None) -> None:
        """Protocol-level refusals (bad request line, too long, bad version) as short text."""
        self.close_connection = True
        self._send(code, "text/plain", f"Chybný požadavek ({code})", self.command != "HEAD")

    def _reply(self, with_body: bool) -> None:
        try:
            status, kind, text = self.server.service.respond(self.path)
        except Exception as error:  # noqa: BLE001 - a fault in one reply must not stop the service
            self.log_error("internal error: %r", error)
            status, kind, text = 500, "text/plain", "Chyba serveru"
        self._send(status, kind, text, with_body)

    def _send(self, status: int, kind: str, text: str, with_body: bool) -> None:
        body = text.encode(CODEC, "replace")
        self.send_response(status)
        self.send_header("Content-Type", f"{kind}; charset={CHARSET}")
        self.send_header("Content-Length", str(len(body)))
        self.send_header("Cache-Control", "no-cache")
        self.send_header("Connection", "close")
        if status == 405:
            self.send_header("Allow", "GET, HEAD")
        self.end_headers()
        if with_body:
            self.wfile.write(body)

    def do_GET(self) -> None:  # noqa: N802
        self._reply(True)

    def do_HEAD(self) -> None:  # noqa: N802
        self._reply(False)

    def do_POST(self) -> None:  # noqa: N802
        self._send(405, "text/plain", "Metoda není podporována", True)

    do_PUT = do_DELETE = do_PATCH = do_POST

    def log_message(self, format: str, *args) -> None:  # noqa: A002
        if not self.server.quiet:
            super().log_message(format, *args)


class DemoServer(ThreadingHTTPServer):
    daemon_threads = True
    block_on_close = False

    def __init__(self, service: NewsService, port: int = 0, quiet: bool = False):
        self.service = service
        self.quiet = quiet
        super().__init__(("127.0.0.1", port), Handler)

    @property
    def port(self) -> int:
        return self.server_address[1]


def start_in_thread(service: NewsService, port: int = 0) -> tuple[DemoServer, threading.Thread]:
    server = DemoServer(service, port, quiet=True)
    thread = threading.Thread(target=server.serve_forever, kwargs={"poll_interval": 0.1}, daemon=True)
    thread.start()
    return server, thread


def main(argv: list[str] | None = None) -> int:
    parser = argparse.ArgumentParser(description="Demo news service for e-VESK vizedu (127.0.0.1 only).")
    parser.add_argument("--port", type=int, default=0, help="port to listen on (0: a free port)")
    parser.add_argument("--port-file", help="write the port to this file once listening")
    parser.add_argument("--now", help="fixed present moment as a 10-digit stamp (default: the start time)")
    parser.add_argument("--data", default=str(DEFAULT_DATA), help="documents file (JSON)")
    parser.add_argument("--quiet", action="store_true", help="do not log requests")
    args = parser.parse_args(argv)

    if args.now is not None and not re.fullmatch(r"[1-9][0-9]{9}", args.now):
        parser.error("--now must be a stamp of exactly 10 digits")
    if not 0 <= args.port <= 65535:
        parser.error("--port must be 0 to 65535")
    now = int(args.now) if args.now else int(time.time())
    try:
        categories, documents = load_documents(Path(args.data), now)
        server = DemoServer(NewsService(categories, documents, now), args.port, args.quiet)
    except (OSError, ValueError, UnicodeError) as error:
        print(f"demo-news: {error}", file=sys.stderr)
        return 2

    if args.port_file:
        temp = f"{args.port_file}.{os.getpid()}.tmp"
        with open(temp, "w", encoding="ascii") as f:
            f.write(f"{server.port}\n")
        os.replace(temp, args.port_file)
    print(server.port, flush=True)
    print(f"demo-news: http://127.0.0.1:{server.port}{INDEX_PATH} ({len(documents)} documents)",
          file=sys.stderr, flush=True)
    try:
        server.serve_forever(poll_interval=0.2)
    except KeyboardInterrupt:
        pass
    finally:
        server.server_close()
    return 0


if __name__ == "__main__":
    sys.exit(main())
