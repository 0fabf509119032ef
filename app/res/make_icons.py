#!/usr/bin/env python3
"""Draws the program's icons and writes them as .ico files (16, 32 and 48 pixels, 32-bit
colour with alpha and a matching 1-bit mask). Run from anywhere; the files land next to this
script. Standard library only; the output is deterministic, so re-running changes nothing.

  app.ico         128  the application: Wi-Fi waves on a blue tile
  device_*.ico    129-134  device list images: laptop, phone, tablet, desktop, router, other
"""
import math
import os
import struct

SIZES = (16, 32, 48)
SUPERSAMPLE = 4


def rrect(x0, y0, x1, y1, r=0.0):
    def inside(x, y):
        if not (x0 <= x <= x1 and y0 <= y <= y1):
            return False
        cx = min(max(x, x0 + r), x1 - r)
        cy = min(max(y, y0 + r), y1 - r)
        return (x - cx) ** 2 + (y - cy) ** 2 <= r * r
    return inside


def circle(cx, cy, r):
    return lambda x, y: (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def arc(cx, cy, r0, r1, a0, a1):
    """Ring between radii r0 and r1, angles a0..a1 in degrees, 90 pointing up."""
    def inside(x, y):
        d = math.hypot(x - cx, y - cy)
        if not (r0 <= d <= r1):
            return False
        a = math.degrees(math.atan2(cy - y, x - cx))
        return a0 <= a <= a1
    return inside


def rgb(hex_colour):
    v = int(hex_colour.lstrip("#"), 16)
    return ((v >> 16) & 255, (v >> 8) & 255, v & 255)


DARK, WHITE = rgb("#34404F"), rgb("#FFFFFF")

ICONS = {
    "app.ico": [
        (rrect(0.04, 0.04, 0.96, 0.96, 0.2), rgb("#1E6FD9")),
        (circle(0.5, 0.74, 0.08), WHITE),
        (arc(0.5, 0.74, 0.19, 0.29, 40, 140), WHITE),
        (arc(0.5, 0.74, 0.37, 0.47, 40, 140), WHITE),
    ],
    "device_laptop.ico": [
        (rrect(0.18, 0.18, 0.82, 0.64, 0.04), DARK),
        (rrect(0.24, 0.24, 0.76, 0.58), rgb("#8EC5FF")),
        (rrect(0.06, 0.66, 0.94, 0.76, 0.04), rgb("#5B6675")),
    ],
    "device_phone.ico": [
        (rrect(0.32, 0.08, 0.68, 0.92, 0.08), DARK),
        (rrect(0.37, 0.17, 0.63, 0.78), rgb("#8FE0A8")),
        (circle(0.5, 0.85, 0.035), WHITE),
    ],
    "device_tablet.ico": [
        (rrect(0.16, 0.1, 0.84, 0.9, 0.07), DARK),
        (rrect(0.22, 0.17, 0.78, 0.78), rgb("#FFC766")),
        (circle(0.5, 0.84, 0.03), WHITE),
    ],
    "device_desktop.ico": [
        (rrect(0.08, 0.12, 0.92, 0.66, 0.04), DARK),
        (rrect(0.14, 0.18, 0.86, 0.6), rgb("#C3A6FF")),
        (rrect(0.44, 0.66, 0.56, 0.8), rgb("#5B6675")),
        (rrect(0.28, 0.8, 0.72, 0.88, 0.03), rgb("#5B6675")),
    ],
    "device_router.ico": [
        (rrect(0.26, 0.16, 0.32, 0.52), rgb("#5B6675")),
        (rrect(0.68, 0.16, 0.74, 0.52), rgb("#5B6675")),
        (rrect(0.1, 0.5, 0.9, 0.82, 0.06), DARK),
        (circle(0.28, 0.66, 0.045), rgb("#4CD964")),
        (circle(0.42, 0.66, 0.045), rgb("#4CD964")),
        (circle(0.56, 0.66, 0.045), rgb("#FFCC00")),
    ],
    "device_other.ico": [
        (rrect(0.2, 0.2, 0.8, 0.8, 0.08), DARK),
        (rrect(0.32, 0.32, 0.68, 0.68, 0.04), rgb("#A7B1BE")),
        (circle(0.5, 0.5, 0.08), DARK),
    ]
    + [(rrect(0.08, p - 0.03, 0.2, p + 0.03), rgb("#5B6675")) for p in (0.35, 0.5, 0.65)]
    + [(rrect(0.8, p - 0.03, 0.92, p + 0.03), rgb("#5B6675")) for p in (0.35, 0.5, 0.65)],
}


def render(layers, size):
    """Rows top to bottom of (b, g, r, a) tuples; each layer is opaque, painted in order."""
    rows = []
    n = SUPERSAMPLE
    for py in range(size):
        row = []
        for px in range(size):
            acc = [0, 0, 0, 0]
            for sy in range(n):
                for sx in range(n):
                    x = (px + (sx + 0.5) / n) / size
                    y = (py + (sy + 0.5) / n) / size
                    colour = None
                    for inside, c in layers:
                        if inside(x, y):
                            colour = c
                    if colour is not None:
                        acc[0] += colour[0]
                        acc[1] += colour[1]
                        acc[2] += colour[2]
                        acc[3] += 1
            if acc[3] == 0:
                row.append((0, 0, 0, 0))
            else:
                k = acc[3]
                row.append((round(acc[2] / k), round(acc[1] / k), round(acc[0] / k), round(255 * k / (n * n))))
        rows.append(row)
    return rows


def dib(rows, size):
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    pixels = b"".join(bytes(p) for row in reversed(rows) for p in row)
    mask_stride = ((size + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(rows):
        line = bytearray(mask_stride)
        for x, p in enumerate(row):
            if p[3] == 0:
                line[x // 8] |= 0x80 >> (x % 8)
        mask += line
    return header + pixels + bytes(mask)


def ico(layers):
    images = [dib(render(layers, s), s) for s in SIZES]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for s, image in zip(SIZES, images):
        out += struct.pack("<BBBBHHII", s, s, 0, 0, 1, 32, len(image), offset)
        offset += len(image)
    return out + b"".join(images)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    for name, layers in ICONS.items():
        with open(os.path.join(here, name), "wb") as f:
            f.write(ico(layers))


if __name__ == "__main__":
    main()
