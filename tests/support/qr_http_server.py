#!/usr/bin/env python3
"""Test web server: serves a folder, and faults under /fault/.

Binds 127.0.0.1 on a free port and prints the port as its first line. Ends when
its standard input closes, so it never outlives the test that started it.

  --root DIR   the folder served at /
  --tls DIR    serve HTTPS with a certificate for 127.0.0.1 made here by openssl
               (DIR/cert.pem is its own CA)

Faults: /fault/trickle (a byte every 50 ms), /fault/stall (10 bytes, then
nothing), /fault/short (100 of 1000 bytes, then the connection closes),
/fault/status/N, /fault/redirect/N/NAME (N redirects, then /NAME), /fault/loop,
/fault/to-file (a redirect to file:///etc/passwd), /fault/huge (a Content-Length
of 10 GB), /fault/endless (a chunked body without end).
/_stats answers "connections=C stalling=S": the connections accepted (those of
/_stats itself not counted) and the requests held in /fault/stall now.
"""
import argparse
import http.server
import os
import select
import socket
import ssl
import subprocess
import sys
import threading
import time

LOCK = threading.Lock()
STATS = {"accepted": 0, "stats": 0, "stalling": 0}
HOLD_SECONDS = 120  # how long a stalled answer waits; the process ends sooner


def count(key, delta):
    with LOCK:
        STATS[key] += delta


class Handler(http.server.SimpleHTTPRequestHandler):
    protocol_version = "HTTP/1.1"  # keep-alive, as real servers do
    disable_nagle_algorithm = True  # a body's last segment is not held back

    def setup(self):
        super().setup()
        count("accepted", 1)
        self.is_stats = False

    def log_message(self, *args):
        pass

    def copyfile(self, source, outputfile):
        # The kernel copies the file: the server's own time stays out of the
        # benchmarks that load from it.
        if isinstance(self.connection, ssl.SSLSocket):
            super().copyfile(source, outputfile)
        else:
            self.connection.sendfile(source)

    def head(self, status, length=None, extra=()):
        self.send_response(status)
        if length is not None:
            self.send_header("Content-Length", str(length))
        for name, value in extra:
            self.send_header(name, value)
        self.end_headers()

    def redirect(self, location):
        self.head(302, 0, [("Location", location)])

    def do_GET(self):
        parts = self.path.split("?")[0].strip("/").split("/")
        if parts[0] == "_stats":
            if not self.is_stats:
                self.is_stats = True
                count("stats", 1)
            with LOCK:
                text = "connections=%d stalling=%d" % (
                    STATS["accepted"] - STATS["stats"], STATS["stalling"])
            body = text.encode()
            self.head(200, len(body))
            self.wfile.write(body)
        elif parts[0] == "fault":
            try:
                self.fault(parts[1:])
            except OSError:  # the client gave up, as it should
                self.close_connection = True
        else:
            super().do_GET()

    def fault(self, args):
        kind = args[0] if args else ""
        if kind == "trickle":
            self.head(200, 1000)
            for _ in range(1000):
                self.wfile.write(b"x")
                self.wfile.flush()
                time.sleep(0.05)
        elif kind == "stall":
            self.head(200, 1000)
            self.wfile.write(b"x" * 10)
            self.wfile.flush()
            count("stalling", 1)
            try:
                self.hold()
            finally:
                count("stalling", -1)
        elif kind == "short":
            self.head(200, 1000)
            self.wfile.write(b"x" * 100)
            self.close_connection = True
        elif kind == "status":
            self.send_error(int(args[1]))
        elif kind == "redirect":
            left, name = int(args[1]), "/".join(args[2:])
            self.redirect("/" + name if left <= 1 else
                          "/fault/redirect/%d/%s" % (left - 1, name))
        elif kind == "loop":
            self.redirect("/fault/loop")
        elif kind == "to-file":
            self.redirect("file:///etc/passwd")
        elif kind == "huge":
            self.head(200, 10 * 1024 ** 3)
            self.pour(lambda block: self.wfile.write(block))
        elif kind == "endless":
            self.head(200, None, [("Transfer-Encoding", "chunked")])
            self.pour(lambda block: self.wfile.write(b"%x\r\n%s\r\n" % (len(block), block)))
        else:
            self.send_error(404)

    def hold(self):
        # Until the client hangs up, or HOLD_SECONDS.
        end = time.monotonic() + HOLD_SECONDS
        try:
            while time.monotonic() < end:
                ready, _, _ = select.select([self.connection], [], [], 0.1)
                if ready and not self.connection.recv(1, socket.MSG_PEEK):
                    return
        except OSError:
            pass
        self.close_connection = True

    def pour(self, write):
        # Until the client hangs up.
        block = b"\0" * 65536
        while True:
            write(block)


def make_certificate(folder):
    subprocess.run(
        ["openssl", "req", "-x509", "-newkey", "ec", "-pkeyopt",
         "ec_paramgen_curve:prime256v1", "-nodes", "-days", "2",
         "-subj", "/CN=127.0.0.1", "-addext", "subjectAltName=IP:127.0.0.1",
         "-keyout", os.path.join(folder, "key.pem"),
         "-out", os.path.join(folder, "cert.pem")],
        check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--root", default=".")
    parser.add_argument("--tls")
    args = parser.parse_args()

    def handler(*a, **kw):
        return Handler(*a, directory=args.root, **kw)

    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), handler)
    server.daemon_threads = True
    if args.tls:
        make_certificate(args.tls)
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        context.load_cert_chain(os.path.join(args.tls, "cert.pem"),
                                os.path.join(args.tls, "key.pem"))
        server.socket = context.wrap_socket(server.socket, server_side=True)

    def watch_parent():
        sys.stdin.buffer.read()
        os._exit(0)

    threading.Thread(target=watch_parent, daemon=True).start()
    print(server.server_address[1], flush=True)
    server.serve_forever()


if __name__ == "__main__":
    main()
