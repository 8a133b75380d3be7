"""Speed of the web page (build/native/web/index.html) in headless Chromium, beside quorvy-plot's
own passes on this machine: from Enter in the formula dialog to the finished plot for the default
10,001 samples and for 1,000,001, the drawing pass alone as the curve facts time it, and the
delay from a key to the end of a long pass: during its drawing pass, during its range pass (the
page then draws the samples measured), and a second key during that drawing; then one wheel
notch to its finished plot for 10,001 samples, and a drag of one second: the frames shown and the
slowest of them. Prints figures and ratios; asserts nothing.

Run after the native build: python3 scripts/bench_web.py [--runs N] [--build FOLDER]
(FOLDER: a native build folder other than build/native, such as bash scripts/bench.sh COMMIT
makes in build/bench-before/build after cmake --build ... --target quorvy_web)"""
import argparse
import os
import statistics
import subprocess
import time

ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..")
from quorvy_dev.cdp import Browser

BUILD = os.path.join(ROOT, "build", "native")
FORMULA = "2SIN(X)*X"
# Times the page's own events: the key that starts or stops, and the end of its passes.
PROBE = """window.bench = {}; document.addEventListener('keydown', e => { bench.key = performance.now(); }, true);
new MutationObserver(() => { bench.done = performance.now(); })
  .observe(document.body, { attributes: true, attributeFilter: ['data-idle'] });"""
IDLE = "document.getElementById('stop').disabled && !document.querySelector('dialog[open]')"


def open_page(browser, iterations, formula=""):
    """A new visit with the count (and a formula) in the page's address."""
    browser.open("about:blank")
    browser.wait_for("location.href === 'about:blank'")
    browser.open("file://%s#Expression=%s&Iterations=%d" % (
        os.path.abspath(os.path.join(BUILD, "web", "index.html")), formula, iterations))
    browser.wait_for("document.body && document.body.dataset.ready === '1' && " + IDLE)
    browser.evaluate(PROBE)


def enter_to_plot(browser, after_shown=False):
    """Ctrl+F, the formula, Enter: milliseconds from Enter to the plot painted. Enter comes within
    a millisecond of the last letter, while the browser still owes the frame that shows it, or
    (after_shown) once that frame is drawn, as when a person presses it."""
    browser.evaluate("bench.done = 0; document.getElementById('plot').focus()")
    browser.key("f", "Control")
    browser.wait_for("document.getElementById('formula').open")
    browser.type(FORMULA)
    if after_shown:
        browser.evaluate("new Promise((shown) => requestAnimationFrame(() => "
                         "requestAnimationFrame(shown)))")
    browser.key("Enter")
    browser.wait_for("bench.done > bench.key && " + IDLE, timeout=300)
    return browser.evaluate("bench.done - bench.key")


def drawing_seconds(info_lines):
    return float(next(line for line in info_lines if line.startswith("Tempo di disegno")).split()[-1])


def page_drawing_time(browser):
    lines = browser.evaluate("[...document.querySelectorAll('#info-lines div')].map(r => r.textContent)")
    return drawing_seconds(lines)


def cli_pass(iterations, size):
    """quorvy-plot's range and drawing passes at the same size: wall time and its drawing pass."""
    start = time.perf_counter()
    plot = os.path.join(BUILD, "cli", "quorvy-plot")
    out = subprocess.run([plot, "-n", str(iterations), "-s", size, "-i", FORMULA],
                         capture_output=True, text=True, check=True).stdout
    return (time.perf_counter() - start) * 1000, drawing_seconds(out.splitlines())


def begin_long_plot(browser, pass_name):
    """A plot of 100,000,000 samples typed on a fresh page, once its pass of that name runs."""
    open_page(browser, 100000000)
    browser.evaluate("document.getElementById('plot').focus()")
    browser.key("f", "Control")
    browser.wait_for("document.getElementById('formula').open")
    browser.type("X")
    browser.key("Enter")
    browser.wait_for("document.getElementById('progress').dataset.pass === '%s'" % pass_name,
                     timeout=300)


