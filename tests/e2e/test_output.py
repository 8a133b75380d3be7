"""End-to-end tests of export and printing: files on disk and a PDF printer, for real."""
import glob
import math
import os
import shutil
import subprocess
import tempfile
import unittest

from quorvy_dev import testing
from quorvy_dev.export_table import expected_table
from quorvy_dev.wine_session import (MAIN_TITLE, Picture, WineSession, end_process,
                                     end_with_parent, wait_until)

SAVE_TITLE = "Export vesro il foglio di lavoro:"
session = None


def setUpModule():
    """Module cleanups run also when the set-up fails half-way, so a scheduler started here never
    outlives the suite (it would keep CTest waiting on its output)."""
    global session
    cupsd = start_print_server()
    if cupsd is not None:
        unittest.addModuleCleanup(end_process, cupsd)
    session = WineSession.for_build(pdf_printer=True)
    unittest.addModuleCleanup(session.close)


def start_print_server():
    """The CUPS scheduler that the PDF printer needs: the machine's own when one runs, else one
    that this module starts and ends. Returns the process it started, or None."""
    def running():
        return "is running" in subprocess.run(["lpstat", "-r"], capture_output=True,
                                              text=True).stdout
    if running():
        return None
    process = subprocess.Popen(["/usr/sbin/cupsd", "-f"], stdin=subprocess.DEVNULL,
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                               preexec_fn=end_with_parent)
    try:
        wait_until(running, what="cupsd")
    except BaseException:
        end_process(process)
        raise
    return process


def ini(**keys):
    return "".join("%s=%s\r\n" % (k, v) for k, v in keys.items())


