#!/usr/bin/python3
"""Web servers others wrote, each in front of the local archive, for the end-to-end tests.

    real_servers.py start WORK   starts them in the background (their process id in
        WORK/stacks.pid, their output in WORK/stacks.log) and waits until every one accepts
        connections; exit status 1 (and the log on standard error) if one does not
    real_servers.py stop WORK    stops them, if they run
    real_servers.py serve WORK ARCHIVE_PORT   runs every server below on 127.0.0.1 (each a
        process of its own, nginx's files under WORK/nginx), prints "real servers listening"
        once all of them accept connections, and stops them all on SIGTERM or SIGINT

Each passes the client's search form and cookies on to the local archive (127.0.0.1 on
ARCHIVE_PORT) and its reply, cookies included, back, writing the reply the way its own HTTP
stack does: that is what the client meets here, not the pages.

    8101  Python's http.server (HTTP/1.1, keep-alive, sized replies)
    8102  uvicorn over h11 (field names in lower case, chunked replies)
    8103  aiohttp (sized replies)
    8104  nginx as a reverse proxy

Debian's packages (python3-uvicorn, python3-aiohttp, nginx-light) provide them, for Debian's
own Python 3; scripts/install-deps installs them.
"""

import os
import signal
import socket
import subprocess
import sys
import time

PORTS = {"http.server": 8101, "uvicorn": 8102, "aiohttp": 8103, "nginx": 8104}
ARCHIVE_PORT = int(os.environ.get("REAL_SERVERS_ARCHIVE_PORT", "80"))
HERE = os.path.dirname(os.path.abspath(__file__))


def forward(body, cookie):
    """The archive's reply to a search form: (status, content type, cookies, body)."""
    import http.client
    conn = http.client.HTTPConnection("127.0.0.1", ARCHIVE_PORT, timeout=60)
    try:
        headers = {"Content-Type": "application/x-www-form-urlencoded"}
        if cookie:
            headers["Cookie"] = cookie
        conn.request("POST", "/archive/", body, headers)
        reply = conn.getresponse()
        return (reply.status, reply.getheader("Content-Type", "text/html"),
                reply.headers.get_all("Set-Cookie") or [], reply.read())
    finally:
        conn.close()


# -- http.server ----------------------------------------------------------------------------

def run_http_server(port):
    import http.server

    class Front(http.server.BaseHTTPRequestHandler):
        protocol_version = "HTTP/1.1"

        def do_POST(self):
            body = self.rfile.read(int(self.headers.get("Content-Length", "0")))
            status, content_type, cookies, page = forward(body, self.headers.get("Cookie"))
            self.send_response(status)
            self.send_header("Content-Type", content_type)
            for c in cookies:
                self.send_header("Set-Cookie", c)
            self.send_header("Content-Length", str(len(page)))
            self.end_headers()
            self.wfile.write(page)

        def log_message(self, *args):
            pass

    http.server.ThreadingHTTPServer(("127.0.0.1", port), Front).serve_forever()


# -- uvicorn --------------------------------------------------------------------------------

async def asgi_app(scope, receive, send):
    """For uvicorn: no length given, so h11 frames the reply in chunks; sent in two parts."""
    import asyncio
    if scope["type"] != "http":
        return
    body = b""
    while True:
        message = await receive()
        body += message.get("body", b"")
        if not message.get("more_body"):
            break
    cookie = dict(scope["headers"]).get(b"cookie", b"").decode("latin-1")
    status, content_type, cookies, page = await asyncio.get_running_loop().run_in_executor(
        None, forward, body, cookie)
    headers = [(b"content-type", content_type.encode("latin-1"))]
    headers += [(b"set-cookie", c.encode("latin-1")) for c in cookies]
    await send({"type": "http.response.start", "status": status, "headers": headers})
    half = len(page) // 2
    await send({"type": "http.response.body", "body": page[:half], "more_body": True})
    await send({"type": "http.response.body", "body": page[half:]})


def run_uvicorn(port):
    os.execv(sys.executable, [sys.executable, "-m", "uvicorn", "--app-dir", HERE, "--host", "127.0.0.1",
                              "--port", str(port), "--http", "h11", "--no-access-log", "--log-level", "warning",
                              "real_servers:asgi_app"])


# -- aiohttp --------------------------------------------------------------------------------

def run_aiohttp(port):
    import asyncio
    from aiohttp import web

    async def archive(request):
        body = await request.read()
        status, content_type, cookies, page = await asyncio.get_running_loop().run_in_executor(
            None, forward, body, request.headers.get("Cookie"))
        reply = web.Response(status=status, body=page)
        reply.headers["Content-Type"] = content_type
        for c in cookies:
            reply.headers.add("Set-Cookie", c)
        return reply

    app = web.Application()
    app.router.add_post("/archive/", archive)
    web.run_app(app, host="127.0.0.1", port=port, print=None, access_log=None)


