#!/usr/bin/env python3
"""Draws the application icon: a grey, elongated, lumpy asteroid with a few
craters, lit from the upper left. Writes quorvast.ico, beside this script or
into the folder given as the only argument, with two kinds of image:
16x16 and 32x32 on black in a 256-grey palette, for displays of 256 colours,
and 16, 24, 32, 48 and 256 px in 32-bit colour around a transparent
background (256 as PNG), which Windows takes wherever it can show them, at
any scale, without a black tile around the body. Also favicon.ico, the web
page's small icons alone (16, 32 and 48 px, 32-bit); PNG previews of the
16 and 32 px icons around a transparent background (the README's title
shows one); and the web page's app icons at 192x192 and 512x512: on
black, and as maskable icons, the body within the central circle that any
mask shape keeps.

Deterministic: no randomness, so running it again gives the same bytes.
Standard library only.
"""
import argparse
import math
import os
import struct
import zlib

SIZES = (16, 32)
ALPHA_SIZES = (16, 24, 32, 48, 256)  # what Windows asks for, small icons to large tiles
FAVICON_SIZES = (16, 32, 48)  # a browser's tab, bookmarks and shortcuts
APP_SIZES = (192, 512)  # what a phone's home screen and an install prompt ask for
# A maskable icon may be cut to any shape that holds the circle of 40% of its
# size around the centre; the body, up to 1.07 from the centre, is shrunk to fit.
MASKABLE_SCALE = 0.72


def samples(size):
    """Samples per pixel and axis, for smooth edges; large icons need fewer."""
    return 4 if size <= 32 else 2
LIGHT = (-0.55, -0.6, 0.58)
TILT = math.radians(-28)
# Craters as (u, v, radius) in the body's own frame, u along the long axis.
CRATERS = ((-0.45, -0.15, 0.22), (0.35, 0.25, 0.26), (0.1, -0.35, 0.14), (0.62, -0.18, 0.12))


def outline(angle):
    """Radius of the lumpy outline, relative to a plain ellipse."""
    return 1 + 0.09 * math.sin(3 * angle + 0.7) + 0.06 * math.sin(5 * angle + 2.1) + 0.04 * math.sin(8 * angle)


def shade(x, y):
    """Grey level 0..255 of the point (x, y) in [-1, 1]^2, or None off the body."""
    cos_t, sin_t = math.cos(TILT), math.sin(TILT)
    u = (x * cos_t - y * sin_t) / 0.9
    v = (x * sin_t + y * cos_t) / 0.52
    r = math.hypot(u, v) / outline(math.atan2(v, u))
    if r >= 1:
        return None
    z = math.sqrt(1 - r * r)
    nx, ny = u * 0.6, v
    dim = 1.0
    for cu, cv, cr in CRATERS:  # a darker bowl whose floor faces away from the light
        d = math.hypot(u - cu, v - cv) / cr
        if d < 1:
            nx, ny = nx - (u - cu) * 2.5, ny - (v - cv) * 2.5
            dim = min(dim, 0.45 + 0.4 * d * d)
    norm = math.sqrt(nx * nx + ny * ny + z * z) or 1
    light = (nx * LIGHT[0] + ny * LIGHT[1] + z * LIGHT[2]) / norm
    return dim * (60 + 175 * max(0.0, light))


def draw(size, scale=1.0):
    """Rows of pixels (grey on black, coverage, grey of the body alone), each
    0..255, from several samples per pixel for smooth edges."""
    rows, n = [], samples(size)
    for py in range(size):
        row = []
        for px in range(size):
            total, covered = 0.0, 0
            for sy in range(n):
                for sx in range(n):
                    x = ((px + (sx + 0.5) / n) / size) * 2 - 1
                    y = ((py + (sy + 0.5) / n) / size) * 2 - 1
                    value = shade(x / scale, y / scale)
                    if value is not None:
                        total, covered = total + value, covered + 1
            row.append((min(255, round(total / n ** 2)), round(255 * covered / n ** 2),
                        min(255, round(total / covered)) if covered else 0))
        rows.append(row)
    return rows


