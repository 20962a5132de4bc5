"""`vestrim-cli --json catalogue` against laid-out device memories, compared with the oracle.

The runs are slow (each one connects at 19200 baud and waits as the real link does), so they
are started together in the background and each test waits for the runs it looks at.
"""

from __future__ import annotations

import json
import tempfile
import unittest
from pathlib import Path

import cases as case_list
import oracle
from frame_client import SPEED_SWITCH_FRAME, FrameClient
from oracle_runner import SharedRuns, uses
from processes import Programs, Run, Simulator, run_catalogue

PROGRAMS: Programs | None = None  # set by run.py

CASES = case_list.all_cases()


def _start(name: str) -> Run:
    case = CASES[name]
    return run_catalogue(PROGRAMS, case.image, case.faults, case.deadline)


RUNS = SharedRuns(_start, lambda name: CASES[name].deadline, workers=6)
prefetch = RUNS.prefetch


ROW_KEYS = ("code", "description", "name", "date", "id")


def _shown_catalogue(stdout: str) -> dict:
    shown = json.loads(stdout)
    if not isinstance(shown, dict):
        raise AssertionError(f"stdout is not one JSON object: {stdout[:200]!r}")
    figures = {key: shown.get(key, "<missing>")
               for key in ("memory_size", "memory_label", "memory_used", "memory_max")}
    rows = [{key: row.get(key, "<missing>") for key in ROW_KEYS} for row in shown.get("rows", [])]
    return {**figures, "rows": rows}


def _prints_a_catalogue(stdout: str) -> bool:
    try:
        return isinstance(json.loads(stdout), dict)
    except ValueError:
        return False


class CatalogueTest(unittest.TestCase):
    maxDiff = 20000

    def case_run(self, name: str) -> tuple[case_list.Case, Run, oracle.Outcome]:
        case = CASES[name]
        run = RUNS.result(name)
        outcome = oracle.expected(case.image.flash(), case.image.memory_size, case.drop_at)
        return case, run, outcome

    def describe(self, run: Run) -> str:
        return (f"\n$ {' '.join(run.argv)}\nexit status: {run.status}, {run.seconds:.1f} s\n"
                f"stderr: {run.stderr[-1500:]!r}\nstdout: {run.stdout[:1500]!r}")

    # Checks every run gets.

    def check_device_untouched(self, run: Run) -> None:
        with self.subTest("the device memory is left as it was"):
            writes = [r for r in run.requests if r.kind == "write"]
            self.assertEqual(writes, [], "the command wrote to the device")
            self.assertIsNotNone(run.memory_after, run.devsim_stderr)
            self.assertTrue(run.memory_after == run.memory_before, "device memory changed")
        with self.subTest("every frame is well-formed"):
            bad = [r.fields for r in run.requests
                   if r.kind in ("garbage", "incomplete") or r.fields.get("sum") == "bad"
                   or r.fields.get("bank", "00") != "00"]
            self.assertEqual(bad, [])
        with self.subTest("the port is not written into the settings file"):
            self.assertNotIn(run.pty, run.settings_file or "")
        with self.subTest("no process is left running"):
            self.assertIsNotNone(run.status,
                                 f"still running after the deadline{self.describe(run)}")
            self.assertEqual(run.leftover_processes, [])

    def check_requests(self, run: Run, outcome: oracle.Outcome, handshake_frames: int = 1) -> None:
        # The log's baud is the simulator's own speed, which a pty never contradicts, so a
        # speed switch is listed without it.
        with self.subTest("the device is asked for what the walk calls for, in order"):
            expected = ["speed switch"] * handshake_frames + [
                "speed switch" if r is None else
                f"read area {r.area:02x} at {r.address} length {r.length}"
                for r in outcome.requests]
            actual = [
                "speed switch" if r.kind == "speed-switch" else
                f"{r.kind} area {r.area:02x} at {r.address} length {r.length}"
                for r in run.requests if r.kind in ("speed-switch", "read", "write")]
            self.assertEqual(actual, expected)

    def check_catalogue(self, name: str) -> Run:
        """The run printed the oracle's catalogue, with the corrupt-chain message when due."""
        case, run, outcome = self.case_run(name)
        self.assertIsNotNone(outcome.catalogue)
        with self.subTest("exit status 0"):
            self.assertEqual(run.status, 0, self.describe(run))
        with self.subTest("the catalogue printed is the expected one"):
            try:
                shown = _shown_catalogue(run.stdout)
            except ValueError as error:
                self.fail(f"stdout is not one JSON object ({error}){self.describe(run)}")
            self.assertEqual(shown, outcome.catalogue)
        with self.subTest("the corrupt-chain message appears when the chain is corrupt"):
            count = run.stderr.count(oracle.CORRUPT_MESSAGE[0])
            self.assertEqual(count, 1 if outcome.shows_corrupt_message else 0, self.describe(run))
            if outcome.shows_corrupt_message:
                self.assertIn(oracle.CORRUPT_MESSAGE[1], run.stderr)
        with self.subTest("no erase question"):
            self.assertNotIn(oracle.OVERFLOW_QUESTION[1], run.stderr)
        self.check_requests(run, outcome, case.handshake_frames)
        self.check_device_untouched(run)
        return run

    def check_refused(self, name: str) -> Run:
        """The run ended with a message, an error status and no catalogue."""
        case, run, _ = self.case_run(name)
        with self.subTest("ends within the deadline with an error status"):
            self.assertIsNotNone(run.status, self.describe(run))
            self.assertNotEqual(run.status, 0, self.describe(run))
            self.assertLess(run.seconds, case.deadline)
        with self.subTest("a message on stderr"):
            self.assertNotEqual(run.stderr.strip(), "", self.describe(run))
        with self.subTest("no catalogue on stdout"):
            self.assertFalse(_prints_a_catalogue(run.stdout), self.describe(run))
        self.check_device_untouched(run)
        return run


