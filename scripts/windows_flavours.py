#!/usr/bin/env python3
"""The Windows flavours of Quorvy from a shell; see quorvy_dev/windows_flavours.py."""
import sys

from quorvy_dev.windows_flavours import main

if __name__ == "__main__":
    sys.exit(main(sys.argv))
