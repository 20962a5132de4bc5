"""The model and the layouts checked against worked examples and hand-derived names.

If these fail, a disagreement with the program under test says nothing about the program.
"""

from __future__ import annotations

import datetime
import itertools
import unittest

import save_cases
import save_model
from oracle import Request

at = datetime.datetime
SECOND = datetime.timedelta(seconds=1)
HOUR = datetime.timedelta(hours=1)
MESSAGES = save_model.load_messages()


class SealsFollowTheWorkedExamples(unittest.TestCase):
    def test_5_march_2012_14_20_36_gives_the_digits_065300321421(self):
        self.assertEqual(save_model.seal_of(at(2012, 3, 5, 14, 20, 36)), b"065300321421")

    def test_a_stamp_reads_back_as_the_time_it_was_built_from(self):
        moment = at(2099, 12, 31, 23, 59, 58)
        self.assertEqual(save_model.sealed_time(save_model.seal_of(moment)), moment)
        self.assertIsNone(save_model.sealed_time(b"00530531102A"))

    def test_a_200_byte_file_becomes_215_bytes_wrapped_in_its_checksum(self):
        device = bytes(range(200))
        sealed = save_model.seal(device, at(2012, 3, 5, 14, 20, 36))
        total = (sum(device) + 0) % 65536
        self.assertEqual(len(sealed), 215)
        self.assertEqual(sealed[:12], b"065300321421")
        self.assertEqual(sealed[12], total >> 8)
        self.assertEqual(sealed[13:213], device)
        self.assertEqual(sealed[213], 0)
        self.assertEqual(sealed[214], total & 0xFF)


class TheSealCheckFollowsTheWorkedExamples(unittest.TestCase):
    def accepted(self, sealed_at: datetime.datetime, modified: datetime.datetime) -> bool:
        return save_model.seal_accepted(save_model.seal_of(sealed_at), modified)

    def test_the_examples_of_the_reader(self):
        sealed = at(2012, 3, 5, 10, 15, 30)
        for modified, accepted in [((10, 15, 30), True), ((11, 15, 30), True),
                                   ((9, 15, 30), True), ((10, 15, 36), False),
                                   ((10, 15, 34), True), ((11, 15, 33), False),
                                   ((9, 15, 33), True)]:
            with self.subTest(modified=modified):
                self.assertEqual(self.accepted(sealed, at(2012, 3, 5, *modified)), accepted)
        self.assertFalse(self.accepted(at(2012, 3, 5, 10, 59, 58), at(2012, 3, 5, 11, 0, 2)))

    def test_the_steps_agree_with_the_rule_they_sum_up(self):
        # Accepted: the same time; one hour earlier exactly; or within five seconds sharing
        # date and hour, with the file's time or with it one hour later.
        def rule(sealed: datetime.datetime, modified: datetime.datetime) -> bool:
            if sealed == modified:
                return True
            if modified.hour >= 1 and sealed == modified - HOUR:
                return True
            for reference in (modified, modified + HOUR):
                if modified.hour == 23 and reference != modified:
                    continue  # the hour after 23 is not on the file's date
                if (sealed.date(), sealed.hour) == (reference.date(), reference.hour) \
                        and abs((sealed - reference).total_seconds()) <= 5:
                    return True
            return False

        bases = [at(2012, 3, 5, 10, 15, 30), at(2012, 3, 5, 10, 59, 58),
                 at(2012, 3, 5, 11, 0, 2), at(2012, 3, 5, 0, 0, 3), at(2012, 3, 5, 23, 59, 57),
                 at(2012, 3, 5, 0, 30, 0), at(2012, 3, 5, 23, 30, 0)]
        offsets = [h * 3600 + s for h, s in itertools.product((-2, -1, 0, 1, 2),
                                                               range(-8, 9))]
        for base, offset in itertools.product(bases, offsets):
            modified = base + offset * SECOND
            with self.subTest(sealed=base, modified=modified):
                self.assertEqual(self.accepted(base, modified), rule(base, modified))


class NamesFollowTheWorkedExamples(unittest.TestCase):
    def header(self, program: bytes, number: int, stamp, cycle_type: int) -> bytes:
        header = bytearray(166)
        header[96:116] = program.ljust(20)
        header[59:62] = number.to_bytes(3, "little")
        header[140:145] = bytes(stamp)
        header[152] = cycle_type
        return bytes(header)

    def test_std_134_cycle_42_of_5_march_2012_14_20(self):
        header = self.header(b"STD 134", 42, (14, 20, 5, 3, 12), 0x00)
        self.assertEqual(save_model.sealed_name(header, {50: "134 °C"}),
                         "STD134_00042_134_050312_1420.dtl")

    def test_a_trailing_run_of_four_slashes_reads_as_0000(self):
        self.assertEqual(save_model.program_part(b"A B C////".ljust(20)), "ABC0000")

    def test_the_shipped_cycle_names_lose_their_blanks_and_their_degree_sign(self):
        self.assertEqual(MESSAGES[50], "134 °C Wrapped")
        parts = [save_model.cycle_part(t, MESSAGES) for t in range(16)]
        self.assertEqual(parts[0], "134Wrapped")
        self.assertEqual(parts[13], "134Vacuumtest")
        self.assertEqual(parts[15], "121Userprogram")
        for part in parts:
            self.assertRegex(part, r"^[A-Za-z0-9-]+$")

    def test_only_the_low_four_bits_of_the_type_byte_choose_the_name(self):
        self.assertEqual(save_model.cycle_part(0x8C, MESSAGES), "134Fast")


