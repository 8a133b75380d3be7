"""The web page (web/, the core as WebAssembly) opened from disk in headless Chromium with no
network, used from the keyboard, the mouse and touch as a user does, against quorvy-plot built
from the same core: pictures outside the label band, curve-info lines, messages, the exported
bytes, a long pass that a key stops, a reload that restores formula and settings, zoom and pan,
the value under the pointer, and links.

Environment: QUORVY_WEB_PAGE (the built index.html), QUORVY_PLOT (quorvy-plot)."""
import base64
import functools
import http.server
import os
import shutil
import subprocess
import tempfile
import threading
import time
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
from quorvy_dev import png, testing
from quorvy_dev.cdp import Browser

PAGE = os.environ.get("QUORVY_WEB_PAGE", os.path.join(HERE, "../../build/native/web/index.html"))
PLOT = os.environ.get("QUORVY_PLOT", os.path.join(HERE, "../../build/native/cli/quorvy-plot"))
LABEL_ROWS = 16  # the labels' line at the bottom of the plot
BLUE = (0, 0, 255)

# The page's state, read through its own elements.
IDLE = "document.getElementById('stop').disabled && !document.querySelector('dialog[open]')"
PIXELS = """plotPixels().then(({ width, height, rgba: d }) => { let s = '';
  for (let i = 0; i < d.length; i += 4) s += String.fromCharCode(d[i], d[i+1], d[i+2]);
  return [width, height, btoa(s)]; })"""
# The curve's first pixels shown while its drawing pass still runs.
GROWING_PLOT = """plotPixels(true).then(({ rgba: d }) => { let blue = 0;
  for (let i = 0; i < d.length; i += 4) blue += d[i] === 0 && d[i+1] === 0 && d[i+2] === 255;
  return blue > 0 && !document.getElementById('stop').disabled; })"""
# A browser that cannot hand a canvas over to a worker.
NO_HANDOVER = "delete HTMLCanvasElement.prototype.transferControlToOffscreen"
# From then on, every text of the status line, with whether Stop was live, in window.said.
WATCH_STATE = """window.said = []; const s = document.getElementById('state');
  new MutationObserver(() => said.push([s.textContent, !document.getElementById('stop').disabled]))
  .observe(s, {childList: true, characterData: true, subtree: true})"""
MESSAGE = """(() => { const d = document.getElementById('message');
  return d.open ? [d.querySelector('h2').textContent, d.querySelector('p').textContent] : null; })()"""


def plot(*args):
    return subprocess.run([PLOT] + list(args), capture_output=True, timeout=300)


def cli_messages(*args):
    """The message boxes quorvy-plot shows for the same input, as (title, text)."""
    err = plot("-i", *args).stderr.decode()
    return [tuple(line.split(": ", 1)) for line in err.splitlines() if ": " in line
            and not line.startswith("quorvy-plot:")]


