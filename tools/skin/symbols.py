"""The button symbols, described once in main-window coordinates.

`symbol_mask(name, frame)` renders a symbol's coverage inside any rectangle of the window:
the background painter asks for it over the whole window, a lit image over its control's
rectangle. Both come from the same description at the same grid offset, so a lit symbol
covers its unlit twin exactly.
"""

import layout
import raster
from pixel_letters import LARGE, text_mask, text_width


def _key_centre(control):
    x, y, w, h = control
    return x + w // 2, layout.KEY_CENTRE_Y


def _previous():
    cx, cy = _key_centre(layout.PREVIOUS)
    top, bottom = cy - 5, cy + 5
    return [[(cx - 7, cy), (cx, top), (cx, bottom)],
            [(cx, cy), (cx + 7, top), (cx + 7, bottom)]]


def _next():
    cx, cy = _key_centre(layout.NEXT)
    top, bottom = cy - 5, cy + 5
    return [[(cx - 7, top), (cx, cy), (cx - 7, bottom)],
            [(cx, top), (cx + 7, cy), (cx, bottom)]]


def _play():
    cx, cy = _key_centre(layout.PLAY)
    return [[(cx - 4, cy - 6), (cx + 7, cy), (cx - 4, cy + 6)]]


def _pause():
    cx, cy = _key_centre(layout.PAUSE)
    return [raster.rect(cx - 5, cy - 5.5, cx - 2, cy + 5.5),
            raster.rect(cx + 2, cy - 5.5, cx + 5, cy + 5.5)]


def _open_list():
    cx, cy = _key_centre(layout.OPEN)
    polys = []
    for row in (-1, 0, 1):
        top = cy - 1 + 4 * row - 0.5  # 2 px lines on whole rows, 4 px apart
        polys.append(raster.rect(cx - 7, top, cx - 5, top + 2))
        polys.append(raster.rect(cx - 3, top, cx + 7, top + 2))
    return polys


def _caption_centre(name):
    x0, y0, x1, y1 = layout.CAPTION_KEYS[name]
    return (x0 + x1) / 2.0, (y0 + y1) / 2.0


def _close():
    cx, cy = _caption_centre("close")
    r = 3.2
    return [raster.segment(cx - r, cy - r, cx + r, cy + r, 1.5),
            raster.segment(cx - r, cy + r, cx + r, cy - r, 1.5)]


def _minimise():
    cx, cy = _caption_centre("minimise")
    return [raster.rect(cx - 4, cy + 2, cx + 4, cy + 3.5)]


def _restore():
    cx, cy = _caption_centre("restore")
    x0, y0 = int(cx) - 4, int(cy) - 3

    def frame(x, y, w, h):
        return [raster.rect(x, y, x + w, y + 1.5), raster.rect(x, y + h - 1, x + w, y + h),
                raster.rect(x, y, x + 1, y + h), raster.rect(x + w - 1, y, x + w, y + h)]

    return frame(x0 + 2, y0, 6, 5) + frame(x0, y0 + 2, 6, 5)


def _speaker(with_waves):
    x, y = layout.SPEAKER[:2]
    polys = [raster.rect(x + 1.5, y + 6, x + 4, y + 10),
             [(x + 4, y + 6), (x + 7, y + 3), (x + 7, y + 13), (x + 4, y + 10)]]
    if with_waves:
        polys.append(raster.arc_band(x + 7, y + 8, 2.1, 3.3, -55, 55))
        polys.append(raster.arc_band(x + 7, y + 8, 4.5, 5.7, -55, 55))
    return polys


def _dot_polys(n):
    x, y, w, h = layout.dot(n)
    return [raster.rounded_rect(x, y, x + w, y + h, 2.2)]


POLYGON_SYMBOLS = {
    "previous": _previous,
    "next": _next,
    "play": _play,
    "pause": _pause,
    "open": _open_list,
    "close": _close,
    "minimise": _minimise,
    "restore": _restore,
    "speaker": lambda: _speaker(False),
    "speaker_waves": lambda: _speaker(True),
}


def _letters_mask(label, frame):
    x0, y0, x1, y1 = layout.SIDE_KEYS[label]
    w = text_width(label, LARGE, 1)
    tx = x0 + (x1 - x0 - w + 1) // 2
    ty = y0 + (y1 - y0 - 7 + 1) // 2
    fx, fy, fw, fh = frame
    return text_mask(fw, fh, label, tx - fx, ty - fy, LARGE, 1)


def dot_mask(n, frame):
    fx, fy, fw, fh = frame
    m = raster.coverage(fw, fh, _dot_polys(n), dx=-fx, dy=-fy)
    # Square corners read as a blob at this size: clear them outright.
    x, y, w, h = layout.dot(n)
    for cx, cy in ((x, y), (x + w - 1, y), (x, y + h - 1), (x + w - 1, y + h - 1)):
        if 0 <= cx - fx < fw and 0 <= cy - fy < fh:
            m[raster.one(cy - fy), raster.one(cx - fx)] = 0.0
    return m


def symbol_mask(name, frame):
    """Coverage of symbol `name` inside frame (x, y, w, h) of the main window."""
    if name in layout.SIDE_KEYS:
        return _letters_mask(name, frame)
    fx, fy, fw, fh = frame
    return raster.coverage(fw, fh, POLYGON_SYMBOLS[name](), dx=-fx, dy=-fy)
