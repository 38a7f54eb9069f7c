#!/usr/bin/env python3
"""A small HTTP/HTTPS server for the tests, on 127.0.0.1 only.

Serves files from --root with HEAD and single byte ranges. The query string of a request picks a
misbehaviour, so one server covers every case a test needs:

  status=404          answer with that status and a short error body
  redirect=N          answer 302 to the same path with N-1 redirects left (301 with permanent=1)
  redirect_to=URL     answer 302 to URL, an address on another server or scheme
  throttle=BPS        send the body at about BPS bytes a second
  stall_after=N       send N body bytes, then send nothing more while the connection stays open
  drop_after=N        send N body bytes, then close the connection
  ignore_range=1      answer a ranged GET with the whole file and 200
  head_status=N       answer HEAD with status N (GET is unaffected)
  get_status=N        answer GET with status N and an error body (HEAD is unaffected)
  head_stall=1        answer HEAD with nothing while the connection stays open
  head_body=1         answer HEAD with the file's first bytes after the headers, as no server should
  head_length=N       answer HEAD with Content-Length N whatever the file's size (GET is unaffected)
  retry_after=V       add "Retry-After: V" to an error answer
  tag=NAME            count the request under NAME; GET /__count?tag=NAME answers "HEADS GETS"
  no_length=1         send the body without Content-Length (closing the connection ends it)
  get_no_length=1     the same for GET only: HEAD still tells the length
  digest=KINDS        announce the whole file's digest in the named fields, comma-separated: repr
                      (Repr-Digest sha-256), digest (Digest SHA-256), md5 (Content-MD5, on a 200 only)
  digest_wrong=1      announce the digests of other bytes than the file's
  validators=WHICH    which of ETag and Last-Modified files are served with: both (the default),
                      etag, date or none

A file's version is its modification time and size: rewriting or touching it gives it a new ETag
(and Last-Modified, to the second). A ranged GET with an If-Range that names another version is
answered with the whole file and 200, as HTTP wants.

The chosen port is written to --port-file once the server listens; --pid-file gets its process id.
With --cert/--key it also serves HTTPS on a second port (--https-port-file), and with
--rogue-cert/--rogue-key on a third (--rogue-port-file) with a certificate nobody should trust.
"""
import argparse
import base64
import email.utils
import hashlib
import http.server
import os
import socket
import socketserver
import ssl
import sys
import threading
import time
import urllib.parse

