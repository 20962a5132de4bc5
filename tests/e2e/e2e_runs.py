"""Running vestrim-devsim and vestrim-cli for the end-to-end checks, and reading what they left:
program runs with a deadline, the simulated device with its request log and saved memory,
folder snapshots, the inputs kept under tests/data, seal stamps, and a list of failures.
"""

from __future__ import annotations

import atexit
import datetime
import hashlib
import json
import lzma
import os
import selectors
import shutil
import signal
import stat
import struct
import subprocess
import tarfile
import tempfile
import time
from pathlib import Path

DATA = Path(__file__).resolve().parents[1] / "data"
LANGUAGES = Path(__file__).resolve().parents[2] / "lang"
ENV = dict(os.environ, LC_ALL="C.UTF-8", TZ="Europe/Rome", QT_QPA_PLATFORM="offscreen")
# What a program folder holds besides the archive of sealed files.
PROGRAM_FILES = {
    "Vestrim.ini", "English.lng", "Italiano.lng", "Vestrim_Errors.log", "Vestrim_Journal.txt"
}
# The run's work folders, removed at its end. The first lies in /tmp: a message file sent by its
# absolute path carries two characters of the path into the device ("p/"), and the recorded
# device images hold them.
WORK = [Path(tempfile.mkdtemp(prefix="vestrim-e2e-", dir="/tmp"))]
os.chmod(WORK[0], 0o755)
atexit.register(lambda: [shutil.rmtree(folder, ignore_errors=True) for folder in WORK])


def work_folder(prefix: str, in_memory: bool = False) -> Path:
    """A new work folder; `in_memory`: in /dev/shm when it has room, for a case that seals
    thousands of files (each one is synced to disk)."""
    shm = Path("/dev/shm")
    if in_memory and os.access(shm, os.W_OK) and shutil.disk_usage(shm).free > 512 << 20:
        WORK.append(Path(tempfile.mkdtemp(prefix=f"vestrim-e2e-{prefix}-", dir=shm)))
        os.chmod(WORK[-1], 0o755)
        return WORK[-1]
    return Path(tempfile.mkdtemp(prefix=prefix + "-", dir=WORK[0]))


def sha(data: bytes) -> str:
    return hashlib.sha256(data).hexdigest()


def load(name: str):
    """A data file: bytes, unpacked when it ends in .xz, decoded when it is JSON."""
    data = (DATA / name).read_bytes()
    if name.endswith(".xz"):
        data = lzma.decompress(data)
    return json.loads(data) if ".json" in name else data


def unpack(name: str, folder: Path, prefix: str = "") -> Path:
    """Extracts the archive's members under `prefix` (times, modes, links, pipes as they are)
    into `folder`; returns folder/prefix."""
    folder.mkdir(parents=True, exist_ok=True)
    trusted = {"filter": "fully_trusted"} if hasattr(tarfile, "fully_trusted_filter") else {}
    with tarfile.open(DATA / name) as archive:
        members = [m for m in archive.getmembers() if m.name.startswith(prefix)]
        archive.extractall(folder, members=members, **trusted)
    return folder / prefix


class Run:
    def __init__(self, argv, status, out: bytes, err: bytes, started, ended, leftovers):
        self.argv, self.status, self.raw, self.started, self.ended = argv, status, out, started, ended
        self.stdout = out.decode("utf-8", errors="replace")
        self.stderr = err.decode("utf-8", errors="replace")
        self.leftovers = leftovers

    @property
    def lines(self) -> list[str]:
        return self.stdout.splitlines()

    def __str__(self) -> str:
        return (f"\n  $ {' '.join(map(str, self.argv))}\n  exit status {self.status}, "
                f"{self.ended - self.started:.1f} s; stderr {self.stderr[-600:]!r}; "
                f"stdout {self.stdout[:600]!r}")


def _group(group: int) -> list[int]:
    found = []
    for entry in Path("/proc").iterdir():
        try:
            text = (entry / "stat").read_text() if entry.name.isdigit() else ""
        except OSError:
            continue
        fields = text[text.rfind(")") + 2:].split()
        if fields and int(fields[2]) == group and fields[0] != "Z":
            found.append(int(entry.name))
    return found


