#!/usr/bin/env python3
"""Writes the program's icons (.ico) and bitmaps (.bmp) from the pixel grids in resources/pictures/.

Each grid file holds one square picture, one text line per pixel row, one character per pixel (the
palette below); lines beginning with '#' are comments. The tables below say which picture becomes
which resource. Only the standard library is used, so any Python 3 builds the pictures.

    make_pictures.py --out DIR          write every .ico and .bmp into DIR
    make_pictures.py --list             print the names of the files --out writes
    make_pictures.py --sheet FILE.ppm   write an enlarged contact sheet of every picture, to look at
"""
import argparse
import os
import struct
import sys

PICTURE_DIR = os.path.join(os.path.dirname(os.path.abspath(__file__)), "pictures")

# One character per pixel. '.' is transparent in icons and the button face in bitmaps.
# The bitmaps are loaded with the 3-D colours mapped: their 192,192,192 becomes the user's button
# face, 128,128,128 the button shadow and 223,223,223 the button light, so pictures avoid the last
# two unless they mean them.
PALETTE = {
    ".": None,
    "K": (0, 0, 0),
    "D": (64, 64, 64),
    "M": (116, 116, 116),
    "S": (168, 168, 168),
    "L": (232, 232, 232),
    "W": (255, 255, 255),
    "R": (224, 16, 16),
    "r": (136, 0, 0),
    "P": (255, 160, 160),
    "G": (16, 184, 16),
    "g": (0, 100, 0),
    "V": (0, 255, 0),
    "H": (144, 232, 144),
    "B": (32, 88, 232),
    "b": (0, 0, 128),
    "C": (136, 192, 255),
    "Y": (255, 224, 32),
    "y": (160, 112, 0),
    "O": (255, 160, 0),
    "N": (136, 80, 24),
    "n": (224, 184, 120),
}
BUTTON_FACE = (192, 192, 192)

# Pictures made from others: name -> (source, transformation).
DERIVED = {
    "move_down": ("move_up", "flip"),
    "state_downloading": ("move_down", {"b": "g", "B": "G"}),
}

# Bitmap resources: the toolbar and menu pictures (14 x 14) and the countdown dialog's (32 x 32).
BITMAPS = {
    14: "shutdown",
    15: "hang_up",
    20: "open_folder",
    21: "save",
    22: "edit_item",
    23: "new_item",
    24: "start_all",
    25: "stop_all",
    26: "start",
    27: "stop",
    28: "delete_finished",
    29: "delete",
    30: "move_up",
    31: "move_down",
    32: "start_at_once",
    33: "cut",
    34: "copy",
    35: "paste",
    36: "settings",
    37: "new_tab",
    38: "close_tab",
}

# Icon resources: each lists its pictures; a picture smaller than 16 pixels is also written padded to
# the larger common sizes, so the picture stays sharp wherever the program asks for 14 or 16.
ICONS = {
    10: ["program_16", "program_32"],
    11: ["program_16", "program_32"],
    12: ["tab_idle"],
    13: ["tab_busy"],
    80: ["state_idle"],
    81: ["state_queued"],
    82: ["state_downloading"],
    83: ["state_finished"],
    84: ["state_failed"],
    85: ["state_stop_requested"],
    86: ["state_delete_requested"],
    200: ["drovik_16"],  # Drovik's own (tool\Drovik.exe)
}

# Disabled pictures for the menus: icon resource -> the bitmap whose picture it grays.
DISABLED_ICONS = {
    51: 21, 52: 23, 53: 22, 54: 24, 55: 25, 56: 26, 57: 27, 58: 28, 59: 29,
    60: 30, 61: 31, 62: 32, 63: 33, 64: 34, 65: 35, 66: 36, 67: 37, 68: 38,
}

PADDED_SIZES = (14, 16)
DISABLED_DARK = (80, 80, 80)
DISABLED_LIGHT = (255, 255, 255)


class PictureError(Exception):
    pass


def read_grid(name):
    path = os.path.join(PICTURE_DIR, name + ".txt")
    with open(path, encoding="ascii") as f:
        rows = [line.rstrip("\n") for line in f if not line.startswith("#")]
    rows = [row for row in rows if row.strip()]
    size = len(rows)
    for number, row in enumerate(rows):
        if len(row) != size:
            raise PictureError(f"{path}: row {number} has {len(row)} pixels, the picture is {size} high")
        for ch in row:
            if ch not in PALETTE:
                raise PictureError(f"{path}: row {number}: no colour for {ch!r}")
    return [[PALETTE[ch] for ch in row] for row in rows]


def picture(name, cache={}):
    if name not in cache:
        if name in DERIVED:
            source, how = DERIVED[name]
            pixels = picture(source)
            if how == "flip":
                pixels = pixels[::-1]
            else:
                recolour = {PALETTE[a]: PALETTE[b] for a, b in how.items()}
                pixels = [[recolour.get(p, p) for p in row] for row in pixels]
            cache[name] = pixels
        else:
            cache[name] = read_grid(name)
    return cache[name]


def luminance(rgb):
    r, g, b = rgb
    return 0.299 * r + 0.587 * g + 0.114 * b


def grayed(pixels):
    """The picture as a disabled entry shows it: dark lines keep their shape, light areas turn white.

    Drawn embossed or monochrome, only the dark pixels count, so every picture keeps its outline."""
    return [[None if p is None else (DISABLED_DARK if luminance(p) < 160 else DISABLED_LIGHT) for p in row]
            for row in pixels]