def on_black(rows):
    return [[pixel[0] for pixel in row] for row in rows]


def with_alpha(rows):
    return [[(grey, grey, grey, alpha) for _, alpha, grey in row] for row in rows]


def ico_image(rows):
    """A 256-grey BITMAPINFOHEADER image as .ico files hold it: header,
    palette, pixels, mask."""
    size = len(rows)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 8, 0, 0, 0, 0, 256, 0)
    palette = b"".join(bytes((i, i, i, 0)) for i in range(256))
    pixels = b"".join(bytes(row) for row in reversed(rows))  # bottom-up; 16 and 32 need no padding
    mask = bytes(((size + 31) // 32) * 4 * size)  # all opaque: the black is part of the icon
    return header + palette + pixels + mask


def ico_alpha_image(rows):
    """A 32-bit image with its alpha channel: a PNG at 256 px, as Windows
    stores its large icons, below that a BITMAPINFOHEADER image (blue, green,
    red, alpha) with the mask older readers use."""
    size = len(rows)
    if size == 256:
        return png(with_alpha(rows))
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    pixels = b"".join(bytes((grey, grey, grey, alpha)) for row in reversed(rows) for _, alpha, grey in row)
    stride = (size + 31) // 32 * 4
    mask = b""
    for row in reversed(rows):  # a set bit: transparent
        bits = sum(1 << (stride * 8 - 1 - x) for x, pixel in enumerate(row) if pixel[1] == 0)
        mask += bits.to_bytes(stride, "big")
    return header + pixels + mask


def ico(images):
    """images: (size, bits per pixel, image data), in the order written."""
    directory = struct.pack("<HHH", 0, 1, len(images))
    offset = len(directory) + 16 * len(images)
    entries, data = b"", b""
    for size, bits, image in images:
        colours = 0  # the palette's size, stated only by images without a full one
        entries += struct.pack("<BBBBHHII", size % 256, size % 256, colours, 0, 1, bits, len(image), offset + len(data))
        data += image
    return directory + entries + data


def png(rows):
    """Rows of grey levels, or of (red, green, blue, alpha) tuples."""
    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))

    size = len(rows)
    alpha = isinstance(rows[0][0], tuple)
    pixel = (lambda value: bytes(value)) if alpha else (lambda value: bytes((value,) * 3))
    raw = b"".join(b"\0" + b"".join(pixel(value) for value in row) for row in rows)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, 8, 6 if alpha else 2, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def main():
    parser = argparse.ArgumentParser(description="Draws quorvast.ico, its PNG previews and the app icons.")
    parser.add_argument("folder", nargs="?", default=os.path.dirname(os.path.abspath(__file__)),
                        help="where to write them (default: beside this script)")
    here = parser.parse_args().folder
    os.makedirs(here, exist_ok=True)
    drawings = {size: draw(size) for size in sorted(set(SIZES + ALPHA_SIZES + APP_SIZES))}
    images = [(size, 8, ico_image(on_black(drawings[size]))) for size in SIZES]
    images += [(size, 32, ico_alpha_image(drawings[size])) for size in ALPHA_SIZES]
    outputs = {"quorvast.ico": ico(images),
               "favicon.ico": ico([(size, 32, ico_alpha_image(drawings[size])) for size in FAVICON_SIZES])}
    outputs.update(("quorvast-%d.png" % size, png(with_alpha(drawings[size]))) for size in SIZES)
    outputs.update(("quorvast-%d.png" % size, png(on_black(drawings[size]))) for size in APP_SIZES)
    outputs.update(("quorvast-maskable-%d.png" % size, png(on_black(draw(size, MASKABLE_SCALE)))) for size in APP_SIZES)
    for name, data in outputs.items():
        with open(os.path.join(here, name), "wb") as out:
            out.write(data)


if __name__ == "__main__":
    main()
