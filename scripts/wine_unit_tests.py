#!/usr/bin/env python3
"""Builds the unit tests for one Windows flavour (32 or 64) and runs them under its Wine loader
through CTest, in a Wine prefix of their own; ends that prefix's processes afterwards."""
import os
import subprocess
import sys

from quorvy_dev.windows_flavours import FLAVOURS, ROOT


def main(name):
    flavour = FLAVOURS[name]
    build = os.path.join(ROOT, "build", "wintests" + name)
    toolchain = flavour.toolchain.replace(".cmake", "-posix.cmake")
    subprocess.run(["cmake", "-S", ROOT, "-B", build, "-G", "Ninja", "-DQUORVY_WERROR=ON",
                    "-DQUORVY_WINDOWS_TESTS=ON", "-DCMAKE_TOOLCHAIN_FILE=" + toolchain],
                   stdout=subprocess.DEVNULL, check=True)
    subprocess.run(["cmake", "--build", build], check=True)
    env = flavour.env(os.path.join(build, "wineprefix"))
    failure = flavour.prepare_prefix(env)
    if failure:
        print("Wine could not prepare the prefix of the unit tests: " + failure)
        return 1
    try:
        run = subprocess.run(["ctest", "--test-dir", build, "--output-on-failure"], env=env,
                             stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
    finally:
        subprocess.run(["wineserver", "-k"], env=env, stderr=subprocess.DEVNULL)
    lines = run.stdout.splitlines()
    print("\n".join(lines if run.returncode else lines[-3:]))
    return run.returncode


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
