#!/usr/bin/env python3
"""Gives a HEIF file from heif-enc a rotation of its own: the primary picture's 'pixi' property
box is overwritten in place by an 'irot' box of the same length (angle in quarter turns
anticlockwise), so no offset in the file moves. Usage: turn_heif.py FILE QUARTER_TURNS."""
import struct
import sys

path, turns = sys.argv[1], int(sys.argv[2])
data = bytearray(open(path, "rb").read())


def find(start, end, wanted):
    at = start
    while at + 8 <= end:
        size, kind = struct.unpack(">I4s", data[at:at + 8])
        if size < 8:
            break
        if kind == wanted:
            return at, size
        at += size
    sys.exit("no %s box" % wanted.decode())


meta, meta_size = find(0, len(data), b"meta")
iprp, iprp_size = find(meta + 12, meta + meta_size, b"iprp")  # meta is a full box
ipco, ipco_size = find(iprp + 8, iprp + iprp_size, b"ipco")
pixi, pixi_size = find(ipco + 8, ipco + ipco_size, b"pixi")
data[pixi:pixi + pixi_size] = struct.pack(">I4sB", pixi_size, b"irot", turns & 3) + bytes(
    pixi_size - 9)
open(path, "wb").write(bytes(data))
