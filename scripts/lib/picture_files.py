"""The file formats the art scripts write their pictures in. A picture is a list of rows of
(r, g, b, a) pixels, top row first."""
import struct
import zlib


def supersample(colour_at, size, ss, box, pixel):
    """A size x size picture of a design drawn in a box x box square: colour_at(x, y) gives a
    sample's (r, g, b) or None where the design leaves it clear; ss x ss samples a pixel.
    pixel(acc, n) makes the pixel from the sums of the covered samples' channels (alpha 255
    each) and the number of samples."""
    rows = []
    for py in range(size):
        row = []
        for px in range(size):
            acc = [0, 0, 0, 0]
            for sy in range(ss):
                for sx in range(ss):
                    c = colour_at((px + (sx + 0.5) / ss) * box / size, (py + (sy + 0.5) / ss) * box / size)
                    if c is None:
                        continue
                    for k in range(3):
                        acc[k] += c[k]
                    acc[3] += 255
            row.append(pixel(acc, ss * ss))
        rows.append(row)
    return rows


def bmp_image(rows):
    """A square picture as an icon's 32-bit BMP image: the header says twice the height (the
    colour rows bottom-up, then the AND mask, all clear: alpha decides)."""
    size = len(rows)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    pixels = b"".join(bytes((b, g, r, a)) for row in reversed(rows) for (r, g, b, a) in row)
    mask_row = ((size + 31) // 32) * 4
    return header + pixels + b"\0" * (mask_row * size)


def ico_file(images):
    """A .ico of (size, image) pairs, each image a BMP or PNG; 256 is written as 0."""
    data = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, blob in images:
        data += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(blob), offset)
        offset += len(blob)
    return data + b"".join(blob for _, blob in images)


def png_file(rows, deflate):
    """An RGBA PNG; deflate turns the filtered rows into the zlib stream of its IDAT."""
    h, w = len(rows), len(rows[0])
    raw = b"".join(b"\0" + bytes(c for px in row for c in px) for row in rows)

    def chunk(tag, data):
        return struct.pack(">I", len(data)) + tag + data + struct.pack(">I", zlib.crc32(tag + data) & 0xFFFFFFFF)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, 8, 6, 0, 0, 0)) +
            chunk(b"IDAT", deflate(raw)) + chunk(b"IEND", b""))
