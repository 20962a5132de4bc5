"""The model against examples worked out by hand from the rules, before it judges the program.

Expected texts here are written out literally, not computed by the model, so that a slip in
the model shows up as a failure of its own instead of as a disagreement with the program.
"""

from __future__ import annotations

import dataclasses
import datetime
import unittest

import report_cases as rc
import report_model as m
import save_model
import stored_files as sf
from stored_files import CycleFile, Sample

ENGLISH = m.load_language(rc.language_path("English"))


def report(cycle: CycleFile, separator: str = ",", full: bool = False,
           language: m.Language = ENGLISH) -> m.Expected:
    return m.expected_report(cycle.sealed(), sf.SEALED_AT, language, separator, full)


def language_with(captions: dict[int, str] = None, messages: dict[int, str] = None) -> m.Language:
    texts = list(ENGLISH.texts)
    for number, text in (captions or {}).items():
        texts[number] = text
    table = list(ENGLISH.messages)
    for number, text in (messages or {}).items():
        table[number] = text
    return m.Language("changed", tuple(texts), tuple(table))


class NumberPatternsTest(unittest.TestCase):
    def test_centred_texts_take_half_the_rest_rounded_to_even(self):
        self.assertEqual(m.centra("ABCDE"), " " * 22 + "ABCDE")
        self.assertEqual(m.centra("ABCDEFG"), " " * 20 + "ABCDEFG")
        self.assertEqual(m.centra("x" * 45), "  " + "x" * 45)
        self.assertEqual(m.centra("x" * 47), "x" * 47)
        self.assertEqual(m.centra("x" * 48), "x" * 48)
        self.assertEqual(m.centra(""), " " * 24)
        with self.assertRaises(m.ReportFailure):
            m.centra("x" * 49)

    def test_labels_pad_to_their_column_and_fail_beyond_it(self):
        self.assertEqual(m.padded("Cycle", 12), "Cycle       ")
        self.assertEqual(m.padded("x" * 30, 30), "x" * 30)
        with self.assertRaises(m.ReportFailure):
            m.padded("x" * 27, 26)

    def test_temperatures_have_three_integer_digits_and_the_runs_separator(self):
        self.assertEqual(m.temperature(0, ","), "000,0")
        self.assertEqual(m.temperature(1341, "."), "134.1")
        self.assertEqual(m.temperature(32767, ","), "3276,7")

    def test_pressures_keep_a_blank_for_the_minus_sign(self):
        self.assertEqual(m.pressure(100, ","), " 0,00")
        self.assertEqual(m.pressure(90, ","), "-0,10")
        self.assertEqual(m.pressure(310, "."), " 2.10")
        self.assertEqual(m.pressure(0, ","), "-1,00")

    def test_elapsed_times_show_minutes_up_to_255(self):
        self.assertEqual(m.elapsed(0), "00:00")
        self.assertEqual(m.elapsed(3599), "59:59")
        self.assertEqual(m.elapsed(6000), "100:00")
        self.assertEqual(m.elapsed(15359), "255:59")
        with self.assertRaises(m.ReportFailure):
            m.elapsed(15360)

    def test_years_dates_and_fast_cycle_tenths(self):
        self.assertEqual(m.year_text(25), "2025")
        self.assertEqual(m.year_text(5), "2005")
        self.assertEqual(m.plain_tenths(35, ","), "3,5")
        self.assertEqual(m.plain_tenths(30, ","), "3")
        self.assertEqual(m.plain_tenths(5, "."), "0.5")

    def test_the_number_a_text_starts_with_reads_as_val_does(self):
        self.assertEqual(m.number_value("134"), 134)
        self.assertEqual(m.number_value("10"), 10)
        self.assertEqual(m.number_value(":0"), 0)
        self.assertEqual(m.number_value("1 3"), 13)


