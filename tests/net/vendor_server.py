#!/usr/bin/env python3
"""Stand-in for the vendor's web server (reached as the HTTP proxy) in the network tests.

usage: vendor_server.py FOLDER LIFETIME_SECONDS [--dns]

Listens on a free loopback port and writes it to FOLDER/port. For each request it keeps
  FOLDER/req-N.raw     the request exactly as received (headers and Content-Length bytes)
  FOLDER/req-N.extra   what followed the body within half a second (should be empty)
  FOLDER/req-N.<name>  each form field, decoded as a form server decodes it
  FOLDER/req-N.done    written last
and answers with FOLDER/reply (sent in pieces where it holds a line "--8<--", with a
pause between them) after waiting FOLDER/delay seconds (0 when missing), then keeps the
connection open FOLDER/hold seconds (0 when missing) before it closes.
With --dns it is also the name server on 127.0.0.1 port 53 (only ever started inside a
network namespace of its own): every address lookup is answered with 127.0.0.1 after
FOLDER/dns-delay seconds, and FOLDER/dns-answered is written once such an answer is out.
Ends after LIFETIME_SECONDS or as soon as FOLDER/stop exists.
"""
import os
import socket
import struct
import sys
import threading
import time
import urllib.parse

PIECE_BREAK = b"\n--8<--\n"


def read_file(path, default=b""):
    try:
        with open(path, "rb") as f:
            return f.read()
    except OSError:
        return default


def write_file(path, data):
    with open(path + ".tmp", "wb") as f:
        f.write(data)
    os.replace(path + ".tmp", path)


def handle(conn, folder, number):
    conn.settimeout(10)
    data = b""
    try:
        while b"\r\n\r\n" not in data and len(data) < 65536:
            chunk = conn.recv(65536)
            if not chunk:
                break
            data += chunk
        head, _, body = data.partition(b"\r\n\r\n")
        length = 0
        for line in head.split(b"\r\n"):
            name, _, value = line.partition(b":")
            if name.strip().lower() == b"content-length":
                length = int(value.strip() or b"0")
        while len(body) < length:
            chunk = conn.recv(65536)
            if not chunk:
                break
            body += chunk
        extra = body[length:]
        body = body[:length]
        conn.settimeout(0.5)
        try:
            while True:
                chunk = conn.recv(65536)
                if not chunk:
                    break
                extra += chunk
        except socket.timeout:
            pass
        base = os.path.join(folder, "req-%d" % number)
        write_file(base + ".raw", head + b"\r\n\r\n" + body)
        write_file(base + ".extra", extra)
        for name, value in urllib.parse.parse_qsl(body.decode("ascii", "replace"), keep_blank_values=True,
                                                  encoding="latin-1"):
            write_file(base + "." + name, value.encode("latin-1"))
        write_file(base + ".done", b"")
        delay = float(read_file(os.path.join(folder, "delay"), b"0") or b"0")
        time.sleep(delay)
        pieces = read_file(os.path.join(folder, "reply")).split(PIECE_BREAK)
        conn.settimeout(10)
        for i, piece in enumerate(pieces):
            if i:
                time.sleep(0.5)
            conn.sendall(piece)
        time.sleep(float(read_file(os.path.join(folder, "hold"), b"0") or b"0"))
    except OSError:
        pass
    finally:
        conn.close()


def dns_answer(query):
    """The reply to a DNS query: 127.0.0.1 for an A question, no records otherwise."""
    ident, _flags, qdcount = struct.unpack(">HHH", query[:6])
    at = 12
    while query[at] != 0:
        at += 1 + query[at]
    qtype = struct.unpack(">H", query[at + 1:at + 3])[0]
    question = query[12:at + 5]
    answers = b""
    if qtype == 1:
        answers = b"\xc0\x0c" + struct.pack(">HHIH", 1, 1, 60, 4) + socket.inet_aton("127.0.0.1")
    header = struct.pack(">HHHHHH", ident, 0x8180, 1, 1 if answers else 0, 0, 0)
    return header + question + answers


def serve_dns(folder, end):
    dns = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    dns.bind(("127.0.0.1", 53))
    dns.settimeout(0.2)

    def answer_late(query, peer):
        time.sleep(float(read_file(os.path.join(folder, "dns-delay"), b"0") or b"0"))
        try:
            reply = dns_answer(query)
            dns.sendto(reply, peer)
            if struct.unpack(">H", reply[6:8])[0]:
                write_file(os.path.join(folder, "dns-answered"), b"")
        except (OSError, IndexError, struct.error):
            pass

    while time.time() < end and not os.path.exists(os.path.join(folder, "stop")):
        try:
            query, peer = dns.recvfrom(4096)
        except socket.timeout:
            continue
        threading.Thread(target=answer_late, args=(query, peer), daemon=True).start()


def main():
    folder, lifetime = sys.argv[1], float(sys.argv[2])
    end = time.time() + lifetime
    if "--dns" in sys.argv[3:]:
        threading.Thread(target=serve_dns, args=(folder, end), daemon=True).start()
    server = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    server.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    server.bind(("127.0.0.1", 0))
    server.listen(8)
    server.settimeout(0.2)
    write_file(os.path.join(folder, "port"), str(server.getsockname()[1]).encode())
    number = 0
    while time.time() < end and not os.path.exists(os.path.join(folder, "stop")):
        try:
            conn, _ = server.accept()
        except socket.timeout:
            continue
        number += 1
        threading.Thread(target=handle, args=(conn, folder, number), daemon=True).start()
    server.close()


if __name__ == "__main__":
    main()
