"""`vestrim-cli verify` on sealed files laid out here, and on the files the saves sealed.

Each case writes files, sets their last-modified times with os.utime and states the verdict
the reader's rules give; the model must agree with that statement before the program's output
is compared with it.
"""

from __future__ import annotations

import dataclasses
import datetime
import os
import unittest
from pathlib import Path

import save_cases
import save_model
import test_save
from device_image import CHAIN_START, text
from save_runs import WORK_ROOT, CliRun, archive, new_folder, run_verify, snapshot

SECOND = datetime.timedelta(seconds=1)
HOUR = datetime.timedelta(hours=1)
WINTER = datetime.datetime(2012, 3, 5, 10, 15, 30)
SUMMER = datetime.datetime(2023, 7, 14, 10, 15, 30)

OK, TECHNICAL, BAD_SEAL, BAD_SUM = "OK", "OK (technical report)", "bad seal", "bad checksum"
TOO_SHORT, UNREADABLE = "too short", "unreadable"


def device_bytes(length: int = 300, seed: int = 1, code: bytes = text("C1CYCL0001")) -> bytes:
    """A cycle file as the device keeps it, `length` bytes long."""
    cycle = save_cases.CycleFile(text("STD 134"), 42, (10, 15, 5, 3, 12), length=length,
                                 seed=seed, code=code)
    header = cycle.header()
    header.address = CHAIN_START
    header.next_address = CHAIN_START + length
    return (header.encode() + cycle.body())[:length]


def technical_report(length: int = 260, at: int = 45) -> bytes:
    """A technical report: "TR" at file offset `at` (44 or 45), then its text from 152 on."""
    body = bytearray(device_bytes(length, seed=9, code=text("SR000001")))
    body[at - 13:at - 11] = b"TR"
    text_at = 152 - 13
    coded = bytes((c + 100) % 256 for c in text("Service: probe PT2 recalibrated. ") * 9)
    if len(body) > text_at:
        body[text_at:] = coded[:len(body) - text_at]
    return bytes(body)


def changed(data: bytes, position: int, value: int) -> bytes:
    out = bytearray(data)
    out[position] = value
    return bytes(out)


@dataclasses.dataclass
class Entry:
    name: str
    data: bytes
    modified: datetime.datetime
    want: str  # the verdict the rules give


def sealed(name: str, device: bytes, sealed_at: datetime.datetime,
           modified: datetime.datetime | None = None, want: str = OK) -> Entry:
    return Entry(name, save_model.seal(device, sealed_at), modified or sealed_at, want)


def write(folder: Path, entry: Entry) -> Path:
    path = folder / entry.name
    path.parent.mkdir(parents=True, exist_ok=True)
    path.write_bytes(entry.data)
    moment = entry.modified.timestamp()
    os.utime(path, (moment, moment))
    return path


def model_verdict(path: Path) -> str:
    try:
        data = path.read_bytes()
    except OSError:
        data = None
    return save_model.verdict(data, datetime.datetime.fromtimestamp(int(path.stat().st_mtime)))


def summary(results: list[str]) -> str:
    return f"{len(results)} checked, {sum(save_model.failed(r) for r in results)} failed"


class VerifyTest(unittest.TestCase):
    maxDiff = 40000

    def check_model(self, entries: list[Entry], folder: Path) -> None:
        with self.subTest("the model gives the verdicts the rules give"):
            self.assertEqual([(e.name, model_verdict(folder / e.name)) for e in entries],
                             [(e.name, e.want) for e in entries])

    def check_output(self, run: CliRun, lines: list[str], results: list[str],
                     ordered: bool = True) -> None:
        shown = run.lines
        with self.subTest("one line per file, then the summary"):
            if ordered:
                self.assertEqual(shown[:-1], lines, run.describe())
            else:
                self.assertEqual(sorted(shown[:-1]), sorted(lines), run.describe())
            self.assertEqual(shown[-1:], [summary(results)], run.describe())
        with self.subTest("exit status 1 when a file failed, else 0"):
            self.assertEqual(run.status, 1 if any(map(save_model.failed, results)) else 0,
                             run.describe())
        with self.subTest("no process is left running"):
            self.assertEqual(run.leftover_processes, [])

    def verify_entries(self, entries: list[Entry], user: int | None = None) -> CliRun:
        """Writes the entries into files/, verifies them by relative path, checks it all."""
        work = new_folder("verify")
        folder = work / "files"
        folder.mkdir()
        for entry in entries:
            write(folder, entry)
        self.check_model(entries, folder)
        before = snapshot(folder)
        run = run_verify(test_save.PROGRAMS, [f"files/{e.name}" for e in entries], work)
        results = [e.want for e in entries]
        self.check_output(run, [f"files/{e.name}: {e.want}" for e in entries], results)
        with self.subTest("the files are left unchanged, contents and times"):
            self.assertEqual(snapshot(folder), before)
        return run


