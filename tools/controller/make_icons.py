#!/usr/bin/env python3
"""Draws the controller's two notification-area icons, Farsi typing on and off, as .ico files.

    make_icons.py OUT-DIR      writes OUT-DIR/zafrelctl_on.ico and OUT-DIR/zafrelctl_off.ico

Each holds a 16x16 image (the notification area's and the title bar's size) and a 32x32 one (the
task switcher's), 32 bits per pixel with alpha: a key cap with the letter feh on it, green with a
white letter when Farsi typing is on, grey when it is off. Standard library only, drawn by
supersampling a few geometric shapes, so the build needs no image tools. The key caps' fill
colours come from resource_ids.h, where the Wine test reads them to tell the icons apart on the
screen.
"""
import pathlib
import re
import struct
import sys

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parents[1]))
from wine32 import answered_help_or_version  # noqa: E402

HERE = pathlib.Path(__file__).resolve().parent
SIZES = (16, 32)
SAMPLES = 4  # per pixel and axis


def header_colours(path=HERE / "resource_ids.h"):
    """The key caps' fill colours (0xRRGGBB) as the C++ header defines them."""
    text = path.read_text()
    found = dict(re.findall(r"#define\s+(ZAFREL_ICON_\w+_RGB)\s+(0x[0-9A-Fa-f]{6})", text))
    return int(found["ZAFREL_ICON_ON_RGB"], 16), int(found["ZAFREL_ICON_OFF_RGB"], 16)


def rgb(value):
    return (value >> 16) & 0xFF, (value >> 8) & 0xFF, value & 0xFF


# Shapes in a unit square, y downwards.
def key_cap(x, y):
    """A square with rounded corners, inset a little so that the edge stays crisp."""
    inset, radius = 0.03, 0.2
    cx = min(max(x, inset + radius), 1 - inset - radius)
    cy = min(max(y, inset + radius), 1 - inset - radius)
    return inset <= x <= 1 - inset and inset <= y <= 1 - inset and \
        (x - cx) ** 2 + (y - cy) ** 2 <= radius ** 2


def feh(x, y):
    """The isolated letter feh: a wide bowl rising at its left end, a small loop on its right end
    and one dot above the loop."""
    # The bowl: the lower half of an elliptic ring.
    ex, ey = (x - 0.47) / 0.31, (y - 0.52) / 0.2
    inner_x, inner_y = (x - 0.47) / 0.2, (y - 0.52) / 0.1
    bowl = y >= 0.52 and ex * ex + ey * ey <= 1 and inner_x * inner_x + inner_y * inner_y >= 1
    # The loop on the right end of the bowl.
    loop_d = (x - 0.7) ** 2 + (y - 0.44) ** 2
    loop = 0.055 ** 2 <= loop_d <= 0.13 ** 2
    # The dot, a small diamond above the loop.
    dot = abs(x - 0.7) + abs(y - 0.2) <= 0.09
    return bowl or loop or dot


def coverage(shape, size, px, py):
    hits = 0
    for sy in range(SAMPLES):
        for sx in range(SAMPLES):
            if shape((px + (sx + 0.5) / SAMPLES) / size, (py + (sy + 0.5) / SAMPLES) / size):
                hits += 1
    return hits / (SAMPLES * SAMPLES)


def over(top, alpha, bottom):
    return tuple(round(t * alpha + b * (1 - alpha)) for t, b in zip(top, bottom))


def draw(size, fill, ink, edge):
    """Rows of (r, g, b, a), top row first."""
    rows = []
    for py in range(size):
        row = []
        for px in range(size):
            cap = coverage(key_cap, size, px, py)
            letter = coverage(feh, size, px, py)
            inner = coverage(lambda x, y: key_cap((x - 0.5) * 1.12 + 0.5, (y - 0.5) * 1.12 + 0.5),
                             size, px, py)
            colour = over(fill, inner, edge)        # a darker rim around the cap
            colour = over(ink, letter, colour)
            row.append(colour + (round(255 * cap),))
        rows.append(row)
    return rows


def bmp_entry(rows):
    """One icon image as a .ico stores it: BITMAPINFOHEADER (height doubled for the mask), the
    pixels bottom-up as BGRA, then the AND mask (1 bit per pixel, rows padded to 32 bits)."""
    size = len(rows)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    pixels = b"".join(bytes((b, g, r, a)) for row in reversed(rows) for (r, g, b, a) in row)
    stride = ((size + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(rows):
        bits = bytearray(stride)
        for x, (_, _, _, a) in enumerate(row):
            if a == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    return header + pixels + bytes(mask)


def ico(images):
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    data = b""
    for size, blob in images:
        out += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(blob), offset)
        offset += len(blob)
        data += blob
    return out + data


def darker(colour, factor=0.7):
    return tuple(round(c * factor) for c in colour)


def main(argv):
    if answered_help_or_version(argv, "make_icons.py OUT-DIR", __doc__):
        return 0
    if len(argv) != 1:
        print(__doc__, file=sys.stderr)
        return 2
    out = pathlib.Path(argv[0])
    out.mkdir(parents=True, exist_ok=True)
    on, off = header_colours()
    looks = {"on": (rgb(on), (255, 255, 255)), "off": (rgb(off), (0x50, 0x50, 0x50))}
    for name, (fill, ink) in looks.items():
        images = [(size, bmp_entry(draw(size, fill, ink, darker(fill)))) for size in SIZES]
        path = out / f"zafrelctl_{name}.ico"
        tmp = path.with_suffix(".tmp")
        tmp.write_bytes(ico(images))
        tmp.replace(path)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
