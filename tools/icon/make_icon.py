#!/usr/bin/python3
"""Writes the program's icon: data/icons/volnar.svg and the hicolor PNG sizes.

Run with Debian's interpreter (it has python3-pil and python3-numpy):
    /usr/bin/python3 tools/icon/make_icon.py [OUTPUT_FOLDER]
The icon is a piece of the player's face: a dark metal key holding a slate-blue display with
lit spectrum bars, in the skin's own colours. Every shape is an axis-aligned rounded
rectangle with a vertical gradient. From 32 px up the shapes come from the 256-unit design,
their edges snapped to whole pixels; at 16, 22 and 24 px they are placed by hand on the
pixel grid, with fewer bars, so that nothing blurs. Running it again gives the same bytes.
"""

import os
import sys

import numpy
from PIL import Image

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "skin"))

import palette  # noqa: E402

OUTPUT = os.path.normpath(os.path.join(HERE, "..", "..", "data", "icons"))
SIZES = (16, 22, 24, 32, 48, 64, 128, 256)
DESIGN = 256
SUPERSAMPLE = 4

# Colours: the key's metal and rim, the display's bezel and field, the lit bars.
EDGE = palette.PANEL_EDGE
HIGHLIGHT = palette.PANEL_HIGHLIGHT
METAL_TOP = palette.KEY_TOP
METAL_BOTTOM = palette.PANEL_BOTTOM
BEZEL = palette.DISPLAY_BEZEL_DARK
FIELD_TOP = palette.DISPLAY_SHADOW
FIELD_BOTTOM = (30, 38, 47)
BAR_TOP = palette.SYMBOL_LIT
BAR_BOTTOM = palette.GLOW

# Bar heights as parts of the tallest, left to right: a wave rising and falling.
WAVES = {
    3: (0.55, 1.0, 0.7),
    5: (0.45, 0.8, 1.0, 0.6, 0.4),
    7: (0.4, 0.7, 0.95, 1.0, 0.6, 0.8, 0.45),
}

# The 256-unit design: (left, top, right, bottom, radius) and the bars' layout.
DESIGN_SHAPES = {
    "body": (8, 8, 248, 248, 44),
    "rim": 3,          # edge line width
    "highlight": 4,    # the bright line under the top edge
    "bezel": (36, 56, 220, 204, 16),
    "bezel_width": 6,
    "bars": 7,
    "bar_width": 16,
    "bar_gap": 8,
    "bar_pad": 12,     # between the field's floor and top and the bars
}

# Hand-placed layouts, in whole pixels.
SMALL_LAYOUTS = {
    16: {"body": (0, 0, 16, 16, 3), "rim": 1, "highlight": 1,
         "bezel": (2, 3, 14, 13, 1), "bezel_width": 1,
         "bars": 3, "bar_width": 2, "bar_gap": 1, "bar_pad": 1},
    22: {"body": (1, 1, 21, 21, 3), "rim": 1, "highlight": 1,
         "bezel": (3, 5, 19, 17, 1), "bezel_width": 1,
         "bars": 3, "bar_width": 2, "bar_gap": 2, "bar_pad": 1},
    24: {"body": (1, 1, 23, 23, 4), "rim": 1, "highlight": 1,
         "bezel": (3, 5, 21, 19, 2), "bezel_width": 1,
         "bars": 5, "bar_width": 2, "bar_gap": 1, "bar_pad": 1},
}


def scaled_layout(size):
    k = size / DESIGN
    d = DESIGN_SHAPES

    def rect(r):
        left, top, right, bottom, radius = r
        return (round(left * k), round(top * k), round(right * k), round(bottom * k),
                max(1.0, radius * k))

    return {"body": rect(d["body"]), "rim": max(1, round(d["rim"] * k)),
            "highlight": max(1, round(d["highlight"] * k)),
            "bezel": rect(d["bezel"]), "bezel_width": max(1, round(d["bezel_width"] * k)),
            "bars": d["bars"], "bar_width": max(1, round(d["bar_width"] * k)),
            "bar_gap": max(1, round(d["bar_gap"] * k)),
            "bar_pad": max(1, round(d["bar_pad"] * k))}


def inset(r, by, top_extra=0):
    left, top, right, bottom, radius = r
    return (left + by, top + by + top_extra, right - by, bottom - by, max(0.0, radius - by))


def shapes(layout):
    """The rounded rectangles in painting order: (rect, top colour, bottom colour)."""
    body = layout["body"]
    rim = layout["rim"]
    out = [(body, EDGE, EDGE),
           (inset(body, rim), HIGHLIGHT, HIGHLIGHT),
           (inset(body, rim, layout["highlight"]), METAL_TOP, METAL_BOTTOM)]
    bezel = layout["bezel"]
    field = inset(bezel, layout["bezel_width"])
    out += [(bezel, BEZEL, BEZEL), (field, FIELD_TOP, FIELD_BOTTOM)]

    count, width, gap, pad = (layout["bars"], layout["bar_width"], layout["bar_gap"],
                              layout["bar_pad"])
    left, top, right, bottom, _ = field
    span = count * width + (count - 1) * gap
    x = left + (right - left - span) // 2
    floor = bottom - pad
    tallest = floor - (top + pad)
    for part in WAVES[count]:
        height = max(1, round(tallest * part))
        # Every bar shares the one gradient of the tallest, so the lit tops differ in colour
        # as the bars of a spectrum do.
        out.append(((x, floor - height, x + width, floor, 0.0),
                    mix(BAR_BOTTOM, BAR_TOP, height / tallest), BAR_BOTTOM))
        x += width + gap
    return out


