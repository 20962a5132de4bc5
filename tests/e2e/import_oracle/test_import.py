"""`vestrim-cli import` on drives laid out here, compared with the model; and the same device
files imported from a drive and uploaded from a simulated device, compared with each other.

The runs are started together in the background and each test waits for the ones it reads.
"""

from __future__ import annotations

import json
import re
import unittest

import import_cases
import import_model
import save_model
from import_runs import ImportRun, run_drives, run_imports
from oracle_runner import SharedRuns, uses
from processes import Programs
from stamp_checks import StampChecks
from save_runs import CliRun, SaveSession, archive, run_saves

PROGRAMS: Programs | None = None  # set by run.py

MESSAGES = save_model.load_messages()
CASES = import_cases.all_cases()
CROSS_CHECK = import_cases.cross_check_case()
CASES[CROSS_CHECK.name] = CROSS_CHECK
UPLOAD = "upload"  # the cross-check's save over the link
UPLOAD_DEADLINE = 120.0


def _start(name: str):
    if name == UPLOAD:
        image = import_cases.cross_check_image(CROSS_CHECK)
        return run_saves(PROGRAMS, image, [], 1, {}, UPLOAD_DEADLINE)
    return run_imports(PROGRAMS, CASES[name])


RUNS = SharedRuns(_start, lambda name: CASES[name].deadline if name in CASES else UPLOAD_DEADLINE,
                  workers=6)
prefetch = RUNS.prefetch
session = RUNS.result


def upload() -> SaveSession:
    return RUNS.result(UPLOAD)


CAPTIONS = ("File code", "Description", "File name", "File date", "File Id")


def listed_rows(stderr: str) -> list[tuple[str, ...]]:
    """The rows of the list on stderr: the lines under the caption line, each cell starting
    where its caption starts and padded with blanks to the next one, empty cells included."""
    lines = stderr.splitlines()
    headers = [i for i, line in enumerate(lines) if line.startswith(CAPTIONS[0])]
    if len(headers) != 1:
        return []
    header = lines[headers[0]]
    starts = [header.find(caption) for caption in CAPTIONS]
    if sorted(starts) != starts or -1 in starts:
        return []
    rows = []
    for line in lines[headers[0] + 1:]:
        if line == "(no files)" or re.match(r"\d+ device file\(s\) found", line):
            break
        cells = [line[start:end] for start, end in zip(starts, starts[1:] + [len(line)])]
        # Every cell but the last is padded to two blanks before the next caption.
        if any(not cell.endswith("  ") for cell in cells[:-1]):
            return rows + [("not a row:", line)]
        rows.append(tuple(cell.rstrip(" ") for cell in cells))
    return rows


def expected_rows(outcome: import_model.ImportOutcome) -> list[tuple[str, ...]]:
    return [(r.code, r.description, r.name, r.date, r.id) for r in outcome.rows]


def model_tree(outcome: import_model.ImportOutcome) -> dict[str, bytes]:
    """The sealed files the model leaves, as whole files with a blank stamp."""
    return {path: b"0" * 12 + tail for path, tail in outcome.tree.items()}


