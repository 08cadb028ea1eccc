#!/usr/bin/env python3
"""Sets the creation and last-saved times of an MSI's summary to the source date.

libmsi stamps both with the current time when it writes the summary and offers no way to
choose them. They are FILETIME values (100 ns since 1601) of whole seconds, so they are
found as the FILETIMEs of the last hour's seconds and rewritten in place; the file's length
and layout stay as they are.
  summary_times.py <package.msi> <unix-seconds>
"""
import struct
import sys
import time

EPOCH_AS_FILETIME = 11644473600


def filetime(seconds):
    return struct.pack("<Q", (seconds + EPOCH_AS_FILETIME) * 10**7)


def main():
    path, when = sys.argv[1], int(sys.argv[2])
    data = bytearray(open(path, "rb").read())
    now = int(time.time())
    found = 0
    for t in range(now - 3600, now + 60):
        stamp = filetime(t)
        at = data.find(stamp)
        while at >= 0:
            data[at:at + 8] = filetime(when)
            found += 1
            at = data.find(stamp, at + 8)
    # Created and last saved: exactly two, or the summary is not what this script knows.
    if found != 2:
        sys.exit("summary_times: found %d time stamps in %s, expected 2" % (found, path))
    open(path, "wb").write(data)


if __name__ == "__main__":
    main()
