"""The model checked against the worked examples of the device's rules, with S-record files
written by srec_cat and objcopy.

If these fail, a disagreement with the program under test says nothing about the program.
"""

from __future__ import annotations

import struct
import tempfile
import unittest
from pathlib import Path

import catalogue_oracle_path  # noqa: F401
import send_model as model
from device_image import DeviceImage, Slot, chain, file, text
from send_files import objcopy_s1, pattern, plain, srec_cat

DEFAULT_LIST = [model.DEFAULT_SLOT]


def memory_of(image: DeviceImage) -> model.Memory:
    return model.Memory(bytearray(image.eeprom()), bytearray(image.flash()), image.memory_size)


class FolderTest(unittest.TestCase):
    def setUp(self) -> None:
        scratch = tempfile.TemporaryDirectory()
        self.addCleanup(scratch.cleanup)
        self.folder = Path(scratch.name)


class FirmwareImagesFollowTheWorkedExamples(FolderTest):
    def test_the_s0_text_ab_12_gives_the_name_ab_12_with_11_blanks_and_version_12(self):
        path = srec_cat(self.folder, "x.mhx", [(0x80000, pattern(10, 1))], "AB_12")
        image = model.load(path.read_bytes(), str(path), DEFAULT_LIST)
        self.assertEqual(image.data[:32], b"\xff" * 32)
        self.assertEqual(image.data[32:48], b"AB_12" + b" " * 11)
        self.assertEqual(image.data[48:58], b"\xff\x0c" + b"\xff" * 8)
        self.assertEqual(image.file_type, 0x01)

    def test_a_long_s0_text_keeps_its_last_16_characters_upper_cased(self):
        path = srec_cat(self.folder, "x.mhx", [(0x80000, pattern(10, 1))],
                        "controller_main_board_v2_45")
        image = model.load(path.read_bytes(), str(path), DEFAULT_LIST)
        self.assertEqual(image.data[32:50], b"MAIN_BOARD_V2_45\xff\x2d")

    def test_data_at_fbff0_to_fc00f_keeps_the_bytes_up_to_fbfff(self):
        data = pattern(32, 2)
        path = srec_cat(self.folder, "x.mhx", [(0xFBFF0, data)], "top_01", block_size=32)
        image = model.load(path.read_bytes(), str(path), DEFAULT_LIST).data
        record = b"\xff" * 112 + data[:16]
        self.assertEqual(image[58:], b"\xff\xbf\x80\x07\x00\x80" + record + model.END_RECORD)

    def test_data_in_block_0_only_gives_records_from_f80000_up_with_marker_0(self):
        data = pattern(200, 3)
        path = srec_cat(self.folder, "x.mhx", [(0x80000, data)], "low_02")
        image = model.load(path.read_bytes(), str(path), DEFAULT_LIST).data
        second = data[128:] + b"\xff" * 56
        self.assertEqual(image[58:], b"\xf8\x00\x00\x00\x00\x80" + data[:128]
                         + b"\xf8\x00\x80\x00\x00\x80" + second + model.END_RECORD)
        self.assertEqual(len(image), 58 + 2 * 134 + 6)

    def test_blocks_are_packed_from_7_down_marking_each_block_once(self):
        pieces = [(0x80000, pattern(10, 4)), (0xB8000, pattern(10, 5)), (0xBC000, pattern(10, 6)),
                  (0xF0000, pattern(10, 7)), (0xF0080, pattern(10, 8))]
        path = srec_cat(self.folder, "x.mhx", pieces, "order_03")
        image = model.load(path.read_bytes(), str(path), DEFAULT_LIST).data
        headers = [image[at:at + 6] for at in range(58, len(image) - 6, 134)]
        self.assertEqual([h.hex() for h in headers],
                         ["ff0000070080", "ff0080000080", "fb8000030080", "fbc000000080",
                          "f80000000080"])

    def test_16_bit_firmware_takes_64_byte_records_from_the_even_address_before_the_data(self):
        data = pattern(70, 9)
        path = objcopy_s1(self.folder, "boot_07.mhx", data, 0x1001)
        image = model.load(path.read_bytes(), str(path), DEFAULT_LIST)
        self.assertEqual(image.file_type, 0xA5)
        self.assertEqual(image.data[32:50], b"BOOT_07.MHX" + b" " * 5 + b"\xff\x07")
        self.assertEqual(image.data[58:], b"\x00\x10\x00\x00\x00\x40" + b"\xff" + data[:63]
                         + b"\x00\x10\x40\x00\x00\x40" + data[63:] + b"\xff" * 57
                         + model.END_RECORD)

    def test_a_file_not_starting_with_s0_or_with_a_damaged_line_is_refused(self):
        path = objcopy_s1(self.folder, "a.mhx", pattern(100, 10), 0)
        lines = path.read_bytes().split(b"\n")
        for name, changed in [("no S0", lines[1:]),
                              ("bad hex", lines[:2] + [lines[2][:10] + b"G0" + lines[2][12:]]
                               + lines[3:]),
                              ("too short", lines[:2] + [lines[2][:15]] + lines[3:])]:
            with self.subTest(name):
                with self.assertRaises(model.Refused) as refused:
                    model.load(b"\n".join(changed), "a.mhx", DEFAULT_LIST)
                self.assertEqual(refused.exception.message, "File not correct.")


