"""A misbehaving FTP server for the transfer tests, on one listening port. The USER name chooses the
scenario: "<scenario>/<token>/<size>". Every command line the client sends is appended, exactly
as received (with its CR LF), to <state>/requests/<token>.log, so that a test can check the
dialogue. Files are served from tests/servers/content.py, <size> bytes long. The scenario "names"
lists a folder whose names must not become URLs (a '/', a control character) beside a plain one.

Every session greets with a preliminary 120 reply and then a multi-line 220 reply with an inner
line of another code, so every test also proves that the client reads whole replies; started with
"plain" after STATE, it greets with one 220 line, all the system's internet client understands.

    scripted_ftp.py PORT_FILE STATE [plain]"""
import os
import re
import socket
import sys
import threading
import time

from content import content
from drops import cut_offset

STATE = sys.argv[2] if len(sys.argv) > 2 else "."
PLAIN_GREETING = len(sys.argv) > 3 and sys.argv[3] == "plain"
retrievals = {}  # "drop" scenario: RETR count per token and file name
retrievals_lock = threading.Lock()

NAMES_LISTING = b"".join(b"%s 1 ftp ftp %d Jan 01 00:00 %s\r\n" % entry for entry in (
    (b"-rw-r--r--", 1000, b"plain.bin"),
    (b"-rw-r--r--", 1000, b"a/b.bin"),
    (b"-rw-r--r--", 1000, b"x\x01y.bin"),
    (b"drwxr-xr-x", 0, b"../up"),
))

GREETING = (b"120 Service ready in a moment.\r\n"
            b"220-Scripted FTP server\r\n"
            b"230 a line with another code does not end the reply\r\n"
            b"220-still the greeting\r\n"
            b"220 Ready.\r\n")