def padded(pixels, size):
    n = len(pixels)
    before = (size - n) // 2
    after = size - n - before
    blank = [None] * size
    return ([blank[:] for _ in range(before)] + [[None] * before + row + [None] * after for row in pixels] +
            [blank[:] for _ in range(after)])


def bmp_bytes(pixels):
    """An 8-bit bitmap: the 3-D colour mapping works only through a colour table."""
    size = len(pixels)
    rows = [[BUTTON_FACE if p is None else p for p in row] for row in pixels]
    colours = sorted({p for row in rows for p in row})
    if len(colours) > 256:
        raise PictureError("more than 256 colours")
    index = {c: i for i, c in enumerate(colours)}
    stride = (size + 3) & ~3
    body = bytearray()
    for row in reversed(rows):
        line = bytes(index[p] for p in row)
        body += line + bytes(stride - size)
    table = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in colours)
    info = struct.pack("<IiiHHIIiiII", 40, size, size, 1, 8, 0, len(body), 2835, 2835, len(colours), 0)
    offset = 14 + len(info) + len(table)
    header = struct.pack("<2sIHHI", b"BM", offset + len(body), 0, 0, offset)
    return header + info + table + body


def icon_image(pixels):
    """One 32-bit image of an icon: colour with alpha, then the mask (1 = transparent)."""
    size = len(pixels)
    colour = bytearray()
    for row in reversed(pixels):
        for p in row:
            colour += b"\0\0\0\0" if p is None else struct.pack("<BBBB", p[2], p[1], p[0], 255)
    mask_stride = ((size + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(pixels):
        bits = bytearray(mask_stride)
        for x, p in enumerate(row):
            if p is None:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    info = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, len(colour) + len(mask), 0, 0, 0, 0)
    return info + colour + mask


def ico_bytes(images):
    images = sorted(images, key=len)
    count = len(images)
    directory = struct.pack("<HHH", 0, 1, count)
    data = b""
    offset = 6 + 16 * count
    for pixels in images:
        size = len(pixels)
        image = icon_image(pixels)
        directory += struct.pack("<BBBBHHII", size, size, 0, 0, 1, 32, len(image), offset + len(data))
        data += image
    return directory + data


def icon_images(names):
    images = {}
    for name in names:
        pixels = picture(name)
        images[len(pixels)] = pixels
    for pixels in list(images.values()):
        for size in PADDED_SIZES:
            if size > len(pixels) and size not in images:
                images[size] = padded(pixels, size)
    return list(images.values())


def outputs():
    """File name -> bytes of every file the build uses."""
    files = {}
    for number, name in BITMAPS.items():
        files[f"bitmap{number}.bmp"] = lambda name=name: bmp_bytes(picture(name))
    for number, names in ICONS.items():
        files[f"icon{number}.ico"] = lambda names=names: ico_bytes(icon_images(names))
    for number, bitmap in DISABLED_ICONS.items():
        source = BITMAPS[bitmap]
        files[f"icon{number}.ico"] = lambda source=source: ico_bytes(
            [grayed(picture(source)), padded(grayed(picture(source)), 16)])
    return files


def write(path, data):
    with open(path, "wb") as f:
        f.write(data)


def contact_sheet(path, scale=5):
    """Every picture enlarged on the button face, bitmaps first, then icons, then disabled icons."""
    rows_of_cells = [
        [picture(name) for name in BITMAPS.values()],
        [picture(name) for names in ICONS.values() for name in names],
        [grayed(picture(BITMAPS[b])) for b in DISABLED_ICONS.values()],
    ]
    cell = 34 * scale
    per_line = 11
    lines = []
    for cells in rows_of_cells:
        for start in range(0, len(cells), per_line):
            lines.append(cells[start:start + per_line])
    width, height = cell * per_line, cell * len(lines)
    canvas = [[(160, 160, 200)] * width for _ in range(height)]
    for ly, cells in enumerate(lines):
        for lx, pixels in enumerate(cells):
            ox, oy = lx * cell + scale, ly * cell + scale
            for y in range(32 * scale):
                for x in range(32 * scale):
                    canvas[oy + y][ox + x] = BUTTON_FACE
            for y, row in enumerate(pixels):
                for x, p in enumerate(row):
                    colour = BUTTON_FACE if p is None else p
                    for dy in range(scale):
                        line = canvas[oy + y * scale + dy]
                        for dx in range(scale):
                            line[ox + x * scale + dx] = colour
    with open(path, "wb") as f:
        f.write(b"P6 %d %d 255\n" % (width, height))
        f.write(bytes(c for row in canvas for p in row for c in p))


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--out", help="folder to write the .ico and .bmp files into")
    parser.add_argument("--list", action="store_true", help="print the names of the files written")
    parser.add_argument("--sheet", help="write a contact sheet (binary PPM) to this file")
    args = parser.parse_args()
    files = outputs()
    try:
        if args.list:
            print("\n".join(files))
        if args.out:
            os.makedirs(args.out, exist_ok=True)
            for name, make in files.items():
                write(os.path.join(args.out, name), make())
        if args.sheet:
            contact_sheet(args.sheet)
    except (PictureError, OSError) as error:
        print(f"make_pictures: {error}", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
