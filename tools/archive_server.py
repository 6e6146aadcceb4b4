#!/usr/bin/env python3
"""A local stand-in for the vexlet archive site.

Answers the archive's search form from a fixed sample catalogue with result pages in the
line layout the client's parser depends on, keeps connections alive, hands out session
cookies, and lets end-to-end tests inject faults and read back what the client sent
through control paths under "/_" that never show up in the request log.

Standard library only. See tools/README.md for the control interface.
"""

import argparse
import codecs
import datetime
import email.utils
import http
import json
import os
import random
import signal
import socket
import socketserver
import ssl
import sys
import threading
import time
import urllib.parse
import zlib

PAGE_SIZE = 20
IDLE_TIMEOUT_S = 300
MAX_LINE = 65536
MAX_HEADERS = 200
MAX_BODY = 16 * 1024 * 1024
# Pages are Latin-1 so that every byte the client sends in a form value comes back as the
# same byte; names outside Latin-1 go out as character references. The "charset" fault
# writes pages in another character set, and "charset_in" says where a page names it.
CHARSET = "ISO-8859-1"
CHARSET_PLACES = ("both", "header", "meta", "none")

DIFFICULTY_NAMES = {
    "1": "1 - Very easy, for newbies",
    "2": "2 - Needs a little brain (or luck)",
    "3": "3 - Getting harder",
    "4": "4 - Needs special knowledge",
    "5": "5 - Professional problem to solve",
    "6": "6 - Hard, for very professionals only",
    "7": "7 - Very hard",
    "8": "8 - *VERY VERY* hard",
    "9": "9 - You can't solve this yourself :)",
}
PLATFORM_NAMES = {
    "1": "Windows", "2": "DOS", "3": "Unix/linux etc.", "4": "Multiplatform",
    "5": "Windows 98 only", "6": "Windows 2000/XP only", "7": "DVL - Damn Vulnerable Linux",
    "8": "Windows Vista Only", "9": "The Binary Auditor", "10": "Windows 7 Only",
    "11": "Mac OS X", "100": "Unspecified/other",
}
LANGUAGE_NAMES = {
    "1": "Assembler", "2": "C/C++", "3": "Borland Delphi", "4": "(Visual) Basic", "5": "Java",
    "6": "Python", "7": ".NET", "10": "Turbo Pascal", "100": "Unspecified",
}
DESCRIPTIONS = [
    "Find a valid serial for your name. No patching.",
    "Write a keygen; a patch is not a solution.",
    "Unpack it and make it say thank you.",
    "Remove the nag and explain how you did it.",
    "Reverse the check and write a tutorial.",
]
GOOD_RATING = 30  # tenths: 3.0 and above is a good vexlet, below it a bad one

FAULT_TYPES = {
    "total": int, "no_count": bool, "delay_ms": int, "delay_from": int, "stall_body_ms": int,
    "close_after": int,
    "status": int, "chunked": bool, "chunk_size": int, "split_head": bool,
    "first_url": str, "first_name": str, "charset": str, "charset_in": str, "location": str,
    "jitter_ms": int, "cut_start": int, "cut_times": int, "close_each": bool,
    "one_at_a_time": bool, "lower_case_names": bool, "cookies": bool, "chunk_extensions": bool,
    "trickle_ms": int,
    "gzip": bool, "content_coding": str, "silent_names": bool,
}
DEFAULT_CHUNK_SIZE = 7
SPLIT_HEAD_PAUSE_S = 0.05


# ---------------------------------------------------------------------------------------
# Catalogue and search

class Vexlet:
    __slots__ = ("id", "name", "author", "difficulty", "platform", "lang", "date", "day",
                 "rating", "solved")

    def __init__(self, fields):
        self.id = int(fields["id"])
        self.name = fields["name"]
        self.author = fields["author"]
        self.difficulty = int(fields["difficulty"])
        self.platform = fields["platform"]
        self.lang = fields["lang"]
        self.date = fields["date"]
        self.day = datetime.date.fromisoformat(fields["date"]).toordinal()
        whole, _, tenth = fields["rating"].partition(".")
        self.rating = int(whole) * 10 + int(tenth or "0")
        self.solved = int(fields["solved"])

    @property
    def url(self):
        return "/vexlets/%d/" % self.id


def load_catalogue(path):
    with open(path, encoding="utf-8", newline="") as f:
        lines = f.read().split("\n")
    header = lines[0].rstrip("\r").split("\t")
    rows = []
    for line in lines[1:]:
        line = line.rstrip("\r")
        if not line:
            continue
        rows.append(Vexlet(dict(zip(header, line.split("\t")))))
    return rows


