"""Starts and stops the local servers of the transfer tests.

    serve.py start STATE_DIR   starts them on free loopback ports and writes STATE_DIR/servers.ini
    serve.py demo STATE_DIR    starts only nginx and the real FTP server, with the demo's files
    serve.py stop STATE_DIR    stops every process recorded in STATE_DIR/pids

servers.ini ([servers]: http, nginx, root, state, ftp, realftp, ftproot, slowftp, replay, fullfolder,
readonlyfolder, https, httpswrongname, httpsexpired, httpsunknownca, scriptedhttps,
renegotiatinghttps, tlsca, plainftp, realftp6, ipv6, proxy, loginproxy) is read by the Windows test programs; root is
the folder nginx
serves (big.bin in it), state holds the scripted servers' request logs, ftproot the folder the real
FTP server serves (big.bin and sub/part.bin in it; anonymous, and the user "quovar" with the
password "p@ss:w/rd"); plainftp is the scripted FTP server greeting as the system's internet client
expects. nginx listens on ::1 too (at the same ports) and realftp6 is the real FTP server on ::1
where the machine has IPv6 (ipv6=1; else 0 and realftp6=0); V6_NAME and DUAL_NAME are the names
scripts/setup puts in /etc/hosts for ::1, and for ::1 then 127.0.0.1. The https ports are nginx
with TLS: a good certificate for localhost, 127.0.0.1, ::1 and V6_NAME, one for another name, an expired one and one from a CA nobody trusts; scriptedhttps is the scripted HTTP server behind TLS; renegotiatinghttps
asks for a new TLS 1.2 handshake half way through its body (renegotiating_https.py). tlsca is the test
CA's DER certificate, which the tests trust inside their own Wine prefix only. fullfolder is a
256 KiB file system and readonlyfolder a read-only one, for the machine-fault tests; both are empty
where this user may not mount file systems. proxy and loginproxy are squid's two ports (see
start_squid), its access log state/squid/access.log.
The demo's servers.ini holds nginx, root, realftp and ftproot only; DEMO_FILES names its files and
DEMO_FULL_SPEED_FILES the large ones in the "full" folder of each root."""
import os
import shutil
import signal
import socket
import subprocess
import sys
import time

from content import content

HERE = os.path.dirname(os.path.abspath(__file__))
V6_NAME = "v6.quovar.test"
DUAL_NAME = "dual.quovar.test"


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def wait_for_port(port, seconds=10):
    deadline = time.time() + seconds
    while time.time() < deadline:
        try:
            with socket.create_connection(("127.0.0.1", port), timeout=0.5):
                return True
        except OSError:
            time.sleep(0.05)
    return False


def spawn(state, args, name):
    log = open(os.path.join(state, name + ".log"), "ab")
    proc = subprocess.Popen(args, stdin=subprocess.DEVNULL, stdout=log, stderr=log, start_new_session=True,
                            cwd=HERE)
    with open(os.path.join(state, "pids"), "a") as f:
        f.write("%d\n" % proc.pid)
    return proc


def start_with_port_file(state, args, name):
    """Starts `args` (interpreter, script, further arguments) with the file STATE/<name>.port put
    after the script; the server writes its port there. Returns that port."""
    port_file = os.path.join(state, name + ".port")
    if os.path.exists(port_file):
        os.remove(port_file)  # a port of an earlier run would be taken for this one's
    spawn(state, args[:2] + [port_file] + args[2:], name)
    deadline = time.time() + 10
    while not os.path.exists(port_file):
        if time.time() > deadline:
            raise SystemExit("%s did not start; see %s/%s.log" % (name, state, name))
        time.sleep(0.05)
    return int(open(port_file).read())


def start_scripted_http(state):
    return start_with_port_file(state, [sys.executable, os.path.join(HERE, "scripted_http.py"), state],
                                "scripted_http")


def start_scripted_ftp(state, *options, name="scripted_ftp"):
    return start_with_port_file(state, [sys.executable, os.path.join(HERE, "scripted_ftp.py"), state, *options],
                                name)


