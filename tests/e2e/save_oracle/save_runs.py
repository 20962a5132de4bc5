"""Starting saves and verifies, and collecting what they did to the program folder and the device.

Every run's folders live under one work folder for the whole suite, so that the sealed files a
save left behind can still be verified afterwards; the work folder is removed at exit.
"""

from __future__ import annotations

import atexit
import dataclasses
import datetime
import os
import shutil
import tempfile
from pathlib import Path

import catalogue_oracle_path  # noqa: F401
from device_image import DeviceImage
from processes import LoggedRequest, Programs, Simulator, parse_log, run_program
from save_model import seal_of

WORK_ROOT = Path(tempfile.mkdtemp(prefix="save-oracle-"))
atexit.register(shutil.rmtree, WORK_ROOT, True)

ENVIRONMENT = {"LC_ALL": "C.UTF-8", "TZ": "Europe/Rome", "QT_QPA_PLATFORM": "offscreen"}
# What a program folder holds besides the archive: settings, languages, the error log, the
# archive journal.
PROGRAM_FILES = {
    "Vestrim.ini", "English.lng", "Italiano.lng", "Vestrim_Errors.log", "Vestrim_Journal.txt"
}


def new_folder(prefix: str) -> Path:
    return Path(tempfile.mkdtemp(prefix=prefix + "-", dir=WORK_ROOT))


@dataclasses.dataclass(frozen=True)
class FileState:
    data: bytes | None  # None: could not be read
    mtime_ns: int


def snapshot(folder: Path) -> dict[str, FileState]:
    """Every file below `folder` (directories left out): relative path -> bytes and mtime."""
    files = {}
    for root, _, names in os.walk(folder):
        for name in names:
            path = Path(root) / name
            try:
                data = path.read_bytes()
            except OSError:
                data = None
            files[path.relative_to(folder).as_posix()] = FileState(data, path.lstat().st_mtime_ns)
    return files


def archive(tree: dict[str, FileState]) -> dict[str, FileState]:
    """The files of a program folder's tree that are not the program's own files."""
    return {path: state for path, state in tree.items() if path not in PROGRAM_FILES}


@dataclasses.dataclass
class CliRun:
    argv: list[str]
    status: int | None  # None: killed at the deadline
    stdout: str
    stderr: str
    started: float  # seconds since the epoch
    ended: float
    leftover_processes: list[int]
    requests: list[LoggedRequest] = dataclasses.field(default_factory=list)
    tree_before: dict[str, FileState] = dataclasses.field(default_factory=dict)
    tree_after: dict[str, FileState] = dataclasses.field(default_factory=dict)

    @property
    def seconds(self) -> float:
        return self.ended - self.started

    @property
    def lines(self) -> list[str]:
        return self.stdout.splitlines()

    def describe(self) -> str:
        return (f"\n$ {' '.join(self.argv)}\nexit status: {self.status}, {self.seconds:.1f} s\n"
                f"stderr: {self.stderr[-1500:]!r}\nstdout: {self.stdout[:3000]!r}")


def run_cli(argv: list[str], deadline: float, cwd: Path | None = None,
            user: int | None = None) -> CliRun:
    env = dict(os.environ, **ENVIRONMENT)
    extra = {}
    if user is not None:
        extra = dict(user=user, group=user, extra_groups=[])
        env["HOME"] = str(cwd)
    finished = run_program(argv, deadline, env, cwd, **extra)
    return CliRun(argv, finished.status, finished.stdout, finished.stderr, finished.started,
                  finished.ended, finished.leftover_processes)


@dataclasses.dataclass
class SaveSession:
    """One simulated device saved `len(runs)` times into one program folder."""

    folder: Path
    tree_before: dict[str, FileState]
    runs: list[CliRun]
    memory_before: tuple[bytes, bytes]  # EEPROM, flash
    memory_after: tuple[bytes, bytes] | None
    devsim_stderr: str


def _log_lines(simulator: Simulator) -> list[str]:
    try:
        return simulator.log.read_text(errors="replace").splitlines()
    except FileNotFoundError:
        return []


def backdate(folder: Path, moment: datetime.datetime) -> None:
    """Makes every sealed file below `folder` look sealed at `moment`: stamp and time."""
    for path in folder.rglob("*.dtl"):
        data = path.read_bytes()
        path.write_bytes(seal_of(moment) + data[12:])
        os.utime(path, (moment.timestamp(), moment.timestamp()))


def run_saves(programs: Programs, image: DeviceImage, faults: list[str], runs: int,
              existing: dict[str, tuple[bytes, float]], deadline: float,
              earlier_save_at: datetime.datetime | None = None) -> SaveSession:
    """Saves the device `runs` times; before each save after the first, the sealed files are
    backdated to `earlier_save_at`, as if the earlier save had been long ago."""
    work = new_folder("save")
    folder = work / "program"
    folder.mkdir()
    for path, (data, mtime) in existing.items():
        target = folder / path
        target.parent.mkdir(parents=True, exist_ok=True)
        target.write_bytes(data)
        os.utime(target, (mtime, mtime))
    tree_before = snapshot(folder)
    simulator = Simulator(programs, work, image, list(faults))
    done: list[CliRun] = []
    try:
        for number in range(runs):
            if number and earlier_save_at is not None:
                backdate(folder, earlier_save_at)
            logged = len(_log_lines(simulator))
            before = snapshot(folder)
            run = run_cli([programs.cli, "--folder", str(folder), "--port", simulator.pty,
                           "save"], deadline)
            run.tree_before = before
            run.requests = parse_log("\n".join(_log_lines(simulator)[logged:]))
            run.tree_after = snapshot(folder)
            done.append(run)
    finally:
        simulator.stop()
    return SaveSession(folder, tree_before, done, (image.eeprom(), image.flash()),
                       simulator.memory(), simulator.errors.read_text(errors="replace"))


def run_verify(programs: Programs, paths: list[str], cwd: Path, user: int | None = None,
               deadline: float = 60.0) -> CliRun:
    """`vestrim-cli --folder PROGRAM verify PATH...` from `cwd`, PROGRAM a fresh folder."""
    program = new_folder("verify-program")
    if user is not None:
        os.chmod(program, 0o777)
    return run_cli([programs.cli, "--folder", str(program), "verify", *paths], deadline,
                   cwd=cwd, user=user)
