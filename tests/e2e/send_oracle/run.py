#!/usr/bin/env python3
"""Runs the send oracle: python3 run.py PATH/vestrim-devsim PATH/vestrim-cli [-k PATTERN]...

Lays out device memories (or takes the simulator's demo month), serves them with vestrim-devsim,
sends firmware, message, data and datalogger files with `vestrim-cli send` and erases with
`vestrim-cli erase`, then compares the device's saved memory and the requests on the line with
what the model works out from the rules. Exit status 0 when every check passes.
"""

from __future__ import annotations

import os
import sys

sys.dont_write_bytecode = True  # keep the source folder clean
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(1, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))  # oracle_runner

import test_send  # noqa: E402
import test_send_model  # noqa: E402
from oracle_runner import run_checks  # noqa: E402
from processes import Programs  # noqa: E402


if __name__ == "__main__":
    sys.exit(run_checks(__doc__, Programs, [test_send_model, test_send],
                        tools=("objcopy", "srec_cat")))
