#!/usr/bin/env python3
"""Draws the program's three icons and writes them as .ico files.

    python3 draw_icons.py [OUTPUT_DIR]     (default: this script's folder)

Each picture is a list of flat shapes in a unit square, painted back to
front. Every pixel is sampled on a 4 by 4 grid: it is opaque when at least
half of its samples hit a shape, and takes the nearest palette colour of the
mean of those samples. Images are stored the classic way: a
BITMAPINFOHEADER, the palette, the colour bits and the AND mask, all rows
bottom-up. Python 3 standard library only; the output is the same on every
run.
"""

import os
import struct
import sys

SAMPLES = 4

# The classic 16-colour palette, in its usual order.
PALETTE_16 = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]

# 256 colours: the 16 above, a 6x6x6 colour cube and 24 greys.
PALETTE_256 = (
    PALETTE_16
    + [(r, g, b) for r in range(0, 256, 51) for g in range(0, 256, 51) for b in range(0, 256, 51)]
    + [(8 + 10 * i,) * 3 for i in range(24)]
)

DARK = (64, 64, 64)
GREY = (128, 128, 128)
SILVER = (192, 192, 192)
WHITE = (255, 255, 255)


def rect(x0, y0, x1, y1, colour):
    return lambda x, y: colour if x0 <= x < x1 and y0 <= y < y1 else None


def disc(cx, cy, r, colour):
    return lambda x, y: colour if (x - cx) ** 2 + (y - cy) ** 2 <= r * r else None


def rounded(x0, y0, x1, y1, r, colour):
    def hit(x, y):
        if not (x0 <= x < x1 and y0 <= y < y1):
            return None
        dx = max(x0 + r - x, 0, x - (x1 - r))
        dy = max(y0 + r - y, 0, y - (y1 - r))
        return colour if dx * dx + dy * dy <= r * r else None

    return hit


def within(outer, inner):
    """inner, cut to where outer is painted."""
    return lambda x, y: inner(x, y) if outer(x, y) is not None else None


def products_picture(size, bits):
    """A video call: a monitor showing a person, on a stand."""
    screen = (32, 96, 192) if bits == 8 else (0, 0, 128)
    face = (255, 224, 160)
    shapes = [
        rounded(0.04, 0.08, 0.96, 0.76, 0.08, DARK),
        rect(0.12, 0.16, 0.88, 0.68, screen),
        within(rect(0.12, 0.16, 0.88, 0.68, screen), disc(0.5, 0.78, 0.26, WHITE)),
        disc(0.5, 0.38, 0.12, face),
        rect(0.42, 0.76, 0.58, 0.86, GREY),
        rounded(0.24, 0.86, 0.76, 0.96, 0.04, GREY),
    ]
    if size >= 32:
        shapes.append(disc(0.5, 0.12, 0.025, (0, 255, 0)))
    return shapes


def addresses_picture(size, bits):
    """The Internet, and a wall between it and the machine."""
    mortar = SILVER
    brick = (128, 0, 0)
    shapes = [disc(0.40, 0.36, 0.32, (0, 0, 255))]
    globe = shapes[0]
    shapes += [
        within(globe, disc(0.28, 0.26, 0.14, (0, 128, 0))),
        within(globe, disc(0.52, 0.50, 0.12, (0, 128, 0))),
        rect(0.08, 0.50, 0.96, 0.94, mortar),
    ]
    rows = 4
    height = (0.94 - 0.50) / rows
    for row in range(rows):
        top = 0.50 + row * height + 0.03
        offset = 0.0 if row % 2 == 0 else 0.11
        left = 0.08 - offset
        while left < 0.96:
            shapes.append(
                within(rect(0.08, 0.50, 0.96, 0.94, mortar),
                       rect(left + 0.03, top, left + 0.22, top + height - 0.03, brick)))
            left += 0.22
    return shapes


def maker_picture(size, bits):
    """The maker's letter T on a rounded tile."""
    return [
        rounded(0.06, 0.06, 0.94, 0.94, 0.16, (0, 128, 128)),
        rect(0.22, 0.22, 0.78, 0.36, WHITE),
        rect(0.43, 0.36, 0.57, 0.80, WHITE),
    ]


def render(picture, size, bits):
    """Rows of pixels, top first; each pixel an RGB triple or None."""
    shapes = picture(size, bits)
    pixels = []
    for py in range(size):
        row = []
        for px in range(size):
            hits = []
            for sy in range(SAMPLES):
                for sx in range(SAMPLES):
                    x = (px + (sx + 0.5) / SAMPLES) / size
                    y = (py + (sy + 0.5) / SAMPLES) / size
                    colour = None
                    for shape in shapes:
                        colour = shape(x, y) or colour
                    if colour is not None:
                        hits.append(colour)
            if 2 * len(hits) < SAMPLES * SAMPLES:
                row.append(None)
            else:
                row.append(tuple(sum(c[i] for c in hits) // len(hits) for i in range(3)))
        pixels.append(row)
    return pixels


def nearest(palette, colour):
    return min(range(len(palette)),
               key=lambda i: sum((palette[i][k] - colour[k]) ** 2 for k in range(3)))


def padded(row_bytes):
    return row_bytes + b"\0" * (-len(row_bytes) % 4)


def pack_bits(values, bits):
    """Packs small integers most significant first into bytes."""
    out = bytearray()
    per_byte = 8 // bits
    for start in range(0, len(values), per_byte):
        byte = 0
        chunk = values[start:start + per_byte]
        for i in range(per_byte):
            value = chunk[i] if i < len(chunk) else 0
            byte |= value << (8 - bits * (i + 1))
        out.append(byte)
    return bytes(out)


def dib(pixels, bits):
    """One icon image: header, palette, colour bits and AND mask."""
    size = len(pixels)
    palette = PALETTE_16 if bits == 4 else PALETTE_256
    colour_rows = b""
    mask_rows = b""
    for row in reversed(pixels):
        indices = [0 if p is None else nearest(palette, p) for p in row]
        transparent = [1 if p is None else 0 for p in row]
        colour_rows += padded(pack_bits(indices, bits))
        mask_rows += padded(pack_bits(transparent, 1))
    header = struct.pack("<IiiHHIIiiII", 40, size, 2 * size, 1, bits, 0,
                         len(colour_rows) + len(mask_rows), 0, 0, len(palette), 0)
    table = b"".join(struct.pack("<BBBB", b, g, r, 0) for (r, g, b) in palette)
    return header + table + colour_rows + mask_rows


def ico(images):
    """An .ico file from (size, bits, image bytes) triples."""
    directory = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    entries = b""
    data = b""
    for size, bits, image in images:
        colours = 16 if bits == 4 else 0
        entries += struct.pack("<BBBBHHII", size, size, colours, 0, 1, bits, len(image),
                               offset + len(data))
        data += image
    return directory + entries + data


def write_icon(path, picture, formats):
    images = []
    for size, bits in formats:
        images.append((size, bits, dib(render(picture, size, bits), bits)))
    with open(path, "wb") as out:
        out.write(ico(images))


def main():
    folder = sys.argv[1] if len(sys.argv) > 1 else os.path.dirname(os.path.abspath(__file__))
    write_icon(os.path.join(folder, "products.ico"), products_picture,
               [(16, 4), (32, 4), (48, 4), (16, 8), (32, 8), (48, 8)])
    write_icon(os.path.join(folder, "addresses.ico"), addresses_picture, [(32, 4)])
    write_icon(os.path.join(folder, "maker.ico"), maker_picture, [(32, 4)])


if __name__ == "__main__":
    main()
