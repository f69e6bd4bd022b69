#!/usr/bin/env python3
"""Draws Kelvane's icon, a clock face, and writes it as a .ico with 16, 32
and 48 pixel images (32-bit BGRA bitmaps with an AND mask).

usage: make_icon.py <output.ico>
"""
import math
import struct
import sys


def pixel(size, x, y):
    """Colour (b, g, r, a) of one pixel of the clock face at the given size."""
    c = (size - 1) / 2.0
    dx, dy = x - c, y - c
    r = math.hypot(dx, dy)
    outer = size / 2.0 - 0.5
    if r > outer:
        return (0, 0, 0, 0)
    if r > outer - max(1.0, size / 12.0):
        return (0x60, 0x30, 0x10, 255)          # dark blue rim
    ang = math.atan2(dx, -dy)                   # 0 at twelve o'clock, clockwise
    width = max(0.6, size / 24.0)
    # hands at 10:10: hour hand towards 10, minute hand towards 2
    for hand_ang, length in ((math.radians(-60), 0.5), (math.radians(60), 0.78)):
        hx, hy = math.sin(hand_ang), -math.cos(hand_ang)
        along = dx * hx + dy * hy
        across = abs(dx * hy - dy * hx)
        if 0 <= along <= length * outer and across <= width:
            return (0x20, 0x20, 0x20, 255)
    # hour ticks
    if r > outer * 0.72:
        step = math.radians(30)
        off = (ang + step / 2) % step - step / 2
        if abs(off) * r <= width:
            return (0x60, 0x30, 0x10, 255)
    return (0xF8, 0xF0, 0xE8, 255)              # pale face


def image(size):
    rows = []
    for y in range(size - 1, -1, -1):           # bitmaps are stored bottom-up
        rows.append(b"".join(struct.pack("BBBB", *pixel(size, x, y)) for x in range(size)))
    xor = b"".join(rows)
    mask_stride = ((size + 31) // 32) * 4
    mask = bytearray()
    for y in range(size - 1, -1, -1):
        bits = bytearray(mask_stride)
        for x in range(size):
            if pixel(size, x, y)[3] == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0,
                         len(xor) + len(mask), 0, 0, 0, 0)
    return header + xor + bytes(mask)


def main():
    sizes = (16, 32, 48)
    images = [image(s) for s in sizes]
    out = struct.pack("<HHH", 0, 1, len(sizes))
    offset = 6 + 16 * len(sizes)
    for s, data in zip(sizes, images):
        out += struct.pack("<BBBBHHII", s, s, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    out += b"".join(images)
    with open(sys.argv[1], "wb") as f:
        f.write(out)


if __name__ == "__main__":
    main()
