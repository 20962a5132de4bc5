"""What saving the device's files and verifying sealed files must produce, worked out here.

Saving: the catalogue read (worked out by the catalogue oracle), then for every listed row with
a date the upload requests of its file, the sealed file's folder, name and bytes, and where it
lands when its name is already taken.  Verifying: the verdict on one stored file from its bytes
and its last-modified time, with the seal rebuilt step by step as the report window's reader
does.  Nothing here is shared with the program under test.
"""

from __future__ import annotations

import dataclasses
import datetime
import re
from pathlib import Path

import catalogue_oracle_path  # noqa: F401
import oracle as catalogue_oracle
from oracle import Request, device_text

FLASH = catalogue_oracle.FLASH
CHAIN_START = 2152
HEADER_SIZE = 166
BLOCK = 128
NO_FILE = 0xFF

LANGUAGE_FILE = Path(__file__).resolve().parents[3] / "lang" / "English.lng"
MESSAGE_RECORDS = 294


# Language messages.

_RECORD = re.compile(r'^\s*(\d+),"([^"]*)"')


def load_messages(path: Path = LANGUAGE_FILE) -> dict[int, str]:
    """Message records from the top of a language file: number, comma, quoted text."""
    messages: dict[int, str] = {}
    lines = path.read_bytes().decode("cp1252").split("\r\n")
    for line in lines[:MESSAGE_RECORDS]:
        match = _RECORD.match(line)
        if not match:
            break
        messages[int(match.group(1))] = match.group(2)
    return messages


# The sealed file's name and folder.

UNSAFE = set('/\\:*?"<>|')


def file_name_safe(value: str) -> str:
    """Separators, reserved and control characters become "_", and so does every ".."."""
    value = "".join("_" if c in UNSAFE or ord(c) < 0x20 or ord(c) == 0x7F else c for c in value)
    while ".." in value:
        value = value.replace("..", "_", 1)
    return value


def program_part(raw: bytes) -> str:
    """Header bytes 96..115: blanks dropped, a trailing //// read as 0000."""
    value = device_text(raw).strip(" ").replace(" ", "")
    if value.endswith("////"):
        value = value[:-4] + "0000"
    return file_name_safe(value)


def cycle_part(type_byte: int, messages: dict[int, str]) -> str:
    """The cycle name of the low four bits of header byte 152: blanks and the first °C gone."""
    value = messages.get(50 + (type_byte & 0x0F), "").strip(" ").replace(" ", "")
    return file_name_safe(value.replace("°C", "", 1))


def sealed_name(header: bytes, messages: dict[int, str]) -> str:
    number = int.from_bytes(header[59:62], "little")
    hour, minute, day, month, year = header[140:145]
    return (f"{program_part(header[96:116])}_{number:05d}_{cycle_part(header[152], messages)}_"
            f"{day:02d}{month:02d}{year:02d}_{hour:02d}{minute:02d}.dtl")


def has_date(stamp: bytes) -> bool:
    return catalogue_oracle.file_date(stamp) != ""


def folder_of(stamp: bytes) -> str:
    _, _, _, month, year = stamp
    return f"20{year:02d}/{month:02d}"


# Sealing.

def seal_text(day: int, month: int, year: int, hour: int, minute: int,
              second: int) -> str | None:
    """The 12 seal characters of a date and time; None when a value has no two-digit form."""
    values = (day, month, year % 100, hour, minute, second)
    if any(v < 0 or v > 99 for v in values):
        return None
    d = f"{day:02d}{month:02d}{year % 100:02d}"
    t = f"{hour:02d}{minute:02d}{second:02d}"
    return "".join(d[i] + t[5 - i] for i in range(6))


def seal_of(moment: datetime.datetime) -> bytes:
    return seal_text(moment.day, moment.month, moment.year, moment.hour, moment.minute,
                     moment.second).encode("ascii")


def sealed_time(stamp: bytes) -> datetime.datetime | None:
    """The local date and time a seal was built from (years 2000..2099), None when malformed."""
    try:
        text = stamp.decode("ascii")
    except UnicodeDecodeError:
        return None
    if len(text) != 12 or not text.isdigit():
        return None
    d = text[0::2]
    t = text[1::2][::-1]
    try:
        return datetime.datetime(2000 + int(d[4:6]), int(d[2:4]), int(d[0:2]),
                                 int(t[0:2]), int(t[2:4]), int(t[4:6]))
    except ValueError:
        return None


def checksum(content: bytes) -> int:
    return sum(content) & 0xFFFF


def seal(device_bytes: bytes, moment: datetime.datetime) -> bytes:
    """A sealed file: stamp, checksum high byte, the device's bytes, 0x00, checksum low byte."""
    content = device_bytes + b"\x00"
    total = checksum(content)
    return seal_of(moment) + bytes([total >> 8]) + content + bytes([total & 0xFF])


# Verifying.

MINIMUM_SIZE = 90