class AnEmptyMemoryListsNoFiles(CatalogueTest):
    @uses("erased_flash")
    def test_erased_flash_gives_no_rows_and_a_bar_at_the_chain_start(self):
        self.check_catalogue("erased_flash")

    @uses("end_marker_with_stray_bytes")
    def test_ff_at_offset_50_ends_the_chain_whatever_the_next_three_bytes_hold(self):
        self.check_catalogue("end_marker_with_stray_bytes")

    @uses("first_header_ends_the_chain")
    def test_a_first_header_whose_next_address_is_0_is_not_listed(self):
        self.check_catalogue("first_header_ends_the_chain")


class RowsShowTheRecordFields(CatalogueTest):
    @uses("rows_and_stamps")
    def test_codes_names_file_numbers_and_dates_are_shown_as_the_file_list_formats_them(self):
        self.check_catalogue("rows_and_stamps")

    @uses("numbering")
    def test_file_ids_descriptions_and_erased_records_follow_the_kinds_of_file(self):
        self.check_catalogue("numbering")


class TheWalkStopsAtLoopsAndPointersBeyondTheMemory(CatalogueTest):
    @uses("self_pointing_first_header")
    def test_a_first_header_pointing_to_itself_is_listed_once(self):
        self.check_catalogue("self_pointing_first_header")

    @uses("self_pointing_later_header")
    def test_a_later_header_pointing_to_itself_is_not_listed(self):
        self.check_catalogue("self_pointing_later_header")

    @uses("pointer_equal_to_memory_size")
    def test_a_pointer_equal_to_the_memory_size_is_followed(self):
        self.check_catalogue("pointer_equal_to_memory_size")

    @uses("pointer_one_beyond_memory_size")
    def test_a_pointer_one_beyond_the_memory_size_is_a_corrupt_chain_shown_up_to_there(self):
        self.check_catalogue("pointer_one_beyond_memory_size")

    @uses("first_pointer_beyond_memory_size")
    def test_a_first_pointer_beyond_the_memory_is_a_corrupt_chain_without_rows(self):
        self.check_catalogue("first_pointer_beyond_memory_size")

    @uses("pointer_with_the_top_bit_set")
    def test_a_pointer_with_its_top_bit_set_lies_beyond_the_memory(self):
        self.check_catalogue("pointer_with_the_top_bit_set")


