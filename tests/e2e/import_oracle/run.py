#!/usr/bin/env python3
"""Runs the import oracle: python3 run.py PATH/vestrim-devsim PATH/vestrim-cli [-k PATTERN]...

Lays out pen drives (device files in nested folders, technical reports, files that are not
device files), imports them with `vestrim-cli import` and compares the sealed files, their
folders and names, the listing, the messages and what is left on the drive with what the model
works out; then lays the same device files into a simulated device, saves them over the link
with `vestrim-cli save` and compares the two sets of sealed files.  Exit status 0 when every
check passes.
"""

from __future__ import annotations

import argparse
import os
import sys
import time
import unittest

sys.dont_write_bytecode = True  # keep the source folder clean
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
# Seals and technical reports' rows are local civil time: the model and the program must read
# the same clock.
os.environ["TZ"] = "Europe/Rome"
time.tzset()

import save_oracle_path  # noqa: E402,F401
import test_import  # noqa: E402
import test_import_model  # noqa: E402
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

    test_import.PROGRAMS = Programs(os.path.abspath(arguments.devsim),
                                    os.path.abspath(arguments.cli))
    loader = unittest.TestLoader()
    if arguments.patterns:
        loader.testNamePatterns = [f"*{p}*" for p in arguments.patterns]
    suite = unittest.TestSuite([loader.loadTestsFromModule(test_import_model),
                                loader.loadTestsFromModule(test_import)])
    test_import.prefetch(suite)
    result = unittest.TextTestRunner(verbosity=1 if arguments.quiet else 2).run(suite)
    return 0 if result.wasSuccessful() else 1


if __name__ == "__main__":
    sys.exit(main())
