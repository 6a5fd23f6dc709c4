#!/usr/bin/python3
"""Writes the two embedded fonts, MicroTech and Digital-7, into src/skin/data.

Run with Debian's interpreter (it has python3-fonttools):
    /usr/bin/python3 tools/fonts/make_fonts.py
"""

import math
import os
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
sys.path.insert(0, os.path.join(HERE, "..", "skin"))

import digital7_design as d7  # noqa: E402
import microtech_design as mt  # noqa: E402
import outline  # noqa: E402
from font_file import write_font  # noqa: E402
from skin_table import DATA_DIR, font_path  # noqa: E402

# MicroTech metrics (font units, 1000 per em).
MT_UNIT = 1000.0 / 11.0  # one design grid step: one pixel at 11 px
MT_PEN = MT_UNIT  # stroke width
MT_SIDE = MT_UNIT  # clear space on each side of a glyph
MT_ASCENT, MT_DESCENT = 850, 150


def printable_ascii():
    return [chr(c) for c in range(0x20, 0x7F)]


def printable_cp1251():
    """Every printable character of Windows-1251 above ASCII (0x98 is unassigned)."""
    out = []
    for b in range(0x80, 0x100):
        try:
            out.append(bytes([b]).decode("cp1251"))
        except UnicodeDecodeError:
            continue
    return out


def glyph_name(ch):
    if ch == " ":
        return "space"
    return "uni%04X" % ord(ch)


def _parse_strokes(text):
    strokes = []
    for part in text.split("|"):
        pts = [tuple(float(v) for v in p.split(",")) for p in part.split()]
        if pts:
            strokes.append(pts)
    return strokes


def microtech_design(ch):
    """(width, strokes) of a character, following shared drawings and added marks."""
    if ch in mt.WITH_MARKS:
        base, marks = mt.WITH_MARKS[ch]
        width, strokes = microtech_design(base)
        return width, strokes + _parse_strokes(marks)
    if ch in mt.SAME_AS:
        return microtech_design(mt.SAME_AS[ch])
    width, text = mt.GLYPHS[ch]
    return width, _parse_strokes(text)


def microtech_glyph(ch):
    width, strokes = microtech_design(ch)
    # Half-step widths are stretched to the next whole step (see microtech_design).
    stretch = 4.0 / 3.5 if width == 3.5 else 1.0
    cells = math.ceil(width * stretch - 1e-9)
    half = MT_PEN / 2.0
    contours = []
    for s in strokes:
        pts = [(MT_SIDE + half + x * stretch * MT_UNIT, half + y * MT_UNIT) for x, y in s]
        contours += outline.stroke_polyline(pts, MT_PEN)
    advance = cells * MT_UNIT + MT_PEN + 2 * MT_SIDE
    # Rounded up: a whole number of pixels at 11 px must not come out a hair short.
    return int(math.ceil(advance)), contours


def microtech_notdef():
    x0, x1, y1 = MT_SIDE, MT_SIDE + 4 * MT_UNIT + MT_PEN, 7 * MT_UNIT + MT_PEN
    x0, x1, y1 = round(x0), round(x1), round(y1)
    outer = outline.clockwise([(x0, 0), (x0, y1), (x1, y1), (x1, 0)])
    inner = outline.counter_clockwise([(x0 + MT_PEN, MT_PEN), (x0 + MT_PEN, y1 - MT_PEN),
                                       (x1 - MT_PEN, y1 - MT_PEN), (x1 - MT_PEN, MT_PEN)])
    return x1 + MT_SIDE, [outer, inner]


def build(chars, glyph_of, notdef):
    glyphs = {".notdef": notdef}
    cmap = {}
    for ch in chars:
        name = glyph_name(ch)
        if name not in glyphs:
            glyphs[name] = glyph_of(ch)
        cmap[ord(ch)] = name
    return glyphs, cmap


def make_microtech(path):
    chars = printable_ascii() + printable_cp1251() + list(mt.EXTRA_CHARS)
    glyphs, cmap = build(chars, microtech_glyph, microtech_notdef())
    write_font(path, "MicroTech", glyphs, cmap, MT_ASCENT, MT_DESCENT,
               x_height=round(5 * MT_UNIT + MT_PEN), cap_height=round(7 * MT_UNIT + MT_PEN),
               code_pages=(1 << 0) | (1 << 2))
    return len(glyphs), len(cmap)


def make_digital7(path):
    chars = printable_ascii() + sorted(set(d7.CHARS) - set(printable_ascii()))
    glyphs, cmap = build(chars, lambda ch: (d7.advance(ch), d7.glyph_contours(ch)),
                         (d7.ADVANCE, d7.notdef()))
    write_font(path, "Digital-7", glyphs, cmap, d7.ASCENT, d7.DESCENT,
               x_height=d7.CAP, cap_height=d7.CAP, code_pages=1 << 0)
    return len(glyphs), len(cmap)


def main():
    os.makedirs(DATA_DIR, exist_ok=True)
    for family, make in (("MicroTech", make_microtech), ("Digital-7", make_digital7)):
        n_glyphs, n_codes = make(font_path(family))
        print("%s: %d glyphs, %d code points, %d bytes" %
              (family, n_glyphs, n_codes, os.path.getsize(font_path(family))))


if __name__ == "__main__":
    main()
