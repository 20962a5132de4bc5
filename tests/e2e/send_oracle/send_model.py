"""What sending files and erasing leave in the device, worked out from the device's rules alone.

A file is loaded by the kind its extension names and turned into the image the device stores:

  data image (messages .msx, data .dat, datalogger .dtl, raw .mes), 76-byte header:
    0..31 0xFF | 32..39 "MS0369AA" (messages) or "DT0369AA" | 40..47 blanks | 48 type, 0xFF
    until the header rewrite | 49 0xFF | 50..53 end address | 54..57 previous file's start
    (0xFFFFFFFF: none) | 58 0x00 | 59..75 0xFF | 76.. payload
  firmware image (.mhx), 58-byte header:
    0..31 0xFF | 32..47 the S0 name, upper case, blank-padded | 48 type | 49 version (the two
    digits after the name's last "_") | 50..57 as in the data image | 58.. records
    record: 3-byte address (24-bit firmware: or 0xF00000) | block marker | 0x00 | length
            (128 for 24-bit firmware, 64 for 16-bit) | the bytes
    end record: FF FF FF 00 00 00

The image goes to the end of the device's file chain in 128-byte blocks (a shorter last one,
none when the length is a multiple of 128), then the first 128 bytes again with the type byte
set, then the new first free location (EEPROM 32) and the type's download counter (EEPROM
256 + 2 x slot), then the catalogue is read again.

The model keeps the device memory as two byte arrays and the requests it expects on the line.
"""

from __future__ import annotations

import dataclasses
import os
import re
import struct
from pathlib import Path

import catalogue_oracle_path  # noqa: F401  (makes the catalogue oracle's modules importable)
from device_image import (CHAIN_START, COMMAND_LIST_ADDRESS, COMMAND_SLOT_SIZE, COMMAND_SLOTS,
                          FIRST_FREE_EEPROM_ADDRESS, HEADER_SIZE, NEXT_OFFSET)

REGISTER, EEPROM, FLASH = 0x00, 0x10, 0x50
BLOCK = 128
MEMORY_SIZE_REGISTER = 140
COMMAND_REGISTER = 110
ERASE_COMMAND = 1
COUNTERS_ADDRESS = 256
COUNTER_BYTES = 240
COMMAND_LIST_READ = 110  # bytes per command-list request; only the first slot is used

NO_PREVIOUS_FILE = 0xFFFFFFFF
MESSAGES, DATA, FIRMWARE_24, FIRMWARE_16 = 0x30, 0x20, 0x01, 0xA5
DOWNLOAD_ALLOWED = 0x40

LOAD_BUFFER_SIZE = 0x100000
TOP_SECTOR = 0xFC000  # firmware bytes from here on are never sent
RECORD_LOADER_LIMIT = 32768
LAST_COPIED_INDEX = 0xFFFFF  # the data image copies source indices below this
DATA_HEADER_SIZE = 76
FIRMWARE_HEADER_SIZE = 58
END_RECORD = b"\xff\xff\xff\x00\x00\x00"
TRAILER_FILL = 0x91
RAW_EXTRA_BYTE = 0x00  # the read past the end of a raw file

NOT_CORRECT = "File not correct."
TOO_BIG = "The file size is bigger than the memory support"
OVERFLOW = "File overflow, cannot start transfer"
MEMORY_FULL = "Memory full, cannot start transfer"
NOT_ENABLED = "File not enabled to download."
CHECKSUM_ERROR = "Checksum Error"

DEFAULT_SLOT = bytes([0x50, 0xFF, 0xAA, 0xFF, 0xFF, 0xFF]) + b"DataLogger      "

# Firmware flash layout: blocks 0..7, each a list of (first, last) sector addresses.
SECTOR_MAP = [
    [(0x80000, 0x8FFFF)],
    [(0x90000, 0x9FFFF)],
    [(0xA0000, 0xAFFFF)],
    [(0xB0000, 0xB7FFF), (0xB8000, 0xB9FFF), (0xBA000, 0xBBFFF), (0xBC000, 0xBFFFF)],
    [(0xC0000, 0xCFFFF)],
    [(0xD0000, 0xDFFFF)],
    [(0xE0000, 0xEFFFF)],
    [(0xF0000, 0xF7FFF), (0xF8000, 0xF9FFF), (0xFA000, 0xFBFFF), (0xFC000, 0xFFFFF)],
]