class Page(unittest.TestCase):
    """One browser with its own profile for the class; every test starts from a fresh visit
    with nothing stored."""
    browser = None

    @classmethod
    def setUpClass(cls):
        cls.downloads = tempfile.mkdtemp(prefix="quorvy-web-downloads-")
        try:
            cls.browser = Browser(800, 600)
            cls.browser.call("Browser.setDownloadBehavior", behavior="allow",
                             downloadPath=cls.downloads, eventsEnabled=True)
        except BaseException:
            cls.tearDownClass()
            raise

    @classmethod
    def tearDownClass(cls):
        if cls.browser:
            cls.browser.close()
        shutil.rmtree(cls.downloads, ignore_errors=True)

    def setUp(self):
        self.b = self.browser
        self.reload()
        self.b.evaluate("localStorage.clear()")
        self.reload()

    def visit(self, keys=""):
        """A new visit of the page, with keys in its address (none: as the stored settings say);
        about:blank first, so that no wait can end on the page before."""
        self.b.open("about:blank")
        self.b.wait_for("location.href === 'about:blank'")
        self.b.open("file://" + os.path.abspath(PAGE) + ("#" + keys if keys else ""))

    def reload(self, keys=""):
        self.visit(keys)
        self.b.wait_for("document.body && document.body.dataset.ready === '1'")
        self.b.wait_for(IDLE)

    def reload_handing_over(self, handed_over):
        """A reload in a browser that can, or cannot, hand the plot canvas to the worker; checks
        which way the page draws."""
        if handed_over:
            self.reload()
        else:
            added = self.b.send("Page.addScriptToEvaluateOnNewDocument", source=NO_HANDOVER)
            try:
                self.reload()
            finally:
                self.b.send("Page.removeScriptToEvaluateOnNewDocument",
                            identifier=added["identifier"])
        self.assertEqual(self.b.evaluate("plotHandedOver"), handed_over)

    # ---- as a user does ----

    def idle_mark(self):
        return self.b.evaluate("document.body.dataset.idle || ''")

    def wait_passes_after(self, mark):
        self.b.wait_for("document.body.dataset.idle !== %r && %s" % (mark, IDLE), timeout=300)

    def command(self, key, dialog):
        self.b.evaluate("document.getElementById('plot').focus()")
        self.b.key(key, "Control")
        self.b.wait_for("document.getElementById(%r).open" % dialog)

    def enter_formula(self, text, refused=False):
        """Ctrl+F, the text typed over the old one (selected as the dialog opens), Enter; the
        message boxes it brought, each closed with Enter."""
        mark = self.idle_mark()
        self.command("f", "formula")
        self.b.type(text) if text else self.b.key("Backspace")
        self.b.key("Enter")
        return self.after(mark, refused)

    def settings(self, fields=(), toggles=(), refused=False):
        """Ctrl+, (Settings): the four fields in tab order (Max X, Min X, iterations, decimal
        point), each given one typed over its text; then Space on the check boxes of toggles and
        Enter on OK."""
        mark = self.idle_mark()
        self.command(",", "settings")
        fields = dict(fields)
        for name in ("max", "min", "iterations", "decimal"):
            if name in fields:
                self.b.key("a", "Control")
                self.b.type(fields[name])
            self.b.key("Tab")
        for switch in ("1015", "1011", "1012", "1013", "1014", "1016"):
            if switch in toggles:
                self.b.key("Space")
            self.b.key("Tab")
        self.b.key("Enter")
        return self.after(mark, refused)

    def after(self, mark, refused):
        """Closes each message box with Enter; returns them once the command's passes are over
        (or, for refused input, once the last box is closed)."""
        done = "false" if refused else "%s && document.body.dataset.idle !== '%s'" % (IDLE, mark)
        messages = []
        while True:
            state = self.b.wait_for("document.getElementById('message').open ? 'message' : "
                                    "(%s) ? 'done' : ''" % done, timeout=300)
            if state == "done":
                return messages
            messages.append(tuple(self.b.evaluate(MESSAGE)))
            self.b.key("Enter")
            if refused and not self.b.evaluate("document.getElementById('message').open"):
                return messages

    def pixels(self):
        width, height, data = self.b.evaluate(PIXELS)
        rgb = base64.b64decode(data)
        rows = [[tuple(rgb[3 * (y * width + x):3 * (y * width + x) + 3]) for x in range(width)]
                for y in range(height)]
        return width, height, rows

    def info_lines(self):
        self.b.evaluate("document.getElementById('plot').focus()")
        self.b.key("i", "Control")
        self.b.wait_for("document.getElementById('info').open")
        lines = self.shown_info()
        self.b.key("Enter")
        self.b.wait_for("!document.getElementById('info').open")
        return lines

    def shown_info(self):
        return self.b.evaluate("[...document.querySelectorAll('#info-lines div')].map("
                               "r => [...r.children].map(s => s.textContent).join('\\t'))")

    def state(self):
        return self.b.evaluate("document.getElementById('state').textContent")

    def compare_with_cli(self, args, centre_text=False):
        """The plot on the page against quorvy-plot's PNG of the same size, pixel for pixel
        outside the rows of the texts (whose font differs): the label band at the bottom and,
        for the picture without a formula, the row of its centred notice."""
        width, height, page = self.pixels()
        done = plot("-s", "%dx%d" % (width, height), "-o", "-", *args)
        cli = png.Picture(done.stdout)
        skipped = set(range(height - LABEL_ROWS, height))
        if centre_text:
            top = (height - LABEL_ROWS) // 2
            skipped |= set(range(top, top + LABEL_ROWS))
        differ = [(x, y, page[y][x], cli.pixels[y][x]) for y in range(height) if y not in skipped
                  for x in range(width) if page[y][x] != cli.pixels[y][x]]
        self.assertEqual(differ[:5], [], "%d pixels differ" % len(differ))
        return cli

    def link_range(self):
        """The X range the address carries."""
        keys = dict(pair.split("=", 1) for pair in self.b.evaluate("location.hash")[1:].split("&"))
        return float(keys["MinX"]), float(keys["MaxX"])

    def plot_point(self, column):
        """Where column of the plot, a third of the way down, is on the screen."""
        top, height = self.b.evaluate("[document.getElementById('plot').getBoundingClientRect()"
                                      ".top, document.getElementById('plot').height]")
        return column, top + height / 3

    def mouse(self, kind, column, **more):
        x, y = self.plot_point(column)
        self.b.send("Input.dispatchMouseEvent", type=kind, x=x, y=y, **more)

    def cli_info(self, *args):
        lines = plot("-i", *args).stdout.decode().splitlines()
        return [line for line in lines if not line.startswith("Tempo di")]

    def page_info(self):
        return [line for line in self.info_lines() if not line.startswith("Tempo di")]


