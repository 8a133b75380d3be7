"""End-to-end tests of quorvy-plot, the command-line front end: the built binary run from a shell,
its exit statuses, messages and files, the pictures read back (PNG read with the shared decoder, SVG parsed as XML,
PDF through pdftotext and pdftoppm), Ctrl+C, the progress bar and the installation."""
import math
import os
import pty
import pwd
import re
import shutil
import signal
import subprocess
import tempfile
import time
import unittest
import xml.etree.ElementTree as ElementTree

from quorvy_dev import png, testing
from quorvy_dev.export_table import expected_table
from quorvy_dev.wine_session import BLACK, BLUE, RED, WHITE, Picture, wait_until

HERE = os.path.dirname(os.path.abspath(__file__))
NATIVE = os.environ.get("QUORVY_NATIVE_BUILD", os.path.join(HERE, "..", "..", "build", "native"))
PLOT = os.environ.get("QUORVY_PLOT", os.path.join(NATIVE, "cli", "quorvy-plot"))
TRY_HELP = "Try 'quorvy-plot --help' for more information.\n"
MARKS = "!\"#$%&'()*,./:;<=>?@[\\]^_`{|}~"  # the decimal marks a table can take
LABEL_ROWS = 16  # the labels' line at the bottom of the picture


def run(*args, **kwargs):
    return subprocess.run([PLOT] + list(args), capture_output=True, timeout=120, **kwargs)


def read_png(data):
    """A Picture of a PNG's pixels, to be compared as the window's captures are."""
    return Picture(png.ppm(data))


def pixels_of(picture, colour):
    return set(picture.find_all(colour))


def read_to_end(master):
    """What a terminal's master side gives until the program on its slave side closes it."""
    shown = b""
    while True:
        try:
            chunk = os.read(master, 4096)
        except OSError:
            return shown
        if not chunk:
            return shown
        shown += chunk

