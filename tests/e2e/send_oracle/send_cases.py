"""The sessions the send is tried in: a device memory, the PC files, the commands run one after
another against the same device, and the faults the device injects."""

from __future__ import annotations

import dataclasses
import threading
from pathlib import Path
from typing import Callable

import catalogue_oracle_path  # noqa: F401  (makes the catalogue oracle's modules importable)
import send_model
from device_image import DeviceImage, Slot, chain, file, text
from processes import Programs
from send_files import objcopy_s1, pattern, plain, srec_cat
from send_runs import StoredImage, generated_contents, stored

DATALOGGER = 0x50
ENABLED, NOT_ENABLED = 0xEA, 0xAA  # flags bytes with and without the download bit 0x40


def slot(file_type: int, label: str, flags: int = ENABLED) -> Slot:
    return Slot(file_type, text(label), parameters=bytes([0xFF, flags, 0xFF, 0xFF, 0xFF]))


END_OF_LIST = Slot(0xFF, raw=b"\xff" * 22)


# Steps -----------------------------------------------------------------------------------------

@dataclasses.dataclass
class Send:
    """`vestrim-cli send FILE...`, the files named by absolute path or, `relative`, by the bare
    name from their folder."""

    files: list[str]
    relative: bool = False
    stop_after_writes: int | None = None  # the device stops acknowledging well

    def command(self, folder: Path) -> list[str]:
        return ["send", *(name if self.relative else str(folder / name) for name in self.files)]

    def expect(self, memory: send_model.Memory, folder: Path) -> send_model.Outcome:
        paths = [Path(name) if self.relative else folder / name for name in self.files]
        return send_model.send(memory, paths, folder, self.stop_after_writes)


@dataclasses.dataclass
class Erase:
    """`vestrim-cli [--yes] erase`; without --yes and without a terminal the answer is No."""

    confirmed: bool

    def command(self, folder: Path) -> list[str]:
        return (["--yes"] if self.confirmed else []) + ["erase"]

    def expect(self, memory: send_model.Memory, folder: Path) -> send_model.Outcome:
        if self.confirmed:
            return send_model.erase(memory)
        return send_model.Outcome(refusal="declined")


@dataclasses.dataclass
class Case:
    device: Callable[[Programs], DeviceImage]
    files: Callable[[Path], None]
    steps: list
    faults: list[str] = dataclasses.field(default_factory=list)
    bad_acks: int = 0  # acknowledgements the faults spoil
    deadline: float = 90.0

    def expected(self, before: tuple[bytes, bytes], memory_size: int,
                 folder: Path) -> tuple[list[send_model.Outcome], send_model.Memory]:
        memory = send_model.Memory(bytearray(before[0]), bytearray(before[1]), memory_size)
        return [step.expect(memory, folder) for step in self.steps], memory


# Devices ---------------------------------------------------------------------------------------

def fresh(reported_size: int | None = None) -> Callable[[Programs], DeviceImage]:
    """A device as an erase leaves it: the datalogger slot only, no file, counters 0."""
    return lambda programs: DeviceImage(slots=[slot(DATALOGGER, "DataLogger", NOT_ENABLED),
                                               END_OF_LIST],
                                        reported_size=reported_size)


_demo: StoredImage | None = None
_demo_lock = threading.Lock()


def demo_memory(programs: Programs) -> StoredImage:
    """The simulator's month of a small clinic, as it saves it."""
    global _demo
    with _demo_lock:
        if _demo is None:
            _demo = generated_contents(programs, "demo")
        return _demo


def chain_end(image: DeviceImage) -> int:
    memory = send_model.Memory(bytearray(image.eeprom()), bytearray(image.flash()),
                               image.memory_size)
    return send_model.catalogue_walk(memory).next_addresses[-1]


def demo(room: Callable[[int], int] | None = None) -> Callable[[Programs], DeviceImage]:
    """The demo device; `room` gives the reported memory size from the chain's end."""
    def build(programs: Programs) -> DeviceImage:
        image = demo_memory(programs)
        if room is None:
            return image
        return stored(image, reported_size=room(chain_end(image)))
    return build


CLINIC_COUNTERS = {256: b"\x00\x03", 258: b"\x00\x11", 260: b"\x00\x22", 262: b"\x00\x07",
                   264: b"\x00\xff", 266: b"\x01\x02", 268: b"\x00\x05"}


def clinic(programs: Programs) -> DeviceImage:
    """Types 0x51 and 0x5A before messages (slot 3), data (slot 4, counter 0x00FF), 16-bit
    firmware (slot 5) and 24-bit firmware (slot 6), the firmware types without the download
    bit; three files in the chain."""
    image = DeviceImage(
        slots=[slot(DATALOGGER, "DataLogger", NOT_ENABLED), slot(0x51, "Log B"),
               slot(0x5A, "Log C"), slot(0x30, "Messages"), slot(0x20, "Data"),
               slot(0xA5, "Boot", NOT_ENABLED), slot(0x01, "Firmware", NOT_ENABLED),
               END_OF_LIST],
        headers=chain([file(code=b"DL134W00001", number=1, body_size=900),
                       file(code=b"DT0369AA", file_type=0x20, body_size=34),
                       file(code=b"DL121P00002", number=2, body_size=1500)]))
    return stored(image, eeprom=CLINIC_COUNTERS)


