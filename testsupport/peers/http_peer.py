#!/usr/bin/env python3
"""Loopback HTTP peer for tests: serves files and records every request.

Start and stop (normally as CTest fixtures):
    http_peer.py start DIR     # serves on 127.0.0.1, a free port; returns once ready
    http_peer.py stop DIR      # stops the server started for DIR
    http_peer.py serve DIR     # runs in the foreground (for debugging)

DIR/port          the port number (decimal text), written once listening
DIR/pid           the server's process id
DIR/files/        served files: GET /a/b.txt?x=1 answers DIR/files/a/b.txt
                  (query ignored); a missing file answers 404 "not found"
DIR/requests/     emptied at start; one file per request, NNNNNN.http, holding the request line,
                  the headers and the body exactly as received (byte for byte)

Any method is accepted (GET, POST, HEAD...); the body is read by
Content-Length or chunked transfer encoding. A request may pick a reply with
the query key "reply" naming a file in DIR/files; otherwise the path decides.
Only loopback addresses are ever bound.
"""
import os
import signal
import socket
import socketserver
import subprocess
import sys
import threading
import time
import urllib.parse

_counter_lock = threading.Lock()
_counter = [0]


def _next_index():
    with _counter_lock:
        _counter[0] += 1
        return _counter[0]


class Handler(socketserver.StreamRequestHandler):
    root = "."

    def handle(self):
        while True:
            if not self._one_request():
                return

    def _one_request(self):
        raw = b""
        line = self.rfile.readline(65537)
        if not line:
            return False
        raw += line
        headers = {}
        while True:
            h = self.rfile.readline(65537)
            if not h:
                return False
            raw += h
            if h in (b"\r\n", b"\n"):
                break
            name, _, value = h.decode("latin-1").partition(":")
            headers[name.strip().lower()] = value.strip()
        body = b""
        if headers.get("transfer-encoding", "").lower() == "chunked":
            while True:
                size_line = self.rfile.readline()
                raw += size_line
                size = int(size_line.split(b";")[0].strip() or b"0", 16)
                chunk = self.rfile.read(size + 2) if size else self.rfile.readline()
                raw += chunk
                if size == 0:
                    break
                body += chunk[:-2]
        else:
            length = int(headers.get("content-length", "0") or "0")
            if length:
                body = self.rfile.read(length)
                raw += body
        index = _next_index()
        req_dir = os.path.join(self.root, "requests")
        tmp = os.path.join(req_dir, "%06d.part" % index)
        with open(tmp, "wb") as f:
            f.write(raw)
        os.rename(tmp, os.path.join(req_dir, "%06d.http" % index))

        parts = line.decode("latin-1").split()
        method = parts[0] if parts else "GET"
        target = parts[1] if len(parts) > 1 else "/"
        url = urllib.parse.urlsplit(target)
        query = urllib.parse.parse_qs(url.query)
        name = query.get("reply", [urllib.parse.unquote(url.path).lstrip("/")])[0]
        files = os.path.realpath(os.path.join(self.root, "files"))
        path = os.path.realpath(os.path.join(files, name))
        if path.startswith(files + os.sep) and os.path.isfile(path):
            with open(path, "rb") as f:
                content = f.read()
            status = b"200 OK"
        else:
            content = b"not found"
            status = b"404 Not Found"
        reply = (b"HTTP/1.1 " + status + b"\r\nContent-Type: application/octet-stream\r\n"
                 b"Cache-Control: no-cache\r\nContent-Length: " + str(len(content)).encode() + b"\r\n\r\n")
        self.wfile.write(reply + (b"" if method == "HEAD" else content))
        self.wfile.flush()
        return headers.get("connection", "").lower() != "close"


class Server(socketserver.ThreadingMixIn, socketserver.TCPServer):
    daemon_threads = True
    allow_reuse_address = True


def serve(root):
    os.makedirs(os.path.join(root, "files"), exist_ok=True)
    req_dir = os.path.join(root, "requests")
    os.makedirs(req_dir, exist_ok=True)
    for old in os.listdir(req_dir):  # each run records from 000001 on
        os.remove(os.path.join(req_dir, old))
    Handler.root = root
    server = Server(("127.0.0.1", 0), Handler)
    with open(os.path.join(root, "pid"), "w") as f:
        f.write(str(os.getpid()))
    tmp = os.path.join(root, "port.part")
    with open(tmp, "w") as f:
        f.write(str(server.server_address[1]))
    os.rename(tmp, os.path.join(root, "port"))
    signal.signal(signal.SIGTERM, lambda *_: os._exit(0))
    server.serve_forever()


def start(root):
    stop(root)
    os.makedirs(root, exist_ok=True)
    for name in ("port", "pid"):
        try:
            os.remove(os.path.join(root, name))
        except FileNotFoundError:
            pass
    log = open(os.path.join(root, "server.log"), "ab")
    subprocess.Popen([sys.executable, os.path.abspath(__file__), "serve", root], stdin=subprocess.DEVNULL,
                     stdout=log, stderr=log, start_new_session=True)
    for _ in range(100):
        if os.path.exists(os.path.join(root, "port")):
            return 0
        time.sleep(0.05)
    print("http peer did not start", file=sys.stderr)
    return 1


def stop(root):
    try:
        with open(os.path.join(root, "pid")) as f:
            pid = int(f.read().strip())
    except (FileNotFoundError, ValueError):
        return 0
    try:
        os.kill(pid, signal.SIGTERM)
    except ProcessLookupError:
        pass
    os.remove(os.path.join(root, "pid"))
    return 0


def main(argv):
    if len(argv) != 3 or argv[1] not in ("start", "stop", "serve"):
        print(__doc__, file=sys.stderr)
        return 2
    root = os.path.abspath(argv[2])
    if argv[1] == "serve":
        serve(root)
        return 0
    return start(root) if argv[1] == "start" else stop(root)


if __name__ == "__main__":
    sys.exit(main(sys.argv))
