"""Headless Chromium driven over the DevTools protocol through a pipe (--remote-debugging-pipe):
no browser download, no network port, nothing beyond the standard library. Each Browser owns its
process and its profile folder and ends both on close."""
import base64
import fcntl
import json
import os
import select
import shutil
import subprocess
import tempfile
import time

FLAGS = ["--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
         "--disable-background-networking", "--disable-component-update", "--disable-sync",
         "--disable-dev-shm-usage", "--disable-extensions", "--hide-scrollbars",
         "--remote-debugging-pipe", "--host-resolver-rules=MAP * ~NOTFOUND, EXCLUDE 127.0.0.1"]
# Keys as the protocol wants them: (key, code, Windows virtual key).
SPECIAL = {"Enter": ("Enter", "Enter", 13), "Tab": ("Tab", "Tab", 9),
           "Escape": ("Escape", "Escape", 27), "Space": (" ", "Space", 32),
           "Backspace": ("Backspace", "Backspace", 8),
           **{"Arrow" + side: ("Arrow" + side, "Arrow" + side, code)
              for side, code in (("Left", 37), ("Up", 38), ("Right", 39), ("Down", 40))}}
MODIFIERS = {"Alt": 1, "Control": 2, "Meta": 4, "Shift": 8}


def chromium():
    for name in ("chromium", "chromium-browser", "google-chrome"):
        path = shutil.which(name)
        if path:
            return path
    raise RuntimeError("no Chromium found (Debian: apt-get install chromium)")


class Browser:
    def __init__(self, width=800, height=600):
        self.folder = tempfile.mkdtemp(prefix="quorvy-web-")
        self.process = None
        self.pending = b""
        self.next_id = 0
        self.events = []
        try:
            self._start(width, height)
        except BaseException:
            self.close()
            raise

    def _start(self, width, height):
        to_child, self.writer = os.pipe()
        self.reader, from_child = os.pipe()

        def pipes_as_3_and_4():
            high_in = fcntl.fcntl(to_child, fcntl.F_DUPFD, 10)
            high_out = fcntl.fcntl(from_child, fcntl.F_DUPFD, 10)
            os.dup2(high_in, 3)
            os.dup2(high_out, 4)

        command = [chromium()] + FLAGS + ["--user-data-dir=" + os.path.join(self.folder, "profile"),
                                          "--window-size=%d,%d" % (width, height), "about:blank"]
        self.process = subprocess.Popen(command, preexec_fn=pipes_as_3_and_4, pass_fds=(3, 4),
                                        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(to_child)
        os.close(from_child)
        target = self.call("Target.createTarget", url="about:blank")["targetId"]
        self.session = self.call("Target.attachToTarget", targetId=target, flatten=True)["sessionId"]
        self.send("Page.enable")
        self.send("Runtime.enable")
        self.send("Emulation.setDeviceMetricsOverride", width=width, height=height,
                  deviceScaleFactor=1, mobile=False)

    def _read_message(self, deadline):
        while b"\0" not in self.pending:
            left = deadline - time.monotonic()
            if left <= 0 or not select.select([self.reader], [], [], left)[0]:
                raise TimeoutError("Chromium did not answer")
            chunk = os.read(self.reader, 1 << 20)
            if not chunk:
                raise RuntimeError("Chromium ended")
            self.pending += chunk
        message, self.pending = self.pending.split(b"\0", 1)
        return json.loads(message)

    def call(self, method, session=None, timeout=60, **params):
        self.next_id += 1
        message = {"id": self.next_id, "method": method, "params": params}
        if session:
            message["sessionId"] = session
        os.write(self.writer, json.dumps(message).encode() + b"\0")
        deadline = time.monotonic() + timeout
        while True:
            reply = self._read_message(deadline)
            if reply.get("id") == self.next_id:
                if "error" in reply:
                    raise RuntimeError("%s: %s" % (method, reply["error"]))
                return reply.get("result", {})
            self.events.append(reply)

    def send(self, method, timeout=60, **params):
        """A command to the page."""
        return self.call(method, session=self.session, timeout=timeout, **params)

    def open(self, url):
        self.send("Page.navigate", url=url)

    def evaluate(self, expression, timeout=60):
        result = self.send("Runtime.evaluate", timeout=timeout, expression=expression,
                           awaitPromise=True, returnByValue=True)
        if "exceptionDetails" in result:
            raise RuntimeError("%s: %s" % (expression, result["exceptionDetails"]))
        return result["result"].get("value")

    def wait_for(self, expression, timeout=60):
        deadline = time.monotonic() + timeout
        while True:
            value = self.evaluate(expression)
            if value:
                return value
            if time.monotonic() > deadline:
                raise AssertionError("never true: " + expression)
            time.sleep(0.02)

    def key(self, name, *modifiers):
        """Presses and releases one key as a keyboard does, with modifiers held."""
        key, code, virtual = SPECIAL.get(name) or (name,) + _code_of(name)
        flags = sum(MODIFIERS[m] for m in modifiers)
        text = key if len(key) == 1 and not (flags & (MODIFIERS["Control"] | MODIFIERS["Alt"])) else ""
        if name == "Enter":
            text = "\r"
        down = dict(type="keyDown" if text else "rawKeyDown", key=key, code=code,
                    windowsVirtualKeyCode=virtual, modifiers=flags)
        if text:
            down["text"] = text
        self.send("Input.dispatchKeyEvent", **down)
        self.send("Input.dispatchKeyEvent", type="keyUp", key=key, code=code,
                  windowsVirtualKeyCode=virtual, modifiers=flags)

    def type(self, text):
        for character in text:
            self.key(character)

    def screenshot_png(self):
        return base64.b64decode(self.send("Page.captureScreenshot", format="png")["data"])

    def close(self):
        if self.process is not None:
            try:
                self.call("Browser.close", timeout=5)
            except Exception:
                pass
            try:
                self.process.wait(timeout=10)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()
        for fd in ("writer", "reader"):
            if hasattr(self, fd):
                os.close(getattr(self, fd))
        shutil.rmtree(self.folder, ignore_errors=True)


# The key that types a character on a US keyboard: its code and Windows virtual key.
PUNCTUATION = {",": ("Comma", 188), "(": ("Digit9", 57), ")": ("Digit0", 48), "*": ("Digit8", 56),
               "+": ("Equal", 187), "-": ("Minus", 189), "/": ("Slash", 191), ".": ("Period", 190),
               ";": ("Semicolon", 186), " ": ("Space", 32)}


def _code_of(character):
    if character.isalpha():
        return "Key" + character.upper(), ord(character.upper())
    if character.isdigit():
        return "Digit" + character, ord(character)
    return PUNCTUATION[character]
