#!/usr/bin/env python3
"""Writes the browser extension's icons (PNG, 16, 32, 48 and 128 pixels) from the program's own
32-pixel picture (resources/pictures/program_32.txt, read through make_pictures.py), so that the
browser's menu shows the program's green arrow going into its tray. Each pixel of the grid is a
square; every icon pixel takes the colours of the squares it covers, weighted by area, so 128 is
the grid enlarged four times and 16 and 48 are smooth. Only the standard library is used.

    make_browser_icons.py FOLDER     write quovar-SIZE.png for each size into FOLDER"""
import os
import struct
import sys
import zlib

import make_pictures

SIZES = (16, 32, 48, 128)
SOURCE = "program_32"


def resampled(pixels, size):
    """RGBA rows of the picture at `size` pixels, transparent pixels ('.') counted as clear."""
    n = len(pixels)
    scale = n / size
    rows = []
    for y in range(size):
        row = bytearray()
        for x in range(size):
            total = [0.0, 0.0, 0.0, 0.0]
            for sy in range(int(y * scale), min(n, int((y + 1) * scale - 1e-9) + 1)):
                height = min(sy + 1, (y + 1) * scale) - max(sy, y * scale)
                for sx in range(int(x * scale), min(n, int((x + 1) * scale - 1e-9) + 1)):
                    p = pixels[sy][sx]
                    if p is None:
                        continue
                    weight = height * (min(sx + 1, (x + 1) * scale) - max(sx, x * scale))
                    for c in range(3):
                        total[c] += p[c] * weight
                    total[3] += weight
            alpha = total[3] / (scale * scale)
            colour = [round(total[c] / total[3]) if total[3] else 0 for c in range(3)]
            row += bytes(colour + [round(255 * alpha)])
        rows.append(bytes(row))
    return rows


def png_bytes(rows):
    """An 8-bit RGBA PNG of the rows (each row width * 4 bytes)."""
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
    width, height = len(rows[0]) // 4, len(rows)
    header = struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)
    body = zlib.compress(b"".join(b"\0" + row for row in rows), 9)
    return b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", body) + chunk(b"IEND", b"")


def write_icons(folder):
    os.makedirs(folder, exist_ok=True)
    pixels = make_pictures.picture(SOURCE)
    for size in SIZES:
        with open(os.path.join(folder, "quovar-%d.png" % size), "wb") as f:
            f.write(png_bytes(resampled(pixels, size)))


if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    write_icons(sys.argv[1])