class Pictures(Page):
    # (what to type in the formula dialog (None: nothing, as at a first visit), settings typed in
    # the settings dialog, check boxes switched there, the same for quorvy-plot, centred text,
    # whether the browser hands the plot canvas to the worker). EMPTY_INI stands for a Quorvy.ini
    # with an empty formula, as the page is at a first visit.
    CASES = [
        ("2SIN(X)*X", {}, (), [], False, True),
        ("LOG(X)+X/2", {}, (), [], False, True),                    # red undefined points
        (None, {}, (), ["--ini", "EMPTY_INI"], True, True),          # no formula yet
        ("", {}, (), [], True, True),                                # an empty formula
        ("X+", {}, (), [], False, True),                             # "Funzione non valida"
        ("X", {"max": "10", "min": "1"}, (), ["--min", "1", "--max", "10"], False, True),  # no axes
        ("X*X-50", {"iterations": "300"}, ("1013", "1014"),
         ["-n", "300", "--no-autoscale-x", "--no-autoscale-y"], False, True),
        ("SQRT(X)", {}, ("1015",), ["--dont-draw"], False, True),
        ("LOG(X)+X/2", {}, (), [], False, False),                   # the page draws the picture
        (None, {}, (), ["--ini", "EMPTY_INI"], True, False),
    ]

    def setUp(self):
        super().setUp()
        self.folder = tempfile.mkdtemp(prefix="quorvy-web-ini-")
        self.empty_ini = os.path.join(self.folder, "Quorvy.ini")
        with open(self.empty_ini, "w", newline="") as f:
            f.write("[Quorvy]\r\nExpression=\r\n")

    def tearDown(self):
        shutil.rmtree(self.folder, ignore_errors=True)

    def test_plots_match_quorvy_plot_outside_the_labels(self):
        for formula, fields, toggles, args, centre, handed_over in self.CASES:
            args = [self.empty_ini if a == "EMPTY_INI" else a for a in args]
            with self.subTest(formula=formula, settings=args, handed_over=handed_over):
                self.b.evaluate("localStorage.clear()")
                self.reload_handing_over(handed_over)
                if fields or toggles:
                    self.assertEqual(self.settings(fields, toggles), [])
                if formula is not None:
                    messages = self.enter_formula(formula)
                    args = args + [formula]
                    self.assertEqual(messages, cli_messages(*args))
                cli = self.compare_with_cli(args, centre)
                if "1014" not in toggles:  # without the Y facts quorvy-plot -i has less to say
                    self.assertEqual(self.page_info(), self.cli_info(
                        "-s", "%dx%d" % (cli.width, cli.height), *args))

    # (whether the browser hands the plot canvas to the worker, the page's size)
    SIZES = [(True, 640, 480), (True, 1000, 700), (False, 640, 480), (False, 1000, 700)]

    def test_the_plot_follows_the_size_of_its_area(self):
        self.enter_formula("LOG(X)+X/2")
        for handed_over, width, height in self.SIZES:
            with self.subTest(handed_over=handed_over, size=(width, height)):
                if self.b.evaluate("plotHandedOver") != handed_over:
                    self.reload_handing_over(handed_over)  # the stored formula is plotted again
                mark = self.idle_mark()
                self.b.send("Emulation.setDeviceMetricsOverride", width=width, height=height,
                            deviceScaleFactor=1, mobile=False)
                self.wait_passes_after(mark)
                area = self.b.evaluate("[document.getElementById('plot-area').clientWidth, "
                                       "document.getElementById('plot-area').clientHeight]")
                self.assertEqual(self.pixels()[:2], tuple(area))
                self.compare_with_cli(["LOG(X)+X/2"])
        self.b.send("Emulation.setDeviceMetricsOverride", width=800, height=600,
                    deviceScaleFactor=1, mobile=False)


def zoomed(r, column, factor, width):
    """The range zoomed by factor around column, as the page's core works it out."""
    if factor == 1:
        return r
    x = r[0] + column * ((r[1] - r[0]) / width)
    return x - (x - r[0]) / factor, x + (r[1] - x) / factor


def panned(r, columns, width):
    shift = columns * ((r[1] - r[0]) / width)
    return r[0] - shift, r[1] - shift


