#!/usr/bin/env python3
"""Draws the stand-in reader's icons and the images of its web pages.

    make-product-art.py <icon-dir> <image-dir>

Writes the reader's icons (app.ico and one per document kind, 16 and 32 pixels, 32-bit
BMP images) into <icon-dir> and the PNG images of UserSDKHost's pages into <image-dir>.
The output is a pure function of this script: PNG data uses stored deflate blocks, so no
zlib version can change a byte. The results are committed; run the script to regenerate.
"""
import os
import struct
import sys
import zlib

# The shared picture formats; no bytecode is left in the source tree.
sys.dont_write_bytecode = True
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "lib"))
from picture_files import bmp_image, ico_file, png_file, supersample  # noqa: E402

WHITE = (0xFF, 0xFF, 0xFF)
INK = (0x33, 0x41, 0x55)
BRAND = (0x25, 0x63, 0xEB)

# Document kinds of the reader's file associations: (file name, band colour, mark).
# The mark is drawn on the page so that icons of the same colour family still differ.
KINDS = [
    ("epub", (0x16, 0xA3, 0x4A), "lines"),
    ("comic", (0xEA, 0x58, 0x0C), "panels"),
    ("chm", (0x7C, 0x3A, 0xED), "lines"),
    ("djvu", (0x0E, 0x74, 0x90), "dots"),
    ("image", (0xDB, 0x27, 0x77), "mountain"),
    ("pdf", (0xDC, 0x26, 0x26), "lines"),
    ("mobi", (0xCA, 0x8A, 0x04), "dots"),
    ("other", (0x64, 0x74, 0x8B), "lines"),
]


def page_shape(x, y):
    """The page outline in a 32-unit box: a sheet with a folded top-right corner."""
    if not (6 <= x < 26 and 2 <= y < 30):
        return None
    if x - 19 > y - 2:  # cut corner
        return None
    if x >= 19 and y < 9 and x - 19 >= y - 2 - 0.9:
        return "fold"
    return "page"


def mark_pixel(mark, x, y):
    if mark == "lines":
        return 9 <= x < 23 and int(y) in (11, 14, 17) and x < (23 if int(y) != 17 else 18)
    if mark == "panels":
        return (9 <= x < 15 or 17 <= x < 23) and (10 <= y < 14 or 16 <= y < 20)
    if mark == "dots":
        return any((x - cx) ** 2 + (y - cy) ** 2 < 2.3 for cx in (12, 16, 20) for cy in (12, 17))
    if mark == "mountain":
        return y < 20 and y >= 10 and abs(x - 14) <= (y - 10) * 0.8 or (x - 20) ** 2 + (y - 12) ** 2 < 3
    return False


def kind_colour(band, mark, x, y):
    shape = page_shape(x, y)
    if shape is None:
        return None
    if shape == "fold":
        return (0xCB, 0xD5, 0xE1)
    if y >= 22:
        return band
    if mark_pixel(mark, x, y):
        return INK
    if x < 7 or x >= 25 or y < 3 or x - 19 > y - 3.4:
        return (0x94, 0xA3, 0xB8)  # outline, so the sheet shows on a white background
    return WHITE


def app_colour(x, y):
    cx, cy = min(max(x, 7), 25), min(max(y, 7), 25)
    if (x - cx) ** 2 + (y - cy) ** 2 > 36:
        return None
    if 10 <= x < 22 and 8 <= y < 24:
        if 12 <= x < 20 and int(y) in (12, 15, 18):
            return BRAND
        return WHITE
    return BRAND


def covered_average(acc, n):
    """Colour averaged over covered samples only, coverage in alpha."""
    if not acc[3]:
        return (0, 0, 0, 0)
    cov = acc[3] // 255
    return (acc[0] // cov, acc[1] // cov, acc[2] // cov, acc[3] // n)


def render(colour_at, size, ss=4):
    return supersample(colour_at, size, ss, 32, covered_average)


def ico(colour_at):
    return ico_file([(size, bmp_image(render(colour_at, size))) for size in (16, 32)])


def stored_zlib(raw):
    """zlib stream made of stored deflate blocks: the same bytes with every zlib."""
    out = bytearray(b"\x78\x01")
    pos = 0
    while True:
        block = raw[pos:pos + 65535]
        pos += len(block)
        final = 1 if pos >= len(raw) else 0
        out += struct.pack("<BHH", final, len(block), len(block) ^ 0xFFFF) + block
        if final:
            break
    return bytes(out) + struct.pack(">I", zlib.adler32(raw) & 0xFFFFFFFF)


def png(rows):
    return png_file(rows, stored_zlib)


def banner(w=192, h=40):
    rows = []
    for y in range(h):
        row = []
        for x in range(w):
            t = x / (w - 1)
            r = int(BRAND[0] + (0x7C - BRAND[0]) * t)
            g = int(BRAND[1] + (0x3A - BRAND[1]) * t)
            b = int(BRAND[2] + (0xED - BRAND[2]) * t)
            row.append((r, g, b, 255))
        rows.append(row)
    return rows


def write(path, data):
    with open(path, "wb") as f:
        f.write(data)


def main(icon_dir, image_dir):
    os.makedirs(icon_dir, exist_ok=True)
    os.makedirs(image_dir, exist_ok=True)
    write(os.path.join(icon_dir, "app.ico"), ico(app_colour))
    for name, band, mark in KINDS:
        write(os.path.join(icon_dir, name + ".ico"),
              ico(lambda x, y, band=band, mark=mark: kind_colour(band, mark, x, y)))
    write(os.path.join(image_dir, "logo.png"), png(render(app_colour, 48, ss=3)))
    write(os.path.join(image_dir, "banner.png"), png(banner()))
    by_name = {name: (band, mark) for name, band, mark in KINDS}
    for name in ("pdf", "comic", "image", "epub"):
        band, mark = by_name[name]
        write(os.path.join(image_dir, "kind-" + name + ".png"),
              png(render(lambda x, y, band=band, mark=mark: kind_colour(band, mark, x, y), 24, ss=3)))


if __name__ == "__main__":
    if len(sys.argv) != 3:
        sys.exit("usage: make-product-art.py <icon-dir> <image-dir>")
    main(sys.argv[1], sys.argv[2])
