"""An https server that asks for a new TLS handshake in the middle of the body, for the transfer
tests. It answers every request with the same body: the first half, then a renegotiation request
(TLS 1.2), and the second half once the client has gone through the new handshake, or after three
seconds without an answer (a client may ignore the request). Its log says which it was.

    renegotiating_https.py PORT_FILE CERT KEY

The TLS side is the openssl command's test server, one process per connection, driven through its
standard input (a line "r" renegotiates) and watched through its state lines."""
import os
import queue
import socket
import subprocess
import sys
import threading
import time

# Digits only: the test server takes some lines of its input that begin with a letter as commands.
BODY = b"0123456789" * 8000
HALF = len(BODY) // 2


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def serve_one(port, cert, key, ready):
    server = subprocess.Popen(
        ["openssl", "s_server", "-tls1_2", "-accept", str(port), "-cert", cert, "-key", key, "-state",
         "-naccept", "1"], stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, bufsize=0)
    lines = queue.Queue()

    def read():
        for line in iter(server.stdout.readline, b""):
            sys.stderr.write(line.decode("latin-1"))  # into the server's log
            sys.stderr.flush()
            lines.put(line.rstrip(b"\r\n"))
        lines.put(None)

    threading.Thread(target=read, daemon=True).start()

    def wait_for(wanted, seconds):
        deadline = time.time() + seconds
        while time.time() < deadline:
            try:
                line = lines.get(timeout=0.2)
            except queue.Empty:
                continue
            if line is None:
                return False
            if wanted(line):
                return True
        return False

    try:
        if not wait_for(lambda line: line == b"ACCEPT", 10):
            return
        ready()
        # The request is printed as it came; its empty line ends it.
        if not wait_for(lambda line: line == b"", 3600):
            return
        server.stdin.write(b"HTTP/1.1 200 OK\r\nContent-Length: %d\r\nConnection: close\r\n\r\n" % len(BODY))
        time.sleep(0.2)
        server.stdin.write(BODY[:HALF])
        time.sleep(0.5)
        server.stdin.write(b"r\n")
        answered = wait_for(lambda line: line.endswith(b"read finished"), 3)
        sys.stderr.write("renegotiation %s\n" % ("done" if answered else "not answered"))
        server.stdin.write(BODY[HALF:])
        time.sleep(1)
        server.stdin.write(b"q\n")  # close_notify
        server.wait(10)
    except (BrokenPipeError, subprocess.TimeoutExpired):
        pass
    finally:
        if server.poll() is None:
            server.kill()
            server.wait()


def main():
    port_file, cert, key = sys.argv[1:4]
    port = free_port()
    announced = []

    def ready():
        if not announced:
            with open(port_file + ".tmp", "w") as f:
                f.write(str(port))
            os.replace(port_file + ".tmp", port_file)
            announced.append(True)

    while True:
        serve_one(port, cert, key, ready)


if __name__ == "__main__":
    main()
