#!/usr/bin/env python3
"""Draws the installer's icon (a blue rounded square with a white three-petal flower) and
writes it as a Windows .ico with 16, 32, 48 and 256 pixel images. Run it to regenerate
src/main/installer.ico; the output is deterministic."""
import math
import os
import sys
import zlib

# The shared picture formats; no bytecode is left in the source tree.
sys.dont_write_bytecode = True
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "lib"))
from picture_files import bmp_image, ico_file, png_file, supersample  # noqa: E402

BLUE = (0x25, 0x63, 0xEB)
WHITE = (0xFF, 0xFF, 0xFF)


def bezier(p0, p1, p2, p3, steps=24):
    pts = []
    for i in range(steps + 1):
        t = i / steps
        u = 1 - t
        pts.append(tuple(u**3 * a + 3 * u * u * t * b + 3 * u * t * t * c + t**3 * d
                         for a, b, c, d in zip(p0, p1, p2, p3)))
    return pts


def petal(angle):
    pts = bezier((32, 32), (29, 19), (38, 10), (52, 13)) + bezier((52, 13), (43, 17), (40, 26), (45, 35))
    ca, sa = math.cos(angle), math.sin(angle)
    return [(32 + (x - 32) * ca - (y - 32) * sa, 32 + (x - 32) * sa + (y - 32) * ca) for x, y in pts]


def inside(poly, x, y):
    hit = False
    j = len(poly) - 1
    for i in range(len(poly)):
        xi, yi = poly[i]
        xj, yj = poly[j]
        if (yi > y) != (yj > y) and x < (xj - xi) * (y - yi) / (yj - yi) + xi:
            hit = not hit
        j = i
    return hit


def render(size, ss=4):
    petals = [petal(math.radians(a)) for a in (0, 120, 240)]

    def colour_at(x, y):
        # rounded square, corner radius 12 in the 64-unit design box
        cx, cy = min(max(x, 12), 52), min(max(y, 12), 52)
        if (x - cx) ** 2 + (y - cy) ** 2 > 144:
            return None
        if (x - 32) ** 2 + (y - 32) ** 2 > 3.5 ** 2 and any(inside(p, x, y) for p in petals):
            return WHITE
        return BLUE
    # every channel averaged over all samples: the edge fades to transparent black
    return supersample(colour_at, size, ss, 64, lambda acc, n: tuple(v // n for v in acc))


def main(out):
    images = []
    for size in (16, 32, 48, 256):
        rows = render(size, ss=4 if size < 256 else 2)
        images.append((size, png_file(rows, lambda raw: zlib.compress(raw, 9)) if size == 256 else bmp_image(rows)))
    with open(out, "wb") as f:
        f.write(ico_file(images))


if __name__ == "__main__":
    main(sys.argv[1])
