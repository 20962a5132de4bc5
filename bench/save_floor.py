#!/usr/bin/env python3
"""The protocol floor of a run, from vestrim-devsim's request log.

For every request: the bytes on the line (the request frame and the reply) at
10 bits per byte and the line's speed, plus the waits the link prescribes: the
30 ms dispatch pause after every reply, the 1000 ms catalogue-end step once per
catalogue read, and the speed handshake's 1 s before the frame, 0.5 s watch and
2 s settle. A host cannot be faster than this; its overhead is what it adds.

Usage: save_floor.py LOG [catalogue-reads]
"""

import sys

DISPATCH_S = 0.030
CATALOGUE_END_S = 1.0
HANDSHAKE_S = 1.0 + 0.5 + 2.0


def floor(log_path: str, catalogue_reads: int = 1) -> tuple[float, int, int]:
    line_s = 0.0
    replies = 0
    handshakes = 0
    data_bytes = 0
    with open(log_path, encoding="ascii") as log:
        for line in log:
            fields = dict(f.split("=", 1) for f in line.split()[2:] if "=" in f)
            kind = line.split()[1]
            if kind not in ("read", "write", "speed-switch"):
                continue
            baud = int(fields["baud"])
            length = int(fields["len"])
            if kind == "speed-switch":
                request = 6
                handshakes += 1
            elif kind == "read":
                request = 9
                data_bytes += length
            else:
                request = 9 + length
            reply = fields.get("reply", "none")
            reply_bytes = 0 if reply == "none" else len(reply) // 2
            line_s += (request + reply_bytes) * 10 / baud
            if kind != "speed-switch" and reply != "none":
                replies += 1
    total = line_s + replies * DISPATCH_S + catalogue_reads * CATALOGUE_END_S \
        + handshakes * HANDSHAKE_S
    return total, replies, data_bytes


if __name__ == "__main__":
    seconds, replies, data = floor(sys.argv[1], int(sys.argv[2]) if len(sys.argv) > 2 else 1)
    print(f"{seconds:.3f} {replies} {data}")
