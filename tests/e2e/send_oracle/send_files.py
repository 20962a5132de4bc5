"""The PC files that are sent: S-record files written by objcopy (binutils) and srec_cat
(srecord) from binary pieces, and plain data files."""

from __future__ import annotations

import random
import subprocess
import tempfile
from pathlib import Path


def pattern(length: int, seed: int) -> bytes:
    """Varied bytes without 0xFF, so that every byte counts as firmware data."""
    generator = random.Random(seed)
    return bytes(generator.randrange(0, 0xFF) for _ in range(length))


def _run(argv: list[str], cwd: Path) -> None:
    result = subprocess.run(argv, cwd=cwd, capture_output=True, text=True)
    if result.returncode != 0:
        raise RuntimeError(f"{' '.join(argv)} failed: {result.stderr}")


def objcopy_s1(folder: Path, name: str, data: bytes, address: int,
               record_length: int | None = None) -> Path:
    """`name` in `folder`, written by objcopy from `data` placed at `address` (below 64 KiB,
    so S1 lines); objcopy names the S0 record after the output file."""
    with tempfile.TemporaryDirectory() as scratch:
        binary = Path(scratch) / "image.bin"
        binary.write_bytes(data)
        argv = ["objcopy", "-I", "binary", "-O", "srec", "--change-addresses", hex(address)]
        if record_length is not None:
            argv += ["--srec-len", str(record_length)]
        _run(argv + [str(binary), name], folder)
    return folder / name


def srec_cat(folder: Path, name: str, pieces: list[tuple[int, bytes]], header: str | None,
             block_size: int = 32, bare: bool = False) -> Path:
    """`name` in `folder`, written by srec_cat with 24-bit addresses (S2 lines) from binary
    `pieces` at their addresses. `header`: the S0 text (None: srec_cat's own); `bare`: data
    lines only. Lines hold `block_size` bytes each and may start at any address."""
    with tempfile.TemporaryDirectory() as scratch:
        argv = ["srec_cat"]
        for i, (address, data) in enumerate(pieces):
            binary = Path(scratch) / f"piece{i}.bin"
            binary.write_bytes(data)
            argv += [str(binary), "-binary", "-offset", hex(address)]
        argv += ["-o", str(folder / name), "-motorola", "-address-length=3",
                 "-obs", str(block_size), "-Output_Block_Packing"]
        if header is not None:
            argv += ["-header", header]
        if bare:
            argv += ["-disable=header", "-disable=data-count", "-disable=exec-start-address",
                     "-disable=footer"]
        _run(argv, folder)
    return folder / name


def plain(folder: Path, name: str, data: bytes) -> Path:
    path = folder / name
    path.write_bytes(data)
    return path
