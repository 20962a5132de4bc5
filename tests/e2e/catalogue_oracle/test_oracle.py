"""The layout writer and the expected-result side checked against known worked examples.

If these fail, a disagreement with the program under test says nothing about the program.
"""

from __future__ import annotations

import unittest

import oracle
from device_image import (DeviceImage, Header, Slot, chain, decode_state, encode_state, file,
                          text)


def outcome(headers, memory_size=2097152, slots=None, flash_size=2097152):
    image = DeviceImage(flash_size=flash_size, slots=slots or [Slot(0x50, text("DataLogger"))],
                        headers=headers)
    return oracle.expected(image.flash(), memory_size)


def row_names(result):
    return [row["name"] for row in result.catalogue["rows"]]


class LayoutWriterPutsEachFieldWhereTheDeviceKeepsIt(unittest.TestCase):
    def test_header_fields_sit_at_their_offsets_with_their_byte_orders(self):
        header = Header(address=2152, code=text("C1CYCL"), file_type=0x50,
                        next_address=0x00102030, prev_address=0xFFFFFFFF, number=12345,
                        name=text("CYCLE"), stamp=(9, 5, 3, 3, 11)).encode()
        self.assertEqual(len(header), 166)
        self.assertEqual(header[32:48], b"C1CYCL" + bytes(10))
        self.assertEqual(header[48], 0x50)
        self.assertEqual(header[50:54], bytes([0x00, 0x10, 0x20, 0x30]))
        self.assertEqual(header[54:58], b"\xff\xff\xff\xff")
        self.assertEqual(header[59:62], bytes([0x39, 0x30, 0x00]))
        self.assertEqual(header[96:116], b"CYCLE" + b" " * 15)
        self.assertEqual(header[140:145], bytes([9, 5, 3, 3, 11]))

    def test_erased_next_address_puts_ff_at_offset_50_only(self):
        header = Header(address=2152, next_address=0x00001000, erased_next=True).encode()
        self.assertEqual(header[50:54], bytes([0xFF, 0x00, 0x10, 0x00]))

    def test_raw_overrides_and_patches_are_written_over_the_fields(self):
        image = DeviceImage(flash_size=8192,
                            headers=[Header(address=2152, number=7,
                                            overrides={59: bytes([0x40, 0x42, 0x0F])})],
                            patches={2152 + 48: b"\xff"})
        flash = image.flash()
        self.assertEqual(flash[2152 + 59:2152 + 62], bytes([0x40, 0x42, 0x0F]))
        self.assertEqual(flash[2152 + 48], 0xFF)

    def test_command_slot_is_type_parameters_and_blank_padded_label(self):
        slot = Slot(0x50, text("DataLogger")).encode()
        self.assertEqual(slot, bytes([0x50, 0xFF, 0xAA, 0xFF, 0xFF, 0xFF]) + b"DataLogger      ")

    def test_chain_links_headers_and_leaves_erased_flash_at_its_end(self):
        image = DeviceImage(flash_size=65536, headers=chain([file(body_size=100),
                                                             file(body_size=100)]))
        flash = image.flash()
        self.assertEqual(flash[2152 + 50:2152 + 54], (2152 + 266).to_bytes(4, "big"))
        self.assertEqual(flash[2418 + 54:2418 + 58], (2152).to_bytes(4, "big"))
        self.assertEqual(flash[2418 + 50:2418 + 54], (2418 + 266).to_bytes(4, "big"))
        self.assertEqual(flash[2684:2684 + 166], b"\xff" * 166)

    def test_state_file_decodes_back_to_the_same_areas(self):
        image = DeviceImage(flash_size=8192, headers=chain([file(code=text("X"))]))
        registers, eeprom, flash = decode_state(encode_state(image))
        self.assertEqual(flash, image.flash())
        self.assertEqual(registers[140:144], (8192).to_bytes(4, "big"))
        self.assertEqual(eeprom[32:36], (2152 + 366).to_bytes(4, "big"))


