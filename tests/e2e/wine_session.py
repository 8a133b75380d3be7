"""Runs the real Quorvy.exe under Wine on a private Xvfb display and looks at it as a user would.

One WineSession owns an Xvfb server and a fresh Wine prefix. Quorvy runs on a Wine virtual
desktop; keys and mouse clicks come from xdotool; the probe helper, started on the same desktop,
reports the windows, dialog controls and client-area pixels; Wine's text trace records every
string drawn with DrawText (labels, panel lines), with its rectangle and flags.
"""
import os
import re
import shutil
import subprocess
import tempfile
import time

DESKTOP = "quorvy,1024x768"
MAIN_TITLE = "Quorvy - "


class Window:
    def __init__(self, cls, title, rect, client):
        self.cls = cls
        self.title = title
        self.rect = rect
        self.client = client
        self.controls = []  # (id, class, text, check, screen rectangle)

    def control_text(self, control_id):
        for cid, _, text, _, _ in self.controls:
            if cid == control_id:
                return text
        return None

    def control_centre(self, control_id):
        for cid, _, _, _, (left, top, right, bottom) in self.controls:
            if cid == control_id:
                return (left + right) // 2, (top + bottom) // 2
        return None

    def texts(self):
        return [text for _, _, text, _, _ in self.controls]

    def __repr__(self):
        return "Window(%r, %r, %r)" % (self.cls, self.title, self.controls)