CHUNK = 256 * 1024
COUNTS = {}
COUNTS_LOCK = threading.Lock()


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    root = "."

    def log_message(self, fmt, *args):
        if os.environ.get("TEST_SERVER_VERBOSE"):
            sys.stderr.write("test-server: " + (fmt % args) + "\n")

    def do_HEAD(self):
        self.respond(head=True)

    def do_GET(self):
        self.respond(head=False)

    def options(self):
        parsed = urllib.parse.urlsplit(self.path)
        query = dict(urllib.parse.parse_qsl(parsed.query))
        return urllib.parse.unquote(parsed.path), query

    def send_error_body(self, status):
        body = ("<html><body>error %d</body></html>" % status).encode()
        self.send_response(status)
        if "retry_after" in self.options()[1]:
            self.send_header("Retry-After", self.options()[1]["retry_after"])
        self.send_header("Content-Type", "text/html")
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        if self.command != "HEAD":
            self.wfile.write(body)

    def count(self, path, query):
        with COUNTS_LOCK:
            if path == "/__count":
                heads, gets = COUNTS.get(query.get("tag", ""), (0, 0))
                return ("%d %d" % (heads, gets)).encode()
            if "tag" in query:
                heads, gets = COUNTS.get(query["tag"], (0, 0))
                COUNTS[query["tag"]] = (heads + 1, gets) if self.command == "HEAD" else (heads, gets + 1)
        return None

    def stall(self):
        # Waits until the client closes, for both plain and TLS sockets: a TLS socket takes no recv
        # flags such as MSG_DONTWAIT, but both take a timeout.
        self.wfile.flush()
        deadline = time.monotonic() + 300
        self.connection.settimeout(0.05)
        while time.monotonic() < deadline:
            try:
                if self.connection.recv(1) == b"":
                    return
            except (socket.timeout, ssl.SSLWantReadError):
                pass
            except OSError:
                return

    def respond(self, head):
        path, query = self.options()
        answer = self.count(path, query)
        if answer is not None:
            self.send_response(200)
            self.send_header("Content-Length", str(len(answer)))
            self.end_headers()
            self.wfile.write(answer)
            return
        if head and "head_stall" in query:
            self.close_connection = True
            self.stall()
            return
        if not head and "get_status" in query:
            self.send_error_body(int(query["get_status"]))
            return
        if head and "head_status" in query:
            self.send_error_body(int(query["head_status"]))
            return
        if "status" in query:
            self.send_error_body(int(query["status"]))
            return
        if "redirect_to" in query:
            self.send_response(302)
            self.send_header("Location", query["redirect_to"])
            self.send_header("Content-Length", "0")
            self.end_headers()
            return
        if "redirect" in query:
            left = int(query["redirect"]) - 1
            rest = {k: v for k, v in query.items() if k != "redirect"}
            if left > 0:
                rest["redirect"] = str(left)
            location = path + ("?" + urllib.parse.urlencode(rest) if rest else "")
            self.send_response(301 if query.get("permanent") == "1" else 302)
            self.send_header("Location", location)
            self.send_header("Content-Length", "0")
            self.end_headers()
            return

        file_path = os.path.realpath(os.path.join(self.root, path.lstrip("/")))
        if not file_path.startswith(os.path.realpath(self.root) + os.sep) or not os.path.isfile(file_path):
            self.send_error_body(404)
            return
        info = os.stat(file_path)
        size = info.st_size
        etag = '"%x-%x"' % (info.st_mtime_ns, size)
        last_modified = email.utils.formatdate(info.st_mtime, usegmt=True)
        which = query.get("validators", "both")
        validators = []
        if which in ("both", "etag"):
            validators.append(("ETag", etag))
        if which in ("both", "date"):
            validators.append(("Last-Modified", last_modified))
        start, end = 0, size - 1
        ranged = False
        header = self.headers.get("Range")
        if_range = self.headers.get("If-Range")
        same_version = if_range is None or if_range in [value for _, value in validators]
        if header and header.startswith("bytes=") and query.get("ignore_range") != "1" and same_version:
            first, _, last = header[len("bytes="):].partition("-")
            if first:
                start = int(first)
                if last:
                    end = min(int(last), size - 1)
                ranged = True
            if start >= size:
                self.send_response(416)
                self.send_header("Content-Range", "bytes */%d" % size)
                self.send_header("Content-Length", "0")
                self.end_headers()
                return

        length = end - start + 1
        self.send_response(206 if ranged else 200)
        self.send_header("Accept-Ranges", "bytes")
        self.send_header("Content-Type", "application/octet-stream")
        for name, value in validators:
            self.send_header(name, value)
        if ranged:
            self.send_header("Content-Range", "bytes %d-%d/%d" % (start, end, size))
        if "digest" in query:
            self.send_digests(file_path, query, ranged)
        if query.get("no_length") == "1" or (not head and query.get("get_no_length") == "1"):
            self.send_header("Connection", "close")
            self.close_connection = True
        elif head and "head_length" in query:
            self.send_header("Content-Length", query["head_length"])
        else:
            self.send_header("Content-Length", str(length))
        self.end_headers()
        if head and query.get("head_body") == "1":
            with open(file_path, "rb") as f:
                self.wfile.write(f.read(min(length, 4096)))
            return
        if head:
            return
        self.send_body(file_path, start, length, query)

    def send_digests(self, file_path, query, ranged):
        sha, md5 = hashlib.sha256(), hashlib.md5()
        with open(file_path, "rb") as f:
            for block in iter(lambda: f.read(1 << 20), b""):
                sha.update(block)
                md5.update(block)
        if query.get("digest_wrong") == "1":
            sha.update(b"x")
            md5.update(b"x")
        sha64 = base64.b64encode(sha.digest()).decode()
        kinds = query["digest"].split(",")
        if "repr" in kinds:
            self.send_header("Repr-Digest", "sha-256=:%s:" % sha64)
        if "digest" in kinds:
            self.send_header("Digest", "SHA-256=%s" % sha64)
        if "md5" in kinds and not ranged:
            self.send_header("Content-MD5", base64.b64encode(md5.digest()).decode())

    def send_body(self, file_path, start, length, query):
        throttle = int(query.get("throttle", "0"))
        stall_after = int(query["stall_after"]) if "stall_after" in query else None
        drop_after = int(query["drop_after"]) if "drop_after" in query else None
        sent = 0
        began = time.monotonic()
        with open(file_path, "rb") as f:
            f.seek(start)
            while sent < length:
                want = min(CHUNK if not throttle else max(1, min(CHUNK, throttle // 10)), length - sent)
                for limit in (stall_after, drop_after):
                    if limit is not None:
                        want = min(want, max(0, limit - sent))
                if want == 0:
                    if drop_after is not None and sent >= drop_after:
                        self.close_connection = True
                        self.wfile.flush()
                        self.connection.shutdown(2)
                        return
                    # stalled: keep the connection open until the client gives up
                    self.close_connection = True
                    self.stall()
                    return
                data = f.read(want)
                if not data:
                    return
                try:
                    self.wfile.write(data)
                except (BrokenPipeError, ConnectionResetError):
                    return
                sent += len(data)
                if throttle:
                    ahead = sent / throttle - (time.monotonic() - began)
                    if ahead > 0:
                        time.sleep(ahead)


class Server(socketserver.ThreadingMixIn, http.server.HTTPServer):
    daemon_threads = True
    allow_reuse_address = True
    tls = None

    def finish_request(self, request, client_address):
        # The TLS handshake happens on the request's own thread, so a slow client stalls nobody else.
        if self.tls is not None:
            try:
                request = self.tls.wrap_socket(request, server_side=True)
            except (ssl.SSLError, OSError):
                return
        super().finish_request(request, client_address)


def write_atomically(path, text):
    tmp = path + ".tmp"
    with open(tmp, "w") as f:
        f.write(text)
    os.replace(tmp, path)


def tls_server(cert, key, port_file):
    server = Server(("127.0.0.1", 0), Handler)
    server.tls = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    server.tls.load_cert_chain(cert, key)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    write_atomically(port_file, str(server.server_address[1]))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--root", required=True)
    parser.add_argument("--port", type=int, default=0)
    parser.add_argument("--port-file")
    parser.add_argument("--pid-file")
    parser.add_argument("--cert", help="PEM certificate chain for HTTPS")
    parser.add_argument("--key", help="PEM private key for HTTPS")
    parser.add_argument("--https-port-file")
    parser.add_argument("--rogue-cert", help="PEM certificate from an authority the clients do not trust")
    parser.add_argument("--rogue-key")
    parser.add_argument("--rogue-port-file")
    args = parser.parse_args()

    Handler.root = args.root
    server = Server(("127.0.0.1", args.port), Handler)
    if args.cert:
        tls_server(args.cert, args.key, args.https_port_file)
    if args.rogue_cert:
        tls_server(args.rogue_cert, args.rogue_key, args.rogue_port_file)
    if args.pid_file:
        write_atomically(args.pid_file, str(os.getpid()))
    if args.port_file:
        # Written last: once it exists, every listener is ready.
        write_atomically(args.port_file, str(server.server_address[1]))
    server.serve_forever()


if __name__ == "__main__":
    main()
