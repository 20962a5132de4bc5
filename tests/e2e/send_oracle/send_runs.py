"""Serving a device memory with vestrim-devsim and running `vestrim-cli send` and `erase` against
it, one run after another; collecting each run's output and requests and the memory the
simulator saves when it is stopped.

Every session's folders live under one work folder for the whole suite, removed at exit.
"""

from __future__ import annotations

import atexit
import dataclasses
import os
import shutil
import signal
import struct
import subprocess
import tempfile
from pathlib import Path

import catalogue_oracle_path  # noqa: F401  (makes the catalogue oracle's modules importable)
from device_image import REGISTER_SIZE, DeviceImage, decode_state
from processes import (LoggedRequest, Programs, Simulator, _read_first_line, parse_log,
                       run_program)

WORK_ROOT = Path(tempfile.mkdtemp(prefix="send-oracle-"))
atexit.register(shutil.rmtree, WORK_ROOT, True)

ENVIRONMENT = {"LC_ALL": "C.UTF-8", "TZ": "Europe/Rome", "QT_QPA_PLATFORM": "offscreen"}


def new_folder(prefix: str) -> Path:
    return Path(tempfile.mkdtemp(prefix=prefix + "-", dir=WORK_ROOT))


@dataclasses.dataclass
class StoredImage(DeviceImage):
    """A device memory given byte for byte (EEPROM and flash) rather than laid out."""

    stored_eeprom: bytes = b""
    stored_flash: bytes = b""

    def flash(self) -> bytes:
        return self.stored_flash

    def eeprom(self) -> bytes:
        return self.stored_eeprom

    def registers(self) -> bytes:
        registers = bytearray(REGISTER_SIZE)
        registers[140:144] = struct.pack(">I", len(self.stored_flash))
        return bytes(registers)


def stored(image: DeviceImage, eeprom: dict[int, bytes] | None = None,
           reported_size: int | None = None) -> StoredImage:
    """`image` with EEPROM bytes changed (address -> bytes) and another reported size."""
    data = bytearray(image.eeprom())
    for address, value in (eeprom or {}).items():
        data[address:address + len(value)] = value
    flash = image.flash()
    return StoredImage(flash_size=len(flash),
                       reported_size=image.reported_size if reported_size is None
                       else reported_size,
                       stored_eeprom=bytes(data), stored_flash=flash)


def generated_contents(programs: Programs, name: str) -> StoredImage:
    """The memory vestrim-devsim fills with `--contents NAME`, as it saves it."""
    folder = new_folder("contents")
    state = folder / "device.state"
    process = subprocess.Popen([programs.devsim, "--contents", name, "--state", str(state)],
                               stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                               stderr=subprocess.DEVNULL)
    try:
        _read_first_line(process, 10)  # serving: the contents are in place
    finally:
        process.send_signal(signal.SIGTERM)
        process.wait(10)
        process.stdout.close()
    _, eeprom, flash = decode_state(state.read_bytes())
    return StoredImage(flash_size=len(flash), stored_eeprom=eeprom, stored_flash=flash)


@dataclasses.dataclass
class CliRun:
    argv: list[str]
    cwd: Path
    status: int | None  # None: killed at the deadline
    stdout: str
    stderr: str
    seconds: float
    leftover_processes: list[int]
    requests: list[LoggedRequest] = dataclasses.field(default_factory=list)

    @property
    def lines(self) -> list[str]:
        return self.stdout.splitlines()

    def describe(self) -> str:
        return (f"\n$ (cd {self.cwd}; {' '.join(self.argv)})\nexit status: {self.status}, "
                f"{self.seconds:.1f} s\nstderr: {self.stderr[-1500:]!r}\n"
                f"stdout: {self.stdout[:2000]!r}")


def run_cli(argv: list[str], cwd: Path, deadline: float) -> CliRun:
    env = dict(os.environ, **ENVIRONMENT)
    finished = run_program(argv, deadline, env, cwd)
    return CliRun(argv, cwd, finished.status, finished.stdout, finished.stderr, finished.seconds,
                  finished.leftover_processes)


@dataclasses.dataclass
class Session:
    files: Path  # the folder of the files sent
    runs: list[CliRun]
    memory_before: tuple[bytes, bytes]  # EEPROM, flash
    memory_after: tuple[bytes, bytes] | None  # None: no state file could be read
    devsim_stderr: str


def _log_lines(simulator: Simulator) -> list[str]:
    try:
        return simulator.log.read_text(errors="replace").splitlines()
    except FileNotFoundError:
        return []


def run_session(programs: Programs, image: DeviceImage, faults: list[str], files: Path,
                commands: list[list[str]], deadline: float) -> Session:
    """Serves `image` and runs `vestrim-cli --folder F --port P COMMAND...` for each command, in
    the folder `files`; the device is stopped (and its memory saved) after the last run."""
    work = new_folder("device")
    program = work / "program"
    program.mkdir()
    simulator = Simulator(programs, work, image, list(faults))
    runs: list[CliRun] = []
    try:
        for command in commands:
            logged = len(_log_lines(simulator))
            run = run_cli([programs.cli, "--folder", str(program), "--port", simulator.pty,
                           *command], files, deadline)
            run.requests = parse_log("\n".join(_log_lines(simulator)[logged:]))
            runs.append(run)
    finally:
        simulator.stop()
    return Session(files, runs, (image.eeprom(), image.flash()), simulator.memory(),
                   simulator.errors.read_text(errors="replace"))
