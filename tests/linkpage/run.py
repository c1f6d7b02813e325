"""The link page and the browser extension in real browsers: serves the harness, a page with links,
a hostile page and EnumLinks.html (as the build makes it) on loopback; lets headless Chromium run the
harness, and checks what the link page showed, what it copied and how long 20 000 links took; then
has the extension list the pages in headless Chromium and headless Firefox, and web-ext check it
against Firefox's rules. With a folder argument it also saves pictures of both lists.

    run.py RESOURCES_FOLDER [SCREENSHOT_FOLDER]"""
import functools
import http.server
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile
import threading

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "..", "resources"))
import make_link_page  # noqa: E402
import extension  # noqa: E402
import firefox  # noqa: E402

BROWSER = shutil.which("chromium") or "/usr/bin/chromium"
EXTENSION = os.path.join(HERE, "..", "..", "browser")
WEB_EXT = os.path.join(HERE, "..", "..", "build", "tools", "web-ext", "node_modules", ".bin", "web-ext")
HEADLESS = ["--headless", "--no-sandbox", "--disable-gpu", "--no-first-run"]
# The context menu opens the list's window from a script of its own, which no popup blocker stops.
FLAGS = HEADLESS + ["--disable-extensions", "--disable-popup-blocking"]

EXPECTED = [
    ("A bold file", "http://example.test/files/a.bin"),
    ("a relative link", "{base}/files/b.zip"),
    ("one from the root", "{root}/top.bin"),
    ("an FTP file", "ftp://ftp.example.test/pub/c.iso"),
    ("a secure one", "https://secure.example.test/d.bin"),
    ('<img src=x onerror="parent.hacked = 1"></td>', "http://example.test/e.bin"),
    ("日本語の リンク", "http://example.test/%E6%97%A5.bin"),
    ("map", "http://example.test/map.bin"),
]
HOSTILE_SHOWN = ["http://example.test/five.bin", "http://example.test/six.bin"]
REFUSED = ("リンクの一覧のウィンドウをブラウザが開かせませんでした (ポップアップブロック?)。"
           "このサイトのポップアップを許可してから、もう一度「リンクの列挙」を選んでください。")
# The hostile page read in the extension's own world: the links as the browser made them.
HOSTILE_NATIVE = [("one", "http://example.test/one.bin"), ("two", "http://example.test/two.bin"),
                  ("three", "http://example.test/three.bin"), ("four", "http://example.test/four.bin"),
                  ("five", "http://example.test/five.bin"), ("six", "http://example.test/six.bin")]
SELECT_FIFTH_PARAGRAPH = ("var r = document.createRange(); r.selectNodeContents(document.querySelectorAll('p')[4]);"
                          " getSelection().removeAllRanges(); getSelection().addRange(r); true")
# The extension's cases: the page, the entry chosen, a script the page runs first, and what it lists.
CASES = [("page.html", "quovar-links", None, "a page", lambda expected: expected),
         ("hostile.html", "quovar-links", None, "the hostile page", lambda expected: HOSTILE_NATIVE),
         ("page.html", "quovar-links-in-selection", SELECT_FIFTH_PARAGRAPH, "a selection",
          lambda expected: expected[3:5])]
COPIED = "個のＵＲＬをコピーしました。"
FAILED = "クリップボードにコピーできませんでした"
LONGEST_MS = 3000  # 20 000 links on a 2-core machine


def harness_result(dom):
    found = re.search(r'<pre id="result">(.*?)</pre>', dom, re.S)
    if not found or found.group(1).startswith("not run"):
        sys.exit("link page: the harness did not run:\n" + dom[-2000:])
    return json.loads(found.group(1).replace("&lt;", "<").replace("&gt;", ">").replace("&quot;", '"')
                      .replace("&amp;", "&"))


def firefox_lint():
    """web-ext's report on the extension against Firefox's rules (scripts/setup installs it)."""
    if not os.path.exists(WEB_EXT):
        sys.exit("link page: no web-ext at %s (scripts/setup installs it)" % WEB_EXT)
    run = subprocess.run([WEB_EXT, "lint", "--source-dir", EXTENSION, "--output", "json", "--no-input"],
                         capture_output=True, text=True, timeout=120, env=dict(os.environ, NO_UPDATE_NOTIFIER="1"))
    try:
        return json.loads(run.stdout)
    except ValueError:
        sys.exit("link page: web-ext lint answered no report:\n%s%s" % (run.stdout[-2000:], run.stderr[-2000:]))


class Quiet(http.server.SimpleHTTPRequestHandler):
    def log_message(self, *args):
        pass


