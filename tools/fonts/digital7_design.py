"""Digital-7: a seven-segment LCD face.

Every character is a set of lit segments in one cell, like a real display:

      aaa
     f   b
     f   b
      ggg
     e   c
     e   c
      ddd

plus a few extras for punctuation (the colon's dots, the decimal point, a centre bar).
Digits, letters and most signs share one advance, so the clock's digits never shift.
"""

import outline

ADVANCE = 390  # digits, letters, space
NARROW = 190  # colon and the other dot-like signs
ASCENT, DESCENT = 720, 80
CAP = 700
SLANT = 0.07  # a slight forward lean, like a real LCD

# Cell geometry (font units, before the slant).
L, R = 28, 318
B, T = 0, CAP
M = CAP / 2.0
TH = 64  # segment thickness
GAP = 9  # gap between neighbouring segments


def _horizontal(c, x0, x1):
    h, g = TH / 2.0, GAP
    return [(x0 + g, c), (x0 + g + h, c + h), (x1 - g - h, c + h), (x1 - g, c),
            (x1 - g - h, c - h), (x0 + g + h, c - h)]


def _vertical(c, y0, y1):
    h, g = TH / 2.0, GAP
    return [(c, y0 + g), (c - h, y0 + g + h), (c - h, y1 - g - h), (c, y1 - g),
            (c + h, y1 - g - h), (c + h, y0 + g + h)]


XL, XR = L + TH / 2.0, R - TH / 2.0
YB, YT = B + TH / 2.0, T - TH / 2.0


def _box(x0, y0, x1, y1):
    return [(x0, y0), (x0, y1), (x1, y1), (x1, y0)]


def _dot(cx, cy, s=TH):
    return _box(cx - s / 2.0, cy - s / 2.0, cx + s / 2.0, cy + s / 2.0)


SEGMENTS = {
    "a": _horizontal(YT, XL, XR),
    "b": _vertical(XR, M, YT),
    "c": _vertical(XR, YB, M),
    "d": _horizontal(YB, XL, XR),
    "e": _vertical(XL, YB, M),
    "f": _vertical(XL, M, YT),
    "g": _horizontal(M, XL, XR),
    # Centre verticals for letters a seven-segment cell cannot otherwise show (T, I, +).
    "h": _vertical((XL + XR) / 2.0, M, YT),
    "i": _vertical((XL + XR) / 2.0, YB, M),
    # Half-width middle bars for the arrows and the plus sign.
    "j": _horizontal(M, XL, (XL + XR) / 2.0),
    "k": _horizontal(M, (XL + XR) / 2.0, XR),
}

# Dots are placed in the narrow cell, centred on its advance.
_NC = NARROW / 2.0 - SLANT * M
EXTRA = {
    "colon_top": _dot(_NC, M + 150),
    "colon_bottom": _dot(_NC, M - 150),
    "point": _dot(_NC, YB),
    "comma_tail": [(_NC - TH / 2.0, YB - TH / 2.0), (_NC - TH / 2.0 - 30, -80),
                   (_NC + 10, -80), (_NC + TH / 2.0, YB - TH / 2.0)],
    "tick": _vertical(_NC, M + 90, YT + 20),
    "bang_bar": _vertical(_NC, M - 40, YT + 20),
    "bar_top": _vertical(_NC, M, YT + 20),
    "bar_bottom": _vertical(_NC, YB - 20, M),
    "wide_point": _dot((XL + XR) / 2.0, YB),
    "degree": [(XL + 60, YT - TH / 2.0 + 10), (XL + 60, YT - 170), (XR - 80, YT - 170),
               (XR - 80, YT - TH / 2.0 + 10)],
}

