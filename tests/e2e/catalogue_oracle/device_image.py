"""Device memories laid out from a description, written as simulator state files.

A description names the flash size, the memory size the registers report, the command-list
slots and the file headers, each at an address of its own choosing.  Every header field can be
given as a value or overridden with raw bytes, so broken chains (self-pointing headers, pointers
beyond the memory, erased records in the middle) are as easy to lay out as healthy ones.

Layout of the device (addresses in bytes):
  register 140..143   memory size, most significant byte first
  EEPROM   32..35     first free flash location, most significant byte first
  flash    128..2151  command list: 92 slots of 22 bytes
                        0      file type (0xFF ends the list)
                        1..5   parameter bytes
                        6..21  label, blank-padded
  flash    2152..     file chain; each file starts with a 166-byte header:
                        32..47   file code (0x00-padded)
                        48       file type (0xFF: no valid file)
                        50..53   next header address, MSB first (byte 50 = 0xFF: end)
                        54..57   previous header address, MSB first
                        59..61   file number, LSB first
                        96..115  file name, blank-padded
                        140..144 hour, minute, day, month, year
"""

from __future__ import annotations

import dataclasses
import struct
from typing import Iterable

REGISTER_SIZE = 256
EEPROM_SIZE = 4096
STATE_MAGIC = b"VSTDEVSM"
STATE_VERSION = 1

COMMAND_LIST_ADDRESS = 128
COMMAND_SLOT_SIZE = 22
COMMAND_SLOTS = 92
CHAIN_START = 2152
HEADER_SIZE = 166
FIRST_FREE_EEPROM_ADDRESS = 32
NO_PREVIOUS_FILE = 0xFFFFFFFF

CODE_OFFSET, CODE_SIZE = 32, 16
TYPE_OFFSET = 48
NEXT_OFFSET = 50
PREV_OFFSET = 54
NUMBER_OFFSET = 59
NAME_OFFSET, NAME_SIZE = 96, 20
STAMP_OFFSET = 140

# Where the chain ends: NextAddress 0 written as it is in erased flash.
END_OF_CHAIN = 0


def text(value: str) -> bytes:
    """Device characters (Windows-1252) of a Python text."""
    return value.encode("cp1252")


def _filler(length: int, seed: int) -> bytes:
    # Bytes the catalogue never reads get a varied, non-blank, non-zero pattern, so a reader
    # that looks one byte off sees something other than padding.
    return bytes(0x21 + (seed + 7 * i) % 0x5D for i in range(length))


def _padded(value: bytes, size: int, pad: int) -> bytes:
    if len(value) > size:
        raise ValueError(f"{value!r} is longer than {size} bytes")
    return value + bytes([pad]) * (size - len(value))


@dataclasses.dataclass
class Slot:
    """One command-list slot: the file type it describes and its label."""

    file_type: int
    label: bytes = b""
    parameters: bytes = b"\xff\xaa\xff\xff\xff"
    raw: bytes | None = None  # all 22 bytes, replacing the fields above

    def encode(self) -> bytes:
        if self.raw is not None:
            if len(self.raw) != COMMAND_SLOT_SIZE:
                raise ValueError("a raw slot has 22 bytes")
            return self.raw
        if len(self.parameters) != 5:
            raise ValueError("a slot has 5 parameter bytes")
        return bytes([self.file_type]) + self.parameters + _padded(self.label, 16, 0x20)


@dataclasses.dataclass
class Header:
    """A file header record at `address`.

    `next_address` None means "the next header of the chain, or the end" and is filled in by
    `chain`; an int is written as given.  `erased_next` writes 0xFF at offset 50 (the end marker
    of erased flash) whatever the other three bytes are.  `overrides` maps header offsets to raw
    bytes written last.
    """

    address: int
    code: bytes = b""
    file_type: int = 0x50
    next_address: int | None = None
    prev_address: int = NO_PREVIOUS_FILE
    number: int = 0
    name: bytes = b""
    stamp: tuple[int, int, int, int, int] = (9, 5, 3, 3, 11)  # hour, minute, day, month, year
    erased_next: bool = False
    body_size: int = 200
    overrides: dict[int, bytes] = dataclasses.field(default_factory=dict)

    def encode(self) -> bytes:
        record = bytearray(_filler(HEADER_SIZE, self.address))
        record[CODE_OFFSET:CODE_OFFSET + CODE_SIZE] = _padded(self.code, CODE_SIZE, 0x00)
        record[TYPE_OFFSET] = self.file_type
        next_address = END_OF_CHAIN if self.next_address is None else self.next_address
        record[NEXT_OFFSET:NEXT_OFFSET + 4] = struct.pack(">I", next_address)
        if self.erased_next:
            record[NEXT_OFFSET] = 0xFF
        record[PREV_OFFSET:PREV_OFFSET + 4] = struct.pack(">I", self.prev_address)
        record[NUMBER_OFFSET:NUMBER_OFFSET + 3] = self.number.to_bytes(3, "little")
        record[NAME_OFFSET:NAME_OFFSET + NAME_SIZE] = _padded(self.name, NAME_SIZE, 0x20)
        record[STAMP_OFFSET:STAMP_OFFSET + 5] = bytes(self.stamp)
        for offset, data in self.overrides.items():
            record[offset:offset + len(data)] = data
        return bytes(record)


