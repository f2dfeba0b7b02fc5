#!/usr/bin/env python3
"""Writes the small bitmap and stream files that the picture tests carry as resources.

Each .bmp is a BMP file whose 14-byte file header the resource compiler strips, leaving the
packed DIB a bitmap resource holds. The damaged ones promise more than they hold: the loader
must refuse them without reading past their end. Run from this folder; the files are committed.
"""

import struct


def info_header(width, height, bits, compression=0, size_image=0, clr_used=0):
    return struct.pack("<IiiHHIIiiII", 40, width, height, 1, bits, compression, size_image,
                       2835, 2835, clr_used, 0)


def bmp(dib):
    return b"BM" + struct.pack("<IHHI", 14 + len(dib), 0, 0, 14) + dib


def table(count):
    """Colour-table entry i is (blue i, green 255 - i, red i / 2)."""
    return b"".join(struct.pack("<BBBB", i & 255, 255 - (i & 255), (i // 2) & 255, 0)
                    for i in range(count))


def pixels(count):
    return bytes((i * 7 + 3) & 255 for i in range(count))


def stride(width, bits):
    return (width * bits + 31) // 32 * 4


def write(name, data):
    with open(name, "wb") as f:
        f.write(data)


gray8 = info_header(5, 3, 8) + table(256) + pixels(stride(5, 8) * 3)
write("gray8.bmp", bmp(gray8))
# The same packed DIB without a file header, for a resource of a named type (kept verbatim).
write("gray8.dib", gray8)
write("mono1.bmp", bmp(info_header(33, 2, 1) + table(2) + pixels(stride(33, 1) * 2)))
write("rgb24.bmp", bmp(info_header(101, -3, 24) + pixels(stride(101, 24) * 3)))
write("rgb16.bmp", bmp(info_header(3, 2, 16) + pixels(stride(3, 16) * 2)))
write("clrused3.bmp", bmp(info_header(9, 2, 4, clr_used=3) + table(3) + pixels(stride(9, 4) * 2)))
# biSizeImage below stride x rows: 16 pixel bytes are all the data holds.
write("small-sizeimage.bmp", bmp(info_header(4, 4, 24, size_image=16) + pixels(16)))

write("cut-pixels.bmp", bmp(gray8[:-1]))
write("cut-table.bmp", bmp(gray8[:40 + 1000]))
write("cut-header.bmp", bmp(gray8[:30]))
write("big-sizeimage.bmp",
      bmp(info_header(4, 4, 24, size_image=1000000) + pixels(stride(4, 24) * 4)))
write("huge-clrused.bmp", bmp(info_header(4, 4, 8, clr_used=0x40000001) + table(256) +
                              pixels(16)))
write("rle8.bmp", bmp(info_header(4, 2, 8, compression=1, size_image=8) + table(256) +
                      bytes([4, 1, 4, 2, 0, 0, 0, 1])))
write("bitfields.bmp", bmp(info_header(2, 2, 16, compression=3) +
                           struct.pack("<III", 0xF800, 0x07E0, 0x001F) + pixels(8)))

write("neither.bin", b"Not a picture: neither a packed DIB nor a JPEG stream.\n")
# Start and end of image with no frame between them.
write("frameless.jpg", b"\xff\xd8\xff\xd9")
with open("../../../resources/pictures/picture01.jpg", "rb") as f:
    picture = f.read()
write("cut-picture.jpg", picture[:len(picture) // 2])
