#!/usr/bin/env python3
"""Runs the catalogue oracle: python3 run.py PATH/vestrim-devsim PATH/vestrim-cli [-k PATTERN]...

Lays out device memories, serves them with vestrim-devsim, reads them with
`vestrim-cli --json catalogue` and compares what it prints with the expected catalogue.
Exit status 0 when every check passes.
"""

from __future__ import annotations

import os
import sys

sys.dont_write_bytecode = True  # keep the source folder clean
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(1, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))  # oracle_runner

import test_catalogue  # noqa: E402
import test_oracle  # noqa: E402
from oracle_runner import run_checks  # noqa: E402
from processes import Programs  # noqa: E402


if __name__ == "__main__":
    sys.exit(run_checks(__doc__, Programs, [test_oracle, test_catalogue]))