def main():
    for browser in (BROWSER, firefox.BROWSER):
        if not os.path.exists(browser):
            sys.exit("link page: no %s (scripts/setup installs it)" % browser)
    resources = sys.argv[1]
    shots = sys.argv[2] if len(sys.argv) > 2 else ""
    with tempfile.TemporaryDirectory() as root:
        site = os.path.join(root, "site")
        os.makedirs(site)
        for name in ("harness.html", "page.html", "hostile.html"):
            shutil.copy(os.path.join(HERE, name), site)
        with open(os.path.join(site, "EnumLinks.html"), "w", encoding="ascii") as f:
            f.write(make_link_page.link_page())
        server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), functools.partial(Quiet, directory=root))
        threading.Thread(target=server.serve_forever, daemon=True).start()
        origin = "http://127.0.0.1:%d" % server.server_address[1]
        profile = os.path.join(root, "profile")
        try:
            dom = subprocess.run([BROWSER, *FLAGS, "--user-data-dir=" + profile, "--dump-dom",
                                  origin + "/site/harness.html"],
                                 capture_output=True, text=True, timeout=120).stdout
            # The same with the browser's pop-up blocker on, on the hostile page.
            blocking = [f for f in FLAGS if f != "--disable-popup-blocking"]
            hostile_dom = subprocess.run([BROWSER, *blocking, "--user-data-dir=" + profile, "--dump-dom",
                                          origin + "/site/harness.html?hostile"],
                                         capture_output=True, text=True, timeout=120).stdout
            if shots:
                subprocess.run([BROWSER, *FLAGS, "--user-data-dir=" + profile, "--window-size=900,640",
                                "--screenshot=" + os.path.join(shots, "link-page.png"),
                                origin + "/site/harness.html?shot"], capture_output=True, timeout=120)
            try:
                readings = extension.run(BROWSER, HEADLESS + ["--window-size=900,640"], EXTENSION, root, origin,
                                         [c[:3] for c in CASES],
                                         os.path.join(shots, "browser-extension.png") if shots else None)
            except RuntimeError as e:
                readings = str(e)
            try:
                firefox_readings = firefox.run(EXTENSION, root, origin, [c[:3] for c in CASES])
            except (RuntimeError, OSError) as e:
                firefox_readings = str(e)
        finally:
            server.shutdown()

    result = harness_result(dom)
    hostile = harness_result(hostile_dom)
    expected = [(t, u.format(base=origin + "/site", root=origin)) for t, u in EXPECTED]
    failures = []

    def check(ok, what):
        if not ok:
            failures.append(what)

    check(result["menuWindows"] == 1, "from the context menu, windows opened: %r" % result["menuWindows"])
    if result["menuWindows"] == 1:
        menu_wanted = "".join(u + "\r\n" for _, u in expected)
        check(result["menuUrls"] == [u for _, u in expected], "URLs shown from the menu: %r" % result["menuUrls"])
        check(result["menuIntro"] == 0, "from the menu, the page still showed its introduction")
        # Whether the browser lets a script copy without a real click is the browser's choice; the
        # status must tell which way it went, and a copy that happened holds every chosen URL.
        if result["menuCopyEvent"] is None:
            check(result["menuStatus"] == FAILED, "status of a refused copy: %r" % result["menuStatus"])
        else:
            check(result["menuCopyEvent"] == menu_wanted, "copied from the menu: %r" % result["menuCopyEvent"])
            check(result["menuStatus"].startswith("%d " % len(expected)), "status after the menu's copy: %r"
                  % result["menuStatus"])
    check(result["intro"], "opened by itself, the page says where it is meant to be opened from")
    check(result["urls"] == [u for _, u in expected], "URLs shown: %r" % result["urls"])
    check(result["texts"] == [t for t, _ in expected], "texts shown: %r" % result["texts"])
    check(result["elementsInCells"] == 0 and not result["hacked"], "a link text was taken as markup")
    wanted = "".join(u + "\r\n" for _, u in expected[1:])
    check(result["copied"] == ["Text:" + wanted], "copied: %r" % result["copied"])
    check(result["status"].startswith("%d " % (len(expected) - 1)), "status after the copy: %r" % result["status"])
    check(result["copiedWhenNoneChosen"] == 1, "a copy with nothing chosen reached the clipboard")
    check(result["manyShown"] == len(expected) + 20000, "links shown of a big page: %r" % result["manyShown"])
    check(result["manyMs"] <= LONGEST_MS, "20 000 links took %d ms" % result["manyMs"])
    # The hostile page's own getters and links list still speak to a link page in its world; what
    # would not stay one line on the clipboard must not be listed, and its `open` not be used.
    check(hostile["urls"] == HOSTILE_SHOWN, "URLs shown of the hostile page: %r" % hostile["urls"])
    check(hostile["pageOpens"] == 0, "the list's window came from the page's own open")
    check(hostile["menuWindows"] == 0 and hostile["alerts"] == [REFUSED] and hostile["message"] == REFUSED,
          "a refused window: %r windows, alerts %r, message %r"
          % (hostile["menuWindows"], hostile["alerts"], hostile["message"]))
    # The extension: the same list from its own page, whatever the page defines.
    failures += extension.manifest_faults(EXTENSION)
    lint = firefox_lint()
    check(lint["summary"]["errors"] == 0, "web-ext lint: %r" % lint["errors"])
    for browser, scheme, run in (("Chromium", "chrome-extension://", readings),
                                 ("Firefox", "moz-extension://", firefox_readings)):
        if isinstance(run, str):
            failures.append("the extension in %s: %s" % (browser, run))
            continue
        for (_, _, _, what, wanted), reading in zip(CASES, run):
            wanted = wanted(expected)
            shown = [tuple(row) for row in reading["shown"]]
            check(shown == wanted and reading["origin"].startswith(scheme),
                  "the extension in %s on %s showed %r at %s %s"
                  % (browser, what, shown, reading["origin"], reading["message"]))
            check(reading["copied"] == "".join(u + "\r\n" for _, u in wanted)
                  and reading["status"].startswith("%d %s" % (len(wanted), COPIED)),
                  "the extension in %s on %s copied %r (%r)" % (browser, what, reading["copied"], reading["status"]))
    if failures:
        sys.exit("link page:\n  " + "\n  ".join(failures))
    menu_copy = "refused by the browser" if result["menuCopyEvent"] is None else "copied"
    print("link page: %d links shown and copied as lines, also from the context menu (its copy %s); "
          "20 000 links in %d ms; the hostile page's lies dropped and a refused window explained; "
          "the browser extension listed and copied a page, the hostile page and a selection in Chromium "
          "(entry's handler called in its service worker) and Firefox (entry chosen in the context menu); "
          "web-ext lint: no errors, warnings: %s"
          % (len(expected), menu_copy, result["manyMs"],
             "; ".join(w["message"] for w in lint["warnings"]) or "none"))


if __name__ == "__main__":
    main()