class Picture:
    def __init__(self, data):
        header = data.split(b"\n", 3)
        self.width, self.height = map(int, header[1].split())
        self.pixels = header[3]

    def rgb(self, x, y):
        i = 3 * (y * self.width + x)
        return tuple(self.pixels[i:i + 3])

    def count(self, rgb, rows=None, columns=None):
        rows = range(self.height) if rows is None else rows
        columns = range(self.width) if columns is None else columns
        return sum(1 for y in rows for x in columns if self.rgb(x, y) == rgb)

    def find_all(self, rgb):
        """(x, y) of every pixel of exactly that colour, found in the raw bytes."""
        needle = re.compile(re.escape(bytes(rgb)))
        found = []
        for match in needle.finditer(self.pixels):
            if match.start() % 3 == 0:
                i = match.start() // 3
                found.append((i % self.width, i // self.width))
        return found

    def rows_with(self, rgb):
        return sorted({y for y in range(self.height) for x in range(self.width)
                       if self.rgb(x, y) == rgb})


BLUE = (0, 0, 255)
RED = (255, 0, 0)
BLACK = (0, 0, 0)
WHITE = (255, 255, 255)

TEXT_LINE = re.compile(r'trace:text:DrawTextExW L"(.*)", (-?\d+), \[\((-?\d+),(-?\d+)\)-\((-?\d+),(-?\d+)\)\] ([0-9a-f]+)')


def _free_display():
    for n in range(91, 200):
        if not os.path.exists("/tmp/.X%d-lock" % n) and not os.path.exists("/tmp/.X11-unix/X%d" % n):
            return n
    raise RuntimeError("no free X display")


def wait_until(condition, timeout=20.0, interval=0.05, what="condition"):
    deadline = time.monotonic() + timeout
    while True:
        value = condition()
        if value:
            return value
        if time.monotonic() > deadline:
            raise TimeoutError("timed out waiting for " + what)
        time.sleep(interval)


class WineSession:
    def __init__(self, exe, probe):
        self.exe = os.path.abspath(exe)
        self.probe_exe = os.path.abspath(probe)
        self.workdir = tempfile.mkdtemp(prefix="quorvy-e2e-")
        self.prefix = os.path.join(self.workdir, "prefix")
        self.display = ":%d" % _free_display()
        self.xvfb = subprocess.Popen(["Xvfb", self.display, "-screen", "0", "1024x768x24", "-nolisten", "tcp"],
                                     stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.env = dict(os.environ, DISPLAY=self.display, WINEPREFIX=self.prefix,
                        WINEDLLOVERRIDES="mscoree,mshtml=", WINEDEBUG="-all")
        wait_until(lambda: os.path.exists("/tmp/.X11-unix/X" + self.display[1:]), what="Xvfb")
        subprocess.run(["wineboot", "-i"], env=self.env, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, check=True)
        subprocess.run(["wineserver", "-w"], env=self.env, check=False)
        self.log_path = os.path.join(self.workdir, "text.log")
        self.log_offset = 0
        self.process = None
        self.launchers = []

    # --- files -------------------------------------------------------------------------
    @property
    def ini_path(self):
        return os.path.join(self.prefix, "drive_c", "windows", "Quorvy.ini")

    def write_ini(self, body):
        """body: the lines after [Quorvy], joined with CRLF; None removes the file."""
        if body is None:
            if os.path.exists(self.ini_path):
                os.remove(self.ini_path)
            return
        with open(self.ini_path, "wb") as f:
            f.write(("[Quorvy]\r\n" + body).encode("latin-1"))

    def read_ini(self):
        with open(self.ini_path, "rb") as f:
            return f.read()

    def windows_path(self, path):
        return "Z:" + os.path.abspath(path).replace("/", "\\")

    # --- the program ---------------------------------------------------------------------
    def start(self, ini=None, extra_env=None):
        self.stop()
        self.write_ini(ini)
        log = open(self.log_path, "ab")
        self.log_offset = log.tell()
        env = dict(self.env, WINEDEBUG="-all,trace+text", **(extra_env or {}))
        self.process = subprocess.Popen(["wine", "explorer", "/desktop=" + DESKTOP, self.exe],
                                        env=env, stdout=log, stderr=log)
        log.close()
        main = wait_until(lambda: self.find(MAIN_TITLE), what="the main window")
        self.focus(main)
        return main

    def running(self):
        return subprocess.run(["pgrep", "-f", r"^[^ ]*Quorvy\.exe"],
                              stdout=subprocess.DEVNULL).returncode == 0

    def wait_exit(self, timeout=20.0):
        wait_until(lambda: not self.running(), timeout=timeout, what="Quorvy to end")

    def stop(self):
        subprocess.run(["wineserver", "-k"], env=self.env, stderr=subprocess.DEVNULL)
        subprocess.run(["wineserver", "-w"], env=self.env, stderr=subprocess.DEVNULL)
        for p in self.launchers + ([self.process] if self.process else []):
            try:
                p.wait(timeout=10)
            except subprocess.TimeoutExpired:
                p.kill()
                p.wait()
        self.launchers = []
        self.process = None

    def close(self):
        self.stop()
        self.xvfb.terminate()
        self.xvfb.wait()
        shutil.rmtree(self.workdir, ignore_errors=True)

    # --- what the user sees ----------------------------------------------------------------
    def _probe(self, read, *args):
        """Runs the probe on the desktop and returns what read() makes of its output file.
        The launcher is not waited for: the file is the answer. A launch that produced
        nothing is tried again."""
        for attempt in range(3):
            out = os.path.join(self.workdir, "probe-%d.txt" % time.monotonic_ns())
            launcher = subprocess.Popen(["wine", "explorer", "/desktop=" + DESKTOP, self.probe_exe]
                                        + list(args) + [self.windows_path(out)], env=self.env,
                                        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            self.launchers.append(launcher)
            try:
                result = wait_until(lambda: read(out), timeout=10, what="the probe")
            except TimeoutError:
                if attempt == 2:
                    raise
                continue
            os.remove(out)
            self._reap()
            return result

    def _reap(self):
        self.launchers = [p for p in self.launchers if p.poll() is None]

    def windows(self):
        text = self._probe(_read_complete, "windows")
        windows = []
        for line in text.splitlines():
            parts = line.split("\t")
            if parts[0] == "WINDOW":
                rect = tuple(map(int, parts[3].split(",")))
                client = tuple(map(int, parts[4].split(",")))
                windows.append(Window(parts[1], parts[2], rect, client))
            elif parts[0] == "CONTROL" and windows:
                rect = tuple(map(int, parts[5].split(",")))
                windows[-1].controls.append((int(parts[1]), parts[2], parts[3], int(parts[4]), rect))
        return windows

    def find(self, title, cls=None):
        for w in self.windows():
            if w.title == title and (cls is None or w.cls == cls):
                return w
        return None

    def wait_window(self, title, timeout=20.0):
        return wait_until(lambda: self.find(title), timeout=timeout, what="window " + repr(title))

    def wait_gone(self, title, timeout=20.0):
        wait_until(lambda: self.find(title) is None, timeout=timeout, what="no window " + repr(title))

    def message_boxes(self):
        """(title, text) of every message box on screen."""
        boxes = []
        for w in self.windows():
            statics = [t for _, cls, t, _, _ in w.controls if cls == "Static" and t]
            buttons = [t for _, cls, t, _, _ in w.controls if cls == "Button"]
            if w.cls == "#32770" and buttons == ["OK"] and len(statics) == 1:
                boxes.append((w.title, statics[0]))
        return boxes

    def wait_message_box(self, timeout=20.0):
        return wait_until(lambda: (self.message_boxes() or [None])[0], timeout=timeout,
                          what="a message box")

    def capture(self, title=MAIN_TITLE):
        return Picture(self._probe(_read_ppm, "capture", title))

    def drawn_texts(self):
        """Every DrawText call since the program started: (text, rect, flags)."""
        with open(self.log_path, "rb") as f:
            f.seek(self.log_offset)
            content = f.read().decode("latin-1")
        texts = []
        for match in TEXT_LINE.finditer(content):
            rect = tuple(int(match.group(i)) for i in range(3, 7))
            texts.append((match.group(1), rect, int(match.group(7), 16)))
        return texts

    def wait_text(self, predicate, timeout=20.0, what="a drawn text"):
        return wait_until(lambda: [t for t in self.drawn_texts() if predicate(t[0])],
                          timeout=timeout, what=what)

    # --- what the user does ----------------------------------------------------------------
    def focus(self, window):
        """Clicks near the bottom left corner of the client area, which activates the window
        and does nothing else (a click on the caption could make a double click with a drag)."""
        left, _, _, bottom = window.client
        self.click(left + 5, bottom - 5)

    def click(self, x, y):
        subprocess.run(["xdotool", "mousemove", str(x), str(y), "click", "1"], env=self.env,
                       check=True)

    def drag(self, x, y, dx, dy):
        subprocess.run(["xdotool", "mousemove", str(x), str(y), "mousedown", "1",
                        "mousemove", str(x + dx // 2), str(y + dy // 2),
                        "mousemove", str(x + dx), str(y + dy), "mouseup", "1"],
                       env=self.env, check=True)

    def key(self, *keys):
        for k in keys:
            subprocess.run(["xdotool", "key", k], env=self.env, check=True)

    def type(self, text):
        subprocess.run(["xdotool", "type", "--delay", "20", "--", text], env=self.env, check=True)

    def own_program_running(self):
        """True while a Quorvy.exe of this session's own Wine prefix runs; a program that
        another session runs on the same machine is not looked at."""
        mark = ("WINEPREFIX=" + self.prefix).encode()
        for pid in filter(str.isdigit, os.listdir("/proc")):
            try:
                with open("/proc/%s/cmdline" % pid, "rb") as f:
                    program = f.read().split(b"\0")[0]
                if not program.endswith(b"Quorvy.exe"):
                    continue
                with open("/proc/%s/environ" % pid, "rb") as f:
                    if mark in f.read().split(b"\0"):
                        return True
            except OSError:
                continue
        return False


def _read_complete(path):
    try:
        with open(path, encoding="latin-1") as f:
            text = f.read()
    except OSError:
        return None
    return text if text.endswith("END\n") else None


def _read_ppm(path):
    try:
        with open(path, "rb") as f:
            data = f.read()
    except OSError:
        return None
    if not data.startswith(b"P6"):
        return None
    header = data.split(b"\n", 3)
    if len(header) < 4:
        return None
    width, height = map(int, header[1].split())
    return data if len(header[3]) == width * height * 3 else None
