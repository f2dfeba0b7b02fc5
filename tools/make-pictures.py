#!/usr/bin/env python3
"""Makes the twelve embedded photographs resources/pictures/picture01.jpg ... picture12.jpg.

Each picture is a crop of a public-domain or CC0 sample photograph that Debian ships in the
python3-skimage package (see resources/pictures/SOURCES.md), scaled to its exact size with
ImageMagick and encoded by cjpeg as baseline, 8-bit YCbCr, 1x1 sampling, a restart marker after
every MCU row. cjpeg writes one DQT segment per table and one DHT segment per table; the
difficulty is the rewrite: the segments are merged into one DQT (tables 0 and 1) and one DHT
(all four tables), and APP13, APP14 and COM segments are added, without touching the scan.

Usage: tools/make-pictures.py [--data DIR] [--out DIR]
  DIR defaults to a fresh `apt-get download python3-skimage` unpacked with `dpkg -x`.
"""

import argparse
import glob
import os
import struct
import subprocess
import sys
import tempfile

# number, source file, crop (x, y, width, height) in source pixels, output width, height.
PICTURES = [
    (1, "coffee.png", (33, 0, 534, 400), 471, 353),
    (2, "rocket.jpg", (28, 0, 583, 427), 482, 353),
    (3, "hubble_deep_field.jpg", (0, 70, 1000, 732), 482, 353),
    (4, "astronaut.png", (20, 0, 375, 512), 353, 482),
    (5, "hubble_deep_field.jpg", (560, 290, 424, 566), 353, 471),
    (6, "rocket.jpg", (160, 0, 320, 427), 353, 471),
    (7, "retina.jpg", (189, 0, 1033, 1411), 353, 482),
    (8, "coffee.png", (95, 0, 291, 400), 354, 487),
    (9, "hubble_deep_field.jpg", (40, 60, 352, 482), 352, 482),
    (10, "retina.jpg", (150, 330, 500, 688), 354, 487),
    (11, "chelsea.png", (150, 0, 218, 300), 354, 487),
    (12, "chelsea.png", (8, 0, 436, 300), 480, 330),
]

QUALITY = "90"
COMMENT = b"Kavrosa slide show picture"


def fetch_data_dir(work):
    """Downloads python3-skimage and unpacks it without installing it."""
    subprocess.run(["apt-get", "download", "python3-skimage"], cwd=work, check=True)
    deb = glob.glob(os.path.join(work, "python3-skimage_*.deb"))[0]
    subprocess.run(["dpkg", "-x", deb, os.path.join(work, "x")], check=True)
    found = glob.glob(os.path.join(work, "x/usr/lib/python3/dist-packages/skimage/data"))
    if not found:
        sys.exit("make-pictures: skimage/data not found in the package")
    return found[0]


def encode(source, crop, width, height):
    """Crops and scales with ImageMagick, encodes with cjpeg; returns the JPEG bytes."""
    x, y, w, h = crop
    convert = ["convert", source, "-alpha", "off", "-colorspace", "sRGB",
               "-crop", f"{w}x{h}+{x}+{y}", "+repage",
               "-filter", "Lanczos", "-resize", f"{width}x{height}!", "ppm:-"]
    ppm = subprocess.run(convert, check=True, stdout=subprocess.PIPE).stdout
    cjpeg = ["cjpeg", "-baseline", "-sample", "1x1", "-restart", "1", "-quality", QUALITY]
    return subprocess.run(cjpeg, input=ppm, check=True, stdout=subprocess.PIPE).stdout


def split_segments(data):
    """Returns (segments before the scan as (code, body) pairs, the rest from SOS on)."""
    if data[:2] != b"\xff\xd8":
        sys.exit("make-pictures: cjpeg output does not start with SOI")
    pos, segments = 2, []
    while True:
        if data[pos] != 0xFF:
            sys.exit("make-pictures: marker expected")
        code = data[pos + 1]
        if code == 0xDA:
            return segments, data[pos:]
        length = struct.unpack(">H", data[pos + 2:pos + 4])[0]
        segments.append((code, data[pos + 4:pos + 2 + length]))
        pos += 2 + length


def segment(code, body):
    return bytes([0xFF, code]) + struct.pack(">H", len(body) + 2) + body


def app13():
    """A Photoshop IRB block with one empty caption resource (IPTC, id 0x0404)."""
    resource = b"8BIM" + struct.pack(">H", 0x0404) + b"\x00\x00" + struct.pack(">I", 0)
    return segment(0xED, b"Photoshop 3.0\x00" + resource)


def app14():
    """Adobe marker: version 100, no flags, transform 1 (the components are YCbCr)."""
    return segment(0xEE, b"Adobe" + struct.pack(">HHHB", 100, 0, 0, 1))


def rewrite(jpeg):
    """SOI APP0 APP13 APP14 COM DQT(0,1) SOF0 DHT(4 tables) DRI SOS... in one stream."""
    segments, scan = split_segments(jpeg)
    by_code = {}
    for code, body in segments:
        by_code.setdefault(code, []).append(body)
    dqt, dht = by_code.get(0xDB, []), by_code.get(0xC4, [])
    if sum(len(b) // 65 for b in dqt) != 2 or len(dht) != 4:
        sys.exit("make-pictures: expected two quantisation and four Huffman tables")
    if 0xDD not in by_code or 0xC0 not in by_code:
        sys.exit("make-pictures: expected SOF0 and DRI (baseline, restart interval)")
    out = b"\xff\xd8" + segment(0xE0, by_code[0xE0][0]) + app13() + app14()
    out += segment(0xFE, COMMENT)
    out += segment(0xDB, b"".join(dqt)) + segment(0xC0, by_code[0xC0][0])
    out += segment(0xC4, b"".join(dht)) + segment(0xDD, by_code[0xDD][0])
    return out + scan


def check(jpeg, width, height):
    """The frame says width x height, three components sampled 1x1, 8-bit."""
    segments, _ = split_segments(jpeg)
    sof = dict(segments)[0xC0]
    precision, h, w, count = struct.unpack(">BHHB", sof[:6])
    samplings = [sof[6 + 3 * i + 1] for i in range(count)]
    if (precision, w, h, count, samplings) != (8, width, height, 3, [0x11] * 3):
        sys.exit(f"make-pictures: unexpected frame {w}x{h} {count} {samplings}")
    mcus_per_row = (width + 7) // 8
    if struct.unpack(">H", dict(segments)[0xDD])[0] != mcus_per_row:
        sys.exit("make-pictures: restart interval is not one MCU row")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--data", help="skimage/data directory of python3-skimage")
    here = os.path.dirname(os.path.abspath(__file__))
    parser.add_argument("--out", default=os.path.join(here, "..", "resources", "pictures"))
    args = parser.parse_args()
    with tempfile.TemporaryDirectory() as work:
        data = args.data or fetch_data_dir(work)
        for number, name, crop, width, height in PICTURES:
            jpeg = rewrite(encode(os.path.join(data, name), crop, width, height))
            check(jpeg, width, height)
            path = os.path.join(args.out, f"picture{number:02d}.jpg")
            with open(path, "wb") as f:
                f.write(jpeg)
            print(f"{path}: {width}x{height}, {len(jpeg)} bytes")


if __name__ == "__main__":
    main()
