"""Device files as the device copies them onto a pen drive, and the drives they are laid on.

A device file is what the device keeps in its memory for one file, byte for byte: the 166-byte
header record (file code at 32, type at 48, NextAddress at 50, PrevAddress at 54, file number
at 59, program text at 96, start stamp at 140), then the file's content.  A cycle file carries
the 90-byte cycle summary in the second part of its header and 13-byte sample records after
it; a technical report carries text from offset 139 on, each character stored as its code plus
100, with the report's date (dd/mm/yyyy) at 160..169 and its time (hh:mm) at 202..206.

The files of one drive are written as if they lay one after another in the device's memory
from 2152 on, so each NextAddress names the start of the next one; the same bytes can then be
laid into a simulated device and uploaded over the link.

A drive is a list of entries (files, folders, links to nothing, named pipes), each at a path
relative to the drive's root, written into a real folder by `lay_out`.
"""

from __future__ import annotations

import dataclasses
import datetime
import os
from pathlib import Path

import save_oracle_path  # noqa: F401
from device_image import CHAIN_START, HEADER_SIZE, Header, text
from save_cases import samples

DATALOGGER, FIRMWARE, SERVICE_TYPE, NO_FILE = 0x50, 0x10, 0x60, 0xFF
NO_PREVIOUS = 0xFFFFFFFF

# When the device wrote its files onto the drive, unless a case says otherwise.
COPIED_AT = datetime.datetime(2024, 5, 14, 9, 41, 27)


@dataclasses.dataclass
class CycleMoc:
    """A cycle file: header with the cycle summary, then sample records."""

    program: bytes  # header 96..115, blank-padded
    number: int  # header 59..61
    start: tuple[int, int, int, int, int]  # hour, minute, day, month, year (header 140..144)
    cycle_type: int = 0x00  # header 152
    samples: int = 3
    code: bytes = b"DL134W00001"
    file_type: int = DATALOGGER
    seed: int = 0
    trailing: bytes = b""  # bytes after the sample records

    def content(self, address: int, following: int, previous: int) -> bytes:
        hour, minute, day, month, year = self.start
        summary = {
            62: (self.number % 1000).to_bytes(3, "little"),  # cycle of the day
            65: bytes([2]),  # option bits
            76: text("TS-23 CLASS B").ljust(20),
            116: bytes(1),
            117: text("29705587").ljust(20),
            137: bytes(3),
            145: bytes([(hour + 1) % 24, (minute + 17) % 60, day, month, year]),  # end
            150: bytes([0, 2]),  # alarm code, counter
            152: bytes([self.cycle_type]),
            153: (1368).to_bytes(2, "little") + (1210).to_bytes(2, "little"),  # maximum
            157: (1341).to_bytes(2, "little") + (845).to_bytes(2, "little"),  # minimum
            161: bytes([4, 0, 0, 0, 0]),  # sterilisation time, result, drying, unused
        }
        header = Header(address=address, code=self.code, file_type=self.file_type,
                        next_address=following, prev_address=previous, number=self.number,
                        name=self.program.ljust(20), stamp=self.start, overrides=summary)
        return header.encode() + samples(self.samples, self.seed) + self.trailing

    def length(self) -> int:
        return HEADER_SIZE + 13 * self.samples + len(self.trailing)


