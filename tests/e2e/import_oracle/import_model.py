"""What importing a pen drive must produce, worked out from the drive's entries alone.

The search (a folder's own device files, then its sub-folders, each fully before the next,
names compared without regard to letter case, at most 10001 files), the header record of each
file, the rows of the list, the target folders, the sealed names and bytes, where a sealed file
lands among the files already there, and which files an erase deletes.  Sealed names of cycle
files, the seal itself and the placement beside existing files come from the save oracle's
model: an imported file is sealed exactly as the same file uploaded over the link.
"""

from __future__ import annotations

import dataclasses
import datetime

import save_oracle_path  # noqa: F401
import oracle as catalogue_oracle
import save_model
from drive_files import FILE, FOLDER, Entry
from oracle import device_text

HEADER_SIZE = 166
NO_FILE = 0xFF
MAX_FOUND = 10001
TECHNICAL_DESCRIPTION = "Technical Report"


# The search.

def device_file_name(name: str) -> bool:
    return name.lower().endswith(".moc")


def found_files(entries: list[Entry]) -> list[Entry]:
    """The device files in the order the search meets them, at most 10001."""
    folders: set[str] = {""}
    for entry in entries:
        parts = entry.path.split("/")
        for depth in range(1, len(parts)):
            folders.add("/".join(parts[:depth]))
        if entry.kind == FOLDER:
            folders.add(entry.path)
    own: dict[str, list[Entry]] = {}
    for entry in entries:
        if entry.kind == FILE and device_file_name(entry.name):
            own.setdefault(entry.parent, []).append(entry)
    subfolders: dict[str, list[str]] = {}
    for folder in folders - {""}:
        parent = folder.rsplit("/", 1)[0] if "/" in folder else ""
        subfolders.setdefault(parent, []).append(folder)

    found: list[Entry] = []

    def search(folder: str) -> None:
        found.extend(sorted(own.get(folder, []), key=lambda e: e.name.lower()))
        for sub in sorted(subfolders.get(folder, []), key=lambda f: f.rsplit("/", 1)[-1].lower()):
            search(sub)

    search("")
    return found[:MAX_FOUND]


# Rows.

def code_text(header: bytes) -> str:
    return device_text(bytes(b for b in header[32:48] if b not in (0x00, 0xFF)))


def is_technical_report(header: bytes) -> bool:
    return code_text(header).startswith("TR")


def stamp_of(header: bytes, modified: datetime.datetime) -> bytes:
    """Hour, minute, day, month, two-digit year: a technical report's from the file's
    last-modified local time, any other file's from header 140..144."""
    if is_technical_report(header):
        return bytes([modified.hour, modified.minute, modified.day, modified.month,
                      modified.year % 100])
    return header[140:145]


@dataclasses.dataclass
class Row:
    entry: Entry
    header: bytes
    code: str
    description: str
    name: str  # file name, "_", file number
    date: str  # DD-MM-YY hh.mm, or empty
    stamp: bytes
    technical: bool
    id: str = ""  # running number of its kind

    @property
    def data(self) -> bytes:
        return self.entry.data


def rows_of(headers: list[tuple[Entry, bytes]]) -> list[Row]:
    rows = []
    for entry, header in headers:
        if header[48] == NO_FILE:
            continue
        technical = is_technical_report(header)
        stamp = stamp_of(header, entry.modified)
        rows.append(Row(entry, header, code_text(header),
                        TECHNICAL_DESCRIPTION if technical else "",
                        f"{catalogue_oracle.file_name(header[96:116])}_"
                        f"{catalogue_oracle.file_id(header[59:62])}",
                        catalogue_oracle.file_date(stamp), stamp, technical))
    for i, row in enumerate(rows):
        number = 1
        for earlier in reversed(rows[:i]):
            if earlier.code[2:6] == row.code[2:6] and earlier.description == row.description:
                number = int(earlier.id) + 1
                break
        row.id = str(number)
    return rows