class View(Page):
    FORMULA = "2SIN(X)*X"
    # (the gesture, its arguments, the range it gives from the one before on a plot w columns
    # wide; r0 is the range set in Settings, back the one before the step before)
    STEPS = [
        ("wheel", (200, -100), lambda r, w, r0, back: zoomed(r, 200, 1.25, w)),
        ("wheel", (600, 100), lambda r, w, r0, back: zoomed(r, 600, 1.25 ** -1, w)),
        ("drag", (300, 420), lambda r, w, r0, back: panned(r, 120, w)),
        ("pinch", ((300, 500), (250, 570)),
         lambda r, w, r0, back: panned(zoomed(r, 400, 320 / 200, w), 10, w)),
        ("key", "+", lambda r, w, r0, back: zoomed(r, w / 2, 1.25, w)),
        ("key", "-", lambda r, w, r0, back: zoomed(r, w / 2, 1 / 1.25, w)),
        ("key", "ArrowLeft", lambda r, w, r0, back: panned(r, w / 10, w)),
        ("key", "ArrowDown", lambda r, w, r0, back: zoomed(r, w / 2, 1 / 1.25, w)),
        ("key", "0", lambda r, w, r0, back: r0),
        ("back", None, lambda r, w, r0, back: back),
    ]

    def viewed_mark(self):
        return self.b.evaluate("document.body.dataset.viewed || '0'")

    def gesture(self, kind, args):
        mark = self.viewed_mark()
        if kind == "wheel":
            self.mouse("mouseWheel", args[0], deltaX=0, deltaY=args[1])
        elif kind == "drag":
            self.mouse("mousePressed", args[0], button="left", clickCount=1)
            for column in range(args[0], args[1] + 1, 20):
                self.mouse("mouseMoved", column, button="left", buttons=1)
            self.mouse("mouseReleased", args[1], button="left", clickCount=1)
        elif kind == "pinch":
            for event, columns in (("touchStart", args[0]), ("touchMove", args[1])):
                points = [self.plot_point(column) for column in columns]
                self.b.send("Input.dispatchTouchEvent", type=event, touchPoints=[
                    {"x": x, "y": y, "id": i} for i, (x, y) in enumerate(points)])
            self.b.send("Input.dispatchTouchEvent", type="touchEnd", touchPoints=[])
        elif kind == "key":
            self.b.evaluate("document.getElementById('plot').focus()")
            self.b.key(args)
        else:
            mark = self.idle_mark()
            self.b.evaluate("history.back()")
            self.wait_passes_after(mark)
            return
        self.b.wait_for("document.body.dataset.viewed !== %r && %s" % (mark, IDLE), timeout=120)

    def test_gestures_keys_reset_and_back_give_the_plot_of_their_range(self):
        self.enter_formula(self.FORMULA)
        width = self.b.evaluate("document.getElementById('plot').width")
        ranges = [self.link_range()]
        for kind, args, expected in self.STEPS:
            with self.subTest(gesture=kind, args=args):
                self.gesture(kind, args)
                want = expected(ranges[-1], width, ranges[0], ranges[-2:][0])
                self.assertEqual(self.link_range(), want)
                self.compare_with_cli(["--min", repr(want[0]), "--max", repr(want[1]),
                                       self.FORMULA])
                ranges.append(want)

    # (a wheel turn at a column too far for a usable X walk: the step no longer moves X, or the
    # range is no finite number)
    REFUSED = [(0, -100 * 200), (400, 100 * 4000)]

    def test_a_range_the_dialog_refuses_shows_its_message_and_keeps_the_plot(self):
        self.enter_formula(self.FORMULA)
        before = self.pixels(), self.b.evaluate("location.hash"), self.page_info()
        for column, delta in self.REFUSED:
            with self.subTest(column=column, delta=delta):
                self.mouse("mouseWheel", column, deltaX=0, deltaY=delta)
                self.assertEqual(self.after(self.idle_mark(), refused=True),
                                 cli_messages("--min", "5", "--max", "4", "X"))
                self.b.wait_for(IDLE)
                self.assertEqual((self.pixels(), self.b.evaluate("location.hash"),
                                  self.page_info()), before)

    # (formula, the column the mouse points at, or None for the keyboard's cursor moved once
    # from the middle column)
    READOUT = [("2SIN(X)*X", 123), ("LOG(X)+X/2", 700), ("LOG(X)+X/2", 100), ("X*X", None)]

    def test_the_value_under_the_pointer_is_quorvy_plots_value_at_that_x(self):
        for formula, column in self.READOUT:
            with self.subTest(formula=formula, column=column):
                self.enter_formula(formula)
                width = self.b.evaluate("document.getElementById('plot').width")
                ini = self.b.evaluate("localStorage.getItem('quorvy.ini')")
                shown = self.pixels()
                self.b.evaluate("document.getElementById('readout').textContent = ''")
                if column is None:
                    self.b.evaluate("document.getElementById('plot').focus()")
                    self.b.key("ArrowRight", "Shift")
                    self.b.key("ArrowRight", "Shift")
                    column = width // 2 + 1
                else:
                    self.mouse("mouseMoved", column)
                x = -100 + column * (200 / width)
                table = plot("-n", "1", "--min", repr(x), "--max", repr(x + 1), "-e", "-",
                             formula).stdout.decode().split("\n")[0].split("\t")
                self.b.wait_for("document.getElementById('readout').textContent === %r"
                                % ("X %s  Y %s" % tuple(part.strip() for part in table)))
                self.assertEqual((self.pixels(), self.b.evaluate(
                    "localStorage.getItem('quorvy.ini')")), (shown, ini))