def laid_out(slots: list[Slot]) -> Callable[[Programs], DeviceImage]:
    return lambda programs: DeviceImage(slots=slots)


# Files -----------------------------------------------------------------------------------------

def files(*makers: Callable[[Path], object]) -> Callable[[Path], None]:
    def make(folder: Path) -> None:
        for maker in makers:
            maker(folder)
    return make


def data(name: str, length: int, seed: int) -> Callable[[Path], Path]:
    return lambda folder: plain(folder, name, pattern(length, seed))


def messages(name: str, length: int, seed: int, crlf: bool = False) -> Callable[[Path], Path]:
    """Message text in S2 lines only, as srec_cat writes them (16 bytes a line)."""
    def make(folder: Path) -> Path:
        path = srec_cat(folder, name, [(0x000010, pattern(length, seed))], None, 16, bare=True)
        if crlf:
            path.write_bytes(path.read_bytes().replace(b"\n", b"\r\n"))
        return path
    return make


def boot(name: str, seed: int) -> Callable[[Path], Path]:
    """16-bit firmware from address 0x1001, with a run of 100 erased bytes: records start at
    even addresses before an odd first byte."""
    return lambda folder: objcopy_s1(
        folder, name, pattern(150, seed) + b"\xff" * 100 + pattern(20, seed + 1), 0x1001, 20)


# Data in blocks 0, 1-2 (across their border), 3 (all four sectors), 5 (with 300 erased bytes
# in between), 7 (sectors 0-2, across 0xFC000) and in the top sector, which is dropped.
SPREAD = [
    (0x80000, pattern(300, 10)),
    (0x9FFC0, pattern(128, 11)),
    (0xB7FC0, pattern(128, 12)),
    (0xBA010, pattern(50, 13)),
    (0xBC000, pattern(64, 14)),
    (0xD1200, pattern(100, 15) + b"\xff" * 300 + pattern(100, 16)),
    (0xF0000, pattern(10, 17)),
    (0xF8010, pattern(20, 18)),
    (0xFA000, pattern(5, 19)),
    (0xFBFD4, pattern(96, 20)),
    (0xFD000, pattern(16, 21)),
    (0xFFFF0, pattern(16, 22)),
]


def firmware(name: str, pieces: list[tuple[int, bytes]], header: str | None,
             block_size: int = 24) -> Callable[[Path], Path]:
    return lambda folder: srec_cat(folder, name, pieces, header, block_size)


def changed_line(maker: Callable[[Path], Path], change: Callable[[list[bytes]], None]
                 ) -> Callable[[Path], Path]:
    """The file `maker` writes, with its lines changed by `change`."""
    def make(folder: Path) -> Path:
        path = maker(folder)
        lines = path.read_bytes().split(b"\n")
        change(lines)
        path.write_bytes(b"\n".join(lines))
        return path
    return make


def _wrong_check_sum(lines: list[bytes]) -> None:
    line = lines[2].rstrip(b"\r")
    wrong = (int(line[-2:], 16) + 1) % 256
    lines[2] = line[:-2] + b"%02X" % wrong + lines[2][len(line):]


def _bad_hex(lines: list[bytes]) -> None:
    lines[3] = lines[3][:12] + b"ZZ" + lines[3][14:]


def _cut_short(lines: list[bytes]) -> None:
    lines[3] = lines[3][:20]


def _no_header(lines: list[bytes]) -> None:
    del lines[0]


# The sessions ----------------------------------------------------------------------------------

