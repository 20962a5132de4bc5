"""The check of the stamps that sealing gives, shared by the checks that seal files."""

from __future__ import annotations

import datetime

import save_model
from save_runs import CliRun


def local_time(mtime_ns: int) -> datetime.datetime:
    return datetime.datetime.fromtimestamp(mtime_ns // 1_000_000_000)


class StampChecks:
    """Mixed into a unittest.TestCase: `check_stamps`."""

    def check_stamps(self, run: CliRun, paths: list[str]) -> None:
        """Each stamp passes the reader's check against the file's time and is the local time
        at which the file was sealed, within this run."""
        earliest = datetime.datetime.fromtimestamp(int(run.started) - 1)
        latest = datetime.datetime.fromtimestamp(int(run.ended) + 1)
        for path in paths:
            state = run.tree_after.get(path)
            if state is None or state.data is None:
                continue  # reported by the file checks
            stamp = state.data[:12]
            with self.subTest("the seal matches the file's time", file=path):
                self.assertTrue(save_model.seal_accepted(stamp, local_time(state.mtime_ns)),
                                f"stamp {stamp!r}, modified {local_time(state.mtime_ns)}")
            with self.subTest("the stamp is the local time of sealing", file=path):
                sealed = save_model.sealed_time(stamp)
                self.assertIsNotNone(sealed, f"stamp {stamp!r} is not a date and time")
                self.assertTrue(earliest <= sealed <= latest,
                                f"sealed {sealed}, run from {earliest} to {latest}")
