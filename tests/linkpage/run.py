"""The link page and the browser extension in real browsers: serves the harness, a page with links,
a hostile page and EnumLinks.html (as the build makes it) on loopback; lets headless Chromium run the
harness, and checks what the link page showed, what it copied and how long 20 000 links took; then
has the extension (with its icons drawn as the build draws them) list the pages in headless Chromium
and headless Firefox, and web-ext check it against Firefox's rules. A second loopback server is the
other site of a cross-origin frame; one page never finishes loading. With a folder argument it also
saves pictures of both lists.

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
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "..", "resources"))
import make_browser_icons  # noqa: E402
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
CLICKED = "右クリックしたリンク"
TOO_LONG = "Quovar で扱えない長さの URL です (8192 文字まで)。コピーしません"
FOREIGN = "別のサイト ({}) のページなので読めません。ブラウザが読ませるのは右クリックしたページのサイトだけです"
CHANGED = "このタブは、右クリックしたときのページをもう表示していません。"
LONG_URL = "http://example.test/" + "x" * 9000
MANY = [("word " * 40 + "...", "http://example.test/chapter.bin")] + [
    ("file %d" % i, "http://many.example.test/dir/file%d.bin" % i) for i in range(100000)]
# A link holding a chapter of text (2 000 paragraphs), then 100 000 links, shown before the entry
# is chosen, as a page the user sees is (Chromium's run waits for the frame: the page's first
# layout and paint of them, a second or more, would otherwise be timed as the list's).
ADD_MANY = ("var c = document.body.appendChild(document.createElement('a')); c.href = 'http://example.test/chapter.bin';"
            " for (var i = 0; i < 2000; i++) c.appendChild(document.createElement('p')).textContent = 'word '.repeat(100);"
            " for (i = 0; i < 100000; i++) { var a = document.body.appendChild(document.createElement('a'));"
            " a.href = 'http://many.example.test/dir/file' + i + '.bin'; a.textContent = 'file ' + i; }"
            " new Promise(function (shown) { requestAnimationFrame(function () { setTimeout(shown, 0, true); }); })")
# Sent at once, and then the page never ends.
ENDLESS = (b'<!DOCTYPE html><html><head><meta charset="utf-8"></head><body>'
           b'<p><a href="http://example.test/early.bin">early</a></p><!--' + b" " * 4096 + b"-->")
# The list page's title is the entry's, in the browser's language.
TITLES = {"Chromium": {"quovar-links": "リンクの列挙", "quovar-links-in-selection": "選択範囲のリンクの列挙"},
          "Firefox": {"quovar-links": "List the links", "quovar-links-in-selection": "List the links in the selection"}}


def rows(links):
    return [(t, u, "") for t, u in links]


# The extension's cases: the page, the entry chosen, a script the page runs first, the id of the
# link right-clicked, a script run between the click and the entry, when the page counts as ready,
# and the rows listed (text, URL, note; None: the page changed) for the expected rows of page.html
# and the other site's origin.
CASES = [dict(page="page.html", what="a page", wanted=lambda expected, foreign: rows(expected)),
         dict(page="hostile.html", what="the hostile page", wanted=lambda expected, foreign: rows(HOSTILE_NATIVE)),
         dict(page="page.html", entry="quovar-links-in-selection", prepare=SELECT_FIFTH_PARAGRAPH, what="a selection",
              wanted=lambda expected, foreign: rows(expected[3:5])),
         dict(page="frames.html", link="clicked", what="frames, shadow roots and a right-clicked link", shot=True,
              wanted=lambda expected, foreign: [
                  ("right-clicked", "http://example.test/clicked.bin", CLICKED), ("top", "http://example.test/top.bin", ""),
                  ("inner", "http://example.test/inner.bin", ""),
                  ("(読めないフレーム)", foreign + "/site/page.html", FOREIGN.format(foreign)),
                  ("shadow", "http://example.test/shadow.bin", ""),
                  ("too long", LONG_URL[:200] + "... (%d)" % len(LONG_URL), TOO_LONG)]),
         dict(page="page.html", prepare=ADD_MANY, what="100 000 links", wanted=lambda expected, foreign: rows(expected + MANY)),
         dict(page="endless.html", ready="document.links.length > 0", what="a page that never finishes loading",
              wanted=lambda expected, foreign: [("early", "http://example.test/early.bin", "")]),
         dict(page="page.html", then="history.pushState(null, '', 'moved.html')", what="a page that moved after the click",
              wanted=lambda expected, foreign: None)]
for case in CASES:
    case.setdefault("entry", "quovar-links")
    case.setdefault("ready", "document.readyState == 'complete'")
COPIED = "個のＵＲＬをコピーしました。"
FAILED = "クリップボードにコピーできませんでした"
LONGEST_MS = 3000  # 20 000 links on a 2-core machine


def harness_result(dom):
    found = re.search(r'<pre id="result">(.*?)</pre>', dom, re.S)
    if not found or found.group(1).startswith("not run"):
        sys.exit("link page: the harness did not run:\n" + dom[-2000:])
    return json.loads(found.group(1).replace("&lt;", "<").replace("&gt;", ">").replace("&quot;", '"')
                      .replace("&amp;", "&"))


def firefox_lint(extension):
    """web-ext's report on the extension against Firefox's rules (scripts/setup installs it)."""
    if not os.path.exists(WEB_EXT):
        sys.exit("link page: no web-ext at %s (scripts/setup installs it)" % WEB_EXT)
    run = subprocess.run([WEB_EXT, "lint", "--source-dir", extension, "--output", "json", "--no-input"],
                         capture_output=True, text=True, timeout=120, env=dict(os.environ, NO_UPDATE_NOTIFIER="1"))
    try:
        return json.loads(run.stdout)
    except ValueError:
        sys.exit("link page: web-ext lint answered no report:\n%s%s" % (run.stdout[-2000:], run.stderr[-2000:]))


class Quiet(http.server.SimpleHTTPRequestHandler):
    def log_message(self, *args):
        pass

    def do_GET(self):
        if not self.path.startswith("/site/endless.html"):
            return super().do_GET()
        self.send_response(200)
        self.send_header("Content-Type", "text/html; charset=utf-8")
        self.end_headers()
        self.wfile.write(ENDLESS)
        self.wfile.flush()
        time.sleep(300)  # the server's threads do not hold up its end


def main():
    for browser in (BROWSER, firefox.BROWSER):
        if not os.path.exists(browser):
            sys.exit("link page: no %s (scripts/setup installs it)" % browser)
    resources = sys.argv[1]
    shots = sys.argv[2] if len(sys.argv) > 2 else ""
    with tempfile.TemporaryDirectory() as root:
        site = os.path.join(root, "site")
        os.makedirs(site)
        servers = [http.server.ThreadingHTTPServer(("127.0.0.1", 0), functools.partial(Quiet, directory=root))
                   for _ in range(2)]
        for server in servers:
            threading.Thread(target=server.serve_forever, daemon=True).start()
        origin = "http://127.0.0.1:%d" % servers[0].server_address[1]
        foreign = "http://localhost:%d" % servers[1].server_address[1]
        for name in ("harness.html", "page.html", "hostile.html", "frames.html"):
            with open(os.path.join(HERE, name), encoding="utf-8") as f:
                page = f.read().replace("FOREIGN_ORIGIN", foreign)
            with open(os.path.join(site, name), "w", encoding="utf-8") as f:
                f.write(page)
        with open(os.path.join(site, "EnumLinks.html"), "w", encoding="ascii") as f:
            f.write(make_link_page.link_page())
        # The extension as the build ships it: the folder and the icons it draws.
        shipped = os.path.join(root, "browser")
        shutil.copytree(EXTENSION, shipped)
        make_browser_icons.write_icons(os.path.join(shipped, "icons"))
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
                readings = extension.run(BROWSER, HEADLESS + ["--window-size=900,640"], shipped, root, origin, CASES,
                                         os.path.join(shots, "browser-extension.png") if shots else None)
            except RuntimeError as e:
                readings = str(e)
            try:
                firefox_readings = firefox.run(shipped, root, origin, CASES)
            except (RuntimeError, OSError) as e:
                firefox_readings = str(e)
            lint = firefox_lint(shipped)
        finally:
            for server in servers:
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
    check(lint["summary"]["errors"] == 0, "web-ext lint: %r" % lint["errors"])
    times = []
    for browser, scheme, run in (("Chromium", "chrome-extension://", readings),
                                 ("Firefox", "moz-extension://", firefox_readings)):
        if isinstance(run, str):
            failures.append("the extension in %s: %s" % (browser, run))
            continue
        for case, reading in zip(CASES, run):
            wanted, what = case["wanted"](expected, foreign), case["what"]
            check(reading["title"] == TITLES[browser][case["entry"]], "the list's title in %s on %s: %r"
                  % (browser, what, reading["title"]))
            if wanted is None:
                check(reading["state"] == "changed" and reading["message"].startswith(CHANGED),
                      "the extension in %s on %s: %s %r" % (browser, what, reading["state"], reading["message"]))
                continue
            shown = [tuple(row) for row in reading["shown"]]
            check(shown == wanted and reading["origin"].startswith(scheme),
                  "the extension in %s on %s showed %r at %s %s"
                  % (browser, what, shown[:8], reading["origin"], reading["message"]))
            copied = [u for _, u, note in wanted if note in ("", CLICKED)]
            check(reading["copied"] == "".join(u + "\r\n" for u in copied)
                  and reading["status"].startswith("%d %s" % (len(copied), COPIED)),
                  "the extension in %s on %s copied %r (%r)" % (browser, what, (reading["copied"] or "")[:300],
                                                                reading["status"]))
            if case.get("prepare") == ADD_MANY:
                times.append("%s %d ms" % (browser, reading["ms"]))
    if failures:
        sys.exit("link page:\n  " + "\n  ".join(failures))
    menu_copy = "refused by the browser" if result["menuCopyEvent"] is None else "copied"
    print("link page: %d links shown and copied as lines, also from the context menu (its copy %s); "
          "20 000 links in %d ms; the hostile page's lies dropped and a refused window explained; "
          "the browser extension listed and copied (from a real click) %s in Chromium "
          "(entry's handler called in its service worker) and Firefox (entry chosen in the context menu); "
          "100 000 links listed in %s; web-ext lint: no errors, warnings: %s"
          % (len(expected), menu_copy, result["manyMs"], ", ".join(c["what"] for c in CASES), ", ".join(times),
             "; ".join(w["message"] for w in lint["warnings"]) or "none"))


if __name__ == "__main__":
    main()
