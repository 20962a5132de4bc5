"""Laying out drives and program folders, running `vestrim-cli import` on them, and collecting
what the runs did to both.

Every case lives in a folder of its own under one work folder for the whole suite, removed at
exit.  The work folder is open to every user, so that a case can run the program as an
ordinary user (root reads every file, whatever its permissions).
"""

from __future__ import annotations

import atexit
import dataclasses
import os
import shutil
import stat
import tempfile
from pathlib import Path

import save_oracle_path  # noqa: F401
from drive_files import lay_out
from import_cases import ImportCase
from processes import Programs
from save_runs import CliRun, run_cli, snapshot

WORK_ROOT = Path(tempfile.mkdtemp(prefix="import-oracle-"))
os.chmod(WORK_ROOT, 0o755)
atexit.register(shutil.rmtree, WORK_ROOT, True)

ORDINARY_USER = 65534  # nobody


@dataclasses.dataclass(frozen=True)
class DriveEntry:
    kind: str  # file, folder, link, other
    data: bytes | None = None  # a file's bytes (None: could not be read)
    mtime_ns: int = 0
    target: str = ""  # a link's target


def drive_snapshot(root: Path) -> dict[str, DriveEntry]:
    """Everything below `root`, links and named pipes as what they are (never opened)."""
    out: dict[str, DriveEntry] = {}

    def walk(folder: Path, prefix: str) -> None:
        with os.scandir(folder) as listing:
            for item in listing:
                path = prefix + item.name
                status = item.stat(follow_symlinks=False)
                if stat.S_ISDIR(status.st_mode):
                    out[path] = DriveEntry("folder")
                    walk(Path(item.path), path + "/")
                elif stat.S_ISLNK(status.st_mode):
                    out[path] = DriveEntry("link", target=os.readlink(item.path))
                elif stat.S_ISREG(status.st_mode):
                    try:
                        data = Path(item.path).read_bytes()
                    except OSError:
                        data = None
                    out[path] = DriveEntry("file", data, status.st_mtime_ns)
                else:
                    out[path] = DriveEntry(f"other {stat.S_IFMT(status.st_mode):o}",
                                           mtime_ns=status.st_mtime_ns)

    walk(root, "")
    return out


@dataclasses.dataclass
class ImportRun:
    run: CliRun
    drive_before: dict[str, DriveEntry]
    drive_after: dict[str, DriveEntry]


@dataclasses.dataclass
class ImportSession:
    """One drive imported `len(runs)` times into one program folder."""

    drive: Path
    folder: Path
    runs: list[ImportRun]
    user: int | None  # the user the program ran as (None: this process's)

    @property
    def readable_all(self) -> bool:
        """Whether the program could read files without read permission."""
        return self.user is None and os.geteuid() == 0


def program_user(case: ImportCase) -> int | None:
    if case.other_user and os.geteuid() == 0:
        return ORDINARY_USER
    return None


def cli_for(programs: Programs, user: int | None) -> str:
    """The program to run: for another user a copy, with the language files beside it, in a
    folder that user can reach (the build folder may lie where only its owner can go)."""
    if user is None:
        return str(programs.cli)
    copy = WORK_ROOT / "programs"
    if not copy.exists():
        copy.mkdir(mode=0o755)
        source = Path(programs.cli)
        shutil.copy2(source, copy / source.name)
        for language in source.parent.glob("*.lng"):
            shutil.copy2(language, copy / language.name)
        for item in copy.iterdir():
            os.chmod(item, 0o755)
    return str(copy / Path(programs.cli).name)


def import_argv(programs: Programs, case: ImportCase, folder: Path, drive: Path,
                user: int | None = None) -> list[str]:
    if case.relative:
        folder, drive = Path(folder.name), Path(drive.name)
    argv = [cli_for(programs, user), "--folder", str(folder)]
    if case.confirm:
        argv.append("--yes")
    if case.json:
        argv.append("--json")
    argv += ["import", str(drive)]
    if case.erase:
        argv.append("--erase")
    return argv


def run_imports(programs: Programs, case: ImportCase) -> ImportSession:
    work = Path(tempfile.mkdtemp(prefix=case.name + "-", dir=WORK_ROOT))
    os.chmod(work, 0o777)
    drive = work / "drive"
    folder = work / "program"
    user = program_user(case)
    lay_out(case.entries, drive, shared=user is not None)
    folder.mkdir()
    for path, (data, moment) in case.existing.items():
        target = folder / path
        target.parent.mkdir(parents=True, exist_ok=True)
        target.write_bytes(data)
        os.utime(target, (moment.timestamp(), moment.timestamp()))
    if user is not None:
        for root, names, _ in os.walk(folder):
            for name in [".", *names]:
                os.chown(os.path.join(root, name), user, user)
    runs = []
    for _ in range(case.runs):
        before = drive_snapshot(drive)
        tree_before = snapshot(folder)
        run = run_cli(import_argv(programs, case, folder, drive, user), case.deadline, cwd=work,
                      user=user)
        run.tree_before = tree_before
        run.tree_after = snapshot(folder)
        runs.append(ImportRun(run, before, drive_snapshot(drive)))
    return ImportSession(drive, folder, runs, user)


def run_drives(programs: Programs) -> CliRun:
    folder = Path(tempfile.mkdtemp(prefix="drives-", dir=WORK_ROOT))
    return run_cli([programs.cli, "--folder", str(folder), "drives"], 30.0, cwd=folder)