SORT_KEYS = {
    "DATE": lambda v: (-v.day, v.id),
    "DATE_INV": lambda v: (v.day, v.id),
    "DIFF": lambda v: (v.difficulty, v.id),
    "DIFF_INV": lambda v: (-v.difficulty, v.id),
    "TOP": lambda v: (-v.rating, v.id),
    "BOTTOM": lambda v: (v.rating, v.id),
}

TYPE_TESTS = {
    "SOLVED": lambda v: v.solved > 0,
    "UNSOLVED": lambda v: v.solved == 0,
    "GOOD": lambda v: v.rating >= GOOD_RATING,
    "BAD": lambda v: v.rating < GOOD_RATING,
}


def search(catalogue, form):
    """The vexlets a search form selects, in the order it asks for.

    Missing fields mean "any", as do the site's own "any" values; an unknown sort order
    falls back to the newest first and an unknown type to all vexlets, the way a lenient
    site would rather than failing the whole search.
    """
    title = form.get("title", "").lower()
    difficulty = form.get("difficulty", "0")
    platform = form.get("platform", "")
    lang = form.get("lang", "")
    kind = TYPE_TESTS.get(form.get("type", "ALL"))
    found = []
    for v in catalogue:
        if title and title not in v.name.lower():
            continue
        if difficulty not in ("", "0") and difficulty != str(v.difficulty):
            continue
        if platform and platform != v.platform:
            continue
        if lang and lang != v.lang:
            continue
        if kind and not kind(v):
            continue
        found.append(v)
    found.sort(key=sort_key(form))
    return found


def sort_key(form):
    return SORT_KEYS.get(form.get("sort", "DATE"), SORT_KEYS["DATE"])


# ---------------------------------------------------------------------------------------
# Pages

def escape(text):
    return (text.replace("&", "&amp;").replace("<", "&lt;").replace(">", "&gt;")
            .replace('"', "&quot;"))


def page_entries(catalogue, form, faults):
    """(total, [(vexlet, url, raw name)]) for the page that starts at the form's start."""
    found = search(catalogue, form)
    try:
        start = max(0, int(form.get("start", "0")))
    except ValueError:
        start = 0
    total = len(found)
    if "total" in faults:
        total = max(0, faults["total"])
        # Past the real results the list repeats the pool under new urls, so that a large
        # pretend count still pages through distinct entries.
        if not found:
            found = sorted(catalogue, key=sort_key(form))
    entries = []
    for i in range(start, min(start + PAGE_SIZE, total)):
        v = found[i % len(found)]
        copy = i // len(found)
        url = v.url if copy == 0 else "%scopy-%d/" % (v.url, copy)
        entries.append((v, url, v.name))
    if entries and "first_url" in faults:
        v, _, name = entries[0]
        entries[0] = (v, faults["first_url"], name)
    if entries and "first_name" in faults:
        v, url, _ = entries[0]
        entries[0] = (v, url, faults["first_name"])
    return start, total, entries


# Every line ends with CR LF: the client finds entries line by line and gives up on a page
# with bare line feeds.
PAGE_HEAD = (
    "<!DOCTYPE html>\r\n"
    "<html>\r\n"
    "<head>\r\n"
    "%s"
    "<title>Vexlet archive</title>\r\n"
    "<link rel=\"stylesheet\" href=\"/style.css\">\r\n"
    "<script type=\"text/javascript\">function more(n){return n<20;}</script>\r\n"
    "</head>\r\n"
    "<body>\r\n"
    "<div id=\"menu\"><a href=\"/\">Home</a> | <a href=\"/archive/\">Archive</a> | "
    "<a href=\"/faq/\">FAQ</a></div>\r\n"
    "<h1>Archive</h1>\r\n"
)
PAGE_TAIL = (
    "<div id=\"footer\">All vexlets are the property of their authors.</div>\r\n"
    "</body>\r\n"
    "</html>\r\n"
)


def render_entry(v, url, name):
    solved = ("Solved by %d" % v.solved) if v.solved > 0 else "Not solved yet"
    return (
        "<div class=\"entry\">\r\n"
        "<h2><a href=\"%s\">%s</a> <span class=\"date\">%s</span></h2>\r\n"
        "<p class=\"meta\">Author: %s &middot; Platform: %s &middot; Language: %s</p>\r\n"
        "<p class=\"meta\">Rating: %d.%d &middot; Difficulty: %s</p>\r\n"
        "<p class=\"solved\">%s</p>\r\n"
        "<p class=\"desc\">%s</p>\r\n"
        "</div>\r\n"
    ) % (url, escape(name), v.date, escape(v.author),
         escape(PLATFORM_NAMES.get(v.platform, "Unspecified/other")),
         escape(LANGUAGE_NAMES.get(v.lang, "Unspecified")),
         v.rating // 10, v.rating % 10,
         escape(DIFFICULTY_NAMES.get(str(v.difficulty), str(v.difficulty))),
         solved, DESCRIPTIONS[v.id % len(DESCRIPTIONS)])


