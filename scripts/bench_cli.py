#!/usr/bin/env python3
"""quorvy-plot beside gnuplot: 1,000,000 samples of 2SIN(X)*X over -100..100 drawn to PNG, SVG and
PDF at 382x354 (the default window's client area), gnuplot plotting 2*sin(x)*x "with dots" with
"set samples 1000000" to the same formats and size. Prints the best time of several runs, the file
sizes and the ratios. Installs gnuplot-nox when it is missing; builds quorvy-plot first."""
import os
import shutil
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
BUILD = os.path.join(ROOT, "build", "native")
PLOT = os.path.join(BUILD, "cli", "quorvy-plot")
WIDTH, HEIGHT = 382, 354
RUNS = {"quorvy-plot": 7, "gnuplot": 3}
# gnuplot's terminals for the three formats; PNG through its own (gd) terminal and through Cairo
GNUPLOT = [
    ("png", "png", "png size %d,%d" % (WIDTH, HEIGHT)),
    ("png", "png", "pngcairo size %d,%d" % (WIDTH, HEIGHT)),
    ("svg", "svg", "svg size %d,%d" % (WIDTH, HEIGHT)),
    ("pdf", "pdf", "pdfcairo size %.4fin,%.4fin" % (WIDTH / 72.0, HEIGHT / 72.0)),
]
GOALS = {"png": (15, None), "svg": (10, 10), "pdf": (10, 10)}


def sh(*args, **kwargs):
    return subprocess.run(list(args), check=True, **kwargs)


def prepare():
    if shutil.which("gnuplot") is None:
        sudo = [] if os.geteuid() == 0 else ["sudo"]
        env = dict(os.environ, DEBIAN_FRONTEND="noninteractive")
        sh(*sudo, "apt-get", "install", "-y", "-qq", "--no-install-recommends", "gnuplot-nox", env=env,
           stdout=subprocess.DEVNULL)
    if not os.path.exists(os.path.join(BUILD, "build.ninja")):
        sh("cmake", "-S", ROOT, "-B", BUILD, "-G", "Ninja", stdout=subprocess.DEVNULL)
    sh("cmake", "--build", BUILD, "--target", "quorvy-plot", stdout=subprocess.DEVNULL)


def best_time(command, output, runs):
    best = None
    for _ in range(runs):
        if os.path.exists(output):
            os.remove(output)
        start = time.perf_counter()
        subprocess.run(command, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        elapsed = time.perf_counter() - start
        best = elapsed if best is None else min(best, elapsed)
    return best, os.path.getsize(output)


def quorvy(folder, extension):
    output = os.path.join(folder, "quorvy." + extension)
    command = [PLOT, "-n", "1000000", "-s", "%dx%d" % (WIDTH, HEIGHT), "-o", output, "2SIN(X)*X"]
    return best_time(command, output, RUNS["quorvy-plot"])


def gnuplot(folder, extension, terminal):
    output = os.path.join(folder, "gnuplot." + extension)
    script = ("set terminal %s; set output '%s'; set samples 1000000; set xrange [-100:100]; "
              "plot 2*sin(x)*x with dots" % (terminal, output))
    return best_time(["gnuplot", "-e", script], output, RUNS["gnuplot"])


def size_text(size):
    return "%.1f MB" % (size / 1e6) if size >= 1e6 else "%.1f kB" % (size / 1e3)


def main():
    prepare()
    folder = tempfile.mkdtemp(prefix="quorvy-bench-cli-")
    try:
        ours = {ext: quorvy(folder, ext) for ext in ("png", "svg", "pdf")}
        print("1,000,000 samples of 2SIN(X)*X, %dx%d, best of %d runs (gnuplot: %d)" %
              (WIDTH, HEIGHT, RUNS["quorvy-plot"], RUNS["gnuplot"]))
        print("%-6s %-22s %10s %10s   %-11s %10s %10s   %8s %8s" %
              ("format", "gnuplot terminal", "gnuplot", "size", "", "quorvy", "size", "faster", "smaller"))
        met = True
        for extension, _, terminal in GNUPLOT:
            their_time, their_size = gnuplot(folder, extension, terminal)
            our_time, our_size = ours[extension]
            speed, smaller = their_time / our_time, their_size / our_size
            need_speed, need_size = GOALS[extension]
            ok = speed >= need_speed and (need_size is None or smaller >= need_size)
            met = met and ok
            print("%-6s %-22s %8.3f s %10s   %-11s %8.3f s %10s   %7.1fx %7.1fx  %s" %
                  (extension, terminal.split()[0], their_time, size_text(their_size), "", our_time,
                   size_text(our_size), speed, smaller, "goal met" if ok else "goal NOT met"))
        print("goals: PNG at least 15x faster; SVG and PDF at least 10x faster and 10x smaller")
        return 0 if met else 1
    finally:
        shutil.rmtree(folder, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
