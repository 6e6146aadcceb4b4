#!/usr/bin/env python3
"""Loopback server for the HTTP benchmark: answers every POST to /archive/ with the same
30 KB result page, sized or chunked (argv[1]), keeping the connection alive; over HTTPS with
a certificate and key (argv[2], argv[3]) when given. Prints its port."""
import socket
import socketserver
import ssl
import sys
from http.server import BaseHTTPRequestHandler

CHUNKED = len(sys.argv) > 1 and sys.argv[1] == "chunked"
ENTRY = ("<div class=\"entry\">\r\n<h2><a href=\"/vexlets/{0}/\">keyloom_{0}</a></h2>\r\n"
         "<p class=\"meta\">Platform: Windows &middot; Language: C/C++</p>\r\n"
         "<p class=\"meta\">Difficulty: 3 - Getting harder</p>\r\n<p>Nobody yet</p>\r\n"
         "<p class=\"desc\">Find the serial.</p>\r\n</div>\r\n")
PAGE = "<html><body>\r\n[SEARCH RESULTS 1 - 20 of 400]\r\n"
i = 0
while len(PAGE) < 30 * 1024:
    PAGE += ENTRY.format(100000 + i)
    i += 1
PAGE = PAGE.encode()


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def setup(self):
        super().setup()
        # Head and body leave in separate writes; without this each reply waits out the
        # peer's delayed acknowledgement and both clients measure only that.
        self.request.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)

    def do_POST(self):
        self.rfile.read(int(self.headers.get("Content-Length", "0")))
        self.send_response(200)
        self.send_header("Set-Cookie", "session=1; path=/")
        if CHUNKED:
            self.send_header("Transfer-Encoding", "chunked")
            self.end_headers()
            out = b""
            for k in range(0, len(PAGE), 4096):
                piece = PAGE[k:k + 4096]
                out += b"%x\r\n" % len(piece) + piece + b"\r\n"
            self.wfile.write(out + b"0\r\n\r\n")
        else:
            self.send_header("Content-Length", str(len(PAGE)))
            self.end_headers()
            self.wfile.write(PAGE)

    def log_message(self, *args):
        pass


class Server(socketserver.TCPServer):
    tls = None

    def get_request(self):
        conn, address = super().get_request()
        if self.tls is not None:
            conn = self.tls.wrap_socket(conn, server_side=True)
        return conn, address


with Server(("127.0.0.1", 0), Handler) as server:
    if len(sys.argv) > 3:
        server.tls = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        server.tls.load_cert_chain(sys.argv[2], sys.argv[3])
    print(server.server_address[1], flush=True)
    server.serve_forever()