class Refused(Exception):
    """The program refuses the file with `message`; nothing of it is written."""

    def __init__(self, message: str):
        super().__init__(message)
        self.message = message


@dataclasses.dataclass(frozen=True)
class Request:
    """One long frame on the line, as the device sees it."""

    kind: str  # "read" or "write"
    area: int
    address: int
    length: int
    data: bytes | None = None  # what a write carries

    def __str__(self) -> str:
        areas = {REGISTER: "register", EEPROM: "EEPROM", FLASH: "flash"}
        text = f"{self.kind} {areas.get(self.area, hex(self.area))} {self.address} +{self.length}"
        if self.data is not None:
            shown = self.data.hex()
            text += f" {shown[:48]}{'...' if len(shown) > 48 else ''}"
        return text


def read(area: int, address: int, length: int) -> Request:
    return Request("read", area, address, length)


def write(area: int, address: int, data: bytes) -> Request:
    return Request("write", area, address, len(data), bytes(data))


# Loading files -----------------------------------------------------------------------------

@dataclasses.dataclass
class Image:
    data: bytes  # header and payload; type byte and addresses not yet filled in
    file_type: int


def extension(name: str) -> str:
    return name[-3:].lower()


def text_lines(data: bytes) -> list[str]:
    """The lines of a text file as a line-by-line reader gives them: CR, LF or CR LF end a
    line; a last line without an end still counts; nothing follows the last end."""
    text = data.decode("latin-1")
    lines = re.split(r"\r\n|\r|\n", text)
    if lines and lines[-1] == "":
        lines.pop()
    return lines


def _hex_bytes(text: str) -> bytes:
    if len(text) % 2 or not re.fullmatch(r"[0-9A-Fa-f]*", text):
        raise ValueError(f"not hexadecimal pairs: {text!r}")
    return bytes.fromhex(text)


def upper(byte: int) -> int:
    return byte - 0x20 if 0x61 <= byte <= 0x7A else byte


def load_s_records(data: bytes) -> tuple[bytearray, str, int]:
    """The firmware memory image (1 MiB, 0xFF where the file has no data), the S0 header text
    (hexadecimal digits) and the type the data lines set (0xA5: S1, 0x01: S2)."""
    lines = text_lines(data)
    if not lines or not lines[0].startswith("S0"):
        raise Refused(NOT_CORRECT)
    first = lines[0]
    count = int(first[2:4], 16)
    header = first[8:8 + (count - 3) * 2]
    if len(header) > 16:
        header = header[-32:]
    memory = bytearray(b"\xff" * LOAD_BUFFER_SIZE)
    file_type = None
    for line in lines[1:]:
        if line[:2] not in ("S1", "S2"):
            continue
        wide = line[:2] == "S2"
        address_digits = 6 if wide else 4
        try:
            count = int(_hex_bytes(line[2:4])[0]) - (4 if wide else 3)
            address = int.from_bytes(_hex_bytes(line[4:4 + address_digits]), "big")
            start = 4 + address_digits
            if count < 0 or len(line) < start + 2 * count:
                raise ValueError("line too short")
            values = _hex_bytes(line[start:start + 2 * count])
        except (ValueError, IndexError):
            raise Refused(NOT_CORRECT) from None
        file_type = FIRMWARE_24 if wide else FIRMWARE_16
        for k, value in enumerate(values):
            if wide and address + k >= TOP_SECTOR:
                break
            memory[address + k] = value
    if file_type is None:
        raise ValueError("a firmware file without data lines is not a case of this model")
    return memory, header, file_type