def mix(a, b, t):
    return tuple(round(a[i] + (b[i] - a[i]) * t) for i in range(3))


def coverage(size, rect):
    """Part of each pixel inside the rounded rectangle, from SUPERSAMPLE^2 samples."""
    left, top, right, bottom, radius = rect
    n = size * SUPERSAMPLE
    centres = (numpy.arange(n) + 0.5) / SUPERSAMPLE
    x = centres[numpy.newaxis, :]
    y = centres[:, numpy.newaxis]
    # Distance outside the rectangle shrunk by the radius, compared with the radius.
    dx = numpy.maximum(numpy.maximum(left + radius - x, x - (right - radius)), 0)
    dy = numpy.maximum(numpy.maximum(top + radius - y, y - (bottom - radius)), 0)
    inside = (dx * dx + dy * dy <= radius * radius) & (x >= left) & (x <= right) & \
             (y >= top) & (y <= bottom)
    return inside.reshape(size, SUPERSAMPLE, size, SUPERSAMPLE).mean(axis=(1, 3))


def render(size):
    layout = SMALL_LAYOUTS.get(size) or scaled_layout(size)
    rgb = numpy.zeros((size, size, 3))
    alpha = numpy.zeros((size, size))
    rows = numpy.arange(size)[:, numpy.newaxis] + 0.5
    for rect, top_colour, bottom_colour in shapes(layout):
        cover = coverage(size, rect)
        _, top, _, bottom, _ = rect
        t = numpy.clip((rows - top) / max(bottom - top, 1), 0, 1)
        colour = numpy.stack([top_colour[i] + (bottom_colour[i] - top_colour[i]) * t
                              for i in range(3)], axis=-1) * numpy.ones((1, size, 1))
        # "Over" with straight alpha; the shapes are opaque.
        new_alpha = cover + alpha * (1 - cover)
        weight = numpy.divide(cover, new_alpha, out=numpy.zeros_like(cover),
                              where=new_alpha > 0)[..., numpy.newaxis]
        rgb = rgb * (1 - weight) + colour * weight
        alpha = new_alpha
    pixels = numpy.dstack([numpy.round(rgb), numpy.round(alpha * 255)]).astype(numpy.uint8)
    pixels[pixels[..., 3] == 0] = 0
    return Image.fromarray(pixels, "RGBA")


def hex_colour(c):
    return "#%02x%02x%02x" % c


def svg():
    """The 256-unit design as SVG, the shapes exactly as the large PNGs paint them."""
    layout = dict(DESIGN_SHAPES)
    layout["body"] = tuple(float(v) for v in layout["body"])
    layout["bezel"] = tuple(float(v) for v in layout["bezel"])
    parts = ['<?xml version="1.0" encoding="UTF-8"?>',
             f'<svg xmlns="http://www.w3.org/2000/svg" width="{DESIGN}" height="{DESIGN}" '
             f'viewBox="0 0 {DESIGN} {DESIGN}">',
             '  <title>VOLNAR</title>', '  <defs>']
    body = []
    for i, (rect, top_colour, bottom_colour) in enumerate(shapes(layout)):
        left, top, right, bottom, radius = rect
        fill = hex_colour(top_colour)
        if top_colour != bottom_colour:
            parts.append(f'    <linearGradient id="g{i}" x1="0" y1="{top:g}" x2="0" '
                         f'y2="{bottom:g}" gradientUnits="userSpaceOnUse">'
                         f'<stop offset="0" stop-color="{hex_colour(top_colour)}"/>'
                         f'<stop offset="1" stop-color="{hex_colour(bottom_colour)}"/>'
                         '</linearGradient>')
            fill = f"url(#g{i})"
        corner = f' rx="{radius:g}"' if radius > 0 else ""
        body.append(f'  <rect x="{left:g}" y="{top:g}" width="{right - left:g}" '
                    f'height="{bottom - top:g}"{corner} fill="{fill}"/>')
    parts.append('  </defs>')
    return "\n".join(parts + body + ["</svg>", ""])


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else OUTPUT
    os.makedirs(out, exist_ok=True)
    for size in SIZES:
        render(size).save(os.path.join(out, f"volnar-{size}.png"), optimize=True)
    with open(os.path.join(out, "volnar.svg"), "w", encoding="utf-8") as f:
        f.write(svg())


if __name__ == "__main__":
    main()
