"""The device memories the catalogue read is tried against."""

from __future__ import annotations

import dataclasses

from device_image import CHAIN_START, DeviceImage, Header, Slot, chain, file, text

MIB = 1048576

# Types of the command list below: cycle records, firmware, messages, vacuum tests, parameters.
DATALOGGER, FIRMWARE, MESSAGES, VACUUM_TEST, PARAMETERS = 0x50, 0x10, 0x20, 0x05, 0x30
BOOT_FIRMWARE = 0x11  # labelled "Firm ware": the same description as FIRMWARE once blanks go
ALARMS = 0xAB  # a type whose hexadecimal form has letters
RAW_LABEL = 0x60  # a label with 0xFF, 0x00 and Windows-1252 signs: only blanks are dropped
UNLISTED_TYPE, OTHER_UNLISTED_TYPE = 0x42, 0x43  # file types without a command-list slot
NO_FILE = 0xFF


def command_list() -> list[Slot]:
    return [
        Slot(DATALOGGER, text("DataLogger")),
        Slot(FIRMWARE, text("Firmware"), parameters=bytes([0x01, 0x00, 0x02, 0x10, 0x00])),
        Slot(MESSAGES, text("Messages")),
        Slot(VACUUM_TEST, text("Vacuum test")),
        Slot(PARAMETERS, text("Temp. 134°C")),
        # A second slot of the firmware type: the first one gives the description.
        Slot(FIRMWARE, text("Boot loader")),
        Slot(BOOT_FIRMWARE, text("Firm ware")),
        Slot(ALARMS, text("  Alarm log")),
        Slot(RAW_LABEL, b"\xffRaw\x00label \x80\x96"),
        Slot(NO_FILE, raw=b"\xff" * 22),
    ]


COMMAND_LIST_READS = len(command_list())  # the end slot is read too


@dataclasses.dataclass
class Case:
    name: str
    image: DeviceImage
    faults: list[str] = dataclasses.field(default_factory=list)
    # Long frame (0-based) the device leaves unanswered, as the faults above arrange.
    drop_at: int | None = None
    # Speed-switch frames sent before the device answers one, as the faults above arrange.
    handshake_frames: int = 1
    deadline: float = 60.0


def _image(headers: list[Header], **fields) -> DeviceImage:
    return DeviceImage(slots=command_list(), headers=headers, **fields)


def rows_and_stamps() -> list[Header]:
    """Files whose rows exercise codes, names, file numbers and stamps."""
    return chain([
        file(code=text("C1CYCL0001"), file_type=DATALOGGER, number=0x003039,
             name=text("CYCLE 134"), stamp=(9, 5, 3, 3, 11)),
        file(code=text("C1CYCL0002"), file_type=DATALOGGER, number=7,
             name=text("PRION  CYCLE"), stamp=(24, 0, 15, 6, 23)),
        file(code=text("V1FW0203"), file_type=FIRMWARE, number=0x0F4240,
             name=text("  MAIN BOARD"), stamp=(25, 0, 1, 1, 20)),
        file(code=text("M1MSGITA"), file_type=MESSAGES, number=0xFFFFFF,
             name=text("A   B"), stamp=(10, 30, 31, 2, 24)),
        file(code=b"C1\x00CY\xffCL0003", file_type=PARAMETERS, number=0,
             name=text("Più  caldo °C"), stamp=(12, 60, 1, 1, 1)),
        file(code=text("C1CYCL0004"), file_type=DATALOGGER, number=99999,
             name=text("A  B  C"), stamp=(0, 59, 31, 12, 99)),
        file(code=text("C1CYCL0005"), file_type=DATALOGGER, number=100000,
             name=text("ABCDEFGHIJKLMNOPQRST"), stamp=(8, 0, 0, 5, 22)),
        file(code=text("C1CYCL0006"), file_type=DATALOGGER, number=1,
             name=b" " * 20, stamp=(8, 0, 5, 13, 22)),
        file(code=text("C1CYCL0007"), file_type=DATALOGGER, number=2,
             name=text("A B C D"), stamp=(8, 0, 5, 5, 100)),
        file(code=text("V1VT0001"), file_type=VACUUM_TEST, number=3,
             name=text("VACUUM TEST"), stamp=(23, 59, 1, 12, 0)),
        file(code=text("A1ALRM0001"), file_type=ALARMS, number=4,
             name=text("ALARMS"), stamp=(1, 2, 3, 4, 5)),
        # Characters as they come: zero bytes and tabs are kept, 0x80 is the euro sign.
        file(code=text("C1CYCL0008"), file_type=RAW_LABEL, number=5,
             name=b"NUL\x00PAD".ljust(20, b"\x00"), stamp=(1, 2, 3, 4, 5)),
        file(code=text("C1CYCL0009"), file_type=DATALOGGER, number=6,
             name=b"TAB\tX \x80 \x96", stamp=(1, 2, 3, 4, 5)),
    ])