# Saving.

def folder_of(row: Row) -> str:
    _, _, _, month, year = row.stamp
    return f"20{year:02d}/" + ("SERVICE" if row.technical else f"{month:02d}")


def _digits(data: bytes, offset: int, picks: tuple[int, ...]) -> str:
    return "".join(chr(data[offset + p] - 100) for p in picks)


def technical_report_name(data: bytes) -> str:
    """Program text, file number, "TechnicalReport", the report's own date and time."""
    number = int.from_bytes(data[59:62], "little")
    date = _digits(data, 160, (0, 1, 3, 4, 8, 9))
    time = _digits(data, 202, (0, 1, 3, 4))
    return (f"{save_model.program_part(data[96:116])}_{number:05d}_TechnicalReport_"
            f"{save_model.file_name_safe(date)}_{save_model.file_name_safe(time)}.dtl")


def sealed_name(row: Row, messages: dict[int, str]) -> str:
    if row.technical:
        return technical_report_name(row.data)
    return save_model.sealed_name(row.header, messages)


def tail(device_bytes: bytes) -> bytes:
    """A sealed file from offset 12 on: everything but the stamp."""
    return save_model.seal(device_bytes, datetime.datetime(2000, 1, 1))[12:]


@dataclasses.dataclass
class ImportOutcome:
    found: list[Entry]  # device files in search order
    reported: list[Entry]  # too short or unreadable: named on stderr, not listed
    rows: list[Row]
    saved: list[tuple[str, Row]]  # program-folder path and row, in the order sealed (stdout)
    undated: list[Row]  # listed rows without a date: not saved
    failed: list[Row]  # rows whose folder cannot be made
    tree: dict[str, bytes]  # every file of the archive afterwards: path -> bytes from 12 on
    deleted: list[str]  # drive paths the erase deletes

    @property
    def complete(self) -> bool:
        return not self.failed

    @property
    def lines(self) -> list[str]:
        return [path for path, _ in self.saved]


def expected_import(entries: list[Entry], messages: dict[int, str],
                    existing: dict[str, bytes] | None = None, erase: bool = False,
                    readable_all: bool = False) -> ImportOutcome:
    """The outcome of one import of a drive holding `entries` into a program folder already
    holding `existing` (path -> whole file).  `erase`: the erase is asked for and confirmed.
    `readable_all`: the program can read every file, also those marked unreadable (it runs
    with the rights to)."""
    found = found_files(entries)
    headers, reported = [], []
    for entry in found:
        if (not entry.readable and not readable_all) or len(entry.data) < HEADER_SIZE:
            reported.append(entry)
        else:
            headers.append((entry, entry.data[:HEADER_SIZE]))
    rows = rows_of(headers)

    tree = dict(existing or {})
    blocked = set(tree)  # files lying where a folder is needed
    saved, undated, failed = [], [], []
    for row in rows:
        if not row.date:
            undated.append(row)
            continue
        folder = folder_of(row)
        year = folder.split("/")[0]
        if year in blocked or folder in blocked:
            failed.append(row)
            continue
        here = {path[len(folder) + 1:]: data for path, data in tree.items()
                if path.startswith(folder + "/") and "/" not in path[len(folder) + 1:]}
        sealed = save_model.seal(row.data, datetime.datetime(2000, 1, 1))
        path = f"{folder}/{save_model.placement(here, sealed_name(row, messages), sealed)}"
        tree[path] = sealed
        saved.append((path, row))
    # The erase deletes the device files that were imported (sealed), and only those: a file
    # that was not saved (type 255, undated, unreadable, too short) stays on the drive, so no
    # record is lost.
    deleted = list(dict.fromkeys(row.entry.path for _, row in saved)) if erase else []
    return ImportOutcome(found, reported, rows, saved, undated, failed,
                         {path: data[12:] for path, data in tree.items()}, deleted)