class Session:
    def __init__(self, conn):
        self.conn = conn
        self.send_lock = threading.Lock()
        self.closed = threading.Event()
        self.scenario = ""
        self.token = None
        self.size = 0
        self.pending = []        # lines received before USER named the token
        self.restart = 0
        self.listener = None     # passive listener of the last PASV
        self.data = None         # its accepted connection
        self.data_ready = threading.Event()

    def reply(self, text):
        with self.send_lock:
            self.conn.sendall(text.encode("latin-1") + b"\r\n")

    def record(self, raw):
        if self.token is None:
            self.pending.append(raw)
            return
        os.makedirs(os.path.join(STATE, "requests"), exist_ok=True)
        with open(os.path.join(STATE, "requests", self.token + ".log"), "ab") as f:
            for line in self.pending + [raw]:
                f.write(line)
        self.pending = []

    def lines(self):
        data = b""
        while not self.closed.is_set():
            while b"\n" in data:
                raw, data = data.split(b"\n", 1)
                yield raw + b"\n"
            chunk = self.conn.recv(4096)
            if not chunk:
                return
            data += chunk

    # --- passive data connection ---

    def open_passive(self):
        self.close_data()
        self.listener = socket.socket()
        self.listener.bind(("127.0.0.1", 0))
        self.listener.listen(1)
        self.listener.settimeout(10)
        self.data_ready.clear()
        listener = self.listener

        def accept():
            try:
                self.data, _ = listener.accept()
            except OSError:
                self.data = None
            self.data_ready.set()

        threading.Thread(target=accept, daemon=True).start()
        return listener.getsockname()[1]

    def close_data(self):
        for s in (self.data, self.listener):
            if s is not None:
                try:
                    s.close()
                except OSError:
                    pass
        self.data = self.listener = None

    def send_data(self, end_reply_delay=0.0, chunk_pause=0.0, silent=False, drop_at=None, drop_control=False,
                  body=None):
        """Sends the file from the restart position (or the given body) on the data connection,
        closes it and then answers 226; silent holds the connection open without sending anything.
        drop_at breaks the data off at that offset, followed by 426 or, with drop_control, by closing
        the session."""
        self.data_ready.wait(10)
        data = self.data
        if data is None:
            self.reply("425 No data connection.")
            return
        try:
            if silent:
                self.closed.wait(20)
                return
            if drop_at is not None:
                data.sendall(content(self.restart, drop_at))
                data.close()
                self.data = None
                if drop_control:
                    self.conn.shutdown(socket.SHUT_RDWR)
                else:
                    self.reply("426 Connection closed; transfer aborted.")
                return
            if chunk_pause:
                for offset in range(self.restart, self.size, 1024):
                    data.sendall(content(offset, min(self.size, offset + 1024)))
                    if self.closed.wait(chunk_pause):
                        return
            else:
                data.sendall(content(self.restart, self.size) if body is None else body)
            data.shutdown(socket.SHUT_RDWR)
            data.close()
            self.data = None
            if end_reply_delay:
                time.sleep(end_reply_delay)
            self.reply("226 Transfer complete.")
        except OSError:
            pass  # the client closed the data connection (stop, time-out)

    # --- commands ---

    def on_user(self, arg):
        parts = arg.split("/")
        self.scenario = parts[0]
        self.token = parts[1] if len(parts) > 1 else "none"
        self.size = int(parts[2]) if len(parts) > 2 and parts[2].isdigit() else 0
        if self.scenario == "user230":
            self.reply("230 Logged in without a password.")
        else:
            self.reply("331 Password required.")

    def on_retr(self, arg):
        s = self.scenario
        options = {}
        if s == "drop":
            # File names end in "_<size>.bin"; each file is cut off 1 to 5 times before it is whole.
            m = re.search(r"_(\d+)\.bin$", arg)
            self.size = int(m.group(1)) if m else 0
            key = "%s/%s" % (self.token, arg)
            with retrievals_lock:
                retrievals[key] = retrievals.get(key, 0) + 1
                n = retrievals[key]
            cut = cut_offset(key, n, self.restart, self.size)
            if cut is not None:
                options = {"drop_at": cut, "drop_control": n % 2 == 0}
        if s == "nosize":
            self.reply("150 Opening BINARY mode data connection for %s." % arg)
        else:
            self.reply("150 Opening BINARY mode data connection for %s (%d bytes)." % (arg, self.size))
        if s == "late226":
            options = {"end_reply_delay": 0.7}
        elif s == "slow":
            options = {"chunk_pause": 0.05}
        elif s == "silent":
            options = {"silent": True}
        threading.Thread(target=self.send_data, kwargs=options, daemon=True).start()

    def handle(self, raw):
        line = raw.decode("latin-1").rstrip("\r\n")
        verb, _, arg = line.partition(" ")
        verb = verb.upper()
        if verb != "USER":
            self.record(raw)
        s = self.scenario
        if verb == "USER":
            self.on_user(arg)
            self.record(raw)
        elif verb == "PASS":
            self.reply("230 Logged in.")
        elif verb == "CWD":
            self.reply("550 No such folder." if s == "cwd550" else "250 Folder changed.")
        elif verb == "TYPE":
            self.reply("200 Type set to %s." % arg)
        elif verb == "PASV":
            port = self.open_passive()
            if s == "pasv-bad":
                self.reply("227 Entering Passive Mode (127,0,0,1,256,%d)." % (port % 256))
            else:
                self.reply("227 Entering Passive Mode (127,0,0,1,%d,%d)." % (port // 256, port % 256))
        elif verb == "REST":
            m = re.match(r"\d+$", arg)
            if s == "rest502":
                self.reply("502 REST not implemented.")
            elif s == "rest-smaller":
                self.restart = 1000
                self.reply("350 Restarting at 1000. Send STORE or RETRIEVE.")
            elif m:
                self.restart = int(arg)
                self.reply("350 Restarting at %d. Send STORE or RETRIEVE." % self.restart)
            else:
                self.reply("501 Bad position.")
        elif verb == "RETR":
            self.on_retr(arg)
        elif verb == "LIST" and s == "names":
            self.reply("150 Here comes the listing.")
            threading.Thread(target=self.send_data, kwargs={"body": NAMES_LISTING}, daemon=True).start()
        elif verb == "QUIT":
            if s == "mute-quit":
                return True  # never answered: the client has to give up by itself
            if s == "cwd550":
                time.sleep(1.0)  # time for the test to ask for a delete while QUIT is under way
            self.reply("221 Goodbye.")
            return False
        else:
            self.reply("500 Unknown command.")
        return True

    def run(self):
        with self.send_lock:
            self.conn.sendall(b"220 Ready.\r\n" if PLAIN_GREETING else GREETING)
        for raw in self.lines():
            if not self.handle(raw):
                break


def serve(conn):
    session = Session(conn)
    try:
        session.run()
    except OSError:
        pass
    finally:
        session.closed.set()
        session.close_data()
        try:
            conn.close()
        except OSError:
            pass


def main():
    port_file = sys.argv[1]
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
        threading.Thread(target=serve, args=(conn,), daemon=True).start()


if __name__ == "__main__":
    main()