def numbering() -> list[Header]:
    """Files whose running File Id and descriptions follow the kinds of file."""
    return chain([
        file(code=text("C1CYCL0001"), file_type=DATALOGGER, name=text("CYCLE")),
        file(code=text("C2CYCL0002"), file_type=DATALOGGER, name=text("CYCLE")),
        file(code=text("C1CYCL0009"), file_type=NO_FILE, name=text("ABORTED")),
        file(code=text("V1FW0203"), file_type=FIRMWARE, name=text("MAIN")),
        file(code=text("C3CYCL0003"), file_type=DATALOGGER, name=text("CYCLE")),
        file(code=text("C4CYCL0004"), file_type=VACUUM_TEST, name=text("TEST")),
        file(code=text("X9CYCL"), file_type=UNLISTED_TYPE, name=text("ODD")),
        file(code=text("C5CYCL0005"), file_type=VACUUM_TEST, name=text("TEST")),
        file(code=b"\xff" * 16, file_type=UNLISTED_TYPE, name=text("BLANK CODE")),
        file(code=b"\xff" * 16, file_type=UNLISTED_TYPE, name=text("BLANK CODE")),
        file(code=text("V2FW0204"), file_type=FIRMWARE, name=text("MAIN")),
        file(code=text("AB"), file_type=DATALOGGER, name=text("SHORT")),
        file(code=text("M1MSGENG"), file_type=PARAMETERS, name=text("TEMP")),
        # Another type with the same description is the same kind of file.
        file(code=text("V3FW0205"), file_type=BOOT_FIRMWARE, name=text("BOOT")),
        # Two types without a slot share the empty description.
        file(code=text("X8CYCL"), file_type=OTHER_UNLISTED_TYPE, name=text("ODD")),
    ])


def _many(count: int) -> list[Header]:
    return chain(file(code=text(f"C1CYCL{n:04d}"), file_type=DATALOGGER, number=n,
                      name=text("CYCLE"), body_size=90) for n in range(count))


def _loop_of_two() -> list[Header]:
    # Two headers pointing at each other: the second points back, which ends the walk.
    files = chain([file(code=text("C1CYCL0001"), name=text("PING")),
                   file(code=text("C1CYCL0002"), name=text("PONG"))])
    files[1].next_address = files[0].address
    return files


def _self_pointing_later() -> list[Header]:
    files = chain([
        file(code=text("C1CYCL0001"), name=text("FIRST")),
        file(code=text("C1CYCL0002"), name=text("SECOND")),
        file(code=text("C1CYCL0003"), name=text("LOOPS")),
        file(code=text("C1CYCL0004"), name=text("NEVER READ")),
    ])
    files[2].next_address = files[2].address
    return files


def _ending_at(end: int, last_next: int | None = None) -> list[Header]:
    files = chain([
        file(code=text("C1CYCL0001"), name=text("FIRST")),
        file(code=text("C1CYCL0002"), name=text("SECOND")),
        file(code=text("C1CYCL0003"), name=text("LAST")),
    ], end=end)
    if last_next is not None:
        files[-1].next_address = last_next
    return files


