"""What a catalogue read must produce, worked out from the device's bytes alone.

The host's side of the exchange is replayed here step by step, as the host works the device
link: the command-list walk, the memory-size read, the catalogue walk with its loop guard and
its checks, then the rows of the file list and the memory figures.  Nothing here is shared with
the program under test; the input is the memory the simulator serves.
"""

from __future__ import annotations

import dataclasses

REGISTERS, EEPROM, FLASH = 0x00, 0x10, 0x50

COMMAND_LIST_ADDRESS = 128
COMMAND_LIST_END = 2152
COMMAND_READ_LENGTH = 110
SLOT_SIZE = 22
CHAIN_START = 2152
HEADER_READ_LENGTH = 166
MEMORY_SIZE_REGISTER = 140
MAX_RECORDS = 1000  # table rows 0..999

CORRUPT_MESSAGE = ("A corrupted file will be found and it will be ignored",
                   "save all file and after erase the flash")
OVERFLOW_QUESTION = ("Program error.", "Do you want to erase flash?")


def device_text(data: bytes) -> str:
    """Device bytes as text: Windows-1252, the five unassigned bytes as the same code points."""
    return "".join(bytes([b]).decode("cp1252", errors="ignore") or chr(b) for b in data)


@dataclasses.dataclass(frozen=True)
class Request:
    area: int
    address: int
    length: int


@dataclasses.dataclass
class Outcome:
    """What the host does and shows for one catalogue read."""

    # Long read requests in the order sent; a reconnection shows as None (a new speed switch).
    requests: list[Request | None]
    kind: str  # "catalogue", "corrupt" or "overflow"
    catalogue: dict | None  # the JSON object, None after an overflow

    @property
    def shows_corrupt_message(self) -> bool:
        return self.kind == "corrupt"

    @property
    def asks_to_erase(self) -> bool:
        return self.kind == "overflow"


class _ReplyLost(Exception):
    pass


class _Device:
    """The memory as seen over the line: reads past the flash give erased bytes."""

    def __init__(self, flash: bytes, memory_size: int, drop_at: int | None):
        self.flash = flash
        self.memory_size = memory_size
        self.drop_at = drop_at
        self.requests: list[Request | None] = []
        self.long_frames = 0

    def read(self, area: int, address: int, length: int) -> bytes:
        self.requests.append(Request(area, address, length))
        frame = self.long_frames
        self.long_frames += 1
        if frame == self.drop_at:
            raise _ReplyLost()
        if area == REGISTERS:
            assert address == MEMORY_SIZE_REGISTER and length == 4
            return self.memory_size.to_bytes(4, "big")
        assert area == FLASH
        data = self.flash[address:address + length]
        return data + b"\xff" * (length - len(data))


@dataclasses.dataclass
class _Record:
    code: bytes
    file_type: int
    file_id: str
    name: str
    stamp: bytes


@dataclasses.dataclass
class _Host:
    """Host state that lives across walks (a reconnection does not clear it; the loop guard is
    cleared when a walk starts)."""

    command_list: dict[int, str] = dataclasses.field(default_factory=dict)
    pmem: int = 0


def file_name(raw: bytes) -> str:
    """The 20 name characters, trimmed, then every other blank of a run removed."""
    name = device_text(raw).strip(" ")
    length = len(name)
    i = 1  # 1-based character position
    while i <= length - 1:
        found = name.find(" ", i - 1)
        if found < 0:
            break
        name = name[:found] + name[found + 1:]
        i = found + 1 + 1
    return name


def file_id(number_bytes: bytes) -> str:
    value = number_bytes[2] * 65536 + number_bytes[1] * 256 + number_bytes[0]
    return f"{value:05d}"


def file_date(stamp: bytes) -> str:
    hour, minute, day, month, year = stamp
    if 1 <= day <= 31 and 1 <= month <= 12 and year <= 99 and hour <= 24 and minute <= 59:
        return f"{day:02d}-{month:02d}-{year:02d} {hour:02d}.{minute:02d}"
    return ""