class TheMemoryFiguresFollowTheReportedSize(CatalogueTest):
    @uses("reported_size_zero_with_files")
    def test_a_reported_size_of_0_makes_the_first_pointer_a_corrupt_chain(self):
        self.check_catalogue("reported_size_zero_with_files")

    @uses("reported_size_zero_and_empty")
    def test_a_reported_size_of_0_with_an_empty_chain_is_no_error(self):
        self.check_catalogue("reported_size_zero_and_empty")

    @uses("two_mib_half_used")
    def test_2_mib_shows_2048_and_a_chain_ending_at_1_mib_fills_half_the_bar(self):
        self.check_catalogue("two_mib_half_used")

    @uses("four_mib")
    def test_4_mib_shows_4198_4(self):
        self.check_catalogue("four_mib")

    @uses("label_cut_to_one_decimal")
    def test_the_label_cuts_the_size_to_a_tenth_of_a_megabyte(self):
        self.check_catalogue("label_cut_to_one_decimal")

    @uses("largest_reported_size")
    def test_the_largest_reported_size_is_read_unsigned(self):
        self.check_catalogue("largest_reported_size")


class TheCatalogueHoldsAThousandRecords(CatalogueTest):
    @uses("999_files")
    def test_999_files_are_all_listed(self):
        self.check_catalogue("999_files")

    def check_overflow(self, name: str) -> None:
        run = self.check_refused(name)
        _, _, outcome = self.case_run(name)
        self.assertEqual(outcome.kind, "overflow")
        with self.subTest("the erase question is asked once and answered No"):
            first = run.stderr.find(oracle.OVERFLOW_QUESTION[0])
            self.assertGreaterEqual(first, 0, self.describe(run))
            self.assertGreater(run.stderr.find(oracle.OVERFLOW_QUESTION[1], first), first)
            self.assertEqual(run.stderr.count(oracle.OVERFLOW_QUESTION[1]), 1)
        self.check_requests(run, outcome)

    @uses("1000_files")
    def test_1000_files_overflow_when_the_end_marker_is_read_as_the_1001st_record(self):
        self.check_overflow("1000_files")

    @uses("1001_files")
    def test_1001_files_ask_to_erase_and_no_ends_without_a_catalogue(self):
        self.check_overflow("1001_files")

    @uses("two_headers_pointing_at_each_other")
    def test_two_headers_pointing_at_each_other_end_as_a_corrupt_chain(self):
        self.check_catalogue("two_headers_pointing_at_each_other")