@dataclasses.dataclass
class DeviceImage:
    """Everything needed to lay out one device memory."""

    flash_size: int = 2097152
    reported_size: int | None = None  # what registers 140..143 report; None: the flash size
    slots: list[Slot] = dataclasses.field(default_factory=list)
    headers: list[Header] = dataclasses.field(default_factory=list)
    # First free location kept in the EEPROM; None: the NextAddress of the last header.
    first_free: int | None = None
    # Raw flash bytes written after everything else, address -> bytes.
    patches: dict[int, bytes] = dataclasses.field(default_factory=dict)

    @property
    def memory_size(self) -> int:
        return self.flash_size if self.reported_size is None else self.reported_size

    def flash(self) -> bytes:
        flash = bytearray(b"\xff" * self.flash_size)

        def put(address: int, data: bytes) -> None:
            end = min(address + len(data), self.flash_size)
            if address < end:
                flash[address:end] = data[:end - address]

        for s, slot in enumerate(self.slots):
            if s >= COMMAND_SLOTS:
                raise ValueError("the command list has 92 slots")
            put(COMMAND_LIST_ADDRESS + COMMAND_SLOT_SIZE * s, slot.encode())
        for header in self.headers:
            # The file body: bytes the catalogue must never take for a header.
            put(header.address + HEADER_SIZE, _filler(header.body_size, header.address + 1))
        for header in self.headers:
            put(header.address, header.encode())
        for address, data in self.patches.items():
            put(address, data)
        return bytes(flash)

    def registers(self) -> bytes:
        registers = bytearray(REGISTER_SIZE)
        # The simulator derives these itself; the stored copy says the same.
        registers[140:144] = struct.pack(">I", self.flash_size)
        return bytes(registers)

    def eeprom(self) -> bytes:
        eeprom = bytearray(EEPROM_SIZE)
        first_free = self.first_free
        if first_free is None:
            first_free = (self.headers[-1].next_address or 0) if self.headers else 0
        eeprom[FIRST_FREE_EEPROM_ADDRESS:FIRST_FREE_EEPROM_ADDRESS + 4] = struct.pack(
            ">I", first_free)
        return bytes(eeprom)


def chain(files: Iterable[Header], end: int | None = None,
          start: int = CHAIN_START) -> list[Header]:
    """Links headers one after another from `start`.

    A header without an address of its own (address < 0) is placed right after the previous
    file's body.  A header without a NextAddress points at the next header; the last one points
    at `end` (default: right after its own body), where the flash stays erased, so the header
    read there ends the chain.  PrevAddress is the previous header's address.
    """
    files = list(files)
    place = start
    for header in files:
        if header.address < 0:
            header.address = place
        place = header.address + HEADER_SIZE + header.body_size
    for i, header in enumerate(files):
        if i > 0 and header.prev_address == NO_PREVIOUS_FILE:
            header.prev_address = files[i - 1].address
        if header.next_address is None:
            if i + 1 < len(files):
                header.next_address = files[i + 1].address
            elif end is not None:
                header.next_address = end
            else:
                header.next_address = header.address + HEADER_SIZE + header.body_size
    return files


def file(**fields) -> Header:
    """A header to be placed by `chain`."""
    return Header(address=-1, **fields)


def fnv1a(data: bytes) -> int:
    value = 2166136261
    for b in data:
        value = ((value ^ b) * 16777619) & 0xFFFFFFFF
    return value


def encode_state(image: DeviceImage) -> bytes:
    """The simulator's state file: magic, version, area sizes, areas, FNV-1a hash (LE)."""
    flash = image.flash()
    out = bytearray(STATE_MAGIC)
    out += struct.pack("<IIII", STATE_VERSION, len(flash), REGISTER_SIZE, EEPROM_SIZE)
    out += image.registers() + image.eeprom() + flash
    out += struct.pack("<I", fnv1a(out))
    return bytes(out)


def decode_state(data: bytes) -> tuple[bytes, bytes, bytes]:
    """Registers, EEPROM and flash of a state file; raises ValueError when it is damaged."""
    if data[:8] != STATE_MAGIC:
        raise ValueError("not a device state file")
    version, flash_size, register_size, eeprom_size = struct.unpack_from("<IIII", data, 8)
    if version != STATE_VERSION or len(data) != 24 + register_size + eeprom_size + flash_size + 4:
        raise ValueError("unexpected state file layout")
    if struct.unpack_from("<I", data, len(data) - 4)[0] != fnv1a(data[:-4]):
        raise ValueError("state file hash mismatch")
    at = 24
    registers = data[at:at + register_size]
    at += register_size
    eeprom = data[at:at + eeprom_size]
    at += eeprom_size
    return registers, eeprom, data[at:at + flash_size]