class TheSealAllowsForTheWriteAndForClockShifts(VerifyTest):
    def tolerance(self, base: datetime.datetime) -> list[tuple[str, datetime.datetime, str]]:
        return [
            ("same_time", base, OK),
            ("4_s_later_as_the_write_ends", base + 4 * SECOND, OK),
            ("5_s_later", base + 5 * SECOND, OK),
            ("1_s_earlier", base - SECOND, OK),
            ("5_s_earlier", base - 5 * SECOND, OK),
            ("6_s_later", base + 6 * SECOND, BAD_SEAL),
            ("6_s_earlier", base - 6 * SECOND, BAD_SEAL),
            ("1_min_later", base + 60 * SECOND, BAD_SEAL),
            ("exactly_1_h_later", base + HOUR, OK),
            ("1_h_and_3_s_later", base + HOUR + 3 * SECOND, BAD_SEAL),
            ("1_h_less_3_s_later", base + HOUR - 3 * SECOND, BAD_SEAL),
            ("exactly_1_h_earlier", base - HOUR, OK),
            ("1_h_less_3_s_earlier", base - HOUR + 3 * SECOND, OK),
            ("1_h_and_3_s_earlier", base - HOUR - 3 * SECOND, OK),
            ("1_h_less_5_s_earlier", base - HOUR + 5 * SECOND, OK),
            ("1_h_and_5_s_earlier", base - HOUR - 5 * SECOND, OK),
            ("1_h_less_6_s_earlier", base - HOUR + 6 * SECOND, BAD_SEAL),
            ("1_h_and_6_s_earlier", base - HOUR - 6 * SECOND, BAD_SEAL),
            ("2_h_later", base + 2 * HOUR, BAD_SEAL),
            ("2_h_earlier", base - 2 * HOUR, BAD_SEAL),
            ("a_day_later", base + 24 * HOUR, BAD_SEAL),
            ("a_day_earlier", base - 24 * HOUR, BAD_SEAL),
            ("a_month_later", base.replace(month=base.month + 1), BAD_SEAL),
            ("a_year_later", base.replace(year=base.year + 1), BAD_SEAL),
        ]

    def entries(self, base: datetime.datetime, prefix: str) -> list[Entry]:
        return [sealed(f"{prefix}_{n:02d}_{name}.dtl", device_bytes(seed=n), base, modified,
                       want)
                for n, (name, modified, want) in enumerate(self.tolerance(base))]

    def test_a_file_sealed_at_10_15_30_in_winter_against_times_around_it(self):
        self.verify_entries(self.entries(WINTER, "winter"))

    def test_a_file_sealed_at_10_15_30_in_summer_time_against_times_around_it(self):
        # The seal is local civil time: in summer it is two hours ahead of UTC.
        self.verify_entries(self.entries(SUMMER, "summer"))

    def test_the_tolerance_stops_at_the_hour_and_at_midnight(self):
        at = datetime.datetime
        cases = [
            ("sealed_10_59_58_modified_11_00_02", at(2012, 3, 5, 10, 59, 58),
             at(2012, 3, 5, 11, 0, 2), BAD_SEAL),
            ("sealed_11_00_02_modified_10_59_58", at(2012, 3, 5, 11, 0, 2),
             at(2012, 3, 5, 10, 59, 58), BAD_SEAL),
            ("sealed_10_59_58_modified_10_59_59", at(2012, 3, 5, 10, 59, 58),
             at(2012, 3, 5, 10, 59, 59), OK),
            ("sealed_11_00_02_modified_11_00_00", at(2012, 3, 5, 11, 0, 2),
             at(2012, 3, 5, 11, 0, 0), OK),
            ("sealed_10_00_02_modified_09_00_00", at(2012, 3, 5, 10, 0, 2),
             at(2012, 3, 5, 9, 0, 0), OK),
            ("sealed_10_59_58_modified_09_59_55", at(2012, 3, 5, 10, 59, 58),
             at(2012, 3, 5, 9, 59, 55), OK),
            ("sealed_10_00_02_modified_08_59_58", at(2012, 3, 5, 10, 0, 2),
             at(2012, 3, 5, 8, 59, 58), BAD_SEAL),
            ("sealed_10_59_58_modified_10_00_01", at(2012, 3, 5, 10, 59, 58),
             at(2012, 3, 5, 10, 0, 1), BAD_SEAL),
            # An hour that begins the day has no hour before it on the same date, and the
            # date of the file is never changed.
            ("sealed_23_15_30_modified_00_15_30_next_day", at(2012, 3, 5, 23, 15, 30),
             at(2012, 3, 6, 0, 15, 30), BAD_SEAL),
            ("sealed_00_15_30_modified_23_15_30_day_before", at(2012, 3, 6, 0, 15, 30),
             at(2012, 3, 5, 23, 15, 30), BAD_SEAL),
            ("sealed_00_00_03_modified_00_00_00", at(2012, 3, 6, 0, 0, 3),
             at(2012, 3, 6, 0, 0, 0), OK),
            ("sealed_23_59_57_modified_23_59_59", at(2012, 3, 5, 23, 59, 57),
             at(2012, 3, 5, 23, 59, 59), OK),
        ]
        self.verify_entries([sealed(f"{name}.dtl", device_bytes(seed=n), at_, modified, want)
                             for n, (name, at_, modified, want) in enumerate(cases)])

    def test_a_changed_stamp_digit_breaks_the_seal(self):
        good = save_model.seal(device_bytes(), WINTER)
        self.assertEqual(good[:12], b"005305311021")
        entries = []
        for position in range(12):
            digit = good[position] - ord("0")
            # Second units 0 -> 7: seven seconds away; every other digit moved by five lands
            # on a day, month, hour, minute or second far off or impossible.
            new = 7 if position == 1 else (digit + 5) % 10
            entries.append(Entry(f"digit_{position:02d}.dtl",
                                 changed(good, position, ord("0") + new), WINTER, BAD_SEAL))
            entries.append(Entry(f"letter_{position:02d}.dtl", changed(good, position, ord("A")),
                                 WINTER, BAD_SEAL))
        self.verify_entries(entries)


