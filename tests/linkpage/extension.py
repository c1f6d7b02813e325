"""The browser extension in headless Chromium, driven over the browser's DevTools pipe: opens a page
served on loopback, calls the context-menu entry's handler in the extension's service worker (there
is no menu to click headless), and reads the list page it opened: its rows, and what its copy button,
clicked as a user does, put on the clipboard. Used by run.py."""
import base64
import json
import os
import select
import shutil
import subprocess
import time

# Headless has no context menu whose click would lend the extension the tab; the copy under test
# gets the loopback site instead (not the other site, "localhost"). The shipped manifest is checked
# to ask for no host at all. This Chromium has only its English UI; the copy under test has only
# the default language, Japanese, as a browser in any language but English shows it (Firefox shows
# the English).
LENT = ["http://127.0.0.1/*"]
PERMISSIONS = ["contextMenus", "activeTab", "scripting"]


class DevTools:
    """Chromium with its DevTools protocol on file descriptors 3 (to it) and 4 (from it)."""

    def __init__(self, browser, flags, log):
        to_browser, self.writer = os.pipe()
        self.reader, from_browser = os.pipe()

        def pipes():
            a, b = os.dup(to_browser), os.dup(from_browser)
            os.dup2(a, 3)
            os.dup2(b, 4)

        self.process = subprocess.Popen([browser, *flags, "--remote-debugging-pipe", "about:blank"],
                                        preexec_fn=pipes, pass_fds=(3, 4), stdin=subprocess.DEVNULL,
                                        stdout=log, stderr=log)
        os.close(to_browser)
        os.close(from_browser)
        self.pending = b""
        self.last = 0

    def call(self, method, params=None, session=None, timeout=30):
        self.last += 1
        message = {"id": self.last, "method": method, "params": params or {}}
        if session:
            message["sessionId"] = session
        os.write(self.writer, json.dumps(message).encode() + b"\0")
        end = time.monotonic() + timeout
        while True:
            while b"\0" not in self.pending:
                left = end - time.monotonic()
                if left <= 0 or not select.select([self.reader], [], [], left)[0]:
                    raise RuntimeError("no answer to %s within %d s" % (method, timeout))
                data = os.read(self.reader, 1 << 20)
                if not data:
                    raise RuntimeError("the browser ended during %s" % method)
                self.pending += data
            line, _, self.pending = self.pending.partition(b"\0")
            answer = json.loads(line)
            if answer.get("id") == self.last:  # events are not needed
                if "error" in answer:
                    raise RuntimeError("%s: %s" % (method, answer["error"].get("message")))
                return answer["result"]

    def evaluate(self, session, expression, timeout=30):
        """The value of a script (awaited when it is a promise)."""
        result = self.call("Runtime.evaluate", {"expression": expression, "awaitPromise": True,
                                                "returnByValue": True}, session, timeout)
        if "exceptionDetails" in result:
            details = result["exceptionDetails"]
            raise RuntimeError("script failed: %s in %.60s" % (details.get("exception", {}).get("description", details), expression))
        return result["result"].get("value")

    def targets(self):
        return self.call("Target.getTargets")["targetInfos"]

    def attach(self, target):
        return self.call("Target.attachToTarget", {"targetId": target, "flatten": True})["sessionId"]

    def wait(self, what, probe, timeout=30):
        end = time.monotonic() + timeout
        while time.monotonic() < end:
            found = probe()
            if found:
                return found
            time.sleep(0.1)
        raise RuntimeError("waited %d s for %s" % (timeout, what))

    def close(self):
        try:
            self.call("Browser.close", timeout=10)
        except (RuntimeError, OSError):
            pass
        try:
            self.process.wait(10)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()
        os.close(self.writer)
        os.close(self.reader)


# Read in the list page as soon as it has its answer: what it says, and where its copy button is; what
# the copy then puts on the clipboard is kept as the copy event carries it, for COPIED. The rows
# are read by ROWS once all are made (a long list shows its first ones at once).
READ_LIST = r"""(function () {
  window.quovarCopied = null;
  document.addEventListener("copy", function (e) { window.quovarCopied = e.clipboardData.getData("text/plain"); });
  var buttons = document.querySelectorAll("#quovar-bar button"), box = buttons.length == 3 && buttons[2].getBoundingClientRect();
  return { origin: location.origin, title: document.title, state: document.documentElement.getAttribute("data-quovar"),
           button: box ? [box.left + box.width / 2, box.top + box.height / 2] : null,
           message: (document.getElementById("quovar-message") || {}).textContent || "" };
})()"""
ROWS = r"""document.documentElement.getAttribute("data-quovar") == "showing" ? null : { shown: [].map.call(
  document.querySelectorAll("#quovar-links tr"), function (r) { return [].map.call(r.cells, function (c) { return c.textContent; }).slice(1); }) }"""
COPIED = r"""({ copied: window.quovarCopied, status: (document.getElementById("quovar-status") || {}).textContent || "" })"""
# The list page has its answer (the list, or a message that ends the wait).
DONE = "!!document.documentElement && /^(showing|shown|unreadable|changed)$/.test(document.documentElement.getAttribute('data-quovar'))"


