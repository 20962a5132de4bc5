"""Stored cycle files and technical reports written here, byte by byte, as the device keeps
them and as the PC seals them.

A cycle file is the 76-byte device header, the 90-byte cycle summary and 13-byte sample
records; the seal (stamp of the file's last-modified time, check sum around the device's bytes
and the one byte read after their end) comes from the save oracle's sealing.  A technical
report is a header record whose file code starts with "TR", followed from device offset 139
(stored offset 152) by its text, each character stored as its code plus 100.
"""

from __future__ import annotations

import dataclasses
import datetime
import os
from pathlib import Path

import save_oracle_path  # noqa: F401
import save_model

SEALED_AT = datetime.datetime(2024, 5, 14, 9, 41, 27)

# Codes of the shipped language files used by the cycles below.
CYCLE_START, DOOR_LOCKED, PREHEATING, PREHEATING_END = 151, 152, 155, 156
SELF_TEST, SELF_TEST_END = 161, 162
PRE_VACUUM_1, PULSE_1, PRE_VACUUM_2, PULSE_2, PRE_VACUUM_3 = 163, 164, 165, 166, 167
HEAT_UP, EQUILIBRATION, STERILISATION_END, EXHAUST = 168, 169, 170, 171
DRYING_START, PULSED_DRYING, PULSED_DRYING_END, DRYING_END, VENTING, CYCLE_END = (
    172, 173, 174, 175, 176, 177)
TEST_START, TEST_VACUUM, STABILISED, MEASURED, TEST_VENTING = 178, 179, 180, 181, 182
DOOR_OPENED, DOOR_CLOSED, PUMP_ON, PUMP_OFF, SELF_CHECK, SAMPLE, MARK, RESERVED = (
    2, 3, 28, 29, 119, 120, 121, 122)


def device_text(value: str, size: int, pad: bytes = b" ") -> bytes:
    data = value.encode("cp1252")
    if len(data) > size:
        raise ValueError(f"{value!r} does not fit in {size} bytes")
    return data + pad * (size - len(data))


@dataclasses.dataclass
class Sample:
    seconds: int
    code: int
    pt1: int = 1340  # tenths of a degree
    pressure: int = 310  # hundredths of a bar plus 100
    pt2: int = 1338
    pt3: int = 1336
    pt4: int = 1335

    def encode(self) -> bytes:
        out = self.seconds.to_bytes(2, "little") + bytes([self.code])
        for value in (self.pt1, self.pt2, self.pt3, self.pt4, self.pressure):
            out += value.to_bytes(2, "little")
        return out


