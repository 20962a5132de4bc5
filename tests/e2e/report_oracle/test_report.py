"""`vestrim-cli report` on real sealed files and on files written here, compared line for line
and blank for blank with the model, in three languages and with both decimal separators.

Each file is shown as the window opens it and, where it makes a difference, with --full.  A
file the model refuses must end with exit status 1, nothing on stdout and "File error" (or the
reader's reason) on stderr.
"""

from __future__ import annotations

import functools
import unittest
from pathlib import Path

import report_cases as rc
import report_model as m
import stored_files as sf
from processes import Programs
from report_runs import (CliRun, GeneratedFiles, new_folder, program_folder, run_report,
                         save_generated_month)

PROGRAMS: Programs | None = None  # set by run.py

SEPARATORS = (",", ".")
LOCALE_SEPARATOR = "."  # what LC_ALL=C.UTF-8 gives
# The words a refusal may be given in on stderr, besides "File error".
REASONS = {"bad seal": ("bad seal",), "bad checksum": ("bad checksum",),
           "too short": ("too short",), "unreadable": ("unreadable", "no such file"),
           "empty": ("too short", "empty", "nothing to show"), "File error": ()}


@functools.cache
def language(name: str) -> m.Language:
    return m.load_language(rc.language_path(name))


@functools.cache
def shipped_folder() -> Path:
    """A program folder with English, Italiano and the third language written for these tests."""
    return program_folder({name: rc.language_path(name).read_bytes()
                           for name in rc.ALL_LANGUAGES})


@functools.cache
def case_files() -> dict[str, Path]:
    """Every hand-made case written to disk with its last-modified time."""
    folder = new_folder("cases")
    paths = {}
    for case in rc.all_cases().values():
        path = folder / f"{case.name}.dtl"
        if case.data is not None:
            sf.write(path, case.data, case.modified)
        paths[case.name] = path
    return paths


@functools.cache
def generated() -> GeneratedFiles:
    return save_generated_month(PROGRAMS)


def _shown_lines(stdout: str) -> list[str]:
    lines = stdout.split("\n")
    if lines and lines[-1] == "":
        lines.pop()
    return lines


def _first_difference(expected: tuple[str, ...], actual: list[str]) -> str:
    differing = [n for n, (want, got) in enumerate(zip(expected, actual), start=1)
                 if want != got]
    if differing:
        number = differing[0]
        others = ", ".join(map(str, differing[1:11])) + (" ..." if len(differing) > 11 else "")
        return (f"first difference at line {number}:\n  expected {expected[number - 1]!r}\n"
                f"  actual   {actual[number - 1]!r}\n"
                f"{len(differing)} differing line(s) of {len(expected)} expected and "
                f"{len(actual)} printed" + (f"; also lines {others}" if others else ""))
    if len(expected) != len(actual):
        number = min(len(expected), len(actual)) + 1
        more = expected[number - 1] if len(expected) > len(actual) else actual[number - 1]
        side = "expected" if len(expected) > len(actual) else "actual"
        return (f"{len(expected)} lines expected, {len(actual)} printed; first extra line "
                f"{number} ({side}): {more!r}")
    return "the lines agree, but stdout is not one line each ended by a line feed"


class ReportComparison(unittest.TestCase):
    maxDiff = None

    def check_run(self, run: CliRun, expected: m.Expected, label: str) -> None:
        context = f"{label}\n{run.describe()}"
        self.assertEqual(run.leftover_processes, [], context)
        if expected.shown:
            self.assertEqual(run.status, 0, f"{context}\nthe model shows the file as "
                                            f"{expected.view}")
            try:
                stdout = run.stdout.decode("utf-8")
            except UnicodeDecodeError as error:
                self.fail(f"{context}\nstdout is not UTF-8: {error}")
            wanted = "".join(line + "\n" for line in expected.lines)
            if stdout != wanted:
                self.fail(f"{context}\nview {expected.view}: "
                          f"{_first_difference(expected.lines, _shown_lines(stdout))}")
        else:
            accepted = ("File error",) + REASONS[expected.failure]
            self.assertEqual(run.status, 1, f"{context}\nthe model refuses the file: "
                                            f"{expected.failure} ({expected.view})")
            self.assertEqual(run.stdout, b"", f"{context}\nnothing on stdout for a refused "
                                              f"file")
            self.assertTrue(any(word in run.stderr for word in accepted),
                            f"{context}\nstderr should say one of {accepted}")

    def check_file(self, path: Path, languages: tuple[str, ...], label: str,
                   folder: Path | None = None, separators=SEPARATORS,
                   views=(False, True)) -> None:
        folder = folder or shipped_folder()
        for name in languages:
            for separator in separators:
                for full in views:
                    view = "--full" if full else "as opened"
                    with self.subTest(file=label, language=name, separator=separator,
                                      view=view):
                        expected = m.expected_for_path(path, language(name), separator, full)
                        run = run_report(PROGRAMS, folder, name, path, full, separator)
                        self.check_run(run, expected, f"{label} in {name}, separator "
                                                      f"{separator!r}, {view}")

    def check_cases(self, group: list[rc.Case]) -> None:
        paths = case_files()
        for case in group:
            self.check_file(paths[case.name], case.languages, f"{case.name}: {case.note}")


