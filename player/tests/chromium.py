"""A headless Chromium driven over the DevTools protocol (Debian's chromium
and python3-websocket): just what the player's tests and benchmark need."""
import json
import os
import shutil
import subprocess
import tempfile
import time
import urllib.request

import websocket

FLAGS = ["--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
         "--disable-background-networking", "--disable-component-update", "--disable-sync",
         "--disable-default-apps", "--disable-extensions", "--mute-audio", "--hide-scrollbars"]


class Browser:
    """One headless Chromium with one page; events are kept in `events`."""

    def __init__(self, executable="/usr/bin/chromium", width=1280, height=900):
        self.folder = tempfile.mkdtemp(prefix="animationmodel-chromium-")
        self.process = subprocess.Popen(
            [executable, *FLAGS, "--remote-debugging-port=0", f"--user-data-dir={self.folder}",
             f"--window-size={width},{height}", "about:blank"],
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        port_file = os.path.join(self.folder, "DevToolsActivePort")
        deadline = time.monotonic() + 30
        while not os.path.exists(port_file) or os.path.getsize(port_file) == 0:
            if time.monotonic() > deadline or self.process.poll() is not None:
                self.close()
                raise RuntimeError("chromium did not start")
            time.sleep(0.05)
        port = open(port_file).read().split()[0]
        targets = json.load(urllib.request.urlopen(f"http://127.0.0.1:{port}/json/list"))
        page = next(t for t in targets if t["type"] == "page")
        self.socket = websocket.create_connection(page["webSocketDebuggerUrl"], timeout=120)
        self.next_id = 0
        self.events = []
        for domain in ("Page", "Runtime", "Network", "Log"):
            self.call(domain + ".enable")

    def call(self, method, **params):
        self.next_id += 1
        self.socket.send(json.dumps({"id": self.next_id, "method": method, "params": params}))
        while True:
            message = json.loads(self.socket.recv())
            if message.get("id") == self.next_id:
                if "error" in message:
                    raise RuntimeError(f"{method}: {message['error']}")
                return message["result"]
            self.events.append(message)

    def wait_for(self, method, timeout=60):
        """The next event named `method` (or one already received)."""
        for event in self.events:
            if event.get("method") == method:
                self.events.remove(event)
                return event
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            message = json.loads(self.socket.recv())
            if message.get("method") == method:
                return message
            self.events.append(message)
        raise TimeoutError(method)

    def evaluate(self, expression):
        result = self.call("Runtime.evaluate", expression=expression, returnByValue=True, awaitPromise=True)
        if "exceptionDetails" in result:
            raise RuntimeError(f"{expression}: {result['exceptionDetails']}")
        return result["result"].get("value")

    def open(self, url):
        self.events.clear()
        self.call("Page.navigate", url=url)
        self.wait_for("Page.loadEventFired")
        # A player page starts once its WebAssembly module is compiled, which may
        # end after the load event on a busy machine: wait for it (at most 60 s).
        self.evaluate(
            "new Promise((done) => { const start = Date.now(); const poll = () =>"
            " (!document.getElementById('animation-clip') || document.documentElement.dataset.ready"
            " || Date.now() - start > 60000) ? done(true) : setTimeout(poll, 20); poll(); })"
        )

    def requests(self):
        return [e["params"]["request"]["url"] for e in self.events if e.get("method") == "Network.requestWillBeSent"]

    def errors(self):
        found = []
        for event in self.events:
            method, params = event.get("method"), event.get("params", {})
            if method == "Runtime.exceptionThrown":
                found.append(params["exceptionDetails"].get("text", "exception"))
            elif method == "Runtime.consoleAPICalled" and params.get("type") in ("error", "assert", "warning"):
                found.append(" ".join(str(a.get("value", a.get("description"))) for a in params["args"]))
            elif method == "Log.entryAdded" and params["entry"]["level"] in ("error", "warning"):
                found.append(params["entry"]["text"])
        return found

    def key(self, key, code=None, text=None, shift=False, modifiers=0):
        """Presses and releases one key, as a keyboard does (modifiers: Alt 1, Ctrl 2, Meta 4, Shift 8)."""
        modifiers |= 8 if shift else 0
        common = {"key": key, "code": code or key, "modifiers": modifiers}
        if text is not None:
            self.call("Input.dispatchKeyEvent", type="keyDown", text=text, **common)
        else:
            self.call("Input.dispatchKeyEvent", type="rawKeyDown", **common)
        self.call("Input.dispatchKeyEvent", type="keyUp", **common)

    def mouse(self, kind, x, y):
        self.call("Input.dispatchMouseEvent", type=kind, x=x, y=y, button="left", buttons=1 if kind != "mouseReleased" else 0,
                  clickCount=1)

    def advance_virtual_time(self, milliseconds):
        """Lets `milliseconds` of virtual time pass, then pauses it."""
        self.call("Emulation.setVirtualTimePolicy", policy="advance", budget=milliseconds)
        self.wait_for("Emulation.virtualTimeBudgetExpired")

    def screenshot(self):
        import base64
        return base64.b64decode(self.call("Page.captureScreenshot", format="png")["data"])

    def close(self):
        try:
            if hasattr(self, "socket"):
                self.socket.close()
        finally:
            self.process.kill()
            self.process.wait()
            shutil.rmtree(self.folder, ignore_errors=True)

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()
