"""Runs the real Quorvy.exe under Wine on a private Xvfb display and looks at it as a user would.

One WineSession owns an Xvfb server and a fresh Wine prefix. Quorvy runs on a Wine virtual
desktop; keys and mouse clicks come from xdotool; the probe helper, started on the same desktop,
reports the windows, dialog controls and client-area pixels; Wine's text trace records every
string drawn with DrawText (labels, panel lines), with its rectangle and flags.

The session judges only by what it started itself, so that other test runs, other Wine
programs and other Quorvy.exe processes on the machine cannot change its verdicts: Xvfb picks
and claims a free display number on its own, and "Quorvy is running" means a Quorvy.exe process
whose environment carries this session's own WINEPREFIX. To keep it that way, the session runs a
stand-in process named Quorvy.exe from elsewhere for its whole length; a machine-wide check would
see it and time out.
"""
import ctypes
import os
import re
import select
import shutil
import signal
import subprocess
import tempfile
import time

from quorvy_dev import windows_flavours

DESKTOP = "quorvy,1024x768"
MAIN_TITLE = "Quorvy - "
STARTUP_LIMIT = 600.0  # seconds: far beyond any start on a loaded machine
# seconds: the bound of every wait for what the program shows; a loaded machine delays a window
# or a drawn text by many seconds, so only a fault reaches it
WAIT_LIMIT = 120.0


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
        """(x, y) of every pixel of exactly that colour, found in the raw bytes. The search
        looks at every offset, since a false match across two pixels can hide a true one."""
        needle = re.compile(b"(?=%s)" % re.escape(bytes(rgb)))
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


def end_with_parent():
    """Run in the child before exec: it gets SIGTERM when the test process dies, however it
    dies, so an interrupted run leaves no Xvfb or stand-in behind."""
    ctypes.CDLL(None, use_errno=True).prctl(1, int(signal.SIGTERM))  # PR_SET_PDEATHSIG


def _read_line(fd, timeout):
    """The first line written to the pipe fd, or what came before it closed or the time ran out."""
    data = b""
    deadline = time.monotonic() + timeout
    while not data.endswith(b"\n"):
        left = deadline - time.monotonic()
        if left <= 0 or not select.select([fd], [], [], left)[0]:
            break
        chunk = os.read(fd, 64)
        if not chunk:
            break
        data += chunk
    return data.decode("ascii", "replace").strip()


def start_xvfb(timeout=20.0):
    """Starts Xvfb on a display that it picks itself and returns (process, ":N").

    With -displayfd Xvfb takes the first display number whose listening sockets it can claim
    (another server holding them makes it try the next), so two sessions starting at the same
    moment cannot end up on the same display; it writes the number once it accepts
    connections."""
    read_end, write_end = os.pipe()
    try:
        xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write_end), "-screen", "0",
                                 "1024x768x24", "-nolisten", "tcp"], pass_fds=(write_end,),
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                                preexec_fn=end_with_parent)
    finally:
        os.close(write_end)
    try:
        number = _read_line(read_end, timeout)
    finally:
        os.close(read_end)
    if not number.isdigit() or xvfb.poll() is not None:
        end_process(xvfb)
        raise RuntimeError("Xvfb did not start a display of its own (it said %r)" % number)
    return xvfb, ":" + number


def end_process(process, timeout=10.0):
    """Ends a process this session started and reaps it."""
    if process is None:
        return
    if process.poll() is None:
        process.terminate()
        try:
            process.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            process.kill()
            process.wait()


def processes_with(env_entry):
    """(pid, program name) of every live process whose environment holds env_entry exactly."""
    found = []
    for pid in os.listdir("/proc"):
        if not pid.isdigit():
            continue
        try:
            with open("/proc/%s/environ" % pid, "rb") as f:
                environ = f.read().split(b"\0")
            with open("/proc/%s/cmdline" % pid, "rb") as f:
                argv0 = f.read().split(b"\0")[0].decode("latin-1")
        except OSError:  # ended meanwhile, or not ours to read
            continue
        if env_entry in environ:
            found.append((int(pid), re.split(r"[\\/]", argv0)[-1]))
    return found


def wait_until(condition, timeout=WAIT_LIMIT, interval=0.05, what="condition"):
    deadline = time.monotonic() + timeout
    while True:
        value = condition()
        if value:
            return value
        if time.monotonic() > deadline:
            raise TimeoutError("timed out waiting for " + what)
        time.sleep(interval)