def worker_memory(browser):
    """MiB of the page's wasm memory, read in its worker."""
    browser.send("Target.setAutoAttach", autoAttach=True, waitForDebuggerOnStart=False, flatten=True)
    session = [e["params"]["sessionId"] for e in browser.events
               if e.get("method") == "Target.attachedToTarget"
               and e["params"]["targetInfo"]["type"] == "worker"][-1]
    result = browser.call("Runtime.evaluate", session=session,
                          expression="memory.buffer.byteLength", returnByValue=True)
    browser.send("Target.setAutoAttach", autoAttach=False, waitForDebuggerOnStart=False)
    return result["result"]["value"] / (1 << 20)


def key_to_stop(browser):
    """A pass of 100,000,000 samples stopped by a key during its drawing pass: milliseconds from
    the key to the page's passes over."""
    begin_long_plot(browser, "drawing")
    browser.evaluate("bench.done = 0")
    browser.key("q")
    browser.wait_for("bench.done > bench.key && " + IDLE, timeout=300)
    return browser.evaluate("bench.done - bench.key"), worker_memory(browser)


def start_long_plot(browser):
    """A plot of 100,000,000 samples under way, its range pass one second old."""
    begin_long_plot(browser, "range")
    time.sleep(1)


def stop_range_pass(browser, second_key):
    """Milliseconds from a key during the range pass to the page idle, or, with second_key,
    from a second key during the drawing of the measured samples."""
    start_long_plot(browser)
    browser.evaluate("bench.done = 0; bench.measured = ''; new MutationObserver(() => { "
                     "const m = document.getElementById('state').textContent"
                     ".match(/Drawing the ([0-9,]+) samples measured/); "
                     "if (m) bench.measured = m[1]; }).observe(document.getElementById('state'), "
                     "{ childList: true, characterData: true, subtree: true })")
    browser.key("q")
    if second_key:
        drawing = browser.wait_for("document.getElementById('state').textContent.includes("
                                   "'measured') ? 'drawing' : bench.done > bench.key ? 'idle' : ''",
                                   timeout=300)
        if drawing == "idle":
            return None  # the drawing ended before a second key could reach it
        browser.key("q")
    browser.wait_for("bench.done > bench.key && " + IDLE, timeout=300)
    took = browser.evaluate("bench.done - bench.key")
    if not second_key:
        print("  the key after 1 s: %s samples measured, %.0f MiB of wasm memory after their drawing"
              % (browser.evaluate("bench.measured"), worker_memory(browser)))
    return took


# Times every picture painted (the page's own paint, wrapped) and the end of each change of view.
VIEW_PROBE = """window.frames = []; const painted = paint;
paint = (picture) => { frames.push(performance.now()); painted(picture); };
new MutationObserver(() => { bench.viewed = performance.now(); })
  .observe(document.body, { attributes: true, attributeFilter: ['data-viewed'] });"""


def plot_point(browser, column):
    top = browser.evaluate("document.getElementById('plot').getBoundingClientRect().top")
    return column, top + 200


def wheel_to_plot(browser, runs):
    """One wheel notch at a column of a plot of 10,001 samples, in and out by turns:
    milliseconds from the wheel to the change of view finished on its plot."""
    open_page(browser, 10000, FORMULA)
    browser.evaluate(VIEW_PROBE + "document.getElementById('plot').addEventListener('wheel', "
                     "() => { bench.wheel = performance.now(); }, true)")
    times = []
    for run in range(runs):
        x, y = plot_point(browser, 300)
        browser.evaluate("bench.viewed = 0")
        browser.send("Input.dispatchMouseEvent", type="mouseWheel", x=x, y=y, deltaX=0,
                     deltaY=-100 if run % 2 == 0 else 100)
        browser.wait_for("bench.viewed > bench.wheel && " + IDLE, timeout=120)
        times.append(browser.evaluate("bench.viewed - bench.wheel"))
    return times


