"""The mini window's background (225 x 52) and the seek knob (5 x 12)."""

import numpy as np

import layout
import palette as P
import raster
from pixel_letters import LARGE, text_mask

W, H = layout.MINI_SIZE


def _mask(polys):
    return raster.coverage(W, H, polys)


def _box(x0, y0, x1, y1):
    return raster.box(W, H, x0, y0, x1, y1)


def _transport_symbols():
    cy = 40.5
    polys = []
    x = 10  # previous
    polys += [[(x, cy), (x + 4, cy - 3.5), (x + 4, cy + 3.5)],
              [(x + 4, cy), (x + 8, cy - 3.5), (x + 8, cy + 3.5)]]
    x = 26  # pause
    polys += [raster.rect(x, cy - 3.5, x + 2, cy + 3.5),
              raster.rect(x + 4, cy - 3.5, x + 6, cy + 3.5)]
    x = 40  # next
    polys += [[(x, cy - 3.5), (x + 4, cy), (x, cy + 3.5)],
              [(x + 4, cy - 3.5), (x + 8, cy), (x + 4, cy + 3.5)]]
    x = 56  # eject
    polys += [[(x, cy + 1), (x + 4, cy - 3.5), (x + 8, cy + 1)],
              raster.rect(x, cy + 2, x + 8, cy + 3.5)]
    return polys


def _well(c, x0, y0, x1, y1, fill):
    """A recessed field: dark lip, the fill, and a light lower rim outside it."""
    row, cols = raster.one(y1), raster.span(x0, x1)
    c[row, cols] = c[row, cols] * 0.5 + np.array(P.PANEL_HIGHLIGHT, float) * 0.5
    raster.paint(c, _box(x0, y0, x1, y1), (10, 10, 11))
    raster.paint(c, _box(x0 + 1, y0 + 1, x1 - 1, y1 - 1), fill)


def _paint_backdrop(c):
    c[:] = (4, 4, 5)


def paint_mini_skin(backdrop=_paint_backdrop):
    c = np.zeros((H * raster.SCALE, W * raster.SCALE, 3))
    backdrop(c)
    body = _mask([raster.rounded_rect(0, 0, W, H, 4)])
    raster.paint(c, body, P.PANEL_EDGE)
    inner = _mask([raster.rounded_rect(1, 1, W - 1, H - 1, 3)])
    raster.paint(c, inner, raster.vgradient(W, H, 0, H, P.MINI_TOP, P.MINI_BOTTOM))
    top = _box(4, 1, W - 4, 2)
    raster.paint(c, top, P.PANEL_HIGHLIGHT, 0.8)

    # Program name, top left.
    m = text_mask(W, H, "VOLNAR", 6, 3, LARGE, 1)
    raster.paint(c, np.roll(m, raster.SCALE, axis=0), P.ENGRAVED_SHADOW, 0.9)
    raster.paint(c, m, P.MINI_CAPTION)

    # Display strip behind control 28.
    sx, sy, sw, sh = layout.MINI_STRIP
    _well(c, sx - 2, sy - 2, sx + sw + 2, sy + sh + 2, P.DISPLAY)
    raster.paint(c, _box(sx - 1, sy - 1, sx + sw + 1, sy), (50, 60, 71))

    # Light patch under the "*" link so both its dark and its red colour read.
    lx, ly, lw, lh = layout.MINI_LINK
    raster.paint(c, _mask([raster.rounded_rect(lx - 3, ly, lx + lw, ly + lh + 3, 2)]),
                 P.MINI_LINK_RIM)
    raster.paint(c, _mask([raster.rounded_rect(lx - 2, ly + 1, lx + lw - 1, ly + lh + 2, 1.5)]),
                 P.MINI_LINK_PATCH)

    # Transport pictures.
    sym = _mask(_transport_symbols())
    raster.paint(c, np.roll(sym, raster.SCALE, axis=0), P.ENGRAVED_SHADOW, 0.7)
    raster.paint(c, sym, P.MINI_SYMBOL)

    # Volume groove under control 29 and the number field under label 250.
    vx, vy, vw, vh = layout.MINI_VOLUME
    _well(c, vx - 1, vy - 1, vx + vw + 1, vy + vh + 1, P.MINI_WELL)
    nx, ny, nw, nh = layout.MINI_NUMBER
    _well(c, nx - 1, ny - 1, nx + nw + 1, ny + nh + 1, P.MINI_WELL)
    # A small speaker left of the volume groove.
    spk = _mask([raster.rect(86, 39, 88, 43), [(88, 39), (91, 36.5), (91, 45.5), (88, 43)]])
    raster.paint(c, spk, P.MINI_SYMBOL)
    return c


def paint_mini_skin_see_through():
    """The body alone, its rounded corners showing the desktop."""
    return raster.without_backdrop(paint_mini_skin)


def paint_seek_knob():
    c = np.zeros((12 * raster.SCALE, 5 * raster.SCALE, 3))
    c[:] = P.KNOB_FRAME
    c[raster.span(1, 11), raster.span(1, 4)] = raster.vgradient(3, 10, 0, 10, P.KNOB_TOP,
                                                                P.KNOB_BOTTOM)
    c[raster.one(1), raster.span(1, 4)] = (236, 237, 240)  # catch light on the top edge
    return c
