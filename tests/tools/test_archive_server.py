#!/usr/bin/env python3
"""Tests of the local archive server (tools/archive_server.py).

The server runs as a subprocess on a free port. Its pages are read with the client's own
two regular expressions, taken from the client's sources and translated to Python's `re`
so that "." keeps the ECMAScript meaning (it stops at CR as well as at LF). Expected
results come from the catalogue file through predicates written here, not from the
server's code.
"""

import gzip
import html
import json
import os
import re
import select
import signal
import socket
import subprocess
import sys
import time
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
TOOLS = os.path.join(ROOT, "tools")
SERVER = os.path.join(TOOLS, "archive_server.py")
CATALOGUE = os.path.join(TOOLS, "catalogue.tsv")
PAGE = 20

DIFFICULTY_NAMES = {
    1: "1 - Very easy, for newbies", 2: "2 - Needs a little brain (or luck)",
    3: "3 - Getting harder", 4: "4 - Needs special knowledge",
    5: "5 - Professional problem to solve", 6: "6 - Hard, for very professionals only",
    7: "7 - Very hard", 8: "8 - *VERY VERY* hard", 9: "9 - You can't solve this yourself :)",
}
PLATFORM_IDS = {"1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "11", "100"}
LANGUAGE_IDS = {"1", "2", "3", "4", "5", "6", "7", "10", "100"}


# ---------------------------------------------------------------------------------------
# The client's contract with the page, read from its sources

def c_string_constant(path, name):
    """The value of `const char* const NAME = "..." "...";` in a C++ source file."""
    with open(path, encoding="utf-8") as f:
        source = f.read()
    start = source.index(name + " =")
    end = source.index(";", start)
    value = []
    for literal in re.findall(r'"((?:[^"\\]|\\.)*)"', source[start:end]):
        i = 0
        while i < len(literal):
            c = literal[i]
            if c == "\\":
                nxt = literal[i + 1]
                value.append({"n": "\n", "r": "\r", "t": "\t"}.get(nxt, nxt))
                i += 2
            else:
                value.append(c)
                i += 1
    return "".join(value)


def ecmascript_to_python(pattern):
    """Python's "." also matches CR; ECMAScript's matches no line terminator at all."""
    out = []
    i = 0
    in_class = False
    while i < len(pattern):
        c = pattern[i]
        if c == "\\":
            out.append(pattern[i:i + 2])
            i += 2
            continue
        if in_class:
            in_class = c != "]"
            out.append(c)
        elif c == "[":
            in_class = True
            out.append(c)
        elif c == ".":
            out.append("[^\\n\\r\\u2028\\u2029]")
        else:
            out.append(c)
        i += 1
    return "".join(out)


ENTRY_PATTERN = re.compile(ecmascript_to_python(c_string_constant(
    os.path.join(ROOT, "src", "site", "archive_parser.cpp"), "entry_pattern")), re.ASCII)
COUNT_PATTERN = re.compile(ecmascript_to_python(c_string_constant(
    os.path.join(ROOT, "src", "site", "result_count.cpp"), "count_pattern")), re.ASCII)


def parse_entries(page):
    return [{"url": m.group(1), "name": m.group(2), "difficulty": m.group(3),
             "solved": "Solved by" in m.group(0)} for m in ENTRY_PATTERN.finditer(page)]


def result_count(page):
    m = COUNT_PATTERN.search(page)
    return int(m.group(1)) if m else None


def vexlet_id(url):
    m = re.fullmatch(r"/vexlets/(\d+)/", url)
    return int(m.group(1)) if m else None


def load_catalogue():
    with open(CATALOGUE, encoding="utf-8") as f:
        lines = f.read().splitlines()
    names = lines[0].split("\t")
    rows = [dict(zip(names, line.split("\t"))) for line in lines[1:]]
    for r in rows:
        r["id"] = int(r["id"])
        r["difficulty"] = int(r["difficulty"])
        r["rating"] = float(r["rating"])
        r["solved"] = int(r["solved"])
    return {r["id"]: r for r in rows}


def form_body(**fields):
    form = {"sort": "DATE", "title": "", "start": "0", "difficulty": "0", "platform": "",
            "lang": "", "type": "ALL"}
    form.update({k: str(v) for k, v in fields.items()})
    from urllib.parse import quote_plus
    return "action=archive" + "".join(
        "&%s=%s" % (k, quote_plus(form[k], safe="", encoding="latin-1"))
        for k in ("sort", "title", "start", "difficulty", "platform", "lang", "type"))


# ---------------------------------------------------------------------------------------
# Process and connection helpers

class ServerProcess:
    def __init__(self, extra=()):
        self.proc = subprocess.Popen(
            [sys.executable, SERVER, "--host", "127.0.0.1", "--port", "0"] + list(extra),
            stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        ready, _, _ = select.select([self.proc.stdout], [], [], 10)
        if not ready:
            self.proc.kill()
            raise RuntimeError("server did not report readiness")
        self.ready_line = self.proc.stdout.readline().decode("ascii").rstrip("\n")
        m = re.fullmatch(r"archive server listening on 127\.0\.0\.1:(\d+)", self.ready_line)
        if not m:
            self.proc.kill()
            raise RuntimeError("unexpected ready line %r: %s" % (
                self.ready_line, self.proc.stderr.read().decode()))
        self.port = int(m.group(1))

    def stop(self, sig=signal.SIGTERM):
        self.proc.send_signal(sig)
        try:
            return self.proc.wait(10)
        finally:
            if self.proc.poll() is None:
                self.proc.kill()
            self.proc.stdout.close()
            self.proc.stderr.close()


class Response:
    def __init__(self, status_line, fields, raw_body, body):
        self.status_line = status_line
        self.status = int(status_line.split()[1])
        self.fields = fields  # [(name, value)] as sent
        self.raw_body = raw_body
        self.body = body

    def header(self, name):
        values = self.headers(name)
        return values[0] if values else None

    def headers(self, name):
        return [v for n, v in self.fields if n.lower() == name.lower()]

    @property
    def text(self):
        return self.body.decode("latin-1")


class Connection:
    def __init__(self, port, tls=None, name="localhost"):
        self.sock = socket.create_connection(("127.0.0.1", port), timeout=10)
        if tls is not None:
            self.sock = tls.wrap_socket(self.sock, server_hostname=name)
        self.buffer = b""

    def close(self):
        self.sock.close()

    def send(self, method, path, body=b"", headers=()):
        if isinstance(body, str):
            body = body.encode("latin-1")
        lines = ["%s %s HTTP/1.1" % (method, path), "Host: archive.test"]
        lines += ["%s: %s" % h for h in headers]
        if method == "POST":
            lines.append("Content-Length: %d" % len(body))
            lines.append("Content-Type: application/x-www-form-urlencoded")
        self.sock.sendall(("\r\n".join(lines) + "\r\n\r\n").encode("latin-1") + body)

    def _fill(self):
        piece = self.sock.recv(65536)
        if not piece:
            raise ConnectionError("closed by the server")
        self.buffer += piece

    def _take_until(self, marker):
        while marker not in self.buffer:
            self._fill()
        i = self.buffer.index(marker) + len(marker)
        taken, self.buffer = self.buffer[:i], self.buffer[i:]
        return taken

    def _take(self, n):
        while len(self.buffer) < n:
            self._fill()
        taken, self.buffer = self.buffer[:n], self.buffer[n:]
        return taken

    def read_response(self):
        head = self._take_until(b"\r\n\r\n").decode("latin-1")
        lines = head[:-4].split("\r\n")
        fields = [tuple(part.strip() for part in line.split(":", 1)) for line in lines[1:]]
        resp = Response(lines[0], fields, b"", b"")
        if resp.header("Transfer-Encoding") == "chunked":
            raw, body = b"", b""
            while True:
                size_line = self._take_until(b"\r\n")
                size = int(size_line.split(b";")[0], 16)
                raw += size_line
                if size == 0:
                    raw += self._take_until(b"\r\n")
                    break
                data = self._take(size + 2)
                raw += data
                body += data[:-2]
            resp.raw_body, resp.body = raw, body
        else:
            resp.body = resp.raw_body = self._take(int(resp.header("Content-Length")))
        return resp

    def request(self, method, path, body=b"", headers=()):
        self.send(method, path, body, headers)
        return self.read_response()

    def closed_by_peer(self):
        """True when the server closed the connection with nothing left unread."""
        if self.buffer:
            return False
        try:
            return self.sock.recv(1) == b""
        except ConnectionResetError:
            return True


# ---------------------------------------------------------------------------------------

class ArchiveServerTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.server = ServerProcess()
        cls.catalogue = load_catalogue()

    @classmethod
    def tearDownClass(cls):
        cls.server.stop()

    def setUp(self):
        self.connections = []
        self.control("POST", "/_reset")

    def tearDown(self):
        for c in self.connections:
            c.close()

    def connect(self):
        c = Connection(self.server.port)
        self.connections.append(c)
        return c

    def control(self, method, path, payload=None):
        c = Connection(self.server.port)
        try:
            body = json.dumps(payload) if payload is not None else b""
            resp = c.request(method, path, body, [("Connection", "close")])
        finally:
            c.close()
        self.assertEqual(resp.header("Content-Type"), "application/json")
        return resp.status, json.loads(resp.body.decode("utf-8"))

    def faults(self, **settings):
        status, reply = self.control("POST", "/_faults", settings)
        self.assertEqual(status, 200, reply)

    def log(self):
        status, entries = self.control("GET", "/_log")
        self.assertEqual(status, 200)
        return entries

    def search(self, conn=None, **fields):
        conn = conn or self.connect()
        resp = conn.request("POST", "/archive/", form_body(**fields), [("Cookie", "session=x")])
        self.assertEqual(resp.status, 200)
        return resp

    def search_all(self, **fields):
        """Every entry of a search, page after page on one connection, and the count."""
        conn = self.connect()
        first = self.search(conn, start=0, **fields).text
        total = result_count(first)
        entries = parse_entries(first)
        for start in range(PAGE, total, PAGE):
            entries += parse_entries(self.search(conn, start=start, **fields).text)
        return total, entries

    def ids(self, entries):
        return [vexlet_id(e["url"]) for e in entries]

    # -- the catalogue ------------------------------------------------------------------

    def test_catalogue_file_is_what_the_generator_writes(self):
        generated = subprocess.run([sys.executable, os.path.join(TOOLS, "make_catalogue.py"), "-"],
                                   stdout=subprocess.PIPE, check=True).stdout
        with open(CATALOGUE, "rb") as f:
            self.assertEqual(generated, f.read())

    def test_catalogue_fields_use_the_client_vocabularies(self):
        rows = list(self.catalogue.values())
        self.assertTrue(300 <= len(rows) <= 400)
        self.assertEqual({r["difficulty"] for r in rows}, set(range(1, 10)))
        self.assertEqual({r["platform"] for r in rows}, PLATFORM_IDS)
        self.assertEqual({r["lang"] for r in rows}, LANGUAGE_IDS)
        self.assertTrue(any(r["solved"] == 0 for r in rows) and any(r["solved"] for r in rows))
        for ch in "&<\">":
            self.assertTrue(any(ch in r["name"] for r in rows), ch)
        # Names in Japanese, Cyrillic, Greek and Chinese, the newest of all.
        for first, last in ((0x3040, 0x30FF), (0x0400, 0x04FF), (0x0370, 0x03FF), (0x4E00, 0x9FFF)):
            self.assertTrue(any(first <= ord(c) <= last for r in rows for c in r["name"]), hex(first))
        newest = sorted(rows, key=lambda r: r["date"])[-8:]
        self.assertTrue(all(any(ord(c) > 0x2FF for c in r["name"]) for r in newest))

    # -- result pages -------------------------------------------------------------------

    def test_first_page_has_count_line_and_twenty_parsable_entries(self):
        text = self.search().text
        self.assertIn("SEARCH RESULTS [1 - 20 of %d]" % len(self.catalogue), text)
        self.assertEqual(result_count(text), len(self.catalogue))
        entries = parse_entries(text)
        self.assertEqual(len(entries), PAGE)
        for e in entries:
            v = self.catalogue[vexlet_id(e["url"])]
            escaped = html.escape(v["name"], quote=True).replace("&#x27;", "'")
            # Latin-1 pages write names in other scripts as references.
            self.assertEqual(e["name"], escaped.encode("latin-1", "xmlcharrefreplace").decode("latin-1"))
            self.assertEqual(e["difficulty"], DIFFICULTY_NAMES[v["difficulty"]])
            self.assertEqual(e["solved"], v["solved"] > 0)
        self.assertNotRegex(text.replace("\r\n", ""), "[\r\n]", "every line ends with CR LF")

    def test_every_catalogue_entry_survives_the_parser(self):
        total, entries = self.search_all(sort="DIFF")
        self.assertEqual(total, len(self.catalogue))
        self.assertEqual(sorted(self.ids(entries)), sorted(self.catalogue))
        for e in entries:
            v = self.catalogue[vexlet_id(e["url"])]
            self.assertEqual(html.unescape(e["name"]), v["name"])
            self.assertEqual(e["solved"], v["solved"] > 0)
            self.assertEqual(e["difficulty"], DIFFICULTY_NAMES[v["difficulty"]])

    def test_names_with_markup_characters_are_written_as_references(self):
        total, entries = self.search_all(title="&")
        self.assertGreater(total, 0)
        for e in entries:
            self.assertIn("&amp;", e["name"])
        _, entries = self.search_all(title="<")
        self.assertTrue(entries)
        for e in entries:
            self.assertIn("&lt;", e["name"])
            self.assertNotIn("<", e["name"])

    def test_sort_orders(self):
        orders = {
            "DATE": lambda v: (tuple(-int(x) for x in v["date"].split("-")), v["id"]),
            "DATE_INV": lambda v: (v["date"], v["id"]),
            "DIFF": lambda v: (v["difficulty"], v["id"]),
            "DIFF_INV": lambda v: (-v["difficulty"], v["id"]),
            "TOP": lambda v: (-v["rating"], v["id"]),
            "BOTTOM": lambda v: (v["rating"], v["id"]),
        }
        seen = set()
        for sort, key in orders.items():
            with self.subTest(sort=sort):
                total, entries = self.search_all(sort=sort)
                ids = self.ids(entries)
                self.assertEqual(total, len(self.catalogue))
                self.assertEqual(sorted(ids), sorted(self.catalogue))
                keys = [key(self.catalogue[i]) for i in ids]
                self.assertEqual(keys, sorted(keys))
                seen.add(tuple(ids))
        self.assertEqual(len(seen), len(orders))

    def test_filters(self):
        cases = [
            ({"difficulty": "4"}, lambda v: v["difficulty"] == 4),
            ({"platform": "1"}, lambda v: v["platform"] == "1"),
            ({"platform": "100"}, lambda v: v["platform"] == "100"),
            ({"lang": "10"}, lambda v: v["lang"] == "10"),
            ({"type": "SOLVED"}, lambda v: v["solved"] > 0),
            ({"type": "UNSOLVED"}, lambda v: v["solved"] == 0),
            ({"type": "GOOD"}, lambda v: v["rating"] >= 3.0),
            ({"type": "BAD"}, lambda v: v["rating"] < 3.0),
            ({"title": "KEYLOOM"}, lambda v: "keyloom" in v["name"].lower()),
            ({"title": "tom & j"}, lambda v: "tom & j" in v["name"].lower()),
            ({"difficulty": "2", "platform": "1", "lang": "2", "type": "SOLVED"},
             lambda v: (v["difficulty"], v["platform"], v["lang"]) == (2, "1", "2") and v["solved"]),
        ]
        for fields, keep in cases:
            with self.subTest(**fields):
                expected = sorted(i for i, v in self.catalogue.items() if keep(v))
                self.assertTrue(expected)
                total, entries = self.search_all(**fields)
                self.assertEqual(total, len(expected))
                self.assertEqual(sorted(self.ids(entries)), expected)

    def test_search_without_matches_has_a_zero_count_and_no_entries(self):
        text = self.search(title="no such vexlet anywhere").text
        self.assertIn("SEARCH RESULTS [0 - 0 of 0]", text)
        self.assertEqual(result_count(text), 0)
        self.assertEqual(parse_entries(text), [])

    def test_paging_by_start(self):
        conn = self.connect()
        whole = self.ids(parse_entries(self.search(conn, start=0, sort="TOP").text))
        second = self.search(conn, start=20, sort="TOP").text
        shifted = self.search(conn, start=7, sort="TOP").text
        self.assertIn("SEARCH RESULTS [21 - 40 of %d]" % len(self.catalogue), second)
        self.assertIn("SEARCH RESULTS [8 - 27 of %d]" % len(self.catalogue), shifted)
        self.assertEqual(self.ids(parse_entries(shifted))[:13], whole[7:])
        self.assertFalse(set(self.ids(parse_entries(second))) & set(whole))
        n = len(self.catalogue)
        last_start = (n - 1) // PAGE * PAGE
        last = self.search(conn, start=last_start, sort="TOP").text
        self.assertEqual(len(parse_entries(last)), n - last_start)
        self.assertIn("[%d - %d of %d]" % (last_start + 1, n, n), last)
        beyond = self.search(conn, start=n + 40, sort="TOP").text
        self.assertEqual(parse_entries(beyond), [])
        self.assertEqual(result_count(beyond), n)

    def test_other_requests(self):
        conn = self.connect()
        missing = conn.request("GET", "/nothing/here")
        self.assertEqual(missing.status, 404)
        self.assertIn("<html>", missing.text)
        plain = conn.request("GET", "/archive/")
        self.assertEqual(plain.status, 200)
        self.assertEqual(result_count(plain.text), 0)
        self.assertEqual(parse_entries(plain.text), [])

    # -- cookies and connections --------------------------------------------------------

    def test_cookie_only_for_requests_without_one(self):
        conn = self.connect()
        first = conn.request("POST", "/archive/", form_body())
        self.assertEqual(first.header("Set-Cookie"), "session=1; path=/")
        later = conn.request("POST", "/archive/", form_body(start=20),
                             [("cookie", first.header("Set-Cookie"))])
        self.assertIsNone(later.header("Set-Cookie"))
        again = conn.request("POST", "/archive/", form_body())
        self.assertEqual(again.header("Set-Cookie"), "session=2; path=/")

    def test_several_cookies_are_set_replaced_and_removed(self):
        self.faults(cookies=True)
        conn = self.connect()
        first = conn.request("POST", "/archive/", form_body())
        cookies = first.headers("Set-Cookie")
        self.assertEqual(cookies[:2], ["session=1; path=/", "lang=en; Path=/; Max-Age=31536000"])
        self.assertRegex(cookies[2], r"^visits=1; Expires=\w{3}, \d\d \w{3} \d{4} [\d:]{8} GMT; HttpOnly$")
        self.assertEqual(len(cookies), 3)
        later = conn.request("POST", "/archive/", form_body(start=20),
                             [("Cookie", "session=1; lang=en; visits=1")])
        self.assertEqual(later.headers("Set-Cookie"),
                         ["visits=2; HttpOnly", "lang=; Expires=Thu, 01 Jan 1970 00:00:00 GMT; Path=/"])
        self.assertEqual(self.log()[1]["headers"]["cookie"], "session=1; lang=en; visits=1")

    def test_keep_alive_serves_many_requests_on_one_connection(self):
        a = self.connect()
        for start in (0, 20, 40, 60, 80):
            self.assertEqual(len(parse_entries(self.search(a, start=start).text)), PAGE)
        b = self.connect()
        self.search(b)
        self.search(a, start=100)
        self.assertEqual([e["connection"] for e in self.log()], [0, 0, 0, 0, 0, 1, 0])

    def test_connection_close_is_honoured(self):
        conn = self.connect()
        resp = conn.request("POST", "/archive/", form_body(), [("Connection", "close")])
        self.assertEqual(resp.status, 200)
        self.assertEqual(resp.header("Connection"), "close")
        self.assertTrue(conn.closed_by_peer())

    # -- faults -------------------------------------------------------------------------

    def test_chunked_reply_decodes_to_the_sized_body(self):
        sized = self.search(sort="DIFF_INV", start=40)
        self.assertIsNotNone(sized.header("Content-Length"))
        for size in (7, 16, 100):
            with self.subTest(chunk_size=size):
                self.faults(chunked=True, chunk_size=size)
                chunked = self.search(sort="DIFF_INV", start=40)
                self.assertEqual(chunked.header("Transfer-Encoding"), "chunked")
                self.assertIsNone(chunked.header("Content-Length"))
                self.assertEqual(chunked.body, sized.body)
                sizes = self.chunk_sizes(chunked.raw_body)
                self.assertTrue(all(0 < s <= size for s in sizes[:-1]))
                self.assertGreater(sizes[:-1].count(size), 0.9 * (len(sizes) - 1))
                # A reader that stops at the first end marker reads the whole reply.
                self.assertEqual(chunked.raw_body.index(b"0\r\n\r\n"), len(chunked.raw_body) - 5)
        self.control("POST", "/_reset")
        self.faults(chunked=True)
        default = self.search(sort="DIFF_INV", start=40)
        self.assertEqual(self.chunk_sizes(default.raw_body)[0], 7)
        # Chunk framing lands inside entries, so the raw bytes no longer parse as the page.
        self.assertNotEqual(parse_entries(default.raw_body.decode("latin-1")),
                            parse_entries(default.text))

    @staticmethod
    def chunk_sizes(raw):
        sizes, pos = [], 0
        while True:
            eol = raw.index(b"\r\n", pos)
            size = int(raw[pos:eol].split(b";")[0], 16)
            sizes.append(size)
            if size == 0:
                return sizes
            pos = eol + 2 + size + 2

    def test_lower_case_names_and_chunk_extensions(self):
        sized = self.search(start=20)
        self.faults(lower_case_names=True)
        lower = self.search(start=20)
        self.assertEqual([n for n, _ in lower.fields], [n.lower() for n, _ in sized.fields])
        self.assertIn("content-length", [n for n, _ in lower.fields])
        self.assertEqual(lower.body, sized.body)
        self.assertTrue(lower.status_line.startswith("HTTP/1.1 200 "))
        self.faults(chunked=True, chunk_size=100, chunk_extensions=True)
        extended = self.search(start=20)
        self.assertIn(("transfer-encoding", "chunked"), extended.fields)
        self.assertEqual(extended.body, sized.body)
        size_lines = re.findall(rb"(?:^|\r\n)([0-9a-f]+;[^\r\n]*)\r\n", extended.raw_body)
        self.assertEqual(size_lines[0], b'64;n=0;note="chunk 0; of the page"')
        self.assertEqual(len(size_lines), len(self.chunk_sizes(extended.raw_body)))
        self.assertTrue(extended.raw_body.endswith(b';note="chunk %d; of the page"\r\n\r\n' % (len(size_lines) - 1)))

    def test_trickle_sends_a_byte_at_a_time(self):
        self.faults(trickle_ms=50)
        conn = self.connect()
        began = time.monotonic()
        conn.send("POST", "/archive/", form_body(), [("Cookie", "session=x")])
        pieces = [conn.sock.recv(100) for _ in range(5)]
        self.assertEqual(b"".join(pieces), b"HTTP/")
        self.assertGreaterEqual(time.monotonic() - began, 0.2)

    def test_total_pretends_a_count_with_distinct_entries(self):
        self.faults(total=1000)
        conn = self.connect()
        first = self.search(conn).text
        self.assertIn("SEARCH RESULTS [1 - 20 of 1000]", first)
        urls = []
        for start in (0, 340, 360, 720, 980):
            urls += [e["url"] for e in parse_entries(self.search(conn, start=start).text)]
        self.assertEqual(len(urls), 5 * PAGE)
        self.assertEqual(len(set(urls)), len(urls))
        tail = self.search(conn, start=990).text
        self.assertEqual(len(parse_entries(tail)), 10)
        self.assertIn("[991 - 1000 of 1000]", tail)

        self.faults(total=45)
        matching = {i for i, v in self.catalogue.items() if "tom & j" in v["name"].lower()}
        total, entries = self.search_all(title="tom & j")
        self.assertEqual(total, 45)
        self.assertEqual(len(entries), 45)
        self.assertEqual(len({e["url"] for e in entries}), 45)
        for e in entries:
            self.assertIn(int(e["url"].split("/")[2]), matching)

        self.faults(total=5)
        text = self.search().text
        self.assertEqual(len(parse_entries(text)), 5)
        self.assertIn("[1 - 5 of 5]", text)

        self.faults(total=0)
        text = self.search().text
        self.assertIn("of 0]", text)
        self.assertEqual(result_count(text), 0)
        self.assertEqual(parse_entries(text), [])

    def test_no_count(self):
        self.faults(no_count=True)
        text = self.search().text
        self.assertIsNone(result_count(text))
        self.assertEqual(len(parse_entries(text)), PAGE)

    def test_delay_from_an_index(self):
        self.faults(delay_ms=600, delay_from=1)
        conn = self.connect()
        times = []
        for start in (0, 20, 40):
            began = time.monotonic()
            self.search(conn, start=start)
            times.append(time.monotonic() - began)
        self.assertLess(times[0], 0.6)
        self.assertGreaterEqual(times[1], 0.6)
        self.assertGreaterEqual(times[2], 0.6)

    def test_stall_in_the_body_from_an_index(self):
        self.faults(stall_body_ms=600, delay_from=1)
        conn = self.connect()
        self.assertEqual(len(parse_entries(self.search(conn).text)), PAGE)
        conn.send("POST", "/archive/", form_body(start=20))
        began = time.monotonic()
        while b"\r\n\r\n" not in conn.buffer:
            conn._fill()
        self.assertLess(time.monotonic() - began, 0.6)
        resp = conn.read_response()
        self.assertGreaterEqual(time.monotonic() - began, 0.6)
        self.assertEqual(len(parse_entries(resp.text)), PAGE)

    def test_close_after(self):
        self.faults(close_after=2)
        a = self.connect()
        self.search(a)
        self.search(a, start=20)
        self.assertTrue(a.closed_by_peer())
        b = self.connect()
        b.send("POST", "/archive/", form_body())
        self.assertTrue(b.closed_by_peer())
        self.assertEqual([(e["connection"], e["form"]["start"]) for e in self.log()],
                         [(0, "0"), (0, "20"), (1, "0")])

    def test_close_after_zero_replies_to_nothing(self):
        self.faults(close_after=0)
        a = self.connect()
        a.send("POST", "/archive/", form_body())
        self.assertTrue(a.closed_by_peer())

    def test_jitter_is_the_same_for_the_same_page(self):
        self.faults(jitter_ms=400)
        conn = self.connect()
        waits = {}
        for start in (0, 20, 40, 60, 0, 20, 40, 60):
            began = time.monotonic()
            self.search(conn, start=start)
            waits.setdefault(start, []).append(time.monotonic() - began)
        for start, (first, second) in waits.items():
            self.assertLess(abs(first - second), 0.1, start)
        spread = [w[0] for w in waits.values()]
        self.assertGreater(max(spread) - min(spread), 0.05, "the pages wait alike")

    def test_cut_start_ends_its_first_replies_halfway(self):
        self.faults(cut_start=20, cut_times=2)
        for _ in range(2):
            conn = self.connect()
            self.search(conn, start=0)
            conn.send("POST", "/archive/", form_body(start=20))
            with self.assertRaises(ConnectionError):
                conn.read_response()
            self.assertGreater(len(conn.buffer), 0, "part of the reply came")
        self.assertEqual(len(parse_entries(self.search(start=20).text)), PAGE)

    def test_close_each_closes_after_one_reply(self):
        self.faults(close_each=True)
        for _ in range(2):
            conn = self.connect()
            resp = self.search(conn)
            self.assertIsNone(resp.header("Connection"))
            self.assertTrue(conn.closed_by_peer())
        self.assertEqual([e["connection"] for e in self.log()], [0, 1])

    def test_one_at_a_time_holds_the_others_until_it_closes(self):
        self.faults(one_at_a_time=True)
        a, b = self.connect(), self.connect()
        self.search(a)
        b.send("POST", "/archive/", form_body(start=20))
        ready, _, _ = select.select([b.sock], [], [], 0.5)
        self.assertEqual(ready, [], "a second connection was served")
        self.assertEqual(len(self.log()), 1, "control paths are not held")
        self.search(a, start=40)
        a.close()
        self.assertEqual(len(parse_entries(b.read_response().text)), PAGE)

    def test_status(self):
        self.faults(status=500)
        conn = self.connect()
        resp = conn.request("POST", "/archive/", form_body())
        self.assertEqual(resp.status, 500)
        self.assertTrue(resp.status_line.startswith("HTTP/1.1 500 "))
        self.assertIn("<html>", resp.text)
        self.assertEqual(parse_entries(resp.text), [])
        self.assertIsNone(result_count(resp.text))
        # The connection stays usable.
        self.assertEqual(conn.request("POST", "/archive/", form_body()).status, 500)

    def test_split_head(self):
        self.faults(split_head=True)
        split_seen = False
        for _ in range(5):
            conn = self.connect()
            conn.send("POST", "/archive/", form_body())
            first_piece = conn.sock.recv(65536)
            conn.buffer = first_piece
            resp = conn.read_response()
            self.assertEqual(len(parse_entries(resp.text)), PAGE)
            if b"\r\n\r\n" not in first_piece:
                self.assertFalse(first_piece.endswith(b"\r\n"))
                self.assertGreater(first_piece.count(b"\r\n"), 0)
                split_seen = True
                break
        self.assertTrue(split_seen)

    def test_first_url_and_first_name(self):
        self.faults(first_url="http://elsewhere.example/x y?a=1&b=2", first_name='Q&A <b>"x"</b>')
        conn = self.connect()
        plain_second = None
        for start in (0, 20):
            entries = parse_entries(self.search(conn, start=start).text)
            self.assertEqual(entries[0]["url"], "http://elsewhere.example/x y?a=1&b=2")
            self.assertEqual(entries[0]["name"], "Q&amp;A &lt;b&gt;&quot;x&quot;&lt;/b&gt;")
            self.assertIsNotNone(vexlet_id(entries[1]["url"]))
            plain_second = plain_second or entries[1]
        self.control("POST", "/_reset")
        self.assertEqual(parse_entries(self.search().text)[1], plain_second)

    def test_pages_in_the_charset_asked_for(self):
        self.faults(first_name="caf\u00e9 \u20ac \u30c6\U0001F600")
        cases = [
            # charset, where it is named, the Content-Type, whether the head has a <meta>
            ({}, "text/html; charset=ISO-8859-1", True, "latin-1"),
            ({"charset": "utf-8"}, "text/html; charset=utf-8", True, "utf-8"),
            ({"charset": "windows-1252", "charset_in": "header"}, "text/html; charset=windows-1252", False, "cp1252"),
            ({"charset": "utf-8", "charset_in": "meta"}, "text/html", True, "utf-8"),
            ({"charset": "utf-8", "charset_in": "none"}, "text/html", False, "utf-8"),
        ]
        for settings, content_type, has_meta, codec in cases:
            with self.subTest(**settings):
                self.faults(**settings)
                resp = self.search()
                self.assertEqual(resp.header("Content-Type"), content_type)
                text = resp.body.decode(codec)
                label = settings.get("charset", "ISO-8859-1")
                meta = '<meta http-equiv="Content-Type" content="text/html; charset=%s">' % label
                self.assertEqual(meta in text, has_meta)
                entries = parse_entries(text)
                self.assertEqual(len(entries), PAGE)
                # What the character set lacks goes out as a reference.
                self.assertEqual(html.unescape(entries[0]["name"]), "caf\u00e9 \u20ac \u30c6\U0001F600")
                self.assertEqual(html.unescape(entries[1]["name"]),
                                 self.catalogue[vexlet_id(entries[1]["url"])]["name"])
        self.assertIn("\u20ac \u30c6\U0001F600".encode("utf-8"), resp.body)
        for bad in ({"charset": "no-such-set"}, {"charset_in": "footer"}):
            status, _ = self.control("POST", "/_faults", bad)
            self.assertEqual(status, 400)

    def test_faults_accumulate_and_reset_clears_them(self):
        self.faults(no_count=True)
        self.faults(total=3)
        text = self.search().text
        self.assertIsNone(result_count(text))
        self.assertEqual(len(parse_entries(text)), 3)
        self.control("POST", "/_reset")
        self.assertEqual(self.log(), [])
        text = self.search().text
        self.assertEqual(result_count(text), len(self.catalogue))
        self.assertEqual(len(parse_entries(text)), PAGE)

    def test_bad_fault_settings_are_refused_whole(self):
        for payload in ('{"status": 500', '[1]', '{"colour": 1}', '{"total": "12"}',
                        '{"chunked": 1}', '{"status": 500, "delay_ms": true}', '{"chunk_size": 0}'):
            with self.subTest(payload=payload):
                c = Connection(self.server.port)
                resp = c.request("POST", "/_faults", payload, [("Connection", "close")])
                c.close()
                self.assertEqual(resp.status, 400)
                self.assertIn("error", json.loads(resp.body))
        self.assertEqual(self.search().status, 200)

    # -- the log ------------------------------------------------------------------------

    def test_log_records_archive_requests_only(self):
        conn = self.connect()
        body = form_body(title="a&b c", start=20, difficulty=3)
        conn.request("POST", "/archive/", body, [("X-Probe", "Abc"), ("cookie", "session=7")])
        conn.request("GET", "/nothing")
        self.control("GET", "/_log")
        log = self.log()
        self.assertEqual(len(log), 2)
        post, get = log
        self.assertEqual(post["connection"], 0)
        self.assertEqual(post["method"], "POST")
        self.assertEqual(post["path"], "/archive/")
        self.assertEqual(post["body"], body)
        self.assertIn("title=a%26b+c&", post["body"])
        self.assertEqual(post["form"], {"action": "archive", "sort": "DATE", "title": "a&b c",
                                        "start": "20", "difficulty": "3", "platform": "",
                                        "lang": "", "type": "ALL"})
        self.assertEqual(post["headers"]["x-probe"], "Abc")
        self.assertEqual(post["headers"]["cookie"], "session=7")
        self.assertEqual(post["headers"]["content-length"], str(len(body)))
        self.assertEqual((get["method"], get["path"], get["body"], get["form"]),
                         ("GET", "/nothing", "", {}))

    def test_control_paths(self):
        status, _ = self.control("GET", "/_reset")
        self.assertEqual(status, 405)
        status, _ = self.control("POST", "/_nothing")
        self.assertEqual(status, 404)
        self.assertEqual(self.connect().request("GET", "/_crl").status, 404)
        self.assertEqual(self.log(), [])


class TlsTest(unittest.TestCase):
    """--tls: HTTPS beside the plain port, one archive behind both."""

    def test_https_ports_share_the_archive_and_present_their_certificates(self):
        import ssl
        import tempfile
        with tempfile.TemporaryDirectory() as certs:
            subprocess.run(["bash", os.path.join(TOOLS, "make_test_certs.sh"), certs], check=True)
            pem = lambda name: os.path.join(certs, name)
            server = ServerProcess(["--tls", pem("localhost.pem"), pem("localhost.key"), "--tls-port", "0",
                                    "--tls-also", "0", pem("expired.pem"), pem("expired.key")])
            try:
                ports = []
                for _ in range(2):
                    line = server.proc.stdout.readline().decode("ascii").rstrip("\n")
                    m = re.fullmatch(r"archive server listening on 127\.0\.0\.1:(\d+) \(HTTPS\)", line)
                    self.assertTrue(m, line)
                    ports.append(int(m.group(1)))
                trusting = ssl.create_default_context(cafile=pem("ca.pem"))
                conn = Connection(ports[0], trusting)
                for start in (0, 20):
                    resp = conn.request("POST", "/archive/", form_body(start=start))
                    self.assertEqual(resp.status, 200)
                    self.assertIn("SEARCH RESULTS [%d - %d of " % (start + 1, start + 20), resp.text)
                conn.close()
                with self.assertRaises(ssl.SSLCertVerificationError):
                    Connection(ports[1], trusting)
                log = json.loads(Connection(server.port).request("GET", "/_log").body)
                self.assertEqual([e["form"]["start"] for e in log], ["0", "20"])
            finally:
                self.assertEqual(server.stop(), 0)


class RevocationListTest(unittest.TestCase):
    def test_crl_is_served_where_certificates_say(self):
        import tempfile
        with tempfile.NamedTemporaryFile() as crl:
            crl.write(b"\x30\x03\x02\x01\x01")
            crl.flush()
            server = ServerProcess(["--crl", crl.name])
            try:
                conn = Connection(server.port)
                resp = conn.request("GET", "/_crl?ca=0123abcd")
                self.assertEqual((resp.status, resp.header("Content-Type")), (200, "application/pkix-crl"))
                self.assertEqual(resp.body, b"\x30\x03\x02\x01\x01")
                self.assertEqual(json.loads(conn.request("GET", "/_log").body), [])
                conn.close()
            finally:
                server.stop()


class GzipTest(unittest.TestCase):
    """--gzip: gzipped replies for the requests that take gzip, until the fault says otherwise."""

    def test_gzip_only_for_requests_that_take_it(self):
        server = ServerProcess(["--gzip"])
        try:
            conn = Connection(server.port)
            plain = conn.request("POST", "/archive/", form_body(start=20))
            self.assertIsNone(plain.header("Content-Encoding"))
            packed = conn.request("POST", "/archive/", form_body(start=20), [("Accept-Encoding", "deflate, gzip")])
            self.assertEqual(packed.header("Content-Encoding"), "gzip")
            self.assertEqual(gzip.decompress(packed.body), plain.body)
            refused = conn.request("POST", "/archive/", form_body(), [("Accept-Encoding", "gzip;q=0, deflate")])
            self.assertIsNone(refused.header("Content-Encoding"))
            conn.request("POST", "/_faults", json.dumps({"gzip": False}))
            self.assertIsNone(conn.request("POST", "/archive/", form_body(), [("Accept-Encoding", "gzip")])
                              .header("Content-Encoding"))
            conn.close()
        finally:
            self.assertEqual(server.stop(), 0)


class ServerLifetimeTest(unittest.TestCase):
    def test_signals_end_the_server_cleanly(self):
        for sig in (signal.SIGTERM, signal.SIGINT):
            with self.subTest(signal=sig):
                server = ServerProcess()
                conn = Connection(server.port)
                conn.request("POST", "/archive/", form_body())  # an idle keep-alive connection
                self.assertEqual(server.stop(sig), 0)
                conn.close()

    def test_reply_delay_holds_archive_replies_only(self):
        server = ServerProcess(["--reply-delay", "0.4"])
        try:
            conn = Connection(server.port)
            began = time.monotonic()
            conn.request("POST", "/_reset", b"", [("Connection", "close")])
            self.assertLess(time.monotonic() - began, 0.4)
            conn.close()
            conn = Connection(server.port)
            began = time.monotonic()
            self.assertEqual(conn.request("POST", "/archive/", form_body()).status, 200)
            self.assertGreaterEqual(time.monotonic() - began, 0.4)
            conn.close()
        finally:
            server.stop()
        proc = subprocess.run([sys.executable, SERVER, "--port", "0", "--reply-delay", "-1"],
                              stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=10)
        self.assertEqual(proc.returncode, 2)
        self.assertIn(b"--reply-delay", proc.stderr)

    def test_busy_port_is_reported(self):
        server = ServerProcess()
        try:
            proc = subprocess.run([sys.executable, SERVER, "--port", str(server.port)],
                                  stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=10)
            self.assertNotEqual(proc.returncode, 0)
            self.assertEqual(proc.stdout, b"")
        finally:
            server.stop()


if __name__ == "__main__":
    unittest.main()