def memory_label(memory_size: int) -> str:
    """Size in megabytes cut to one decimal, times 1024, in the default number form."""
    value = int(memory_size / 100000) / 10 * 1024
    return "%.15g" % value


def _slot_text(slot: bytes) -> str:
    return "".join(f"{b:02X}" for b in slot[:6]) + device_text(slot[6:22])


def _description(command_list: dict[int, str], file_type: int) -> str:
    wanted = f"{file_type:02X}"
    for s in range(128):
        entry = command_list.get(s, "")
        if entry[:2] == wanted:
            return entry[12:28].replace(" ", "")
    return ""


def _read_command_list(device: _Device, host: _Host) -> bool:
    """True when the list ends with an end slot; False when all 92 slots are in use."""
    address = COMMAND_LIST_ADDRESS
    s = 0
    while True:
        reply = device.read(FLASH, address, COMMAND_READ_LENGTH)
        if reply[0] == 0xFF:
            return True
        host.command_list[s] = _slot_text(reply[:SLOT_SIZE])
        s += 1
        address += SLOT_SIZE
        if address == COMMAND_LIST_END:
            return False


def _walk(device: _Device, host: _Host, memory_size: int):
    records: list[_Record] = []
    block = CHAIN_START
    count = 0
    # Every walk starts with a clear loop guard: a walk cut short by a lost reply would
    # otherwise leave the first header's pointer in it and end the next walk right there.
    host.pmem = 0
    while True:
        header = device.read(FLASH, block, HEADER_READ_LENGTH)
        if count >= MAX_RECORDS:
            return "overflow", records, count, block
        records.append(_Record(code=header[32:48], file_type=header[48],
                               file_id=file_id(header[59:62]),
                               name=file_name(header[96:116]), stamp=header[140:145]))
        p = 0 if header[50] == 0xFF else int.from_bytes(header[50:54], "big")
        if p == host.pmem:
            p = 0
            host.pmem = 0
        else:
            host.pmem = p
        if p == 0:
            return "catalogue", records, count, block
        # Files are only ever appended: a next header before its own closes a loop.
        if p > memory_size or p < block:
            return "corrupt", records, count, p
        block = p
        count += 1


def _rows(records: list[_Record], count: int, command_list: dict[int, str]) -> list[dict]:
    rows = []
    for record in records[:count]:
        if record.file_type == 0xFF:
            continue
        rows.append({
            "code": device_text(bytes(b for b in record.code if b not in (0x00, 0xFF))),
            "description": _description(command_list, record.file_type),
            "name": f"{record.name}_{record.file_id}",
            "date": file_date(record.stamp),
        })
    for i, row in enumerate(rows):
        number = 1
        for j in range(i - 1, -1, -1):
            earlier = rows[j]
            if earlier["code"][2:6] == row["code"][2:6] and \
                    earlier["description"] == row["description"]:
                number = int(earlier["id"]) + 1
                break
        row["id"] = str(number)
    return rows


def expected(flash: bytes, memory_size: int, drop_at: int | None = None) -> Outcome:
    """The outcome of one catalogue read of a device with this flash and memory size.

    `drop_at` is the 0-based index, among the long frames, of one request the device does not
    answer: the host then reconnects and starts over from the command list, keeping its state.
    """
    device = _Device(flash, memory_size, drop_at)
    host = _Host()
    while True:
        try:
            if not _read_command_list(device, host):
                raise NotImplementedError("a full command list ends the refresh early")
            size = int.from_bytes(device.read(REGISTERS, MEMORY_SIZE_REGISTER, 4), "big")
            kind, records, count, block = _walk(device, host, size)
            break
        except _ReplyLost:
            device.requests.append(None)
    if kind == "overflow":
        return Outcome(device.requests, kind, None)
    catalogue = {
        "memory_size": size,
        "memory_label": memory_label(size),
        "memory_used": block if block < size else size,
        "memory_max": size,
        "rows": _rows(records, count, host.command_list),
    }
    return Outcome(device.requests, kind, catalogue)