class DataImagesFollowTheWorkedExamples(FolderTest):
    def test_a_message_file_carries_the_4th_and_5th_characters_of_its_selection_name(self):
        data = pattern(40, 11)
        path = srec_cat(self.folder, "AB_IT.msx", [(0x10, data)], None, 16, bare=True)
        for name, letters in [("AB_IT.msx", b"IT"), ("C:\\msg\\AB_IT.msx", b"ms")]:
            with self.subTest(name):
                image = model.load(path.read_bytes(), name, DEFAULT_LIST)
                self.assertEqual(image.file_type, 0x30)
                self.assertEqual(image.data[32:48], b"MS0369AA        ")
                self.assertEqual(image.data[76:], data + b"\xff" + letters + b"\x91" * 62)

    def test_an_empty_datalogger_file_gives_77_bytes_ending_in_the_read_past_its_end(self):
        image = model.load(b"", "empty.dtl", DEFAULT_LIST)
        self.assertEqual(image.data, b"\xff" * 32 + b"DT0369AA" + b" " * 8 + b"\xff" * 10
                         + b"\x00" + b"\xff" * 17 + b"\x00")

    def test_a_data_file_keeps_its_first_32768_bytes_and_an_empty_one_gives_one_0xff(self):
        data = pattern(40000, 12)
        self.assertEqual(model.load(data, "p.dat", DEFAULT_LIST).data[76:], data[:32768])
        self.assertEqual(model.load(b"", "p.dat", DEFAULT_LIST).data[76:], b"\xff")

    def test_the_first_slot_of_the_type_decides_and_a_type_without_slot_may_be_sent(self):
        def slot(file_type: int, flags: int) -> bytes:
            return bytes([file_type, 0xFF, flags, 0xFF, 0xFF, 0xFF]) + b" " * 16
        self.assertEqual(model.load(b"x", "a.dtl", [slot(0x50, 0xAA)]).file_type, 0x20)
        with self.assertRaises(model.Refused):
            model.load(b"x", "a.dtl", [slot(0x20, 0xAA), slot(0x20, 0xEA)])
        model.load(b"x", "a.dtl", [slot(0x20, 0xEA), slot(0x20, 0xAA)])

    def test_files_of_one_mebibyte_and_unknown_extensions_are_refused(self):
        for data, name, message in [(bytes(1 << 20), "a.dtl", model.TOO_BIG),
                                    (b"S2" * (1 << 19), "a.msx", model.TOO_BIG),
                                    (b"x", "a.txt", model.NOT_CORRECT)]:
            with self.subTest(name):
                with self.assertRaises(model.Refused) as refused:
                    model.load(data, name, DEFAULT_LIST)
                self.assertEqual(refused.exception.message, message)
        self.assertEqual(len(model.load(bytes((1 << 20) - 1), "a.dtl", DEFAULT_LIST).data),
                         76 + 0xFFFFF)


