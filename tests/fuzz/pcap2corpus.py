#!/usr/bin/env python3
"""Turns capture files into fuzz inputs: one input per frame, and one per file
holding its whole frame sequence. Each frame is two bytes of length, two bytes
of extra wire length (zero) and the captured bytes."""
import os
import struct
import sys


def frames(path):
    with open(path, "rb") as f:
        data = f.read()
    if len(data) < 24:
        return
    magic = data[:4]
    endian = "<" if magic in (b"\xd4\xc3\xb2\xa1", b"\x4d\x3c\xb2\xa1") else ">"
    at = 24
    while at + 16 <= len(data):
        _, _, incl, _ = struct.unpack(endian + "IIII", data[at:at + 16])
        at += 16
        yield data[at:at + incl]
        at += incl


def main():
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    n = 0
    for path in sys.argv[2:]:
        sequence = b""
        for frame in frames(path):
            piece = struct.pack(">HH", len(frame), 0) + frame
            sequence += piece
            with open(os.path.join(out, "seed-%05d" % n), "wb") as f:
                f.write(piece)
            n += 1
        with open(os.path.join(out, "sequence-%s" % os.path.basename(path)), "wb") as f:
            f.write(sequence)
    print("%d seeds" % n)


if __name__ == "__main__":
    main()