def all_cases() -> dict[str, Case]:
    cases = {
        "fresh_datalogger": Case(fresh(), files(data("cycle.dtl", 300, 1)),
                                 [Send(["cycle.dtl"])]),
        "demo_datalogger": Case(demo(), files(data("cycle.dtl", 500, 2)),
                                [Send(["cycle.dtl"])]),
        "fresh_data_256": Case(fresh(), files(data("params.dat", 180, 3)),
                               [Send(["params.dat"])]),
        "demo_data_long": Case(demo(), files(data("params.dat", 40000, 4)),
                               [Send(["params.dat"])], deadline=120),
        "fresh_empty_datalogger": Case(fresh(), files(data("empty.dtl", 0, 0)),
                                       [Send(["empty.dtl"])]),
        "fresh_messages_relative": Case(fresh(), files(messages("AB_IT.msx", 200, 5)),
                                        [Send(["AB_IT.msx"], relative=True)]),
        "demo_messages": Case(demo(), files(messages("AB_IT.msx", 333, 6)),
                              [Send(["AB_IT.msx"])]),
        "fresh_firmware_16": Case(fresh(), files(changed_line(boot("boot_07.mhx", 7),
                                                              _wrong_check_sum)),
                                  [Send(["boot_07.mhx"])]),
        "demo_firmware_16": Case(demo(), files(lambda folder: objcopy_s1(
            folder, "fw16.mhx", pattern(1000, 8), 0x0000)), [Send(["fw16.mhx"])]),
        "fresh_firmware_24": Case(fresh(), files(firmware(
            "main.mhx", SPREAD, "controller_main_board_v2_45")), [Send(["main.mhx"])]),
        "demo_firmware_24": Case(demo(), files(firmware(
            "ab.mhx", [(0x80000, pattern(200, 9)), (0xFBFF0, pattern(32, 10))], "AB_12")),
            [Send(["ab.mhx"])]),
        "clinic_selection": Case(clinic, files(
            data("first.dtl", 300, 11), messages("AB_IT.msx", 150, 12, crlf=True),
            data("third.dat", 1000, 13), data("NOTES.MES", 50, 14), boot("boot_05.mhx", 15)),
            [Send(["first.dtl", "AB_IT.msx", "third.dat", "NOTES.MES", "boot_05.mhx"])],
            deadline=150),
        "clinic_firmware_24": Case(clinic, files(firmware(
            "clinic_fw_31.mhx", [(0xC0100, pattern(700, 16)), (0xE0000, pattern(128, 17))],
            "clinic_fw_31")), [Send(["clinic_fw_31.mhx"])]),
        "selection_stops_at_refusal": Case(fresh(), files(
            data("a.dtl", 200, 18), changed_line(boot("broken.mhx", 19), _bad_hex),
            data("c.dtl", 200, 20)), [Send(["a.dtl", "broken.mhx", "c.dtl"])]),
        "demo_exactly_full": Case(demo(lambda end: end + 177 + 277), files(
            data("a.dtl", 100, 21), data("b.dtl", 200, 22)), [Send(["a.dtl", "b.dtl"])]),
        "demo_one_byte_short": Case(demo(lambda end: end + 177 + 277 - 1), files(
            data("a.dtl", 100, 21), data("b.dtl", 200, 22)), [Send(["a.dtl", "b.dtl"])]),
        "demo_memory_full": Case(demo(lambda end: end + 1077 - 1), files(
            data("c.dtl", 1000, 23)), [Send(["c.dtl"])]),
        "fresh_small_memory": Case(fresh(1000), files(data("c.dtl", 500, 24)),
                                   [Send(["c.dtl"])]),
        "types_not_enabled": Case(laid_out([
            slot(DATALOGGER, "DataLogger", NOT_ENABLED), slot(0x20, "Data", NOT_ENABLED),
            slot(0x30, "Messages", NOT_ENABLED), slot(0x30, "Messages"),
            slot(0x01, "Firmware", NOT_ENABLED), END_OF_LIST]), files(
            data("x.dtl", 100, 25), messages("msg.msx", 100, 26),
            firmware("fw_02.mhx", [(0x90000, pattern(256, 27))], "fw_02")),
            [Send(["x.dtl"]), Send(["msg.msx"]), Send(["fw_02.mhx"])]),
        "slots_after_the_end": Case(laid_out([
            slot(DATALOGGER, "DataLogger", NOT_ENABLED), END_OF_LIST,
            slot(0x20, "Data", NOT_ENABLED)]), files(data("x.dtl", 100, 28)),
            [Send(["x.dtl"])]),
        # Writes spoiled: the first block, the last block, the header block, the first free
        # location and the counter (the device counts every write, repeats included).
        "bad_acks": Case(demo(), files(data("cycle.dtl", 300, 29)), [Send(["cycle.dtl"])],
                         faults=[f"bad-ack:after={n}" for n in (0, 3, 5, 7, 9)], bad_acks=5),
        "checksum_error": Case(fresh(), files(data("cycle.dtl", 300, 30)),
                               [Send(["cycle.dtl"], stop_after_writes=1)],
                               faults=["bad-ack:count=5"], bad_acks=5),
        "erase": Case(demo(), files(messages("AB_IT.msx", 100, 31)),
                      [Erase(False), Erase(True), Send(["AB_IT.msx"])]),
        "refusals": Case(fresh(1048650), files(
            data("notes.txt", 100, 32),
            changed_line(boot("noheader.mhx", 33), _no_header),
            changed_line(firmware("bad_hex.mhx", [(0xA0000, pattern(200, 34))], "bad_01"),
                         _bad_hex),
            changed_line(firmware("short.mhx", [(0xA0000, pattern(200, 35))], "short_01"),
                         _cut_short),
            lambda folder: plain(folder, "huge.dtl", bytes(1048576)),
            lambda folder: srec_cat(folder, "huge.msx", [(0, pattern(470000, 36))], None, 32,
                                    bare=True),
            lambda folder: plain(folder, "almost.dtl", bytes(1048575))),
            [Send([name]) for name in ("notes.txt", "noheader.mhx", "bad_hex.mhx", "short.mhx",
                                       "huge.dtl", "huge.msx", "almost.dtl")],
            deadline=60),
    }
    return cases