# -- nginx ----------------------------------------------------------------------------------

def run_nginx(port, work):
    root = os.path.join(work, "nginx")
    os.makedirs(os.path.join(root, "temp"), exist_ok=True)
    config = os.path.join(root, "nginx.conf")
    temp = os.path.join(root, "temp")
    with open(config, "w") as f:
        f.write("""daemon off;
master_process off;
pid %(root)s/nginx.pid;
error_log stderr warn;
events { worker_connections 128; }
http {
    access_log off;
    client_body_temp_path %(temp)s/body;
    proxy_temp_path %(temp)s/proxy;
    fastcgi_temp_path %(temp)s/fastcgi;
    uwsgi_temp_path %(temp)s/uwsgi;
    scgi_temp_path %(temp)s/scgi;
    server {
        listen 127.0.0.1:%(port)d;
        location / {
            proxy_pass http://127.0.0.1:%(archive)d;
            proxy_set_header Host $host;
        }
    }
}
""" % {"root": root, "temp": temp, "port": port, "archive": ARCHIVE_PORT})
    os.execv("/usr/sbin/nginx", ["nginx", "-p", root, "-c", config, "-e", "stderr"])


# -- all of them ----------------------------------------------------------------------------

def accepts(port):
    try:
        socket.create_connection(("127.0.0.1", port), timeout=0.2).close()
        return True
    except OSError:
        return False


def serve(work, archive_port):
    os.environ["REAL_SERVERS_ARCHIVE_PORT"] = archive_port
    children = [subprocess.Popen([sys.executable, os.path.abspath(__file__), name, work]) for name in PORTS]
    stop = []
    signal.signal(signal.SIGTERM, lambda *_: stop.append(True))
    signal.signal(signal.SIGINT, lambda *_: stop.append(True))
    try:
        deadline = time.monotonic() + 30
        while not all(accepts(p) for p in PORTS.values()):
            failed = [c for c in children if c.poll() is not None]
            if failed or time.monotonic() > deadline or stop:
                print("real servers: not every server started", file=sys.stderr)
                return 1
            time.sleep(0.05)
        print("real servers listening on %s" % ", ".join(str(p) for p in PORTS.values()), flush=True)
        while not stop and all(c.poll() is None for c in children):
            time.sleep(0.2)
        return 0 if stop else 1
    finally:
        for c in children:
            if c.poll() is None:
                c.terminate()
        for c in children:
            try:
                c.wait(10)
            except subprocess.TimeoutExpired:
                c.kill()


def stop(work):
    try:
        with open(os.path.join(work, "stacks.pid")) as f:
            pid = int(f.read())
        os.remove(os.path.join(work, "stacks.pid"))
    except (OSError, ValueError):
        return 0
    try:
        os.kill(pid, signal.SIGTERM)
        for _ in range(200):
            os.kill(pid, 0)
            time.sleep(0.05)
        os.kill(pid, signal.SIGKILL)
    except ProcessLookupError:
        pass
    return 0


def start(work):
    """Runs `serve` in a session of its own that holds none of the caller's descriptors (a test
    runner waits for its output pipe to close), with the local archive on port 80."""
    stop(work)
    os.makedirs(work, exist_ok=True)
    log_path = os.path.join(work, "stacks.log")
    with open(log_path, "wb") as log, open(os.devnull, "rb") as nothing:
        child = subprocess.Popen([sys.executable, os.path.abspath(__file__), "serve", work, "80"],
                                 stdin=nothing, stdout=log, stderr=log, start_new_session=True)
    with open(os.path.join(work, "stacks.pid"), "w") as f:
        f.write(str(child.pid))
    while child.poll() is None:
        with open(log_path, "rb") as log:
            if any(line.startswith(b"real servers listening") for line in log):
                return 0
        time.sleep(0.05)
    with open(log_path, "rb") as log:
        sys.stderr.write("real servers did not start:\n" + log.read().decode("utf-8", "replace"))
    stop(work)
    return 1


def main(argv):
    if len(argv) == 3 and argv[1] in PORTS:
        # One server, in the process `serve` started for it.
        name, port = argv[1], PORTS[argv[1]]
        if name == "nginx":
            run_nginx(port, argv[2])
        else:
            {"http.server": run_http_server, "uvicorn": run_uvicorn, "aiohttp": run_aiohttp}[name](port)
        return 0
    if len(argv) == 3 and argv[1] in ("start", "stop"):
        return (start if argv[1] == "start" else stop)(argv[2])
    if len(argv) == 4 and argv[1] == "serve":
        return serve(argv[2], argv[3])
    print("usage: real_servers.py start WORK | stop WORK | serve WORK ARCHIVE_PORT", file=sys.stderr)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv))
