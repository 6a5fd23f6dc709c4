"""The main window's background (600 x 400): backdrop, player panel, display, keys and the
panel's reflection. Every button is painted unlit; the lit images go on top at run time."""

import numpy as np

import layout
import palette as P
import raster
from pixel_letters import LARGE, SMALL, text_mask, text_width
from symbols import dot_mask, symbol_mask

W, H = 600, 400
WINDOW = (0, 0, W, H)


def _mask(polys):
    return raster.coverage(W, H, polys)


def _rr(box, r):
    x0, y0, x1, y1 = box
    return raster.rounded_rect(x0, y0, x1, y1, r)


def _shift_down(mask, n=1):
    return raster.shift_rows(mask, n)


def _shift_up(mask, n=1):
    return raster.shift_rows(mask, -n)


def paint_backdrop(c):
    c[:] = raster.vgradient(W, H, 0, H, P.BACKDROP_TOP, P.BACKDROP_BOTTOM)
    # A faint pool of light behind the panel keeps the black from looking flat.
    ys, xs = np.meshgrid(raster.centres(H), raster.centres(W), indexing="ij")
    d = ((xs - 300) / 330.0) ** 2 + ((ys - 165) / 190.0) ** 2
    raster.paint(c, np.clip(1.0 - d, 0, 1) ** 2, (34, 37, 44), 0.55)


def paint_bevelled_body(c, box, r, top, bottom, edge, highlight, highlight_opacity=0.85,
                        shade=None):
    """A rounded body: dark 1 px edge, vertical gradient, 1 px highlight along the top."""
    x0, y0, x1, y1 = box
    outer = _mask([_rr(box, r)])
    inner = _mask([_rr((x0 + 1, y0 + 1, x1 - 1, y1 - 1), max(0, r - 1))])
    raster.paint(c, outer, edge)
    raster.paint(c, inner, raster.vgradient(W, H, y0, y1, top, bottom))
    rim = np.clip(inner - _shift_down(inner), 0, 1)
    # The highlight fades out towards the rounded ends.
    xs = raster.centres(W)
    span = np.clip(np.minimum(xs - x0, x1 - xs) / max(1.0, r * 2.0), 0, 1)
    raster.paint(c, rim * span[None, :], highlight, highlight_opacity)
    if shade is not None:
        low = np.clip(inner - _shift_up(inner), 0, 1)
        raster.paint(c, low, shade, 0.8)
    return inner


def paint_panel(c):
    x0, y0, x1, y1 = layout.PANEL
    shadow = raster.gaussian_blur(_mask([_rr((x0, y0 + 4, x1, y1 + 4), layout.PANEL_RADIUS)]), 4.0)
    raster.paint(c, shadow, (0, 0, 0), 0.75)
    paint_bevelled_body(c, layout.PANEL, layout.PANEL_RADIUS, P.PANEL_TOP, P.PANEL_BOTTOM,
                        P.PANEL_EDGE, P.PANEL_HIGHLIGHT, shade=P.PANEL_SHADE)


def paint_engraved_text(c, text, x, y, font, spacing, colour=P.ENGRAVED):
    m = text_mask(W, H, text, x, y, font, spacing)
    raster.paint(c, _shift_down(m), P.ENGRAVED_SHADOW, 0.9)
    raster.paint(c, m, colour)


def paint_symbol(c, name):
    """An unlit symbol: muted grey, with a dark 1 px shadow below as if pressed in."""
    m = symbol_mask(name, WINDOW)
    raster.paint(c, _shift_down(m), P.KEY_EDGE, 0.55)
    raster.paint(c, m, P.SYMBOL_UNLIT)


