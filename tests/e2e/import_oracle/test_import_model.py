"""The model and the device file writer checked against worked examples and hand-derived names.

If these fail, a disagreement with the program under test says nothing about the program.
"""

from __future__ import annotations

import datetime
import unittest

import import_cases
import import_model
import save_model
from device_image import text
from drive_files import (FOLDER, LINK, NO_FILE, CycleMoc, Entry, TechnicalReportMoc,
                         chained, device_files)

at = datetime.datetime
MESSAGES = save_model.load_messages()


def paths(entries: list[Entry]) -> list[str]:
    return [e.path for e in entries]


class TheSearchFollowsTheWorkedExamples(unittest.TestCase):
    def test_z_then_a_x_then_a_b_y(self):
        entries = [Entry("A/B/y.moc"), Entry("A/x.moc"), Entry("z.moc")]
        self.assertEqual(paths(import_model.found_files(entries)),
                         ["z.moc", "A/x.moc", "A/B/y.moc"])

    def test_names_compare_without_letter_case_and_folders_count_only_as_folders(self):
        entries = [Entry("b/1.moc"), Entry("C.MOC"), Entry("a.Moc"), Entry("B.moc"),
                   Entry("A/2.moc"), Entry("c/3.moc"), Entry("x.moc", FOLDER),
                   Entry("x.moc/4.moc"), Entry("y.moc", LINK, target="none"),
                   Entry("z.mocx"), Entry("moc"), Entry("w.moc.bak")]
        self.assertEqual(paths(import_model.found_files(entries)),
                         ["a.Moc", "B.moc", "C.MOC", "A/2.moc", "b/1.moc", "c/3.moc",
                          "x.moc/4.moc"])

    def test_the_search_case_comes_out_in_the_order_worked_out_by_hand(self):
        case = import_cases.search_order()
        self.assertEqual(paths(import_model.found_files(case.entries)),
                         ["a10.moc", "a2.Moc", "b.moc", "C.MOC", "z.moc",
                          "A/c.moc", "A/x.moc", "A/B/y.moc",
                          "beta/one.moc", "beta/deeper/more/two.MoC",
                          "delta/3.moc", "delta/y/5.moc", "delta/Z/4.moc",
                          "Gamma/last.moc"])

    def test_at_most_10001_files_the_first_ones_found(self):
        case = import_cases.at_most_10001()
        found = import_model.found_files(case.entries)
        self.assertEqual(len(found), 10001)
        self.assertEqual((found[0].path, found[-1].path), ("f1/n00000.moc", "F2/n04000.moc"))


class TechnicalReportsFollowTheWorkedExamples(unittest.TestCase):
    def report(self) -> bytes:
        return chained([TechnicalReportMoc(text("SERVICE"), 1539, "05/03/2012", "10:15")])[0]

    def test_the_date_and_time_lie_at_160_and_202_stored_plus_100(self):
        data = self.report()
        self.assertEqual(bytes(b - 100 for b in data[160:170]), b"05/03/2012")
        self.assertEqual(bytes(b - 100 for b in data[202:207]), b"10:15")
        self.assertEqual(data[32:43], b"TRSERV00001")

    def test_05_03_12_10_15_goes_to_2012_service_named_technical_report_between_two_marks(self):
        report = Entry("r.moc", data=self.report(), modified=at(2012, 3, 5, 10, 15, 40))
        cycle = device_files(["c.moc"], [CycleMoc(text("STD 134"), 42, (10, 15, 5, 3, 12))])[0]
        outcome = import_model.expected_import([report, cycle], MESSAGES)
        self.assertEqual(outcome.lines, ["2012/03/STD134_00042_134Wrapped_050312_1015.dtl",
                                         "2012/SERVICE/SERVICE_01539_TechnicalReport_050312_"
                                         "1015.dtl"])
        self.assertEqual([(r.code, r.description, r.name, r.date, r.id) for r in outcome.rows],
                         [("DL134W00001", "", "STD134_00042", "05-03-12 10.15", "1"),
                          ("TRSERV00001", "Technical Report", "SERVICE_01539",
                           "05-03-12 10.15", "1")])

    def test_a_reports_row_is_dated_by_the_local_time_of_the_file(self):
        report = Entry("r.moc", data=self.report(), modified=at(2025, 1, 1, 0, 30, 5))
        outcome = import_model.expected_import([report], MESSAGES)
        self.assertEqual(outcome.lines,
                         ["2025/SERVICE/SERVICE_01539_TechnicalReport_050312_1015.dtl"])

    def test_only_a_code_beginning_with_tr_once_0x00_and_0xff_are_gone_marks_a_report(self):
        for code, technical in [(b"TRX", True), (b"\x00\xffTR", True), (b"trSERV", False),
                                (b"XTR", False), (b"T\x00R", True), (b"T", False)]:
            header = bytes(32) + code.ljust(16, b"\x00") + bytes(118)
            with self.subTest(code=code):
                self.assertEqual(import_model.is_technical_report(header), technical)


