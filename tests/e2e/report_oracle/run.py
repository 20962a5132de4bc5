#!/usr/bin/env python3
"""Runs the report oracle: python3 run.py PATH/vestrim-devsim PATH/vestrim-cli [-k PATTERN]...

Checks the model of the reports against examples worked out by hand, then shows stored files
with `vestrim-cli report` (files the simulator's generator made and the program saved, and
files written here for the edge cases) and compares every line with the model, in English,
Italiano and a third language, with both decimal separators.  Exit status 0 when every check
passes.
"""

from __future__ import annotations

import os
import sys
import time

sys.dont_write_bytecode = True  # keep the source folder clean
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(1, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))  # oracle_runner
# Seals are local civil time; the model and the program must read the same clock.
os.environ["TZ"] = "Europe/Rome"
time.tzset()

import test_report  # noqa: E402
import test_report_model  # noqa: E402
from oracle_runner import run_checks  # noqa: E402
from processes import Programs  # noqa: E402


if __name__ == "__main__":
    sys.exit(run_checks(__doc__, Programs, [test_report_model, test_report]))
