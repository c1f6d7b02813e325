"""The browser extension in headless Firefox, driven through its Marionette port: installs the
extension as a temporary add-on, right-clicks the page, chooses the entry in the browser's own
context menu (which lends the extension the tab, as a user's click does), and reads the list page it
opened, clicking its copy button as a user does. Used by run.py."""
import json
import os
import shutil
import socket
import subprocess
import time

from extension import COPIED, DONE, READ_LIST, ROWS

BROWSER = shutil.which("firefox-esr") or "/usr/bin/firefox-esr"

# In the browser's own window: waits for the context menu, chooses the entry whose id ends in
# arguments[0], and answers the address of the tab it opened.
CHOOSE = r"""return (async function (entry) {
  const win = Services.wm.getMostRecentWindow("navigator:browser");
  const menu = win.document.getElementById("contentAreaContextMenu");
  const pause = () => new Promise(r => win.setTimeout(r, 100));
  for (let i = 0; i < 100 && menu.state != "open"; i++) await pause();
  const item = [...menu.querySelectorAll("menuitem")].filter(i => !i.hidden && i.id.endsWith("-menuitem-_" + entry))[0];
  if (!item) {
    menu.hidePopup();
    return "no entry " + entry + " in the context menu (" + menu.state + ")";
  }
  const before = win.gBrowser.tabs.length;
  menu.activateItem(item);
  const opened = () => win.gBrowser.tabs.length > before ? win.gBrowser.tabs[before].linkedBrowser.currentURI.spec : "";
  for (let i = 0; i < 100 && (opened() == "" || opened() == "about:blank"); i++) await pause();
  return opened();
})(arguments[0]);"""

# The middle of the element with the id arguments[0], or the page's top left corner (the margin,
# where no link is).
WHERE = r"""var e = arguments[0] && document.getElementById(arguments[0]), r = e && e.getBoundingClientRect();
return r ? [Math.round(r.left + r.width / 2), Math.round(r.top + r.height / 2)] : [2, 2];"""


def click(x, y, button):
    return [{"type": "pointer", "id": "mouse", "parameters": {"pointerType": "mouse"}, "actions": [
        {"type": "pointerMove", "x": round(x), "y": round(y), "origin": "viewport"},
        {"type": "pointerDown", "button": button}, {"type": "pointerUp", "button": button}]}]


class Marionette:
    """Firefox's remote protocol: messages of "length:json", each call [0, id, name, parameters]."""

    def __init__(self, port):
        self.connection = socket.create_connection(("127.0.0.1", port), timeout=60)
        self.pending = b""
        self.last = 0
        self.receive()  # the greeting

    def receive(self):
        while b":" not in self.pending:
            self.more()
        size, _, rest = self.pending.partition(b":")
        self.pending = rest
        while len(self.pending) < int(size):
            self.more()
        message, self.pending = self.pending[:int(size)], self.pending[int(size):]
        return json.loads(message)

    def more(self):
        data = self.connection.recv(1 << 20)
        if not data:
            raise RuntimeError("Firefox closed its Marionette connection")
        self.pending += data

    def call(self, name, parameters=None):
        self.last += 1
        data = json.dumps([0, self.last, name, parameters or {}]).encode()
        self.connection.sendall(b"%d:%s" % (len(data), data))
        while True:
            answer = self.receive()
            if answer[1] == self.last:
                if answer[2]:
                    raise RuntimeError("%s: %s" % (name, answer[2].get("message")))
                return answer[3]

    def script(self, script, args=(), context="content"):
        self.call("Marionette:SetContext", {"value": context})
        return self.call("WebDriver:ExecuteScript", {"script": script, "args": list(args)}).get("value")

    def until(self, what, script, timeout=60):
        end = time.monotonic() + timeout
        while time.monotonic() < end:
            value = self.script(script)
            if value:
                return value
            time.sleep(0.1)
        raise RuntimeError("waited %d s for %s" % (timeout, what))


def run(source, root, origin, cases):
    """Runs each case of run.py's CASES with the extension as it is shipped and answers per case the
    list page's reading (READ_LIST, COPIED and the milliseconds from the entry to the list), or
    raises RuntimeError."""
    profile = os.path.join(root, "firefox-profile")
    os.makedirs(profile)
    with open(os.path.join(profile, "user.js"), "w") as f:
        f.write('user_pref("marionette.port", 0);\n')  # any free one, written to MarionetteActivePort
    readings = []
    with open(os.path.join(root, "firefox.log"), "w") as log:
        firefox = subprocess.Popen([BROWSER, "--headless", "--marionette", "-remote-allow-system-access",
                                    "--no-remote", "--profile", profile, "about:blank"],
                                   stdin=subprocess.DEVNULL, stdout=log, stderr=log)
        try:
            port_file = os.path.join(profile, "MarionetteActivePort")
            end = time.monotonic() + 60
            while not os.path.exists(port_file):
                if time.monotonic() > end or firefox.poll() is not None:
                    raise RuntimeError("Firefox opened no Marionette port")
                time.sleep(0.2)
            time.sleep(0.2)
            with open(port_file) as f:
                driver = Marionette(int(f.read()))
            # Navigations answer at once; each case waits for its own sign of a ready page.
            driver.call("WebDriver:NewSession", {"capabilities": {"pageLoadStrategy": "none"}})
            driver.call("Addon:Install", {"path": os.path.abspath(source), "temporary": True})
            page_window = driver.call("WebDriver:GetWindowHandle")["value"]
            for n, case in enumerate(cases):
                url = "%s/site/%s?case=%d" % (origin, case["page"], n)
                driver.script("location.href = arguments[0]", [url])  # Navigate would wait for the endless page
                driver.until(url, "return location.href == %s && (%s)" % (json.dumps(url), case["ready"]))
                if case.get("prepare"):
                    driver.script(case["prepare"])
                driver.call("WebDriver:PerformActions", {"actions": click(*driver.script(WHERE, [case.get("link")]), 2)})
                if case.get("then"):
                    driver.script(case["then"])
                start = time.monotonic()
                opened = driver.script(CHOOSE, [case["entry"]], "chrome")
                if "/list.html?" not in opened:
                    raise RuntimeError("choosing %s opened %s" % (case["entry"], opened))
                list_window = [h for h in driver.call("WebDriver:GetWindowHandles") if h != page_window][0]
                driver.call("WebDriver:SwitchToWindow", {"handle": list_window})
                driver.until("the list page's links", "return " + DONE)
                ms = round(1000 * (time.monotonic() - start))
                reading = driver.script("return " + READ_LIST)
                if reading["button"]:
                    driver.call("WebDriver:PerformActions", {"actions": click(*reading["button"], 0)})
                reading.update(driver.script("return " + COPIED), ms=ms)
                reading.update(driver.until("all the rows", "return " + ROWS, 120))
                readings.append(reading)
                driver.call("WebDriver:CloseWindow")
                driver.call("WebDriver:SwitchToWindow", {"handle": page_window})
            driver.call("Marionette:Quit", {"flags": ["eForceQuit"]})
            firefox.wait(20)
        finally:
            if firefox.poll() is None:
                firefox.kill()
                firefox.wait()
    return readings
