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
    m = np.zeros((H, W))
    m[y0:y1, x0:x1] = 1.0
    return m


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
    c[y1, x0:x1] = c[y1, x0:x1] * 0.5 + np.array(P.PANEL_HIGHLIGHT, float) * 0.5
    raster.paint(c, _box(x0, y0, x1, y1), (10, 10, 11))
    raster.paint(c, _box(x0 + 1, y0 + 1, x1 - 1, y1 - 1), fill)


def paint_mini_skin():
    c = np.zeros((H, W, 3))
    c[:] = (4, 4, 5)
    body = _mask([raster.rounded_rect(0, 0, W, H, 4)])
    raster.paint(c, body, P.PANEL_EDGE)
    inner = _mask([raster.rounded_rect(1, 1, W - 1, H - 1, 3)])
    raster.paint(c, inner, raster.vgradient(W, H, 0, H, P.MINI_TOP, P.MINI_BOTTOM))
    top = np.zeros((H, W))
    top[1, 4:W - 4] = 1.0
    raster.paint(c, top, P.PANEL_HIGHLIGHT, 0.8)

    # Program name, top left.
    m = text_mask(W, H, "VOLNAR", 6, 3, LARGE, 1)
    raster.paint(c, np.roll(m, 1, axis=0), P.ENGRAVED_SHADOW, 0.9)
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
    raster.paint(c, np.roll(sym, 1, axis=0), P.ENGRAVED_SHADOW, 0.7)
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


def paint_seek_knob():
    c = np.zeros((12, 5, 3))
    c[:] = P.KNOB_FRAME
    c[1:11, 1:4] = raster.vgradient(3, 10, 0, 10, P.KNOB_TOP, P.KNOB_BOTTOM)
    c[1, 1:4] = (236, 237, 240)  # catch light on the top edge
    return c
