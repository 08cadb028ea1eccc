#!/usr/bin/env python3
"""Copies an installer with one byte of the n-th installed entry's compressed data flipped.
The archive's header and its CRC stay intact, so the damage shows only when that entry is
decoded.  usage: corrupt_entry.py <installer.exe> <out.exe> <n (1-based, installed entries)>"""
import struct
import sys
import zlib


def installed(name):
    low = name.lower()
    if low.startswith("plugins\\") or low.startswith("usersdkhost\\"):
        return True
    if "\\" in name or "/" in name:
        return False
    return low.endswith((".dll", ".exe")) or low == "vlpdf-quickstart.pdf"


def parse(data, at):
    """The entries (name, compressed size) and where the data blocks start, or None."""
    count, = struct.unpack_from("<I", data, at + 4)
    if count > 2048:
        return None
    pos = at + 8
    entries = []
    for _ in range(count):
        if pos + 24 > len(data):
            return None
        size, compressed = struct.unpack_from("<II", data, pos)
        name = data[pos + 24:pos + size].split(b"\0")[0].decode("utf-8", "replace")
        entries.append((name, compressed))
        pos += size
    crc, = struct.unpack_from("<I", data, pos)
    if zlib.crc32(data[at:pos]) & 0xFFFFFFFF != crc:
        return None
    return entries, pos + 4


def main(src, dst, n):
    data = bytearray(open(src, "rb").read())
    at = data.find(b"LzSA")
    while at >= 0:
        found = parse(data, at)
        if found:
            break
        at = data.find(b"LzSA", at + 1)
    else:
        sys.exit("no archive found in " + src)
    entries, block = found
    seen = 0
    for name, compressed in entries:
        if installed(name):
            seen += 1
            if seen == n:
                data[block + compressed // 2] ^= 0x55
                open(dst, "wb").write(data)
                print(name)
                return
        block += compressed
    sys.exit("fewer than %d installed entries" % n)


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2], int(sys.argv[3]))