def pyftpdlib_python():
    """An interpreter that has pyftpdlib: this one, or the system's, where Debian's package puts it."""
    for python in (sys.executable, "/usr/bin/python3"):
        if python and subprocess.run([python, "-c", "import pyftpdlib"], stdout=subprocess.DEVNULL,
                                     stderr=subprocess.DEVNULL).returncode == 0:
            return python
    raise SystemExit("no Python with pyftpdlib (Debian package python3-pyftpdlib)")


def start_real_ftp(state, root, rate=0, name="real_ftp", address="127.0.0.1"):
    return start_with_port_file(state, [pyftpdlib_python(), os.path.join(HERE, "real_ftp.py"), root, str(rate), address],
                                name)


def openssl(*args):
    subprocess.run(["openssl"] + list(args), check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def make_certificates(state):
    """A test CA and the servers' certificates, made once per state folder so that a prefix that
    trusts the CA goes on trusting it. Returns the folder that holds them."""
    tls = os.path.join(state, "tls")
    if os.path.exists(os.path.join(tls, "done-2")):
        return tls
    shutil.rmtree(tls, ignore_errors=True)
    os.makedirs(tls)
    path = lambda name: os.path.join(tls, name)
    for ca in ("ca", "otherca"):
        openssl("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", path(ca + ".key"), "-out",
                path(ca + ".pem"), "-days", "3650", "-subj", "/CN=Quovar test %s" % ca,
                "-addext", "basicConstraints=critical,CA:TRUE", "-addext", "keyUsage=critical,keyCertSign,cRLSign")
    openssl("x509", "-in", path("ca.pem"), "-outform", "DER", "-out", path("ca.der"))
    # name, signing CA, host names, days (-1: expired a day before it began)
    for name, ca, names, days in (("good", "ca", "DNS:localhost,IP:127.0.0.1,IP:::1,DNS:" + V6_NAME, "3650"),
                                  ("wrongname", "ca", "DNS:other.invalid", "3650"),
                                  ("expired", "ca", "DNS:localhost,IP:127.0.0.1", "-1"),
                                  ("unknownca", "otherca", "DNS:localhost,IP:127.0.0.1", "3650")):
        with open(path(name + ".ext"), "w") as f:
            f.write("subjectAltName=%s\nextendedKeyUsage=serverAuth\nbasicConstraints=CA:FALSE\n" % names)
        openssl("req", "-newkey", "rsa:2048", "-nodes", "-keyout", path(name + ".key"), "-out", path(name + ".csr"),
                "-subj", "/CN=%s" % names.split(",")[0][4:])
        openssl("x509", "-req", "-in", path(name + ".csr"), "-CA", path(ca + ".pem"), "-CAkey", path(ca + ".key"),
                "-set_serial", str(int(time.time() * 1000)), "-days", days, "-extfile", path(name + ".ext"),
                "-out", path(name + ".pem"))
    open(path("done-2"), "w").close()
    return tls


def ipv6_loopback():
    """True when this machine can listen on ::1."""
    try:
        with socket.socket(socket.AF_INET6) as s:
            s.bind(("::1", 0))
        return True
    except OSError:
        return False


def start_nginx(state, root, tls=None):
    """nginx on a free port for plain HTTP, and with the certificates of `tls` one port for each of
    them, on 127.0.0.1 and, where the machine has it, on ::1 at the same ports. Returns the plain
    port and a dictionary of the TLS ones."""
    listen = lambda port, ssl="": "listen 127.0.0.1:%d%s;" % (port, ssl) + (
        " listen [::1]:%d%s;" % (port, ssl) if ipv6_loopback() else "")
    nginx = shutil.which("nginx") or "/usr/sbin/nginx"
    port = free_port()
    names = ("good", "wrongname", "expired", "unknownca") if tls else ()
    tls_ports = {name: free_port() for name in names}
    # A redirect chain for the tests: plain /to-https/X -> TLS /to-http/X -> plain /X.
    tls_servers = "".join("""
    server {
        %s
        ssl_certificate %s/%s.pem;
        ssl_certificate_key %s/%s.key;
        root %s;
        location /to-http/ { rewrite ^/to-http/(.*)$ http://localhost:%d/$1 redirect; }
        location /ranged/ { alias %s/; limit_rate 2m; }
    }""" % (listen(tls_port, " ssl"), tls, name, tls, name, root, port, root) for name, tls_port in tls_ports.items())
    conf = os.path.join(state, "nginx.conf")
    temp = os.path.join(state, "nginx-temp")
    os.makedirs(temp, exist_ok=True)
    user = "user root;\n" if os.geteuid() == 0 else ""
    with open(conf, "w") as f:
        f.write("""%sworker_processes 1;
daemon off;
pid %s/nginx.pid;
error_log %s/nginx-error.log;
events { worker_connections 256; }
http {
    access_log off;
    log_format ranges '$msec $request_time $status $uri $http_range';
    client_body_temp_path %s/body;
    proxy_temp_path %s/proxy;
    fastcgi_temp_path %s/fastcgi;
    uwsgi_temp_path %s/uwsgi;
    scgi_temp_path %s/scgi;
    default_type application/octet-stream;
    # Compresses whatever a client accepts compressed, as many servers do with text.
    gzip on;
    gzip_types *;
    gzip_min_length 1;
    server {
        %s
        root %s;
        location /to-https/ { rewrite ^/to-https/(.*)$ https://localhost:%d/to-http/$1 redirect; }
        # A line of 400 Mbit/s for the benchmarks.
        location /limited/ { alias %s/; limit_rate 50m; }
        # A server that sends at most 5 MiB/s over each connection, as many mirrors do (the bench).
        location /each-5m/ { alias %s/; limit_rate 5m; }
        # A server that limits each connection, and logs the ranges asked of it.
        location /ranged/ { alias %s/; limit_rate 2m; access_log %s/nginx-ranges.log ranges; }
    }%s
}
""" % (user, state, state, temp, temp, temp, temp, temp, listen(port), root, tls_ports.get("good", 443), root, root, root, state, tls_servers))
    spawn(state, [nginx, "-c", conf, "-p", state], "nginx")
    for p in [port] + list(tls_ports.values()):
        if not wait_for_port(p):
            raise SystemExit("nginx did not start; see %s/nginx-error.log" % state)
    return port, tls_ports


# The proxy's login on its second port (the first asks for none), in the Basic scheme.
PROXY_USER, PROXY_PASSWORD = "quovar", "proxy:pw"


def start_squid(state):
    """squid as the tests' proxy: one port open to every loopback client, one that demands the
    Basic login PROXY_USER, and both refuse the name refused.invalid. Nothing is cached, so every
    request reaches the server behind it. Its access log is <state>/squid/access.log. Returns the
    two ports."""
    squid = shutil.which("squid") or "/usr/sbin/squid"
    folder = os.path.join(state, "squid")
    os.makedirs(folder, exist_ok=True)
    os.chmod(folder, 0o777)  # squid started as root writes as its own user
    # and must reach its folder: a state folder from mktemp -d is open to its owner alone.
    os.chmod(state, os.stat(state).st_mode | 0o111)
    passwords = os.path.join(folder, "passwords")
    hashed = subprocess.run(["openssl", "passwd", "-1", PROXY_PASSWORD], check=True, capture_output=True,
                            text=True).stdout.strip()
    with open(passwords, "w") as f:
        f.write("%s:%s\n" % (PROXY_USER, hashed))
    os.chmod(passwords, 0o644)
    open_port, login_port = free_port(), free_port()
    conf = os.path.join(folder, "squid.conf")
    with open(conf, "w") as f:
        f.write("""http_port 127.0.0.1:%d name=open
http_port 127.0.0.1:%d name=login
pid_filename %s/squid.pid
access_log stdio:%s/access.log
cache_log %s/cache.log
coredump_dir %s
cache deny all
strip_query_terms off
cache_mem 8 MB
shutdown_lifetime 0 seconds
pinger_enable off
auth_param basic program /usr/lib/squid/basic_ncsa_auth %s
auth_param basic realm Quovar test proxy
acl loopback src 127.0.0.1
acl login myportname login
acl member proxy_auth REQUIRED
acl refused dstdomain refused.invalid
http_access deny refused
http_access deny login !member
http_access allow loopback
http_access deny all
""" % (open_port, login_port, folder, folder, folder, folder, passwords))
    spawn(state, [squid, "-N", "-f", conf], "squid")
    for p in (open_port, login_port):
        if not wait_for_port(p, 20):
            raise SystemExit("squid did not start; see %s/cache.log" % folder)
    return open_port, login_port


SMALL_MOUNTS = (("full", "size=256k"), ("readonly", "size=64k,ro"))


def mount_small_file_systems(state):
    """Mounts the small file systems of the machine-fault tests; returns their paths, or empty
    strings where mounting is not allowed."""
    paths = []
    for name, options in SMALL_MOUNTS:
        path = os.path.join(state, name)
        os.makedirs(path, exist_ok=True)
        done = subprocess.run(["mount", "-t", "tmpfs", "-o", options, "quovar-" + name, path],
                              stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL).returncode == 0
        paths.append(path if done else "")
    return paths


def unmount_small_file_systems(state):
    mounted = open("/proc/mounts").read()
    for name, _ in SMALL_MOUNTS:
        path = os.path.join(state, name)
        if " %s " % path in mounted:
            subprocess.run(["umount", "-l", path], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def start(state):
    stop(state)
    os.makedirs(state, exist_ok=True)
    root = os.path.join(state, "www")
    os.makedirs(root, exist_ok=True)
    with open(os.path.join(root, "big.bin"), "wb") as f:
        f.write(content(0, 3 * 1024 * 1024 + 123))
    with open(os.path.join(root, "page.html"), "wb") as f:
        f.write(b"".join(b"<p>line %d of a page that compresses well</p>\n" % i for i in range(4000)))
    ftproot = os.path.join(state, "ftp")
    os.makedirs(os.path.join(ftproot, "sub"), exist_ok=True)
    with open(os.path.join(ftproot, "big.bin"), "wb") as f:
        f.write(content(0, 3 * 1024 * 1024 + 123))
    with open(os.path.join(ftproot, "sub", "part.bin"), "wb") as f:
        f.write(content(0, 300000))
    with open(os.path.join(ftproot, "small.bin"), "wb") as f:
        f.write(content(0, 20000))
    # A big folder for the listing tool: 10 000 empty files.
    many = os.path.join(ftproot, "many")
    os.makedirs(many, exist_ok=True)
    for i in range(10000):
        open(os.path.join(many, "file%05d.bin" % i), "wb").close()
    # Names that Windows cannot hold as they are: the server must still be asked for them as they are.
    for i, name in enumerate(("a:b.bin", "aux.c", "with space.bin")):
        with open(os.path.join(ftproot, name), "wb") as f:
            f.write(content(0, 1000 + i))
    tls = make_certificates(state)
    http = start_scripted_http(state)
    scripted_https = start_with_port_file(
        state, [sys.executable, os.path.join(HERE, "scripted_http.py"), state, os.path.join(tls, "good.pem"),
                os.path.join(tls, "good.key")], "scripted_https")
    renegotiating = start_with_port_file(
        state, [sys.executable, os.path.join(HERE, "renegotiating_https.py"), os.path.join(tls, "good.pem"),
                os.path.join(tls, "good.key")], "renegotiating_https")
    nginx, https = start_nginx(state, root, tls)
    proxy, loginproxy = start_squid(state)
    ftp = start_scripted_ftp(state)
    plainftp = start_scripted_ftp(state, "plain", name="plain_ftp")
    realftp = start_real_ftp(state, ftproot)
    slowftp = start_real_ftp(state, ftproot, rate=4096, name="slow_ftp")
    realftp6 = start_real_ftp(state, ftproot, name="real_ftp6", address="::1") if ipv6_loopback() else 0
    replay = start_with_port_file(state, [sys.executable, os.path.join(HERE, "replay_server.py"), state],
                                  "replay_server")
    full, readonly = mount_small_file_systems(state)
    with open(os.path.join(state, "servers.ini"), "w") as f:
        f.write("[servers]\r\nhttp=%d\r\nnginx=%d\r\nroot=%s\r\nstate=%s\r\nftp=%d\r\nrealftp=%d\r\nftproot=%s\r\n"
                "slowftp=%d\r\nreplay=%d\r\nfullfolder=%s\r\nreadonlyfolder=%s\r\n"
                "https=%d\r\nhttpswrongname=%d\r\nhttpsexpired=%d\r\nhttpsunknownca=%d\r\nscriptedhttps=%d\r\n"
                "renegotiatinghttps=%d\r\ntlsca=%s\r\nplainftp=%d\r\nrealftp6=%d\r\nipv6=%d\r\nproxy=%d\r\n"
                "loginproxy=%d\r\n"
                % (http, nginx, root, state, ftp, realftp, ftproot, slowftp, replay, full, readonly,
                   https["good"], https["wrongname"], https["expired"], https["unknownca"], scripted_https,
                   renegotiating, os.path.join(tls, "ca.der"), plainftp, realftp6, ipv6_loopback(), proxy, loginproxy))
    print("servers: http %d, nginx %d, ftp %d, realftp %d" % (http, nginx, ftp, realftp))


# The files of `scripts/run --demo`: (server, name, size). The demo's list has the default buffer of
# 4096 bytes and a transfer sleeps 10 ms after every buffer, about 400 KB/s; so the biggest file
# takes some 20 s and shows its progress, while the small ones are done before the big ones have
# got going.
DEMO_FILES = (
    ("http", "big-http.bin", 8 * 1024 * 1024 + 321),
    ("http", "medium-http.bin", 1536 * 1024),
    ("http", "page.html", 0),
    ("ftp", "big-ftp.bin", 6 * 1024 * 1024 + 123),
    ("ftp", "medium-ftp.bin", 1024 * 1024),
    ("ftp", "small-ftp.txt", 0),
)

# The large files of the demo's full-speed list, in a folder "full" of each root: at line speed
# they take a few seconds, at the stepped pace they would take ten minutes.
DEMO_FULL_SPEED_FILES = (
    ("http", "huge-http.bin", 256 * 1024 * 1024),
    ("ftp", "huge-ftp.bin", 256 * 1024 * 1024 + 77),
)


def demo_bytes(name, size):
    if name.endswith(".html"):
        return b"<html><body>\n" + b"".join(b"<p>line %d of the demo page</p>\n" % i for i in range(3000)) + \
            b"</body></html>\n"
    if name.endswith(".txt"):
        return b"".join(b"line %d of a small text file\r\n" % i for i in range(400))
    block = content(0, 65536)  # the test pattern, repeated: building it byte by byte is slow
    return (block * (size // len(block) + 1))[:size]


def start_demo(state):
    stop(state)
    os.makedirs(state, exist_ok=True)
    roots = {"http": os.path.join(state, "www"), "ftp": os.path.join(state, "ftp")}
    for root in roots.values():
        os.makedirs(root, exist_ok=True)
    for server, name, size in DEMO_FILES:
        with open(os.path.join(roots[server], name), "wb") as f:
            f.write(demo_bytes(name, size))
    for server, name, size in DEMO_FULL_SPEED_FILES:
        os.makedirs(os.path.join(roots[server], "full"), exist_ok=True)
        with open(os.path.join(roots[server], "full", name), "wb") as f:
            f.write(demo_bytes(name, size))
    nginx, _ = start_nginx(state, roots["http"])
    realftp = start_real_ftp(state, roots["ftp"])
    with open(os.path.join(state, "servers.ini"), "w") as f:
        f.write("[servers]\r\nnginx=%d\r\nroot=%s\r\nrealftp=%d\r\nftproot=%s\r\n"
                % (nginx, roots["http"], realftp, roots["ftp"]))
    print("demo servers: http://127.0.0.1:%d/ serves %s, ftp://127.0.0.1:%d/ serves %s"
          % (nginx, roots["http"], realftp, roots["ftp"]))


def stop(state):
    unmount_small_file_systems(state)
    pids = os.path.join(state, "pids")
    if not os.path.exists(pids):
        return
    for line in open(pids):
        pid = int(line)
        try:
            os.killpg(pid, signal.SIGTERM)
        except OSError:
            pass
    os.remove(pids)
    for name in os.listdir(state):
        if name == "servers.ini" or name.endswith(".port"):
            try:
                os.remove(os.path.join(state, name))
            except FileNotFoundError:
                pass  # a server that has just been told to end may remove its own port file


if __name__ == "__main__":
    {"start": start, "demo": start_demo, "stop": stop}[sys.argv[1]](os.path.abspath(sys.argv[2]))
