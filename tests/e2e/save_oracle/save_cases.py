"""The device memories the save is tried against: cycle files laid out as the device keeps them.

A cycle file is the 166-byte header record (76 bytes of device header, then the 90-byte cycle
summary, whose fields repeat the program text, the start time and the cycle type) followed by
13-byte sample records.  Its length can be set to any value, so that the last upload request
comes out at the size a case needs.
"""

from __future__ import annotations

import dataclasses
import datetime

import catalogue_oracle_path  # noqa: F401  (makes the catalogue oracle's modules importable)
import oracle as catalogue_oracle
import save_model
from device_image import HEADER_SIZE, DeviceImage, Header, Slot, chain, text

DATALOGGER, FIRMWARE, NO_FILE = 0x50, 0x10, 0xFF
FLASH_SIZE = 65536
SAMPLE_SIZE = 13

# Phases and events a cycle records, in the order they come (codes of the language file).
_CODES = (151, 152, 155, 163, 164, 165, 166, 167, 168, 120, 169, 120, 170, 171, 172, 175, 177)


def command_list() -> list[Slot]:
    return [Slot(DATALOGGER, text("DataLogger")), Slot(FIRMWARE, text("Firmware")),
            Slot(NO_FILE, raw=b"\xff" * 22)]


def samples(count: int, seed: int) -> bytes:
    """Sample records: elapsed seconds, phase or event, four probes and the pressure."""
    out = bytearray()
    for i in range(count):
        elapsed = 30 * i + seed % 7
        probes = [1000 + (37 * i + 11 * seed + 5 * p) % 400 for p in range(4)]
        pressure = 100 + (53 * i + seed) % 250  # hundredths of a bar, plus 100
        out += elapsed.to_bytes(2, "little") + bytes([_CODES[(i + seed) % len(_CODES)]])
        for value in probes:
            out += value.to_bytes(2, "little")
        out += pressure.to_bytes(2, "little")
    return bytes(out)


