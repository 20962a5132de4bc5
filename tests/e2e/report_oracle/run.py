#!/usr/bin/env python3
"""Runs the report oracle: python3 run.py PATH/vestrim-devsim PATH/vestrim-cli [-k PATTERN]...

Checks the model of the reports against examples worked out by hand, then shows stored files
with `vestrim-cli report` (files the simulator's generator made and the program saved, and
files written here for the edge cases) and compares every line with the model, in English,
Italiano and a third language, with both decimal separators.  Exit status 0 when every check
passes.
"""

from __future__ import annotations

import argparse
import os
import sys
import time
import unittest

sys.dont_write_bytecode = True  # keep the source folder clean
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
# Seals are local civil time; the model and the program must read the same clock.
os.environ["TZ"] = "Europe/Rome"
time.tzset()

import test_report  # noqa: E402
import test_report_model  # noqa: E402
from processes import Programs  # noqa: E402


def main() -> int:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("devsim", help="path to vestrim-devsim")
    parser.add_argument("cli", help="path to vestrim-cli")
    parser.add_argument("-k", dest="patterns", action="append", default=None,
                        help="only tests whose name contains PATTERN (repeatable)")
    parser.add_argument("-q", dest="quiet", action="store_true", help="less output")
    arguments = parser.parse_args()
    for path in (arguments.devsim, arguments.cli):
        if not os.access(path, os.X_OK):
            parser.error(f"{path} is not an executable program")

    test_report.PROGRAMS = Programs(os.path.abspath(arguments.devsim),
                                    os.path.abspath(arguments.cli))
    loader = unittest.TestLoader()
    if arguments.patterns:
        loader.testNamePatterns = [f"*{p}*" for p in arguments.patterns]
    suite = unittest.TestSuite([loader.loadTestsFromModule(test_report_model),
                                loader.loadTestsFromModule(test_report)])
    result = unittest.TextTestRunner(verbosity=1 if arguments.quiet else 2).run(suite)
    return 0 if result.wasSuccessful() else 1


if __name__ == "__main__":
    sys.exit(main())