def meta_line(charset):
    """The head's <meta> naming the page's character set, or nothing for None."""
    if charset is None:
        return ""
    return "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=%s\">\r\n" % charset


def render_page(start, total, entries, with_count=True, meta_charset=CHARSET):
    parts = [PAGE_HEAD % meta_line(meta_charset)]
    if with_count:
        if entries:
            span = "%d - %d" % (start + 1, start + len(entries))
        else:
            span = "0 - 0"
        # The count stays alone on its line: the client takes the last " of N]" there.
        parts.append("<table class=\"bar\"><tr><td>SEARCH RESULTS [%s of %d]</td></tr></table>\r\n"
                     % (span, total))
    for v, url, name in entries:
        parts.append(render_entry(v, url, name))
    pages = (total + PAGE_SIZE - 1) // PAGE_SIZE
    parts.append("<div class=\"pager\">Page %d of %d</div>\r\n"
                 % (start // PAGE_SIZE + 1 if entries else 0, pages))
    parts.append(PAGE_TAIL)
    return "".join(parts)


def small_page(title, text):
    return ("<!DOCTYPE html>\r\n<html>\r\n<head><title>%s</title></head>\r\n<body>\r\n"
            "<h1>%s</h1>\r\n<p>%s</p>\r\n</body>\r\n</html>\r\n") % (title, title, escape(text))


def reason(status):
    try:
        return http.HTTPStatus(status).phrase
    except ValueError:
        return "Status %d" % status


def chunk_extension(index):
    """Extensions for the size line of chunk `index` (RFC 9112 7.1.1): a token and a quoted
    string, as a server that numbers its chunks might write them."""
    return b';n=%d;note="chunk %d; of the page"' % (index, index)


def chunk_body(body, size, extensions=False):
    """Chunked framing with data chunks of `size` bytes, each size line with extensions
    (`chunk_extension`) when asked.

    A client that ends a chunked body at the first CR LF "0" CR LF CR LF it sees in the raw
    bytes would end the reply early at a chunk whose size line ends in "0" followed by data
    starting with CR LF. Such a chunk is made shorter until the framing forges no end
    marker; only data that itself holds the marker can still produce one.
    """
    out = bytearray()
    pos = 0
    index = 0
    while pos < len(body):
        n = min(size, len(body) - pos)
        extension = chunk_extension(index) if extensions else b""
        chosen = None
        for m in range(n, 0, -1):
            framed = b"%x" % m + extension + b"\r\n" + body[pos:pos + m] + b"\r\n"
            if b"0\r\n\r\n" not in bytes(out[-4:]) + framed:
                chosen, taken = framed, m
                break
        if chosen is None:
            chosen, taken = b"%x" % n + extension + b"\r\n" + body[pos:pos + n] + b"\r\n", n
        out += chosen
        pos += taken
        index += 1
    out += b"0" + (chunk_extension(index) if extensions else b"") + b"\r\n\r\n"
    return bytes(out)


def session_cookies(session, several):
    """The Set-Cookie values of a reply to a request that came without a cookie: the session,
    and with "cookies" two more, with attributes a browser keeps to itself."""
    cookies = ["session=%d; path=/" % session]
    if several:
        tomorrow = email.utils.formatdate(time.time() + 86400, usegmt=True)
        cookies += ["lang=en; Path=/; Max-Age=31536000", "visits=1; Expires=%s; HttpOnly" % tomorrow]
    return cookies


def later_cookies(cookie_header):
    """With "cookies", what a reply to a request with cookies sets: "visits" counted up (a new
    value for a name the client has), and "lang" removed by an expiry in the past."""
    sent = dict(part.strip().partition("=")[::2] for part in cookie_header.split(";") if "=" in part)
    try:
        visits = int(sent.get("visits", "0"))
    except ValueError:
        visits = 0
    return ["visits=%d; HttpOnly" % (visits + 1), "lang=; Expires=Thu, 01 Jan 1970 00:00:00 GMT; Path=/"]


# Compressed pages kept, as a site's cache keeps them, so that a client's time is not the
# server's compressing (the benchmarks compare refreshes with and without compression): the
# 5,000 pages of 100,000 entries fit. A dict's single steps need no lock of their own.
COMPRESSED_KEPT = 6000
compressed_pages = {}


def encode_content(payload, coding):
    """The payload in a content coding: gzip and deflate (the zlib wrapper) compress it, any
    other name leaves the bytes as they are (a coding the client cannot read)."""
    if coding not in ("gzip", "deflate"):
        return payload
    key = (coding, payload)
    kept = compressed_pages.get(key)
    if kept is not None:
        return kept
    if coding == "gzip":
        compressor = zlib.compressobj(6, zlib.DEFLATED, 16 + zlib.MAX_WBITS)
        packed = compressor.compress(payload) + compressor.flush()
    else:
        packed = zlib.compress(payload, 6)
    if len(compressed_pages) >= COMPRESSED_KEPT:
        compressed_pages.clear()
    compressed_pages[key] = packed
    return packed


def accepts_gzip(request):
    """Whether the request's Accept-Encoding takes gzip (RFC 9110 12.5.3: q=0 refuses it)."""
    for item in (request.header("accept-encoding") or "").split(","):
        name, *params = item.split(";")
        if name.strip().lower() not in ("gzip", "x-gzip"):
            continue
        for param in params:
            key, _, value = param.partition("=")
            try:
                if key.strip().lower() == "q" and float(value) == 0:
                    return False
            except ValueError:
                return False
        return True
    return False


# ---------------------------------------------------------------------------------------
# Shared state

class State:
    def __init__(self, catalogue):
        self.catalogue = catalogue
        self.lock = threading.Lock()
        # Held by the one connection served while "one_at_a_time" is on.
        self.serving = threading.Lock()
        self.reset()

    def reset(self):
        # Caller holds the lock, or the object is not shared yet.
        self.generation = getattr(self, "generation", 0) + 1
        self.log = []
        self.faults = {}
        self.next_connection = 0
        self.next_session = 1
        self.replies = 0
        self.cuts = 0

    def set_faults(self, settings):
        for name, value in settings.items():
            expected = FAULT_TYPES.get(name)
            if expected is None:
                raise ValueError("unknown fault %r" % name)
            # bool is an int in Python; keep the two apart so typos do not slip through.
            if type(value) is not expected:
                raise ValueError("fault %r needs a %s" % (name, expected.__name__))
        if settings.get("chunk_size", 1) < 1:
            raise ValueError("chunk_size must be at least 1")
        if "charset" in settings:
            try:
                codecs.lookup(settings["charset"])
            except LookupError:
                raise ValueError("unknown charset %r" % settings["charset"])
        if settings.get("charset_in", "both") not in CHARSET_PLACES:
            raise ValueError("charset_in must be one of %s" % ", ".join(CHARSET_PLACES))
        self.faults.update(settings)


class Connection:
    def __init__(self):
        self.generation = 0
        self.number = None

    def number_in(self, state):
        # Numbers count the connections that asked something since the last reset, in
        # the order of their first request, so tests see 0, 1, ... whatever came before.
        if self.generation != state.generation:
            self.generation = state.generation
            self.number = state.next_connection
            state.next_connection += 1
        return self.number


# ---------------------------------------------------------------------------------------
# HTTP

class BadRequest(Exception):
    pass


class Request:
    def __init__(self, method, target, version, headers, body):
        self.method = method
        self.target = target
        self.version = version
        self.headers = headers  # list of (lower-case name, value)
        self.body = body

    def header(self, name):
        values = [v for n, v in self.headers if n == name]
        return ", ".join(values) if values else None

    @property
    def path(self):
        return urllib.parse.urlsplit(self.target).path

    def wants_close(self):
        tokens = [t.strip().lower() for t in (self.header("connection") or "").split(",")]
        if "close" in tokens:
            return True
        return self.version == "HTTP/1.0" and "keep-alive" not in tokens


def read_line(rfile):
    line = rfile.readline(MAX_LINE + 1)
    if len(line) > MAX_LINE:
        raise BadRequest("line too long")
    return line


def read_request(rfile):
    """The next request on the connection, or None when the peer closed it."""
    line = read_line(rfile)
    while line in (b"\r\n", b"\n"):  # stray line ends between requests are tolerated
        line = read_line(rfile)
    if not line:
        return None
    parts = line.decode("latin-1").strip().split()
    if len(parts) != 3 or not parts[2].startswith("HTTP/"):
        raise BadRequest("bad request line")
    method, target, version = parts
    headers = []
    while True:
        line = read_line(rfile)
        if not line:
            return None
        if line in (b"\r\n", b"\n"):
            break
        if len(headers) >= MAX_HEADERS:
            raise BadRequest("too many header fields")
        name, colon, value = line.decode("latin-1").partition(":")
        if not colon:
            raise BadRequest("bad header line")
        headers.append((name.strip().lower(), value.strip()))
    request = Request(method, target, version, headers, b"")
    if (request.header("transfer-encoding") or "").lower() == "chunked":
        request.body = read_chunked(rfile)
    else:
        length = request.header("content-length")
        if length:
            try:
                n = int(length)
            except ValueError:
                raise BadRequest("bad content-length")
            if n < 0 or n > MAX_BODY:
                raise BadRequest("bad content-length")
            request.body = rfile.read(n)
            if len(request.body) < n:
                return None
    return request


def read_chunked(rfile):
    body = bytearray()
    while True:
        size_line = read_line(rfile)
        try:
            size = int(size_line.split(b";")[0].strip(), 16)
        except ValueError:
            raise BadRequest("bad chunk size")
        if size == 0:
            while read_line(rfile) not in (b"\r\n", b"\n", b""):
                pass
            return bytes(body)
        if len(body) + size > MAX_BODY:
            raise BadRequest("body too large")
        body += rfile.read(size)
        read_line(rfile)


def make_head(status, fields, lower_case=False):
    """The reply's head; field names in lower case with `lower_case`, as h11 and others write
    them (RFC 9110 5.1: they are case-insensitive)."""
    lines = ["HTTP/1.1 %d %s" % (status, reason(status))]
    lines += ["%s: %s" % ((n.lower() if lower_case else n), v) for n, v in fields]
    return ("\r\n".join(lines) + "\r\n\r\n").encode("latin-1")


class Handler(socketserver.BaseRequestHandler):
    def setup(self):
        self.request.settimeout(IDLE_TIMEOUT_S)
        self.request.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
        if self.server.tls is not None:
            # The handshake happens here; a client that refuses the certificate ends it, and
            # the connection with it, before any request.
            self.request = self.server.tls.wrap_socket(self.request, server_side=True)
        self.rfile = self.request.makefile("rb")
        self.connection = Connection()
        self.serving = False

    def finish(self):
        self.rfile.close()
        if self.serving:
            self.server.state.serving.release()
        if self.server.tls is not None:
            self.request.close()

    def handle(self):
        try:
            while True:
                try:
                    request = read_request(self.rfile)
                except BadRequest as e:
                    self.send(400, [("Content-Type", "text/html; charset=" + CHARSET)],
                              small_page("Bad Request", str(e)).encode("latin-1"), close=True)
                    return
                if request is None:
                    return
                if request.path.startswith("/_"):
                    keep = self.control(request)
                else:
                    keep = self.archive(request)
                if not keep:
                    return
        except (OSError, socket.timeout):
            return

    # -- control paths ------------------------------------------------------------------

    def control(self, request):
        state = self.server.state
        routes = {"/_reset": "POST", "/_faults": "POST", "/_log": "GET", "/_crl": "GET"}
        path = request.path
        status, reply = 200, None
        if path not in routes:
            status, reply = 404, {"error": "no such control path"}
        elif request.method != routes[path]:
            status, reply = 405, {"error": "use %s" % routes[path]}
        elif path == "/_crl":
            return self.send_crl(request)
        elif path == "/_reset":
            with state.lock:
                state.reset()
            reply = {"ok": True}
        elif path == "/_faults":
            try:
                settings = json.loads(request.body.decode("utf-8"))
                if not isinstance(settings, dict):
                    raise ValueError("expected a JSON object")
                with state.lock:
                    state.set_faults(settings)
                    reply = dict(state.faults)
            except ValueError as e:  # json.JSONDecodeError and UnicodeDecodeError included
                status, reply = 400, {"error": str(e)}
        else:
            with state.lock:
                reply = list(state.log)
        body = json.dumps(reply, indent=1).encode("utf-8")
        close = request.wants_close()
        fields = [("Content-Type", "application/json"), ("Content-Length", str(len(body)))]
        if close:
            fields.append(("Connection", "close"))
        self.request.sendall(make_head(status, fields) + body)
        return not close

    def send_crl(self, request):
        """The test authority's revocation list (--crl), where its certificates say it is."""
        close = request.wants_close()
        crl = self.server.crl
        status = 200 if crl is not None else 404
        body = crl if crl is not None else small_page("404 Not Found", "No revocation list.").encode("latin-1")
        fields = [("Content-Type", "application/pkix-crl" if crl is not None else "text/html"),
                  ("Content-Length", str(len(body)))]
        if close:
            fields.append(("Connection", "close"))
        self.request.sendall(make_head(status, fields) + body)
        return not close

    # -- archive requests ---------------------------------------------------------------

    def archive(self, request):
        state = self.server.state
        body_text = request.body.decode("latin-1")
        form = dict(urllib.parse.parse_qsl(body_text, keep_blank_values=True, encoding="latin-1"))
        with state.lock:
            one_at_a_time = state.faults.get("one_at_a_time", False)
        if one_at_a_time and not self.serving:
            # The others wait until this connection closes, as behind a single worker.
            state.serving.acquire()
            self.serving = True
        with state.lock:
            index = len(state.log)
            state.log.append({
                "connection": self.connection.number_in(state),
                # The name the TLS handshake asked for (SNI), None without one or over HTTP.
                "sni": getattr(self.request, "vex_sni", None),
                "method": request.method,
                "path": request.target,
                "headers": {n: request.header(n) for n, _ in request.headers},
                "body": body_text,
                "form": form,
            })
            faults = dict(state.faults)
            limit = faults.get("close_after")
            if limit is not None and state.replies >= limit:
                return False  # the server has "gone away": close without a word
            state.replies += 1
            close_after_reply = (limit is not None and state.replies >= limit
                                 or faults.get("close_each", False))
            cut = (form.get("start") == str(faults.get("cut_start"))
                   and state.cuts < faults.get("cut_times", 1))
            if cut:
                state.cuts += 1
            cookies = []
            sent_cookies = (request.header("cookie") or "").strip()
            if not sent_cookies:
                cookies = session_cookies(state.next_session, faults.get("cookies", False))
                state.next_session += 1
            elif faults.get("cookies", False):
                cookies = later_cookies(sent_cookies)

        delayed = index >= faults.get("delay_from", 0)
        if faults.get("delay_ms", 0) > 0 and delayed:
            time.sleep(faults["delay_ms"] / 1000.0)
        if faults.get("jitter_ms", 0) > 0:
            # The same page always waits the same: replies on several connections come
            # back in an order of their own, the same in every run.
            time.sleep(random.Random(form.get("start", "")).randint(0, faults["jitter_ms"]) / 1000.0)
        if self.server.reply_delay > 0:
            time.sleep(self.server.reply_delay)

        charset = faults.get("charset", CHARSET)
        charset_in = faults.get("charset_in", "both")
        path = request.path
        if "status" in faults:
            status = faults["status"]
            text = small_page("%d %s" % (status, reason(status)), "The archive is not available.")
        elif path == "/archive/":
            status = 200
            if request.method == "POST":
                start, total, entries = page_entries(state.catalogue, form, faults)
            else:
                start, total, entries = 0, 0, []
            text = render_page(start, total, entries, with_count=not faults.get("no_count", False),
                               meta_charset=charset if charset_in in ("both", "meta") else None)
        else:
            status = 404
            text = small_page("404 Not Found", "There is nothing at %s." % path)
        payload = text.encode(charset, errors="xmlcharrefreplace")
        content_type = "text/html"
        if charset_in in ("both", "header"):
            content_type += "; charset=" + charset

        close = close_after_reply or request.wants_close()
        fields = [("Date", email.utils.formatdate(usegmt=True)),
                  ("Server", "vexlet-archive/1.0"),
                  ("Content-Type", content_type)]
        fields += [("Set-Cookie", c) for c in cookies]
        if "location" in faults:
            fields.append(("Location", faults["location"]))
        if request.wants_close():
            fields.append(("Connection", "close"))
        coding = faults.get("content_coding")
        if coding is None and faults.get("gzip", self.server.gzip) and accepts_gzip(request):
            coding = "gzip"
        if coding:
            fields.append(("Content-Encoding", coding))
            payload = encode_content(payload, coding)
        if faults.get("chunked", False):
            fields.append(("Transfer-Encoding", "chunked"))
            payload = chunk_body(payload, faults.get("chunk_size", DEFAULT_CHUNK_SIZE),
                                 faults.get("chunk_extensions", False))
        else:
            fields.append(("Content-Length", str(len(payload))))
        head = make_head(status, fields, faults.get("lower_case_names", False))
        if cut:
            # The connection ends halfway through the body.
            self.request.sendall(head + payload[:len(payload) // 2])
            return False
        if faults.get("trickle_ms", 0) > 0 and delayed:
            # A byte now and then, each within any read time-out, until the reply is out or
            # the client has gone.
            for byte in head + payload:
                self.request.sendall(bytes((byte,)))
                time.sleep(faults["trickle_ms"] / 1000.0)
        elif faults.get("stall_body_ms", 0) > 0 and delayed:
            # A reply that stops in the middle of its body for a while.
            half = len(head) + len(payload) // 2
            message = head + payload
            self.request.sendall(message[:half])
            time.sleep(faults["stall_body_ms"] / 1000.0)
            self.request.sendall(message[half:])
        elif faults.get("split_head", False):
            # Cut in the middle of the first field line, so neither piece ends a line.
            first_end = head.index(b"\r\n")
            second_end = head.index(b"\r\n", first_end + 2)
            cut = (first_end + 2 + second_end) // 2
            self.request.sendall(head[:cut])
            time.sleep(SPLIT_HEAD_PAUSE_S)
            self.request.sendall(head[cut:] + payload)
        else:
            self.request.sendall(head + payload)
        return not close


class Server(socketserver.ThreadingMixIn, socketserver.TCPServer):
    allow_reuse_address = True
    # A client opening several connections at once must not find the queue full.
    request_queue_size = 64
    daemon_threads = True
    block_on_close = False
    # An ssl.SSLContext for a listener that speaks HTTPS.
    tls = None
    # The bytes of the revocation list served at /_crl, if any.
    crl = None
    # Whether replies are gzipped for requests that accept it (--gzip; the fault "gzip" says
    # otherwise while it is set).
    gzip = False
    # For an IPv6 listener: whether it leaves IPv4 to others (None: the system's default).
    v6_only = None

    def server_bind(self):
        if self.v6_only is not None:
            self.socket.setsockopt(socket.IPPROTO_IPV6, socket.IPV6_V6ONLY, int(self.v6_only))
        super().server_bind()

    def handle_error(self, request, client_address):
        # A client that vanishes mid-reply is routine here, not worth a traceback.
        if not isinstance(sys.exc_info()[1], OSError):
            super().handle_error(request, client_address)


class Server6(Server):
    address_family = socket.AF_INET6


def host_port(host, port):
    """HOST:PORT as a URL writes it, an IPv6 address in brackets."""
    return ("[%s]:%d" if ":" in host else "%s:%d") % (host, port)


# ---------------------------------------------------------------------------------------
# Names

class NameServer(threading.Thread):
    """Answers name lookups (DNS over UDP, RFC 1035) for a test's own resolver: every name is
    refused (NXDOMAIN), so that the tests meet a name without an address, unless the fault
    "silent_names" is on, which leaves every question unanswered, as a resolver out of reach
    does."""

    def __init__(self, host, port, state):
        super().__init__(daemon=True)
        family = socket.AF_INET6 if ":" in host else socket.AF_INET
        self.socket = socket.socket(family, socket.SOCK_DGRAM)
        self.socket.bind((host, port))
        self.socket.settimeout(0.2)
        self.state = state
        self.stopping = threading.Event()

    def run(self):
        while not self.stopping.is_set():
            try:
                query, peer = self.socket.recvfrom(512)
            except socket.timeout:
                continue
            except OSError:
                return
            with self.state.lock:
                silent = self.state.faults.get("silent_names", False)
            reply = None if silent else refusal(query)
            if reply:
                self.socket.sendto(reply, peer)

    def stop(self):
        self.stopping.set()
        self.join()
        self.socket.close()


def refusal(query):
    """The NXDOMAIN reply to a standard query, or None for anything else."""
    # RFC 1035 4.1.1: ID, flags, QDCOUNT, ANCOUNT, NSCOUNT, ARCOUNT.
    if len(query) < 12 or query[2] & 0x80:
        return None
    ident, flags, questions = query[:2], query[2:4], int.from_bytes(query[4:6], "big")
    if questions != 1:
        return None
    # RFC 1035 4.1.2: the name's labels up to the empty one, then QTYPE and QCLASS.
    at = 12
    while at < len(query) and query[at]:
        if query[at] & 0xC0:
            return None
        at += 1 + query[at]
    end = at + 5
    if end > len(query):
        return None
    # QR, the query's opcode and RD, RA; RCODE 3: the name does not exist.
    reply_flags = bytes([0x80 | (flags[0] & 0x79), 0x80 | 3])
    return ident + reply_flags + (1).to_bytes(2, "big") + bytes(6) + query[12:end]


def main(argv=None):
    here = os.path.dirname(os.path.abspath(__file__))
    parser = argparse.ArgumentParser(description="Local stand-in for the vexlet archive site.")
    parser.add_argument("--host", action="append",
                        help="the address to listen on, IPv4 or IPv6 (\"::\" takes both where the "
                             "system allows); may be repeated; default 127.0.0.1")
    parser.add_argument("--port", type=int, default=80, help="0 picks a free port")
    parser.add_argument("--catalogue", default=os.path.join(here, "catalogue.tsv"))
    parser.add_argument("--reply-delay", type=float, default=0.0, metavar="SECONDS",
                        help="every archive reply waits this long, as a distant site's does")
    parser.add_argument("--gzip", action="store_true",
                        help="archive replies are gzipped for requests whose Accept-Encoding takes gzip")
    parser.add_argument("--tls", nargs=2, metavar=("CERT", "KEY"),
                        help="also serve HTTPS on --tls-port with this certificate (chain) and key, PEM")
    parser.add_argument("--tls-port", type=int, default=443)
    parser.add_argument("--crl", metavar="FILE",
                        help="serve this revocation list (DER) at /_crl, for certificates that name it")
    parser.add_argument("--tls-also", nargs=3, action="append", default=[],
                        metavar=("PORT", "CERT", "KEY"),
                        help="one more HTTPS port with a certificate of its own (for clients "
                             "that must refuse it); may be repeated")
    parser.add_argument("--listen-also", nargs=2, action="append", default=[], metavar=("HOST", "PORT"),
                        help="one more plain HTTP port on this address alone; may be repeated")
    parser.add_argument("--dns", metavar="HOST",
                        help="answer name lookups on this address (UDP), refusing every name")
    parser.add_argument("--dns-port", type=int, default=53)
    args = parser.parse_args(argv)
    if args.reply_delay < 0:
        parser.error("--reply-delay must not be negative")
    hosts = args.host or ["127.0.0.1"]

    catalogue = load_catalogue(args.catalogue)
    crl = None
    if args.crl:
        with open(args.crl, "rb") as f:
            crl = f.read()
    # The plain port first; every other port shares its archive, faults and log. A port
    # listens on every host, on the same number when --port 0 picks it.
    ports = [(args.port, None, hosts)]
    if args.tls:
        ports.append((args.tls_port, args.tls, hosts))
    ports += [(int(port), (cert, key), hosts) for port, cert, key in args.tls_also]
    ports += [(int(port), None, [host]) for host, port in args.listen_also]
    servers = []
    for port, pair, on in ports:
        for host in on:
            try:
                six = ":" in host
                server = (Server6 if six else Server)((host, port), Handler, bind_and_activate=False)
                if six and len(on) > 1:
                    server.v6_only = True
                if pair is not None:
                    server.tls = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
                    server.tls.load_cert_chain(*pair)
                    server.tls.sni_callback = lambda sock, name, _: setattr(sock, "vex_sni", name)
                server.server_bind()
                server.server_activate()
            except (OSError, ssl.SSLError) as e:
                print("archive server: cannot listen on %s: %s" % (host_port(host, port), e), file=sys.stderr)
                for s in servers:
                    s.server_close()
                return 1
            port = server.server_address[1]
            server.state = servers[0].state if servers else State(catalogue)
            server.reply_delay = args.reply_delay
            server.crl = crl
            server.gzip = args.gzip
            servers.append(server)
    names = None
    if args.dns:
        try:
            names = NameServer(args.dns, args.dns_port, servers[0].state)
        except OSError as e:
            print("archive server: cannot answer names on %s: %s" % (host_port(args.dns, args.dns_port), e),
                  file=sys.stderr)
            for s in servers:
                s.server_close()
            return 1

    stop = threading.Event()
    signal.signal(signal.SIGTERM, lambda *_: stop.set())
    signal.signal(signal.SIGINT, lambda *_: stop.set())
    for server in servers:
        threading.Thread(target=server.serve_forever, kwargs={"poll_interval": 0.1}, daemon=True).start()
    if names:
        names.start()
    for server in servers:
        host, port = server.server_address[:2]
        print("archive server listening on %s%s" % (host_port(host, port), " (HTTPS)" if server.tls else ""),
              flush=True)
    if names:
        host, port = names.socket.getsockname()[:2]
        print("archive server answering names on %s (UDP)" % host_port(host, port), flush=True)
    while not stop.wait(0.5):
        pass
    for server in servers:
        server.shutdown()
        server.server_close()
    if names:
        names.stop()
    return 0


if __name__ == "__main__":
    sys.exit(main())
