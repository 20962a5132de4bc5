"""The drives the import is tried against, and the program folders it imports into."""

from __future__ import annotations

import dataclasses
import datetime

import import_model
import save_model
from device_image import DeviceImage, text
from drive_files import (COPIED_AT, DATALOGGER, FIRMWARE, FOLDER, LINK, NO_FILE, PIPE,
                         CycleMoc, Entry, TechnicalReportMoc, chained, device_files, every_byte)
from save_cases import command_list

at = datetime.datetime


@dataclasses.dataclass
class ImportCase:
    name: str
    entries: list[Entry]
    # Files in the program folder before the first import: path -> (bytes, last-modified).
    existing: dict[str, tuple[bytes, datetime.datetime]] = dataclasses.field(
        default_factory=dict)
    erase: bool = False  # --erase
    confirm: bool = False  # --yes
    runs: int = 1  # imports one after the other of the same drive into the same folder
    other_user: bool = False  # run as an ordinary user, so that unreadable files are
    relative: bool = False  # name the drive and the program folder relative to the current one
    json: bool = False  # --json
    deadline: float = 60.0

    def expected(self, messages: dict[int, str], existing: dict[str, bytes] | None = None,
                 readable_all: bool = False) -> import_model.ImportOutcome:
        if existing is None:
            existing = {path: data for path, (data, _) in self.existing.items()}
        return import_model.expected_import(self.entries, messages, existing,
                                            self.erase and self.confirm, readable_all)


def cycle(n: int, **fields) -> CycleMoc:
    """A dated cycle file of its own program, number and start, all varied by `n`."""
    values = dict(program=text(f"PROG {n}"), number=100 + n,
                  start=(6 + n % 17, 7 * n % 60, 1 + n % 28, 1 + n % 12, 12 + n % 3),
                  cycle_type=n % 6, samples=2 + n % 5, code=text(f"DL134W{n:05d}"), seed=n)
    values.update(fields)
    return CycleMoc(**values)


def others(prefix: str = "") -> list[Entry]:
    """Things on a drive that are not device files: other names, a folder named like one,
    a link to nothing."""
    moc_bytes = chained([cycle(90)])[0]
    return [
        Entry(prefix + "x.moc.bak", data=moc_bytes),
        Entry(prefix + "moc", data=moc_bytes),
        Entry(prefix + "a.mocx", data=moc_bytes),
        Entry(prefix + "notes.txt", data=b"service notes\r\n"),
        Entry(prefix + "folder.moc", kind=FOLDER),
        Entry(prefix + "gone.moc", kind=LINK, target="nowhere.moc"),
        Entry(prefix + "empty", kind=FOLDER),
    ]


def search_order() -> ImportCase:
    # A folder's own files by name in any letter case (a10 before a2: names, not numbers),
    # then its sub-folders in the same order, each searched to the end before the next.
    paths = ["z.moc", "b.moc", "C.MOC", "a2.Moc", "a10.moc",
             "A/x.moc", "A/B/y.moc", "A/c.moc",
             "beta/one.moc", "beta/deeper/more/two.MoC",
             "delta/3.moc", "delta/Z/4.moc", "delta/y/5.moc",
             "Gamma/last.moc"]
    files = [cycle(n) for n in range(len(paths))]
    entries = device_files(paths, files) + [Entry("readme.txt", data=b"drive\r\n"),
                                            Entry("beta/deeper/empty", kind=FOLDER)]
    return ImportCase("search_order", entries)


