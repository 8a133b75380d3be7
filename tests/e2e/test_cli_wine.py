"""quorvy-plot beside the real Quorvy.exe under Wine: for the same Quorvy.ini, the picture equals the
window's client area pixel for pixel outside the label band, the value table equals the bytes of
File > Export, the curve facts equal the Curve Info panel's lines, and the messages equal the
message boxes."""
import os
import shutil
import subprocess
import tempfile
import unittest

from quorvy_dev import testing
from quorvy_dev.wine_session import WineSession, wait_until
from test_cli import LABEL_ROWS, PLOT, read_png

SAVE_TITLE = "Export vesro il foglio di lavoro:"
session = None


def setUpModule():
    global session
    session = WineSession.for_build()


def tearDownModule():
    session.close()


def ini(**keys):
    return "".join("%s=%s\r\n" % (k, v) for k, v in keys.items())


class SameAsTheWindow(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.mkdtemp(prefix="quorvy-cli-wine-")
        self.ini_path = os.path.join(self.folder, "Quorvy.ini")

    def tearDown(self):
        session.stop()
        shutil.rmtree(self.folder, ignore_errors=True)

    def start(self, body):
        """Quorvy with this INI body; the tool reads the same file."""
        with open(self.ini_path, "wb") as f:
            f.write(("[Quorvy]\r\n" + body).encode("latin-1"))
        return session.start(body)

    def type_formula(self, text, box):
        """A formula typed in the formula dialog, and the message box it shows answered."""
        session.key("ctrl+f")
        session.wait_window("New")
        session.type(text)  # the old text is selected, so typing replaces it
        session.key("Return")
        self.assertEqual(session.wait_message_box(), box)
        session.key("Return")
        wait_until(lambda: box not in session.message_boxes(), what="the box to close")
        session.wait_gone("New")

    def tool(self, *args):
        return subprocess.run([PLOT, "--ini", self.ini_path] + list(args), capture_output=True,
                              timeout=120)

    def compare_pictures(self, band_rows, *formula):
        window = session.capture()
        r = self.tool("-o", "-", "-s", "%dx%d" % (window.width, window.height), *formula)
        picture = read_png(r.stdout)
        self.assertEqual((picture.width, picture.height), (window.width, window.height))
        compared = 0
        for y in range(window.height):
            if y in band_rows:
                continue
            for x in range(window.width):
                self.assertEqual(picture.rgb(x, y), window.rgb(x, y), (x, y))
                compared += 1
        self.assertGreaterEqual(compared, window.width * (window.height - 2 * LABEL_ROWS))
        return r

    def bottom(self):
        return range(354 - LABEL_ROWS, 354)

    def test_curve(self):
        self.start(ini(Expression="2SIN(X)*X"))
        r = self.compare_pictures(self.bottom())
        self.assertEqual((r.returncode, r.stderr), (0, b""))

    def test_undefined_points(self):
        self.start(ini(Expression="LOG(X)+X/2", MinX="-20", MaxX="50", Iterations="3000"))
        self.compare_pictures(self.bottom())

    def test_no_formula(self):
        self.start(ini(Expression=""))
        middle = range((354 - LABEL_ROWS) // 2, (354 - LABEL_ROWS) // 2 + LABEL_ROWS)
        self.compare_pictures(list(middle) + list(self.bottom()))

    def test_invalid_function_and_its_message(self):
        self.start(ini(Expression="X"))
        self.type_formula("2*-x", ("Attenzione!", "Espressione VUOTA!?"))
        session.wait_text(lambda text: text == "Funzione non valida")
        r = self.compare_pictures(self.bottom(), "2*-x")
        self.assertEqual((r.returncode, r.stderr), (3, b"Attenzione!: Espressione VUOTA!?\n"))

    def test_unknown_text_and_its_message(self):
        self.start(ini(Expression="X"))
        self.type_formula("x+y", ("Hey!", "Che espressione hai digitato?"))
        r = self.compare_pictures(self.bottom(), "x+y")
        self.assertEqual((r.returncode, r.stderr), (3, b"Hey!: Che espressione hai digitato?\n"))

    def test_no_axes_and_no_scaling(self):
        self.start(ini(Expression="X", MinX="1", MaxX="10", Iterations="500"))
        self.compare_pictures(self.bottom())
        self.start(ini(Expression="X*X/50", bAutoScaleX="0", bAutoScaleY="0"))
        self.compare_pictures(self.bottom())

    def test_export_bytes(self):
        for body in (ini(Expression="LOG(X)", MinX="-2", MaxX="2", Iterations="8", DecimalPoint=","),
                     ini(Expression="2SIN(X)*X")):
            self.start(body)
            path = os.path.join(self.folder, "window.xls")
            session.key("ctrl+e")
            session.wait_window(SAVE_TITLE)
            session.type(session.windows_path(path))
            session.key("Return")
            session.wait_gone(SAVE_TITLE)
            wait_until(lambda: os.path.exists(path), what="the exported file")
            wait_until(lambda: not session.holds_open(path), what="the file to be closed")
            session.wait_gone("Dialog")
            with open(path, "rb") as f:
                window = f.read()
            r = self.tool("-e", "-")
            self.assertEqual(r.returncode, 0)
            self.assertEqual(r.stdout, window)
            session.stop()
            os.remove(path)

    def test_curve_info_lines(self):
        self.start(ini(Expression="2SIN(X)*X", MinX="-30", MaxX="70", Iterations="5000"))
        session.key("ctrl+i")
        session.wait_window("Curve Info")
        session.wait_text(lambda t: t.startswith("Tempo di Export"))
        texts = session.drawn_texts()
        start = max(i for i, t in enumerate(texts) if t[0].startswith("Min Y"))
        panel = {}
        for text, rect, _ in texts[start:start + 8]:
            panel.setdefault(rect[3], []).append(text)
        window_lines = ["\t".join(panel[bottom]) for bottom in sorted(panel)]
        r = self.tool("-i")
        lines = r.stdout.decode().split("\n")
        self.assertEqual(lines[:4], window_lines[:4])
        self.assertEqual(len(window_lines), 6)


if __name__ == "__main__":
    testing.main(verbosity=2)
