"""`vestrim-cli save` against laid-out device memories, compared with the model.

The saves are slow (each one connects and reads at the link's pace), so they are started
together in the background and each test waits for the sessions it looks at.
"""

from __future__ import annotations

import tempfile
import unittest
from pathlib import Path

import save_cases
import save_model
from frame_client import SPEED_SWITCH_FRAME, FrameClient
from oracle_runner import SharedRuns, uses
from processes import Programs, Simulator
from stamp_checks import StampChecks
from save_runs import CliRun, FileState, SaveSession, archive, run_saves

PROGRAMS: Programs | None = None  # set by run.py

MESSAGES = save_model.load_messages()
CASES = save_cases.all_cases()


def _start(name: str) -> SaveSession:
    case = CASES[name]
    return run_saves(PROGRAMS, case.image, case.faults, case.runs, case.existing, case.deadline,
                     case.earlier_save_at)


RUNS = SharedRuns(_start, lambda name: CASES[name].deadline, workers=7)
prefetch = RUNS.prefetch
session = RUNS.result


def _request_text(area: int, address: int, length: int) -> str:
    return f"read area {area:02x} at {address} length {length}"


def logged_long_frames(run: CliRun) -> list[str]:
    # The length field carries length - 1, so a request of 0 bytes is logged as 256.
    return [_request_text(r.area, r.address, r.length % 256) if r.kind == "read" else
            f"{r.kind} area {r.area:02x} at {r.address} length {r.length}"
            for r in run.requests if r.kind in ("read", "write")]


def expected_long_frames(outcome: save_model.SaveOutcome) -> list[str]:
    return [_request_text(r.area, r.address, r.length) for r in outcome.requests]


def model_tree(outcome: save_model.SaveOutcome) -> dict[str, bytes]:
    """The sealed files the model leaves, as whole files with a blank stamp."""
    return {path: b"0" * 12 + tail for path, tail in outcome.files.items()}


class SaveTest(StampChecks, unittest.TestCase):
    maxDiff = 20000

    def case(self, name: str) -> tuple[save_cases.SaveCase, SaveSession]:
        return CASES[name], session(name)

    # Checks every session gets.

    def check_device_untouched(self, saved: SaveSession) -> None:
        with self.subTest("nothing is written to the device"):
            writes = [r.fields for run in saved.runs for r in run.requests if r.kind == "write"]
            self.assertEqual(writes, [])
            self.assertIsNotNone(saved.memory_after, saved.devsim_stderr)
            self.assertTrue(saved.memory_after == saved.memory_before, "device memory changed")
        with self.subTest("every frame is well-formed"):
            bad = [r.fields for run in saved.runs for r in run.requests
                   if r.kind in ("garbage", "incomplete") or r.fields.get("sum") == "bad"
                   or r.fields.get("bank", "00") != "00"]
            self.assertEqual(bad, [])
        with self.subTest("no process is left running"):
            for run in saved.runs:
                self.assertIsNotNone(run.status, f"still running at the deadline{run.describe()}")
                self.assertEqual(run.leftover_processes, [])


    def check_files(self, run: CliRun, outcome: save_model.SaveOutcome,
                    before: dict[str, FileState]) -> None:
        tree = archive(run.tree_after)
        with self.subTest("the sealed files are the only files in the archive"):
            self.assertEqual(sorted(tree), sorted(outcome.files), run.describe())
        for saved in outcome.saved:
            state = tree.get(saved.path)
            with self.subTest("sealed bytes: checksum, the device's bytes, 0x00, checksum",
                              file=saved.path, start=saved.file.start,
                              length=saved.file.length):
                self.assertIsNotNone(state, "missing")
                self.assertIsNotNone(state.data, "unreadable")
                self.assertEqual(len(state.data), saved.file.length + 15)
                self.assertEqual(state.data[12:], saved.tail)
        written = {saved.path for saved in outcome.saved}
        for path, old in before.items():
            if path in written or path not in outcome.files:
                continue
            with self.subTest("a file not saved over is left as it was", file=path):
                self.assertEqual(tree.get(path), old)
        self.check_stamps(run, [saved.path for saved in outcome.saved])

    def check_save(self, name: str, run_index: int = 0,
                   outcome: save_model.SaveOutcome | None = None) -> CliRun:
        case, saved = self.case(name)
        run = saved.runs[run_index]
        if outcome is None:
            outcome = case.expected(MESSAGES)
        self.assertTrue(outcome.complete)
        with self.subTest("exit status 0"):
            self.assertEqual(run.status, 0, run.describe())
        with self.subTest("one line per sealed file, its path in the program folder"):
            self.assertEqual(run.lines, [s.path for s in outcome.saved], run.describe())
        with self.subTest("the device is asked for the catalogue, then each file block by block"):
            self.assertEqual([r.kind for r in run.requests][:1], ["speed-switch"])
            self.assertEqual(logged_long_frames(run), expected_long_frames(outcome))
        self.check_files(run, outcome, archive(run.tree_before))
        self.check_device_untouched(saved)
        return run