def seal_accepted(stamp: bytes, modified: datetime.datetime) -> bool:
    """The reader's seal check, step by step, against the file's last-modified local time."""
    s0 = stamp.decode("latin-1")
    date = (modified.day, modified.month, modified.year)
    hour, minute, second = modified.hour, modified.minute, modified.second
    built = seal_text(*date, hour, minute, second)
    if built == s0:
        return True
    if built[8:12] != s0[8:12]:
        if seal_text(*date, hour - 1, minute, second) == s0:
            return True
        later = seal_text(*date, hour + 1, minute, second)
        if later is None or later[8:12] != s0[8:12]:
            return False
        hour += 1
    if seal_text(*date, hour, minute, second) == s0:
        return True
    now = hour * 3600 + minute * 60 + second
    for candidate in range(now - 5, now + 6):
        if candidate < 0 or candidate > 23 * 3600 + 59 * 60 + 59:
            continue
        if seal_text(*date, candidate // 3600, candidate // 60 % 60, candidate % 60) == s0:
            return True
    return False


def is_technical_report(data: bytes) -> bool:
    return data[44:46] == b"TR" or data[45:47] == b"TR"


def verdict(data: bytes | None, modified: datetime.datetime) -> str:
    """What verify says of a file with these bytes (None: cannot be read) and this time."""
    if data is None:
        return "unreadable"
    if len(data) < MINIMUM_SIZE:
        return "too short"
    if not seal_accepted(data[:12], modified):
        return "bad seal"
    if is_technical_report(data):
        return "OK (technical report)"
    total = checksum(data[13:-1])
    if total == 0 or data[12] != total >> 8 or data[-1] != total & 0xFF:
        return "bad checksum"
    return "OK"


def failed(result: str) -> bool:
    return not result.startswith("OK")


# Saving.

@dataclasses.dataclass(frozen=True)
class ChainFile:
    """A file of the chain as the catalogue walk meets it."""

    start: int
    end: int  # its NextAddress
    header: bytes  # the 166 bytes at its start, as the catalogue read them

    @property
    def length(self) -> int:
        return self.end - self.start

    @property
    def listed(self) -> bool:
        return self.header[48] != NO_FILE

    @property
    def dated(self) -> bool:
        return has_date(self.header[140:145])


def chain_files(flash: bytes) -> list[ChainFile]:
    """The files of a well-formed chain: headers from 2152 on until a NextAddress of 0."""
    files = []
    address = CHAIN_START
    while True:
        header = flash[address:address + HEADER_SIZE]
        header += b"\xff" * (HEADER_SIZE - len(header))
        following = 0 if header[50] == 0xFF else int.from_bytes(header[50:54], "big")
        if following == 0:
            return files
        if following <= address:
            raise ValueError(f"the chain at {address} does not run forwards")
        files.append(ChainFile(address, following, header))
        address = following


def upload_requests(start: int, length: int) -> list[Request]:
    """128-byte blocks from the file's start, then the remainder (also when it is 0)."""
    blocks, rest = divmod(length, BLOCK)
    requests = [Request(FLASH, start + BLOCK * b, BLOCK) for b in range(blocks)]
    return requests + [Request(FLASH, start + BLOCK * blocks, rest)]


def placement(folder: dict[str, bytes], name: str, sealed: bytes) -> str:
    """Where a sealed file goes among the files of its folder (name -> bytes): its own name,
    unless a file holding another record is there, then name_2, name_3, ...: the first free
    one, or the first one holding the same record (the same bytes from offset 12 on)."""
    stem = name[:-len(".dtl")]
    number = 1
    while True:
        candidate = name if number == 1 else f"{stem}_{number}.dtl"
        existing = folder.get(candidate)
        if existing is None or existing[12:] == sealed[12:]:
            return candidate
        number += 1


@dataclasses.dataclass
class SavedFile:
    path: str  # relative to the program folder, "/" separators
    device_bytes: bytes
    file: ChainFile

    @property
    def tail(self) -> bytes:
        """The sealed file from offset 12 on: everything but the stamp."""
        return seal(self.device_bytes, datetime.datetime(2000, 1, 1))[12:]


@dataclasses.dataclass
class SaveOutcome:
    requests: list[Request]  # long frames in order, the catalogue's first
    catalogue_requests: int
    saved: list[SavedFile]  # in the order saved (and printed)
    skipped: list[ChainFile]  # listed rows without a date
    files: dict[str, bytes]  # every sealed file in the tree afterwards: path -> bytes from 12 on
    complete: bool  # False when the device stopped answering before the end


def expected_save(flash: bytes, memory_size: int, messages: dict[int, str],
                  existing: dict[str, bytes] | None = None,
                  answered: int | None = None) -> SaveOutcome:
    """The outcome of one save into a program folder already holding `existing` (relative
    path -> whole file).  `answered`: the number of long frames the device answers before it
    goes silent (None: all)."""
    catalogue = catalogue_oracle.expected(flash, memory_size)
    if catalogue.kind != "catalogue" or None in catalogue.requests:
        raise ValueError("the save cases use well-formed chains")
    files = chain_files(flash)
    listed = [f for f in files if f.listed]
    rows = catalogue.catalogue["rows"]
    if [row["date"] for row in rows] != [catalogue_oracle.file_date(f.header[140:145])
                                         for f in listed]:
        raise ValueError("the chain walk here and the catalogue oracle disagree")

    tree = {path: data for path, data in (existing or {}).items()}
    requests = list(catalogue.requests)
    saved: list[SavedFile] = []
    skipped: list[ChainFile] = []
    complete = True
    for file in listed:
        if not file.dated:
            skipped.append(file)
            continue
        requests += upload_requests(file.start, file.length)
        if answered is not None and len(requests) > answered:
            complete = False
            break
        device_bytes = flash[file.start:file.end]
        # The name is made of the saved bytes alone: a file shorter than its header reads as
        # zero where its fields would lie beyond its end.
        header = (device_bytes + bytes(166))[:166]
        folder = folder_of(file.header[140:145])
        here = {path[len(folder) + 1:]: data for path, data in tree.items()
                if path.startswith(folder + "/") and "/" not in path[len(folder) + 1:]}
        sealed = seal(device_bytes, datetime.datetime(2000, 1, 1))
        path = f"{folder}/{placement(here, sealed_name(header, messages), sealed)}"
        tree[path] = sealed
        saved.append(SavedFile(path, device_bytes, file))
    if answered is not None:
        requests = requests[:answered + 1]
    return SaveOutcome(requests, len(catalogue.requests), saved, skipped,
                       {path: data[12:] for path, data in tree.items()}, complete)