class ImportTest(StampChecks, unittest.TestCase):
    maxDiff = 20000

    def outcome(self, name: str, existing: dict[str, bytes] | None = None
                ) -> import_model.ImportOutcome:
        return CASES[name].expected(MESSAGES, existing, session(name).readable_all)

    def check_import(self, name: str, run_index: int = 0,
                     outcome: import_model.ImportOutcome | None = None) -> ImportRun:
        case, imported = CASES[name], session(name)
        done = imported.runs[run_index]
        run = done.run
        outcome = outcome or self.outcome(name)
        with self.subTest("ends within its deadline and leaves no process running"):
            self.assertIsNotNone(run.status, run.describe())
            self.assertEqual(run.leftover_processes, [])
        with self.subTest("exit status 0 when every dated row was saved, else not 0"):
            if outcome.complete:
                self.assertEqual(run.status, 0, run.describe())
            else:
                self.assertNotIn(run.status, (0, None), run.describe())
        with self.subTest("stdout: the path of each sealed file in the program folder, in the "
                          "order the files were found"):
            self.assertEqual(run.lines, outcome.lines, run.describe())
        with self.subTest("stderr lists a row per device file of a type below 255"):
            self.assertEqual(listed_rows(run.stderr), expected_rows(outcome), run.describe())
        for entry in outcome.reported:
            with self.subTest("stderr names each file too short or unreadable", file=entry.path):
                path = f"{imported.drive}/{entry.path}"
                self.assertIn(path + ": ", run.stderr, run.describe())
        found = {entry.path for entry in outcome.found}
        others = [entry.path for entry in case.entries if entry.path not in found]
        with self.subTest("stderr names nothing on the drive that is not a device file"):
            self.assertEqual([path for path in others
                              if f"{imported.drive}/{path}: " in run.stderr], [], run.describe())
        self.check_files(run, outcome)
        self.check_drive(done, outcome)
        self.check_erase_messages(case, run)
        return done

    def check_files(self, run: CliRun, outcome: import_model.ImportOutcome) -> None:
        tree = archive(run.tree_after)
        before = archive(run.tree_before)
        with self.subTest("the archive holds the files it held and the sealed files, no more"):
            self.assertEqual(sorted(tree), sorted(outcome.tree), run.describe())
        for path, row in outcome.saved:
            state = tree.get(path)
            with self.subTest("sealed: checksum, the device file's bytes, 0x00, checksum",
                              file=path, device_file=row.entry.path):
                self.assertIsNotNone(state, "missing")
                self.assertIsNotNone(state.data, "unreadable")
                self.assertEqual(len(state.data), len(row.data) + 15)
                self.assertEqual(state.data[12:], import_model.tail(row.data))
        written = {path for path, _ in outcome.saved}
        for path, old in before.items():
            if path in written:
                continue
            with self.subTest("a file not saved over is left as it was", file=path):
                self.assertEqual(tree.get(path), old)
        self.check_stamps(run, sorted(written))


    def check_drive(self, done: ImportRun, outcome: import_model.ImportOutcome) -> None:
        before, after = done.drive_before, done.drive_after
        deleted = set(outcome.deleted)
        with self.subTest("the erase deletes every device file found, wherever it lies"):
            self.assertEqual(sorted(deleted & set(after)), [], done.run.describe())
        kept = {path: entry for path, entry in before.items() if path not in deleted}
        with self.subTest("everything else on the drive is left as it was"):
            self.assertEqual(sorted(set(kept) - set(after)), [], "deleted")
            self.assertEqual(sorted(set(after) - set(kept)), [], "added")
            self.assertEqual([path for path in kept if path in after and after[path] != kept[path]],
                             [], "changed")

    def check_erase_messages(self, case: import_cases.ImportCase, run: CliRun) -> None:
        if case.erase and case.confirm:
            with self.subTest("a confirmed erase ends with All files deleted"):
                self.assertIn("All files deleted", run.stderr, run.describe())
        elif case.erase:
            with self.subTest("an erase asks Are you sure? and, unanswered, deletes nothing"):
                self.assertIn("Are you sure?", run.stderr, run.describe())
                self.assertNotIn("All files deleted", run.stderr, run.describe())
        else:
            with self.subTest("without --erase nothing is asked and nothing deleted"):
                self.assertNotIn("Are you sure?", run.stderr, run.describe())
                self.assertNotIn("All files deleted", run.stderr, run.describe())


class TheSearchForDeviceFiles(ImportTest):
    @uses("search_order")
    def test_takes_a_folders_own_files_then_its_sub_folders_each_to_the_end_by_name_in_any_case(
            self):
        self.check_import("search_order")

    @uses("hidden_names")
    def test_takes_files_and_folders_whose_names_begin_with_a_dot_like_any_other(self):
        self.check_import("hidden_names")

    @uses("at_most_10001")
    def test_takes_at_most_10001_files_and_the_erase_leaves_the_ones_not_taken(self):
        self.check_import("at_most_10001")

    @uses("named_pipe")
    def test_passes_over_named_pipes_without_opening_them(self):
        self.check_import("named_pipe")

    @uses("relative_paths")
    def test_of_a_drive_named_relative_to_the_current_folder_prints_the_same_paths(self):
        self.check_import("relative_paths")

    @uses("empty_drive")
    def test_of_a_drive_without_device_files_saves_and_deletes_nothing(self):
        self.check_import("empty_drive")