class RowTextsFollowTheWorkedExamples(unittest.TestCase):
    def test_blank_removal_drops_every_other_blank_of_a_run(self):
        self.assertEqual(oracle.file_name(b"AB  CD".ljust(20)), "AB CD")
        self.assertEqual(oracle.file_name(b"AB C".ljust(20)), "ABC")
        self.assertEqual(oracle.file_name(b"A   B".ljust(20)), "A B")
        self.assertEqual(oracle.file_name(b"   AB".ljust(20)), "AB")
        self.assertEqual(oracle.file_name(b" " * 20), "")

    def test_file_numbers_are_little_endian_and_padded_to_five_digits(self):
        self.assertEqual(oracle.file_id(bytes([0x39, 0x30, 0x00])), "12345")
        self.assertEqual(oracle.file_id(bytes([0x07, 0x00, 0x00])), "00007")
        self.assertEqual(oracle.file_id(bytes([0x40, 0x42, 0x0F])), "1000000")

    def test_dates_check_ranges_only(self):
        self.assertEqual(oracle.file_date(bytes([9, 5, 3, 3, 11])), "03-03-11 09.05")
        self.assertEqual(oracle.file_date(bytes([24, 0, 3, 3, 11])), "03-03-11 24.00")
        self.assertEqual(oracle.file_date(bytes([25, 0, 3, 3, 11])), "")
        self.assertEqual(oracle.file_date(bytes([10, 30, 31, 2, 24])), "31-02-24 10.30")

    def test_memory_label_is_megabytes_cut_to_one_decimal_times_1024(self):
        self.assertEqual(oracle.memory_label(2097152), "2048")
        self.assertEqual(oracle.memory_label(4194304), "4198.4")
        self.assertEqual(oracle.memory_label(0), "0")

    def test_device_characters_are_windows_1252(self):
        self.assertEqual(oracle.device_text(bytes([0xB0, 0x80, 0xE8])), "°€è")

    def test_description_is_the_first_matching_slot_label_without_blanks(self):
        slots = [Slot(0x05, text("Vacuum test")), Slot(0x50, text("DataLogger")),
                 Slot(0x05, text("Other")), Slot(0xFF, raw=b"\xff" * 22)]
        result = outcome(chain([file(file_type=0x05), file(file_type=0x50),
                                file(file_type=0x42)]), slots=slots)
        self.assertEqual([row["description"] for row in result.catalogue["rows"]],
                         ["Vacuumtest", "DataLogger", ""])


class WalkFollowsTheWorkedExamples(unittest.TestCase):
    def test_erased_record_in_the_middle_is_followed_but_not_listed(self):
        result = outcome(chain([file(name=b"A"), file(name=b"B", file_type=0xFF),
                                file(name=b"C")]))
        self.assertEqual(row_names(result), ["A_00000", "C_00000"])

    def test_self_pointing_first_header_is_listed_once(self):
        result = outcome([Header(address=2152, name=b"LOOP", next_address=2152)])
        self.assertEqual(row_names(result), ["LOOP_00000"])
        self.assertEqual(result.kind, "catalogue")

    def test_self_pointing_later_header_is_not_listed(self):
        files = chain([file(name=b"A"), file(name=b"B"), file(name=b"C")])
        files[1].next_address = files[1].address
        self.assertEqual(row_names(outcome(files)), ["A_00000"])

    def test_pointer_equal_to_the_memory_size_is_accepted_one_more_is_corrupt(self):
        accepted = outcome(chain([file(name=b"A"), file(name=b"B")], end=1048576), 1048576)
        self.assertEqual((accepted.kind, row_names(accepted)),
                         ("catalogue", ["A_00000", "B_00000"]))
        corrupt = outcome(chain([file(name=b"A"), file(name=b"B")], end=1048577), 1048576)
        self.assertEqual((corrupt.kind, row_names(corrupt)), ("corrupt", ["A_00000"]))
        self.assertEqual(corrupt.catalogue["memory_used"], 1048576)

    def test_memory_size_zero_makes_every_pointer_corrupt(self):
        result = outcome(chain([file(name=b"A")]), 0)
        self.assertEqual((result.kind, row_names(result)), ("corrupt", []))

    def test_chain_ending_at_half_the_memory_sets_the_bar_at_half(self):
        result = outcome(chain([file()], end=1048576))
        self.assertEqual((result.catalogue["memory_used"], result.catalogue["memory_max"]),
                         (1048576, 2097152))

    def test_the_1001st_record_read_overflows_the_tables(self):
        many = [file(body_size=0) for _ in range(1000)]
        self.assertEqual(outcome(chain(many[:999])).kind, "catalogue")
        self.assertEqual(outcome(chain(many)).kind, "overflow")

    def test_running_file_id_counts_per_kind_of_file(self):
        slots = [Slot(0x50, text("DataLogger")), Slot(0x05, text("Vacuum"))]
        result = outcome(chain([file(code=b"C1CYCL01"), file(code=b"C2CYCL02"),
                                file(code=b"V1FW0203"), file(code=b"C3CYCL03"),
                                file(code=b"C4CYCL04", file_type=0x05)]), slots=slots)
        self.assertEqual([row["id"] for row in result.catalogue["rows"]],
                         ["1", "2", "1", "3", "1"])

    def test_lost_reply_starts_the_refresh_over_with_a_clear_loop_guard(self):
        flash = DeviceImage(slots=[Slot(0x50, text("DataLogger"))],
                            headers=chain([file(name=b"A"), file(name=b"B"),
                                           file(name=b"C")])).flash()
        # Long frames: command list (2), memory size, then headers from index 3.
        self.assertEqual(row_names(oracle.expected(flash, 2097152, drop_at=5)),
                         ["A_00000", "B_00000", "C_00000"])
        # Lost while reading the second header: the loop guard held the first header's
        # pointer, but the new walk starts with it cleared and reads the chain whole.
        self.assertEqual(row_names(oracle.expected(flash, 2097152, drop_at=4)),
                         ["A_00000", "B_00000", "C_00000"])


if __name__ == "__main__":
    unittest.main()