class Folder(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.mkdtemp(prefix="quorvy-cli-")

    def tearDown(self):
        shutil.rmtree(self.folder, ignore_errors=True)

    def path(self, name):
        return os.path.join(self.folder, name)

    def files(self):
        return sorted(os.listdir(self.folder))


class BadInput(Folder):
    """Each bad input: its status, its message, and no file that looks complete."""

    def outputs(self):
        return ["-o", self.path("p.png"), "-e", self.path("t.xls")]

    def refused(self, status, err, *args):
        r = run(*(list(args) + self.outputs()))
        self.assertEqual((r.returncode, r.stderr.decode()), (status, err))
        self.assertEqual(r.stdout, b"")
        self.assertEqual(self.files(), [])

    def test_unknown_option(self):
        self.refused(2, "quorvy-plot: unknown option '--colour'\n" + TRY_HELP, "--colour", "red", "X")

    def test_number_that_does_not_read(self):
        self.refused(2, "quorvy-plot: --max: '1O0' is not a number\n" + TRY_HELP, "--max", "1O0", "X")

    def test_zero_iterations(self):
        self.refused(2, "Errore!: Numero di iterazioni Zero o Negative!\n", "--iterations", "0", "X")

    def test_range_that_is_not_a_range(self):
        self.refused(2, "Errore!: Il DeltaX e' Zero o Negativo!\n", "--min", "5", "--max", "4", "X")

    def test_both_settings_checks_in_the_dialogs_order(self):
        self.refused(2, "Errore!: Numero di iterazioni Zero o Negative!\n"
                        "Errore!: Il DeltaX e' Zero o Negativo!\n",
                     "--min", "5", "--max", "4", "-n", "0", "X")

    def test_unbalanced_parentheses(self):
        self.refused(2, "Errore!: Ricontrolla le parentesi\n", "2SIN(X*X")

    def test_300_characters(self):
        self.refused(2, "quorvy-plot: FORMULA has 300 characters; the formula dialog takes at most 255\n"
                     + TRY_HELP, "X+" * 150)

    def test_unwritable_output_folder(self):
        target = self.path("no/such/folder/p.png")
        r = run("-o", target, "-e", self.path("t.xls"), "X")
        self.assertEqual(r.returncode, 4)
        self.assertEqual(r.stderr.decode(), "quorvy-plot: cannot write %s: No such file or directory\n" % target)
        self.assertEqual(self.files(), [])
        table = self.path("no/t.xls")
        r = run("-o", self.path("p.png"), "-e", table, "X")
        self.assertEqual(r.returncode, 4)
        self.assertEqual(r.stderr.decode(), "Errore!: Impossibile creare il file di esportazione!\n"
                         "quorvy-plot: cannot create %s: No such file or directory\n" % table)
        self.assertEqual(self.files(), [])

    def test_malformed_formula_still_draws_what_the_window_draws(self):
        r = run("-o", self.path("p.png"), "-e", self.path("t.xls"), "X+")
        self.assertEqual((r.returncode, r.stderr.decode()), (3, "Attenzione!: Espressione VUOTA!?\n"))
        with open(self.path("p.png"), "rb") as f:
            picture = read_png(f.read())
        # "Funzione non valida" and the labels; no axes, no curve
        self.assertEqual(picture.count(WHITE, rows=range(picture.height - LABEL_ROWS)),
                         picture.width * (picture.height - LABEL_ROWS))
        with open(self.path("t.xls"), "rb") as f:
            self.assertEqual(f.read().count(b"\n"), 10001)

    def test_unknown_text(self):
        r = run("-i", "X#2")
        self.assertEqual((r.returncode, r.stderr.decode()), (3, "Hey!: Che espressione hai digitato?\n"))

    def test_empty_formula(self):
        r = run("-o", self.path("p.png"), "")
        self.assertEqual((r.returncode, r.stderr.decode()), (3, "Attenzione!: Espressione VUOTA!?\n"))
        self.assertEqual(self.files(), ["p.png"])

    def test_full_disk_keeps_the_table_written_so_far(self):
        os.symlink("/dev/full", self.path("full.xls"))
        r = run("-e", self.path("full.xls"), "X")
        self.assertEqual(r.returncode, 4)
        self.assertEqual(r.stderr.decode(), "Errore!: Errore di scrittura: il file esportato e' incompleto!\n"
                         "quorvy-plot: %s: No space left on device\n" % self.path("full.xls"))

    def test_closed_pipe(self):
        p = subprocess.Popen([PLOT, "-o", "-", "-n", "100", "X"], stdout=subprocess.PIPE,
                             stderr=subprocess.PIPE)
        p.stdout.close()
        err = p.stderr.read().decode()
        self.assertEqual(p.wait(timeout=60), 4)
        self.assertEqual(err, "quorvy-plot: cannot write standard output: Broken pipe\n")


OLD = b"the user's old file\n"
PNG = "a PNG picture"  # in a row's files after: any PNG


class Link(str):
    """In a row's files: a symbolic link to the name it holds."""


class Rows(Folder):
    """A row per case: the arguments (run in the test's folder), the files there before (name:
    contents, or (contents, mode)), the exit status, standard error, and the files after (the same
    form; PNG stands for any picture)."""

    def put(self, name, entry):
        if isinstance(entry, Link):
            os.symlink(entry, self.path(name))
            return
        data, mode = entry if isinstance(entry, tuple) else (entry, None)
        with open(self.path(name), "wb") as f:
            f.write(data)
        if mode is not None:
            os.chmod(self.path(name), mode)
        if getattr(self, "owner", None) is not None:
            os.chown(self.path(name), self.owner, -1)

    def state(self, expected):
        found = {}
        for name in self.files():
            if os.path.islink(self.path(name)):
                found[name] = Link(os.readlink(self.path(name)))
                continue
            with open(self.path(name), "rb") as f:
                data = f.read()
            entry = expected.get(name)
            shape = entry[0] if isinstance(entry, tuple) else entry
            if shape == PNG and data.startswith(b"\x89PNG\r\n\x1a\n"):
                data = PNG
            mode = os.stat(self.path(name)).st_mode & 0o7777
            found[name] = (data, mode) if isinstance(entry, tuple) else data
        return found

    def check(self, rows, runner=run):
        for args, before, status, err, after in rows:
            with self.subTest(args=args):
                for name in self.files():
                    os.unlink(self.path(name))  # each row starts in an empty folder
                for name, entry in before.items():
                    self.put(name, entry)
                r = runner(*args, cwd=self.folder)
                self.assertEqual((r.returncode, r.stderr.decode()), (status, err))
                self.assertEqual(self.state(after), after)


class Messages(Rows):
    """Messages that say what is wrong; the files are left as they were."""

    def test_rows(self):
        old = {"p.png": OLD, "t.xls": OLD}
        out = ["-o", "p.png", "-e", "t.xls"]
        self.check([
            (["--auto"] + out + ["X"], old, 2, "quorvy-plot: option '--auto' is ambiguous; "
             "possibilities: '--autoscale-x' '--autoscale-y'\n" + TRY_HELP, old),
            (["--info=3"] + out + ["X"], old, 2,
             "quorvy-plot: option '--info' takes no argument\n" + TRY_HELP, old),
            (["-n", "2147483648"] + out + ["X"], old, 2, "quorvy-plot: --iterations: '2147483648' "
             "is out of range: the count goes from 1 to 2147483647\n" + TRY_HELP, old),
            (["--min", "-1e308", "--max", "1e308"] + out + ["X"], old, 2,
             "Errore!: Il DeltaX e' Zero o Negativo!\n"
             "quorvy-plot: the X range from -1e+308 to 1e+308 is too wide to step\n", old),
            (["-o", "", "X"], {}, 2, "quorvy-plot: --output: the file name is empty\n" + TRY_HELP, {}),
            (["-e", "", "X"], {}, 2, "quorvy-plot: --export: the file name is empty\n" + TRY_HELP, {}),
            (["--ini", "", "-i"], {}, 2, "quorvy-plot: --ini: the file name is empty\n" + TRY_HELP, {}),
            # names and texts echoed one line each, with nothing a terminal acts on
            (["--ini", "a\nb\x1b[2J.ini", "-i"], {}, 2,
             "quorvy-plot: cannot read a\\nb\\x1b[2J.ini: No such file or directory\n", {}),
            (["-e", "t\u202e.xls", "-f", "t\u202e.xls"], {"t\u202e.xls": b"X"}, 2, "quorvy-plot: "
             "--export and --formula-file name the same file (t\\u202e.xls, t\\u202e.xls)\n",
             {"t\u202e.xls": b"X"}),
            (["-d", ""] + out + ["X"], old, 2, "quorvy-plot: --decimal-point: the mark is empty; give "
             "one of " + MARKS + "\n" + TRY_HELP, old),
            (["-d", "\u20ac"] + out + ["X"], old, 2, "quorvy-plot: --decimal-point: '\u20ac' is not "
             "one ASCII character; give one of " + MARKS + "\n" + TRY_HELP, old),
            (["-d", "5"] + out + ["X"], old, 2, "quorvy-plot: --decimal-point: '5' cannot separate "
             "decimals in a table; give a mark such as '.' or ','\n" + TRY_HELP, old),
            (["-d", "\t"] + out + ["X"], old, 2, "quorvy-plot: --decimal-point: '\\t' cannot separate "
             "decimals in a table; give a mark such as '.' or ','\n" + TRY_HELP, old),
            (["--min", "nan"] + out + ["X"], old, 2,
             "quorvy-plot: --min: 'nan' is not a number\n" + TRY_HELP, old),
            (["-i"] + out + ["-X+1"], old, 2, "quorvy-plot: unknown option '-X' (a FORMULA that "
             "starts with '-' goes after \"--\", as in: quorvy-plot -i -- '-X+1')\n" + TRY_HELP, old),
            (["-i", "--no-autoscale-y", "-e", "t.xls", "X"], {}, 3, "quorvy-plot: le Info sono "
             "disponibili solo se attivi AutoScala Y (the Y facts need --autoscale-y)\n",
             {"t.xls": expected_table(-100.0, 100.0, 10000, lambda x: x)}),
            (["-i", "--min", "-10", "--max", "-1", "-e", "t.xls", "SQRT(X)"], {}, 3,
             "quorvy-plot: the formula has no value at any sample from X = -10 to -1 (the curve "
             "facts' Min Y and Max Y show none)\n",
             {"t.xls": expected_table(-10.0, -1.0, 10000, lambda x: None)}),
        ])

    def test_blanks_around_numbers_read_alike(self):
        for args in (["--min", " 5", "--max", "6 "], ["--min", "5 ", "--max", " 6"]):
            r = run("-e", "-", "-n", "2", *(args + ["X"]))
            self.assertEqual((r.returncode, r.stdout), (0, b"5.000000000\t5.000000000\n"
                                                           b"5.500000000\t5.500000000\n"))


def as_nobody(*args, **kwargs):
    """run() as a user other than root, who may not write what its mode forbids."""
    prefix = ["setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups"] if os.geteuid() == 0 else []
    return subprocess.run(prefix + [PLOT] + list(args), capture_output=True, timeout=120, **kwargs)


class IniFile(Rows):
    """--ini reads the file as the program does at start and says what it put in place of each
    value it could not use; a file or formula the command line would refuse is refused."""

    def test_rows(self):
        def ini(*lines):
            return ("[Quorvy]\r\n" + "".join(line + "\r\n" for line in lines)).encode()
        table = expected_table(-100.0, 100.0, 10000, lambda x: x)
        out = ["--ini", "q.ini", "-e", "t.xls"]
        rows = []
        for lines, err in [
            (["MinX=5", "MaxX=-5"], "q.ini: MinX=5 replaced by -100 (MaxX - MinX is not a positive "
             "finite number)\nq.ini: MaxX=-5 replaced by 100 (MaxX - MinX is not a positive finite "
             "number)\n"),
            (["MinX=nan"], "q.ini: MinX=nan replaced by -100 (not a number)\n"),
            (["Iterations=3000000000"], "q.ini: Iterations=3000000000 replaced by 10000 (not from 1 "
             "to 2147483647)\n"),
            (["MinX=1e16", "MaxX=10000000000000002", "Iterations=4"],
             "".join("q.ini: %s replaced by %s (the step (MaxX - MinX) / Iterations does not move "
                     "X)\n" % pair for pair in [("MinX=1e16", "-100"), ("MaxX=10000000000000002", "100"),
                                                ("Iterations=4", "10000")])),
            (["bAutoScaleY=yes"], "q.ini: bAutoScaleY=yes replaced by 0 (not 0 or 1)\n"),
            (["Bad\x1b[31m=1", "Note=" + "v" * 5000], "q.ini: Bad\\x1b[31m=1 ignored (not a key of "
             "Quorvy)\nq.ini: " + ("Note=" + "v" * 5000)[:4096] + "... (5005 bytes) ignored (not a key "
             "of Quorvy)\n"),
            (["Expresion=SIN(X)", "expression=2X", "[Other]", "[QUORVY]", "MinX=7"],
             "q.ini: Expresion=SIN(X) ignored (not a key of Quorvy)\nq.ini: expression=2X ignored "
             "(given again; the first counts)\nq.ini: MinX=7 ignored (in a second [Quorvy] section; "
             "the first counts)\n"),
        ]:
            before = ini("Expression=X", *lines)
            err = "".join("quorvy-plot: " + line + "\n" for line in err.splitlines())
            rows.append((out, {"q.ini": before, "t.xls": OLD}, 3, err, {"q.ini": before, "t.xls": table}))
        refused = [
            (ini("Expression=" + "X+" * 131), "quorvy-plot: q.ini: Expression has 262 characters; "
             "the formula dialog takes at most 255\n"),
            (b"junk\r\n" + b"a" * 1000000, "quorvy-plot: q.ini: no [Quorvy] section with a setting "
             "of Quorvy\n"),
            (ini("Expression=SIN(X"), "Errore!: Ricontrolla le parentesi\n"),
            (ini("Expression=X\0Y"), "quorvy-plot: q.ini: Expression holds a NUL byte after 'X'; a "
             "formula is text\n"),
            (ini("Expression=X", "DecimalPoint=5"), "quorvy-plot: q.ini: DecimalPoint '5' cannot "
             "separate decimals in a table; give --decimal-point\n"),
        ]
        rows += [(out, {"q.ini": before, "t.xls": OLD}, 2, err, {"q.ini": before, "t.xls": OLD})
                 for before, err in refused]
        # the options that give a key again, and a formula on the line, leave nothing to say
        spoilt = ini("Expression=" + "X+" * 131, "MinX=5", "MaxX=-5")
        rows.append((out + ["--min", "-100", "--max", "100", "X"], {"q.ini": spoilt}, 0, "",
                     {"q.ini": spoilt, "t.xls": table}))
        # the range in effect is judged: the file's MaxX=1 after --min 0; a byte-order mark in front
        for before, args, after in [
            (ini("Expression=X", "MinX=5", "MaxX=1"), ["--min", "0"], expected_table(0.0, 1.0, 10000, lambda x: x)),
            (b"\xef\xbb\xbf" + ini("Expression=X"), [], table),
        ]:
            rows.append((out + args, {"q.ini": before}, 0, "", {"q.ini": before, "t.xls": after}))
        self.check(rows)


class FormulaFile(Rows):
    """--formula-file takes the formula with the rules of the command line."""

    def test_rows(self):
        out = ["-e", "t.xls", "-n", "2"]
        halves = expected_table(-100.0, 100.0, 2, lambda x: x / 2)
        self.check([
            (["-f", "f"] + out, {"f": b"X/2\n", "t.xls": OLD}, 0, "", {"f": b"X/2\n", "t.xls": halves}),
            (["--formula-file=f"] + out, {"f": b" x / 2 \r\n"}, 0, "", {"f": b" x / 2 \r\n", "t.xls": halves}),
            (["-f", "f"] + out, {"f": b"SIN(X\n", "t.xls": OLD}, 2, "Errore!: Ricontrolla le parentesi\n",
             {"f": b"SIN(X\n", "t.xls": OLD}),
            (["-f", "f"] + out, {"f": b"X\n2\n"}, 2,
             "quorvy-plot: f: the formula is one line; the file holds more\n", {"f": b"X\n2\n"}),
            (["-f", "f"] + out, {"f": b"\xef\xbb\xbfX/2\r\n"}, 0, "",
             {"f": b"\xef\xbb\xbfX/2\r\n", "t.xls": halves}),
            (["-f", "f"] + out, {"f": b"X\0\n"}, 2,
             "quorvy-plot: f: the formula holds a NUL byte after 'X'; a formula is text\n", {"f": b"X\0\n"}),
            (["-f", "f"] + out, {"f": b"X" * 300}, 2, "quorvy-plot: f: the formula has 300 characters; "
             "the formula dialog takes at most 255\n", {"f": b"X" * 300}),
            (["-f", "f", "-e", "f"], {"f": b"X"}, 2,
             "quorvy-plot: --export and --formula-file name the same file (f, f)\n", {"f": b"X"}),
            (["-f", "none"] + out, {}, 2, "quorvy-plot: cannot read none: No such file or directory\n", {}),
            (["-f", "f", "-i", "X"], {"f": b"X"}, 2,
             "quorvy-plot: FORMULA and --formula-file: give one of them\n" + TRY_HELP, {"f": b"X"}),
        ])


    def test_a_pipe_is_read_to_its_first_line_end(self):
        yes = subprocess.Popen(["yes", "X/2"], stdout=subprocess.PIPE)  # never ends by itself
        try:
            r = run("-f", "-", "-e", "-", "-n", "2", stdin=yes.stdout)
        finally:
            yes.kill()
            yes.wait()
            yes.stdout.close()
        self.assertEqual((r.returncode, r.stderr), (0, b""))
        self.assertEqual(r.stdout, expected_table(-100.0, 100.0, 2, lambda x: x / 2))


class UsersFiles(Rows):
    """A user's own files: never named twice, their permission bits kept, refused when the user may
    not write them."""

    def test_the_same_file_named_twice(self):
        same = "quorvy-plot: --output and --export name the same file (%s)\n"
        self.check([
            (["-o", "p.png", "-e", "p.png", "X"], {}, 2, same % "p.png, p.png", {}),
            (["-o", "p.png", "-e", "./p.png", "X"], {"p.png": OLD}, 2, same % "p.png, ./p.png",
             {"p.png": OLD}),
            (["-o", "p.png", "-e", "l.png", "X"], {"p.png": OLD, "l.png": Link("p.png")}, 2,
             same % "p.png, l.png", {"p.png": OLD, "l.png": Link("p.png")}),
            (["-o", "l.png", "-e", "new.png", "X"], {"l.png": Link("new.png")}, 2,
             same % "l.png, new.png", {"l.png": Link("new.png")}),
            (["--ini", "q.ini", "-e", "q.ini"], {"q.ini": b"[Quorvy]\nExpression=X\n"}, 2,
             "quorvy-plot: --export and --ini name the same file (q.ini, q.ini)\n",
             {"q.ini": b"[Quorvy]\nExpression=X\n"}),
        ])

    def test_permission_bits_kept_and_unwritable_files_refused(self):
        if os.geteuid() == 0:
            self.owner = pwd.getpwnam("nobody").pw_uid  # of the folder and every file put there
            os.chown(self.folder, self.owner, -1)
        table = expected_table(0.0, 4.0, 4, lambda x: x)
        out = ["--min", "0", "--max", "4", "-n", "4"]
        refused = "Errore!: Impossibile creare il file di esportazione!\n" \
                  "quorvy-plot: cannot create t.xls: Permission denied\n"
        self.check([
            (["-o", "p.png"] + out + ["X"], {"p.png": (OLD, 0o600)}, 0, "", {"p.png": (PNG, 0o600)}),
            (["-o", "p.png"] + out + ["X"], {"p.png": (OLD, 0o664)}, 0, "", {"p.png": (PNG, 0o664)}),
            (["-o", "p.png"] + out + ["X"], {"p.png": (OLD, 0o444)}, 4,
             "quorvy-plot: cannot write p.png: Permission denied\n", {"p.png": (OLD, 0o444)}),
            (["-e", "t.xls"] + out + ["X"], {"t.xls": (OLD, 0o640)}, 0, "", {"t.xls": (table, 0o640)}),
            (["-e", "t.xls"] + out + ["X"], {"t.xls": (OLD, 0o444)}, 4, refused, {"t.xls": (OLD, 0o444)}),
        ], runner=as_nobody)


def shell(line, **kwargs):
    """A bash command line with $PLOT the tool: for redirections, pipes and limits."""
    return subprocess.run(["bash", "-c", "set -o pipefail; " + line], capture_output=True, timeout=120,
                          env=dict(os.environ, PLOT=PLOT), **kwargs)


class StandardStreams(Rows):
    """Outputs as the shell's > and >> give them: a stream's name is written through that stream,
    a file is never replaced under a stream open on it, a failed write is never a success."""

    def test_rows(self):
        two = expected_table(-100.0, 100.0, 2, lambda x: x)
        same = "quorvy-plot: --export and standard output name the same file (t.txt)\n"
        one = "quorvy-plot: standard output takes one of --output -, --export - and --info\n"
        self.check([
            (['"$PLOT" -e /dev/stdout -n 2 X >> log'], {"log": b"keep\n"}, 0, "", {"log": b"keep\n" + two}),
            (['{ echo head; "$PLOT" -e /dev/fd/1 -n 2 X; echo tail; } > r'], {}, 0, "",
             {"r": b"head\n" + two + b"tail\n"}),
            (['"$PLOT" -e /proc/self/fd/2 -n 2 X 2>> log'], {"log": b"keep\n"}, 0, "", {"log": b"keep\n" + two}),
            (['"$PLOT" -e o.txt -n 2 X 3>> log'], {"log": b"keep\n", "o.txt": Link("/dev/fd/3")}, 0, "",
             {"log": b"keep\n" + two, "o.txt": Link("/dev/fd/3")}),
            (['"$PLOT" -i -e t.txt X > t.txt'], {"t.txt": OLD}, 2, same, {"t.txt": b""}),
            (['"$PLOT" -o - -e /dev/stdout X > b'], {}, 2, one, {"b": b""}),
            (['"$PLOT" -e - X | head -c 1 > h'], {}, 4, "quorvy-plot: cannot write standard output: "
             "Broken pipe\n", {"h": b"-"}),
            # standard error closed or full: the messages go nowhere else, and the status says so
            (['"$PLOT" -o p.png X+ 2>&-'], {}, 4, "", {"p.png": PNG}),
            (['"$PLOT" -e t.txt -n 2 --trace-eval "SIN(X)" 2>&-'], {}, 4, "",
             {"t.txt": expected_table(-100.0, 100.0, 2, math.sin)}),
            (['"$PLOT" -i -n 2 --trace-eval "SIN(X)" 2>/dev/full >/dev/null'], {}, 4, "", {}),
            (['"$PLOT" --help > /dev/full'], {}, 4, "quorvy-plot: cannot write standard output: No space "
             "left on device\n", {}),
            (['"$PLOT" --version >&-'], {}, 4, "quorvy-plot: cannot write standard output: Bad file "
             "descriptor\n", {}),
            # limits: a message, the old file kept, nothing left over
            (['ulimit -v 100000; "$PLOT" -s 8192x8192 -o p.png X'], {"p.png": OLD}, 4,
             "quorvy-plot: not enough memory to finish: Cannot allocate memory\n", {"p.png": OLD}),
            (['ulimit -f 100; "$PLOT" -e t.txt -n 1000000 X'], {"t.txt": OLD}, 4,
             "quorvy-plot: cannot write t.txt: File too large\n", {"t.txt": OLD}),
        ], runner=lambda line, **kwargs: shell(line, **kwargs))

    def test_names_and_links_as_the_shell_writes_them(self):
        long_name = "a" * 251 + ".png"
        self.check([
            (["-o", long_name, "X"], {}, 0, "", {long_name: PNG}),
            (["-o", "l.png", "X"], {"l.png": Link("new.png")}, 0, "", {"l.png": Link("new.png"), "new.png": PNG}),
            (["-o", "a.png", "-o", "a.svg", "X"], {}, 2, "quorvy-plot: --output is given twice ('a.png' and "
             "'a.svg'); one run writes or reads one file of each kind\n" + TRY_HELP, {}),
        ])

    def test_a_picture_is_not_written_to_a_terminal(self):
        master, slave = pty.openpty()
        r = subprocess.run([PLOT, "-o", "-", "X"], stdout=slave, stderr=subprocess.PIPE, timeout=120)
        os.close(slave)
        os.set_blocking(master, False)
        try:
            shown = os.read(master, 4096)
        except (BlockingIOError, OSError):
            shown = b""
        os.close(master)
        self.assertEqual((r.returncode, r.stderr.decode(), shown), (4, "quorvy-plot: cannot write standard "
                         "output: a terminal does not show a picture; redirect it to a file or a pipe\n", b""))

    def test_folders_that_take_no_new_file_are_named(self):
        if os.geteuid() != 0:
            self.skipTest("needs root to run as another user")
        nobody = pwd.getpwnam("nobody").pw_uid
        for mode, err in [(0o755, "its folder . is not writable (Permission denied)"),
                          (0o1777, "its folder . is sticky: only the file's owner may replace the file")]:
            os.chmod(self.folder, mode)
            self.check([(["-o", "p.png", "X"], {"p.png": (OLD, 0o666)}, 4,
                         "quorvy-plot: cannot write p.png: %s\n" % err, {"p.png": (OLD, 0o666)})],
                       runner=as_nobody)
        # a file replaced by root keeps its owner and group
        self.owner = nobody
        self.check([(["-o", "p.png", "X"], {"p.png": (OLD, 0o640)}, 0, "", {"p.png": (PNG, 0o640)})])
        self.assertEqual(os.stat(self.path("p.png")).st_uid, nobody)


class Pictures(Folder):
    def test_every_pixel_of_a_colour_is_found(self):
        """Rows of two by two pictures: the pixels, the colour looked for, where it is."""
        for pixels, colour, where in [
                ((RED, BLACK, BLACK, WHITE), BLACK, [(1, 0), (0, 1)]),  # a false match hid them
                ((BLUE, BLUE, WHITE, BLUE), BLUE, [(0, 0), (1, 0), (1, 1)]),
                ((WHITE, RED, (255, 255, 0), (0, 0, 255)), WHITE, [(0, 0)])]:
            with self.subTest(pixels=pixels):
                data = b"P6\n2 2\n255\n" + bytes(v for p in pixels for v in p)
                self.assertEqual(Picture(data).find_all(colour), where)

    def picture(self, *args):
        r = run("-o", self.path("p.png"), *args)
        self.assertEqual(r.returncode, 0, r.stderr)
        with open(self.path("p.png"), "rb") as f:
            return read_png(f.read())

    def test_diagonal_and_crossing_axes(self):
        picture = self.picture("--min", "-10", "--max", "10", "-n", "1000", "X")
        self.assertEqual((picture.width, picture.height), (382, 354))
        blue = picture.find_all(BLUE)
        self.assertGreater(len(blue), 300)
        for x, y in blue:
            self.assertLess(abs(y - 354 * (1 - x / 382)), 2, (x, y))
        # the X axis on the row of Y = 0 (Y from -10 to 9.98), the Y axis on the column of X = 0
        row = int(-10 / (19.98 / 354) + 354)
        self.assertEqual(picture.count(BLACK, rows=[row]), 382 - 1)
        self.assertGreater(picture.count(BLACK, columns=[191], rows=range(0, 338)), 330)

    def test_undefined_points_red_on_the_axis_and_other_sizes(self):
        picture = self.picture("-s", "200x100", "LOG(X)")
        self.assertEqual((picture.width, picture.height), (200, 100))
        red = picture.find_all(RED)
        self.assertEqual(len({y for _, y in red}), 1)
        self.assertLessEqual(max(x for x, _ in red), 100)
        self.assertGreaterEqual(min(x for x, _ in picture.find_all(BLUE)), 99)

    def test_png_to_standard_output_is_the_same_picture(self):
        r = run("-o", "-", "2SIN(X)*X")
        self.assertEqual(r.returncode, 0)
        with open(self.path("p.png"), "wb") as f:
            f.write(r.stdout)
        self.assertEqual(read_png(r.stdout).pixels, self.picture("2SIN(X)*X").pixels)

    def test_svg_is_xml_with_one_square_per_pixel_of_the_curve(self):
        png = self.picture("2SIN(X)*X")
        r = run("-o", self.path("p.svg"), "2SIN(X)*X")
        self.assertEqual(r.returncode, 0, r.stderr)
        root = ElementTree.parse(self.path("p.svg")).getroot()
        self.assertEqual((root.get("width"), root.get("height")), ("382px", "354px"))
        squares = set()
        for element in root.iter("{http://www.w3.org/2000/svg}path"):
            if "fill:rgb(0%,0%,100%)" in element.get("style", "").replace(" ", ""):
                for x, y in re.findall(r"M (\d+) (\d+) L", element.get("d")):
                    squares.add((int(x), int(y)))
        self.assertGreater(len(squares), 3000)
        self.assertEqual(squares, pixels_of(png, BLUE))

    def test_pdf_reads_back_with_its_labels_and_curve(self):
        png = self.picture("2SIN(X)*X")
        # a reproducible build dates the PDF by SOURCE_DATE_EPOCH (one year of seconds here)
        r = run("-o", self.path("p.pdf"), "2SIN(X)*X", env=dict(os.environ, SOURCE_DATE_EPOCH="31536000"))
        self.assertEqual(r.returncode, 0, r.stderr)
        info = subprocess.run(["pdfinfo", "-isodates", self.path("p.pdf")], capture_output=True,
                              text=True).stdout
        self.assertRegex(info, r"CreationDate:\s+1971-01-01T00:00:00Z\n")
        self.assertRegex(info, r"Pages:\s+1\n")
        self.assertRegex(info, r"Page size:\s+382 x 354 pts")
        words = subprocess.run(["pdftotext", self.path("p.pdf"), "-"], capture_output=True,
                               text=True).stdout.split()
        for word in ("xMin", "-100", "delta", "0.020;", "iter.", "10000", "xMax", "100"):
            self.assertIn(word, words)
        # each square one unit: drawn at four dots per unit, the centre dot of each unit that is
        # blue is a blue pixel of the PNG
        page = Picture(subprocess.run(["pdftoppm", "-r", "288", "-aa", "no", "-aaVector", "no",
                                       self.path("p.pdf")], capture_output=True, check=True).stdout)
        self.assertEqual((page.width, page.height), (4 * 382, 4 * 354))
        centres = {(x // 4, y // 4) for x, y in page.find_all(BLUE) if x % 4 == 2 and y % 4 == 2}
        self.assertEqual(centres, pixels_of(png, BLUE))

    def test_failed_picture_leaves_no_file(self):
        os.mkdir(self.path("p.png"))  # a folder where the picture should go
        r = run("-o", self.path("p.png"), "X")
        self.assertEqual(r.returncode, 4)
        self.assertEqual(r.stderr.decode(), "quorvy-plot: cannot write %s: Is a directory\n" % self.path("p.png"))
        self.assertEqual(self.files(), ["p.png"])
        self.assertEqual(os.listdir(self.path("p.png")), [])


class Tables(Folder):
    def test_defaults(self):
        r = run("-e", self.path("t.xls"), "X/2")
        self.assertEqual((r.returncode, r.stderr), (0, b""))
        with open(self.path("t.xls"), "rb") as f:
            self.assertEqual(f.read(), expected_table(-100.0, 100.0, 10000, lambda x: x / 2))

    def test_comma_and_undefined_points_from_an_ini_file(self):
        with open(self.path("Quorvy.ini"), "wb") as f:
            f.write(b"[Quorvy]\r\nExpression=LOG(X)\r\nMinX=-2\r\nMaxX=2\r\nIterations=8\r\n"
                    b"DecimalPoint=,\r\n")
        r = run("--ini", self.path("Quorvy.ini"), "-e", "-")
        self.assertEqual((r.returncode, r.stderr), (0, b""))
        self.assertEqual(r.stdout, expected_table(-2.0, 2.0, 8, lambda x: math.log(x) if x > 0 else None, ","))

    def test_info_lines(self):
        r = run("-i", "--min", "-2", "--max", "2", "-n", "4", "X*X")
        lines = r.stdout.decode().split("\n")
        self.assertEqual(lines[:4], ["Min Y           0.0000\tin X =    0.0000",
                                     "Max Y           4.0000\tin X =   -2.0000",
                                     "intervallo Y      4.0000 ",
                                     "Fatt.Scala Y    0.0113 "])
        self.assertRegex(lines[4], r"^Tempo di disegno \d\.\d\d$")
        self.assertEqual(lines[5:], ["Tempo di Export 0.00", ""])


class Interrupt(Folder):
    LONG = ["--min", "0", "--max", "50000000", "-n", "50000000", "X"]

    def test_ctrl_c_keeps_whole_lines_and_says_130(self):
        table = self.path("t.xls")
        p = subprocess.Popen([PLOT, "-e", table] + self.LONG, stderr=subprocess.PIPE)
        # the export comes after the range pass: wait for its first lines in the temporary
        wait_until(lambda: any(os.stat(fd).st_size > 0 for fd in self.temporaries(p).values()),
                   timeout=60, what="the export to start")
        p.send_signal(signal.SIGINT)
        _, err = p.communicate(timeout=60)
        self.assertEqual(p.returncode, 130)
        with open(table, "rb") as f:
            data = f.read()
        lines = data.split(b"\n")
        # the range pass went to the end, and counted the samples
        self.assertEqual(err.decode(), "quorvy-plot: stopped by Ctrl+C: only the first %d samples "
                         "of 50000000 are in %s\n" % (len(lines) - 1, table))
        self.assertEqual(lines[-1], b"")
        self.assertLess(len(lines) - 1, 50000000)
        for i in (0, 1, len(lines) // 2, len(lines) - 2):
            self.assertEqual(lines[i], b"%d.000000000\t%d.000000000" % (i, i))

    def temporaries(self, p):
        """The files in the folder that p holds open without a name, or under a hidden one where
        the file system has no unnamed files (its outputs not yet in place), each with one of its
        descriptors."""
        found = {}
        for fd in os.listdir("/proc/%d/fd" % p.pid):
            try:
                target = os.readlink("/proc/%d/fd/%s" % (p.pid, fd))
            except OSError:
                continue
            hidden = os.path.basename(target).startswith(".")
            if target.startswith(self.folder + "/") and (target.endswith(" (deleted)") or hidden):
                found[target] = "/proc/%d/fd/%s" % (p.pid, fd)
        return found

    def start_over_old_files(self, args, **kwargs):
        """A long run over an old picture and table, once both its temporaries are made."""
        for name in ("p.png", "t.xls"):
            with open(self.path(name), "wb") as f:
                f.write(OLD)
        p = subprocess.Popen([PLOT] + args + self.LONG, cwd=self.folder, **kwargs)
        wait_until(lambda: len(self.temporaries(p)) == args.count("p.png") + args.count("t.xls"),
                   timeout=60, what="the temporaries")
        return p

    def assert_old_files_and_nothing_else(self):
        self.assertEqual(self.files(), ["p.png", "t.xls"])
        for name in self.files():
            with open(self.path(name), "rb") as f:
                self.assertEqual(f.read(), OLD)

    def test_signals_that_end_the_run_leave_the_old_files_and_no_temporary(self):
        for sig in (signal.SIGTERM, signal.SIGHUP, signal.SIGQUIT, signal.SIGUSR1, signal.SIGALRM,
                    signal.SIGXCPU, signal.SIGKILL):
            # a signal the test's own caller ignores would stay ignored in the tool
            p = self.start_over_old_files(["-o", "p.png", "-e", "t.xls"], stderr=subprocess.DEVNULL,
                                          preexec_fn=None if sig == signal.SIGKILL else
                                          lambda: signal.signal(sig, signal.SIG_DFL))
            p.send_signal(sig)
            self.assertEqual(p.wait(timeout=60), -sig)
            self.assert_old_files_and_nothing_else()

    def test_a_second_ctrl_c_leaves_the_old_files_and_no_temporary(self):
        # the table goes to a pipe that is not read: once it is full the run waits in a write,
        # where it stays after the first Ctrl+C
        p = self.start_over_old_files(["-o", "p.png", "-e", "-"], stdout=subprocess.PIPE,
                                      stderr=subprocess.PIPE)
        p.stdout.read(1)

        def waiting_in_a_write():
            with open("/proc/%d/syscall" % p.pid) as f:
                return f.read().split()[0] == "1"
        for _ in range(2):
            wait_until(waiting_in_a_write, timeout=60, what="a full pipe")
            p.send_signal(signal.SIGINT)
            wait_until(lambda: not self.signal_pending(p.pid, signal.SIGINT) or p.poll() is not None,
                       timeout=60, what="the Ctrl+C to arrive")
        self.assertEqual(p.wait(timeout=60), -signal.SIGINT)
        p.stdout.close()
        p.stderr.close()
        self.assert_old_files_and_nothing_else()

    def test_ctrl_c_while_the_formula_is_read_ends_at_once(self):
        p = subprocess.Popen([PLOT, "-f", "-", "-o", "p.png"], cwd=self.folder, stdin=subprocess.PIPE,
                             stderr=subprocess.DEVNULL)

        def waiting_in_a_read():
            with open("/proc/%d/syscall" % p.pid) as f:
                return f.read().split()[0] == "0"
        wait_until(waiting_in_a_read, timeout=60, what="the formula to be read")
        p.send_signal(signal.SIGINT)
        self.assertEqual(p.wait(timeout=60), -signal.SIGINT)
        p.stdin.close()
        self.assertEqual(self.files(), [])

    @staticmethod
    def signal_pending(pid, sig):
        with open("/proc/%d/status" % pid) as f:
            fields = dict(line.split(":", 1) for line in f if ":" in line)
        bit = 1 << (sig - 1)
        return bool((int(fields["SigPnd"], 16) | int(fields["ShdPnd"], 16)) & bit)

    def test_two_runs_on_one_table_do_not_mix_their_lines(self):
        args = ["-e", "t.xls", "--min", "0", "--max", "400000", "-n", "400000"]
        runs = [subprocess.Popen([PLOT] + args + [f], cwd=self.folder) for f in ("X", "2X")]
        self.assertEqual([r.wait(timeout=120) for r in runs], [0, 0])
        with open(self.path("t.xls"), "rb") as f:
            table = f.read()
        tables = [expected_table(0.0, 400000.0, 400000, lambda x: k * x) for k in (1, 2)]
        self.assertTrue(table in tables, "the table is neither run's whole table")
        self.assertEqual(self.files(), ["t.xls"])

    def test_ctrl_c_names_only_the_outputs_written(self):
        # the bar on a terminal says when the range pass runs; the table cannot be written
        master, slave = pty.openpty()
        p = subprocess.Popen([PLOT, "-o", "p.png", "-e", "/dev/full", "--min", "0", "--max", "500000000",
                              "-n", "500000000", "X"], cwd=self.folder, stderr=slave)
        os.close(slave)
        shown = b""
        while b"range" not in shown:
            shown += os.read(master, 4096)
        p.send_signal(signal.SIGINT)
        shown += read_to_end(master)
        os.close(master)
        self.assertEqual(p.wait(timeout=60), 4)
        stop = re.findall(rb"quorvy-plot: stopped by Ctrl\+C: [^\r\n]*", shown)
        self.assertEqual(len(stop), 1, shown)
        self.assertRegex(stop[0], rb"^quorvy-plot: stopped by Ctrl\+C: only the first \d+ samples are in p.png$")
        self.assertEqual(self.files(), ["p.png"])

    def test_ctrl_c_in_the_range_pass_ends_every_output_at_the_same_sample(self):
        picture, table = self.path("p.png"), self.path("t.xls")
        # a range pass of several seconds, stopped well inside it
        endless = ["--min", "0", "--max", "500000000", "-n", "500000000", "X"]
        p = subprocess.Popen([PLOT, "-o", picture, "-e", table, "-i"] + endless,
                             stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        time.sleep(0.3)
        p.send_signal(signal.SIGINT)
        out, err = p.communicate(timeout=60)
        self.assertEqual(p.returncode, 130)
        with open(table, "rb") as f:
            samples = f.read().count(b"\n")
        self.assertLess(samples, 500000000)
        self.assertEqual(err.decode(), "quorvy-plot: stopped by Ctrl+C: only the first %d samples "
                         "are in %s, %s, the curve facts\n" % (samples, picture, table))
        # the largest Y the range pass met is the last sample it took, the table's last line
        max_line = out.decode().split("\n")[1]
        self.assertEqual(float(max_line.split()[2]), samples - 1)
        with open(picture, "rb") as f:
            drawn = read_png(f.read())
        self.assertGreater(len(drawn.find_all(BLUE)), 0)


class Progress(Folder):
    def test_bar_on_a_terminal_only(self):
        # An export long enough to pass the bar's half-second delay with room to spare (some
        # 1.5 s on a two-core machine).
        args = [PLOT, "-e", "/dev/null", "-n", "50000000", "X"]
        master, slave = pty.openpty()
        p = subprocess.Popen(args, stderr=slave)
        os.close(slave)
        shown = read_to_end(master)
        self.assertEqual(p.wait(timeout=120), 0)
        os.close(master)
        self.assertRegex(shown, rb"\r(range|export) +\[#*\.*\] +\d+%")
        self.assertTrue(shown.endswith(b"\r\x1b[K"))  # gone at the end
        r = subprocess.run(args, capture_output=True, timeout=120)
        self.assertEqual((r.returncode, r.stderr), (0, b""))


class Install(Folder):
    def test_cmake_install_puts_the_tool_in_bin(self):
        r = subprocess.run(["cmake", "--install", NATIVE, "--prefix", self.folder],
                           capture_output=True, text=True)
        self.assertEqual(r.returncode, 0, r.stderr)
        tool = self.path("bin/quorvy-plot")
        self.assertTrue(os.access(tool, os.X_OK))
        version = subprocess.run([tool, "--version"], capture_output=True, text=True)
        self.assertTrue(version.stdout.startswith("quorvy-plot (Quorvy) "))
        self.assertIn("Usage: quorvy-plot", subprocess.run([tool, "--help"], capture_output=True,
                                                           text=True).stdout)


if __name__ == "__main__":
    testing.main(verbosity=2)