class Links(Page):
    # (the keys of an address, the Quorvy.ini lines quorvy-plot reads for them, what the page
    # says it did not take)
    LINKS = [
        ("Expression=2SIN(X)*X&MinX=-10&MaxX=10&Iterations=10000",
         "Expression=2SIN(X)*X\r\nMinX=-10\r\nMaxX=10\r\nIterations=10000", ""),
        ("Expression=X%2BLOG(X)&decimalpoint=%2C&iterations=300",
         "Expression=X+LOG(X)\r\ndecimalpoint=,\r\niterations=300", ""),
        ("Expression=X*X-3&MinX=abc&MaxX=4&Iterations=0&Foo=1&MaxX=3&Bad=%E0%A4%A&Lone",
         "Expression=X*X-3\r\nMinX=abc\r\nMaxX=4\r\nIterations=0\r\nFoo=1\r\nMaxX=3",
         "The link's settings not taken: Bad=%E0%A4%A ignored (not URL-encoded text); Lone "
         "ignored (no value); Foo=1 ignored (not a key of Quorvy); MaxX=3 ignored (given again; "
         "the first counts); MinX=abc replaced by 0 (not a number); Iterations=0 replaced by "
         "10000 (not from 1 to 2147483647)"),
    ]

    def test_an_address_with_keys_plots_what_the_ini_reader_makes_of_them(self):
        folder = tempfile.mkdtemp(prefix="quorvy-web-link-")
        try:
            path = os.path.join(folder, "Quorvy.ini")
            for keys, ini, said in self.LINKS:
                with self.subTest(keys=keys):
                    with open(path, "w", newline="") as f:
                        f.write("[Quorvy]\r\n%s\r\n" % ini)
                    self.visit(keys)
                    shown = self.b.wait_for("(m => m && m.open ? 'message' : document.body && "
                                            "document.body.dataset.ready)"
                                            "(document.getElementById('message'))")
                    if shown == "message":
                        self.assertEqual(self.b.evaluate(MESSAGE), ["Quorvy", said])
                        self.b.key("Enter")
                    else:
                        self.assertEqual(said, "")
                    self.b.wait_for("document.body.dataset.ready === '1' && " + IDLE)
                    cli = self.compare_with_cli(["--ini", path])
                    self.assertEqual(self.page_info(), self.cli_info(
                        "-s", "%dx%d" % (cli.width, cli.height), "--ini", path))
                    link = self.b.evaluate("location.hash")[1:]
                    self.b.evaluate("localStorage.clear()")
                    self.reload(link)  # the address kept up to date plots the same again
                    self.compare_with_cli(["--ini", path])
        finally:
            shutil.rmtree(folder, ignore_errors=True)

    def test_copy_link_puts_the_address_of_the_plot_on_the_clipboard(self):
        self.b.call("Browser.grantPermissions", permissions=["clipboardReadWrite",
                                                             "clipboardSanitizedWrite"])
        self.enter_formula("LOG(X)+X/2")
        self.b.evaluate("document.getElementById('plot').focus()")
        self.b.key("k", "Control")
        self.b.wait_for("document.getElementById('state').textContent === 'Link copied'")
        self.assertEqual(self.b.evaluate("navigator.clipboard.readText()"),
                         self.b.evaluate("location.href"))
        self.assertIn("#Expression=LOG(X)%2BX%2F2&MinX=-100&MaxX=100&Iterations=10000",
                      self.b.evaluate("location.href"))


class Refused(Page):
    # (settings typed, the same for quorvy-plot): the dialog's two checks, alone and together.
    SETTINGS = [
        ({"iterations": "0"}, ["-n", "0"]),
        ({"min": "5", "max": "4"}, ["--min", "5", "--max", "4"]),
        ({"iterations": "-5", "min": "5", "max": "5"}, ["-n", "-5", "--min", "5", "--max", "5"]),
        ({"iterations": "abc", "min": "x", "max": "y"}, ["-n", "0", "--min", "0", "--max", "0"]),
    ]

    def test_refused_settings_show_the_dialogs_messages_and_keep_it_open(self):
        for fields, args in self.SETTINGS:
            with self.subTest(fields=fields):
                messages = self.settings(fields, refused=True)
                self.assertEqual(messages, cli_messages(*args, "X"))
                self.assertTrue(self.b.evaluate("document.getElementById('settings').open"))
                self.b.key("Escape")
                self.b.wait_for(IDLE)

    def test_unbalanced_parentheses_are_refused_as_by_the_dialog(self):
        for formula in ("2SIN(X*X", "(X))", "LOG((X)"):
            with self.subTest(formula=formula):
                self.assertEqual(self.enter_formula(formula, refused=True), cli_messages(formula))
                self.assertTrue(self.b.evaluate("document.getElementById('formula').open"))
                self.b.key("Escape")
                self.b.wait_for(IDLE)


class Downloading(Page):
    def setUp(self):
        super().setUp()
        for name in os.listdir(self.downloads):
            os.remove(os.path.join(self.downloads, name))

    def downloaded(self):
        path = os.path.join(self.downloads, "Export.XLS")
        deadline = time.monotonic() + 120
        while not os.path.exists(path) or any(n.endswith(".crdownload") for n in os.listdir(self.downloads)):
            self.assertLess(time.monotonic(), deadline, os.listdir(self.downloads))
            time.sleep(0.05)
        with open(path, "rb") as f:
            return f.read()