def every_byte(length: int) -> bytes:
    """Bytes a reader in text mode or one that stops early would get wrong: every value, line
    ends, 0x1A (end of file for some readers) and long runs of 0x00 and 0xFF."""
    pattern = bytes(range(256)) + b"\r\n\n\r\x1a\x1a" + bytes(300) + b"\xff" * 300
    return (pattern * (length // len(pattern) + 1))[:length]


def report_text(date: str, time: str, lines: list[str]) -> str:
    """The text of a technical report with the date at text position 21 (file offset 160) and
    the time at text position 63 (file offset 202)."""
    out = "TECHNICAL REPORT\r\n" + "On " + date + "\r\n" + "Engineer visit, started at".ljust(30)
    out += time + "\r\n" + "".join(line + "\r\n" for line in lines)
    assert out[21:31] == date and out[63:68] == time
    return out


@dataclasses.dataclass
class TechnicalReportMoc:
    """A technical report: header up to 138, then its text, every character stored as its
    code plus 100."""

    program: bytes  # header 96..115
    number: int
    date: str = "05/03/2012"  # dd/mm/yyyy, at 160..169
    time: str = "10:15"  # hh:mm, at 202..206
    code: bytes = b"TRSERV00001"
    file_type: int = SERVICE_TYPE
    lines: tuple[str, ...] = ("Serial 29705587", "Door seal replaced",
                              "Vacuum test passed", "Next service in 12 months")

    def stored_text(self) -> bytes:
        return bytes((b + 100) % 256 for b in
                     report_text(self.date, self.time, list(self.lines)).encode("cp1252"))

    def content(self, address: int, following: int, previous: int) -> bytes:
        header = Header(address=address, code=self.code, file_type=self.file_type,
                        next_address=following, prev_address=previous, number=self.number,
                        name=self.program.ljust(20))
        return header.encode()[:139] + self.stored_text()

    def length(self) -> int:
        return 139 + len(self.stored_text())


DeviceFile = CycleMoc | TechnicalReportMoc


def chained(files: list[DeviceFile], start: int = CHAIN_START) -> list[bytes]:
    """The files' bytes as they lie one after another in the device from `start`: each
    NextAddress names the next file's start, the last one its own end."""
    addresses = []
    place = start
    for f in files:
        addresses.append(place)
        place += f.length()
    out = []
    for i, f in enumerate(files):
        following = addresses[i + 1] if i + 1 < len(files) else place
        previous = addresses[i - 1] if i else NO_PREVIOUS
        data = f.content(addresses[i], following, previous)
        assert len(data) == f.length()
        out.append(data)
    return out


# Drives.

FILE, FOLDER, LINK, PIPE = "file", "folder", "link", "pipe"


@dataclasses.dataclass
class Entry:
    """One thing on the drive, at `path` (relative to the root, "/" separators)."""

    path: str
    kind: str = FILE
    data: bytes = b""
    modified: datetime.datetime = COPIED_AT  # local time
    target: str = ""  # what a link points at
    readable: bool = True  # False: no permission to read it (for a user other than root)

    @property
    def name(self) -> str:
        return self.path.rsplit("/", 1)[-1]

    @property
    def parent(self) -> str:
        return self.path.rsplit("/", 1)[0] if "/" in self.path else ""


def device_files(paths: list[str], files: list[DeviceFile],
                 modified: list[datetime.datetime] | None = None) -> list[Entry]:
    """Entries holding `files` chained in the device's memory, at `paths`."""
    modified = modified or [COPIED_AT] * len(files)
    return [Entry(path, FILE, data, moment)
            for path, data, moment in zip(paths, chained(files), modified, strict=True)]


def lay_out(entries: list[Entry], root: Path, shared: bool = False) -> None:
    """Writes the entries below `root`.  `shared`: every folder open to every user, so that a
    program run as another user can read and delete the files (but not the unreadable ones)."""
    root.mkdir(parents=True, exist_ok=True)
    folders = [root]
    for entry in entries:
        path = root / entry.path
        path.parent.mkdir(parents=True, exist_ok=True)
        if entry.kind == FOLDER:
            path.mkdir(exist_ok=True)
        elif entry.kind == LINK:
            path.symlink_to(entry.target)
        elif entry.kind == PIPE:
            os.mkfifo(path)
        else:
            path.write_bytes(entry.data)
            moment = entry.modified.timestamp()
            os.utime(path, (moment, moment))
            os.chmod(path, 0o644 if entry.readable else 0o000)
    if shared:
        for folder, names, _ in os.walk(root):
            folders += [Path(folder) / name for name in names]
        for folder in folders:
            os.chmod(folder, 0o777)
