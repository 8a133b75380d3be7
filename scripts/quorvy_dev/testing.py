"""The end of every Python suite that CTest runs: its status tells passed from skipped."""
import sys
import unittest

# CTest's SKIP_RETURN_CODE of the Python suites: all that ran passed, but not everything ran.
SKIPPED = 77


def main(**options):
    """Runs the module's tests as unittest.main does and ends the process with 0 when every
    case ran and passed, SKIPPED when some skipped themselves and the rest passed (one line
    "SKIPPED case: reason" for each, which scripts/test.sh gathers), else 1."""
    result = unittest.main(exit=False, **options).result
    if not result.wasSuccessful():
        sys.exit(1)
    for case, reason in result.skipped:
        print("SKIPPED %s: %s" % (case.id(), reason))
    sys.exit(SKIPPED if result.skipped else 0)