def windows_build():
    """The folder of Quorvy.exe and probe.exe: QUORVY_WINDOWS_BUILD, else the build folder of
    the first flavour that runs here."""
    build = os.environ.get("QUORVY_WINDOWS_BUILD")
    if build:
        return build
    flavours = windows_flavours.runnable()
    if not flavours:
        raise RuntimeError("Wine runs no flavour of Quorvy.exe here: "
                           + "; ".join(why for _, why in windows_flavours.survey()))
    return flavours[0].folder


def read_text(path):
    """A probe's one-line answer, once it is complete."""
    try:
        with open(path) as f:
            text = f.read().strip()
    except OSError:
        return None
    return text or None


class PdfPrinter:
    """A CUPS printer of the session's own that prints to PDF files in a folder of its own:
    cups-pdf reads the settings of a printer named by its address, cups-pdf:/NAME, from
    /etc/cups/cups-pdf-NAME.conf. So prints of other runs on the machine never land here."""

    def __init__(self, workdir):
        self.name = "quorvy-e2e-%d-%s" % (os.getpid(), os.path.basename(workdir).split("-")[-1])
        self.folder = os.path.join(workdir, "pdf")
        self.conf = "/etc/cups/cups-pdf-%s.conf" % self.name
        os.mkdir(self.folder)
        with open(self.conf, "w") as f:
            f.write("Out %s\nGrp lpadmin\nDecodeHexStrings 1\n" % self.folder)
        subprocess.run(["lpadmin", "-p", self.name, "-v", "cups-pdf:/" + self.name, "-E",
                        "-m", "lsb/usr/cups-pdf/CUPS-PDF_opt.ppd"], check=True,
                       capture_output=True)

    def files(self):
        return {os.path.join(self.folder, f) for f in os.listdir(self.folder) if f.endswith(".pdf")}

    def remove(self):
        subprocess.run(["lpadmin", "-x", self.name], capture_output=True)
        if os.path.exists(self.conf):
            os.remove(self.conf)