class TheChecksumCoversEveryByteBetweenItsHalves(VerifyTest):
    def test_a_change_anywhere_from_offset_13_to_the_byte_before_last_is_caught(self):
        good = save_model.seal(device_bytes(300, seed=3), WINTER)
        entries = [Entry("unchanged.dtl", good, WINTER, OK)]
        for position in range(13, len(good) - 1):
            flip = 0x80 if position % 2 else 0x01
            entries.append(Entry(f"byte_{position:03d}.dtl",
                                 changed(good, position, good[position] ^ flip), WINTER,
                                 BAD_SUM))
        self.verify_entries(entries)

    def test_the_stored_halves_must_match_the_sum_and_only_a_zero_sum_is_refused(self):
        good = save_model.seal(device_bytes(300, seed=4), WINTER)
        swapped_halves = bytearray(good)
        swapped_halves[12], swapped_halves[-1] = good[-1], good[12]
        self.assertNotEqual(good[12], good[-1])
        moved = bytearray(good)
        first, second = 100, 200
        self.assertNotEqual(good[first], good[second])
        moved[first], moved[second] = good[second], good[first]
        entries = [
            Entry("high_half_changed.dtl", changed(good, 12, good[12] ^ 0x01), WINTER, BAD_SUM),
            Entry("low_half_changed.dtl", changed(good, len(good) - 1, good[-1] ^ 0x01),
                  WINTER, BAD_SUM),
            Entry("halves_swapped.dtl", bytes(swapped_halves), WINTER, BAD_SUM),
            # The sum adds bytes: two bytes trading places leave it unchanged.
            Entry("two_bytes_trading_places.dtl", bytes(moved), WINTER, OK),
            sealed("all_zero.dtl", bytes(200), WINTER, want=BAD_SUM),
            # 257 x 0xFF + 0x01 + the 0x00 after the file: 65536, kept as 0.
            sealed("sum_65536.dtl", b"\xff" * 257 + b"\x01", WINTER, want=BAD_SUM),
            sealed("sum_256_low_half_0.dtl", b"\x80\x80" + bytes(100), WINTER),
            sealed("sum_255_high_half_0.dtl", b"\xff" + bytes(100), WINTER),
            # The seal is checked first.
            Entry("bad_sum_and_bad_seal.dtl", changed(good, 12, good[12] ^ 0x01),
                  WINTER + 10 * SECOND, BAD_SEAL),
        ]
        self.verify_entries(entries)


