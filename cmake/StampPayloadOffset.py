#!/usr/bin/env python3
"""Writes an executable's own size into its payload slot (payload/PayloadOffset.h).

The slot is a 16-byte marker followed by an 8-byte little-endian value. The
marker must occur exactly once: none means the program embeds no slot, two
or more mean the stamp cannot know which one the program reads.
"""
import os
import struct
import sys

MARKER = b"QV-PAYLOAD" + b"-SLOT\x1a"
VALUE_SIZE = 8


def find_all(data, needle):
    found, start = [], 0
    while True:
        at = data.find(needle, start)
        if at < 0:
            return found
        found.append(at)
        start = at + 1


def main(argv):
    if len(argv) != 2:
        print("usage: StampPayloadOffset.py EXECUTABLE", file=sys.stderr)
        return 2
    path = argv[1]
    with open(path, "rb") as f:
        data = f.read()
    places = find_all(data, MARKER)
    if len(places) != 1:
        print(f"{path}: expected one payload slot marker, found {len(places)}", file=sys.stderr)
        return 1
    value_at = places[0] + len(MARKER)
    if value_at + VALUE_SIZE > len(data):
        print(f"{path}: the payload slot is cut off at the end of the file", file=sys.stderr)
        return 1
    size = os.path.getsize(path)
    with open(path, "r+b") as f:
        f.seek(value_at)
        f.write(struct.pack("<Q", size))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
