#!/usr/bin/env python3
"""Runs the save oracle: python3 run.py PATH/vestrim-devsim PATH/vestrim-cli [-k PATTERN]...

Lays out device memories, serves them with vestrim-devsim, saves them with `vestrim-cli save`
and compares the sealed files, their folders and names and the requests on the line with what
the model works out; then checks `vestrim-cli verify` on files sealed here and by the saves.
Exit status 0 when every check passes.
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

import test_save  # noqa: E402
import test_save_model  # noqa: E402
import test_verify  # noqa: E402
from oracle_runner import run_checks  # noqa: E402
from processes import Programs  # noqa: E402


if __name__ == "__main__":
    sys.exit(run_checks(__doc__, Programs, [test_save_model, test_verify, test_save]))