class TechnicalReportsSkipTheChecksum(VerifyTest):
    def test_tr_at_offsets_44_or_45_makes_a_damaged_checksum_irrelevant(self):
        def damaged(data: bytes) -> bytes:
            return changed(data, 200, data[200] ^ 0x01)

        at_45 = save_model.seal(technical_report(at=45), WINTER)
        at_44 = save_model.seal(technical_report(at=44), WINTER)
        at_46 = save_model.seal(technical_report(at=46), WINTER)
        lower = bytearray(save_model.seal(technical_report(at=45), WINTER))
        lower[45:47] = b"tr"
        short = save_model.seal(technical_report(length=90, at=45), WINTER)
        self.verify_entries([
            Entry("tr_at_45_intact.dtl", at_45, WINTER, TECHNICAL),
            Entry("tr_at_45_damaged.dtl", damaged(at_45), WINTER, TECHNICAL),
            Entry("tr_at_44_damaged.dtl", damaged(at_44), WINTER, TECHNICAL),
            Entry("tr_at_45_shorter_than_its_text_offset.dtl", changed(short, 20, 0),
                  WINTER, TECHNICAL),
            Entry("tr_at_45_bad_seal.dtl", damaged(at_45), WINTER + 10 * SECOND, BAD_SEAL),
            Entry("tr_at_46_damaged.dtl", damaged(at_46), WINTER, BAD_SUM),
            Entry("lower_case_tr_damaged.dtl", damaged(bytes(lower)), WINTER, BAD_SUM),
        ])


class FilesTooShortOrUnreadable(VerifyTest):
    def test_fewer_than_90_bytes_is_too_short_whatever_they_hold(self):
        tr = bytearray(device_bytes(74))
        tr[32:34] = b"TR"
        self.verify_entries([
            Entry("empty.dtl", b"", WINTER, TOO_SHORT),
            Entry("stamp_only.dtl", save_model.seal_of(WINTER), WINTER, TOO_SHORT),
            sealed("89_bytes.dtl", device_bytes(74), WINTER, want=TOO_SHORT),
            sealed("89_bytes_technical_report.dtl", bytes(tr), WINTER, want=TOO_SHORT),
            sealed("89_bytes_bad_seal.dtl", device_bytes(74), WINTER, WINTER + HOUR * 3,
                   want=TOO_SHORT),
            sealed("90_bytes.dtl", device_bytes(75), WINTER),
        ])

    def test_a_file_that_cannot_be_read_is_unreadable(self):
        # A file name whose file is gone (a link to nothing) cannot be read by anyone, root
        # included, wherever the programs are installed.
        work = new_folder("verify")
        folder = work / "files"
        folder.mkdir()
        write(folder, sealed("readable.dtl", device_bytes(seed=1), WINTER))
        os.symlink(work / "gone.dtl", folder / "locked.dtl")
        before = snapshot(folder)
        run = run_verify(test_save.PROGRAMS, ["files"], work)
        self.check_output(run, ["files/locked.dtl: unreadable", "files/readable.dtl: OK"],
                          [UNREADABLE, OK])
        with self.subTest("the files are left unchanged, contents and times"):
            self.assertEqual(snapshot(folder), before)


