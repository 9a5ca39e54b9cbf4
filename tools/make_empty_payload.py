#!/usr/bin/env python3
"""Writes a payload that installs no file: an archive with no entries, wrapped in SZDD.

The archive is the 23-byte header and a count of 0. The SZDD body holds it as literals
only (every flag bit set), which any mode 'A' expander reads back unchanged.
"""
import struct
import sys

ARCHIVE_HEADER = b"Quillmark Bit ResFile\x1a\x00"
SZDD_MAGIC = b"SZDD\x88\xf0\x27\x33"
MODE_A = b"A"
NO_MISSING_CHARACTER = b"\x00"
ITEMS_PER_GROUP = 8


def szdd_literals(data):
    body = bytearray()
    for start in range(0, len(data), ITEMS_PER_GROUP):
        body.append(0xFF)
        body += data[start:start + ITEMS_PER_GROUP]
    return SZDD_MAGIC + MODE_A + NO_MISSING_CHARACTER + struct.pack("<I", len(data)) + body


def main():
    archive = ARCHIVE_HEADER + struct.pack("<i", 0)
    with open(sys.argv[1], "wb") as out:
        out.write(szdd_literals(archive))


if __name__ == "__main__":
    main()