def _beyond(end: int) -> list[Header]:
    # A well-formed file where the offending pointer leads, for a reader that follows it anyway.
    files = _ending_at(end)
    files.append(Header(address=end, code=text("C1CYCL0666"), name=text("BEYOND"),
                        next_address=0, erased_next=True))
    return files


def _end_marker_with_stray_bytes() -> list[Header]:
    # Byte 50 = 0xFF means NextAddress 0, whatever bytes 51..53 hold.
    return [Header(address=CHAIN_START, code=text("C1CYCL0001"), name=text("HALF WRITTEN"),
                   next_address=0x00001000, erased_next=True)]


def all_cases() -> dict[str, Case]:
    cases = [
        # Empty memories.
        Case("erased_flash", _image([])),
        Case("end_marker_with_stray_bytes", _image(_end_marker_with_stray_bytes())),
        Case("first_header_ends_the_chain",
             _image([Header(address=CHAIN_START, code=text("C1CYCL0001"), name=text("ALONE"),
                            next_address=0)])),
        # Row contents.
        Case("rows_and_stamps", _image(rows_and_stamps())),
        Case("numbering", _image(numbering())),
        # How the chain ends.
        Case("self_pointing_first_header",
             _image([Header(address=CHAIN_START, code=text("C1CYCL0001"), name=text("LOOP"),
                            next_address=CHAIN_START)])),
        Case("self_pointing_later_header", _image(_self_pointing_later())),
        Case("pointer_equal_to_memory_size", _image(_ending_at(MIB), reported_size=MIB)),
        Case("pointer_one_beyond_memory_size",
             _image(_beyond(MIB + 1), reported_size=MIB)),
        Case("first_pointer_beyond_memory_size",
             _image([Header(address=CHAIN_START, code=text("C1CYCL0001"), name=text("FIRST"),
                            next_address=2 * MIB + 1)])),
        Case("pointer_with_the_top_bit_set", _image(_ending_at(4096, last_next=0x80000000))),
        # Memory sizes.
        Case("reported_size_zero_with_files", _image(_ending_at(4096), reported_size=0)),
        Case("reported_size_zero_and_empty", _image([], reported_size=0)),
        Case("two_mib_half_used", _image(_ending_at(MIB))),
        Case("four_mib", _image(_ending_at(300000), flash_size=4 * MIB)),
        Case("label_cut_to_one_decimal", _image(_ending_at(4096), reported_size=999999)),
        Case("largest_reported_size",
             _image(_ending_at(3 * MIB // 2), reported_size=0xFFFFFFFF)),
        # Table bounds.
        Case("999_files", _image(_many(999)), deadline=240),
        Case("1000_files", _image(_many(1000)), deadline=240),
        Case("1001_files", _image(_many(1001)), deadline=240),
        Case("two_headers_pointing_at_each_other", _image(_loop_of_two())),
        # Link failures.
        Case("wrong_handshake", _image(rows_and_stamps()),
             faults=["wrong-handshake:count=all"], deadline=30),
        Case("silent_handshake", _image(rows_and_stamps()),
             faults=["silent-handshake:count=all"], deadline=30),
        Case("silent_for_two_handshake_frames", _image(rows_and_stamps()),
             faults=["silent-handshake:count=2"], handshake_frames=3),
        Case("reply_lost_in_the_command_list", _image(rows_and_stamps()),
             faults=["drop-reply:after=3"], drop_at=3),
        Case("reply_lost_reading_the_memory_size", _image(rows_and_stamps()),
             faults=[f"drop-reply:after={COMMAND_LIST_READS}"], drop_at=COMMAND_LIST_READS),
        Case("reply_lost_reading_the_fourth_header", _image(rows_and_stamps()),
             faults=[f"drop-reply:after={COMMAND_LIST_READS + 1 + 3}"],
             drop_at=COMMAND_LIST_READS + 1 + 3),
        Case("reply_lost_reading_the_second_header", _image(rows_and_stamps()),
             faults=[f"drop-reply:after={COMMAND_LIST_READS + 1 + 1}"],
             drop_at=COMMAND_LIST_READS + 1 + 1),
    ]
    return {case.name: case for case in cases}
