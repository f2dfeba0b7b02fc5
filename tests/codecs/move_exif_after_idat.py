#!/usr/bin/env python3
"""Moves a PNG's eXIf chunk behind its image data, where the PNG rules allow it and some
writers put it. Usage: move_exif_after_idat.py FILE (rewritten in place)."""
import struct
import sys

path = sys.argv[1]
data = open(path, "rb").read()
at, chunks = 8, []
while at + 12 <= len(data):
    (length,) = struct.unpack(">I", data[at:at + 4])
    chunks.append(data[at:at + 12 + length])
    at += 12 + length
exif = [c for c in chunks if c[4:8] == b"eXIf"]
rest = [c for c in chunks if c[4:8] != b"eXIf"]
if not exif or rest[-1][4:8] != b"IEND":
    sys.exit("no eXIf chunk, or no IEND at the end")
open(path, "wb").write(data[:8] + b"".join(rest[:-1] + exif + rest[-1:]))
