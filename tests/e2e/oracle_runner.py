"""The command line every independent check shares.

    python3 run.py PATH/vestrim-devsim PATH/vestrim-cli [-k PATTERN]... [-q]

Each check's run.py names its test modules; the last one drives the programs and is handed
them as PROGRAMS, and its `prefetch`, where it has one, starts the runs the chosen tests read
before they run.

The runs are slow (they connect and move data at the link's pace), so a check keeps them in
`SharedRuns`: each is started once, in the background, and every test that reads it waits for
the same result.

"""

from __future__ import annotations

import argparse
import concurrent.futures
import os
import shutil
import threading
import unittest
from types import ModuleType
from typing import Callable, Iterator


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


def uses(*names: str):
    """Marks a test with the runs it reads, so that they can be started early."""
    def mark(test):
        test.case_names = names
        return test
    return mark


def _tests(suite: unittest.TestSuite) -> Iterator[unittest.TestCase]:
    for item in suite:
        if isinstance(item, unittest.TestSuite):
            yield from _tests(item)
        else:
            yield item


class SharedRuns:
    """Named runs, each started once by `start(name)` in a pool of `workers` threads."""

    def __init__(self, start: Callable[[str], object], deadline: Callable[[str], float],
                 workers: int):
        self._start = start
        self._deadline = deadline
        self._pool = concurrent.futures.ThreadPoolExecutor(max_workers=workers)
        self._runs: dict[str, concurrent.futures.Future] = {}
        self._lock = threading.Lock()

    def submit(self, name: str) -> concurrent.futures.Future:
        with self._lock:
            if name not in self._runs:
                self._runs[name] = self._pool.submit(self._start, name)
            return self._runs[name]

    def result(self, name: str):
        """The run's result, once it has ended."""
        return self.submit(name).result()

    def prefetch(self, suite: unittest.TestSuite) -> None:
        """Starts every run the tests in `suite` read (see `uses`), the longest first."""
        names: list[str] = []
        for test in _tests(suite):
            method = getattr(test, test._testMethodName, None)
            names += [n for n in getattr(method, "case_names", ()) if n not in names]
        for name in sorted(names, key=lambda n: -self._deadline(n)):
            self.submit(name)
