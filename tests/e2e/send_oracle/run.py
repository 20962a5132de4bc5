#!/usr/bin/env python3
"""Runs the send oracle: python3 run.py PATH/vestrim-devsim PATH/vestrim-cli [-k PATTERN]...

Lays out device memories (or takes the simulator's demo month), serves them with vestrim-devsim,
sends firmware, message, data and datalogger files with `vestrim-cli send` and erases with
`vestrim-cli erase`, then compares the device's saved memory and the requests on the line with
what the model works out from the rules. Exit status 0 when every check passes.
"""

from __future__ import annotations

import argparse
import os
import shutil
import sys
import unittest

sys.dont_write_bytecode = True  # keep the source folder clean
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import test_send  # noqa: E402
import test_send_model  # noqa: E402
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
    for tool in ("objcopy", "srec_cat"):
        if shutil.which(tool) is None:
            parser.error(f"{tool} is needed to write the S-record files")

    test_send.PROGRAMS = Programs(os.path.abspath(arguments.devsim),
                                  os.path.abspath(arguments.cli))
    loader = unittest.TestLoader()
    if arguments.patterns:
        loader.testNamePatterns = [f"*{p}*" for p in arguments.patterns]
    suite = unittest.TestSuite([loader.loadTestsFromModule(test_send_model),
                                loader.loadTestsFromModule(test_send)])
    test_send.prefetch(suite)
    result = unittest.TextTestRunner(verbosity=1 if arguments.quiet else 2).run(suite)
    return 0 if result.wasSuccessful() else 1


if __name__ == "__main__":
    sys.exit(main())