def run(argv: list, deadline: float = 60.0, cwd: Path | None = None,
        user: int | None = None) -> Run:
    """Runs `argv` without input in a session of its own, killed at `deadline` seconds (status
    None); whatever it leaves running is listed and killed."""
    extra = {} if user is None else dict(user=user, group=user, extra_groups=[])
    env = ENV if user is None else dict(ENV, HOME=str(cwd))
    started = time.time()
    program = subprocess.Popen([str(a) for a in argv], stdin=subprocess.DEVNULL,
                               stdout=subprocess.PIPE, stderr=subprocess.PIPE, env=env, cwd=cwd,
                               start_new_session=True, **extra)
    try:
        out, err = program.communicate(timeout=deadline)
        status = program.returncode
    except subprocess.TimeoutExpired:
        program.kill()
        out, err = program.communicate()
        status = None
    ended = time.time()
    leftovers = _group(program.pid)
    for pid in leftovers:
        os.kill(pid, signal.SIGKILL)
    return Run(argv, status, out, err, started, ended, leftovers)


class Frame:
    """One line of the simulator's request log."""

    def __init__(self, line: str):
        moment, self.kind, *rest = line.split()
        self.time = float(moment)
        self.fields = dict(item.split("=", 1) for item in rest if "=" in item)

    def __str__(self) -> str:
        """s (speed switch); r or w, area, address, length; for a write, its data's digest."""
        if self.kind == "speed-switch":
            return "s"
        text = f"{self.kind[0]} {int(self.fields['cmd'], 16) & 0x7F:02x} {self.fields['addr']}"
        # The length field carries length - 1: a request of 0 bytes is logged as 256.
        text += f" {int(self.fields['len']) % 256}"
        if self.kind == "write":
            text += " " + sha(bytes.fromhex(self.fields["data"]))[:12]
        return text

    @property
    def bad(self) -> bool:
        return (self.kind in ("garbage", "incomplete") or self.fields.get("sum") == "bad"
                or self.fields.get("bank", "00") != "00")


def memory_of(state: bytes) -> tuple[bytes, bytes]:
    """EEPROM and flash of a simulator state file."""
    _, flash, registers, eeprom = struct.unpack_from("<IIII", state, 8)
    at = 24 + registers
    return state[at:at + eeprom], state[at + eeprom:at + eeprom + flash]


class Device:
    """vestrim-devsim on a pseudo-terminal, from a recorded state (or fresh), with `args`."""

    def __init__(self, devsim: str, folder: Path, state: str | None, args: list[str]):
        self.state, self.log = folder / "device.state", folder / "requests.log"
        if state:
            self.state.write_bytes(load(state))
        self.before = memory_of(self.state.read_bytes()) if state else None
        self.errors = open(folder / "devsim.err", "wb")
        self.process = subprocess.Popen(
            [devsim, "--state", str(self.state), "--log", str(self.log), *args],
            stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=self.errors)
        self.seen = 0
        with selectors.DefaultSelector() as selector:  # its first line names the terminal
            selector.register(self.process.stdout, selectors.EVENT_READ)
            line = self.process.stdout.readline() if selector.select(10) else b""
        self.pty = line.decode().strip()
        if not self.pty.startswith("/"):
            self.stop()
            raise RuntimeError(f"vestrim-devsim {args} served no pseudo-terminal")

    def frames(self) -> list[Frame]:
        """The requests logged since the last call."""
        lines = self.log.read_text(errors="replace").splitlines() if self.log.exists() else []
        new, self.seen = lines[self.seen:], len(lines)
        return [Frame(line) for line in new if line.strip()]

    def stop(self) -> tuple[bytes, bytes] | None:
        """Ends the simulator (it saves its memory); EEPROM and flash, None when unreadable."""
        self.process.send_signal(signal.SIGTERM)
        try:
            self.process.wait(10)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()
        self.process.stdout.close()
        self.errors.close()
        try:
            return memory_of(self.state.read_bytes())
        except (OSError, struct.error):
            return None