class RowsAndTheirSealedFiles(ImportTest):
    @uses("what_is_listed")
    def test_cycle_files_technical_reports_rows_without_a_date_and_files_not_listed(self):
        # Technical reports dated by the file's time go to 20yy/SERVICE under the report's
        # own date; "tr" and "XTR" codes are cycle files; type 255 is not listed; files
        # shorter than a header are named on stderr; a header alone is saved; folders named
        # *.moc are searched, links to nothing and other names are passed over.
        self.check_import("what_is_listed")

    @uses("listed_as_json")
    def test_with_json_the_rows_and_sealed_files_come_as_one_document_on_stdout(self):
        imported = session("listed_as_json")
        run = imported.runs[0].run
        outcome = self.outcome("listed_as_json")
        self.assertEqual(run.status, 0, run.describe())
        document = json.loads(run.stdout)
        self.assertEqual(document["root"], str(imported.drive))
        self.assertEqual(document["found"], len(outcome.found))
        self.assertEqual([(r["code"], r["description"], r["name"], r["date"], r["id"])
                          for r in document["rows"]], expected_rows(outcome))
        self.assertEqual(document["sealed"], outcome.lines)
        self.assertEqual(len(document["skipped"]), len(outcome.undated))
        self.assertEqual(document["failed"], [])
        self.assertEqual(len(document["problems"]), len(outcome.reported))
        self.assertEqual(document["erased"], 0)
        self.assertEqual(listed_rows(run.stderr), [], "the list is not printed a second time")
        self.check_files(run, outcome)

    @uses("existing_sealed")
    def test_the_same_record_is_replaced_and_another_records_name_gives_the_next_number(self):
        # Also the same device file found twice: the second replaces the first.
        self.check_import("existing_sealed", 0)

    @uses("existing_sealed")
    def test_importing_the_same_drive_again_replaces_each_file_it_sealed(self):
        first = self.outcome("existing_sealed")
        self.check_import("existing_sealed", 1, self.outcome("existing_sealed",
                                                             model_tree(first)))

    @uses("large_files")
    def test_whole_files_are_copied_byte_for_byte_whatever_the_bytes_and_the_length(self):
        self.check_import("large_files")

    @uses("blocked_year")
    def test_a_row_whose_folder_cannot_be_made_is_not_saved_and_the_others_are(self):
        run = self.check_import("blocked_year").run
        with self.subTest("a note on stderr for the rows not saved"):
            self.assertNotEqual(run.stderr.strip(), "", run.describe())


class TheErase(ImportTest):
    @uses("erase_confirmed")
    def test_confirmed_deletes_exactly_the_device_files_found_and_nothing_else(self):
        # Found in sub-folders and in a folder named *.moc, of type 255 and rows without a
        # date included; files shorter than a header, other names, folders and links kept.
        self.check_import("erase_confirmed")

    @uses("erase_unanswered")
    def test_without_yes_and_without_a_terminal_deletes_nothing(self):
        self.check_import("erase_unanswered")

    @uses("unreadable")
    def test_a_file_that_cannot_be_read_is_named_kept_and_the_others_saved_and_deleted(self):
        if session("unreadable").readable_all:
            self.skipTest("run as root, without an ordinary user: every file can be read")
        self.check_import("unreadable")


class UploadedAndImportedFilesAgree(ImportTest):
    @uses("cross_check", UPLOAD)
    def test_the_same_device_files_seal_to_the_same_bytes_under_the_same_names(self):
        image = import_cases.cross_check_image(CROSS_CHECK)
        uploaded = save_model.expected_save(image.flash(), image.memory_size, MESSAGES)
        saved = upload()
        save_run = saved.runs[0]
        with self.subTest("the upload saves what the save oracle expects"):
            self.assertEqual(save_run.status, 0, save_run.describe())
            self.assertEqual(save_run.lines, [s.path for s in uploaded.saved],
                             save_run.describe())
        imported = self.check_import("cross_check").run
        with self.subTest("the import seals the files the upload seals, in the same order, "
                          "and the technical reports besides"):
            self.assertEqual([line for line in imported.lines if "/SERVICE/" not in line],
                             save_run.lines, imported.describe())
        for path in save_run.lines:
            with self.subTest("uploaded and imported sealed files are equal from offset 12 on",
                              file=path):
                upload_state = save_run.tree_after.get(path)
                import_state = imported.tree_after.get(path)
                self.assertIsNotNone(upload_state, "not uploaded")
                self.assertIsNotNone(import_state, "not imported")
                self.assertEqual(import_state.data[12:], upload_state.data[12:])


class TheDriveList(unittest.TestCase):
    def test_runs_and_ends(self):
        run = run_drives(PROGRAMS)
        self.assertEqual(run.status, 0, run.describe())
        self.assertEqual(run.leftover_processes, [])
