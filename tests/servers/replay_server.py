"""Replays the hostile-server catalogue: every tests/hostile/cases/<case>.case holds, after its
header, the script of each connection the client makes (what to send, what the client must send,
when to close). This one server plays all of them.

    replay_server.py PORT_FILE STATE_DIR

It listens on one loopback port and writes that port to PORT_FILE. What arrives there:

  - an HTTP request whose path is /<case>/<token>/...: connection n of that case and token (the
    requests of one token are counted) plays the script "connection n", or "connection *";
  - "ARM <case> <token>": opens a listener of its own for that case and token and answers
    "PORT <n>". Every connection to it plays the next script. FTP cases use it, because an FTP
    server speaks first: the greeting is part of the scenario, before USER could name it;
  - "REPORT <case> <token>": waits until every script of that token has ended, closes its
    listener and answers "connections <n>", one "problem <text>" line for every way the client
    did not do what a script expected, and "end".

Everything a client sends on connection n is kept in STATE_DIR/requests/<case>-<token>.<n>.log.
The script language is described in tests/hostile/README.md."""
import os
import re
import select
import signal
import socket
import struct
import sys
import threading
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
from content import content  # noqa: E402

CASES = os.path.normpath(os.path.join(HERE, "..", "hostile", "cases"))
STATE = "."
CLIENT_WAIT = 10.0      # how long a script waits for the client to send or connect
REPORT_WAIT = 10.0      # how long a report waits for scripts still playing
LINGER = 15.0           # how long a finished script waits for the client to close


class ScriptError(Exception):
    pass


class ClientGone(Exception):
    """The client closed (or reset) the connection the script plays on."""


class ScriptStop(Exception):
    """The script cannot go on; its problem is already noted."""


# --- scripts ---

def read_script_lines(name, origin):
    path = os.path.join(CASES, name)
    try:
        with open(path, encoding="utf-8") as f:
            raw = f.read().split("\n")
    except OSError as e:
        raise ScriptError("%s: %s" % (origin, e))
    lines = []
    for number, text in enumerate(raw, 1):
        text = text.rstrip("\r").lstrip(" \t")
        if not text or text.startswith("#"):
            continue
        verb, _, arg = text.partition(" ")
        where = "%s:%d" % (name, number)
        if verb == "include":
            lines.extend(read_script_lines(arg.strip() + ".inc", where))
        else:
            lines.append((where, verb, arg))
    return lines


class Script:
    """The connection scripts of one case; the header before them belongs to the test."""

    def __init__(self, case):
        if not re.match(r"^[A-Za-z0-9_.-]+$", case):
            raise ScriptError("not a case name: %r" % case)
        self.blocks = {}
        current = None
        for where, verb, arg in read_script_lines(case + ".case", case):
            if verb == "connection":
                current = self.blocks.setdefault(arg.strip(), [])
            elif current is not None:
                current.append((where, verb, arg))

    def block(self, number):
        return self.blocks.get(str(number), self.blocks.get("*"))


def expand(text, values):
    """The bytes of a script text: ${NAME} replaced by its value, then the escapes \\r \\n \\t
    \\0 \\s (a blank) \\\\ and \\xNN. Other characters go out as themselves (code page 932 above
    ASCII, as a Japanese server would send them)."""
    def value(m):
        if m.group(1) not in values:
            raise ScriptError("unknown value ${%s}" % m.group(1))
        return str(values[m.group(1)])
    text = re.sub(r"\$\{([A-Z_]+)\}", value, text)
    out = bytearray()
    i = 0
    simple = {"r": b"\r", "n": b"\n", "t": b"\t", "0": b"\0", "s": b" ", "\\": b"\\"}
    while i < len(text):
        c = text[i]
        if c == "\\" and i + 1 < len(text):
            e = text[i + 1]
            if e in simple:
                out += simple[e]
                i += 2
                continue
            if e == "x" and re.match(r"[0-9A-Fa-f]{2}", text[i + 2:i + 4]):
                out.append(int(text[i + 2:i + 4], 16))
                i += 4
                continue
            raise ScriptError("unknown escape \\%s" % e)
        out += c.encode("latin-1") if ord(c) < 256 else c.encode("cp932")
        i += 1
    return bytes(out)


