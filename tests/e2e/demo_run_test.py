"""Runs `scripts/run --demo --until-done` as a newcomer would (on the virtual display of the test
run, or on one of its own when there is none) and checks what the demo promises: every file the
demo's servers serve arrives byte for byte in both lists (the stepped one and the full-speed one),
Quovar saved each item as finished when it was closed,
and the servers are gone once the script has ended.

    demo_run_test.py SOURCE_DIR SCREENSHOT_DIR"""
import filecmp
import os
import socket
import subprocess
import sys
import time

# Seconds for the whole script: build check, servers, Wine, downloads, close. About 30 on a quiet
# machine; a machine busy with other builds has made it 60.
TIME_LIMIT = 120


def alive(pid):
    try:
        with open("/proc/%d/stat" % pid) as f:
            return f.read().split(") ")[-1][:1] != "Z"
    except OSError:
        return False


def accepts(port):
    try:
        with socket.create_connection(("127.0.0.1", port), timeout=1):
            return True
    except OSError:
        return False


def read_servers(path):
    values = {}
    for line in open(path, newline=""):
        key, sep, value = line.strip().partition("=")
        if sep:
            values[key] = value
    return values


def main():
    source, screenshots = sys.argv[1], sys.argv[2]
    demo = os.path.join(source, "build", "demo")
    state = os.path.join(demo, "servers")
    env = dict(os.environ, QUOVAR_SCREENSHOTS=screenshots)
    env.pop("QUOVAR_SERVERS", None)  # the demo names its own servers
    started = time.time()
    run = subprocess.Popen([os.path.join(source, "scripts", "run"), "--demo", "--until-done"], env=env,
                           stdin=subprocess.DEVNULL)
    # The servers of this run, noted while they serve: the script stops them before it ends.
    servers, pids = None, []
    while run.poll() is None and time.time() - started < TIME_LIMIT:
        ini, pid_file = os.path.join(state, "servers.ini"), os.path.join(state, "pids")
        if servers is None and os.path.exists(ini) and os.path.exists(pid_file):
            servers = read_servers(ini)
            pids = [int(line) for line in open(pid_file) if line.strip()]
        time.sleep(0.1)
    if run.poll() is None:
        run.kill()
        run.wait()
        sys.exit("scripts/run --demo did not end within %d s" % TIME_LIMIT)
    seconds = time.time() - started
    failures = []
    if run.returncode != 0:
        failures.append("scripts/run --demo --until-done ended with %d" % run.returncode)
    if servers is None:
        sys.exit("the demo's servers never wrote %s/servers.ini" % state)

    # Every served file, byte for byte, in the download folder of each list: "demo" holds the plain
    # files of both roots, "fullspeed" those too and the large files of their "full" folders.
    download = os.path.join(demo, "Quovar", "download")
    roots = (servers["root"], servers["ftproot"])
    lists = (("demo", download, roots), ("fullspeed", os.path.join(download, "fullspeed"),
                                         roots + tuple(os.path.join(r, "full") for r in roots)))
    for list_name, folder, list_roots in lists:
        served = []
        for root in list_roots:
            for name in sorted(os.listdir(root)):
                if not os.path.isfile(os.path.join(root, name)):
                    continue
                served.append(name)
                got = os.path.join(folder, name)
                if not os.path.isfile(got):
                    failures.append("%s of %s was not downloaded" % (name, list_name))
                elif not filecmp.cmp(os.path.join(root, name), got, shallow=False):
                    failures.append("%s of %s differs from the served file (%d bytes, %d served)"
                                    % (name, list_name, os.path.getsize(got), os.path.getsize(os.path.join(root, name))))
        if len(served) < 4:
            failures.append("the demo serves only %s for %s" % (served, list_name))

        # What the program itself saved at its close: four lines per item, the last one the finished flag.
        saved = open(os.path.join(demo, "Quovar", "setting", list_name + ".qvr"), "rb").read().split(b"\r\r\n")
        records = [saved[i:i + 4] for i in range(0, len(saved) - 1, 4)]
        names = sorted(r[0].decode("cp932").rsplit("/", 1)[-1] for r in records)
        if names != sorted(served):
            failures.append("the saved list %s holds %s, the servers serve %s" % (list_name, names, sorted(served)))
        unfinished = [r[0].decode("cp932") for r in records if r[3] != b"1"]
        if unfinished:
            failures.append("saved as not finished: %s" % unfinished)

    # The servers are gone: no process left, nothing answers on their ports.
    for pid in pids:
        if alive(pid):
            failures.append("server process %d still runs" % pid)
    for key in ("nginx", "realftp"):
        if accepts(int(servers[key])):
            failures.append("something still answers on the %s port %s" % (key, servers[key]))

    # The picture of the window while it downloads, for people (see scripts/pictures).
    bmp = os.path.join(screenshots, "demo-downloading.bmp")
    if os.path.exists(bmp):
        subprocess.run(["/usr/bin/convert", bmp, bmp[:-4] + ".png"], check=False)
        os.remove(bmp)

    print("demo: %d files, %.1f s from the start of scripts/run to its end" % (len(served), seconds))
    if failures:
        sys.exit("\n".join(failures))


if __name__ == "__main__":
    main()