def firmware_name(header: str) -> bytes:
    """Header bytes 32..47: the S0 text's bytes upper-cased, blank-padded."""
    name = bytearray(b" " * 16)
    for i in range(min(16, len(header) // 2)):
        name[i] = upper(int(header[2 * i:2 * i + 2], 16))
    return bytes(name)


def version_byte(header_32_to_48: bytes) -> int:
    """The two characters after the last "_" of header bytes 32..48, as a decimal number;
    0xFF when there is no "_"."""
    last = header_32_to_48.rfind(b"_")
    if last < 0:
        return 0xFF
    digits = header_32_to_48[last + 1:last + 3]
    if len(digits) != 2 or not digits.isdigit():
        raise ValueError("a version that is not two digits is not a case of this model")
    return int(digits)


def find_block(address: int) -> int:
    for block, sectors in enumerate(SECTOR_MAP):
        for first, last in sectors:
            if first <= address <= last:
                return block
    return 0


def firmware_records(memory: bytes, file_type: int) -> bytes:
    out = bytearray()
    if file_type == FIRMWARE_16:
        used = re.compile(rb"[^\xff]")
        address = 0
        while True:
            found = used.search(memory, address)
            if found is None or found.start() >= TOP_SECTOR:
                break
            start = found.start() & ~1
            end = min(start + 64, TOP_SECTOR)
            out += start.to_bytes(3, "big") + bytes([0, 0, 64]) + memory[start:end]
            address = end
        return bytes(out)
    last_marked = 0
    for block in range(7, -1, -1):
        first = SECTOR_MAP[block][0][0]
        end = min(SECTOR_MAP[block][-1][1] + 1, TOP_SECTOR)
        for chunk in range(first, end, BLOCK):
            data = memory[chunk:min(chunk + BLOCK, TOP_SECTOR)]
            if data.count(0xFF) == len(data):
                continue
            number = find_block(chunk)
            marker = number if number != last_marked else 0
            last_marked = number
            out += (chunk | 0xF00000).to_bytes(3, "big") + bytes([marker, 0, BLOCK]) + data
    return bytes(out)


def firmware_image(data: bytes) -> Image:
    memory, header, file_type = load_s_records(data)
    image = bytearray(b"\xff" * 32) + firmware_name(header) + b"\xff\xff" + b"\xff" * 8
    image[49] = version_byte(bytes(image[32:49]))
    image += firmware_records(memory, file_type) + END_RECORD
    return Image(bytes(image), file_type)


def message_payload(data: bytes, selection_name: str) -> bytes:
    """The data of every S2 line, one 0xFF byte, then the 64-byte trailer that carries the 4th
    and 5th characters of the name the selection gives the file."""
    if len(data) >= LOAD_BUFFER_SIZE:
        raise Refused(TOO_BIG)
    payload = bytearray()
    for line in text_lines(data):
        payload += _hex_bytes(line[10:len(line) - 2]) if len(line) > 12 else b""
    trailer = selection_name[3:5].encode("cp1252") + bytes([TRAILER_FILL]) * 62
    return bytes(payload) + b"\xff" + trailer


def data_image(kind: str, payload: bytes, command_list: list[bytes]) -> Image:
    file_type = MESSAGES if kind == "msx" else DATA
    for slot in command_list:
        if slot[0] == file_type:
            if not slot[2] & DOWNLOAD_ALLOWED:
                raise Refused(NOT_ENABLED)
            break
    copied = max(1, min(len(payload), LAST_COPIED_INDEX))
    body = (payload + b"\xff")[:copied]
    header = (b"\xff" * 32 + (b"MS0369AA" if kind == "msx" else b"DT0369AA") + b" " * 8
              + b"\xff" * 10 + b"\x00" + b"\xff" * 17)
    assert len(header) == DATA_HEADER_SIZE
    return Image(header + body, file_type)


def load(data: bytes, selection_name: str, command_list: list[bytes]) -> Image:
    """The image of a file's bytes, loaded by the kind the name's extension gives."""
    kind = extension(selection_name)
    if kind == "mhx":
        return firmware_image(data)
    if kind == "msx":
        return data_image(kind, message_payload(data, selection_name), command_list)
    if kind == "dat":
        return data_image(kind, data[:RECORD_LOADER_LIMIT], command_list)
    if kind in ("dtl", "mes"):
        if len(data) >= LOAD_BUFFER_SIZE:
            raise Refused(TOO_BIG)
        return data_image(kind, data + bytes([RAW_EXTRA_BYTE]), command_list)
    raise Refused(NOT_CORRECT)


# The device ----------------------------------------------------------------------------------

@dataclasses.dataclass
class Memory:
    eeprom: bytearray
    flash: bytearray
    memory_size: int  # what the device reports

    def copy(self) -> "Memory":
        return Memory(bytearray(self.eeprom), bytearray(self.flash), self.memory_size)

    def area(self, code: int) -> bytearray | None:
        return {EEPROM: self.eeprom, FLASH: self.flash}.get(code)

    def apply(self, request: Request) -> None:
        if request.kind != "write":
            return
        if request.area == REGISTER:
            if request.address == COMMAND_REGISTER and request.data == bytes([ERASE_COMMAND]):
                self.flash[:] = b"\xff" * len(self.flash)
            return
        target = self.area(request.area)
        target[request.address:request.address + request.length] = request.data


def command_list_walk(memory: Memory) -> tuple[list[bytes], list[Request], bool]:
    """The slots the program holds, the reads that fetch them, and whether the list ended at a
    0xFF slot (a full list of 92 slots ends the operation instead)."""
    slots, requests = [], []
    for s in range(COMMAND_SLOTS):
        address = COMMAND_LIST_ADDRESS + COMMAND_SLOT_SIZE * s
        requests.append(read(FLASH, address, COMMAND_LIST_READ))
        slot = bytes(memory.flash[address:address + COMMAND_SLOT_SIZE])
        if slot[0] == 0xFF:
            return slots, requests, True
        slots.append(slot)
    return slots, requests, False


@dataclasses.dataclass
class Walk:
    requests: list[Request]
    next_addresses: list[int]  # NextAddress of each counted record
    last_p: int  # P of the record that ended the walk (0: the chain's end)


def catalogue_walk(memory: Memory) -> Walk:
    requests, next_addresses = [], []
    address, previous = CHAIN_START, 0
    while True:
        requests.append(read(FLASH, address, HEADER_SIZE))
        header = memory.flash[address:address + HEADER_SIZE]
        p = 0 if header[NEXT_OFFSET] == 0xFF else struct.unpack_from(">I", header, NEXT_OFFSET)[0]
        if p == previous:
            p = previous = 0
        else:
            previous = p
        if p == 0 or p > memory.memory_size:
            return Walk(requests, next_addresses, p)
        next_addresses.append(p)
        address = p


def connection(memory: Memory) -> tuple[list[bytes], list[Request]]:
    """Command list, memory size, catalogue: what connecting reads."""
    slots, requests, ended = command_list_walk(memory)
    if not ended:
        raise ValueError("a full command list is not a case of this model")
    requests.append(read(REGISTER, MEMORY_SIZE_REGISTER, 4))
    requests += catalogue_walk(memory).requests
    return slots, requests


def counter_slot(command_list: list[bytes], file_type: int) -> int | None:
    """The slot whose counter a download of `file_type` increments: the first of that type,
    passing over types whose low digit is 1 or A."""
    for s, slot in enumerate(command_list[:128]):
        digits = f"{slot[0]:02X}"
        if digits[1] in "1A":
            continue
        if slot[0] == file_type:
            return s
    return None


@dataclasses.dataclass
class Placement:
    start: int
    end: int
    previous: int


def allocate(walk: Walk, length: int, memory_size: int) -> Placement:
    k = len(walk.next_addresses)
    if k == 0 and walk.last_p == 0:
        return Placement(CHAIN_START, CHAIN_START + length, NO_PREVIOUS_FILE)
    start = walk.next_addresses[k - 1]
    end = start + length
    if end > memory_size:
        raise Refused(MEMORY_FULL)
    previous = walk.next_addresses[k - 2] if k >= 2 else CHAIN_START
    return Placement(start, end, previous)


def download_writes(image: Image, place: Placement) -> list[Request]:
    """Data blocks, then the header block with the type byte."""
    data = bytearray(image.data)
    data[50:54] = place.end.to_bytes(4, "big")
    data[54:58] = place.previous.to_bytes(4, "big")
    writes = []
    for offset in range(0, len(data), BLOCK):
        writes.append(write(FLASH, place.start + offset, data[offset:offset + BLOCK]))
    header = (data[:BLOCK] + b"\xff" * BLOCK)[:BLOCK]
    header[48] = image.file_type
    writes.append(write(FLASH, place.start, header))
    return writes


@dataclasses.dataclass
class Outcome:
    requests: list[Request] = dataclasses.field(default_factory=list)
    written: list[str] = dataclasses.field(default_factory=list)  # names printed on stdout
    refusal: str | None = None
    images: list[tuple[int, Image]] = dataclasses.field(default_factory=list)  # start, image

    @property
    def succeeded(self) -> bool:
        return self.refusal is None


def _do(memory: Memory, outcome: Outcome, requests: list[Request]) -> None:
    for request in requests:
        memory.apply(request)
        outcome.requests.append(request)


def selection_names(paths: list[Path], cwd: Path) -> list[str]:
    """The name each file has in the selection: one file, its absolute path; several, their
    bare names."""
    if len(paths) == 1:
        return [os.path.join(cwd, paths[0])]
    return [p.name for p in paths]


def send(memory: Memory, paths: list[Path], cwd: Path,
         stop_after_writes: int | None = None) -> Outcome:
    """`vestrim-cli send PATH...` run in `cwd`; `memory` is changed as the device would be.

    `stop_after_writes`: the send stops, as after five bad acknowledgements in a row, once that
    many writes of the run have been made (the last one five times)."""
    outcome = Outcome()
    command_list, requests = connection(memory)
    _do(memory, outcome, requests)
    writes_made = 0
    for path, name in zip(paths, selection_names(paths, cwd)):
        data = (cwd / path).read_bytes()
        try:
            image = load(data, name, command_list)
            if len(image.data) > memory.memory_size:
                raise Refused(OVERFLOW)
            walk = catalogue_walk(memory)
            _do(memory, outcome, walk.requests)
            place = allocate(walk, len(image.data), memory.memory_size)
        except Refused as refusal:
            outcome.refusal = refusal.message
            return outcome
        steps = download_writes(image, place)
        steps.append(write(EEPROM, FIRST_FREE_EEPROM_ADDRESS, place.end.to_bytes(4, "big")))
        slot = counter_slot(command_list, image.file_type)
        if slot is not None:
            address = COUNTERS_ADDRESS + 2 * slot
            counter = int.from_bytes(memory.eeprom[address:address + 2], "big") + 1
            if counter > 0x7FFF:
                raise ValueError("a counter with its top bit set is not a case of this model")
            steps.append(read(EEPROM, address, 2))
            steps.append(write(EEPROM, address, counter.to_bytes(2, "big")))
        for step in steps:
            if stop_after_writes is not None and step.kind == "write":
                if writes_made == stop_after_writes - 1:
                    _do(memory, outcome, [step] * 5)
                    outcome.refusal = CHECKSUM_ERROR
                    return outcome
                writes_made += 1
            _do(memory, outcome, [step])
        outcome.images.append((place.start, image))
        _do(memory, outcome, catalogue_walk(memory).requests)
        outcome.written.append(name)
    return outcome


def erase(memory: Memory) -> Outcome:
    """`vestrim-cli --yes erase`: connect, read the command list, erase, lay out the defaults,
    read the (empty) catalogue."""
    outcome = Outcome()
    _, requests = connection(memory)
    _do(memory, outcome, requests)
    _do(memory, outcome, command_list_walk(memory)[1])
    _do(memory, outcome, [
        write(REGISTER, COMMAND_REGISTER, bytes([ERASE_COMMAND])),
        write(FLASH, COMMAND_LIST_ADDRESS, DEFAULT_SLOT),
        write(EEPROM, FIRST_FREE_EEPROM_ADDRESS, bytes(4)),
        write(EEPROM, COUNTERS_ADDRESS, bytes(BLOCK)),
        write(EEPROM, COUNTERS_ADDRESS + BLOCK, bytes(COUNTER_BYTES - BLOCK)),
    ])
    _do(memory, outcome, catalogue_walk(memory).requests)
    return outcome