class OutputTest(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.mkdtemp(prefix="quorvy-export-")

    def tearDown(self):
        session.stop()
        shutil.rmtree(self.folder, ignore_errors=True)

    def export_to(self, name, keys=("ctrl+e",)):
        session.key(*keys)
        session.wait_window(SAVE_TITLE)
        session.type(session.windows_path(os.path.join(self.folder, name)))
        session.key("Return")
        session.wait_gone(SAVE_TITLE)

    def exported(self, name):
        path = os.path.join(self.folder, name)
        wait_until(lambda: os.path.exists(path), what=name)
        # the file is complete once the program has closed it and the progress window has gone
        wait_until(lambda: not session.holds_open(path), what=name + " to be closed")
        session.wait_gone("Dialog")
        with open(path, "rb") as f:
            return f.read()


class Export(OutputTest):
    def test_defaults_give_10001_lines(self):
        session.start(ini(Expression="X/2"))
        self.export_to("half.xls")
        data = self.exported("half.xls")
        self.assertEqual(data, expected_table(-100.0, 100.0, 10000, lambda x: x / 2))
        lines = data.split(b"\n")
        self.assertEqual(len(lines) - 1, 10001)
        self.assertTrue(lines[0].startswith(b"-100.000000000\t"))
        self.assertTrue(lines[-2].startswith(b"100.000000000\t"))

    def test_comma_and_undefined_points(self):
        session.start(ini(Expression="LOG(X)", MinX="-2", MaxX="2", Iterations="8",
                          DecimalPoint=","))
        self.export_to("log.xls", keys=("alt+f", "Return"))  # File > Export
        data = self.exported("log.xls")
        self.assertEqual(data, expected_table(-2.0, 2.0, 8, lambda x: math.log(x) if x > 0 else None,
                                              point=","))
        self.assertIn(b"-2,000000000\tN.D.\n", data)

    def test_existing_file_is_overwritten(self):
        path = os.path.join(self.folder, "old.xls")
        with open(path, "wb") as f:
            f.write(b"x" * 100000)
        session.start(ini(Expression="3X-1", MinX="0", MaxX="2", Iterations="2"))
        self.export_to("old.xls")
        wait_until(lambda: os.path.getsize(path) < 100000, what="the file to be rewritten")
        self.assertEqual(self.exported("old.xls"),
                         b"0.000000000\t-1.000000000\n1.000000000\t2.000000000\n")

    def test_name_without_extension_gets_one(self):
        session.start(ini(Expression="X", MinX="0", MaxX="1", Iterations="1"))
        self.export_to("plain")
        names = wait_until(lambda: glob.glob(os.path.join(self.folder, "plain.*")),
                           what="the exported file")
        self.assertEqual([os.path.basename(n).lower() for n in names], ["plain.xls"])

    def test_full_disk_is_reported_and_keeps_the_time(self):
        os.symlink("/dev/full", os.path.join(self.folder, "full.xls"))
        session.start(ini(Expression="X"))
        self.export_to("full.xls")
        box = session.wait_message_box()
        self.assertEqual(box, ("Errore!", "Errore di scrittura: il file esportato e' incompleto!"))
        session.key("Return")
        session.key("ctrl+i")
        session.wait_window("Curve Info")
        lines = session.wait_text(lambda t: t.startswith("Tempo di Export"))
        self.assertEqual(lines[-1][0], "Tempo di Export 0.00")

    def test_file_that_cannot_be_created_is_reported(self):
        session.start(ini(Expression="X"))
        session.key("ctrl+e")
        session.wait_window(SAVE_TITLE)
        session.type("Z:\\proc\\no-such-folder\\x.xls")
        session.key("Return")
        self.assertEqual(session.wait_message_box(),
                         ("Errore!", "Impossibile creare il file di esportazione!"))

    def test_key_stops_a_long_export_with_whole_lines(self):
        session.start(ini(Expression="X", MinX="0", MaxX="50000000", Iterations="50000000"))
        # Saved with Enter, whose release then waits in the queue ahead of the Escape.
        self.export_to("long.xls")
        session.wait_window("Dialog")
        session.key("Escape")
        data = self.exported("long.xls")
        lines = data.split(b"\n")
        self.assertEqual(lines[-1], b"")
        self.assertLess(len(lines) - 1, 50000000)
        for i in (0, 1, len(lines) // 2, len(lines) - 2):
            self.assertEqual(lines[i], b"%d.000000000\t%d.000000000" % (i, i))

    def test_progress_window_shows_its_text_while_the_export_runs(self):
        session.start(ini(Expression="X", MinX="0", MaxX="50000000", Iterations="50000000"))
        self.export_to("long.xls")
        session.wait_window("Dialog")
        session.wait_text(lambda text: text == "Exporting... Press Esc to Abort",
                          what="the progress text")
        picture = session.capture("Dialog")
        colours = {}
        for y in range(picture.height):
            for x in range(picture.width):
                colours[picture.rgb(x, y)] = colours.get(picture.rgb(x, y), 0) + 1
        face = max(colours, key=colours.get)
        self.assertGreater(sum(face), 400, face)  # a light face, not an unpainted black box
        dark = sum(n for rgb, n in colours.items() if sum(rgb) < 200)
        self.assertGreater(dark, 20)  # the letters
        session.key("Escape")
        lines = self.exported("long.xls").split(b"\n")
        self.assertLess(len(lines) - 1, 50000000)

    def test_a_name_too_long_for_a_path_is_refused_and_the_session_goes_on(self):
        session.start(ini(Expression="3X-1", MinX="0", MaxX="2", Iterations="2"))
        session.key("ctrl+e")
        session.wait_window(SAVE_TITLE)
        session.type("q" * 296 + ".xls")
        session.key("Return")
        # the dialog stays open for a shorter name
        session.key("Home", "shift+End")
        session.type(session.windows_path(os.path.join(self.folder, "short.xls")))
        session.key("Return")
        self.assertEqual(self.exported("short.xls"),
                         b"0.000000000\t-1.000000000\n1.000000000\t2.000000000\n")
        self.assertEqual([w.title for w in session.windows()], [MAIN_TITLE])
        session.key("alt+f")
        session.key("Up", "Return")  # File > Exit
        session.wait_exit()
        with open(session.ini_path, "rb") as f:
            written = f.read()
        self.assertIn(b"Expression=3X-1\r\nMinX=0.000\r\nMaxX=2.000\r\nIterations=2\r\n",
                      written)


def pdf_files():
    return session.printer.files()


def wait_for_new_pdf(before):
    new = wait_until(lambda: pdf_files() - before, timeout=60, what="the printed PDF")
    path = new.pop()
    wait_until(lambda: subprocess.run(["pdfinfo", path], capture_output=True).returncode == 0,
               what="a complete PDF")
    return path


def render(path):
    """The page at the printer's own 300 dpi without smoothing: one device dot, one pixel."""
    ppm = subprocess.run(["pdftoppm", "-r", "300", "-aa", "no", "-aaVector", "no", path],
                         capture_output=True, check=True).stdout
    return Picture(ppm)


class Printing(OutputTest):
    def print_now(self):
        before = pdf_files()
        session.key("ctrl+p")
        session.wait_window("Print")
        session.key("Return")
        return wait_for_new_pdf(before)

    def test_printed_page_matches_the_window(self):
        session.start(ini(Expression="X", MinX="-10", MaxX="10", Iterations="1000"))
        path = self.print_now()
        info = subprocess.run(["pdfinfo", path], capture_output=True, text=True).stdout
        self.assertIn("Pages:           1", info)
        words = subprocess.run(["pdftotext", path, "-"], capture_output=True, text=True).stdout.split()
        for word in ("xMin", "-10", "delta", "0.020;", "iter.", "1000", "xMax", "10"):
            self.assertIn(word, words)
        page = render(path)
        # the axes cross in the middle of the page: X from -10 to 10, Y from -10 to 10
        black = page.find_all((0, 0, 0))
        rows = {}
        columns = {}
        for x, y in black:
            rows[y] = rows.get(y, 0) + 1
            columns[x] = columns.get(x, 0) + 1
        axis_row = max(rows, key=rows.get)
        axis_column = max(columns, key=columns.get)
        self.assertGreater(rows[axis_row], page.width * 0.9)
        self.assertGreater(columns[axis_column], page.height * 0.9)
        self.assertLess(abs(axis_row - page.height / 2), page.height * 0.01)
        self.assertLess(abs(axis_column - page.width / 2), page.width * 0.01)
        # the curve of X: one dot per sample on the rising diagonal of the page, as in the window
        blue = page.find_all((0, 0, 255))
        self.assertGreaterEqual(len(blue), 1000)
        for x, y in blue:
            expected_y = page.height * (1 - x / page.width)
            self.assertLess(abs(y - expected_y), page.height * 0.005, (x, y))
        # the window shows the same labels
        window_labels = {t[0] for t in session.drawn_texts() if t[0].startswith(("xMin", "xMax", "delta"))}
        self.assertEqual(window_labels, {"xMin      -10 ", "xMax       10 ", "delta     0.020; iter. 1000"})

    def test_cancelled_print_prints_nothing(self):
        session.start(ini(Expression="X"))
        before = pdf_files()
        session.key("ctrl+p")
        session.wait_window("Print")
        session.key("Escape")
        session.wait_gone("Print")
        path = self.print_now()  # only this one may appear
        self.assertEqual(pdf_files() - before, {path})

    def test_without_a_printer_nothing_happens(self):
        before = pdf_files()
        # the program reaches no print server: the platform says so, Quorvy says nothing more
        session.start(ini(Expression="X"), extra_env={"CUPS_SERVER": "127.0.0.1:9"})
        session.key("ctrl+p")
        title, _ = session.wait_message_box()
        self.assertEqual(title, "Print")
        session.key("Return")
        wait_until(lambda: not session.message_boxes(), what="the notice to close")
        session.wait_gone("Print")  # the print dialog ends after its notice
        self.assertEqual([w.title for w in session.windows()], [MAIN_TITLE])
        self.assertEqual(pdf_files(), before)


if __name__ == "__main__":
    testing.main(verbosity=2)