class DownloadsFollowTheWorkedExamples(FolderTest):
    def device(self, slots: list[Slot], first_end: int | None = None) -> model.Memory:
        headers = [] if first_end is None else chain([file(body_size=first_end - 2152 - 166)])
        return memory_of(DeviceImage(slots=slots + [Slot(0xFF, raw=b"\xff" * 22)],
                                     headers=headers))

    def writes(self, outcome: model.Outcome) -> list[tuple[int, int, int]]:
        return [(r.area, r.address, r.length) for r in outcome.requests if r.kind == "write"]

    def test_an_image_of_256_bytes_is_two_blocks_then_the_header_block(self):
        plain(self.folder, "p.dat", pattern(180, 13))
        outcome = model.send(self.device([]), [self.folder / "p.dat"], self.folder)
        self.assertEqual(self.writes(outcome), [(0x50, 2152, 128), (0x50, 2280, 128),
                                                (0x50, 2152, 128), (0x10, 32, 4)])

    def test_an_image_of_77_bytes_is_one_block_then_the_header_block_filled_with_0xff(self):
        plain(self.folder, "e.dtl", b"")
        memory = self.device([])
        outcome = model.send(memory, [self.folder / "e.dtl"], self.folder)
        self.assertEqual(self.writes(outcome), [(0x50, 2152, 77), (0x50, 2152, 128),
                                                (0x10, 32, 4)])
        header = [r for r in outcome.requests if r.kind == "write"][1].data
        self.assertEqual(header[48], 0x20)
        self.assertEqual(header[50:58], b"\x00\x00\x08\xb5\xff\xff\xff\xff")
        self.assertEqual(header[77:], b"\xff" * 51)
        self.assertEqual(memory.eeprom[32:36], b"\x00\x00\x08\xb5")

    def test_the_second_file_after_one_ending_at_5000_links_back_to_2152_and_ends_at_6000(self):
        plain(self.folder, "p.dtl", pattern(923, 14))  # 76 + 923 + 1 = 1000 bytes
        memory = self.device([Slot(0x50, text("DataLogger")), Slot(0x60, text("Report")),
                              Slot(0x30, text("Messages")), Slot(0x20, text("Data"),
                              parameters=b"\xff\xea\xff\xff\xff")], first_end=5000)
        memory.eeprom[262:264] = b"\x00\x09"
        outcome = model.send(memory, [self.folder / "p.dtl"], self.folder)
        self.assertEqual(memory.flash[5000 + 50:5000 + 58], struct.pack(">II", 6000, 2152))
        self.assertEqual(memory.flash[5000 + 48], 0x20)
        self.assertEqual(memory.eeprom[32:36], struct.pack(">I", 6000))
        self.assertEqual(memory.eeprom[262:264], b"\x00\x0a")
        self.assertIn(model.read(0x10, 262, 2), outcome.requests)

    def test_the_counter_search_passes_over_types_ending_in_1_or_a(self):
        slots = [bytes([t, 0xFF, 0xEA, 0xFF, 0xFF, 0xFF]) + b" " * 16
                 for t in (0x51, 0x5A, 0x01, 0x20, 0xA5)]
        self.assertEqual(model.counter_slot(slots, 0x20), 3)
        self.assertIsNone(model.counter_slot(slots, 0x01))
        self.assertEqual(model.counter_slot(slots, 0xA5), 4)
        self.assertIsNone(model.counter_slot(slots, 0x30))

    def test_an_end_exactly_at_the_memory_size_is_accepted_and_one_byte_more_refused(self):
        plain(self.folder, "p.dtl", pattern(923, 15))
        for size, refusal in [(6000, None), (5999, model.MEMORY_FULL)]:
            with self.subTest(memory_size=size):
                memory = self.device([], first_end=5000)
                memory.memory_size = size
                outcome = model.send(memory, [self.folder / "p.dtl"], self.folder)
                self.assertEqual(outcome.refusal, refusal)

    def test_an_empty_memory_takes_a_file_beyond_its_size_but_not_one_larger_than_it(self):
        plain(self.folder, "p.dtl", pattern(923, 16))
        for size, refusal in [(1000, None), (999, model.OVERFLOW)]:
            with self.subTest(memory_size=size):
                memory = self.device([])
                memory.memory_size = size
                self.assertEqual(model.send(memory, [self.folder / "p.dtl"],
                                            self.folder).refusal, refusal)

    def test_an_erase_leaves_the_datalogger_slot_an_empty_chain_and_zero_counters(self):
        memory = self.device([Slot(0x50, text("DataLogger")), Slot(0x20, text("Data"))], 5000)
        memory.eeprom[:] = b"\x07" * len(memory.eeprom)
        model.erase(memory)
        self.assertEqual(memory.flash[128:150], bytes.fromhex("50ffaaffffff") + b"DataLogger      ")
        self.assertEqual(memory.flash[:128] + memory.flash[150:],
                         b"\xff" * (len(memory.flash) - 22))
        self.assertEqual(memory.eeprom[32:36], bytes(4))
        self.assertEqual(memory.eeprom[256:496], bytes(240))
        self.assertEqual(memory.eeprom[:32] + memory.eeprom[36:256] + memory.eeprom[496:],
                         b"\x07" * (len(memory.eeprom) - 244))
