#!/usr/bin/env python3
"""A local RFC 3161 time-stamp server for the signing test: answers each time-stamp query
(HTTP POST) with `openssl ts -reply` and the test's own time-stamp certificate.

Usage: tsa-server.py FOLDER   (FOLDER holds tsa.cnf, tsa.crt, tsa.key and serial; the
server writes the port it listens on to FOLDER/port)
"""
import http.server
import os
import subprocess
import sys
import tempfile

FOLDER = sys.argv[1]


class TimeStamper(http.server.BaseHTTPRequestHandler):
    def do_POST(self):
        query = self.rfile.read(int(self.headers.get("Content-Length", "0")))
        with tempfile.TemporaryDirectory() as work:
            q, r = os.path.join(work, "query"), os.path.join(work, "reply")
            with open(q, "wb") as f:
                f.write(query)
            rc = subprocess.call(["openssl", "ts", "-reply", "-queryfile", q, "-config",
                                  os.path.join(FOLDER, "tsa.cnf"), "-out", r],
                                 cwd=FOLDER, stderr=subprocess.DEVNULL)
            reply = open(r, "rb").read() if rc == 0 and os.path.exists(r) else b""
        self.send_response(200 if reply else 500)
        self.send_header("Content-Type", "application/timestamp-reply")
        self.send_header("Content-Length", str(len(reply)))
        self.end_headers()
        self.wfile.write(reply)

    def log_message(self, *args):
        pass


server = http.server.HTTPServer(("127.0.0.1", 0), TimeStamper)
with open(os.path.join(FOLDER, "port.tmp"), "w") as f:
    f.write(str(server.server_address[1]))
os.rename(os.path.join(FOLDER, "port.tmp"), os.path.join(FOLDER, "port"))
server.serve_forever()
