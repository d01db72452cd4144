"""A headless chromium driven over the DevTools protocol on a pipe
(--remote-debugging-pipe: the browser reads commands on its descriptor 3
and writes answers and events on 4, each a JSON text ended by a NUL), with
nothing but Python's standard library."""
import base64
import json
import os
import shutil
import subprocess
import tempfile
import time


def find_chromium():
    for name in ("chromium", "chromium-browser", "google-chrome"):
        path = shutil.which(name)
        if path:
            return path
    return None


class Browser:
    def __init__(self, program):
        self.profile = tempfile.mkdtemp(prefix="wexla-chromium-")
        to_browser_read, self.to_browser = os.pipe()
        self.from_browser, from_browser_write = os.pipe()

        def on_descriptors_3_and_4():
            # Out of the way first, so that neither lands on the other.
            a, b = os.dup(to_browser_read), os.dup(from_browser_write)
            os.dup2(a, 3)
            os.dup2(b, 4)

        args = [program, "--headless", "--disable-gpu", "--remote-debugging-pipe",
                "--user-data-dir=" + self.profile, "--no-first-run", "--no-default-browser-check",
                "--disable-extensions", "--disable-background-networking", "--disable-sync",
                "--disable-component-update", "--disable-default-apps", "--mute-audio",
                "--hide-scrollbars", "--font-render-hinting=none", "about:blank"]
        if os.geteuid() == 0:
            args.insert(1, "--no-sandbox")  # root has no sandbox to drop into
        self.process = subprocess.Popen(args, preexec_fn=on_descriptors_3_and_4,
                                        pass_fds=(3, 4, to_browser_read, from_browser_write),
                                        stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                        stderr=subprocess.DEVNULL)
        os.close(to_browser_read)
        os.close(from_browser_write)
        self.pending = b""
        self.next_id = 0
        self.events = []
        self.session = None

    def close(self):
        try:
            self.send("Browser.close", session=False, wait=False)
        except OSError:
            pass
        try:
            self.process.wait(timeout=15)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()
        os.close(self.to_browser)
        os.close(self.from_browser)
        shutil.rmtree(self.profile, ignore_errors=True)

    def _read_message(self, deadline):
        while b"\0" not in self.pending:
            if time.monotonic() > deadline:
                raise TimeoutError("the browser did not answer")
            chunk = os.read(self.from_browser, 1 << 20)
            if not chunk:
                raise OSError("the browser closed its pipe")
            self.pending += chunk
        text, self.pending = self.pending.split(b"\0", 1)
        return json.loads(text)

    def send(self, method, params=None, session=True, wait=True, timeout=60):
        self.next_id += 1
        message = {"id": self.next_id, "method": method, "params": params or {}}
        if session and self.session:
            message["sessionId"] = self.session
        os.write(self.to_browser, json.dumps(message).encode() + b"\0")
        if not wait:
            return None
        deadline = time.monotonic() + timeout
        while True:
            answer = self._read_message(deadline)
            if answer.get("id") == self.next_id:
                if "error" in answer:
                    raise RuntimeError("%s: %s" % (method, answer["error"]))
                return answer.get("result", {})
            self.events.append(answer)

    def wait_for(self, method, timeout=60):
        deadline = time.monotonic() + timeout
        for k, event in enumerate(self.events):
            if event.get("method") == method:
                return self.events.pop(k)
        while True:
            event = self._read_message(deadline)
            if event.get("method") == method:
                return event
            self.events.append(event)

    def open_tab(self):
        target = self.send("Target.createTarget", {"url": "about:blank"}, session=False)
        attached = self.send("Target.attachToTarget",
                             {"targetId": target["targetId"], "flatten": True}, session=False)
        self.session = attached["sessionId"]
        for domain in ("Page", "Network", "Runtime", "Log"):
            self.send(domain + ".enable")

    def set_width(self, width, height=900, mobile=False, media="screen", scheme="light"):
        self.send("Emulation.setDeviceMetricsOverride",
                  {"width": width, "height": height, "deviceScaleFactor": 1, "mobile": mobile})
        self.send("Emulation.setEmulatedMedia",
                  {"media": media, "features": [{"name": "prefers-color-scheme", "value": scheme}]})

    def load(self, url):
        self.events = []
        self.send("Page.navigate", {"url": url})
        self.wait_for("Page.loadEventFired")

    def evaluate(self, expression):
        result = self.send("Runtime.evaluate", {"expression": expression, "returnByValue": True})
        if "exceptionDetails" in result:
            raise RuntimeError("script: %s" % result["exceptionDetails"])
        return result["result"].get("value")

    def screenshot(self, path, height_limit=2400):
        metrics = self.send("Page.getLayoutMetrics")
        size = metrics["cssContentSize"]
        width = metrics["cssLayoutViewport"]["clientWidth"]
        clip = {"x": 0, "y": 0, "width": width, "height": min(size["height"], height_limit),
                "scale": 1}
        shot = self.send("Page.captureScreenshot",
                         {"format": "png", "clip": clip, "captureBeyondViewport": True})
        with open(path, "wb") as f:
            f.write(base64.b64decode(shot["data"]))

    def print_to_pdf(self, path, width_inches, height_inches):
        pdf = self.send("Page.printToPDF", {"paperWidth": width_inches,
                                            "paperHeight": height_inches,
                                            "preferCSSPageSize": False,
                                            "printBackground": True}, timeout=180)
        with open(path, "wb") as f:
            f.write(base64.b64decode(pdf["data"]))
