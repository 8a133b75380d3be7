#!/usr/bin/env python3
"""quorvy-plot --ini on hand-edited files far larger than any the program writes: 20,000 and
200,000 distinct unknown keys, and one value of 50 MB. Prints the time of one run of each (and
the CPU time, which a busy machine changes less), the lines written on standard error and their
bytes. Give other builds of quorvy-plot as arguments
to print their figures beside (a run is stopped after the limit of QUORVY_BENCH_LIMIT seconds,
300 by default, and shown as over it). Builds quorvy-plot first."""
import os
import resource
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
BUILD = os.path.join(ROOT, "build", "native")
PLOT = os.path.join(BUILD, "cli", "quorvy-plot")
LIMIT = float(os.environ.get("QUORVY_BENCH_LIMIT", "300"))


def files(folder):
    cases = []
    for count in (20000, 200000):
        path = os.path.join(folder, "keys%d.ini" % count)
        with open(path, "w") as f:
            f.write("[Quorvy]\nExpression=X\n")
            f.writelines("Unknown%d=%d\n" % (i, i) for i in range(count))
        cases.append(("%d unknown keys" % count, path))
    path = os.path.join(folder, "value.ini")
    with open(path, "w") as f:
        f.write("[Quorvy]\nExpression=X\nNote=" + "v" * 50000000 + "\n")
    cases.append(("a 50 MB value", path))
    return cases


def cpu_of_children():
    usage = resource.getrusage(resource.RUSAGE_CHILDREN)
    return usage.ru_utime + usage.ru_stime


def measure(plot, path):
    start = time.perf_counter()
    cpu = cpu_of_children()
    try:
        r = subprocess.run([plot, "--ini", path, "-n", "1", "-i"], capture_output=True, timeout=LIMIT)
    except subprocess.TimeoutExpired:
        return "over %.0f s" % LIMIT
    elapsed = time.perf_counter() - start
    return "%.2f s (CPU %.2f s), %d lines, %d bytes on stderr" % (
        elapsed, cpu_of_children() - cpu, r.stderr.count(b"\n"), len(r.stderr))


def main():
    subprocess.run(["cmake", "--build", BUILD, "--target", "quorvy-plot"], check=True,
                   stdout=subprocess.DEVNULL)
    plots = [PLOT] + sys.argv[1:]
    with tempfile.TemporaryDirectory(prefix="quorvy-bench-ini-") as folder:
        for name, path in files(folder):
            size = os.path.getsize(path) / 1e6
            for plot in plots:
                print("%-20s %6.1f MB  %-40s %s" % (name, size, plot, measure(plot, path)), flush=True)


if __name__ == "__main__":
    main()