def byte_range(arg, values):
    m = re.match(r"^(\d+)\.\.(\d+)$", expand(arg.strip(), values).decode("latin-1"))
    if not m:
        raise ScriptError("not a range A..B: %r" % arg)
    return int(m.group(1)), int(m.group(2))


def seconds(arg):
    try:
        return float(arg)
    except ValueError:
        raise ScriptError("not a number of seconds: %r" % arg)


def shown(data):
    return repr(bytes(data))[2:-1]


# --- one connection ---

class Player:
    """Plays one connection script. For HTTP the request has been read already (the path named the
    case); `expect` then checks its lines. On an armed listener (FTP, also after an HTTP case's
    redirect) `expect` reads the client's next line."""

    def __init__(self, run, sock, number, request=b""):
        self.run = run
        self.sock = sock
        self.number = number
        self.inbuf = b""
        self.request = request
        self.closed = False         # the script closed the control connection
        self.data_listener = None
        self.data = None
        self.data_gone = False
        self.fillers = []
        self.where = "start"
        self.values = {"CASE": run.case, "TOKEN": run.token, "RANGE": 0}
        m = re.search(rb"^Range: bytes=(\d+)-(\d*)", request, re.M)
        if m:
            self.values["RANGE"] = int(m.group(1))
        self.range_end = int(m.group(2)) + 1 if m and m.group(2) else None
        if self.range_end is not None:
            self.range_values(self.range_end)
        os.makedirs(os.path.join(STATE, "requests"), exist_ok=True)
        self.record_path = os.path.join(STATE, "requests", "%s-%s.%d.log" % (run.case, run.token, number))
        self.record(request)

    def problem(self, text):
        self.run.problem("connection %d, %s: %s" % (self.number, self.where, text))

    def range_values(self, end):
        """${RANGE_END} (past the last byte asked for), ${RANGE_LAST} and ${RANGE_MID} (halfway)."""
        self.values.update(RANGE_END=end, RANGE_LAST=end - 1, RANGE_MID=(self.values["RANGE"] + end) // 2)

    def record(self, data):
        if data:
            with open(self.record_path, "ab") as f:
                f.write(data)

    # control connection

    def send(self, data):
        try:
            self.sock.sendall(data)
        except OSError:
            raise ClientGone()

    def receive(self, timeout):
        """Waits up to `timeout` for bytes from the client; False when none came. ClientGone when
        it closed."""
        ready, _, _ = select.select([self.sock], [], [], max(0.0, timeout))
        if not ready:
            return False
        try:
            chunk = self.sock.recv(4096)
        except OSError:
            raise ClientGone()
        if not chunk:
            raise ClientGone()
        self.record(chunk)
        self.inbuf += chunk
        return True

    def read_line(self):
        deadline = time.time() + CLIENT_WAIT
        while b"\n" not in self.inbuf:
            if not self.receive(deadline - time.time()) and time.time() >= deadline:
                return None
        line, self.inbuf = self.inbuf.split(b"\n", 1)
        return line + b"\n"

    def pause(self, limit):
        """Keeps quiet for `limit` seconds, keeping what the client sends meanwhile; ClientGone as
        soon as it closes, so that a script never plays on to a client that has left."""
        deadline = time.time() + limit
        while time.time() < deadline:
            self.receive(min(0.1, deadline - time.time()))

    def wait(self, limit):
        """Silence for up to `limit` seconds, over as soon as the client sends something."""
        if self.inbuf:
            return
        deadline = time.time() + limit
        while time.time() < deadline:
            if self.receive(min(0.1, deadline - time.time())):
                return

    def drain(self):
        try:
            self.sock.setblocking(False)
            while True:
                chunk = self.sock.recv(4096)
                if not chunk:
                    break
                self.record(chunk)
                self.inbuf += chunk
        except OSError:
            pass

    def close(self, reset=False):
        self.drain()
        close_socket(self.sock, reset)
        self.closed = True

    # data connection (FTP passive mode)

    def pasv(self, arg):
        words = arg.split()
        kind = words[0] if words else ""
        if kind == "open":
            address = words[1] if len(words) > 1 else "127.0.0.1"
            self.data_listener = socket.socket()
            self.data_listener.bind((address, 0))
            self.data_listener.listen(1)
        elif kind == "closed":
            probe = socket.socket()
            probe.bind(("127.0.0.1", 0))
            address = "127.0.0.1"
            port = probe.getsockname()[1]
            probe.close()  # nobody listens there any more
            self.values["PASV"] = passive_text(address, port)
            return
        elif kind == "blackhole":
            # A listener whose queue is full: the kernel drops every further connection request,
            # so a client's connect neither succeeds nor fails until it gives up by itself.
            address = "127.0.0.1"
            self.data_listener = socket.socket()
            self.data_listener.bind((address, 0))
            self.data_listener.listen(0)
            for _ in range(2):
                filler = socket.socket()
                filler.setblocking(False)
                filler.connect_ex(self.data_listener.getsockname())
                self.fillers.append(filler)
            time.sleep(0.1)
        else:
            raise ScriptError("pasv open [ADDRESS] | closed | blackhole")
        self.values["PASV"] = passive_text(address, self.data_listener.getsockname()[1])

    def data_accept(self):
        if self.data_listener is None:
            raise ScriptError("data accept without pasv open")
        deadline = time.time() + CLIENT_WAIT
        while time.time() < deadline:
            ready, _, _ = select.select([self.data_listener, self.sock], [], [], 0.1)
            if self.data_listener in ready:
                self.data, _ = self.data_listener.accept()
                return
            if self.sock in ready:
                self.receive(0)  # keeps what the client said; ClientGone when it left
        self.problem("the client made no data connection")
        raise ScriptStop()

    def data_send(self, data):
        if self.data is None or self.data_gone:
            return False
        try:
            self.data.sendall(data)
            return True
        except OSError:
            self.data_gone = True  # the client dropped the data connection: the rest is not sent
            return False

    def data_step(self, arg):
        verb, _, rest = arg.partition(" ")
        if verb == "accept":
            self.data_accept()
        elif verb == "body":
            a, b = byte_range(rest, self.values)
            self.data_send(content(a, b))
        elif verb == "send":
            self.data_send(expand(rest, self.values))
        elif verb == "drip":
            pause, _, span = rest.partition(" ")
            a, b = byte_range(span, self.values)
            for i in range(a, b):
                if i > a:
                    self.pause(seconds(pause))
                if not self.data_send(content(i, i + 1)):
                    break
        elif verb in ("close", "reset"):
            if self.data is not None:
                close_socket(self.data, verb == "reset")
                self.data = None
        else:
            raise ScriptError("unknown data step %r" % verb)

    # the script

    def step(self, verb, arg):
        v = self.values
        if verb == "send":
            self.send(expand(arg, v))
        elif verb == "line":
            self.send(expand(arg, v) + b"\r\n")
        elif verb == "repeat":
            count, _, text = arg.partition(" ")
            self.send(expand(text, v) * int(count))
        elif verb == "body":
            a, b = byte_range(arg, v)
            self.send(content(a, b))
        elif verb in ("drip", "drip-text"):
            pause, _, rest = arg.partition(" ")
            data = content(*byte_range(rest, v)) if verb == "drip" else expand(rest, v)
            for i in range(len(data)):
                if i:
                    self.pause(seconds(pause))
                self.send(data[i:i + 1])
        elif verb == "paced":
            rate, _, span = arg.partition(" ")
            a, b = byte_range(span, v)
            step = max(1, int(rate) * 1024 // 500)  # a five-hundredth of a second's worth
            for at in range(a, b, step):
                if at > a:
                    self.pause(0.002)
                self.send(content(at, min(b, at + step)))
        elif verb == "every":
            pause, count, text = (arg.split(" ", 2) + ["", ""])[:3]
            data = expand(text, v)
            for i in range(int(count)):
                if i:
                    self.pause(seconds(pause))
                self.send(data)
        elif verb == "range-total":
            # The file's size: the end of a range that names none.
            if self.range_end is None:
                self.range_values(int(arg))
        elif verb == "sleep":
            self.pause(seconds(arg))
        elif verb == "wait":
            self.wait(seconds(arg))
        elif verb == "expect":
            self.expect(expand(arg, v))
        elif verb == "expect-no":
            self.expect_no(expand(arg, v))
        elif verb == "expect-close":
            self.expect_close()
        elif verb == "close":
            self.close()
        elif verb == "reset":
            self.close(reset=True)
        elif verb == "pasv":
            self.pasv(arg)
        elif verb == "data":
            self.data_step(arg)
        else:
            raise ScriptError("unknown step %r" % verb)

    def request_lines(self):
        return self.request.split(b"\r\n")

    def expect(self, wanted):
        if self.request:
            if wanted not in self.request_lines():
                self.problem("the request has no line %s" % shown(wanted))
            return
        line = self.read_line()
        if line is None:
            self.problem("waited %d s for %s, the client sent nothing" % (CLIENT_WAIT, shown(wanted)))
            raise ScriptStop()
        if line != wanted + b"\r\n":
            self.problem("expected %s, the client sent %s" % (shown(wanted + b"\r\n"), shown(line)))

    def expect_no(self, prefix):
        for line in self.request_lines():
            if line.startswith(prefix):
                self.problem("the request has the line %s" % shown(line))

    def expect_close(self):
        deadline = time.time() + CLIENT_WAIT
        try:
            while time.time() < deadline and not self.inbuf:
                self.receive(min(0.1, deadline - time.time()))
        except ClientGone:
            pass
        else:
            if self.inbuf:
                self.problem("expected the client to close, it sent %s" % shown(self.inbuf))
            else:
                self.problem("the client did not close the connection")
            raise ScriptStop()
        if self.inbuf:
            self.problem("the client sent %s before it closed" % shown(self.inbuf))
        self.closed = True

    def linger(self):
        """After the last step: the client is expected to close without saying more."""
        deadline = time.time() + LINGER
        try:
            while time.time() < deadline:
                self.receive(min(0.1, deadline - time.time()))
        except ClientGone:
            pass
        if self.inbuf:
            self.problem("the client sent %s after the script's end" % shown(self.inbuf))

    def play(self, steps):
        try:
            for i, (where, verb, arg) in enumerate(steps):
                self.where = where
                try:
                    self.step(verb, arg)
                except ClientGone:
                    # A client that leaves early must not have been expected to do more.
                    for later_where, later_verb, later_arg in steps[i:]:
                        if later_verb == "expect" and not self.request or \
                                later_verb == "data" and later_arg.startswith("accept"):
                            self.where = later_where
                            self.problem("the client closed the connection before '%s %s'" % (later_verb, later_arg))
                            break
                    return
                if self.closed:
                    if i + 1 < len(steps):
                        self.where = steps[i + 1][0]
                        self.problem("steps after the connection was closed")
                    return
            self.where = "end"
            self.linger()
        except ScriptStop:
            pass
        except ScriptError as e:
            self.problem("bad script: %s" % e)
        finally:
            for s in [self.data, self.data_listener] + self.fillers:
                if s is not None:
                    close_socket(s)
            if not self.closed:
                close_socket(self.sock)


def passive_text(address, port):
    return "%s,%d,%d" % (address.replace(".", ","), port // 256, port % 256)


def close_socket(sock, reset=False):
    try:
        if reset:
            sock.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
        else:
            sock.shutdown(socket.SHUT_RDWR)
    except OSError:
        pass
    try:
        sock.close()
    except OSError:
        pass


# --- runs: one case with one token ---

class Run:
    def __init__(self, case, token):
        self.case = case
        self.token = token
        self.lock = threading.Lock()
        self.count = 0
        self.threads = []
        self.players = []
        self.problems = []
        self.listener = None
        self.script = None
        try:
            self.script = Script(case)
        except ScriptError as e:
            self.problem("bad script: %s" % e)

    def problem(self, text):
        with self.lock:
            self.problems.append(text)

    def start(self, sock, request=b""):
        with self.lock:
            self.count += 1
            number = self.count
        steps = self.script.block(number) if self.script else None
        if steps is None:
            self.problem("connection %d was not expected" % number)
            close_socket(sock)
            return
        player = Player(self, sock, number, request)
        thread = threading.Thread(target=player.play, args=(steps,), daemon=True)
        with self.lock:
            self.threads.append(thread)
            self.players.append(player)
        thread.start()

    def serve_listener(self):
        listener = self.listener
        while True:
            try:
                sock, _ = listener.accept()
            except OSError:
                return  # closed by the report
            self.start(sock)

    def report(self):
        deadline = time.time() + REPORT_WAIT
        with self.lock:
            threads = list(self.threads)
            players = list(self.players)
        for thread, player in zip(threads, players):
            thread.join(max(0.0, deadline - time.time()))
            if thread.is_alive():
                player.problem("the script was still playing when the test ended")
        if self.listener is not None:
            close_socket(self.listener)
        with self.lock:
            return self.count, list(self.problems)


runs = {}
runs_lock = threading.Lock()


def run_for(case, token):
    with runs_lock:
        if (case, token) not in runs:
            runs[(case, token)] = Run(case, token)
        return runs[(case, token)]


# --- the shared port ---

def read_until(sock, marker, data=b"", limit=CLIENT_WAIT):
    """Reads on until `data` holds `marker`; None when the client closes or the time runs out."""
    deadline = time.time() + limit
    while marker not in data:
        ready, _, _ = select.select([sock], [], [], max(0.0, deadline - time.time()))
        if not ready:
            return None
        chunk = sock.recv(4096)
        if not chunk:
            return None
        data += chunk
    return data


def arm(sock, case, token):
    run = run_for(case, token)
    listener = socket.socket()
    listener.bind(("127.0.0.1", 0))
    listener.listen(16)
    run.listener = listener
    threading.Thread(target=run.serve_listener, daemon=True).start()
    sock.sendall(b"PORT %d\r\n" % listener.getsockname()[1])


def report(sock, case, token):
    with runs_lock:
        run = runs.pop((case, token), None)
    count, problems = run.report() if run else (0, [])
    text = "connections %d\r\n" % count
    for p in problems:
        text += "problem %s\r\n" % p.replace("\r", " ").replace("\n", " ")
    sock.sendall(text.encode("latin-1", "replace") + b"end\r\n")


def handle(sock):
    data = read_until(sock, b"\n")
    if data is None:
        close_socket(sock)
        return
    first = data.split(b"\n", 1)[0].rstrip(b"\r").decode("latin-1")
    words = first.split(" ")
    if words[0] in ("ARM", "REPORT") and len(words) == 3:
        try:
            (arm if words[0] == "ARM" else report)(sock, words[1], words[2])
        finally:
            close_socket(sock)
        return
    # An HTTP request: its path names the case and the token.
    data = read_until(sock, b"\r\n\r\n", data) or data
    request = data.split(b"\r\n\r\n", 1)[0] + b"\r\n\r\n" if b"\r\n\r\n" in data else data
    parts = words[1].split("/") if len(words) > 1 else []
    if len(parts) < 3 or not os.path.exists(os.path.join(CASES, parts[1] + ".case")):
        sock.sendall(b"HTTP/1.1 404 No such case\r\nContent-Length: 0\r\n\r\n")
        close_socket(sock)
        return
    run_for(parts[1], parts[2]).start(sock, request)


def serve(sock):
    try:
        handle(sock)
    except OSError:
        close_socket(sock)


def main():
    global STATE
    port_file = sys.argv[1]
    STATE = sys.argv[2] if len(sys.argv) > 2 else "."
    listener = socket.socket()
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    listener.bind(("127.0.0.1", 0))
    listener.listen(64)

    def leave(*_):
        # The port file goes with the server, so that a later start never reads a stale port.
        try:
            os.remove(port_file)
        except OSError:
            pass
        os._exit(0)
    signal.signal(signal.SIGTERM, leave)

    with open(port_file + ".tmp", "w") as f:
        f.write(str(listener.getsockname()[1]))
    os.replace(port_file + ".tmp", port_file)
    while True:
        sock, _ = listener.accept()
        threading.Thread(target=serve, args=(sock,), daemon=True).start()


if __name__ == "__main__":
    main()
