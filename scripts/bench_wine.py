#!/usr/bin/env python3
"""Drawing speed of the real Quorvy.exe under Wine, as its curve-info panel reports it
("Tempo di disegno"), how fast a key ends a long drawing pass, and the export's cost beside what
it cannot avoid (evaluating the samples, by the program's own range pass in the probe, and one
buffered write of the same bytes): for each Windows flavour that runs here
(QUORVY_WINDOWS_FLAVOUR restricts them)."""
import os
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
from quorvy_dev import windows_flavours
from quorvy_dev.wine_session import MAIN_TITLE, WineSession, read_text, wait_until


def drawing_time(session, iterations):
    session.start("Expression=2SIN(X)*X\r\nIterations=%d\r\n" % iterations)
    session.key("ctrl+i")
    lines = session.wait_text(lambda t: t.startswith("Tempo di disegno"), timeout=120)
    return float(lines[-1][0].split()[-1])


def key_stop(session, iterations):
    """Milliseconds from a key press during a long pass until the window answers again."""
    session.start("Expression=2SIN(X)*X\r\nIterations=%d\r\n" % iterations)
    time.sleep(0.5)  # the pass is under way
    return float(session.probe(read_text, "keystop", MAIN_TITLE))


def export_times(session, iterations):
    """Quorvy's export of the samples (its panel's "Tempo di Export") and one buffered write of
    the same bytes by the probe, both under Wine, in seconds."""
    folder = os.path.join(session.workdir, "export")
    os.makedirs(folder, exist_ok=True)
    exported = os.path.join(folder, "samples.xls")
    session.start("Expression=2SIN(X)*X\r\nIterations=%d\r\n" % iterations)
    session.key("ctrl+e")
    dialog = session.wait_window("Export vesro il foglio di lavoro:")
    session.type(session.windows_path(exported))
    session.click(*dialog.control_centre(1))
    session.wait_gone("Export vesro il foglio di lavoro:")
    wait_until(lambda: os.path.exists(exported), what="the export file")
    session.wait_gone("Dialog", timeout=300)
    session.key("ctrl+i")
    lines = session.wait_text(lambda t: t.startswith("Tempo di Export"))
    export_seconds = float(lines[-1][0].split()[-1])
    text = session.probe(read_text, "writefile", session.windows_path(exported),
                         session.windows_path(os.path.join(folder, "copy.xls")))
    write_ms, size = text.split()
    evaluate_ms = session.probe(read_text, "evaluate", "2SIN(X)*X", str(iterations))
    return export_seconds, float(write_ms) / 1000.0, int(size), float(evaluate_ms) / 1000.0


def measure(flavour):
    session = WineSession.for_build(flavour.folder)
    try:
        default = min(drawing_time(session, 10000) for _ in range(3))
        million = min(drawing_time(session, 1000000) for _ in range(2))
        stop = key_stop(session, 100000000)
        export, write, size, evaluate = min(export_times(session, 1000000) for _ in range(2))
    finally:
        session.close()
    print("Under Wine, %s-bit Quorvy.exe, 2SIN(X)*X, as shown by the curve-info panel:"
          % flavour.name)
    print("  default pass (10,001 samples):     %.2f s   (goal < 0.05 s)" % default)
    print("  pass of 1,000,001 samples:         %.2f s   (goal < 1 s)" % million)
    print("  key press to window answering:     %.0f ms  (goal < 100 ms), 100,000,001 samples" % stop)
    print("Export of 1,000,001 samples of 2SIN(X)*X under Wine (%d bytes):" % size)
    print("  Quorvy's export:                   %.2f s" % export)
    print("  one buffered write of those bytes: %.3f s" % write)
    print("  evaluation alone (range pass):     %.3f s" % evaluate)
    print("  export / (evaluation + one write): %.2fx  (goal at most 2x)" % (export / (evaluate + write)))


def main():
    for flavour, why in windows_flavours.survey():
        if why is None:
            measure(flavour)
        else:
            print("%s-bit Quorvy.exe not measured: %s" % (flavour.name, why))


if __name__ == "__main__":
    main()
