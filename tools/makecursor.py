#!/usr/bin/env python3
"""Draws the capture overlay's cursor: a 29 x 45 RGBA arrow pointer whose
tip sits at (15, 23), next to the image centre, so that a cursor made with
the hot spot at the centre points with the tip. One-pixel black outline,
diagonal rainbow fill from blue at the tip to cyan at the tail.

    tools/makecursor.py plugins/ocr-nicomsoft/cursor.png
"""

import colorsys
import struct
import sys
import zlib

WIDTH, HEIGHT = 29, 45
TIP = (15, 23)

# Outline of the arrow, relative to the tip, in pixel-edge coordinates.
ARROW = [(0, 0), (0, 17), (4, 13), (7, 20), (10, 19), (7, 12), (12, 12)]


def inside(px, py):
    """Even-odd test of the pixel centre against the arrow polygon."""
    x, y = px - TIP[0] + 0.5, py - TIP[1] + 0.5
    result = False
    for (x1, y1), (x2, y2) in zip(ARROW, ARROW[1:] + ARROW[:1]):
        if (y1 > y) != (y2 > y) and x < x1 + (y - y1) * (x2 - x1) / (y2 - y1):
            result = not result
    return result


def fill_colour(px, py):
    """Hue runs backwards round the wheel along the diagonal: blue, magenta,
    red, yellow, green, cyan."""
    reach = max(ax + ay for ax, ay in ARROW)
    t = ((px - TIP[0]) + (py - TIP[1])) / reach
    hue = (240 + 300 * min(max(t, 0.0), 1.0)) % 360
    r, g, b = colorsys.hsv_to_rgb(hue / 360, 1.0, 1.0)
    return round(r * 255), round(g * 255), round(b * 255), 255


def pixels():
    mask = [[inside(x, y) for x in range(WIDTH)] for y in range(HEIGHT)]
    # The tip's centre lies on the polygon's edge; it belongs to the arrow.
    mask[TIP[1]][TIP[0]] = True

    def covered(x, y):
        return 0 <= x < WIDTH and 0 <= y < HEIGHT and mask[y][x]

    rows = []
    for y in range(HEIGHT):
        row = bytearray()
        for x in range(WIDTH):
            if not mask[y][x]:
                row += bytes(4)
            elif (x, y) == TIP or not all(covered(x + dx, y + dy) for dx, dy in
                                          ((1, 0), (-1, 0), (0, 1), (0, -1))):
                row += bytes((0, 0, 0, 255))
            else:
                row += bytes(fill_colour(x, y))
        rows.append(bytes(row))
    return rows


def chunk(kind, data):
    body = kind + data
    return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))


def png(rows):
    header = struct.pack(">IIBBBBB", WIDTH, HEIGHT, 8, 6, 0, 0, 0)
    raw = b"".join(b"\0" + row for row in rows)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header)
            + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    with open(sys.argv[1], "wb") as out:
        out.write(png(pixels()))
