"""A misbehaving HTTP server for the transfer tests. The first part of the request path names the
scenario, the second a token that the test makes unique; every request is appended to
<state>/requests/<token>.log so that a test can check the exact lines the client sent.

Paths: /<scenario>/<token>/<size>/<name> (size in bytes where the scenario serves a file).

    scripted_http.py PORT_FILE STATE [CERT KEY]

With a certificate and key every connection is TLS. Its scenarios end the connection as they do
without TLS, by closing the socket: no close_notify is sent, so a cut there is a truncation."""
import os
import re
import socket
import ssl
import struct
import sys
import threading
import time

from content import content
from drops import cut_offset

STATE = sys.argv[2] if len(sys.argv) > 2 else "."
counts = {}
counts_lock = threading.Lock()


def count(token):
    with counts_lock:
        counts[token] = counts.get(token, 0) + 1
        return counts[token]


def read_request(conn):
    data = b""
    while b"\r\n\r\n" not in data:
        chunk = conn.recv(4096)
        if not chunk:
            return None
        data += chunk
    return data.split(b"\r\n\r\n", 1)[0].decode("latin-1")


def record(token, request):
    os.makedirs(os.path.join(STATE, "requests"), exist_ok=True)
    with open(os.path.join(STATE, "requests", token + ".log"), "a", encoding="latin-1") as f:
        f.write(request + "\r\n\r\n")


def range_start(request):
    m = re.search(r"^Range: bytes=(\d+)-", request, re.M)
    return int(m.group(1)) if m else 0


def send_file(conn, request, size, honour_range=True, end=None, extra=""):
    """Answers with the file from the asked position; `end` breaks the body off there; `extra`
    holds further header lines."""
    start = range_start(request) if honour_range else 0
    if start:
        head = "HTTP/1.1 206 Partial Content\r\nContent-Range: bytes %d-%d/%d\r\nContent-Length: %d\r\n" % (
            start, size - 1, size, size - start)
    else:
        head = "HTTP/1.1 200 OK\r\nContent-Length: %d\r\n" % size
    conn.sendall((head + extra + "Connection: close\r\n\r\n").encode())
    conn.sendall(content(start, size if end is None else end))


def handle(conn, port):
    request = read_request(conn)
    if request is None:
        return
    parts = request.split(" ")[1].split("/")
    scenario, token = parts[1], parts[2]
    size = int(parts[3]) if len(parts) > 3 and parts[3].isdigit() else 0
    record(token, request)
    n = count(token)
    start = range_start(request)
    if scenario == "file":
        send_file(conn, request, size)
    elif scenario == "named":
        # The server names its file, in UTF-8: "日本 setup.exe".
        send_file(conn, request, size,
                  extra="Content-Disposition: attachment; filename*=UTF-8''%E6%97%A5%E6%9C%AC%20setup.exe\r\n")
    elif scenario == "ignore-range":
        send_file(conn, request, size, honour_range=False)
    elif scenario == "close-early":
        # The first answer stops half way; later ones serve what was asked for.
        if n == 1:
            conn.sendall(("HTTP/1.1 200 OK\r\nContent-Length: %d\r\n\r\n" % size).encode())
            conn.sendall(content(0, size // 2))
        else:
            send_file(conn, request, size)
    elif scenario == "status":
        conn.sendall(("HTTP/1.1 %d Status\r\nContent-Length: 0\r\n\r\n" % size).encode())
    elif scenario == "redirect-http":
        target = "http://localhost/file/%s-after/%d/target.bin" % (token, size)
        conn.sendall(("HTTP/1.1 302 Found\r\nLocation: %s\r\n\r\n" % target).encode())
    elif scenario == "redirect-ftp":
        conn.sendall(b"HTTP/1.1 302 Found\r\nLocation: ftp://127.0.0.1/pub/x.bin\r\n\r\n")
    elif scenario == "redirect-relative":
        conn.sendall(b"HTTP/1.1 301 Moved\r\nLocation: /file/x/10/x.bin\r\n\r\n")
    elif scenario == "drop":
        # Cut off 1 to 5 times at random offsets, then served whole; a resume at the end of the file
        # is answered 416 as common servers do.
        cut = cut_offset(token, n, start, size)
        if start >= size:
            conn.sendall(("HTTP/1.1 416 Range Not Satisfiable\r\nContent-Range: bytes */%d\r\n"
                          "Content-Length: 0\r\n\r\n" % size).encode())
        elif cut is None:
            send_file(conn, request, size)
        else:
            send_file(conn, request, size, end=cut)
            if n % 2:  # every other drop is a reset rather than an orderly close
                conn.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
    elif scenario == "huge":
        # Announces the size in the path, however large, and sends one MiB of it from where asked.
        send_file(conn, request, size, end=start + (1 << 20))
    elif scenario == "no-size":
        conn.sendall(b"HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n")
        conn.sendall(content(0, size))
    elif scenario == "long-header":
        conn.sendall(("HTTP/1.1 200 OK\r\nX-Long: %s\r\n\r\n" % ("x" * size)).encode())
    elif scenario == "range-beyond":
        conn.sendall(("HTTP/1.1 206 Partial\r\nContent-Range: bytes %d-%d/%d\r\n\r\n" % (
            start + 100, size - 1, size)).encode())
        conn.sendall(content(start + 100, size))
    elif scenario == "silent":
        time.sleep(30)
    elif scenario == "new-version":
        # The first answer sends, slowly, a version of the file that is gone by the next request;
        # later ones send the range asked for, unless If-Range names the old version.
        if n == 1:
            conn.sendall(('HTTP/1.1 200 OK\r\nETag: "v1"\r\nContent-Length: %d\r\n\r\n' % size).encode())
            for offset in range(0, size, 1024):
                conn.sendall(bytes(b ^ 0xFF for b in content(offset, min(size, offset + 1024))))
                time.sleep(0.05)
        else:
            send_file(conn, request, size, honour_range='If-Range: "v1"' not in request, extra='ETag: "v2"\r\n')
    elif scenario == "slow":
        # Headers at once, then 1 KiB every 50 ms for as long as the client listens.
        conn.sendall(("HTTP/1.1 200 OK\r\nContent-Length: %d\r\n\r\n" % size).encode())
        for offset in range(0, size, 1024):
            conn.sendall(content(offset, min(size, offset + 1024)))
            time.sleep(0.05)


def serve(conn, port, context):
    try:
        if context:
            conn = context.wrap_socket(conn, server_side=True)
        with conn:
            handle(conn, port)
    except OSError:
        pass


def main():
    port_file = sys.argv[1]
    context = None
    if len(sys.argv) > 4:
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        context.load_cert_chain(sys.argv[3], sys.argv[4])
    listener = socket.socket()
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    listener.bind(("127.0.0.1", 0))
    listener.listen(64)
    port = listener.getsockname()[1]
    with open(port_file + ".tmp", "w") as f:
        f.write(str(port))
    os.replace(port_file + ".tmp", port_file)
    while True:
        conn, _ = listener.accept()
        threading.Thread(target=serve, args=(conn, port, context), daemon=True).start()


if __name__ == "__main__":
    main()
