#!/usr/bin/env python3
"""Starts Quorvy under Wine on a private Xvfb display (for machines without a screen), saves a
screenshot of the Wine desktop with the Quorvy window, says where, and ends it again."""
import os
import subprocess
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(ROOT, "tests", "e2e"))
from wine_session import WineSession, wait_until  # noqa: E402

BUILD = os.path.join(ROOT, "build", "windows")


def main():
    shot = os.path.join(ROOT, "build", "quorvy-screenshot.png")
    session = WineSession(os.path.join(BUILD, "Quorvy.exe"), os.path.join(BUILD, "probe.exe"))
    try:
        session.start("Expression=2SIN(X)*X\r\n")
        wait_until(lambda: session.capture().count((0, 0, 255)) > 0, what="the plot")
        subprocess.run(["import", "-window", "root", shot], env=session.env, check=True)
    finally:
        session.close()
    print("No display here: Quorvy ran on a private Xvfb screen with the formula 2SIN(X)*X.")
    print("Screenshot of its window: " + shot)


if __name__ == "__main__":
    main()