class RowsAndSealsFollowTheCatalogueAndTheUpload(unittest.TestCase):
    def test_types_255_short_files_and_unreadable_ones_give_no_row(self):
        files = device_files(["a.moc", "b.moc", "c.moc"],
                             [CycleMoc(text("A"), 1, (8, 0, 1, 1, 12)),
                              CycleMoc(text("B"), 2, (8, 0, 1, 1, 12), file_type=NO_FILE),
                              CycleMoc(text("C"), 3, (8, 0, 1, 13, 12))])
        short = Entry("d.moc", data=files[0].data[:165])
        locked = Entry("e.moc", data=files[0].data, readable=False)
        outcome = import_model.expected_import(files + [short, locked], MESSAGES, erase=True)
        self.assertEqual([r.entry.path for r in outcome.rows], ["a.moc", "c.moc"])
        self.assertEqual(paths(outcome.reported), ["d.moc", "e.moc"])
        self.assertEqual([r.entry.path for r in outcome.undated], ["c.moc"])
        # Only the imported file goes; the others keep their records on the drive.
        self.assertEqual(outcome.deleted, ["a.moc"])
        self.assertEqual(outcome.lines, ["2012/01/A_00001_134Wrapped_010112_0800.dtl"])

    def test_sealed_bytes_wrap_the_whole_file_and_a_zero_in_the_checksum(self):
        data = chained([CycleMoc(text("A"), 1, (8, 0, 1, 1, 12), samples=3)])[0]
        self.assertEqual(len(data), 166 + 39)
        total = sum(data) % 65536
        self.assertEqual(import_model.tail(data),
                         bytes([total >> 8]) + data + b"\x00" + bytes([total & 0xFF]))

    def test_file_ids_run_per_kind_as_in_the_catalogue(self):
        files = device_files([f"{n}.moc" for n in range(4)],
                             [CycleMoc(text("A"), 1, (8, 0, 1, 1, 12), code=text("DL134W0001")),
                              TechnicalReportMoc(text("S"), 2, code=text("TR134W0002")),
                              CycleMoc(text("B"), 3, (8, 0, 1, 1, 12), code=text("XX134WZZ")),
                              TechnicalReportMoc(text("S"), 4, code=text("TR134W0004"))])
        rows = import_model.expected_import(files, MESSAGES).rows
        self.assertEqual([r.id for r in rows], ["1", "1", "2", "2"])

    def test_the_chain_names_each_next_file_and_the_previous_one(self):
        files = [CycleMoc(text("A"), 1, (8, 0, 1, 1, 12), samples=2),
                 TechnicalReportMoc(text("S"), 2),
                 CycleMoc(text("B"), 3, (8, 0, 1, 1, 12), samples=0)]
        data = chained(files)
        starts = [2152, 2152 + len(data[0]), 2152 + len(data[0]) + len(data[1])]
        self.assertEqual([int.from_bytes(d[50:54], "big") for d in data],
                         starts[1:] + [starts[2] + 166])
        self.assertEqual([int.from_bytes(d[54:58], "big") for d in data],
                         [0xFFFFFFFF] + starts[:2])

    def test_the_existing_files_case_collides_where_it_means_to(self):
        case = import_cases.existing_sealed()
        first = case.expected(MESSAGES)
        self.assertEqual(first.lines, [
            "2012/03/HOLLOW_00007_134Hollow_050312_1500_2.dtl",
            "2012/SERVICE/SERVICE_01539_TechnicalReport_050312_1015_2.dtl",
            "2012/03/STD134_00042_134Wrapped_050312_1420.dtl",
            "2012/03/PRION_00008_134Prion_050312_1600.dtl",
            "2012/03/PRION_00008_134Prion_050312_1600.dtl",
        ])


    def test_the_rows_case_seals_under_the_names_worked_out_by_hand(self):
        outcome = import_cases.what_is_listed().expected(MESSAGES)
        self.assertEqual(outcome.lines, [
            "2012/03/STD134_00042_134Wrapped_050312_1015.dtl",
            "2013/04/MAINBOARD_00045_134Wrapped_070413_1200.dtl",
            "2014/06/HEADERONLY_00048_134Hollow_010614_0800.dtl",
            "2012/03/LOWER_00043_134Unwrapped_060312_1100.dtl",
            "2012/SERVICE/SERVICE_01539_TechnicalReport_050312_1015.dtl",
            "2025/SERVICE/ABC0000_00007_TechnicalReport_281224_1640.dtl",
            "2023/SERVICE/BOARD2_00009_TechnicalReport_010223_0800.dtl",
            "2023/SERVICE/__Pià___00008_TechnicalReport_310723_2305.dtl",
            "2014/06/a_b_c_d_e_f_g_h_i_00050_134Textiles_030614_0820.dtl",
            "2012/03/XTR_00044_134Porous_060312_1130.dtl",
            "2014/06/INSIDE_00049_134Prion_020614_0810.dtl",
        ])
        self.assertEqual([e.path for e in outcome.reported],
                         ["just_short.moc", "nothing.moc", "short.moc"])
        self.assertEqual([r.entry.path for r in outcome.undated], ["undated.moc"])
