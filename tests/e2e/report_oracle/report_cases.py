"""The stored files the reports are tried on, written here, grouped by what they exercise.

Each case is one file (or one missing path) with the last-modified time it is given; the
languages it is shown in and a note of what it checks.  Variant language files (English with
one caption or message changed) test the limits of labels, centred lines and line length.
"""

from __future__ import annotations

import dataclasses
import datetime
from pathlib import Path

import save_oracle_path  # noqa: F401
import save_model
import stored_files as sf
from stored_files import CycleFile, Sample

LANG_FOLDER = Path(__file__).resolve().parents[3] / "lang"
HERE = Path(__file__).resolve().parent
SHIPPED = ("English", "Italiano")
ALL_LANGUAGES = ("English", "Italiano", "Deutsch")


def language_path(name: str) -> Path:
    return HERE / f"{name}.lng" if name == "Deutsch" else LANG_FOLDER / f"{name}.lng"


@dataclasses.dataclass
class Case:
    name: str
    data: bytes | None  # None: nothing at the path
    note: str
    modified: datetime.datetime = sf.SEALED_AT
    languages: tuple[str, ...] = ("English",)


# Realistic record sequences.

def _pressure_of(code: int, previous: int) -> int:
    return {163: 20, 164: 200, 165: 20, 166: 200, 167: 20, 168: 250, 169: 310, 170: 310,
            171: 120, 172: 100, 173: 15, 174: 30, 175: 60, 176: 100, 177: 100, 178: 100,
            179: 13, 180: 12, 181: 14, 182: 100}.get(code, previous)


def _temperature_at(seconds: int) -> int:
    if seconds < 690:
        return 490 + 860 * seconds // 690
    if seconds < 935:
        return 1350 + seconds % 7
    return max(600, 1350 - (seconds - 935))


def realistic(steps: list[tuple[int, int]], probes_3_4: bool = True) -> list[Sample]:
    samples = []
    pressure = 100
    for seconds, code in steps:
        pressure = _pressure_of(code, pressure)
        pt1 = _temperature_at(seconds)
        samples.append(Sample(seconds, code, pt1, pressure + seconds % 3, pt1 - 3,
                              pt1 - 5 if probes_3_4 else 0, pt1 - 8 if probes_3_4 else 0))
    return samples


def sterilisation_steps() -> list[tuple[int, int]]:
    steps = [(0, sf.CYCLE_START), (0, 6), (2, sf.DOOR_LOCKED), (5, sf.PREHEATING),
             (58, sf.PREHEATING_END), (60, sf.PRE_VACUUM_1), (61, sf.PUMP_ON),
             (150, sf.PULSE_1), (151, sf.PUMP_OFF), (210, sf.PRE_VACUUM_2), (290, sf.PULSE_2),
             (350, sf.PRE_VACUUM_3), (430, sf.HEAT_UP)]
    steps += [(t, sf.SAMPLE) for t in range(440, 695, 10)]
    steps += [(695, sf.EQUILIBRATION)]
    steps += [(t, sf.SAMPLE) for t in range(700, 935, 10)]
    steps += [(935, sf.STERILISATION_END), (940, sf.EXHAUST), (990, sf.DRYING_START),
              (995, sf.PULSED_DRYING)]
    for t in range(1000, 1400, 60):
        steps += [(t, sf.PUMP_ON), (t + 5, sf.SAMPLE), (t + 30, sf.PUMP_OFF)]
    steps += [(1400, sf.PULSED_DRYING_END), (1405, sf.DRYING_END), (1410, sf.VENTING),
              (1412, sf.SELF_CHECK), (1420, sf.CYCLE_END)]
    return steps


def vacuum_test_steps() -> list[tuple[int, int]]:
    steps = [(0, sf.CYCLE_START), (2, sf.DOOR_LOCKED), (5, sf.SELF_TEST),
             (8, sf.SELF_TEST_END), (9, sf.TEST_START), (10, sf.SAMPLE), (40, sf.PUMP_ON),
             (55, sf.SAMPLE), (65, sf.SAMPLE), (100, sf.SAMPLE), (119, sf.SAMPLE),
             (120, sf.SAMPLE), (130, sf.TEST_VACUUM), (178, sf.SAMPLE), (185, sf.SAMPLE)]
    steps += [(t, sf.SAMPLE) for t in range(200, 1200, 20)]
    steps += [(1200, sf.MEASURED), (1205, sf.SAMPLE), (1210, sf.TEST_VENTING),
              (1260, sf.CYCLE_END)]
    return steps


