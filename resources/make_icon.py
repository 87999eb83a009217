#!/usr/bin/env python3
"""Draws the application icon: a grey, elongated, lumpy asteroid with a few
craters, lit from the upper left, on black. Writes quorvast.ico (16x16 and
32x32, 8-bit palette) and a PNG preview of each size, and the web page's
app icons at 192x192 and 512x512, beside this script or into the folder
given as the only argument.

Deterministic: no randomness, so running it again gives the same bytes.
Standard library only.
"""
import argparse
import math
import os
import struct
import zlib

SIZES = (16, 32)
APP_SIZES = (192, 512)  # what a phone's home screen and an install prompt ask for


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


def draw(size):
    """Rows of palette indices; the palette is a grey ramp, 0 is black."""
    rows, n = [], samples(size)
    for py in range(size):
        row = []
        for px in range(size):
            total = 0.0
            for sy in range(n):
                for sx in range(n):
                    x = ((px + (sx + 0.5) / n) / size) * 2 - 1
                    y = ((py + (sy + 0.5) / n) / size) * 2 - 1
                    total += shade(x, y) or 0.0
            row.append(min(255, round(total / n ** 2)))
        rows.append(row)
    return rows


def ico_image(rows):
    """A BITMAPINFOHEADER image as .ico files hold it: header, palette, pixels, mask."""
    size = len(rows)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 8, 0, 0, 0, 0, 256, 0)
    palette = b"".join(bytes((i, i, i, 0)) for i in range(256))
    pixels = b"".join(bytes(row) for row in reversed(rows))  # bottom-up; 16 and 32 need no padding
    mask = bytes(((size + 31) // 32) * 4 * size)  # all opaque: the black is part of the icon
    return header + palette + pixels + mask


def ico(images):
    directory = struct.pack("<HHH", 0, 1, len(images))
    offset = len(directory) + 16 * len(images)
    entries, data = b"", b""
    for rows, image in images:
        size = len(rows)
        entries += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 8, len(image), offset + len(data))
        data += image
    return directory + entries + data


def png(rows):
    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))

    size = len(rows)
    raw = b"".join(b"\0" + bytes(v for v in row for _ in range(3)) for row in rows)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, 8, 2, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def main():
    parser = argparse.ArgumentParser(description="Draws quorvast.ico, its PNG previews and the app icons.")
    parser.add_argument("folder", nargs="?", default=os.path.dirname(os.path.abspath(__file__)),
                        help="where to write them (default: beside this script)")
    here = parser.parse_args().folder
    os.makedirs(here, exist_ok=True)
    drawings = [draw(size) for size in SIZES]
    with open(os.path.join(here, "quorvast.ico"), "wb") as out:
        out.write(ico([(rows, ico_image(rows)) for rows in drawings]))
    for rows in drawings + [draw(size) for size in APP_SIZES]:
        with open(os.path.join(here, "quorvast-%d.png" % len(rows)), "wb") as out:
            out.write(png(rows))


if __name__ == "__main__":
    main()