class LanguageFileTest(unittest.TestCase):
    def test_a_comment_cuts_the_line_and_the_blanks_before_it(self):
        self.assertEqual(m.caption_of("Connect   ;comment"), "Connect")
        self.assertEqual(m.caption_of("Connect   "), "Connect   ")
        self.assertEqual(m.caption_of(";--"), "")

    def test_message_records_are_read_by_their_number(self):
        language = m.parse_language("x", b'7,"Door open"\r\n600,"beyond"\r\n  8 , "a, b"\r\n'
                                         b'9,"x"\r\n;comment\r\n10,"never read"\r\n')
        self.assertEqual(language.messages[7], "Door open")
        self.assertEqual(language.messages[8], "a, b")
        self.assertEqual(language.messages[9], "x")
        self.assertEqual(language.messages[10], "")
        self.assertEqual(len(language.messages), 524)
        self.assertEqual(language.texts[1], '7,"Door open"')
        self.assertEqual(language.texts[5], "")

    def test_only_the_first_294_records_are_read(self):
        lines = b"".join(b'%d,"t%d"\r\n' % (n, n) for n in range(1, 300))
        language = m.parse_language("x", lines)
        self.assertEqual(language.messages[294], "t294")
        self.assertEqual(language.messages[295], "")

    def test_the_shipped_files_give_the_report_words(self):
        self.assertEqual(ENGLISH.text(321), "Machine")
        self.assertEqual(ENGLISH.text(340), "Time   Ph.")
        self.assertEqual(ENGLISH.message(50), "134 °C Wrapped")
        self.assertEqual(ENGLISH.message(370), "SE ")
        self.assertEqual(ENGLISH.message(521), "120")
        with self.assertRaises(m.ReportFailure):
            ENGLISH.message(524)


class DeutschFileTest(unittest.TestCase):
    """The third language is laid out as a translator following the rules would deliver it."""

    DATA = rc.language_path("Deutsch").read_bytes()
    LINES = DATA.split(b"\r\n")

    def test_it_is_single_byte_text_with_cr_lf_line_ends(self):
        self.assertTrue(self.DATA.endswith(b"\r\n"))
        self.assertEqual(self.LINES[-1], b"")
        self.assertEqual(len(self.LINES) - 1, 362)
        for line in self.LINES:
            self.assertNotIn(b"\r", line)
            self.assertNotIn(b"\n", line)
        self.DATA.decode("cp1252")
        self.assertIn("ä".encode("cp1252"), self.DATA)

    def test_its_first_294_lines_are_message_records_and_the_months(self):
        german = m.load_language(rc.language_path("Deutsch"))
        records = m.message_records(m.chars(self.DATA))
        self.assertEqual(len(records), 294)
        self.assertEqual([n for n, _ in records[:12]], list(range(1, 13)))
        for month, (_, text) in enumerate(records[:12], start=1):
            self.assertTrue(text.startswith(f"{month:02d} "))
        for number in range(351, 524):
            self.assertEqual(german.messages[number], ENGLISH.messages[number], number)
        self.assertEqual(german.message(220 - 19), "Tür schließen, wiederholen")

    def test_its_labels_fit_their_columns(self):
        german = m.load_language(rc.language_path("Deutsch"))
        widths = {**{n: 30 for n in (321, 322, 323, 324, 325, 326, 327, 328, 329, 333, 336, 339,
                                     351, 352, 357, 358)},
                  **{n: 26 for n in (341, 344, 345, 346, 347)}, 340: 12,
                  **{n: 48 for n in (348, 349, 350, 353, 354, 355, 356)}}
        for number, width in widths.items():
            self.assertLessEqual(len(german.text(number)), width, number)
        self.assertEqual(german.text(324), "Zyklusnummer   ")
        self.assertEqual(len(german.text(328)), 30)
        self.assertEqual(len(german.text(341)), 26)