class GeneratedMonthTest(ReportComparison):
    """Files from the simulator's generator, saved and sealed by the program itself."""

    def test_the_save_gives_every_kind_of_cycle_file(self):
        month = generated()
        self.assertEqual(month.save.status, 0, month.save.describe())
        views = {m.expected_for_path(path, language("English"), ",").view
                 for path in month.files}
        self.assertLessEqual({m.FULL, m.COMPACT, m.VACUUM_FULL, m.VACUUM_COMPACT}, views,
                             month.listing)
        full_reports = [m.expected_for_path(path, language("English"), ",", full=True).lines
                        or () for path in month.files]
        with self.subTest("a cycle longer than 500 report lines"):
            self.assertTrue(any(len(lines) > 500 for lines in full_reports), month.listing)
        with self.subTest("a cycle whose PT3 and PT4 columns are dropped"):
            self.assertIn("Time   Ph.  PT1    P      PT2  ",
                          {line for lines in full_reports for line in lines}, month.listing)
        with self.subTest("a fast cycle (its start date on line 11)"):
            self.assertTrue(any(len(lines) > 10 and lines[10].startswith("Cycle start")
                                for lines in full_reports), month.listing)

    def test_every_saved_file_reports_as_the_model_says(self):
        month = generated()
        self.assertTrue(month.files, month.save.describe())
        for path in month.files:
            self.check_file(path, rc.ALL_LANGUAGES, str(path.relative_to(month.folder)))


class CycleReportTest(ReportComparison):
    def test_header_lines_follow_the_cycle_type_byte_and_the_option_bits(self):
        self.check_cases(rc.cycle_headers())

    def test_record_lines_at_the_limits_of_their_fields(self):
        self.check_cases(rc.record_lines())

    def test_the_compact_report_thins_out_sample_events(self):
        self.check_cases(rc.compact_thinning())

    def test_pt3_and_pt4_columns_drop_only_when_both_read_zero_throughout(self):
        self.check_cases(rc.probes())

    def test_cycles_with_an_alarm_open_in_the_full_report_with_the_alarm_footer(self):
        self.check_cases(rc.alarms())

    def test_the_normal_footer_reads_the_result_at_position_19(self):
        self.check_cases(rc.results())

    def test_without_a_separator_option_the_locale_gives_the_separator(self):
        path = case_files()["standard_cycle"]
        for full in (False, True):
            with self.subTest(full=full):
                expected = m.expected_for_path(path, language("English"), LOCALE_SEPARATOR,
                                               full)
                run = run_report(PROGRAMS, shipped_folder(), "English", path, full, None)
                self.check_run(run, expected, "standard_cycle with the locale's separator")


class VacuumTestReportTest(ReportComparison):
    def test_vacuum_tests_have_their_own_reports_whatever_the_switch(self):
        self.check_cases(rc.vacuum_tests())


class FailureTest(ReportComparison):
    def test_damaged_records_and_summaries_end_in_file_error(self):
        self.check_cases(rc.failures())

    def test_the_reader_refuses_files_that_cannot_be_shown(self):
        self.check_cases(rc.reader())


class TechnicalReportTest(ReportComparison):
    def test_technical_reports_show_their_decoded_lines(self):
        self.check_cases(rc.technical_reports())


# Which files each variant language makes fail, by the rules: "case:compact" is the file as
# the window opens it, "case:full" with the switch pressed.
VARIANT_FILES = ("standard_cycle", "alarm_with_result_byte_one", "fast_cycle_tenths",
                 "vacuum_test", "vacuum_test_with_alarm", "sample_events_once_a_minute")
EVERY_RUN = {f"{name}:{view}" for name in VARIANT_FILES for view in ("compact", "full")}


def _both(*names: str) -> set[str]:
    return {f"{name}:{view}" for name in names for view in ("compact", "full")}


VARIANT_FAILURES = {
    "LabelsAtTheirLimits": set(),
    "LongMachineLabel": EVERY_RUN,
    "LongColumnLabel": EVERY_RUN,
    "LongResultLabel": _both("alarm_with_result_byte_one"),
    "LongAlarmLabel": _both("alarm_with_result_byte_one"),
    "LongTestLabel": _both("vacuum_test", "vacuum_test_with_alarm"),
    "LongAlarmLine": _both("alarm_with_result_byte_one", "vacuum_test_with_alarm"),
    "LongSignatureLine": EVERY_RUN,
    "LongClosingLine": {"standard_cycle:full", "fast_cycle_tenths:full",
                        "sample_events_once_a_minute:full"},
    "LongFastLine": _both("fast_cycle_tenths"),
    "LongCycleName": {"standard_cycle:full", "sample_events_once_a_minute:full"}
    | _both("alarm_with_result_byte_one"),
    "TwoSampleTexts": set(),
}


class LanguageLimitTest(ReportComparison):
    """English with single captions or messages changed: labels at and beyond their columns,
    centred texts beyond 48 characters, a line beyond 255, two sample texts in a row."""

    def test_the_model_fails_exactly_the_reports_that_use_a_text_beyond_its_limit(self):
        paths = case_files()
        for variant in rc.variants():
            with self.subTest(variant=variant.name):
                table = m.parse_language(variant.name, variant.data())
                failing = set()
                for name in VARIANT_FILES:
                    for full in (False, True):
                        if not m.expected_for_path(paths[name], table, ",", full).shown:
                            failing.add(f"{name}:{'full' if full else 'compact'}")
                self.assertEqual(failing, VARIANT_FAILURES[variant.name], variant.note)

    def test_the_program_agrees_in_every_variant_language(self):
        paths = case_files()
        for variant in rc.variants():
            folder = program_folder({variant.name: variant.data()})
            table = m.parse_language(variant.name, variant.data())
            for name in VARIANT_FILES:
                for separator in SEPARATORS:
                    for full in (False, True):
                        with self.subTest(variant=variant.name, file=name, separator=separator,
                                          full=full):
                            expected = m.expected_for_path(paths[name], table, separator, full)
                            run = run_report(PROGRAMS, folder, variant.name, paths[name], full,
                                             separator)
                            self.check_run(run, expected, f"{name} in {variant.name} "
                                                          f"({variant.note}), separator "
                                                          f"{separator!r}, full={full}")