def standard(**fields) -> CycleFile:
    fields.setdefault("samples", realistic(sterilisation_steps()))
    return CycleFile(**fields)


def vacuum_test(**fields) -> CycleFile:
    fields.setdefault("samples", realistic(vacuum_test_steps()))
    fields.setdefault("program", "VACUUM TEST")
    fields.setdefault("file_code", b"DLVTST02075")
    return CycleFile(code=13, sterilisation=0, **fields)


def long_cycle(records: int = 5000) -> CycleFile:
    phases = [163, 164, 165, 166, 167, 168, 169, 170, 171, 172, 173, 174, 175, 176]
    samples = []
    for i in range(records):
        seconds = 3 * i
        if i % 250 == 0:
            code = phases[i // 250 % len(phases)]
        elif i % 97 == 0:
            code = sf.PUMP_ON
        else:
            code = sf.SAMPLE
        pt1 = 1000 + (37 * i) % 400
        samples.append(Sample(seconds, code, pt1, 100 + (53 * i) % 250, pt1 + 1, pt1 + 2,
                              pt1 + 3))
    samples.append(Sample(3 * records, sf.CYCLE_END))
    return CycleFile(samples=samples, program="121 LIQUIDS", code=10, file_code=b"DL121L")


# The groups of cases.

def cycle_headers() -> list[Case]:
    return [
        Case("standard_cycle", standard().sealed(),
             "134 °C cycle without alarm: every header line, phase breaks, the normal footer",
             languages=ALL_LANGUAGES),
        Case("water_from_mains_and_delayed_start", standard(options=4, delayed_start=True)
             .sealed(), "option bit 4 set, bit 2 clear: text 331; bit 7 of the type: text 335"),
        Case("water_with_demineraliser", standard(options=6, code=3).sealed(),
             "option bits 4 and 2 set: text 332"),
        Case("short_drying_mode", standard(mode=1).sealed(), "mode 1: message 67"),
        Case("long_drying_mode", standard(mode=2, code=10).sealed(),
             "mode 2 wins over the cooling texts of cycle 10: message 68"),
        Case("extended_drying_plus_minutes", standard(mode=3, drying_extra=5).sealed(),
             "mode 3: message 69, then \" +\" and position 88", languages=ALL_LANGUAGES),
        Case("liquids_natural_cooling", standard(code=10, program="121 LIQUIDS").sealed(),
             "cycle 10, bit 6 clear: text 337"),
        Case("culture_media_forced_cooling",
             standard(code=11, forced_cooling=True, program="121 MEDIA").sealed(),
             "cycle 11, bit 6 set: text 338"),
        Case("user_program_keeps_line_thirteen", standard(code=14).sealed(),
             "cycle 14 in mode 0: line 13 keeps its line number"),
        Case("cycle_121", standard(code=6, program="121 WRAPPED").sealed(),
             "a cycle name beginning with 121: 121°C and 1.10 bar", languages=ALL_LANGUAGES),
        Case("fast_cycle_tenths", standard(code=12, sterilisation=35, program="FAST 134")
             .sealed(), "cycle 12: 16-line header, fixed set points, 3,5 min, fast footers",
             languages=ALL_LANGUAGES),
        Case("fast_cycle_whole_minutes", standard(code=12, sterilisation=30).sealed(),
             "cycle 12 with 30 tenths: a plain 3"),
        Case("fast_cycle_half_minute", standard(code=12, sterilisation=5).sealed(),
             "cycle 12 with 5 tenths: 0 and the separator and 5"),
        Case("numbers_at_their_widths",
             standard(file_number=16777215, day_number=123456, counter=255,
                      start=(23, 59, 31, 12, 99), end=(0, 0, 1, 1, 0), sterilisation=255).sealed(),
             "eight-digit numbers, counter 255 shown as 256, year 99 as 2099"),
    ]


def record_lines() -> list[Case]:
    extremes = [Sample(0, 168, 0, 100, 0, 0, 0), Sample(3599, 168, 1, 90, 2, 3, 4),
                Sample(3600, 172, 32767, 310, 32767, 32767, 32767),
                Sample(6000, 168, 9999, 0, 10000, 1, 2),
                Sample(15359, 168, 1340, 32767, 1, 1, 1)]
    return [
        Case("times_pressures_and_temperatures_at_their_limits",
             standard(samples=extremes).sealed(),
             "00:00, 59:59, 100:00, 255:59; pressures 0,00 -0,10 2,10 -1,00 326,67; 3276,7"),
        Case("unknown_phase_and_event_names",
             standard(samples=[Sample(10, 201), Sample(20, 255), Sample(30, 0),
                               Sample(40, sf.RESERVED), Sample(50, 150 + 13)]).sealed(),
             "phases without a name, event 0 and event 122 in the full report"),
        Case("long_cycle", long_cycle().sealed(),
             "5000 records up to 250:00: no line limit; compact thinning across 100 minutes",
             languages=("English", "Deutsch")),
        Case("no_records", standard(samples=[]).sealed(),
             "no sample records: empty record section, probes count as absent"),
        Case("thirteen_trailing_bytes_make_one_more_record",
             standard(trailing=bytes([60, 0, sf.HEAT_UP, 1, 2, 3, 4, 5, 6, 7, 8, 44])).sealed(),
             "twelve device bytes and the sealing's own byte: one more record"),
    ]


def compact_thinning() -> list[Case]:
    samples = [Sample(t, sf.SAMPLE, 1200 + t % 50) for t in range(0, 200, 10)]
    samples += [Sample(95, sf.HEAT_UP), Sample(100, 177), Sample(101, 151), Sample(102, 162),
                Sample(103, 163), Sample(104, sf.DOOR_OPENED), Sample(105, sf.MARK)]
    samples.sort(key=lambda s: s.seconds)
    past_hundred = [Sample(t, sf.SAMPLE) for t in (5880, 5930, 5950, 5990, 6000, 6030, 6059,
                                                   6060, 6100, 6120, 6300, 9000, 9999)]
    return [
        Case("sample_events_once_a_minute", standard(samples=samples).sealed(),
             "events 120 ten seconds apart: 00:00, 01:00, ...; a phase moves the last time; "
             "177, 151 to 162, other events never shown", languages=ALL_LANGUAGES),
        Case("sample_events_past_a_hundred_minutes", standard(samples=past_hundred).sealed(),
             "times of 100 minutes and more compared by their first two characters"),
    ]


def probes() -> list[Case]:
    zero = realistic(sterilisation_steps(), probes_3_4=False)
    once = realistic(sterilisation_steps(), probes_3_4=False)
    once[40].pt4 = 1
    thousand = realistic(sterilisation_steps(), probes_3_4=False)
    for s in thousand:
        s.pt3 = 10000
    last_is_phase = realistic(sterilisation_steps(), probes_3_4=False)[:-1]
    return [
        Case("probes_3_and_4_absent", standard(samples=zero).sealed(),
             "PT3 and PT4 zero throughout: both columns dropped, with either separator",
             languages=ALL_LANGUAGES),
        Case("probes_3_and_4_absent_in_cycle_14",
             standard(samples=zero, code=15).sealed(),
             "the dropped columns turn line 13's number into one blank"),
        Case("probe_4_reads_once", standard(samples=once).sealed(),
             "one record with PT4 0.1: all columns stay"),
        Case("probe_3_reads_a_thousand", standard(samples=thousand).sealed(),
             "PT3 1000,0 and PT4 0 end in the zero text too: the columns go"),
        Case("probes_absent_ending_on_a_phase_break", standard(samples=last_is_phase).sealed(),
             "the record section ends before the blank line of the last phase"),
        Case("machine_text_ending_like_the_column_header",
             standard(samples=zero, machine="SENSOR BOARD    PT4").sealed(),
             "line 1 ends in \"PT4\" and one blank: it is taken for the column header, and the "
             "section it opens is not all zeros, so the columns stay"),
        Case("probes_absent_with_an_alarm",
             standard(samples=zero, alarm=6, result=1).sealed(),
             "the alarm footer's lines after the section stay whole"),
    ]


def alarms() -> list[Case]:
    return [
        Case("alarm_with_result_byte_zero", standard(alarm=10, result=0).sealed(),
             "alarm 10, position 87 = 0: text 342 and the alarm footer", languages=ALL_LANGUAGES),
        Case("alarm_with_result_byte_one", standard(alarm=33, result=1).sealed(),
             "alarm 33, position 87 = 1: text 343"),
        Case("alarm_without_texts", standard(alarm=45, result=1).sealed(),
             "alarm 45 has no message 145 or 245"),
        Case("alarm_255", standard(alarm=255, result=2).sealed(),
             "alarm 255: messages 355 (a phase name) and 455"),
        Case("fast_cycle_with_alarm", standard(code=12, alarm=4, sterilisation=35).sealed(),
             "cycle 12 header with the alarm footer"),
        Case("alarm_ignores_the_extremes",
             standard(alarm=5, maximum=0x8000, maximum_at=0xFFFF).sealed(),
             "the alarm footer does not read the maximum and minimum"),
    ]


def results() -> list[Case]:
    return [
        Case("result_from_a_zero_byte_at_position_19",
             standard(machine="TS-23 CLASS B", overrides={19: b"\x00"}).sealed(),
             "position 19 = 0: text 343 in the normal footers"),
        Case("device_texts_in_windows_1252",
             standard(machine="Café € 134°", program="Prüfprogramm ß",
                      serial="Nº 7½ œ").sealed(),
             "device bytes above 127 shown as their Windows-1252 characters",
             languages=("Deutsch",)),
        Case("result_from_a_digit_zero_at_position_19",
             standard(machine="MODEL 7 SERIES 1100").sealed(),
             "position 19 holds the character 0 (not the value 0): text 342"),
    ]


def vacuum_tests() -> list[Case]:
    return [
        Case("vacuum_test", vacuum_test().sealed(),
             "vacuum test without alarm: events at most once a minute by minute digits, "
             "four blanks", languages=ALL_LANGUAGES),
        Case("vacuum_test_failed_by_position_19", vacuum_test(overrides={19: b"\x00"}).sealed(),
             "position 19 = 0: text 343"),
        Case("vacuum_test_with_alarm", vacuum_test(alarm=33, result=1).sealed(),
             "vacuum test with alarm: three blanks for the first event, four later",
             languages=ALL_LANGUAGES),
        Case("vacuum_test_with_alarm_and_result_zero", vacuum_test(alarm=34, result=0).sealed(),
             "position 87 = 0: text 342"),
        Case("vacuum_test_without_events", vacuum_test(samples=realistic(
            [(0, 151), (9, 178), (130, 179), (1200, 181), (1260, 177)])).sealed(),
             "only phases"),
    ]


def failures() -> list[Case]:
    def with_record(sample: Sample, **fields) -> bytes:
        samples = realistic(sterilisation_steps())
        return standard(samples=samples[:30] + [sample] + samples[30:], **fields).sealed()

    cut = standard().device_bytes()[:76 + 60]
    return [
        Case("temperature_with_high_byte_128", with_record(Sample(500, 168, pt1=0x8000)),
             "PT1 high byte 128: File error in every view"),
        Case("pressure_with_high_byte_255", with_record(Sample(500, 168, pressure=0xFF00)),
             "P high byte 255"),
        Case("elapsed_time_with_high_byte_128", with_record(Sample(0x8000, 168)),
             "elapsed time high byte 128"),
        Case("elapsed_time_of_256_minutes", with_record(Sample(15360, 168)),
             "256 minutes"),
        Case("hidden_record_with_high_byte", with_record(Sample(500, 177, pt4=0x9000)),
             "a probe value of a record the compact report does not show is not read: only "
             "the full report fails"),
        Case("vacuum_test_record_with_high_byte",
             vacuum_test(samples=realistic(vacuum_test_steps()) + [Sample(1300, 182, pt2=0x8000)])
             .sealed(), "vacuum test: PT2 out of range, never shown, so never read"),
        Case("event_code_123", with_record(Sample(500, 123)), "message 524 lies beyond"),
        Case("event_code_150", with_record(Sample(500, 150)), "message 551 lies beyond"),
        Case("event_code_122", with_record(Sample(500, sf.RESERVED)),
             "event 122: the full report names it, the thinned reports look up message 524"),
        Case("vacuum_test_event_code_122",
             vacuum_test(samples=realistic(vacuum_test_steps()) + [Sample(1300, sf.RESERVED)])
             .sealed(), "the vacuum test reports reach message 524 too"),
        Case("maximum_with_high_byte", standard(maximum=0x8100).sealed(),
             "the normal footers read the maximum"),
        Case("minimum_time_of_256_minutes", standard(minimum_at=15360).sealed(),
             "the normal footers show the time of the minimum"),
        Case("summary_cut_short", save_model.seal(cut, sf.SEALED_AT),
             "a cycle block of 61 bytes: no alarm code to read"),
    ] + [
        Case(f"trailing_part_of_{n + 1}_bytes", standard(trailing=bytes(range(1, n + 1))).sealed(),
             "a record that runs past the end")
        for n in (1, 6, 11)
    ]


def reader() -> list[Case]:
    good = standard().sealed()
    changed = bytearray(good)
    changed[200] ^= 0x01
    zero_sum = sf.raw_stored(bytes(200))
    only_header = sf.raw_stored(standard().device_bytes()[:76])
    second = datetime.timedelta(seconds=1)
    hour = datetime.timedelta(hours=1)
    return [
        Case("seal_six_seconds_off", good, "bad seal", modified=sf.SEALED_AT + 6 * second),
        Case("seal_four_seconds_before_the_file_time", good, "shown",
             modified=sf.SEALED_AT + 4 * second),
        Case("seal_one_hour_before_the_file_time", good, "shown (summer time)",
             modified=sf.SEALED_AT + hour),
        Case("checksum_broken", bytes(changed), "a changed byte: cannot be shown"),
        Case("checksum_sum_zero", zero_sum, "a sum of 0 is refused"),
        Case("too_short", good[:89], "89 bytes"),
        Case("header_only", only_header, "no cycle block"),
        Case("missing_file", None, "nothing at the path"),
    ]


def technical_reports() -> list[Case]:
    lines = ["TECHNICAL REPORT", "Date: 04/03/2025   Time: 07:29",
             "Chamber probe PT1 checked at 134°C", "Generator: 0,5 bar safety valve OK",
             "Température / Qualität: résumé", "", "  indented\ttabbed line", "End of report"]
    body = sf.technical_text(lines, last="partial line, not shown")
    damaged = bytearray(save_model.seal(sf.technical_report(body), sf.SEALED_AT))
    damaged[12] ^= 0xFF
    damaged[-1] ^= 0xFF
    line_feed_last = bytearray(save_model.seal(
        sf.technical_report(sf.technical_text(["first line"], last="tail")), sf.SEALED_AT))
    line_feed_last[-1] = 110
    thousand = sf.technical_text([f"line {n:04d}: {'°' if n % 7 == 0 else '-'}"
                                  for n in range(1, 1201)])
    header_only = sf.technical_report(b"")
    return [
        Case("technical_report_code_at_offset_45", save_model.seal(
            sf.technical_report(body), sf.SEALED_AT),
             "\"TR\" where the file code starts; byte 92 shown as °; tail not shown"),
        Case("technical_report_mark_at_offset_44", save_model.seal(
            sf.technical_report(body, mark_at=44), sf.SEALED_AT), "\"TR\" at offsets 44 and 45"),
        Case("technical_report_with_damaged_checksum", bytes(damaged),
             "the check sum of a technical report is not tested"),
        Case("technical_report_with_own_degree_code", save_model.seal(sf.technical_report(
            sf.technical_text(["134°C"], degree_as_mark=False)), sf.SEALED_AT),
             "a degree sign stored as its own code plus 100"),
        Case("technical_report_with_line_feeds_only", save_model.seal(sf.technical_report(
            sf.technical_text(["one", "two\rthree"], ending="\n")), sf.SEALED_AT),
             "LF alone ends a line; a CR anywhere is skipped"),
        Case("technical_report_without_line_feed", save_model.seal(sf.technical_report(
            sf.technical_text([], last="no line feed at all")), sf.SEALED_AT),
             "no line is shown"),
        Case("technical_report_last_byte_ends_a_line", bytes(line_feed_last),
             "the body runs to the file's last byte: a last byte of 110 ends the tail's line"),
        Case("technical_report_of_1200_lines", save_model.seal(
            sf.technical_report(thousand), sf.SEALED_AT), "more than 801 lines"),
        Case("technical_report_without_body", sf.raw_stored(header_only[:138]),
             "a file of 152 bytes: empty body, cannot be shown"),
        Case("technical_report_with_bad_seal", save_model.seal(
            sf.technical_report(body), sf.SEALED_AT),
             "bad seal", modified=sf.SEALED_AT + datetime.timedelta(seconds=9)),
    ]


def all_cases() -> dict[str, Case]:
    groups = [cycle_headers(), record_lines(), compact_thinning(), probes(), alarms(),
              results(), vacuum_tests(), failures(), reader(), technical_reports()]
    cases = {}
    for group in groups:
        for case in group:
            if case.name in cases:
                raise ValueError(f"two cases named {case.name}")
            cases[case.name] = case
    return cases


# Variant language files: English with single captions or messages changed.

def _replace_line(lines: list[str], number: int, text: str) -> None:
    lines[number - 1] = text


def _replace_message(lines: list[str], number: int, text: str) -> None:
    for i, line in enumerate(lines[:294]):
        if line.startswith(f"{number},"):
            lines[i] = f'{number},"{text}"'
            return
    raise ValueError(f"no record {number}")


@dataclasses.dataclass
class Variant:
    name: str
    note: str
    captions: dict[int, str] = dataclasses.field(default_factory=dict)
    messages: dict[int, str] = dataclasses.field(default_factory=dict)

    def data(self) -> bytes:
        lines = language_path("English").read_bytes().decode("cp1252").split("\r\n")[:-1]
        for number, text in self.captions.items():
            _replace_line(lines, number, text)
        for number, text in self.messages.items():
            _replace_message(lines, number, text)
        return "".join(line + "\r\n" for line in lines).encode("cp1252")


def variants() -> list[Variant]:
    return [
        Variant("LabelsAtTheirLimits", "every label exactly as long as its column", captions={
            321: "M" * 30, 324: "Cycle number " + "." * 17, 340: "Time___Phase",
            341: "R" * 26 + " ;max 26", 344: "A" * 26, 345: "Action taken by the user..",
            348: "=" * 48, 350: "Operator signature " + "_" * 29, 357: "T" * 30,
            358: "Vacuum test result ..........", 353: "x" * 47, 354: "y" * 46}),
        Variant("LongMachineLabel", "label 321 of 31 characters", captions={321: "M" * 31}),
        Variant("LongColumnLabel", "column label 340 of 13 characters",
                captions={340: "Time   Phase "}),
        Variant("LongResultLabel", "label 341 of 27: too long for the alarm footer only",
                captions={341: "Result of the whole cycle.."}),
        Variant("LongAlarmLabel", "label 344 of 29: too long for the cycle's alarm footer, "
                "not for the vacuum test's", captions={344: "Alarm raised during the cycle"}),
        Variant("LongTestLabel", "label 357 of 31", captions={357: "Vacuum test programme name...."
                                                                   "."}),
        Variant("LongAlarmLine", "centred text 348 of 49", captions={348: "!" * 49}),
        Variant("LongSignatureLine", "centred text 350 of 49", captions={350: "_" * 49}),
        Variant("LongClosingLine", "centred text 355 of 49: the full normal footer only",
                captions={355: "Keep this report with the sterilisation records!!"}),
        Variant("LongFastLine", "centred text 353 of 49: cycle 12 only",
                captions={353: "UNWRAPPED INSTRUMENTS ONLY - DO NOT STORE, USE NOW"[:49]}),
        Variant("LongCycleName", "message 50 of 243 characters: a full report line over 255",
                messages={50: "134 °C Wrapped" + " and more" * 25 + "..." + "x"}),
        Variant("TwoSampleTexts", "event 121 also reads 120: event 120 is never shown, 121 is",
                messages={522: "120"}),
    ]
