"""The command line every independent check shares.

    python3 run.py PATH/vestrim-devsim PATH/vestrim-cli [-k PATTERN]... [-q]

Each check's run.py names its test modules; the last one drives the programs and is handed
them as PROGRAMS, and its `prefetch`, where it has one, starts the runs the chosen tests read
before they run.
"""

from __future__ import annotations

import argparse
import os
import shutil
import unittest
from types import ModuleType
from typing import Callable


def run_checks(description: str, programs: Callable[[str, str], object],
               modules: list[ModuleType], tools: tuple[str, ...] = ()) -> int:
    """Runs the tests of `modules` in order; exit status 0 when every check passes.
    `tools`: programs on PATH the check needs besides ours."""
    parser = argparse.ArgumentParser(description=description.splitlines()[0])
    parser.add_argument("devsim", help="path to vestrim-devsim")
    parser.add_argument("cli", help="path to vestrim-cli")
    parser.add_argument("-k", dest="patterns", action="append", default=None,
                        help="only tests whose name contains PATTERN (repeatable)")
    parser.add_argument("-q", dest="quiet", action="store_true", help="less output")
    arguments = parser.parse_args()
    for path in (arguments.devsim, arguments.cli):
        if not os.access(path, os.X_OK):
            parser.error(f"{path} is not an executable program")
    for tool in tools:
        if shutil.which(tool) is None:
            parser.error(f"{tool} is needed by this check")

    live = modules[-1]
    live.PROGRAMS = programs(os.path.abspath(arguments.devsim), os.path.abspath(arguments.cli))
    loader = unittest.TestLoader()
    if arguments.patterns:
        loader.testNamePatterns = [f"*{p}*" for p in arguments.patterns]
    suite = unittest.TestSuite([loader.loadTestsFromModule(module) for module in modules])
    if hasattr(live, "prefetch"):
        live.prefetch(suite)
    result = unittest.TextTestRunner(verbosity=1 if arguments.quiet else 2).run(suite)
    return 0 if result.wasSuccessful() else 1
