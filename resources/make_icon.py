#!/usr/bin/env python3
"""Writes Pindrel's application icon: a monitor whose desktop holds a grid of small icons, one of
them held by a red pin.

The .ico carries three images: 64x64 and 32x32 in 256 colours (8 bits per pixel, palettized) and
16x16 in 16 colours (4 bits per pixel). Each image is a BMP-style DIB with its transparency mask.
Only the standard library is used.

Usage: make_icon.py OUTPUT.ico
"""

import struct
import sys

# ---- the artwork, in unit coordinates (0..1, y downwards) ----------------------------------------

# Each colour of the artwork, with the colour of the standard 16-colour palette that stands for it
# in the 16-colour image.
BEZEL = ((0x38, 0x40, 0x48), (0, 0, 0))
BEZEL_LIGHT = ((0x70, 0x78, 0x80), (128, 128, 128))
DESKTOP = ((0x3A, 0x6E, 0xA5), (0, 128, 128))
STAND = ((0x80, 0x88, 0x90), (128, 128, 128))
ICON_COLOURS = [
    ((0xF0, 0xC8, 0x38), (255, 255, 0)),
    ((0xF4, 0xF4, 0xF4), (255, 255, 255)),
    ((0x58, 0xB8, 0x58), (0, 255, 0)),
]
ICON_SHADOW = ((0x1E, 0x40, 0x68), (0, 0, 128))
PIN_HEAD = ((0xD8, 0x20, 0x20), (255, 0, 0))
PIN_LIGHT = ((0xFF, 0x90, 0x90), (255, 255, 255))
PIN_NEEDLE = ((0x30, 0x30, 0x30), (0, 0, 0))
ARTWORK_COLOURS = [BEZEL, BEZEL_LIGHT, DESKTOP, STAND, ICON_SHADOW, PIN_HEAD, PIN_LIGHT, PIN_NEEDLE]
ARTWORK_COLOURS += ICON_COLOURS


def in_round_rect(x, y, left, top, right, bottom, radius):
    if not (left <= x <= right and top <= y <= bottom):
        return False
    cx = min(max(x, left + radius), right - radius)
    cy = min(max(y, top + radius), bottom - radius)
    return (x - cx) ** 2 + (y - cy) ** 2 <= radius**2


def in_rect(x, y, left, top, right, bottom):
    return left <= x <= right and top <= y <= bottom


def in_circle(x, y, cx, cy, r):
    return (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def near_segment(x, y, x0, y0, x1, y1, half_width):
    dx, dy = x1 - x0, y1 - y0
    t = ((x - x0) * dx + (y - y0) * dy) / (dx * dx + dy * dy)
    t = min(max(t, 0.0), 1.0)
    px, py = x0 + t * dx, y0 + t * dy
    return (x - px) ** 2 + (y - py) ** 2 <= half_width**2


def colour_at(x, y):
    """The colour of the artwork at (x, y), or None where it is transparent. Later shapes lie on
    top of earlier ones."""
    colour = None
    # Edges lie on whole pixels of the 32x32 image (multiples of 1/32) so that it stays crisp.
    u = 1 / 32
    if in_round_rect(x, y, 1 * u, 3 * u, 31 * u, 26 * u, 2.5 * u):
        colour = BEZEL_LIGHT
    if in_round_rect(x, y, 1.5 * u, 3.5 * u, 30.5 * u, 25.5 * u, 2 * u):
        colour = BEZEL
    if in_rect(x, y, 3 * u, 5 * u, 29 * u, 23.99 * u):
        colour = DESKTOP
        # Three rows of two icons down the left of the desktop, and one set apart on the right.
        icons = [(col, row) for row in range(3) for col in range(2)] + [(3, 1)]
        for number, (col, row) in enumerate(icons):
            left = (4 + 6 * col) * u
            top = (6 + 6 * row) * u
            if in_rect(x, y, left + u, top + u, left + 4.99 * u, top + 4.99 * u):
                colour = ICON_SHADOW
            if in_rect(x, y, left, top, left + 3.99 * u, top + 3.99 * u):
                colour = ICON_COLOURS[number % len(ICON_COLOURS)]
    if in_rect(x, y, 13 * u, 26 * u, 18.99 * u, 28.99 * u):
        colour = STAND
    if in_round_rect(x, y, 8 * u, 28 * u, 24 * u, 30.99 * u, 1 * u):
        colour = STAND
    # The pin: its needle goes into the icon set apart; its head sits above and to the right.
    if near_segment(x, y, 23.5 * u, 13.5 * u, 26 * u, 8 * u, 0.8 * u):
        colour = PIN_NEEDLE
    if in_circle(x, y, 26.5 * u, 7.5 * u, 4.2 * u):
        colour = PIN_HEAD
    if in_circle(x, y, 25.2 * u, 6.2 * u, 1.4 * u):
        colour = PIN_LIGHT
    return colour


def render(size, samples, blend):
    """The pixels of a size x size image, top row first: an RGB value, or None where the image is
    transparent. Each pixel looks at samples x samples points of the artwork; with `blend` it
    averages their colours (smooth edges), otherwise it takes the 16-colour equivalent of the
    colour most of them have."""
    pixels = []
    for py in range(size):
        row = []
        for px in range(size):
            found = []
            for sy in range(samples):
                for sx in range(samples):
                    x = (px + (sx + 0.5) / samples) / size
                    y = (py + (sy + 0.5) / samples) / size
                    c = colour_at(x, y)
                    if c is not None:
                        found.append(c)
            if len(found) * 2 < samples * samples:
                row.append(None)
            elif blend:
                row.append(tuple(round(sum(c[0][i] for c in found) / len(found)) for i in range(3)))
            else:
                row.append(max(set(found), key=found.count)[1])
        pixels.append(row)
    return pixels


# ---- palettes -------------------------------------------------------------------------------------

def palette_256(images):
    """The artwork's own colours, then the commonest of the blended edge colours in `images`."""
    colours = [c[0] for c in ARTWORK_COLOURS]
    counts = {}
    for pixels in images:
        for row in pixels:
            for c in row:
                if c is not None and c not in colours:
                    counts[c] = counts.get(c, 0) + 1
    by_use = sorted(counts, key=lambda c: (-counts[c], c))
    colours += by_use[: 256 - len(colours)]
    while len(colours) < 256:
        colours.append((0, 0, 0))
    return colours


# The 16 colours of the standard VGA palette, in the order Windows uses.
PALETTE_16 = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]