def manifest_faults(folder):
    """What the shipped manifest asks for beyond the list page's needs."""
    with open(os.path.join(folder, "manifest.json"), encoding="utf-8") as f:
        manifest = json.load(f)
    faults = []
    if manifest.get("manifest_version") != 3 or sorted(manifest.get("permissions", [])) != sorted(PERMISSIONS):
        faults.append("manifest version or permissions: %r %r" % (manifest.get("manifest_version"),
                                                                    manifest.get("permissions")))
    for key in ("host_permissions", "optional_host_permissions", "content_scripts", "content_security_policy",
                "externally_connectable", "web_accessible_resources"):
        if key in manifest:
            faults.append("the manifest asks for %s" % key)
    return faults


def run(browser, flags, source, root, origin, cases, shot=None):
    """Runs each case of run.py's CASES and answers per case the list page's reading (READ_LIST,
    COPIED and the milliseconds from the entry's handler to the list), or raises RuntimeError."""
    extension = os.path.join(root, "extension")
    shutil.copytree(source, extension)
    shutil.rmtree(os.path.join(extension, "_locales", "en"), ignore_errors=True)
    path = os.path.join(extension, "manifest.json")
    with open(path, encoding="utf-8") as f:
        manifest = json.load(f)
    manifest["host_permissions"] = LENT
    with open(path, "w", encoding="utf-8") as f:
        json.dump(manifest, f)
    readings = []
    with open(os.path.join(root, "extension-browser.log"), "w") as log:
        chromium = DevTools(browser, [*flags, "--user-data-dir=" + os.path.join(root, "extension-profile"),
                                      "--load-extension=" + extension,
                                      "--disable-extensions-except=" + extension], log)
        try:
            worker = chromium.wait("the extension's service worker", lambda: [
                t for t in chromium.targets() if t["type"] == "service_worker" and t["url"].endswith("/background.js")])
            base = worker[0]["url"][:-len("background.js")]
            worker = chromium.attach(worker[0]["targetId"])
            chromium.wait("the service worker's handler", lambda: chromium.evaluate(
                worker, "typeof chrome == 'object' && typeof openLinkList == 'function'"))
            for n, case in enumerate(cases):
                url = "%s/site/%s?case=%d" % (origin, case["page"], n)
                tab = chromium.call("Target.createTarget", {"url": url})["targetId"]
                session = chromium.attach(tab)
                chromium.wait(url, lambda: chromium.evaluate(session, "location.href == %s && (%s)" % (json.dumps(url), case["ready"])))
                if case.get("prepare"):
                    chromium.evaluate(session, case["prepare"])
                info = {"menuItemId": case["entry"], "frameId": 0, "pageUrl": url}
                if case.get("link"):
                    info["linkUrl"] = chromium.evaluate(session, "document.getElementById(%s).href" % json.dumps(case["link"]))
                find = ("chrome.tabs.query({}).then(function (tabs) {"
                        " return tabs.filter(function (t) { return t.url == %s; })[0]; })" % json.dumps(url))
                page_tab = chromium.wait("the page's tab", lambda: chromium.evaluate(worker, find))["id"]
                if case.get("then"):
                    chromium.evaluate(session, case["then"])
                before = {t["targetId"] for t in chromium.targets()}
                start = time.monotonic()
                chromium.evaluate(worker, "chrome.tabs.get(%d).then(function (tab) { return openLinkList(%s, tab); })"
                                  ".then(function (t) { return t.id; })" % (page_tab, json.dumps(info)))
                listed = chromium.wait("the list page", lambda: [
                    t for t in chromium.targets() if t["targetId"] not in before and t["url"].startswith(base + "list.html")])
                view = chromium.attach(listed[0]["targetId"])
                chromium.wait("the list page's links", lambda: chromium.evaluate(view, DONE))
                ms = round(1000 * (time.monotonic() - start))
                chromium.call("Page.bringToFront", {}, view)
                if shot and case.get("shot"):
                    picture = chromium.call("Page.captureScreenshot", {"format": "png"}, view)["data"]
                    with open(shot, "wb") as f:
                        f.write(base64.b64decode(picture))
                reading = chromium.evaluate(view, READ_LIST, timeout=120)
                if reading["button"]:
                    x, y = reading["button"]
                    for kind in ("mousePressed", "mouseReleased"):
                        chromium.call("Input.dispatchMouseEvent", {"type": kind, "x": x, "y": y, "button": "left",
                                                                   "clickCount": 1}, view, timeout=120)
                reading.update(chromium.evaluate(view, COPIED), ms=ms)
                reading.update(chromium.wait("all the rows", lambda: chromium.evaluate(view, ROWS, timeout=120), 120))
                readings.append(reading)
                for target in (listed[0]["targetId"], tab):
                    chromium.call("Target.closeTarget", {"targetId": target})
        finally:
            chromium.close()
    return readings