class FilesAreUploadedBlockByBlock(SaveTest):
    @uses("block_sizes")
    def test_whole_blocks_end_with_a_request_of_0_and_short_files_take_one_request(self):
        # 1024 bytes: 8 x 128 and 0; 256: 128, 128, 0; 300: 128, 128, 44; 205: 128, 77;
        # 100: one request of 100.
        self.check_save("block_sizes")

    @uses("unusual_dates")
    def test_files_dated_24_00_or_31_02_are_saved_as_the_file_list_shows_them(self):
        self.check_save("unusual_dates")


class SealedNamesComeFromTheRecord(SaveTest):
    @uses("program_texts")
    def test_blanks_trailing_slashes_unsafe_characters_and_windows_1252_letters(self):
        self.check_save("program_texts")


class RowsPairWithTheirRecords(SaveTest):
    @uses("rows_and_records")
    def test_erased_records_rows_without_a_date_and_short_codes(self):
        # An erased record before a listed one, rows without a date (skipped), a firmware
        # file, a two-character code and an empty code (both saved).
        run = self.check_save("rows_and_records")
        with self.subTest("a note on stderr for the rows skipped"):
            self.assertNotEqual(run.stderr.strip(), "", run.describe())

    @uses("nothing_dated")
    def test_a_device_without_a_dated_row_saves_nothing_and_reads_only_the_catalogue(self):
        run = self.check_save("nothing_dated")
        with self.subTest("a note on stderr for the rows skipped"):
            self.assertNotEqual(run.stderr.strip(), "", run.describe())


class NoRecordIsEverLost(SaveTest):
    def outcomes(self) -> tuple[save_model.SaveOutcome, save_model.SaveOutcome]:
        case = CASES["collisions"]
        first = case.expected(MESSAGES)
        return first, case.expected(MESSAGES, model_tree(first))

    @uses("collisions")
    def test_a_name_taken_by_another_record_gives_the_next_free_numbered_name(self):
        self.check_save("collisions", 0, self.outcomes()[0])

    @uses("collisions")
    def test_saving_the_same_device_again_replaces_each_file_it_saved(self):
        self.check_save("collisions", 1, self.outcomes()[1])


class ADeviceThatFallsSilent(SaveTest):
    def check_silent(self, name: str) -> None:
        case, saved = self.case(name)
        run = saved.runs[0]
        outcome = case.expected(MESSAGES)
        self.assertFalse(outcome.complete)
        with self.subTest("ends within the deadline with an error status and a message"):
            self.assertIsNotNone(run.status, run.describe())
            self.assertNotEqual(run.status, 0, run.describe())
            self.assertNotEqual(run.stderr.strip(), "", run.describe())
        with self.subTest("stdout lists only the files sealed"):
            self.assertEqual(run.lines, [s.path for s in outcome.saved], run.describe())
        with self.subTest("the requests up to the one left unanswered are the expected ones"):
            expected = expected_long_frames(outcome)
            self.assertEqual(logged_long_frames(run)[:len(expected)], expected)
        self.check_files(run, outcome, archive(run.tree_before))
        self.check_device_untouched(saved)

    @uses("silent_midway")
    def test_in_the_second_file_keeps_the_first_sealed_and_leaves_nothing_else(self):
        self.check_silent("silent_midway")

    @uses("silent_at_the_closing_request")
    def test_at_the_request_closing_a_file_leaves_that_file_unsealed(self):
        self.check_silent("silent_at_the_closing_request")


class LaidOutFilesReadBackOverTheLine(unittest.TestCase):
    """Replays the model's upload requests with a bare frame client: the simulator serves the
    bytes the model expects, so any disagreement lies with the program under test."""

    def test_every_saved_file_reads_back_block_by_block_as_the_model_assumes(self):
        for name, case in CASES.items():
            if case.faults:
                continue
            outcome = case.expected(MESSAGES)
            flash = case.image.flash()
            with self.subTest(name), tempfile.TemporaryDirectory() as work:
                simulator = Simulator(PROGRAMS, Path(work), case.image, [])
                try:
                    with FrameClient(simulator.pty) as client:
                        self.assertEqual(client.exchange(SPEED_SWITCH_FRAME, 1), b"\xe0")
                        for saved in outcome.saved:
                            data = b""
                            for request in save_model.upload_requests(saved.file.start,
                                                                      saved.file.length):
                                if request.length:
                                    data += client.read(request.area, request.address,
                                                        request.length)
                            self.assertEqual(data, saved.device_bytes)
                            self.assertEqual(data, flash[saved.file.start:saved.file.end])
                finally:
                    simulator.stop()