@dataclasses.dataclass
class CycleFile:
    """One cycle as the device stores it; every field the reports read can be set."""

    samples: list[Sample] = dataclasses.field(default_factory=list)
    machine: str = "TS-23 CLASS B"  # text 1
    program: str = "134 WRAPPED"  # text 2
    serial: str = "29705587"  # text 3
    file_number: int = 2086  # header positions 60 to 62
    day_number: int = 3  # header positions 63 to 65
    options: int = 2  # header position 66
    start: tuple[int, int, int, int, int] = (8, 3, 31, 3, 25)  # hour, minute, day, month, year
    end: tuple[int, int, int, int, int] = (8, 35, 31, 3, 25)
    alarm: int = 0
    counter: int = 2
    code: int = 0
    mode: int = 0
    forced_cooling: bool = False  # bit 6 of the cycle type byte
    delayed_start: bool = False  # bit 7
    maximum: int = 1368
    maximum_at: int = 1210
    minimum: int = 1341
    minimum_at: int = 845
    sterilisation: int = 4
    result: int = 0  # position 87
    drying_extra: int = 0  # position 88
    file_code: bytes = b"DL134W02086"
    trailing: bytes = b""  # device bytes after the last record
    # Cycle block positions (1-based) -> bytes, written last.
    overrides: dict[int, bytes] = dataclasses.field(default_factory=dict)

    @property
    def type_byte(self) -> int:
        return (self.code | self.mode << 4 | (0x40 if self.forced_cooling else 0)
                | (0x80 if self.delayed_start else 0))

    def header(self) -> bytes:
        record = bytearray(0x21 + (7 * i) % 0x5D for i in range(76))
        record[31] = 0xFF  # the byte before the file code: never the "T" of a "TR" mark here
        record[32:48] = device_text("", 16, b"\x00")
        record[32:32 + len(self.file_code)] = self.file_code
        record[48] = 0x50
        record[50:54] = (0).to_bytes(4, "big")
        record[54:58] = (0xFFFFFFFF).to_bytes(4, "big")
        record[59:62] = self.file_number.to_bytes(3, "little")
        record[62:65] = self.day_number.to_bytes(3, "little")
        record[65] = self.options
        return bytes(record)

    def summary(self) -> bytes:
        out = bytearray(90)
        out[0:20] = device_text(self.machine, 20)
        out[20:40] = device_text(self.program, 20)
        out[41:61] = device_text(self.serial, 20)
        out[64:69] = bytes(self.start)
        out[69:74] = bytes(self.end)
        out[74] = self.alarm
        out[75] = self.counter
        out[76] = self.type_byte
        out[77:85] = b"".join(v.to_bytes(2, "little") for v in
                              (self.maximum, self.maximum_at, self.minimum, self.minimum_at))
        out[85] = self.sterilisation
        out[86] = self.result
        out[87] = self.drying_extra
        return bytes(out)

    def device_bytes(self) -> bytes:
        block = bytearray(self.summary() + b"".join(s.encode() for s in self.samples)
                          + self.trailing)
        for position, data in self.overrides.items():
            block[position - 1:position - 1 + len(data)] = data
        return self.header() + bytes(block)

    def sealed(self, moment: datetime.datetime = SEALED_AT) -> bytes:
        return save_model.seal(self.device_bytes(), moment)


DEGREE_MARK = 92  # the stored byte the technical report shows as the degree sign


def technical_text(lines: list[str], ending: str = "\r\n", last: str = "",
                   degree_as_mark: bool = True) -> bytes:
    """The body of a technical report: the lines, each ended by `ending`, then `last`; every
    character stored as its code plus 100, and "°" as the byte 92 when `degree_as_mark` (else
    as its own code plus 100)."""
    text = "".join(line + ending for line in lines) + last
    return bytes(DEGREE_MARK if c == "°" and degree_as_mark else (ord(c.encode("cp1252")) + 100)
                 % 256 for c in text)


def technical_report(body: bytes, mark_at: int = 45, code: bytes = b"TRSERV00001") -> bytes:
    """Device bytes of a technical report with "TR" at stored offset `mark_at` (44 or 45)."""
    header = bytearray(0x21 + (7 * i) % 0x5D for i in range(139))
    header[31] = 0xFF
    header[32:48] = device_text("", 16, b"\x00")
    if mark_at == 45:
        header[32:32 + len(code)] = code
    elif mark_at == 44:
        header[31:33] = b"TR"
        header[33:33 + len(code) - 2] = code[2:]
    else:
        raise ValueError("the mark lies at stored offset 44 or 45")
    header[48] = 0x60
    return bytes(header) + body


def write(path: Path, data: bytes, modified: datetime.datetime = SEALED_AT) -> Path:
    """Writes a stored file and gives it the last-modified time `modified` (local time)."""
    path.parent.mkdir(parents=True, exist_ok=True)
    path.write_bytes(data)
    moment = modified.timestamp()
    os.utime(path, (moment, moment))
    return path


def raw_stored(device_and_extra: bytes, moment: datetime.datetime = SEALED_AT) -> bytes:
    """A stored file around exactly these bytes (no extra byte added): stamp, high check sum
    byte, the bytes, low check sum byte."""
    total = save_model.checksum(device_and_extra)
    return save_model.seal_of(moment) + bytes([total >> 8]) + device_and_extra + bytes(
        [total & 0xFF])