def what_is_listed() -> ImportCase:
    named = [
        # The worked example: 5 March 2012 10:15, a cycle file and a technical report.
        ("cycle.moc", CycleMoc(text("STD 134"), 42, (10, 15, 5, 3, 12), 0x00,
                               code=text("DL134W00042"), seed=1), COPIED_AT),
        ("report.moc", TechnicalReportMoc(text("SERVICE"), 1539, "05/03/2012", "10:15"),
         at(2012, 3, 5, 10, 15, 40)),
        # Its row is dated from the file's time: 00:30 on New Year's Day in Rome is still the
        # old year in UTC; the report's own date names the file.
        ("report_new_year.moc", TechnicalReportMoc(text("A B C////"), 7, "28/12/2024", "16:40",
                                                   code=text("TRSERV00002")),
         at(2025, 1, 1, 0, 30, 5)),
        ("Report_Summer.MOC", TechnicalReportMoc(b"../Pi\xe0/..", 8, "31/07/2023", "23:05",
                                                 code=text("TRSERV00003")),
         at(2023, 7, 31, 23, 50, 0)),
        # Bytes 0x00 and 0xFF are no characters of the code: it still begins with "TR".
        ("report_padded_code.moc", TechnicalReportMoc(text("BOARD 2"), 9, "01/02/2023",
                                                      "08:00", code=b"\x00\xffTRSERV00004"),
         at(2023, 2, 1, 8, 30, 0)),
        # Not technical reports: "tr" in small letters, "TR" not at the start.
        ("lower_tr.moc", CycleMoc(text("LOWER"), 43, (11, 0, 6, 3, 12), 0x01,
                                  code=text("trSERV0005"), seed=2), at(2020, 1, 1, 12, 0, 0)),
        ("xtr.moc", CycleMoc(text("XTR"), 44, (11, 30, 6, 3, 12), 0x02,
                             code=text("XTR00006"), seed=3), COPIED_AT),
        ("firmware.moc", CycleMoc(text("MAIN BOARD"), 45, (12, 0, 7, 4, 13),
                                  code=text("V1FW0203"), file_type=FIRMWARE, seed=4), COPIED_AT),
        ("undated.moc", CycleMoc(text("NO MONTH"), 46, (9, 30, 10, 13, 22),
                                 code=text("DL134W00046"), seed=5), COPIED_AT),
        ("erased.moc", CycleMoc(text("ABORTED"), 47, (9, 0, 10, 5, 22),
                                code=text("DL134W00047"), file_type=NO_FILE, seed=6), COPIED_AT),
        # Exactly a header record: listed and saved.
        ("header_only.moc", CycleMoc(text("HEADER ONLY"), 48, (8, 0, 1, 6, 14), 0x03,
                                     samples=0, code=text("DL134W00048"), seed=7), COPIED_AT),
        ("folder.moc/inside.moc", CycleMoc(text("INSIDE"), 49, (8, 10, 2, 6, 14), 0x04,
                                           code=text("DL134W00049"), seed=8), COPIED_AT),
        ("unsafe.moc", CycleMoc(b'a\\b:c*d?e"f<g>h|i', 50, (8, 20, 3, 6, 14), 0x05,
                                code=text("DL134W00050"), seed=9), COPIED_AT),
    ]
    paths, files, times = zip(*named)
    entries = device_files(list(paths), list(files), list(times))
    full = entries[0].data
    entries += [Entry("short.moc", data=full[:100]), Entry("just_short.moc", data=full[:165]),
                Entry("nothing.moc", data=b"")]
    return ImportCase("what_is_listed", entries + others())


def _existing() -> tuple[list[Entry], dict[str, tuple[bytes, datetime.datetime]]]:
    files = [
        CycleMoc(text("STD 134"), 42, (14, 20, 5, 3, 12), 0x00, code=text("DL134W00042"),
                 seed=1),
        CycleMoc(text("HOLLOW"), 7, (15, 0, 5, 3, 12), 0x03, code=text("DL134H00007"),
                 seed=2),
        TechnicalReportMoc(text("SERVICE"), 1539, "05/03/2012", "10:15"),
        CycleMoc(text("PRION"), 8, (16, 0, 5, 3, 12), 0x04, code=text("DL134P00008"), seed=3),
    ]
    # The same file copied twice onto the drive: the second one replaces the first.
    entries = device_files(["std.moc", "hollow.moc", "report.moc", "copy1/prion.moc"], files,
                           [COPIED_AT, COPIED_AT, at(2012, 3, 6, 9, 0, 0), COPIED_AT])
    entries.append(Entry("copy2/prion.moc", data=entries[-1].data))
    sealed_at = at(2012, 3, 6, 18, 0, 0)

    def foreign(seed: int) -> bytes:
        return save_model.seal(b"\x5a" * 32 + bytes(range(seed, seed + 150)), sealed_at)

    messages = save_model.load_messages()

    def name_of(entry: Entry) -> str:
        return save_model.sealed_name(entry.data[:166], messages)

    existing = {
        # The same record saved earlier: replaced.
        f"2012/03/{name_of(entries[0])}": (save_model.seal(entries[0].data, sealed_at),
                                           sealed_at),
        # Other records under the names two files get: kept, the files go to _2.
        f"2012/03/{name_of(entries[1])}": (foreign(20), sealed_at),
        "2012/SERVICE/" + import_model.technical_report_name(entries[2].data): (
            foreign(21), sealed_at),
        # Files the import has nothing to do with.
        "2012/03/OTHER_00001_134Wrapped_050312_1000.dtl": (foreign(22), sealed_at),
        "2012/03/notes.txt": (b"kept\r\n", sealed_at),
    }
    return entries, existing