class FullReportTest(unittest.TestCase):
    def test_a_fast_cycle_has_a_sixteen_line_header_and_fixed_set_points(self):
        cycle = CycleFile(code=12, sterilisation=35, samples=[Sample(75, 163, 1001, 90, 1002,
                                                                     1003, 1004)])
        lines = report(cycle, full=True).lines
        self.assertEqual(lines[6:9], ("Sterilisation temperature     134°C",
                                      "Sterilisation pressure        2.10 bar",
                                      "Sterilisation time            3,5 min"))
        self.assertEqual(lines[10], "Cycle start                   31/03/2025")
        self.assertEqual(lines[11], " " * 30 + "08:03")
        self.assertEqual(lines[14], "Time   Ph.  PT1    P      PT2    PT3    PT4 ")
        self.assertEqual(lines[15], "-" * 45)
        self.assertEqual(lines[16], "01:15  1PV  100,1  -0,10  100,2  100,3  100,4")
        self.assertEqual(lines[17], " ")
        self.assertEqual(lines[18:22], (" ", " ", " ", " "))
        self.assertEqual(lines[22], "20:10 MAX 136,8")
        self.assertEqual(lines[31], m.centra("UNWRAPPED INSTRUMENTS ONLY"))
        self.assertEqual(lines[33], m.centra("FOR IMMEDIATE USE - DO NOT STORE"))
        self.assertEqual(len(lines), 17 + 1 + 24)

    def test_a_121_cycle_shows_its_own_temperature_and_the_lower_pressure(self):
        lines = report(CycleFile(code=6), full=True).lines
        self.assertEqual(lines[5], "Cycle                         121 °C Wrapped")
        self.assertEqual(lines[6], "Sterilisation temperature     121°C")
        self.assertEqual(lines[7], "Sterilisation pressure        1.10 bar")

    def test_only_phases_named_in_the_list_are_followed_by_a_blank_line(self):
        language = language_with(messages={401 + 3: "SE "})
        cycle = CycleFile(samples=[Sample(10, 170), Sample(20, 3), Sample(30, 168)])
        lines = report(cycle, full=True, language=language).lines
        self.assertEqual([line[:10] for line in lines[20:24]],
                         ["00:10  SE ", " ", "00:20  SE ", "00:30  HU "])

    def test_absent_probes_drop_two_columns_with_either_separator(self):
        cycle = CycleFile(samples=[Sample(10, 168, 1340, 310, 1338, 0, 0),
                                   Sample(20, 170, 1341, 311, 1339, 0, 0)], code=14)
        for separator in ",.":
            lines = report(cycle, separator, full=True).lines
            self.assertEqual(lines[12], " ")  # line 13 kept its number "13"
            self.assertEqual(lines[18], "Time   Ph.  PT1    P      PT2  ")
            self.assertEqual(lines[20], f"00:10  HU   134{separator}0   2{separator}10  "
                                        f"133{separator}8 ")
            self.assertEqual(lines[21], f"00:20  SE   134{separator}1   2{separator}11  "
                                        f"133{separator}9 ")
            self.assertEqual(lines[22], " ")
            self.assertEqual(lines[27], f"20:10 MAX 136{separator}8")

    def test_one_reading_of_a_probe_keeps_every_column(self):
        cycle = CycleFile(samples=[Sample(10, 168, 1340, 310, 1338, 0, 0),
                                   Sample(20, 168, 1341, 311, 1339, 0, 1)])
        lines = report(cycle, full=True).lines
        self.assertEqual(lines[18], "Time   Ph.  PT1    P      PT2    PT3    PT4 ")
        self.assertEqual(lines[20], "00:10  HU   134,0   2,10  133,8  000,0  000,0")

    def test_the_alarm_footer_takes_the_result_from_position_87(self):
        lines = report(CycleFile(alarm=10, result=0, samples=[Sample(5, 168)])).lines
        self.assertEqual(lines[21:26], (" ", " ", " ", " ", "Cycle result              PASSED"))
        self.assertEqual(lines[27], "Alarm                     A10 Temperature low")
        self.assertEqual(lines[28], "Action                    Check steam generator")
        self.assertEqual(lines[29], "End date                  31/03/2025")
        self.assertEqual(lines[30], "End time                  08:35")
        self.assertEqual(lines[-1], "." * 45)
        self.assertEqual(len(lines), 21 + 21)

    def test_a_line_over_255_characters_fails_the_full_report_only(self):
        language = language_with(messages={50: "134 °C " + "x" * 220})
        self.assertEqual(report(CycleFile(), full=True, language=language).failure, "File error")
        self.assertEqual(len(report(CycleFile(), language=language).lines[5]), 257)

    def test_codes_beyond_the_message_table_fail(self):
        for code in (123, 150):
            self.assertEqual(report(CycleFile(samples=[Sample(0, code)]), full=True).failure,
                             "File error")
        self.assertEqual(report(CycleFile(samples=[Sample(0, 122)]), full=True).lines[20][:10],
                         "00:00  ---")