@dataclasses.dataclass
class CycleFile:
    program: bytes  # header bytes 96..115, blank-padded
    number: int  # cycle number, header bytes 59..61
    start: tuple[int, int, int, int, int]  # hour, minute, day, month, year
    cycle_type: int = 0x00  # header byte 152: cycle code in the low four bits
    length: int | None = None  # the whole file; None: the header and the samples
    samples: int = 3
    code: bytes = b"C1CYCL0001"
    file_type: int = DATALOGGER
    seed: int = 0

    def header(self) -> Header:
        hour, minute, day, month, year = self.start
        summary = {
            62: (self.number % 1000).to_bytes(3, "little"),  # cycle of the day
            65: bytes([2]),  # option bits
            76: text("VS-23 STERILISER").ljust(20),
            116: bytes(1),
            117: text("0012345").ljust(20),
            137: bytes(3),
            145: bytes([(hour + 1) % 24, (minute + 17) % 60, day, month, year]),  # end
            150: bytes([0, 3]),  # alarm code, counter
            152: bytes([self.cycle_type]),
            153: (1362).to_bytes(2, "little") + (610).to_bytes(2, "little"),  # maximum
            157: (1341).to_bytes(2, "little") + (402).to_bytes(2, "little"),  # minimum
            161: bytes([4, 0, 0, 0, 0]),  # sterilisation time, result, drying, unused
        }
        if self.length is not None and self.length + 50 < HEADER_SIZE:
            # A file shorter than a header: the header read where it ends must end the chain.
            summary[self.length + 50] = b"\xff"
        return Header(address=-1, code=self.code, file_type=self.file_type, number=self.number,
                      name=self.program.ljust(20), stamp=self.start, body_size=len(self.body()),
                      overrides=summary)

    def body(self) -> bytes:
        """The bytes after the header."""
        if self.length is None:
            return samples(self.samples, self.seed)
        wanted = max(self.length - HEADER_SIZE, 0)
        return samples(-(-wanted // SAMPLE_SIZE), self.seed)[:wanted]


def layout(files: list[CycleFile]) -> DeviceImage:
    headers = chain(f.header() for f in files)
    patches = {}
    for f, header in zip(files, headers):
        if f.length is not None and f.length < HEADER_SIZE:
            if header is not headers[-1]:
                raise ValueError("a file shorter than a header must end the chain")
            header.next_address = header.address + f.length
        if f.body():
            patches[header.address + HEADER_SIZE] = f.body()
    return DeviceImage(flash_size=FLASH_SIZE, slots=command_list(), headers=headers,
                       patches=patches)


@dataclasses.dataclass
class SaveCase:
    name: str
    image: DeviceImage
    faults: list[str] = dataclasses.field(default_factory=list)
    runs: int = 1  # saves one after the other into the same program folder
    # Files in the program folder before the first save: relative path -> (bytes, mtime).
    existing: dict[str, tuple[bytes, float]] = dataclasses.field(default_factory=dict)
    answered: int | None = None  # long frames answered before the device goes silent
    # Between saves, the sealed files are made to look sealed at this time.
    earlier_save_at: datetime.datetime | None = None
    deadline: float = 90.0

    def expected(self, messages: dict[int, str],
                 existing: dict[str, bytes] | None = None) -> save_model.SaveOutcome:
        if existing is None:
            existing = {path: data for path, (data, _) in self.existing.items()}
        return save_model.expected_save(self.image.flash(), self.image.memory_size, messages,
                                        existing, self.answered)


def block_sizes() -> list[CycleFile]:
    return [
        # 166 + 66 samples: eight whole blocks and a request of 0 bytes.
        CycleFile(text("STD 134"), 42, (14, 20, 5, 3, 12), 0x00, length=1024, seed=1),
        CycleFile(text("PRION 134"), 43, (9, 5, 6, 3, 12), 0x04, length=256, seed=2),
        CycleFile(text("HOLLOW"), 44, (16, 45, 6, 3, 12), 0x03, length=300, seed=3),
        CycleFile(text("TEXTILES"), 45, (8, 0, 2, 4, 12), 0x05, samples=3, seed=4),
        # Shorter than its own header: one request of 100 bytes; its name fields lie beyond
        # its end, in the header record the catalogue read.
        CycleFile(text("SHORT"), 46, (10, 10, 3, 4, 12), 0x01, length=100, seed=5),
    ]


def program_texts() -> list[CycleFile]:
    files = [
        (b"A B C////", 0, (0, 0, 1, 1, 0), 0x12),
        (b"  PRION ////  ", 7, (23, 59, 31, 12, 99), 0x8C),
        (b"AB////C", 99999, (12, 30, 15, 6, 23), 0x0D),
        (b"//////", 100000, (12, 31, 15, 6, 23), 0xFF),
        (b"../Pi\xe0/..", 0xFFFFFF, (7, 7, 7, 7, 7), 0x6A),
        (b'a\\b:c*d?e"f<g>h|i\tj\x7f', 12, (6, 5, 4, 3, 21), 0x3B),
        (b" " * 20, 13, (6, 6, 4, 3, 21), 0x00),
        (b"Caf\xe9 \x80 134", 14, (6, 7, 4, 3, 21), 0x01),
        (b"NUL\x00PAD".ljust(20, b"\x00"), 15, (6, 8, 4, 3, 21), 0x02),
        (b"V2.1 A..B", 16, (6, 9, 4, 3, 21), 0x00),
    ]
    return [CycleFile(program, number, start, cycle_type, samples=2, seed=n,
                      code=text(f"C1CYCL{n:04d}"))
            for n, (program, number, start, cycle_type) in enumerate(files)]


def unusual_dates() -> list[CycleFile]:
    # Dates the file list shows: hour 24 and a day the calendar does not have.
    return [CycleFile(text("LATE"), 50, (24, 0, 31, 2, 12), 0x00, samples=2, seed=1),
            CycleFile(text("APRIL"), 51, (0, 59, 31, 4, 24), 0x00, samples=2, seed=2)]


def rows_and_records() -> list[CycleFile]:
    return [
        CycleFile(text("FIRST"), 1, (8, 0, 10, 5, 22), code=text("C1CYCL0001"), seed=1),
        CycleFile(text("ABORTED"), 2, (8, 30, 10, 5, 22), code=text("C1CYCL0002"),
                  file_type=NO_FILE, samples=5, seed=2),
        CycleFile(text("AFTER ABORTED"), 3, (9, 0, 10, 5, 22), code=text("C1CYCL0003"),
                  length=300, seed=3),
        CycleFile(text("NO MONTH"), 4, (9, 30, 10, 13, 22), code=text("C1CYCL0004"), seed=4),
        CycleFile(text("MAIN BOARD"), 5, (10, 0, 11, 5, 22), code=text("V1FW0203"),
                  file_type=FIRMWARE, samples=4, seed=5),
        CycleFile(text("SHORT CODE"), 6, (10, 30, 12, 6, 22), code=text("AB"), seed=6),
        CycleFile(text("NO CODE"), 7, (11, 0, 12, 6, 22), code=b"\xff" * 16, seed=7),
        CycleFile(text("HOUR 25"), 8, (25, 0, 12, 6, 22), code=text("C1CYCL0008"), seed=8),
        CycleFile(text("YEAR 100"), 9, (11, 30, 12, 6, 100), code=text("C1CYCL0009"), seed=9),
        CycleFile(text("LAST"), 10, (12, 0, 1, 7, 22), code=text("C1CYCL0010"), seed=10),
    ]


def _collisions() -> tuple[list[CycleFile], dict[str, tuple[bytes, float]]]:
    same = dict(program=text("STD 134"), number=42, start=(14, 20, 5, 3, 12), cycle_type=0x00)
    files = [
        CycleFile(**same, samples=3, seed=1, code=text("C1CYCL0001")),
        CycleFile(**same, samples=4, seed=2, code=text("C1CYCL0002")),
        CycleFile(text("HOLLOW"), 7, (15, 0, 5, 3, 12), 0x03, samples=2, seed=3),
        CycleFile(text("PRION"), 8, (16, 0, 5, 3, 12), 0x04, samples=2, seed=4),
    ]
    # Records of another device already saved under the names two of these files get.
    sealed_at = datetime.datetime(2012, 3, 5, 18, 0, 0)
    mtime = sealed_at.timestamp()

    def foreign(seed: int) -> bytes:
        return save_model.seal(b"\x5a" * 32 + samples(12, seed), sealed_at)

    existing = {
        "2012/03/HOLLOW_00007_134Hollow_050312_1500.dtl": (foreign(20), mtime),
        "2012/03/PRION_00008_134Prion_050312_1600.dtl": (foreign(21), mtime),
        "2012/03/PRION_00008_134Prion_050312_1600_2.dtl": (foreign(22), mtime),
    }
    return files, existing


def _silent(name: str = "silent_midway", answered_in_the_files: int = 9 + 1) -> SaveCase:
    image = layout([
        CycleFile(text("STD 134"), 60, (14, 20, 5, 3, 12), 0x00, length=1024, seed=1),
        CycleFile(text("HOLLOW"), 61, (15, 20, 5, 3, 12), 0x03, length=300, seed=2),
        CycleFile(text("PRION"), 62, (16, 20, 5, 3, 12), 0x04, length=300, seed=3),
    ])
    catalogue = len(catalogue_oracle.expected(image.flash(), image.memory_size).requests)
    # By default the first file (nine requests) and the first block of the second are
    # answered, then nothing more.
    answered = catalogue + answered_in_the_files
    return SaveCase(name, image, faults=[f"drop-reply:after={answered}:count=all"],
                    answered=answered, deadline=240.0)


def all_cases() -> dict[str, SaveCase]:
    collisions, existing = _collisions()
    cases = [
        SaveCase("block_sizes", layout(block_sizes())),
        SaveCase("program_texts", layout(program_texts())),
        SaveCase("unusual_dates", layout(unusual_dates())),
        SaveCase("rows_and_records", layout(rows_and_records())),
        SaveCase("collisions", layout(collisions), runs=2, existing=existing, deadline=120.0,
                 earlier_save_at=datetime.datetime(2012, 3, 6, 9, 30, 0)),
        SaveCase("nothing_dated", layout([
            CycleFile(text("NO DAY"), 1, (8, 0, 0, 5, 22), samples=2, seed=1,
                      code=text("C1CYCL0001")),
            CycleFile(text("MINUTE 60"), 2, (8, 60, 1, 5, 22), samples=2, seed=2,
                      code=text("C1CYCL0002"))])),
        _silent(),
        # The reply to the request of 0 bytes that closes the first file is lost: all of its
        # bytes have come, but the file was never completed.
        _silent("silent_at_the_closing_request", 8),
    ]
    return {case.name: case for case in cases}