def existing_sealed() -> ImportCase:
    entries, existing = _existing()
    return ImportCase("existing_sealed", entries, existing, runs=2)


def erase_drive() -> list[Entry]:
    files = [cycle(n) for n in range(5)] + [
        CycleMoc(text("ABORTED"), 60, (9, 0, 10, 5, 22), code=text("DL134W00060"),
                 file_type=NO_FILE, seed=60),
        CycleMoc(text("NO DAY"), 61, (9, 0, 0, 5, 22), code=text("DL134W00061"), seed=61),
        TechnicalReportMoc(text("SERVICE"), 62, "01/03/2024", "11:11", code=text("TRSERV00062")),
    ]
    paths = ["one.moc", "Sub/two.MOC", "Sub/deeper/three.moc", "folder.moc/four.moc",
             "Other/five.Moc", "erased.moc", "Sub/undated.moc", "Other/report.moc"]
    entries = device_files(paths, files, [COPIED_AT] * 7 + [at(2024, 3, 2, 9, 0, 0)])
    entries.append(Entry("Sub/short.moc", data=entries[0].data[:120]))
    return entries + others() + others("Sub/deeper/")


def unreadable() -> ImportCase:
    paths = ["first.moc", "locked.moc", "sub/second.moc", "sub/locked_too.MOC"]
    entries = device_files(paths, [cycle(n) for n in range(20, 24)])
    entries[1].readable = entries[3].readable = False
    entries.append(Entry("sub/short.moc", data=entries[0].data[:50]))
    return ImportCase("unreadable", entries, erase=True, confirm=True, other_user=True)


def at_most_10001() -> ImportCase:
    # 10002 dated device files: the 10002nd one found is not taken, so neither saved nor erased.
    paths = [f"f1/n{i:05d}.moc" for i in range(6000)] + [f"F2/n{i:05d}.moc" for i in range(4002)]
    files = [cycle(i, samples=0) for i in range(len(paths))]
    # Created in an order other than the search's.
    entries = list(reversed(device_files(paths, files)))
    return ImportCase("at_most_10001", entries, erase=True, confirm=True, deadline=300.0)


def hidden_names() -> ImportCase:
    paths = [".early.moc", "visible.moc", ".sub/hidden_folder.moc", "sub/.hidden.MOC"]
    return ImportCase("hidden_names", device_files(paths, [cycle(n) for n in range(30, 34)]))


def named_pipe() -> ImportCase:
    entries = device_files(["a.moc", "sub/c.moc"], [cycle(40), cycle(41)])
    return ImportCase("named_pipe", entries + [Entry("b.moc", kind=PIPE),
                                               Entry("sub/b.moc", kind=PIPE)],
                      erase=True, confirm=True, deadline=30.0)


def blocked_year() -> ImportCase:
    files = [cycle(0, start=(8, 0, 1, 2, 12)), cycle(1, start=(9, 0, 1, 2, 13)),
             cycle(2, start=(10, 0, 2, 2, 12)), cycle(3, start=(11, 0, 1, 3, 13))]
    entries = device_files(["a.moc", "b.moc", "c.moc", "d.moc"], files)
    # A file where the year folder 2012 and the month folder 2013/03 should be.
    existing = {"2012": (b"not a folder", COPIED_AT), "2013/03": (b"nor this", COPIED_AT)}
    return ImportCase("blocked_year", entries, existing)


