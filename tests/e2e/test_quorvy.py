"""End-to-end tests: the real Quorvy.exe under Wine, driven with keys and clicks."""
import math
import os
import time
import unittest

from quorvy_dev import testing
from quorvy_dev.wine_session import (BLACK, BLUE, MAIN_TITLE, RED, WHITE, WineSession,
                                     wait_until)

session = None


def setUpModule():
    global session
    session = WineSession.for_build()


def tearDownModule():
    session.close()


def load_tests(loader, tests, pattern):
    """With QUORVY_E2E_PART=K/N, only every N-th test from the K-th on: CTest runs the suite as N
    parts at once, each with a session of its own."""
    part = os.environ.get("QUORVY_E2E_PART")
    if not part:
        return tests
    k, n = map(int, part.split("/"))
    every = [test for case in tests for test in case]
    return unittest.TestSuite(every[k - 1::n])


def ini_values(data):
    """key -> value of the [Quorvy] section of an INI file's bytes."""
    values = {}
    for line in data.decode("latin-1").split("\r\n"):
        if "=" in line:
            key, value = line.split("=", 1)
            values[key] = value
    return values


def ini(**keys):
    return "".join("%s=%s\r\n" % (k, v) for k, v in keys.items())


WM_CLOSE = 0x0010
WM_SYSCOMMAND = 0x0112
SC_MINIMIZE = 0xF020
SC_MAXIMIZE = 0xF030
SC_CLOSE = 0xF060


def post(title, message, wparam):
    """Posts a message to the window with that title from inside the desktop, as the window
    manager does for the caption buttons."""
    session.probe(_posted, "post", title, str(message), str(wparam))


def _posted(path):
    try:
        with open(path) as f:
            return f.read() == "OK\n"
    except OSError:
        return False


def restart_with_the_written_file():
    header, body = session.read_ini().decode("latin-1").split("\r\n", 1)
    assert header == "[Quorvy]", header
    return session.start(body)


def share(picture, rgb):
    return picture.count(rgb) / float(picture.width * picture.height)


def stable_picture(timeout=60):
    """The client area once a pass has ended: two captures a second apart that are the same,
    where a pass that runs shows its growing plot ten times a second."""
    last = [session.capture()]

    def settled():
        now = session.capture()
        same = now.pixels == last[0].pixels
        last[0] = now
        return now if same else None
    return wait_until(settled, timeout=timeout, interval=1.0, what="the picture to settle")