class CompactReportTest(unittest.TestCase):
    def test_sample_events_show_at_most_once_a_minute_and_phases_move_the_last_time(self):
        samples = [Sample(t, 120) for t in range(0, 200, 10)] + [Sample(95, 168)]
        samples.sort(key=lambda s: s.seconds)
        lines = report(CycleFile(samples=samples)).lines
        self.assertEqual(lines[18], "Time   Ph.       °C      Bar  ")
        self.assertEqual([line[:9] for line in lines[20:24]],
                         ["00:00    ", "01:00    ", "01:35    ", "02:40    "])
        self.assertEqual(lines[20], "00:00           134,0    2,10")
        self.assertEqual(lines[22], "01:35    HU     134,0    2,10")
        self.assertEqual(lines[24:26], (" ", " "))

    def test_never_shown_codes(self):
        samples = [Sample(0, 177), Sample(1, 151), Sample(2, 162), Sample(3, 163),
                   Sample(4, 2), Sample(5, 121)]
        lines = report(CycleFile(samples=samples)).lines
        self.assertEqual(lines[20][:12], "00:03    1PV")
        self.assertEqual(lines[21], " ")

    def test_an_event_followed_by_another_sample_text_is_not_shown(self):
        language = language_with(messages={522: "120"})
        lines = report(CycleFile(samples=[Sample(0, 120), Sample(70, 121)]),
                       language=language).lines
        self.assertEqual(lines[20][:5], "01:10")
        self.assertEqual(lines[21], " ")

    def test_event_122_reaches_beyond_the_message_table(self):
        self.assertEqual(report(CycleFile(samples=[Sample(0, 122)])).failure, "File error")

    def test_the_footer_of_a_cycle_and_of_a_fast_cycle(self):
        lines = report(CycleFile(samples=[])).lines
        self.assertEqual(lines[20:41], (
            " ", " ", "20:10 MAX 136,8", "14:05 MIN 134,1", " ", " ",
            "Cycle of the day              03", "Cycle end                     31/03/2025",
            " " * 30 + "08:35", " ", " ", " ", "Cycle result                  PASSED",
            " " * 31, " " * 31, " " * 31, " " * 31, m.centra("Operator signature"), " " * 31,
            " " * 31, "." * 45))
        fast = report(CycleFile(code=12, samples=[])).lines
        self.assertEqual(fast[28:31], (m.centra("UNWRAPPED INSTRUMENTS ONLY"), " " * 30,
                                       m.centra("FOR IMMEDIATE USE - DO NOT STORE")))

    def test_the_result_reads_the_value_of_position_19(self):
        zero = report(CycleFile(overrides={19: b"\x00"}, samples=[])).lines
        digit = report(CycleFile(machine="MODEL 7 SERIES 1100", samples=[])).lines
        self.assertEqual(zero[32], "Cycle result                  FAILED")
        self.assertEqual(digit[32], "Cycle result                  PASSED")