def large_files() -> ImportCase:
    # Whole files are copied byte for byte, whatever the bytes and however long the file.
    files = [cycle(70, trailing=every_byte(300_000)), cycle(71, samples=0, trailing=b"\x1a"),
             cycle(72, trailing=every_byte(65_536 - 166 - 13 * 3 - 1))]
    return ImportCase("large_files", device_files(["big.moc", "sub/eof.moc", "sub/64k.moc"],
                                                  files))


def relative_paths() -> ImportCase:
    # The drive and the program folder named relative to the current folder.
    entries = device_files(["a.moc", "sub/b.moc"], [cycle(80), cycle(81)])
    return ImportCase("relative_paths", entries, erase=True, confirm=True, relative=True)


def empty_drive() -> ImportCase:
    return ImportCase("empty_drive", others(), erase=True, confirm=True)


def all_cases() -> dict[str, ImportCase]:
    cases = [
        search_order(),
        what_is_listed(),
        dataclasses.replace(what_is_listed(), name="listed_as_json", json=True),
        existing_sealed(),
        ImportCase("erase_confirmed", erase_drive(), erase=True, confirm=True),
        ImportCase("erase_unanswered", erase_drive(), erase=True),
        unreadable(),
        at_most_10001(),
        hidden_names(),
        named_pipe(),
        blocked_year(),
        large_files(),
        relative_paths(),
        empty_drive(),
    ]
    return {case.name: case for case in cases}


# The cross-check: the same device files on a drive and in a simulated device.

FLASH_SIZE = 131072


def cross_check_files() -> list[tuple[str, object, datetime.datetime]]:
    """Files in the device's order, at drive paths the search meets in the same order."""
    return [
        ("1.moc", CycleMoc(text("STD 134"), 42, (14, 20, 5, 3, 12), 0x00, samples=66,
                           code=text("DL134W00042"), seed=1), COPIED_AT),
        ("2.moc", CycleMoc(text("PRION 134"), 43, (9, 5, 6, 3, 12), 0x04, samples=7,
                           code=text("DL134P00043"), seed=2), COPIED_AT),
        ("3.moc", TechnicalReportMoc(text("SERVICE"), 1539, "06/03/2012", "11:20"),
         at(2012, 3, 6, 11, 25, 0)),
        ("4/1.moc", CycleMoc(text("AB////C"), 99999, (12, 30, 15, 6, 23), 0x0D, samples=1,
                             code=text("DL134W99999"), seed=3), COPIED_AT),
        ("4/2.moc", CycleMoc(text("ABORTED"), 44, (9, 0, 6, 3, 12), file_type=NO_FILE,
                             code=text("DL134W00044"), seed=4), COPIED_AT),
        ("4/3.MOC", CycleMoc(b"../Pi\xe0/..", 0xFFFFFF, (7, 7, 7, 7, 7), 0x6A, samples=4,
                             code=text("DL134W00045"), seed=5), COPIED_AT),
        ("4/4/1.moc", CycleMoc(text("NO MONTH"), 46, (9, 30, 10, 13, 22),
                               code=text("DL134W00046"), seed=6), COPIED_AT),
        ("4/4/2.moc", CycleMoc(text("MAIN BOARD"), 47, (10, 0, 11, 5, 22),
                               code=text("V1FW0203"), file_type=FIRMWARE, seed=7), COPIED_AT),
        ("5/1.moc", CycleMoc(text("A B C////"), 0, (0, 0, 1, 1, 0), 0x12, samples=9,
                             code=text("DL134W00000"), file_type=DATALOGGER, seed=8), COPIED_AT),
        ("5/2.moc", CycleMoc(text("LONG"), 48, (17, 45, 28, 2, 24), 0x09, samples=5,
                             code=text("DL121R00048"), seed=9, trailing=every_byte(40_000)),
         COPIED_AT),
    ]


def cross_check_case() -> ImportCase:
    paths, files, times = zip(*cross_check_files())
    return ImportCase("cross_check", device_files(list(paths), list(files), list(times)))


def cross_check_image(case: ImportCase) -> DeviceImage:
    """The drive's device files laid into a device memory as the chain they were copied from."""
    data = b"".join(entry.data for entry in case.entries)
    end = 2152 + len(data)
    return DeviceImage(flash_size=FLASH_SIZE, slots=command_list(), patches={2152: data},
                       first_free=end)