def snapshot(root: Path) -> dict[str, tuple]:
    """Everything below `root`: a file as (bytes or None when unreadable, time), a folder as
    ("folder",), a link as ("link", target), anything else as its kind and time; nothing but a
    plain file is opened."""
    found = {}
    for folder, folders, files in os.walk(root):
        for path in [Path(folder, name) for name in folders + files]:
            info, name = path.lstat(), path.relative_to(root).as_posix()
            if stat.S_ISREG(info.st_mode):
                try:
                    found[name] = (path.read_bytes(), info.st_mtime_ns)
                except OSError:
                    found[name] = (None, info.st_mtime_ns)
            elif stat.S_ISDIR(info.st_mode) or stat.S_ISLNK(info.st_mode):
                found[name] = ("link", os.readlink(path)) if path.is_symlink() else ("folder",)
            else:
                found[name] = (stat.S_IFMT(info.st_mode), info.st_mtime_ns)
    return found


def archive(tree: dict[str, tuple]) -> dict[str, list]:
    """The sealed files of a program folder's snapshot: path -> [length and digest of the bytes
    after the 12-byte stamp]."""
    return {path: [len(item[0][12:]), sha(item[0][12:])] if item[0] is not None else [None, None]
            for path, item in tree.items()
            if len(item) == 2 and isinstance(item[0], (bytes, type(None)))
            and path not in PROGRAM_FILES}


def stamp_of(moment: datetime.datetime) -> bytes:
    """The seal stamp of a local time: the date's digits at even places, the time's digits
    backwards at odd places."""
    d, t = moment.strftime("%d%m%y"), moment.strftime("%H%M%S")
    return "".join(d[i] + t[5 - i] for i in range(6)).encode()


def stamp_time(stamp: bytes) -> datetime.datetime | None:
    try:
        d, t = stamp[0::2].decode("ascii"), stamp[1::2].decode("ascii")[::-1]
        return datetime.datetime(2000 + int(d[4:6]), int(d[2:4]), int(d[0:2]), int(t[0:2]),
                                 int(t[2:4]), int(t[4:6]))
    except (UnicodeDecodeError, ValueError):
        return None


def _short(value) -> str:
    text = repr(value)
    return text if len(text) < 400 else text[:400] + "..."


class Checks:
    """The failures of one case."""

    def __init__(self):
        self.failures = []

    def true(self, condition, what: str, detail="") -> bool:
        if not condition:
            self.failures.append(f"{what}{detail}")
        return bool(condition)

    def equal(self, actual, expected, what: str, detail="") -> bool:
        """Shows where lists first differ, and which keys differ between dictionaries."""
        if actual != expected and isinstance(actual, list) and isinstance(expected, list):
            at = next((i for i, (a, e) in enumerate(zip(actual, expected)) if a != e),
                      min(len(actual), len(expected)))
            what += f" ({len(expected)} expected, {len(actual)} found; from {at})"
            actual, expected = actual[at:at + 3], expected[at:at + 3]
        elif actual != expected and isinstance(actual, dict) and isinstance(expected, dict):
            keys = sorted(k for k in set(actual) | set(expected) if actual.get(k) != expected.get(k))
            actual, expected = {k: actual.get(k) for k in keys}, {k: expected.get(k) for k in keys}
        return self.true(actual == expected,
                         f"{what}: expected {_short(expected)}, found {_short(actual)}", detail)

    def stamps(self, run: Run, tree: dict[str, tuple], paths: list[str]) -> None:
        """Each stamp is the local time the file was sealed, within the run, and within five
        seconds of the file's last-modified time."""
        earliest = datetime.datetime.fromtimestamp(int(run.started) - 1)
        latest = datetime.datetime.fromtimestamp(int(run.ended) + 1)
        for path in paths:
            data, mtime = tree.get(path, (None, 0))[:2]
            if not isinstance(data, bytes):
                continue
            sealed = stamp_time(data[:12])
            modified = datetime.datetime.fromtimestamp(mtime // 1_000_000_000)
            self.true(sealed and earliest <= sealed <= latest
                      and abs((modified - sealed).total_seconds()) <= 5,
                      f"{path}: stamp {data[:12]!r} is not the time of sealing ({modified})")
