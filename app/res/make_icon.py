#!/usr/bin/env python3
"""Writes quorvy.ico: one 32x32 16-colour image of a small plot (axes and a sine curve).

Run it again after changing the picture; the .ico it writes is kept in the repository."""
import math
import struct
import sys

SIZE = 32
# The standard 16-colour palette, as (red, green, blue).
PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128),
    (0, 128, 128), (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
BLACK, GREY, RED, BLUE, WHITE = 0, 8, 9, 12, 15


def picture():
    rows = [[WHITE] * SIZE for _ in range(SIZE)]
    for i in range(SIZE):
        rows[i][0] = rows[i][SIZE - 1] = GREY
        rows[0][i] = rows[SIZE - 1][i] = GREY
    axis_row, axis_col = 16, 5
    for x in range(2, 30):
        rows[axis_row][x] = BLACK
    for y in range(2, 30):
        rows[y][axis_col] = BLACK
    for d in (1, 2):
        rows[axis_row - d][29 - d] = rows[axis_row + d][29 - d] = BLACK
        rows[2 + d][axis_col - d] = rows[2 + d][axis_col + d] = BLACK
    for x in range(6, 29):
        y = axis_row - round(9 * math.sin((x - 6) / 22 * 2 * math.pi))
        rows[y][x] = BLUE
        rows[min(y + 1, 29)][x] = BLUE
    for x in range(8, 28, 4):
        rows[axis_row][x] = RED
    return rows


def ico(rows):
    header = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE * 2, 1, 4, 0, 0, 0, 0, 16, 0)
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for (r, g, b) in PALETTE)
    pixels = b""
    for row in reversed(rows):  # bottom-up
        for x in range(0, SIZE, 2):
            pixels += bytes([(row[x] << 4) | row[x + 1]])
    mask = b"\0" * (SIZE * SIZE // 8)  # 32 pixels a row: 4 bytes, already 32-bit aligned
    image = header + palette + pixels + mask
    directory = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", SIZE, SIZE, 16, 0, 1, 4, len(image), 6 + 16)
    return directory + entry + image


if __name__ == "__main__":
    out = sys.argv[1] if len(sys.argv) > 1 else "quorvy.ico"
    with open(out, "wb") as f:
        f.write(ico(picture()))