# Character -> lit parts. Wide characters use ADVANCE, those listed in NARROW_CHARS use NARROW.
CHARS = {
    "0": "abcdef", "1": "bc", "2": "abged", "3": "abgcd", "4": "fgbc", "5": "afgcd",
    "6": "afgedc", "7": "abc", "8": "abcdefg", "9": "abcdfg",
    "A": "abcefg", "B": "cdefg", "C": "adef", "D": "bcdeg", "E": "adefg", "F": "aefg",
    "G": "acdef", "H": "bcefg", "I": "ahid", "J": "bcde", "K": "efgbc", "L": "def",
    "M": "abcefh", "N": "abcef", "O": "abcdef", "P": "abefg", "Q": "abcdfgi", "R": "efga",
    "S": "afgcd", "T": "ahi", "U": "bcdef", "V": "bcdef", "W": "bcdefi", "X": "bcefg",
    "Y": "bcdfg", "Z": "abged",
    "a": "abcdeg", "b": "cdefg", "c": "deg", "d": "bcdeg", "e": "abdefg", "f": "aefg",
    "g": "abcdfg", "h": "cefg", "i": "c", "j": "cd", "k": "cefg", "l": "ef", "m": "ceg",
    "n": "ceg", "o": "cdeg", "p": "abefg", "q": "abcfg", "r": "eg", "s": "afgcd",
    "t": "defg", "u": "cde", "v": "cde", "w": "cdei", "x": "bcefg", "y": "bcdfg", "z": "abged",
    " ": "", "-": "g", "_": "d", "=": "gd", "+": "ghi", "\"": "fb", "#": "bcefgh",
    "$": "afgcdhi", "%": "fbeci", "&": "abcdeg", "(": "adef", ")": "abcd", "*": "fbgec",
    "/": "bge", "\\": "fgc", "<": "dek", ">": "dcj", "?": "abgi", "@": "abdefgi",
    "[": "adef", "]": "abcd", "^": "fab", "`": "f", "{": "adefj", "}": "abcdk", "~": "fag",
    "\u00b0": "", "\u2013": "g", "\u2014": "g", "\u00b7": "",
}

EXTRA_OF = {
    ":": ["colon_top", "colon_bottom"], ";": ["colon_top", "point", "comma_tail"],
    ".": ["point"], ",": ["point", "comma_tail"], "'": ["tick"], "!": ["bang_bar", "point"],
    "|": ["bar_top", "bar_bottom"], "\u00b0": ["degree"], "\u00b7": ["colon_bottom"],
    "\u2018": ["tick"], "\u2019": ["tick"], "\u201c": ["tick"], "\u201d": ["tick"],
}
# Accented Latin letters show as their base letter, as on a real seven-segment display.
ACCENTED = {"À": "A", "Ç": "C", "È": "E", "É": "E", "Ê": "E", "Ë": "E", "Ï": "I", "Ñ": "N",
            "Ô": "O", "Ö": "O", "à": "a", "ç": "c", "è": "e", "é": "e", "ê": "e", "ë": "e",
            "ï": "i", "ñ": "n", "ô": "o", "ö": "o"}
CHARS.update({k: CHARS[v] for k, v in ACCENTED.items()})
NARROW_CHARS = set(":;.,'!|\u00b7\u2018\u2019\u201c\u201d")
for _c in NARROW_CHARS:
    CHARS.setdefault(_c, "")
# The degree sign is a hollow ring: outer box and a counter-clockwise counter.
_DEG_HOLE = [(XL + 60 + TH * 0.8, YT - TH / 2.0 + 10 - TH * 0.8),
             (XR - 80 - TH * 0.8, YT - TH / 2.0 + 10 - TH * 0.8),
             (XR - 80 - TH * 0.8, YT - 170 + TH * 0.8), (XL + 60 + TH * 0.8, YT - 170 + TH * 0.8)]


def glyph_contours(ch):
    polys = [outline.clockwise(SEGMENTS[s]) for s in CHARS[ch]]
    polys += [outline.clockwise(EXTRA[e]) for e in EXTRA_OF.get(ch, [])]
    if ch == "\u00b0":
        polys.append(outline.counter_clockwise(_DEG_HOLE))
    return [outline.skew(p, SLANT) for p in polys]


def advance(ch):
    return NARROW if ch in NARROW_CHARS else ADVANCE


def notdef():
    outer = outline.clockwise(_box(L, B, R, T))
    inner = outline.counter_clockwise(_box(L + TH, B + TH, R - TH, T - TH))
    return [outer, inner]