def nearest(palette, colour, cache):
    if colour not in cache:
        cache[colour] = min(
            range(len(palette)),
            key=lambda i: sum((palette[i][k] - colour[k]) ** 2 for k in range(3)),
        )
    return cache[colour]


# ---- ICO encoding ---------------------------------------------------------------------------------

def row_bytes(bits_per_row):
    """Bytes in one DIB row: rows are padded to whole 32-bit words."""
    return (bits_per_row + 31) // 32 * 4


def dib(pixels, palette, bits):
    size = len(pixels)
    header = struct.pack(
        "<IiiHHIIiiII",
        40,          # biSize
        size,        # biWidth
        size * 2,    # biHeight: the colour image and the mask together
        1,           # biPlanes
        bits,        # biBitCount
        0,           # biCompression: BI_RGB
        0,           # biSizeImage (may be 0 for BI_RGB)
        0, 0,        # resolution
        len(palette),
        0,
    )
    table = b"".join(struct.pack("<BBBB", b, g, r, 0) for (r, g, b) in palette)

    cache = {}
    xor = bytearray()
    mask = bytearray()
    # DIB rows go from the bottom up.
    for row in reversed(pixels):
        indexes = [0 if c is None else nearest(palette, c, cache) for c in row]
        line = bytearray(row_bytes(size * bits))
        for x, index in enumerate(indexes):
            if bits == 8:
                line[x] = index
            else:  # 4 bits: the left pixel in the high nibble
                line[x // 2] |= index << (4 if x % 2 == 0 else 0)
        xor += line
        mask_line = bytearray(row_bytes(size))
        for x, c in enumerate(row):
            if c is None:
                mask_line[x // 8] |= 0x80 >> (x % 8)
        mask += mask_line
    return header + table + bytes(xor) + bytes(mask)


def ico(images):
    """images: (size, palette size, bits per pixel, DIB bytes), in the order the file lists them."""
    head = struct.pack("<HHH", 0, 1, len(images))
    offset = len(head) + 16 * len(images)
    entries = b""
    data = b""
    for size, colours, bits, body in images:
        entries += struct.pack(
            "<BBBBHHII",
            size % 256,             # width (0 would mean 256)
            size % 256,             # height
            colours % 256,          # colours in the palette (0 means 256)
            0,                      # reserved
            1,                      # planes
            bits,                   # bits per pixel
            len(body),
            offset + len(data),
        )
        data += body
    return head + entries + data


def main():
    if len(sys.argv) != 2:
        sys.stderr.write("usage: make_icon.py OUTPUT.ico\n")
        return 2
    large = render(64, 4, blend=True)
    medium = render(32, 4, blend=True)
    small = render(16, 4, blend=False)
    palette = palette_256([large, medium])
    images = [
        (64, 256, 8, dib(large, palette, 8)),
        (32, 256, 8, dib(medium, palette, 8)),
        (16, 16, 4, dib(small, PALETTE_16, 4)),
    ]
    output = sys.argv[1]
    try:
        with open(output, "wb") as f:
            f.write(ico(images))
    except OSError as e:
        sys.stderr.write("make_icon.py: cannot write the icon file %s: %s\n" % (output, e.strerror))
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