class FoldersAreSearchedAndTheExitStatusTellsTheOutcome(VerifyTest):
    def tree(self, root: Path, entries: list[Entry]) -> None:
        for entry in entries:
            write(root, entry)

    def test_a_folder_is_searched_through_every_level_for_dtl_files_only(self):
        work = new_folder("verify")
        good = save_model.seal(device_bytes(seed=1), WINTER)
        entries = [
            Entry("2012/03/a.dtl", good, WINTER, OK),
            Entry("2012/04/b.dtl", changed(good, 100, good[100] ^ 1), WINTER, BAD_SUM),
            Entry("deep/er/est/c.dtl", save_model.seal(technical_report(), WINTER), WINTER,
                  TECHNICAL),
            Entry("2012/03/d.dtl", good, WINTER + 10 * SECOND, BAD_SEAL),
        ]
        others = [Entry(name, good, WINTER, "")
                  for name in ("notes.txt", "2012/03/a.dtl.bak", "2012/03/x.dtlx",
                               "2012/03/dtl", "Vestrim.ini")]
        self.tree(work / "tree", entries + others)
        before = snapshot(work / "tree")
        run = run_verify(test_save.PROGRAMS, ["tree"], work)
        self.check_output(run, [f"tree/{e.name}: {e.want}" for e in entries],
                          [e.want for e in entries], ordered=False)
        with self.subTest("the files are left unchanged, contents and times"):
            self.assertEqual(snapshot(work / "tree"), before)

    def test_files_and_folders_given_together_are_all_checked(self):
        work = new_folder("verify")
        good = save_model.seal(device_bytes(seed=2), WINTER)
        self.tree(work, [Entry("single.dtl", good, WINTER, OK),
                         Entry("tree/2012/03/a.dtl", good, WINTER, OK),
                         Entry("tree/2012/03/b.dtl", good, WINTER - HOUR, OK)])
        absolute = str(work / "single.dtl")
        run = run_verify(test_save.PROGRAMS, [absolute, "tree"], work)
        self.check_output(run, [f"{absolute}: OK", "tree/2012/03/a.dtl: OK",
                                "tree/2012/03/b.dtl: OK"], [OK] * 3, ordered=False)
        with self.subTest("a path given is shown as given, first when given first"):
            self.assertEqual(run.lines[:1], [f"{absolute}: OK"])

    def test_a_folder_named_like_a_sealed_file_is_searched_too(self):
        work = new_folder("verify")
        good = save_model.seal(device_bytes(seed=3), WINTER)
        self.tree(work, [Entry("tree/archive.dtl/inner.dtl", good, WINTER, OK)])
        run = run_verify(test_save.PROGRAMS, ["tree"], work)
        self.assertIn("tree/archive.dtl/inner.dtl: OK", run.lines, run.describe())

    def test_a_folder_without_sealed_files_checks_nothing_and_succeeds(self):
        work = new_folder("verify")
        (work / "empty" / "2012").mkdir(parents=True)
        run = run_verify(test_save.PROGRAMS, ["empty"], work)
        self.check_output(run, [], [])

    def test_a_path_that_does_not_exist_ends_with_status_2(self):
        work = new_folder("verify")
        write(work, sealed("good.dtl", device_bytes(seed=4), WINTER))
        for paths in (["good.dtl", "missing.dtl"], ["missing.dtl"], ["nowhere/"]):
            with self.subTest(paths=paths):
                run = run_verify(test_save.PROGRAMS, paths, work)
                self.assertEqual(run.status, 2, run.describe())
                self.assertNotEqual(run.stderr.strip(), "", run.describe())


class SealedFilesFromSaveVerify(VerifyTest):
    """Every file a save sealed, found by searching the program folder, verifies OK."""

    def check_session(self, name: str) -> None:
        saved = test_save.session(name)
        files = archive(snapshot(saved.folder))
        self.assertTrue(files, "the save left no sealed file")
        folder = str(saved.folder)
        results = [model_verdict(saved.folder / path) for path in files]
        with self.subTest("the model finds every sealed file good"):
            self.assertEqual(results, [OK] * len(files))
        before = snapshot(saved.folder)
        run = run_verify(test_save.PROGRAMS, [folder], WORK_ROOT)
        self.check_output(run, [f"{folder}/{path}: {result}"
                                for path, result in zip(files, results)],
                          results, ordered=False)
        with self.subTest("the files are left unchanged, contents and times"):
            self.assertEqual(snapshot(saved.folder), before)

    @test_save.uses("block_sizes")
    def test_files_of_every_block_size(self):
        self.check_session("block_sizes")

    @test_save.uses("program_texts")
    def test_files_with_unusual_names(self):
        self.check_session("program_texts")

    @test_save.uses("rows_and_records")
    def test_files_of_a_chain_with_erased_and_undated_records(self):
        self.check_session("rows_and_records")

    @test_save.uses("collisions")
    def test_files_saved_twice_and_numbered_names(self):
        self.check_session("collisions")

    @test_save.uses("silent_midway")
    def test_files_sealed_before_the_device_fell_silent(self):
        self.check_session("silent_midway")