class VacuumTestReportTest(unittest.TestCase):
    def test_events_are_compared_by_their_minutes_only(self):
        cycle = CycleFile(code=13, samples=[Sample(10, 120), Sample(55, 120), Sample(65, 120),
                                            Sample(70, 179), Sample(125, 120)])
        little = report(cycle).lines
        self.assertEqual(little[11], "Time   Ph.         °C       Bar  ")
        self.assertEqual(little[13:17], ("00:10              134,0     2,10",
                                         "01:05              134,0     2,10",
                                         "01:10     VTR     134,0     2,10",
                                         "02:05              134,0     2,10"))
        alarmed = report(dataclasses.replace(cycle, alarm=33, result=1)).lines
        self.assertEqual(alarmed[13:17], ("00:10             134,0     2,10",
                                          "01:05              134,0     2,10",
                                          "01:10     VTR     134,0     2,10",
                                          "02:05              134,0     2,10"))

    def test_the_two_footers(self):
        little = report(CycleFile(code=13, samples=[])).lines
        self.assertEqual(little[5], "Test                          134 °C Vacuum test")
        self.assertEqual(little[13:], (" ", " ", " ", " ",
                                       "Cycle end                     31/03/2025",
                                       " " * 30 + "08:35", " ", " ",
                                       "Test result                   PASSED", " " * 31,
                                       " " * 31, " " * 31, m.centra("Operator signature"),
                                       " " * 31, " " * 31, "." * 45))
        full = report(CycleFile(code=13, alarm=33, result=0, samples=[])).lines
        self.assertEqual(full[17], "Test result                   PASSED")
        self.assertEqual(full[19], "Alarm                         A33 Leak rate too high")
        self.assertEqual(len(full), 13 + 21)


class ReaderAndChoiceTest(unittest.TestCase):
    def test_the_report_is_chosen_by_alarm_code_and_cycle_code(self):
        cases = [(CycleFile(), False, m.COMPACT), (CycleFile(), True, m.FULL),
                 (CycleFile(alarm=1), False, m.FULL), (CycleFile(code=13), True, m.VACUUM_COMPACT),
                 (CycleFile(code=13, alarm=1), False, m.VACUUM_FULL)]
        for cycle, full, view in cases:
            self.assertEqual(report(cycle, full=full).view, view)

    def test_a_trailing_part_of_one_byte_is_ignored_and_of_two_to_twelve_fails(self):
        self.assertIsNotNone(report(CycleFile(samples=[Sample(0, 168)])).lines)
        for extra in range(1, 12):
            self.assertEqual(report(CycleFile(trailing=bytes(extra))).failure, "File error")
        self.assertEqual(len(report(CycleFile(samples=[], trailing=bytes([0, 0, 168]) +
                                              bytes(9))).lines), 20 + 1 + 21)

    def test_the_seal_and_the_check_sum_decide_whether_a_file_is_shown(self):
        data = CycleFile().sealed()
        second = datetime.timedelta(seconds=1)
        self.assertEqual(m.expected_report(data, sf.SEALED_AT + 6 * second, ENGLISH, ",").failure,
                         "bad seal")
        self.assertTrue(m.expected_report(data, sf.SEALED_AT + 4 * second, ENGLISH, ",").shown)
        broken = data[:100] + bytes([data[100] ^ 1]) + data[101:]
        self.assertEqual(m.expected_report(broken, sf.SEALED_AT, ENGLISH, ",").failure,
                         "bad checksum")

    def test_technical_reports_decode_their_text_and_drop_the_tail(self):
        body = bytes((c + 100) % 256 for c in b"ab\r\nc") + bytes([92, 110]) + bytes(
            (c + 100) % 256 for c in b"tail")
        for mark_at in (44, 45):
            data = save_model.seal(sf.technical_report(body, mark_at=mark_at), sf.SEALED_AT)
            self.assertEqual(m.expected_report(data, sf.SEALED_AT, ENGLISH, ",").lines,
                             ("ab", "c°"))


if __name__ == "__main__":
    unittest.main()
