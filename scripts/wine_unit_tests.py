#!/usr/bin/env python3
"""Builds the unit tests for one Windows flavour (32 or 64) and runs them under its Wine loader
through CTest, one at a time, in a Wine prefix of their own; ends that prefix's processes
afterwards. When the test run made a template prefix for the flavour, the prefix is a fresh
copy of it; else the prefix made by an earlier run is used again.

  wine_unit_tests.py 32|64
"""
import os
import shutil
import subprocess
import sys

from quorvy_dev.windows_flavours import FLAVOURS, ROOT


def build(flavour):
    folder = os.path.join(ROOT, "build", "wintests" + flavour.name)
    toolchain = flavour.toolchain.replace(".cmake", "-posix.cmake")
    subprocess.run(["cmake", "-S", ROOT, "-B", folder, "-G", "Ninja", "-DQUORVY_WERROR=ON",
                    "-DQUORVY_WINDOWS_TESTS=ON", "-DCMAKE_TOOLCHAIN_FILE=" + toolchain],
                   stdout=subprocess.DEVNULL, check=True)
    subprocess.run(["cmake", "--build", folder], check=True)
    return folder


def run(flavour, folder):
    prefix = os.path.join(folder, "wineprefix")
    if flavour.template():
        shutil.rmtree(prefix, ignore_errors=True)
    env = flavour.env(prefix)
    failure = flavour.prepare_prefix(env)
    if failure:
        print("Wine could not prepare the prefix of the unit tests: " + failure)
        return 1
    try:
        tests = subprocess.run(["ctest", "--test-dir", folder, "--output-on-failure"],
                               env=env, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                               text=True)
    finally:
        subprocess.run(["wineserver", "-k"], env=env, stderr=subprocess.DEVNULL)
    lines = tests.stdout.splitlines()
    print("\n".join(lines if tests.returncode else lines[-3:]))
    return tests.returncode


def main(argv):
    if len(argv) != 2 or argv[1] not in FLAVOURS:
        sys.stderr.write(__doc__)
        return 2
    flavour = FLAVOURS[argv[1]]
    return run(flavour, build(flavour))


if __name__ == "__main__":
    sys.exit(main(sys.argv))
