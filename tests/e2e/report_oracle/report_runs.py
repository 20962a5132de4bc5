"""Running `vestrim-cli report` and getting real sealed files from the simulator's generator.

Everything is written under one work folder for the whole suite, removed at exit.
"""

from __future__ import annotations

import atexit
import dataclasses
import os
import shutil
import signal
import subprocess
import tempfile
from pathlib import Path

import save_oracle_path  # noqa: F401
from processes import Programs, _read_first_line, run_program

WORK_ROOT = Path(tempfile.mkdtemp(prefix="report-oracle-"))
atexit.register(shutil.rmtree, WORK_ROOT, True)

ENVIRONMENT = {"LC_ALL": "C.UTF-8", "TZ": "Europe/Rome", "QT_QPA_PLATFORM": "offscreen"}
# A small month of a clinic: every kind of cycle file the generator makes, about 75 KB.
DEMO_CONTENTS = "demo:cycles=12:seed=3:reports=3"


def new_folder(prefix: str) -> Path:
    return Path(tempfile.mkdtemp(prefix=prefix + "-", dir=WORK_ROOT))


def program_folder(languages: dict[str, bytes]) -> Path:
    """A program folder holding these language files (name -> bytes) and nothing else."""
    folder = new_folder("program")
    for name, data in languages.items():
        (folder / f"{name}.lng").write_bytes(data)
    return folder


@dataclasses.dataclass
class CliRun:
    argv: list[str]
    status: int | None  # None: killed at the deadline
    stdout: bytes
    stderr: str
    leftover_processes: list[int]

    def describe(self) -> str:
        return (f"$ {' '.join(self.argv)}\nexit status {self.status}; "
                f"stderr: {self.stderr[-800:]!r}")


def run_cli(argv: list[str], deadline: float = 60.0) -> CliRun:
    env = dict(os.environ, **ENVIRONMENT)
    finished = run_program(argv, deadline, env)
    return CliRun(argv, finished.status, finished.stdout_bytes, finished.stderr,
                  finished.leftover_processes)


def run_report(programs: Programs, folder: Path, language: str, path: Path, full: bool,
               separator: str | None) -> CliRun:
    argv = [programs.cli, "--folder", str(folder), "--language", language, "report", str(path)]
    if full:
        argv.append("--full")
    if separator is not None:
        argv += ["--decimal-separator", separator]
    return run_cli(argv)


@dataclasses.dataclass
class GeneratedFiles:
    folder: Path  # the program folder the save wrote into
    files: list[Path]  # every sealed file the save left there
    save: CliRun
    listing: str  # what the generator says it made


def save_generated_month(programs: Programs, deadline: float = 240.0) -> GeneratedFiles:
    """Fills a simulated device with the generator's month, saves it with `vestrim-cli save`
    and returns the sealed files."""
    work = new_folder("generated")
    folder = work / "program"
    folder.mkdir()
    listing = subprocess.run([programs.devsim, "--contents", DEMO_CONTENTS, "--list-contents"],
                             capture_output=True, text=True, timeout=30).stdout
    with open(work / "devsim.err", "wb") as errors:
        devsim = subprocess.Popen([programs.devsim, "--contents", DEMO_CONTENTS, "--state",
                                   str(work / "device.state")], stdin=subprocess.DEVNULL,
                                  stdout=subprocess.PIPE, stderr=errors)
    try:
        pty = _read_first_line(devsim, 10)
        save = run_cli([programs.cli, "--folder", str(folder), "--port", pty, "save"], deadline)
    finally:
        if devsim.poll() is None:
            devsim.send_signal(signal.SIGTERM)
            try:
                devsim.wait(10)
            except subprocess.TimeoutExpired:
                devsim.kill()
                devsim.wait()
        devsim.stdout.close()
    files = sorted(folder.rglob("*.dtl"))
    return GeneratedFiles(folder, files, save, listing)