def has_x_axis(picture):
    return any(picture.count(BLACK, rows=[y]) > picture.width // 2 for y in range(picture.height))


DEFAULT_INI = (
    "[Quorvy]\r\n"
    "Expression={formula}\r\n"
    "MinX=-100.000\r\n"
    "MaxX=100.000\r\n"
    "Iterations=10000\r\n"
    "DecimalPoint=.\r\n"
    "bEnableParsingDebug=0\r\n"
    "bEnableEvalDebug=0\r\n"
    "bAutoScaleX=1\r\n"
    "bAutoScaleY=1\r\n"
    "bDontDraw=0\r\n"
    "bSaveWinPos={save}\r\n"
)


class QuorvyTest(unittest.TestCase):
    def tearDown(self):
        session.stop()

    def start(self, **keys):
        return session.start(ini(**keys) if keys else None)

    def capture_showing(self, colour, what):
        """The window's picture once it shows colour: the first paint may come after the window."""
        return wait_until(lambda: (lambda p: p if p.count(colour) > 0 else None)(session.capture()),
                          what=what)

    def labels(self):
        """The last three labels of the plot: left, centre, right."""
        texts = [t for t in session.drawn_texts() if t[2] in (0x28, 0x29, 0x2A)
                 and (t[0].startswith("xM") or t[0].startswith("delta"))]
        return {flags: text for text, _, flags in texts[-3:]}

    def answer_message_box(self, title, text, key="Return"):
        self.assertEqual(session.wait_message_box(), (title, text))
        session.key(key)
        wait_until(lambda: (title, text) not in session.message_boxes(), what="the box to close")

    def exit_by_menu(self):
        session.key("alt+f")
        session.key("Up", "Return")
        session.wait_exit()


class StartAndPlot(QuorvyTest):
    def test_restored_formula_is_plotted_at_the_default_place(self):
        main = self.start(Expression="2SIN(X)*X")
        self.assertEqual(main.rect, (40, 30, 430, 430))
        picture = self.capture_showing(BLUE, "the curve")
        self.assertGreater(picture.count(BLUE), 1000)
        self.assertEqual(picture.count(RED), 0)
        axis_rows = [y for y in range(picture.height)
                     if picture.count(BLACK, rows=[y]) > picture.width // 2]
        self.assertEqual(len(axis_rows), 1)
        self.assertEqual(self.labels(), {0x28: "xMin     -100 ", 0x2A: "xMax      100 ",
                                         0x29: "delta     0.020; iter. 10000"})

    def test_no_formula_shows_centred_axes_and_a_message(self):
        self.start()
        picture = session.capture()
        self.assertEqual(picture.count(BLUE), 0)
        # the axes cross in the middle, under the message
        middle_row, middle_column = picture.height // 2, picture.width // 2
        self.assertEqual(picture.count(BLACK, rows=[middle_row], columns=range(0, 40)), 40)
        self.assertEqual(picture.count(BLACK, rows=range(0, 40), columns=[middle_column]), 40)
        messages = [t for t in session.drawn_texts() if t[2] == 0x25]
        self.assertEqual(messages[-1][0], "Nessuna funzione da visualizzare. Scusa!")

    def test_undefined_points_are_red_on_the_x_axis(self):
        self.start(Expression="LOG(X)")
        picture = self.capture_showing(RED, "the undefined points")
        red_rows = picture.rows_with(RED)
        self.assertEqual(len(red_rows), 1)
        row = red_rows[0]
        red_columns = [x for x in range(picture.width) if picture.rgb(x, row) == RED]
        self.assertLess(max(red_columns), picture.width // 2 + 1)
        self.assertGreater(len(red_columns), picture.width // 2 - 10)
        blue_columns = {x for y in range(picture.height) for x in range(picture.width)
                        if picture.rgb(x, y) == BLUE}
        self.assertGreaterEqual(min(blue_columns), picture.width // 2 - 1)


class LongPasses(QuorvyTest):
    def plot_labels_drawn(self):
        return [t for t in session.drawn_texts() if t[0].startswith("xMin")]

    def test_a_long_drawing_pass_shows_the_plot_growing(self):
        self.start(Expression="2SIN(X)*X", Iterations="100000000")
        # the labels are drawn first, as the drawing pass begins
        wait_until(self.plot_labels_drawn, timeout=60, what="the drawing pass to begin")
        early = wait_until(lambda: (lambda p: p if p.count(BLUE) > 0 else None)(session.capture()),
                           timeout=10, what="some of the curve")
        self.assertLess(share(early, BLACK), 0.2)
        self.assertGreater(share(early, WHITE), 0.6)
        self.assertTrue(has_x_axis(early))
        later = wait_until(lambda: (lambda p: p if p.count(BLUE) > early.count(BLUE) else None)(
            session.capture()), timeout=10, what="more of the curve")
        self.assertGreater(share(later, WHITE), 0.6)
        session.key("Escape")
        session.key("ctrl+i")  # answered only once the pass has stopped
        session.wait_window("Curve Info")
        session.key("Return")
        session.wait_gone("Curve Info")
        final = stable_picture()  # the repaint of what the dialog covered draws the curve again
        self.assertGreaterEqual(final.count(BLUE), later.count(BLUE))
        self.assertTrue(has_x_axis(final))

    def test_a_huge_count_shows_a_white_window_that_a_key_stops(self):
        # the range pass alone takes about a minute and a half over this count
        self.start(Expression="SIN(X)", Iterations="2147483647")
        picture = session.capture()
        self.assertGreater(share(picture, WHITE), 0.95)
        self.assertEqual(self.plot_labels_drawn(), [])  # still measuring: nothing painted yet
        session.key("Escape")
        wait_until(self.plot_labels_drawn, what="the first paint")
        session.key("ctrl+i")
        session.wait_window("Curve Info")
        session.key("Return")
        session.wait_gone("Curve Info")
        self.assertLess(share(session.capture(), BLACK), 0.2)


    def test_a_stopped_range_pass_gives_a_picture_and_curve_info_that_agree(self):
        # SIN(100X) from -100 to 100 in 2,000,000,000 steps: the whole range pass takes many
        # seconds, so the key stops it after a small part of the range (a drawing pass over the
        # whole range would reach the right edge), while a period is a few milliseconds of it,
        # so even a key that comes as soon as the window shows finds both extremes measured
        self.start(Expression="SIN(100X)", Iterations="2000000000")
        # the window shows just before the pass begins, and a key queued by then stops it at its
        # first sample (one sample gives no Y range to draw): the user presses a moment later
        time.sleep(1.0)
        session.key("Escape")
        wait_until(self.plot_labels_drawn, what="the first paint")
        # the paint draws off screen and shows its picture when done: a loaded machine can
        # keep the window white for seconds after the labels were drawn
        wait_until(lambda: session.capture().count(BLUE) > 0, what="the measured samples' curve")
        picture = stable_picture()
        blue = picture.find_all(BLUE)
        self.assertTrue(blue)
        rightmost = max(x for x, _ in blue)
        # only the measured samples are drawn, scaled to their own Y range: from the left edge,
        # from the top row to the bottom one, and no further than the pass got
        self.assertLess(rightmost, picture.width // 2)
        self.assertEqual(min(y for _, y in blue), 0)
        self.assertGreaterEqual(max(y for _, y in blue), picture.height - 2)
        session.key("ctrl+i")
        session.wait_window("Curve Info")
        places = session.wait_text(lambda t: t.startswith("in X = "), what="the Curve Info")
        session.key("Return")
        session.wait_gone("Curve Info")
        # both extremes lie among the drawn samples
        last_drawn_x = -100 + (rightmost + 1) * 200.0 / picture.width
        for text, _, _ in places[-2:]:
            self.assertLessEqual(float(text.split("=")[1]), last_drawn_x)

    def test_a_trace_leaves_the_plot_and_curve_info_of_the_samples_it_measured(self):
        xs = [0.0, 1.0, 2.0, 3.0]
        # the keys for the boxes, the samples measured: answered, three boxes a sample in the
        # range pass, then in the drawing pass (a paint inside the range pass would show its own
        # boxes over them); Esc in a box ends the trace and the pass after that sample
        for keys, measured in ((["Return"] * 2 * 3 * len(xs), xs),
                               (["Return"] * 3 + ["Escape"], xs[:2])):
            with self.subTest(keys=keys[-1]):
                self.start(MinX="0", MaxX="4", Iterations="4", bEnableEvalDebug="1")
                session.key("ctrl+f")
                session.wait_window("New")
                session.type("sin(x)")
                session.key("Return")
                shown = []
                for key in keys:
                    boxes = wait_until(session.message_boxes, what="a trace box")
                    self.assertEqual(len(boxes), 1, boxes)
                    shown.append(boxes[0][1])
                    session.key(key)
                    wait_until(lambda: session.message_boxes() != boxes, what="the box to close")
                self.assertEqual(session.message_boxes(), [])
                firsts = shown[0::3]  # the first box of each sample names its X
                self.assertEqual(firsts, ["SIN of %f" % x for x in xs * 2][:len(firsts)])
                wait_until(lambda: session.capture().count(BLUE) > 0, what="the curve")
                self.assert_extremes(measured, [math.sin(x) for x in measured])

    def assert_extremes(self, xs, ys):
        """Curve Info gives the smallest and the largest Y of the samples and their first X."""
        session.key("ctrl+i")
        session.wait_window("Curve Info")
        places = session.wait_text(lambda t: t.startswith("in X = "), what="the Curve Info")
        values = [t[0] for t in session.drawn_texts() if t[0].startswith(("Min Y", "Max Y"))]
        session.key("Return")
        session.wait_gone("Curve Info")
        for value, place, y in zip(values[-2:], places[-2:], (min(ys), max(ys))):
            self.assertAlmostEqual(float(value[5:]), y, places=4)
            self.assertEqual(float(place[0].split("=")[1]), xs[ys.index(y)])


class FormulaDialog(QuorvyTest):
    def open_formula_dialog(self):
        session.key("ctrl+f")
        return session.wait_window("New")

    def test_new_formula_replaces_the_plot(self):
        self.start(Expression="X")
        dialog = self.open_formula_dialog()
        self.assertEqual(dialog.control_text(1000), "X")
        session.type("log(x)")  # the old text is selected, so typing replaces it
        session.key("Return")
        session.wait_gone("New")
        wait_until(lambda: session.capture().count(RED) > 100, what="red marks")
        self.exit_by_menu()
        self.assertIn(b"Expression=LOG(X)\r\n", session.read_ini())

    def test_unbalanced_parentheses_keep_the_dialog_open(self):
        self.start(Expression="X")
        self.open_formula_dialog()
        session.type("x+(1")
        session.key("Return")
        self.answer_message_box("Errore!", "Ricontrolla le parentesi")
        dialog = session.find("New")
        self.assertIsNotNone(dialog)
        self.assertEqual(dialog.control_text(1000), "X+(1")
        session.key("Escape")
        session.wait_gone("New")
        self.assertEqual(session.capture().count(RED), 0)

    def test_empty_operand_shows_a_message_and_no_curve(self):
        self.start(Expression="X")
        self.open_formula_dialog()
        session.type("2*-x")
        session.key("Return")
        self.answer_message_box("Attenzione!", "Espressione VUOTA!?")
        session.wait_text(lambda text: text == "Funzione non valida")
        picture = session.capture()
        self.assertEqual(picture.count(BLUE), 0)
        self.assertEqual(picture.count(BLACK, rows=[picture.height // 2]), 0)

    def test_unknown_text_says_so(self):
        self.start(Expression="X")
        self.open_formula_dialog()
        session.type("x+y")
        session.key("Return")
        self.answer_message_box("Hey!", "Che espressione hai digitato?")
        session.wait_gone("New")


class CurveInfo(QuorvyTest):
    def info_lines(self):
        return [t[0] for t in session.drawn_texts()
                if t[0].startswith(("Min Y", "in X", "Max Y", "intervallo", "Fatt.", "Tempo",
                                    "le Info"))]

    def test_tab_opens_six_lines_and_escape_does_not_close(self):
        self.start(Expression="X", MinX="-10", MaxX="10", Iterations="1000")
        session.key("Tab")
        session.wait_window("Curve Info")
        lines = session.wait_text(lambda t: t.startswith("Tempo di Export"))
        lines = self.info_lines()[-8:]
        self.assertEqual(lines[0], "Min Y         -10.0000")
        self.assertEqual(lines[1], "in X =  -10.0000")
        self.assertEqual(lines[2], "Max Y          10.0000")  # the last X lies just below 10
        self.assertEqual(lines[4], "intervallo Y     20.0000 ")
        self.assertTrue(lines[5].startswith("Fatt.Scala Y "), lines[5])
        self.assertTrue(lines[6].startswith("Tempo di disegno "), lines[6])
        self.assertEqual(lines[7], "Tempo di Export 0.00")
        session.key("Escape")
        self.assertIsNotNone(session.find("Curve Info"))
        session.key("Return")
        session.wait_gone("Curve Info")

    def test_without_automatic_y_scaling_three_lines(self):
        self.start(Expression="X", bAutoScaleY="0")
        session.key("ctrl+i")
        session.wait_window("Curve Info")
        session.wait_text(lambda t: t.startswith("Tempo di Export"))
        self.assertEqual(self.info_lines()[-3], "le Info sono disponibili solo se attivi AutoScala Y")


class SettingsDialog(QuorvyTest):
    def open_settings(self):
        session.key("ctrl+t")
        return session.wait_window("Settings")

    def replace_field(self, text):
        session.key("Home", "shift+End")
        session.type(text)

    def test_fields_show_the_record(self):
        self.start(Expression="X")
        dialog = self.open_settings()
        self.assertEqual(dialog.control_text(1001), "1.000000e+02")
        self.assertEqual(dialog.control_text(1002), "-1.000000e+02")
        self.assertEqual(dialog.control_text(1003), "10000")
        self.assertEqual(dialog.control_text(1005), ".")
        checks = {cid: check for cid, cls, _, check, _ in dialog.controls if cls == "Button"}
        self.assertEqual([checks[i] for i in range(1011, 1017)], [0, 0, 1, 1, 0, 0])
        session.key("Escape")
        session.wait_gone("Settings")

    def test_both_checks_run_in_order(self):
        self.start(Expression="X")
        self.open_settings()
        self.replace_field("-200")  # Max X below Min X
        session.key("Tab")
        session.key("Tab")
        session.type("0")  # tabbing into a field selects its text
        session.key("Return")
        self.answer_message_box("Errore!", "Numero di iterazioni Zero o Negative!")
        self.answer_message_box("Errore!", "Il DeltaX e' Zero o Negativo!")
        self.assertIsNotNone(session.find("Settings"))
        session.key("Escape")
        session.wait_gone("Settings")
        self.exit_by_menu()
        self.assertIn(b"MaxX=100.000\r\n", session.read_ini())

    def test_a_step_that_cannot_advance_is_refused(self):
        self.start(Expression="X")
        self.open_settings()
        self.replace_field("1000000000000001")
        session.key("Tab")
        session.type("1000000000000000")
        session.key("Return")
        self.answer_message_box("Errore!", "Il DeltaX e' Zero o Negativo!")
        session.key("Escape")

    def test_valid_values_redraw_at_once(self):
        self.start(Expression="X")
        self.open_settings()
        self.replace_field("10")
        session.key("Tab")
        session.type("-10")
        session.key("Tab")
        session.type("1000")
        session.key("Tab")
        session.type(",")
        session.key("Return")
        session.wait_gone("Settings")
        wait_until(lambda: self.labels().get(0x29) == "delta     0.020; iter. 1000",
                   what="the new step label")
        self.assertEqual(self.labels()[0x28], "xMin      -10 ")
        self.exit_by_menu()
        written = session.read_ini()
        self.assertIn(b"MinX=-10.000\r\nMaxX=10.000\r\nIterations=1000\r\nDecimalPoint=,\r\n",
                      written)


class Commands(QuorvyTest):
    def test_help_message(self):
        self.start(Expression="X")
        session.key("alt+h")
        session.key("Return")
        self.answer_message_box("HELP",
                                "Per favore lancia l'Help in formato HTML dentro la cartella DOCS")

    def test_about_closes_with_enter_but_not_escape(self):
        self.start(Expression="X")
        session.key("alt+h")
        session.key("Up", "Return")
        about = session.wait_window("About")
        self.assertIn("QUORVY", about.texts())
        session.key("Escape")
        self.assertIsNotNone(session.find("About"))
        session.key("Return")
        session.wait_gone("About")

    def test_greyed_commands_do_nothing(self):
        self.start(Expression="X")
        before = session.capture()
        session.key("ctrl+x", "ctrl+c", "ctrl+v", "Delete")
        self.assertEqual([w.title for w in session.windows()], [MAIN_TITLE])
        self.assertEqual(session.capture().pixels, before.pixels)


class Preferences(QuorvyTest):
    def test_exit_writes_every_key(self):
        self.start(Expression="2SIN(X)*X")
        self.exit_by_menu()
        self.assertEqual(session.read_ini(),
                         DEFAULT_INI.format(formula="2SIN(X)*X", save=0).encode())

    def test_close_box_keeps_a_moved_window(self):
        self.start(Expression="X", bSaveWinPos="1", Y1="30", X1="40", Y2="430", X2="430")
        moved = session.move_window(MAIN_TITLE, 140, 80)
        self.assertEqual(moved.rect, (140, 80, 530, 480))
        right, top = moved.rect[2], moved.rect[1]
        session.click(right - 10, top + 10)  # the close box
        session.wait_exit()
        values = ini_values(session.read_ini())
        self.assertEqual([values[k] for k in ("bSaveWinPos", "Y1", "X1", "Y2", "X2")],
                         ["1", "80", "140", "480", "530"])

    def test_exit_keeps_the_rectangle_read_at_start(self):
        self.start(Expression="X", bSaveWinPos="1", Y1="30", X1="40", Y2="430", X2="430")
        session.move_window(MAIN_TITLE, 140, 80)
        self.exit_by_menu()
        values = ini_values(session.read_ini())
        self.assertEqual([values[k] for k in ("bSaveWinPos", "Y1", "X1", "Y2", "X2")],
                         ["1", "30", "40", "430", "430"])

    def saved_rectangle(self):
        values = ini_values(session.read_ini())
        return [values[k] for k in ("bSaveWinPos", "Y1", "X1", "Y2", "X2")]

    def close_after(self, command):
        main = self.start(Expression="X", bSaveWinPos="1", Y1="80", X1="140", Y2="480", X2="530")
        self.assertEqual(main.rect, (140, 80, 530, 480))
        post(MAIN_TITLE, WM_SYSCOMMAND, command)
        wait_until(lambda: session.find(MAIN_TITLE).rect != main.rect, what="the window to change")
        post(MAIN_TITLE, WM_SYSCOMMAND, SC_CLOSE)  # the close box
        session.wait_exit()
        self.assertEqual(self.saved_rectangle(), ["1", "80", "140", "480", "530"])
        again = restart_with_the_written_file()
        self.assertEqual(again.rect, (140, 80, 530, 480))

    def test_closing_while_minimised_keeps_the_restored_place(self):
        self.close_after(SC_MINIMIZE)

    def test_closing_while_maximised_keeps_the_restored_place(self):
        self.close_after(SC_MAXIMIZE)

    def test_rectangle_off_the_screen_opens_at_the_default_place(self):
        for side in (5000, -3000):
            main = self.start(Expression="X", bSaveWinPos="1", Y1=side, X1=side, Y2=side + 400,
                              X2=side + 390)
            self.assertEqual(main.rect, (40, 30, 430, 430), side)
            self.exit_by_menu()
            self.assertEqual(self.saved_rectangle(), ["1", "30", "40", "430", "430"])

    def test_rectangle_too_wide_for_32_bits_opens_at_the_default_place(self):
        main = self.start(Expression="X", bSaveWinPos="1", Y1="30", X1="-2147483648", Y2="430",
                          X2="2147483647")
        self.assertEqual(main.rect, (40, 30, 430, 430))

    def test_minimised_caption_strip_is_not_used(self):
        main = self.start(Expression="X", bSaveWinPos="1", Y1="741", X1="0", Y2="768", X2="160")
        self.assertEqual(main.rect, (40, 30, 430, 430))

    def test_saved_rectangle_is_ignored_without_position_saving(self):
        main = self.start(Expression="X", bSaveWinPos="0", Y1="100", X1="100", Y2="300", X2="300")
        self.assertEqual(main.rect, (40, 30, 430, 430))


if __name__ == "__main__":
    testing.main(verbosity=2)
