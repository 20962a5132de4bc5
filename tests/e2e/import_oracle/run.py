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

import os
import sys
import time

sys.dont_write_bytecode = True  # keep the source folder clean
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(1, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))  # oracle_runner
# Seals and technical reports' rows are local civil time: the model and the program must read
# the same clock.
os.environ["TZ"] = "Europe/Rome"
time.tzset()

import save_oracle_path  # noqa: E402,F401
import test_import  # noqa: E402
import test_import_model  # noqa: E402
from oracle_runner import run_checks  # noqa: E402
from processes import Programs  # noqa: E402


if __name__ == "__main__":
    sys.exit(run_checks(__doc__, Programs, [test_import_model, test_import]))
