#!/usr/bin/env python3
"""Starts the built Quorvy.exe of one flavour (32 or 64, the first argument) under Wine.

With a display: in a Wine desktop window, with its settings in ~/.quorvy-wine (or WINEPREFIX).
Without one: on a private Xvfb screen with the formula 2SIN(X)*X; it saves a screenshot of the
Wine desktop with the Quorvy window, says where, and ends it again."""
import os
import subprocess
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
from quorvy_dev.windows_flavours import FLAVOURS
from quorvy_dev.wine_session import DESKTOP, WineSession, wait_until


def on_display(flavour):
    env = flavour.env(os.environ.get("WINEPREFIX", os.path.expanduser("~/.quorvy-wine")))
    failure = flavour.prepare_prefix(env)
    if failure:
        print("Wine could not prepare the prefix %s. %s" % (env["WINEPREFIX"], failure))
        return 1
    print("Its settings live in %s/drive_c/windows/Quorvy.ini" % env["WINEPREFIX"])
    exe = os.path.join(flavour.folder, "Quorvy.exe")
    return subprocess.run(flavour.command("explorer", "/desktop=" + DESKTOP, exe),
                          env=env).returncode


def headless(flavour):
    shot = os.path.join(ROOT, "build", "quorvy-screenshot.png")
    try:
        session = WineSession(os.path.join(flavour.folder, "Quorvy.exe"),
                              os.path.join(flavour.folder, "probe.exe"))
    except (RuntimeError, OSError) as error:
        print("Quorvy could not start under Wine: %s" % error)
        return 1
    try:
        session.start("Expression=2SIN(X)*X\r\n")
        wait_until(lambda: session.capture().count((0, 0, 255)) > 0, what="the plot")
        subprocess.run(["import", "-window", "root", shot], env=session.env, check=True)
    except (TimeoutError, RuntimeError, subprocess.CalledProcessError) as error:
        print("Quorvy did not show its plot under Wine: %s" % error)
        return 1
    finally:
        session.close()
    print("No display here: Quorvy ran on a private Xvfb screen with the formula 2SIN(X)*X.")
    print("Screenshot of its window: " + shot)
    return 0


def main(argv):
    flavour = FLAVOURS[argv[1]]
    print("Starting the %s-bit Quorvy.exe (%s/Quorvy.exe) under Wine."
          % (flavour.name, os.path.relpath(flavour.folder, ROOT)))
    return on_display(flavour) if os.environ.get("DISPLAY") else headless(flavour)


if __name__ == "__main__":
    sys.exit(main(sys.argv))