class LinkFailures(CatalogueTest):
    @uses("wrong_handshake")
    def test_a_wrong_handshake_answer_ends_with_a_message_and_an_error_status(self):
        run = self.check_refused("wrong_handshake")
        kinds = {r.kind for r in run.requests}
        self.assertEqual(kinds & {"read", "write"}, set(), "long frames sent after a wrong answer")
        self.assertIn("speed-switch", kinds)

    @uses("silent_handshake")
    def test_a_silent_device_gets_three_handshake_frames_about_three_seconds_apart(self):
        run = self.check_refused("silent_handshake")
        frames = [r for r in run.requests if r.kind == "speed-switch"]
        self.assertEqual([r.kind for r in run.requests], ["speed-switch"] * 3)
        gaps = [round(b.time - a.time, 2) for a, b in zip(frames, frames[1:])]
        # Each retry: 0.5 s to close and reopen the port, 1 s before the frame, 0.5 s of
        # watching for the answer, and 1 s until the next attempt.
        for gap in gaps:
            self.assertTrue(2.0 <= gap <= 5.0, f"handshake frames {gaps} s apart")

    def check_no_message(self, run: Run, plain: Run) -> None:
        with self.subTest("no message beyond the progress lines a read without the fault shows"):
            self.assertNotIn("Contact with device lost!", run.stderr)
            unexpected = [line for line in run.stderr.splitlines()
                          if line not in plain.stderr.splitlines()]
            self.assertEqual(unexpected, [], self.describe(run))

    @uses("silent_for_two_handshake_frames", "rows_and_stamps")
    def test_a_device_silent_for_two_handshake_frames_is_read_after_the_third(self):
        run = self.check_catalogue("silent_for_two_handshake_frames")
        self.check_no_message(run, self.case_run("rows_and_stamps")[1])

    def check_reconnects_silently(self, name: str) -> None:
        run = self.check_catalogue(name)
        _, plain, _ = self.case_run("rows_and_stamps")
        self.check_no_message(run, plain)
        with self.subTest("the reconnection takes no more than about 10 s"):
            self.assertLess(run.seconds, plain.seconds + 10)

    @uses("reply_lost_in_the_command_list", "rows_and_stamps")
    def test_a_reply_lost_in_the_command_list_reconnects_and_reads_the_same_catalogue(self):
        self.check_reconnects_silently("reply_lost_in_the_command_list")

    @uses("reply_lost_reading_the_memory_size", "rows_and_stamps")
    def test_a_reply_lost_reading_the_memory_size_reconnects_and_reads_the_same_catalogue(self):
        self.check_reconnects_silently("reply_lost_reading_the_memory_size")

    @uses("reply_lost_reading_the_fourth_header", "rows_and_stamps")
    def test_a_reply_lost_in_the_walk_reconnects_and_reads_the_same_catalogue(self):
        self.check_reconnects_silently("reply_lost_reading_the_fourth_header")

    @uses("reply_lost_reading_the_second_header", "rows_and_stamps")
    def test_a_reply_lost_reading_the_second_header_does_not_end_the_new_walk_early(self):
        # The walk cut short held the first header's pointer in its loop guard; the new walk
        # starts with a clear guard and reads the whole chain again.
        self.check_reconnects_silently("reply_lost_reading_the_second_header")


class TheLinkKeepsItsPace(CatalogueTest):
    @uses("rows_and_stamps")
    def test_reads_start_2_s_after_the_speed_switch_and_follow_each_reply_after_30_ms(self):
        _, run, _ = self.case_run("rows_and_stamps")
        frames = [r for r in run.requests if r.kind in ("speed-switch", "read")]
        self.assertEqual(frames[0].kind, "speed-switch")
        # 0.5 s of watching for the answer, then 2 s before the command list is read.
        self.assertGreaterEqual(frames[1].time - frames[0].time, 2.0)
        gaps = [round(b.time - a.time, 3) for a, b in zip(frames[1:], frames[2:])]
        # The simulator answers at once, so each gap is the host's dispatch delay (a 30 ms
        # timer, allowed its coarse accuracy).
        self.assertGreaterEqual(min(gaps), 0.027, gaps)


class LaidOutMemoriesLoadInTheSimulator(unittest.TestCase):
    """Replays the oracle's reads with a bare frame client: the simulator serves the bytes the
    oracle reasons about, so any disagreement lies with the program under test."""

    def test_every_case_reads_back_over_the_line_as_the_oracle_assumes(self):
        for name, case in CASES.items():
            if case.faults:
                continue  # the same memories as fault-free cases
            with self.subTest(name), tempfile.TemporaryDirectory() as work:
                flash = case.image.flash()
                outcome = oracle.expected(flash, case.image.memory_size)
                simulator = Simulator(PROGRAMS, Path(work), case.image, [])
                try:
                    with FrameClient(simulator.pty) as client:
                        self.assertEqual(client.exchange(SPEED_SWITCH_FRAME, 1), b"\xe0")
                        for request in outcome.requests:
                            data = client.read(request.area, request.address, request.length)
                            if request.area == oracle.REGISTERS:
                                want = case.image.memory_size.to_bytes(4, "big")
                            else:
                                want = flash[request.address:request.address + request.length]
                                want += b"\xff" * (request.length - len(want))
                            self.assertEqual(data, want, f"{request}")
                finally:
                    simulator.stop()