class Export(Downloading):
    def test_ctrl_e_downloads_the_bytes_of_quorvy_plots_export(self):
        formula = "SQRT(X)+X/2"
        self.settings({"iterations": "1000", "decimal": ","})
        self.enter_formula(formula)
        mark = self.idle_mark()
        self.b.evaluate("document.getElementById('plot').focus()")
        self.b.key("e", "Control")
        self.wait_passes_after(mark)
        expected = plot("-n", "1000", "-d", ",", "-e", "-", formula).stdout
        self.assertEqual(self.downloaded(), expected)


class LongPass(Downloading):
    FORMULA = "X+SIN(X)*SIN(X)+COS(X)*COS(X)"  # X + 1 within rounding: largest at the end

    def start_long_pass(self):
        mark = self.idle_mark()
        self.command("f", "formula")
        self.b.type(self.FORMULA)
        self.b.key("Enter")
        self.b.wait_for("document.getElementById('progress').value > 0", timeout=120)
        return mark

    def test_a_key_stops_a_pass_of_100_million_samples(self):
        """Stopped while it measures Y: the plot, the curve facts and the export cover the same
        samples, as after Ctrl+C in quorvy-plot; the page says it draws the measured samples
        (Stop still live), and that the file holds only those."""
        self.settings({"iterations": "100000000"})
        mark = self.start_long_pass()
        self.assertEqual(self.b.evaluate("document.getElementById('progress').dataset.pass"), "range")
        self.b.evaluate(WATCH_STATE)
        self.b.key("q")
        self.wait_passes_after(mark)
        said = [tuple(entry) for entry in self.b.evaluate("window.said")]
        width, height, page = self.pixels()
        right = max(x for y in range(height - LABEL_ROWS) for x in range(width) if page[y][x] == BLUE)
        info = self.page_info()
        max_y, last_x = (float(part.split()[-1]) for part in info[1].split("\t"))
        self.assertLess(last_x, 99, "the pass was not stopped")
        self.assertAlmostEqual(max_y, last_x + 1, places=3)
        self.assertAlmostEqual(right, int((last_x + 100) / (200 / width)), delta=1)
        mark = self.idle_mark()
        self.b.key("e", "Control")
        self.wait_passes_after(mark)
        table = self.downloaded().splitlines()
        self.assertAlmostEqual(float(table[-1].split(b"\t")[0]), last_x, places=4)
        self.assertAlmostEqual(len(table), (last_x + 100) / 2e-6 + 1, delta=100)
        measured = "{:,} samples".format(len(table))
        self.assertIn(("Drawing the %s measured before the stop" % measured, True), said)
        self.assertEqual(said[-1], ("Stopped", False))
        self.assertEqual(self.state(), "The file holds %s of 100,000,001 samples: the plot was "
                                        "stopped" % "{:,}".format(len(table)))

    # (the button clicked, the dialog it opens)
    CLICKED = [("cmd-settings", "settings"), ("cmd-formula", "formula"), ("cmd-info", "info")]

    def test_a_command_clicked_during_a_pass_stops_it_and_opens_at_once(self):
        """Curve Info then shows the facts of the samples measured, never the plot before."""
        self.settings({"iterations": "100000000"})
        for button, dialog in self.CLICKED:
            with self.subTest(button=button):
                mark = self.start_long_pass()
                self.b.evaluate("document.getElementById(%r).click()" % button)
                self.b.wait_for("document.getElementById(%r).open" % dialog)
                shown = self.shown_info()
                self.b.evaluate("(d => (d.querySelector('button[value=cancel]') || "
                                "d.querySelector('button[value=ok]')).click())"
                                "(document.getElementById(%r))" % dialog)
                self.wait_passes_after(mark)
                info = self.page_info()
                max_y, last_x = (float(part.split()[-1]) for part in info[1].split("\t"))
                self.assertLess(last_x, 99, "the pass was not stopped")
                self.assertAlmostEqual(max_y, last_x + 1, places=3)
                if dialog == "info":
                    self.assertEqual([line for line in shown if not line.startswith("Tempo di")],
                                     info)

    def test_a_stopped_export_says_how_many_samples_the_file_holds(self):
        self.settings({"iterations": "20000000"})
        self.enter_formula("X")
        mark = self.idle_mark()
        self.b.key("e", "Control")
        self.b.wait_for("document.getElementById('progress').dataset.pass === 'export' && "
                        "document.getElementById('progress').value > 0", timeout=120)
        self.b.evaluate("document.getElementById('stop').click()")
        self.wait_passes_after(mark)
        lines = len(self.downloaded().splitlines())
        self.assertLess(lines, 20000001)
        self.assertEqual(self.state(), "Export stopped: the file holds %s of 20,000,001 samples"
                         % "{:,}".format(lines))

    def test_a_long_pass_shows_its_progress_and_the_page_keeps_answering(self):
        self.settings({"iterations": "100000000"})
        mark = self.start_long_pass()
        self.b.wait_for("!document.getElementById('progress').hidden", timeout=120)
        first = self.b.evaluate("document.getElementById('progress').value")
        self.b.wait_for("document.getElementById('progress').value > %r" % first)
        self.assertFalse(self.b.evaluate("document.getElementById('stop').disabled"))
        self.b.wait_for("document.getElementById('progress').dataset.pass === 'drawing'",
                        timeout=300)
        self.b.wait_for(GROWING_PLOT, timeout=120)
        self.b.evaluate("document.getElementById('stop').click()")
        self.wait_passes_after(mark)
        self.assertTrue(self.b.evaluate("document.getElementById('progress').hidden"))


