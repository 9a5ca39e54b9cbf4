#!/usr/bin/env python3
"""Writes the program icon: one 32 x 32 image of 256 colours (2,216 bytes of image data).

The picture is computed, not drawn, so every build gets the same bytes: a blue-to-teal
field with a white "K" on it and a dark frame.
"""
import struct
import sys

SIZE = 32
COLOURS = 256
BITMAPINFOHEADER_SIZE = 40


def palette():
    """Entries 0 to 253: a gradient from deep blue to teal; 254 white, 255 near black."""
    entries = []
    for i in range(COLOURS - 2):
        entries.append((0x30 + i * 0x50 // 253, 0x40 + i * 0x80 // 253, 0xC0 - i * 0x40 // 253))
    entries.append((0xFF, 0xFF, 0xFF))
    entries.append((0x10, 0x10, 0x18))
    return b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in entries)


def in_letter_k(x, y):
    """A block "K": a stem and two diagonal arms, 3 pixels thick."""
    if not 6 <= y <= 25:
        return False
    if 8 <= x <= 11:
        return True
    arm = abs(y - 15.5)
    return 0 <= x - (11 + arm) <= 3


def pixel(x, y):
    if x in (0, SIZE - 1) or y in (0, SIZE - 1):
        return 255
    if in_letter_k(x, y):
        return 254
    return (x + y) * 253 // (2 * (SIZE - 1))


def image():
    header = struct.pack("<IiiHHIIiiII", BITMAPINFOHEADER_SIZE, SIZE, 2 * SIZE, 1, 8, 0,
                         SIZE * SIZE + SIZE * SIZE // 8, 0, 0, 0, 0)
    # Rows are stored bottom-up; the AND mask is all zero, so every pixel is opaque.
    xor = bytes(pixel(x, SIZE - 1 - row) for row in range(SIZE) for x in range(SIZE))
    mask = bytes(SIZE * SIZE // 8)
    return header + palette() + xor + mask


def main():
    data = image()
    directory = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", SIZE, SIZE, 0, 0, 1, 8, len(data), 6 + 16)
    with open(sys.argv[1], "wb") as out:
        out.write(directory + entry + data)


if __name__ == "__main__":
    main()