def paint_top_strip(c):
    paint_symbol(c, "speaker")
    # The volume rail: a recessed groove holding the ten dots.
    x0, y0, x1, y1 = layout.VOLUME_RAIL
    rail = _mask([_rr(layout.VOLUME_RAIL, 3)])
    raster.paint(c, _shift_down(rail), P.PANEL_HIGHLIGHT, 0.35)
    raster.paint(c, rail, (20, 22, 26))
    inner = _mask([_rr((x0 + 1, y0 + 1, x1 - 1, y1 - 1), 2)])
    raster.paint(c, inner, raster.vgradient(W, H, y0, y1, (24, 26, 31), (36, 39, 45)))
    for n in range(401, 411):
        d = dot_mask(n, WINDOW)
        raster.paint(c, _shift_down(d), P.DOT_DARK_RIM, 0.45)
        raster.paint(c, d, P.DOT_DARK)
        raster.paint(c, np.clip(d - _shift_down(d), 0, 1), (18, 20, 24), 0.6)
    # Model name in the middle of the strip.
    label = "VOLNAR"
    w = text_width(label, LARGE, 2)
    paint_engraved_text(c, label, layout.TOP_LOGO_CENTRE[0] - w // 2, 94, LARGE, 2)
    for name, box in layout.CAPTION_KEYS.items():
        paint_bevelled_body(c, box, 3, P.KEY_TOP, P.KEY_BOTTOM, P.KEY_EDGE, P.KEY_HIGHLIGHT)
        paint_symbol(c, name)


def paint_display(c):
    x0, y0, x1, y1 = layout.DISPLAY
    # Bezel: dark lip with a light lower rim, so the field reads as set into the panel.
    raster.paint(c, _mask([_rr((x0, y0, x1, y1 + 1), 4)]), P.DISPLAY_BEZEL_LIGHT, 0.6)
    raster.paint(c, _mask([_rr(layout.DISPLAY, 4)]), P.DISPLAY_BEZEL_DARK)
    fx0, fy0, fx1, fy1 = x0 + 2, y0 + 2, x1 - 2, y1 - 2
    field = _mask([_rr((fx0, fy0, fx1, fy1), 2)])
    raster.paint(c, field, P.DISPLAY)
    # Faint inner shadow along the top and left edges, clear of the run-time strips.
    for i, a in enumerate((0.55, 0.25)):
        band = raster.zeros(W, H)
        band[raster.one(fy0 + i), raster.span(fx0, fx1)] = 1.0
        band[raster.span(fy0, fy1), raster.one(fx0 + i)] = 1.0
        raster.paint(c, band * field, P.DISPLAY_SHADOW, a)
    paint_clock_box(c)
    # Divider between the clock and the text area.
    dy0, dy1 = 118, 186
    dark, light = layout.DIVIDER_X, layout.DIVIDER_X + 1
    rows, dark, light = raster.span(dy0, dy1), raster.one(dark), raster.one(light)
    c[rows, dark] = c[rows, dark] * 0.35 + np.array(P.DIVIDER_DARK) * 0.65
    c[rows, light] = c[rows, light] * 0.5 + np.array(P.DIVIDER_LIGHT) * 0.5
    paint_indicators(c)
    paint_seek_groove(c)
    # A hairline base under the spectrum bars.
    sx, sy, sw, sh = layout.SPECTRUM
    c[raster.one(sy + sh + 1), raster.span(sx, sx + sw)] = np.array(P.DIVIDER_DARK, dtype=np.float64)


def paint_clock_box(c):
    x, y, w, h = layout.CLOCK_BOX
    box = raster.box(W, H, x, y, x + w, y + h)
    raster.paint(c, box, raster.vgradient(W, H, y, y + h, P.CLOCK_TOP, P.CLOCK_BOTTOM))
    edge = raster.box(W, H, x, y, x + w, y + 1) + raster.box(W, H, x, y + 1, x + 1, y + h)
    raster.paint(c, edge, P.CLOCK_EDGE, 0.8)
    rim = raster.box(W, H, x + 1, y + h - 1, x + w, y + h)
    rim += raster.box(W, H, x + w - 1, y + 1, x + w, y + h - 1)
    raster.paint(c, rim, P.CLOCK_RIM, 0.7)


def paint_indicators(c):
    """Repeat and shuffle captions under the clock: decoration, shown unlit."""
    for label, (x, y) in layout.INDICATORS.items():
        led = raster.box(W, H, x, y + 1, x + 3, y + 4)
        raster.paint(c, led, P.DIVIDER_DARK)
        m = text_mask(W, H, label, x + 6, y, SMALL, 1)
        raster.paint(c, m, P.DISPLAY_CAPTION)


def paint_seek_groove(c):
    x, y, w, h = layout.SEEK
    for i, col in enumerate(P.SEEK_ROWS):
        c[raster.one(y + i), raster.span(x, x + w)] = np.array(col, dtype=np.float64)
    # Darker end caps frame the groove without touching it.
    rows = raster.span(y + 2, y + h - 1)
    c[rows, raster.one(x - 1)] = np.array(P.SEEK_ROWS[3], dtype=np.float64)
    c[rows, raster.one(x + w)] = np.array(P.SEEK_ROWS[3], dtype=np.float64)


def paint_seam(c):
    """A fine seam across the panel between the display section and the keys."""
    x0, _, x1, _ = layout.PANEL
    y = layout.SEAM_Y
    xs = raster.centres(W)
    fade = np.clip(np.minimum(xs - (x0 + 3), (x1 - 3) - xs) / 24.0, 0, 1)
    dark = raster.zeros(W, H)
    dark[raster.one(y)] = fade
    light = raster.zeros(W, H)
    light[raster.one(y + 1)] = fade
    raster.paint(c, dark, P.PANEL_SHADE, 0.9)
    raster.paint(c, light, P.PANEL_HIGHLIGHT, 0.35)


def paint_keys(c):
    y0, y1 = layout.KEY_ROW
    # The transport keys sit in one shallow well.
    well_box = (150, y0 - 3, 456, y1 + 3)
    well = _mask([_rr(well_box, 6)])
    raster.paint(c, _shift_down(well), P.PANEL_HIGHLIGHT, 0.25)
    raster.paint(c, well, (22, 23, 27))
    for name, control in layout.TRANSPORT.items():
        cx = control[0] + control[2] // 2
        box = (cx - layout.KEY_HALF_WIDTH, y0, cx + layout.KEY_HALF_WIDTH, y1)
        paint_bevelled_body(c, box, 4, P.KEY_TOP, P.KEY_BOTTOM, P.KEY_EDGE, P.KEY_HIGHLIGHT,
                            shade=P.PANEL_SHADE)
        paint_symbol(c, name)
    for label, box in layout.SIDE_KEYS.items():
        paint_bevelled_body(c, box, 3, P.KEY_TOP, P.KEY_BOTTOM, P.KEY_EDGE, P.KEY_HIGHLIGHT,
                            shade=P.PANEL_SHADE)
        paint_symbol(c, label)


def paint_reflection(c):
    """A few faded, flipped rows of the panel on the floor below it."""
    x0, y0, x1, y1 = layout.PANEL
    rows = 44
    panel = _mask([_rr(layout.PANEL, layout.PANEL_RADIUS)])
    src = c[raster.span(y1 - rows, y1)].copy()[::-1]
    src_mask = panel[raster.span(y1 - rows, y1)][::-1]
    top = y1 + 2
    fade = (0.30 * (1.0 - np.maximum(raster.centres(rows), 0.0) / rows) ** 2)[:, None]
    region = c[raster.span(top, top + rows)]
    a = (src_mask * fade)[:, :, None]
    region[:] = region * (1 - a) + src * a


def paint_main_skin(backdrop=paint_backdrop):
    c = np.zeros((H * raster.SCALE, W * raster.SCALE, 3))
    backdrop(c)
    paint_panel(c)
    paint_top_strip(c)
    paint_display(c)
    paint_seam(c)
    paint_keys(c)
    paint_reflection(c)
    return c


def paint_main_skin_see_through():
    """The art without its backdrop, for a desktop that composites: the panel opaque, its
    shadow and reflection fading into the desktop, straight colour and alpha."""
    return raster.without_backdrop(paint_main_skin)


def clock_box_from(skin_canvas):
    x, y, w, h = layout.CLOCK_BOX
    return skin_canvas[raster.span(y, y + h), raster.span(x, x + w)].copy()
