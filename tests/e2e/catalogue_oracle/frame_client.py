"""A bare host on the simulator's pseudo-terminal: raw frames in, raw replies out.

Used to read a laid-out memory back over the line, which shows that a state file loads and that
the bytes sit where they were meant to be, before any program of ours takes part.
"""

from __future__ import annotations

import os
import selectors
import termios
import time
import tty

SPEED_SWITCH_FRAME = bytes([0x80, 0x00, 0x6E, 0x00, 0x02, 0xF0])


def read_frame(area: int, address: int, length: int) -> bytes:
    frame = bytes([area, length - 1, 0]) + address.to_bytes(4, "little")
    return frame + (sum(frame) & 0xFFFF).to_bytes(2, "little")


class FrameClient:
    def __init__(self, pty: str):
        self.fd = os.open(pty, os.O_RDWR | os.O_NOCTTY)
        # The simulator made the line raw; keep it so, or replies would echo back as requests.
        tty.setraw(self.fd, termios.TCSANOW)

    def close(self) -> None:
        os.close(self.fd)

    def __enter__(self) -> "FrameClient":
        return self

    def __exit__(self, *exc) -> None:
        self.close()

    def exchange(self, frame: bytes, reply_length: int, timeout: float = 5.0) -> bytes:
        os.write(self.fd, frame)
        reply = b""
        deadline = time.monotonic() + timeout
        with selectors.DefaultSelector() as selector:
            selector.register(self.fd, selectors.EVENT_READ)
            while len(reply) < reply_length:
                left = deadline - time.monotonic()
                if left <= 0 or not selector.select(left):
                    raise TimeoutError(f"{len(reply)} of {reply_length} reply bytes arrived")
                reply += os.read(self.fd, reply_length - len(reply))
        return reply

    def read(self, area: int, address: int, length: int) -> bytes:
        """The data of a read; the trailing sum of the data is checked too."""
        reply = self.exchange(read_frame(area, address, length), length + 2)
        data, trailer = reply[:length], reply[length:]
        if int.from_bytes(trailer, "little") != sum(data) & 0xFFFF:
            raise ValueError(f"read at {address}: trailer {trailer.hex()} is not the data sum")
        return data