class WineSession:
    @classmethod
    def for_build(cls, build=None, pdf_printer=False):
        """A session over the Windows build's Quorvy.exe and probe.exe: what every end-to-end
        module sets up first."""
        build = build or windows_build()
        return cls(os.path.join(build, "Quorvy.exe"), os.path.join(build, "probe.exe"),
                   pdf_printer)

    def __init__(self, exe, probe, pdf_printer=False):
        """With pdf_printer, the prefix is made with a PDF printer of the session's own as its
        default printer (Wine takes CUPS's PRINTER at the prefix's creation)."""
        self.exe = os.path.abspath(exe)
        self.probe_exe = os.path.abspath(probe)
        self.flavour = windows_flavours.of_program(self.exe)
        self.workdir = tempfile.mkdtemp(prefix="quorvy-e2e-")
        self.prefix = os.path.join(self.workdir, "prefix")
        self.log_path = os.path.join(self.workdir, "text.log")
        self.log_offset = 0
        self.process = None
        self.launchers = []
        self.probe_ready = False
        self.decoy = self.xvfb = self.env = self.printer = None
        try:
            self.decoy = self._start_decoy()
            self.xvfb, self.display = start_xvfb()
            self.env = self.flavour.env(self.prefix, DISPLAY=self.display)
            if pdf_printer:
                self.printer = PdfPrinter(self.workdir)
                self.env["PRINTER"] = self.printer.name
            failure = self.flavour.prepare_prefix(self.env)
            if failure:
                raise RuntimeError("Wine could not prepare the session's prefix: " + failure)
        except BaseException:
            self.close()
            raise

    def _start_decoy(self):
        """A process named like the program under test that is not this session's: a copy of
        sleep in a folder of its own, with a WINEPREFIX that begins like ours but is another.
        Anything that looks for Quorvy.exe across the machine, or matches the prefix as a mere
        substring, sees it and waits in vain."""
        folder = os.path.join(self.workdir, "elsewhere")
        os.mkdir(folder)
        decoy = os.path.join(folder, os.path.basename(self.exe))
        shutil.copy(shutil.which("sleep"), decoy)
        env = dict(os.environ, WINEPREFIX=self.prefix + "-elsewhere")
        env.pop("DISPLAY", None)
        return subprocess.Popen([decoy, "100000"], env=env, cwd=folder,
                                preexec_fn=end_with_parent)

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
        self.process = subprocess.Popen(
            self.flavour.command("explorer", "/desktop=" + DESKTOP, self.exe), env=env,
            stdout=log, stderr=log)
        log.close()
        main = self.wait_started()
        self.focus(main)
        return main

    def wait_started(self):
        """The main window, waited for as long as the program lives (Wine can take minutes to
        start it on a busy machine); fails at once, with the program's words, once it has
        ended, or after STARTUP_LIMIT, which only a hang reaches.

        The probe is started only once Quorvy.exe shows among the prefix's processes: until
        then the program's launcher must be the one that makes the desktop. A probe that made
        it first would turn that launcher into one that hands Quorvy.exe over and ends at once,
        and the program would look ended in the instant before its process takes its name."""
        def fail_if_ended():
            if self.process.poll() is not None and not self.running():
                raise RuntimeError("Quorvy ended before its main window showed; it said:\n"
                                   + self.program_words())

        def launched():
            fail_if_ended()
            return self.running()

        def shown():
            main = self.find(MAIN_TITLE)
            if main is None:
                fail_if_ended()
            return main
        try:
            wait_until(launched, timeout=STARTUP_LIMIT, what="Quorvy.exe to start")
            return wait_until(shown, timeout=STARTUP_LIMIT, what="the main window")
        except TimeoutError as timeout:
            raise TimeoutError("%s; Quorvy said:\n%s" % (timeout, self.program_words())) from None

    def program_words(self, lines=20):
        """The last lines the program and Wine wrote since the start, without the text trace."""
        with open(self.log_path, "rb") as f:
            f.seek(self.log_offset)
            said = f.read().decode("latin-1").splitlines()
        said = [line for line in said if "trace:text:" not in line]
        return "\n".join(said[-lines:]) or "(nothing)"

    def own_processes(self):
        """(pid, program name) of every process running in this session's Wine prefix: the
        program, the desktop and probe launchers, Wine's own services and wineserver."""
        return processes_with(b"WINEPREFIX=" + os.fsencode(self.prefix))

    def holds_open(self, path):
        """Whether a process of the session (the program, or Wine's server for it) has the file
        open: a file the program still writes may look complete between two of its writes."""
        path = os.path.realpath(path)
        for pid, _ in self.own_processes():
            folder = "/proc/%d/fd" % pid
            try:
                if any(os.readlink(os.path.join(folder, fd)) == path for fd in os.listdir(folder)):
                    return True
            except OSError:  # ended meanwhile
                continue
        return False

    def running(self):
        """Whether Quorvy.exe runs in this session's prefix (a process that has ended but is
        not yet reaped has no environment left and does not count)."""
        name = os.path.basename(self.exe).lower()
        return any(program.lower() == name for _, program in self.own_processes())

    def wait_exit(self, timeout=WAIT_LIMIT):
        wait_until(lambda: not self.running(), timeout=timeout, what="Quorvy to end")

    def stop(self):
        """Ends the program and everything else in this session's prefix. After close() there
        is no prefix any more, and wineserver without it would reach the default one."""
        if self.env is not None:
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
        self.probe_ready = False

    def close(self):
        """Ends every process the session started, Wine's, Xvfb and the stand-in, and removes
        its folder; also after a failed test. Fails if the stand-in did not last the session,
        since then nothing proved that the session ignored processes that are not its own."""
        decoy_lasted = self.decoy is None or self.decoy.poll() is None
        try:
            self.stop()
            self._kill_leftovers()
        finally:
            for process in (self.decoy, self.xvfb):
                end_process(process)
            if self.printer is not None:
                self.printer.remove()
            self.decoy = self.xvfb = self.env = self.printer = None
            shutil.rmtree(self.workdir, ignore_errors=True)
        if not decoy_lasted:
            raise RuntimeError("the stand-in %s ended before the session did"
                               % os.path.basename(self.exe))

    def _kill_leftovers(self):
        """Whatever still runs in this session's prefix after wineserver -k (a launcher that had
        not reached the server yet) is this session's own: end it."""
        for pid, _ in self.own_processes():
            try:
                os.kill(pid, signal.SIGKILL)
            except ProcessLookupError:
                pass

    # --- what the user sees ----------------------------------------------------------------
    def probe(self, read, *args):
        """Asks the session's probe on the desktop one query and returns what read() makes of
        its answer file. The probe answers as long as it lives; one that has ended (the program
        was stopped, which ends everything in the prefix) is started again and asked again."""
        for attempt in range(3):
            queries = self._probe_queries()
            out = os.path.join(self.workdir, "probe-%d.txt" % time.monotonic_ns())
            part = out + ".query"
            with open(part, "w", encoding="latin-1") as f:
                f.write("\n".join(args + (self.windows_path(out),)) + "\n")
            # moved in whole, so that the probe never reads half a query
            os.rename(part, os.path.join(queries, os.path.basename(part)))
            result = self._wait_answer(lambda: read(out), "the probe's answer to %r" % (args,))
            if result is not None:
                os.remove(out)
                return result
            self.probe_ready = False
        raise RuntimeError("the probe ended three times before it answered %r" % (args,))

    def _probe_queries(self):
        """The folder the live probe reads queries from; starts the probe when none lives. A
        launcher can end before the probe it hands to the desktop shows among the prefix's
        processes; the probe is then started again on the same folder. A late first probe
        does no harm: a query is deleted by the one probe that answers it."""
        queries = os.path.join(self.workdir, "queries")
        if self.probe_ready:
            return queries
        shutil.rmtree(queries, ignore_errors=True)
        os.mkdir(queries)
        self._reap()
        ready = os.path.join(queries, "ready")
        for attempt in range(3):
            self.launchers.append(subprocess.Popen(
                self.flavour.command("explorer", "/desktop=" + DESKTOP, self.probe_exe, "serve",
                                     self.windows_path(queries)),
                env=self.env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL))
            if self._wait_answer(lambda: os.path.exists(ready), "the probe to start"):
                self.probe_ready = True
                return queries
        raise RuntimeError("the probe ended three times before it waited for queries")

    def _wait_answer(self, answer, what, interval=0.02):
        """answer()'s first true value; None when the probe is not alive or ended meanwhile.
        Whether it lives is asked of the prefix's processes once a second; its launcher counts
        while it runs, since the probe shows there only after Wine started it."""
        deadline = time.monotonic() + 600  # only a probe that hangs reaches it
        next_check = time.monotonic() + 1
        while True:
            value = answer()
            if value:
                return value
            if time.monotonic() > next_check:
                next_check = time.monotonic() + 1
                if not self._probe_alive():
                    return answer() or None
            if time.monotonic() > deadline:
                raise TimeoutError("timed out waiting for " + what)
            time.sleep(interval)

    def _probe_alive(self):
        name = os.path.basename(self.probe_exe).lower()
        return (any(p.poll() is None for p in self.launchers)
                or any(program.lower() == name for _, program in self.own_processes()))

    def _reap(self):
        self.launchers = [p for p in self.launchers if p.poll() is None]

    def windows(self):
        text = self.probe(_read_complete, "windows")
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

    def wait_window(self, title, timeout=WAIT_LIMIT):
        return wait_until(lambda: self.find(title), timeout=timeout, what="window " + repr(title))

    def wait_gone(self, title, timeout=WAIT_LIMIT):
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

    def wait_message_box(self, timeout=WAIT_LIMIT):
        return wait_until(lambda: (self.message_boxes() or [None])[0], timeout=timeout,
                          what="a message box")

    def capture(self, title=MAIN_TITLE):
        return Picture(self.probe(_read_ppm, "capture", title))

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

    def wait_text(self, predicate, timeout=WAIT_LIMIT, what="a drawn text"):
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

    def move_window(self, title, left, top, attempts=3):
        """Drags the window by its caption until its top-left corner is at (left, top), as a
        user drags again when a busy desktop missed the first drag. Returns the moved window."""
        for attempt in range(attempts):
            window = self.find(title)
            if window.rect[:2] == (left, top):
                return window
            self.drag(window.rect[0] + 60, window.rect[1] + 10,
                      left - window.rect[0], top - window.rect[1])
            try:
                return wait_until(lambda: (w := self.find(title)) and w.rect[:2] == (left, top)
                                  and w, timeout=5, what="the window to move")
            except TimeoutError:
                if attempt == attempts - 1:
                    raise

    def key(self, *keys):
        for k in keys:
            subprocess.run(["xdotool", "key", k], env=self.env, check=True)

    def type(self, text):
        subprocess.run(["xdotool", "type", "--delay", "20", "--", text], env=self.env, check=True)


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