def one_second_drag(browser):
    """A drag across the plot of 10,001 samples for one second, a move every 16 ms: the frames
    painted from the press to the end of the change, and the longest time between two of them."""
    open_page(browser, 10000, FORMULA)
    browser.evaluate(VIEW_PROBE)
    x, y = plot_point(browser, 100)
    browser.send("Input.dispatchMouseEvent", type="mousePressed", x=x, y=y, button="left",
                 clickCount=1)
    browser.evaluate("window.frames = []; bench.viewed = 0; bench.pressed = performance.now()")
    start = time.monotonic()
    while time.monotonic() - start < 1.0:
        x += 2
        browser.send("Input.dispatchMouseEvent", type="mouseMoved", x=x, y=y, button="left",
                     buttons=1)
        time.sleep(0.016)
    browser.send("Input.dispatchMouseEvent", type="mouseReleased", x=x, y=y, button="left",
                 clickCount=1)
    browser.wait_for("bench.viewed > 0 && " + IDLE, timeout=120)
    marks = browser.evaluate("[bench.pressed, ...frames]")
    gaps = [b - a for a, b in zip(marks, marks[1:])]
    return len(marks) - 1, max(gaps) if gaps else float("nan")


def main():
    global BUILD
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--build", default=BUILD)
    arguments = parser.parse_args()
    runs, BUILD = arguments.runs, arguments.build
    browser = Browser(800, 600)
    try:
        print("%-12s %12s %12s %14s %14s %8s" % ("samples", "page Enter", "page pass",
                                                 "cli process", "cli pass", "ratio"))
        for iterations, goal in ((10000, 8), (1000000, 150)):
            open_page(browser, iterations)
            size = browser.evaluate("document.getElementById('plot').width + 'x' + "
                                    "document.getElementById('plot').height")
            page = [enter_to_plot(browser) for _ in range(runs)]
            page_pass = page_drawing_time(browser) * 1000
            cli = [cli_pass(iterations, size) for _ in range(runs)]
            cli_wall = min(c[0] for c in cli)
            cli_draw = min(c[1] for c in cli) * 1000
            print("%-12s %9.1f ms %9.1f ms %11.1f ms %11.1f ms %7.1fx   (goal %d ms, median %.1f ms)"
                  % ("{:,}".format(iterations + 1), min(page), page_pass, cli_wall, cli_draw,
                     min(page) / cli_wall, goal,
                     statistics.median(page)))
            if iterations == 10000:
                shown = [enter_to_plot(browser, True) for _ in range(max(10, runs * 4))]
                print("%-12s Enter once the typed formula is on screen: median %.1f ms, best %.1f "
                      "ms of %d (goal: median under %d ms)" % ("", statistics.median(shown),
                                                               min(shown), len(shown), goal))
        stops = [key_to_stop(browser) for _ in range(max(1, runs // 2))]
        print("key to stop (100,000,000 samples): best %.1f ms, worst %.1f ms (goal 100 ms); "
              "%.0f MiB of wasm memory after the whole range pass"
              % (min(s[0] for s in stops), max(s[0] for s in stops), stops[-1][1]))
        for second_key, what in ((False, "key during the range pass (after 1 s) to idle"),
                                 (True, "second key during the drawing of the measured samples")):
            tries = [stop_range_pass(browser, second_key) for _ in range(max(1, runs // 2))]
            figures = [t for t in tries if t is not None]
            if figures:
                print("%s: best %.1f ms, worst %.1f ms (%d of %d tries)"
                      % (what, min(figures), max(figures), len(figures), len(tries)))
            else:
                print("%s: the drawing always ended before the second key" % what)
        wheel = wheel_to_plot(browser, max(10, runs * 4))
        print("one wheel notch to its plot (10,001 samples): median %.1f ms, best %.1f ms, worst "
              "%.1f ms of %d (goal: median under 16 ms)" % (statistics.median(wheel), min(wheel),
                                                           max(wheel), len(wheel)))
        frames, slowest = one_second_drag(browser)
        print("a drag of one second (10,001 samples): %d frames shown, the slowest %.1f ms"
              % (frames, slowest))
        print("page Enter: Enter in the formula dialog to the plot painted (best of %d); page pass "
              "and cli pass: the drawing pass as Curve Info times it (to 10 ms); cli process: a "
              "whole quorvy-plot -i run (both passes); ratio = page Enter / cli process" % runs)
    finally:
        browser.close()


if __name__ == "__main__":
    main()