class Reload(Page):
    def test_a_reload_restores_formula_and_settings(self):
        formula = "LOG(X)+X/2"
        self.settings({"min": "-5", "max": "20", "iterations": "500", "decimal": ","}, ("1013",))
        self.enter_formula(formula)
        before = self.pixels()
        fields = self.dialog_fields()
        self.reload()
        self.assertEqual(self.pixels(), before)
        self.assertEqual(self.dialog_fields(), fields)
        self.command("f", "formula")
        self.assertEqual(self.b.evaluate("document.getElementById('formula-text').value"), formula)
        self.b.key("Escape")

    def dialog_fields(self):
        self.command(",", "settings")
        fields = self.b.evaluate("[...document.querySelectorAll('#settings [data-id]')].map("
                                 "c => c.type === 'checkbox' ? c.checked : c.value)")
        self.b.key("Escape")
        self.b.wait_for(IDLE)
        return fields

    def test_stored_values_follow_the_ini_files_rules(self):
        """A hand-spoiled Quorvy.ini in the page's storage reads as quorvy-plot reads the file."""
        ini = ("[Quorvy]\r\nExpression=2SIN(X)*X\r\nMinX=5\r\nMaxX=-5\r\nIterations=0\r\n"
               "bAutoScaleX=-1\r\nDecimalPoint=;,\r\n")
        folder = tempfile.mkdtemp(prefix="quorvy-web-ini-")
        try:
            path = os.path.join(folder, "Quorvy.ini")
            with open(path, "w", newline="") as f:
                f.write(ini)
            self.b.evaluate("localStorage.setItem('quorvy.ini', %r)" % ini)
            self.reload()
            cli = self.compare_with_cli(["--ini", path])
            self.assertEqual(self.page_info(), self.cli_info(
                "-s", "%dx%d" % (cli.width, cli.height), "--ini", path))
        finally:
            shutil.rmtree(folder, ignore_errors=True)


class Keyboard(Page):
    # (a control, the name a screen reader reads for it)
    NAMES = [("#cmd-export", "Export"), ("#cmd-print", "Print"), ("#cmd-formula", "Edit Formula"),
             ("#cmd-info", "Curve Info"), ("#cmd-settings", "Settings"),
             ("#cmd-reset", "Reset view"), ("#cmd-link", "Copy link")]

    def test_names_read_as_words_tab_leaves_the_plot_and_a_plot_is_described(self):
        for selector, name in self.NAMES:
            found = self.b.send("Runtime.evaluate", expression="document.querySelector(%r)" % selector)
            node = self.b.send("Accessibility.getPartialAXTree", fetchRelatives=False,
                               objectId=found["result"]["objectId"])["nodes"][0]
            self.assertEqual(node["name"]["value"], name)
        self.b.evaluate("document.getElementById('plot').focus()")
        self.b.key("Tab")
        self.assertEqual(self.b.evaluate("[document.getElementById('info').open, "
                                         "document.activeElement.id]"), [False, ""])
        self.enter_formula("LOG(X)+X/2")
        facts = self.b.evaluate("document.getElementById('plot-facts').textContent")
        for part in ["LOG(X)+X/2", "X from -1.000000e+02 to 1.000000e+02"] + self.page_info():
            self.assertIn(part.split("\t")[0], facts)
        self.assertEqual(self.b.evaluate("document.querySelector('[aria-live=polite]').textContent"),
                         "Plot finished: LOG(X)+X/2")
        self.command("f", "formula")
        self.b.type("1" * 256)
        self.assertEqual(self.b.evaluate("document.getElementById('formula-text').value"), "1" * 255)


