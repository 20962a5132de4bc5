"""Starting the simulated device and the command line program, and collecting what they did."""

from __future__ import annotations

import dataclasses
import os
import re
import selectors
import signal
import subprocess
import tempfile
import time
from pathlib import Path

from device_image import DeviceImage, decode_state, encode_state


@dataclasses.dataclass
class Programs:
    devsim: str
    cli: str


@dataclasses.dataclass
class LoggedRequest:
    """One line of the simulator's request log."""

    time: float
    kind: str  # read, write, speed-switch, garbage, incomplete
    fields: dict[str, str]

    @property
    def area(self) -> int:
        return int(self.fields["cmd"], 16) & 0x7F

    @property
    def address(self) -> int:
        return int(self.fields["addr"])

    @property
    def length(self) -> int:
        return int(self.fields["len"])


_LOG_LINE = re.compile(r"^(\d+\.\d+) (\S+)(.*)$")


def parse_log(text: str) -> list[LoggedRequest]:
    requests = []
    for line in text.splitlines():
        match = _LOG_LINE.match(line)
        if not match:
            continue
        fields = dict(item.split("=", 1) for item in match.group(3).split() if "=" in item)
        requests.append(LoggedRequest(float(match.group(1)), match.group(2), fields))
    return requests


@dataclasses.dataclass
class Run:
    """One catalogue read against one simulated device."""

    argv: list[str]
    status: int | None  # None: killed at the deadline
    stdout: str
    stderr: str
    seconds: float
    requests: list[LoggedRequest]
    devsim_stderr: str
    pty: str
    memory_before: tuple[bytes, bytes]  # EEPROM, flash
    memory_after: tuple[bytes, bytes] | None
    settings_file: str | None  # Vestrim.ini after the run, None when there is none
    leftover_processes: list[int]


def _read_first_line(process: subprocess.Popen, timeout: float) -> str:
    line = b""
    deadline = time.monotonic() + timeout
    fd = process.stdout.fileno()
    with selectors.DefaultSelector() as selector:
        selector.register(fd, selectors.EVENT_READ)
        while not line.endswith(b"\n"):
            left = deadline - time.monotonic()
            if left <= 0 or not selector.select(left):
                raise RuntimeError("vestrim-devsim printed no pseudo-terminal path")
            chunk = os.read(fd, 1)
            if not chunk:
                raise RuntimeError("vestrim-devsim ended before printing its pseudo-terminal path")
            line += chunk
    return line.decode().strip()


def _processes_in_group(group: int) -> list[int]:
    found = []
    for entry in Path("/proc").iterdir():
        if not entry.name.isdigit():
            continue
        try:
            stat = (entry / "stat").read_text()
        except OSError:
            continue
        # Fields after the command name, which is in parentheses and may hold blanks.
        fields = stat[stat.rindex(")") + 2:].split()
        state, pgid = fields[0], int(fields[2])
        if pgid == group and state != "Z":
            found.append(int(entry.name))
    return found


@dataclasses.dataclass
class Finished:
    """How a program run ended."""

    status: int | None  # None: killed at the deadline
    stdout: str
    stderr: str
    stdout_bytes: bytes
    started: float  # seconds since the epoch
    ended: float
    seconds: float  # as the monotonic clock measured it
    leftover_processes: list[int]  # left running when it ended, then killed


def run_program(argv: list[str], deadline: float, env: dict[str, str],
                cwd: Path | None = None, **popen) -> Finished:
    """Runs `argv` with no input, killing it at `deadline` seconds. It runs in a session of its
    own, so that anything it leaves running can be found afterwards and killed."""
    started, clock = time.time(), time.monotonic()
    program = subprocess.Popen(argv, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                               stderr=subprocess.PIPE, env=env, cwd=cwd, start_new_session=True,
                               **popen)
    try:
        out, err = program.communicate(timeout=deadline)
        status = program.returncode
    except subprocess.TimeoutExpired:
        program.kill()
        out, err = program.communicate()
        status = None
    seconds, ended = time.monotonic() - clock, time.time()
    leftovers = _processes_in_group(program.pid)
    for pid in leftovers:
        os.kill(pid, signal.SIGKILL)
    return Finished(status, out.decode("utf-8", errors="replace"),
                    err.decode("utf-8", errors="replace"), out, started, ended, seconds,
                    leftovers)


class Simulator:
    """vestrim-devsim serving a laid-out memory; stopped with SIGTERM, which saves the memory."""

    def __init__(self, programs: Programs, folder: Path, image: DeviceImage,
                 faults: list[str]):
        self.state = folder / "device.state"
        self.log = folder / "requests.log"
        self.errors = folder / "devsim.err"
        self.state.write_bytes(encode_state(image))
        argv = [programs.devsim, "--state", str(self.state), "--log", str(self.log)]
        if image.reported_size is not None:
            argv += ["--report-memory-size", str(image.reported_size)]
        for fault in faults:
            argv += ["--fault", fault]
        with open(self.errors, "wb") as errors:
            self.process = subprocess.Popen(argv, stdin=subprocess.DEVNULL,
                                            stdout=subprocess.PIPE, stderr=errors)
        try:
            self.pty = _read_first_line(self.process, 10)
        except Exception:
            self.stop()
            raise

    def stop(self) -> None:
        if self.process.poll() is None:
            self.process.send_signal(signal.SIGTERM)
            try:
                self.process.wait(10)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()
        self.process.stdout.close()

    def memory(self) -> tuple[bytes, bytes] | None:
        try:
            _, eeprom, flash = decode_state(self.state.read_bytes())
        except (OSError, ValueError):
            return None
        return eeprom, flash


def run_catalogue(programs: Programs, image: DeviceImage, faults: list[str] = (),
                  deadline: float = 60.0) -> Run:
    """Serves `image`, runs `vestrim-cli --json catalogue` against it and gathers the results."""
    with tempfile.TemporaryDirectory(prefix="catalogue-oracle-") as work:
        work = Path(work)
        folder = work / "program"
        folder.mkdir()
        simulator = Simulator(programs, work, image, list(faults))
        try:
            argv = [programs.cli, "--folder", str(folder), "--port", simulator.pty, "--json",
                    "catalogue"]
            env = dict(os.environ, LC_ALL="C.UTF-8", QT_QPA_PLATFORM="offscreen")
            finished = run_program(argv, deadline, env)
        finally:
            simulator.stop()
        settings = folder / "Vestrim.ini"
        return Run(
            argv=argv,
            status=finished.status,
            stdout=finished.stdout,
            stderr=finished.stderr,
            seconds=finished.seconds,
            requests=parse_log(simulator.log.read_text(errors="replace"))
            if simulator.log.exists() else [],
            devsim_stderr=simulator.errors.read_text(errors="replace"),
            pty=simulator.pty,
            memory_before=(image.eeprom(), image.flash()),
            memory_after=simulator.memory(),
            settings_file=settings.read_text(errors="replace") if settings.exists() else None,
            leftover_processes=finished.leftover_processes,
        )
