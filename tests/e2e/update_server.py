#!/usr/bin/env python3
"""A loopback update server for the tests: update_server.py PORT-FILE DIR LOG [CERT KEY]

Serves the files under DIR at their paths and logs each request line to LOG. Files beside a
served file change how it is answered:
  NAME.slow      the answer waits that many seconds
  NAME.drop      the connection closes after half of the announced body
  NAME.pace      each 64 KB chunk of the body waits that many seconds
  NAME.redirect  a 302 to the URL the file holds
  NAME.stream    "ANNOUNCED SENT": instead of the file, announce ANNOUNCED bytes (0: no length,
                 the end of the connection ends the answer) and send SENT bytes, then close
  NAME.drip      each byte of the body waits that many seconds
  NAME.gate      N: the body goes in N equal parts; part K+1 waits (up to a minute) until a
                 file NAME.gate.K exists, so that a test sees each step before the next
It also answers as an HTTP proxy: a request for an absolute URL is served from DIR by its
path, and logged with the word "proxy". With a certificate and its key it speaks TLS. The
port it listens on is written to PORT-FILE.
"""
import http.server
import os
import socketserver
import ssl
import sys
import time
from urllib.parse import urlsplit

port_file, root, log = sys.argv[1], sys.argv[2], sys.argv[3]


def extra(path, suffix):
    try:
        with open(path + suffix) as f:
            return f.read().strip()
    except OSError:
        return None


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, *args):
        pass

    def do_GET(self):
        proxied = self.path.startswith("http://")
        path = urlsplit(self.path).path if proxied else self.path.split("?")[0]
        with open(log, "a") as f:
            f.write(("proxy " if proxied else "") + self.path + "\n")
        local = os.path.join(root, path.lstrip("/"))
        redirect = extra(local, ".redirect")
        if redirect is not None:
            self.send_response(302)
            self.send_header("Location", redirect)
            self.send_header("Content-Length", "0")
            self.end_headers()
            return
        if not os.path.isfile(local):
            self.send_response(404)
            self.send_header("Content-Length", "0")
            self.end_headers()
            return
        stream = extra(local, ".stream")
        if stream is not None:
            announced, sent = (int(n) for n in stream.split())
            self.send_response(200)
            if announced:
                self.send_header("Content-Length", str(announced))
            else:
                self.send_header("Connection", "close")
            self.end_headers()
            chunk = b"1" * 65536
            try:
                while sent > 0:
                    self.wfile.write(chunk[:min(sent, len(chunk))])
                    sent -= len(chunk)
            except OSError:
                pass
            self.close_connection = True
            return
        slow = extra(local, ".slow")
        if slow:
            time.sleep(float(slow))
        try:
            with open(local, "rb") as f:
                body = f.read()
        except OSError:  # taken away while the answer waited
            self.send_response(404)
            self.send_header("Content-Length", "0")
            self.end_headers()
            return
        self.send_response(200)
        self.send_header("Content-Type", "application/octet-stream")
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        if extra(local, ".drop") is not None:
            self.wfile.write(body[: len(body) // 2])
            self.wfile.flush()
            self.close_connection = True
            return
        drip = float(extra(local, ".drip") or 0)
        if drip:
            for i in range(len(body)):
                try:
                    self.wfile.write(body[i:i + 1])
                    self.wfile.flush()
                except OSError:
                    return
                time.sleep(drip)
            return
        gate = int(extra(local, ".gate") or 0)
        if gate:
            step = -(-len(body) // gate)
            for part in range(gate):
                if part:
                    deadline = time.time() + 60
                    while not os.path.exists(f"{local}.gate.{part}") and time.time() < deadline:
                        time.sleep(0.05)
                try:
                    self.wfile.write(body[part * step:(part + 1) * step])
                    self.wfile.flush()
                except OSError:
                    return
            return
        pace = float(extra(local, ".pace") or 0)
        for start in range(0, len(body), 65536):
            try:
                self.wfile.write(body[start:start + 65536])
                self.wfile.flush()
            except OSError:
                return
            if pace:
                time.sleep(pace)


class Server(socketserver.ThreadingMixIn, http.server.HTTPServer):
    daemon_threads = True


server = Server(("127.0.0.1", 0), Handler)
if len(sys.argv) > 5:
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(sys.argv[4], sys.argv[5])
    server.socket = context.wrap_socket(server.socket, server_side=True)
with open(port_file, "w") as f:
    f.write(str(server.server_address[1]))
server.serve_forever()
