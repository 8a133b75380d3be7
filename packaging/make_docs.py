#!/usr/bin/env python3
"""Assembles the user's help: copies the pages of DOCS/ into the build's DOCS folder and, given
quorvy-plot, draws the help's pictures into its pictures/ folder with the program's own renderer,
so that they always show what the program draws.

    make_docs.py --pages SOURCE_DOCS --out BUILD_DOCS [--plot QUORVY_PLOT] [--stamp FILE]

The source tree keeps a copy of the pictures too, so that DOCS/index.html reads whole where it
stands; the help's tests check that the copy equals what the build draws. After a change to
the pictures, refresh the copy with
    python3 packaging/make_docs.py --pages DOCS --out DOCS --plot build/native/cli/quorvy-plot
"""
import argparse
import os
import shutil
import subprocess
import sys

# name, quorvy-plot options, formula, the exit status the formula gives (3: it shows a message).
PICTURES = [
    ("window", [], "2SIN(X)*X", 0),
    ("settings-before", [], "2SIN(X)*X", 0),
    ("settings-after", ["--min", "-10", "--max", "10", "-n", "200"], "2SIN(X)*X", 0),
    ("undefined-log", [], "LOG(X)+X/2", 0),
    ("autoscale-y-off", ["--no-autoscale-y"], "50SIN(X/10)", 0),
    # The web page after eight wheel notches in around the middle of -100 .. 100.
    ("zoomed-detail", ["--min", "-16.777216", "--max", "16.777216"], "2SIN(X)*X", 0),
    ("no-function", [], "", 3),
    ("invalid", [], "2*-X", 3),
]


def copy_pages(source, out):
    os.makedirs(out, exist_ok=True)
    pages = sorted(name for name in os.listdir(source) if name.endswith(".html"))
    for name in os.listdir(out):
        if name.endswith(".html") and name not in pages:
            os.remove(os.path.join(out, name))
    if os.path.samefile(source, out):
        return pages  # refreshing the source tree's own pictures
    for name in pages:
        shutil.copyfile(os.path.join(source, name), os.path.join(out, name))
    return pages


def draw_pictures(plot, folder):
    """Draws every picture; a picture whose run ends otherwise than expected stops the build."""
    os.makedirs(folder, exist_ok=True)
    wanted = {name + ".png" for name, _, _, _ in PICTURES}
    for name in os.listdir(folder):
        if name not in wanted:
            os.remove(os.path.join(folder, name))
    for name, options, formula, status in PICTURES:
        target = os.path.join(folder, name + ".png")
        command = [plot] + options + ["-o", target, "--", formula]
        run = subprocess.run(command, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE,
                             text=True, check=False)
        if run.returncode != status or not os.path.isfile(target):
            sys.exit("make_docs: %s ended with %d (expected %d): %s" %
                     (" ".join(repr(c) for c in command), run.returncode, status,
                      run.stderr.strip()))


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--pages", required=True, help="the DOCS folder of the source tree")
    parser.add_argument("--out", required=True, help="the DOCS folder to assemble")
    parser.add_argument("--plot", help="quorvy-plot, to draw the pictures with")
    parser.add_argument("--stamp", help="a file touched when the help is complete")
    args = parser.parse_args()
    copy_pages(args.pages, args.out)
    if args.plot:
        draw_pictures(args.plot, os.path.join(args.out, "pictures"))
    if args.stamp:
        with open(args.stamp, "w") as f:
            f.write("pictures\n" if args.plot else "pages only\n")


if __name__ == "__main__":
    main()