class UploadsFollowTheWorkedExamples(unittest.TestCase):
    def test_256_100_and_300_bytes(self):
        flash = 0x50
        self.assertEqual(save_model.upload_requests(2152, 256),
                         [Request(flash, 2152, 128), Request(flash, 2280, 128),
                          Request(flash, 2408, 0)])
        self.assertEqual(save_model.upload_requests(5000, 100), [Request(flash, 5000, 100)])
        self.assertEqual(save_model.upload_requests(5000, 300),
                         [Request(flash, 5000, 128), Request(flash, 5128, 128),
                          Request(flash, 5256, 44)])


class TheCasesAreLaidOutAsIntended(unittest.TestCase):
    def outcome(self, name: str, existing=None) -> save_model.SaveOutcome:
        return save_cases.all_cases()[name].expected(MESSAGES, existing)

    def test_block_sizes_end_with_the_intended_requests(self):
        outcome = self.outcome("block_sizes")
        lengths = [[r.length for r in save_model.upload_requests(s.file.start, s.file.length)]
                   for s in outcome.saved]
        self.assertEqual(lengths, [[128] * 8 + [0], [128, 128, 0], [128, 128, 44], [128, 77],
                                   [100]])
        self.assertEqual([s.path for s in outcome.saved], [
            "2012/03/STD134_00042_134Wrapped_050312_1420.dtl",
            "2012/03/PRION134_00043_134Prion_060312_0905.dtl",
            "2012/03/HOLLOW_00044_134Hollow_060312_1645.dtl",
            "2012/04/TEXTILES_00045_134Textiles_020412_0800.dtl",
            # Shorter than its own header: the name fields beyond its end read as zero.
            "2012/04/SHOR_________________00046_134Wrapped_000000_0000.dtl",
        ])

    def test_program_texts_give_the_names_worked_out_by_hand(self):
        self.assertEqual([s.path for s in self.outcome("program_texts").saved], [
            "2000/01/ABC0000_00000_134Porous_010100_0000.dtl",
            "2099/12/PRION0000_00007_134Fast_311299_2359.dtl",
            "2023/06/AB____C_99999_134Vacuumtest_150623_1230.dtl",
            "2023/06/__0000_100000_121Userprogram_150623_1231.dtl",
            "2007/07/__Pi\u00e0___16777215_121Liquids_070707_0707.dtl",
            "2021/03/a_b_c_d_e_f_g_h_i_j__00012_121Culturemedia_040321_0605.dtl",
            "2021/03/_00013_134Wrapped_040321_0606.dtl",
            "2021/03/Caf\u00e9\u20ac134_00014_134Unwrapped_040321_0607.dtl",
            "2021/03/NUL_PAD" + "_" * 13 + "_00015_134Porous_040321_0608.dtl",
            "2021/03/V2.1A_B_00016_134Wrapped_040321_0609.dtl",
        ])

    def test_unusual_dates_are_saved_where_the_file_list_dates_them(self):
        self.assertEqual([s.path for s in self.outcome("unusual_dates").saved], [
            "2012/02/LATE_00050_134Wrapped_310212_2400.dtl",
            "2024/04/APRIL_00051_134Wrapped_310424_0059.dtl",
        ])

    def test_rows_pair_with_the_records_they_show(self):
        outcome = self.outcome("rows_and_records")
        names = [s.path.split("/")[-1].split("_")[0] for s in outcome.saved]
        self.assertEqual(names, ["FIRST", "AFTERABORTED", "MAINBOARD", "SHORTCODE", "NOCODE",
                                 "LAST"])
        self.assertEqual(len(outcome.skipped), 3)
        files = save_model.chain_files(save_cases.all_cases()["rows_and_records"].image.flash())
        self.assertEqual(files[1].header[48], 0xFF)
        self.assertEqual(outcome.saved[1].file.start, files[1].end)
        self.assertEqual(outcome.saved[1].file.length, 300)

    def test_colliding_names_take_the_next_free_number_and_a_second_save_replaces(self):
        first = self.outcome("collisions")
        self.assertEqual([s.path for s in first.saved], [
            "2012/03/STD134_00042_134Wrapped_050312_1420.dtl",
            "2012/03/STD134_00042_134Wrapped_050312_1420_2.dtl",
            "2012/03/HOLLOW_00007_134Hollow_050312_1500_2.dtl",
            "2012/03/PRION_00008_134Prion_050312_1600_3.dtl",
        ])
        again = self.outcome("collisions",
                             {p: b"0" * 12 + tail for p, tail in first.files.items()})
        self.assertEqual([s.path for s in again.saved], [s.path for s in first.saved])
        self.assertEqual(again.files, first.files)

    def test_the_silent_device_answers_the_first_file_and_one_block_of_the_second(self):
        outcome = self.outcome("silent_midway")
        self.assertFalse(outcome.complete)
        self.assertEqual(len(outcome.saved), 1)
        self.assertEqual(outcome.requests[-1],
                         Request(0x50, outcome.saved[0].file.end + 128, 128))
