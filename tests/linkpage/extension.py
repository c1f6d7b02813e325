"""The browser extension in headless Chromium, driven over the browser's DevTools pipe: opens a page
served on loopback, calls the context-menu entry's handler in the extension's service worker (there
is no menu to click headless), and reads the list page it opened: its rows, and what its copy put on
the clipboard. Used by run.py."""
import base64
import json
import os
import select
import shutil
import subprocess
import time

# Headless has no context menu whose click would lend the extension the tab; the copy under test
# gets the loopback site instead. The shipped manifest is checked to ask for no host at all.
LENT = ["http://127.0.0.1/*"]
PERMISSIONS = ["contextMenus", "activeTab", "scripting", "clipboardWrite"]


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


# Read in the list page: what it shows, and what its copy button puts on the clipboard (as the
# copy event carries it).
READ_LIST = r"""(function () {
  var rows = document.querySelectorAll("#quovar-links tr"), shown = [];
  for (var i = 0; i < rows.length; i++) shown.push([rows[i].cells[1].textContent, rows[i].cells[2].textContent]);
  var copied = null;
  document.addEventListener("copy", function (e) { copied = e.clipboardData.getData("text/plain"); });
  var buttons = document.querySelectorAll("#quovar-bar button");
  if (buttons.length == 3) buttons[2].click();
  var status = document.getElementById("quovar-status");
  return { shown: shown, copied: copied, status: status ? status.textContent : "", origin: location.origin,
           message: (document.getElementById("quovar-message") || {}).textContent || "" };
})()"""


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
    """Runs each case (page path, entry, main-world script run first) and answers per case the
    list page's reading (READ_LIST), or raises RuntimeError."""
    extension = os.path.join(root, "extension")
    shutil.copytree(source, extension)
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
            for n, (page, entry, prepare) in enumerate(cases):
                url = "%s/site/%s?case=%d" % (origin, page, n)
                tab = chromium.call("Target.createTarget", {"url": url})["targetId"]
                session = chromium.attach(tab)
                chromium.wait(url, lambda: chromium.evaluate(session, "document.readyState") == "complete")
                if prepare:
                    chromium.evaluate(session, prepare)
                find = ("chrome.tabs.query({}).then(function (tabs) {"
                        " return tabs.filter(function (t) { return t.url == %s; })[0]; })" % json.dumps(url))
                chromium.wait("the page's tab", lambda: chromium.evaluate(worker, find))
                before = {t["targetId"] for t in chromium.targets()}
                chromium.evaluate(worker, "%s.then(function (tab) { return openLinkList({ menuItemId: %s, frameId: 0 },"
                                  " tab); }).then(function (t) { return t.id; })" % (find, json.dumps(entry)))
                listed = chromium.wait("the list page", lambda: [
                    t for t in chromium.targets() if t["targetId"] not in before and t["url"].startswith(base + "list.html")])
                view = chromium.attach(listed[0]["targetId"])
                chromium.wait("the list page's links", lambda: chromium.evaluate(
                    view, "document.documentElement && document.documentElement.getAttribute('data-quovar')"))
                if shot and n == 0:
                    chromium.call("Page.bringToFront", {}, view)
                    picture = chromium.call("Page.captureScreenshot", {"format": "png"}, view)["data"]
                    with open(shot, "wb") as f:
                        f.write(base64.b64decode(picture))
                readings.append(chromium.evaluate(view, READ_LIST))
                for target in (listed[0]["targetId"], tab):
                    chromium.call("Target.closeTarget", {"targetId": target})
        finally:
            chromium.close()
    return readings