class Trouble(Page):
    def test_one_escape_ends_a_trace_and_the_switch_can_be_turned_off(self):
        self.b.evaluate("localStorage.setItem('quorvy.ini', '[Quorvy]\\r\\nExpression=SIN(X)\\r\\n"
                        "Iterations=10000\\r\\nbEnableEvalDebug=1\\r\\n')")
        self.visit()
        self.b.wait_for("document.getElementById('message') && document.getElementById('message').open")
        self.b.key("Escape")
        self.b.wait_for("document.body.dataset.ready === '1' && " + IDLE)
        self.assertEqual(self.settings({}, ("1012",)) + self.enter_formula("SIN(X)"), [])

    def test_the_page_stays_alive_after_an_area_too_large_or_a_failure_of_its_worker(self):
        self.enter_formula("LOG(X)+X/2")
        before = self.pixels()
        self.b.evaluate("worker.postMessage({ id: 0, op: 'no such request' })")
        self.b.wait_for("document.getElementById('state').textContent.endsWith('started again "
                        "with the stored settings') && " + IDLE)
        self.assertEqual(self.pixels(), before)
        mark = self.idle_mark()
        self.b.send("Emulation.setDeviceMetricsOverride", width=30000, height=30000,
                    deviceScaleFactor=1, mobile=False)
        try:
            self.wait_passes_after(mark)
            self.assertRegex(self.state(), r"^The plot area of 30000x\d+ pixels is more than the "
                             r"page can hold: the plot is drawn at \d+x\d+$")
            self.assertEqual(self.enter_formula("X"), [])
        finally:
            self.b.send("Emulation.setDeviceMetricsOverride", width=800, height=600,
                        deviceScaleFactor=1, mobile=False)

    def test_another_tabs_settings_are_taken_and_a_full_storage_is_said_once(self):
        self.b.evaluate("window.dispatchEvent(new StorageEvent('storage', {key: 'quorvy.ini', "
                        "newValue: '[Quorvy]\\r\\nExpression=LOG(X)\\r\\n'}))")
        self.b.wait_for("document.getElementById('state').textContent === "
                        "'Took the settings saved in another tab' && " + IDLE)
        self.compare_with_cli(["LOG(X)"])
        self.b.evaluate("Storage.prototype.setItem = () => { throw new DOMException('full', "
                        "'QuotaExceededError'); }")
        self.b.evaluate(WATCH_STATE)
        for formula in ("X", "X+1"):
            self.enter_formula(formula)
        self.assertEqual(self.b.evaluate("said.filter(([text]) => text.includes('storage')).length"), 1)


class Help(Page):
    def test_a_page_copied_on_its_own_leaves_the_help_link_out(self):
        with tempfile.TemporaryDirectory(prefix="quorvy-web-alone-") as folder:
            self.b.open("file://" + shutil.copy(PAGE, folder))
            self.b.wait_for("location.pathname.startsWith(%r) && document.body && "
                            "document.body.dataset.ready === '1'" % folder)
            self.b.wait_for("document.getElementById('cmd-help').offsetParent === null")

    def test_the_page_and_the_help_link_to_each_other(self):
        target = self.b.evaluate("new URL(document.getElementById('cmd-help').getAttribute('href'),"
                                 " location.href).pathname")
        self.assertTrue(os.path.isfile(target), target)
        with open(target, encoding="utf-8") as f:
            self.assertIn('href="../web/index.html"', f.read())
        self.assertEqual(os.path.realpath(os.path.join(os.path.dirname(target), "../web/index.html")),
                         os.path.realpath(PAGE))


class QuietHandler(http.server.SimpleHTTPRequestHandler):
    def log_message(self, *args):
        pass


class StaticServer(Page):
    def test_the_page_works_from_a_web_server_too(self):
        """Served over HTTP by a server of the test's own on 127.0.0.1, with the help beside it
        as the packages place it, the page draws the same plot as opened from disk."""
        self.enter_formula("LOG(X)+X/2")
        from_disk = self.pixels()
        folder = os.path.dirname(os.path.dirname(os.path.abspath(PAGE)))
        handler = functools.partial(QuietHandler, directory=folder)
        server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), handler)
        thread = threading.Thread(target=server.serve_forever, daemon=True)
        thread.start()
        try:
            self.b.open("http://127.0.0.1:%d/web/index.html" % server.server_address[1])
            self.b.wait_for("location.protocol === 'http:' && document.body && "
                            "document.body.dataset.ready === '1'")
            self.b.wait_for(IDLE)
            self.enter_formula("LOG(X)+X/2")
            self.assertEqual(self.pixels(), from_disk)
        finally:
            server.shutdown()
            server.server_close()
            thread.join()


class Print(Page):
    def test_ctrl_p_prints_the_plot_alone_on_one_page(self):
        self.b.evaluate("window.printed = 0; window.print = () => { window.printed++; }")
        self.b.evaluate("document.getElementById('plot').focus()")
        self.b.key("p", "Control")
        self.assertEqual(self.b.evaluate("window.printed"), 1)
        pdf = base64.b64decode(self.b.send("Page.printToPDF")["data"])
        folder = tempfile.mkdtemp(prefix="quorvy-web-print-")
        try:
            path = os.path.join(folder, "page.pdf")
            with open(path, "wb") as f:
                f.write(pdf)
            info = subprocess.run(["pdfinfo", path], capture_output=True, text=True).stdout
            self.assertRegex(info, r"Pages:\s+1\n")
            text = subprocess.run(["pdftotext", path, "-"], capture_output=True, text=True).stdout
            self.assertNotIn("Edit Formula", text)
            images = subprocess.run(["pdfimages", "-list", path], capture_output=True,
                                    text=True).stdout.splitlines()[2:]
            self.assertEqual(len(images), 1)
        finally:
            shutil.rmtree(folder, ignore_errors=True)


if __name__ == "__main__":
    testing.main()
