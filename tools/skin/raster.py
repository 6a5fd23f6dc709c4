"""Small deterministic rasteriser for the skin: coverage masks, gradients, glow.

Shapes are given in continuous pixel coordinates (pixel (x, y) spans x..x+1, y..y+1) and
rendered 8 x 8 supersampled, so a shape placed at the same spot relative to the pixel grid
always yields the same coverage. That is what lets a lit image line up exactly with the
unlit symbol painted into a background: both are rendered from one shape description at
the same offset.

Every coordinate and size is in pixels of the art at 1x. The art is rendered for one scale at a
time (set_scale): an array then has SCALE device pixels per pixel each way, so the same
description gives the 2x and 3x images, drawn at their own resolution rather than enlarged.
At scale 1 every helper computes exactly what it always has.
"""

import math

import numpy as np
from PIL import Image, ImageDraw

SS = 8  # supersampling factor per axis
SCALE = 1  # device pixels per art pixel, each way


def set_scale(scale):
    global SCALE
    SCALE = scale


def span(a, b):
    """The device rows or columns of art pixels a..b (b exclusive)."""
    return slice(a * SCALE, b * SCALE)


def one(a):
    """The device rows or columns of art pixel a."""
    return slice(a * SCALE, (a + 1) * SCALE)


def centres(n):
    """The art coordinate of each device pixel of an n-pixel side, where art pixel i is i."""
    return (np.arange(n * SCALE, dtype=np.float64) + 0.5) / SCALE - 0.5


def zeros(width, height):
    return np.zeros((height * SCALE, width * SCALE))


def box(width, height, x0, y0, x1, y1):
    """A mask of the given size that is 1 on the art pixels x0..x1, y0..y1 (exclusive)."""
    m = zeros(width, height)
    m[span(y0, y1), span(x0, x1)] = 1.0
    return m


def shift_rows(mask, n):
    """The mask moved n art pixels down (up for negative n), zeros coming in."""
    k = n * SCALE
    out = np.zeros_like(mask)
    if k > 0:
        out[k:] = mask[:-k]
    elif k < 0:
        out[:k] = mask[-k:]
    else:
        out[:] = mask
    return out


def _to_hi(points, dx=0.0, dy=0.0):
    # PIL treats integer coordinates as pixel centres; shift by half a sub-pixel.
    k = SS * SCALE
    return [((x + dx) * k - 0.5, (y + dy) * k - 0.5) for x, y in points]


def coverage(width, height, polygons, dx=0.0, dy=0.0):
    """Coverage (0..1, shape height x width device pixels) of the union of the polygons."""
    w, h = width * SCALE, height * SCALE
    polygons = [p for p in polygons if len(p) >= 3]
    if SCALE == 1:
        x0, y0, x1, y1 = 0, 0, w, h
    else:
        # Only the device pixels the shapes can touch are supersampled: a whole 3x window
        # supersampled would take gigabytes.
        out = np.zeros((h, w))
        pts = [((x + dx) * SCALE, (y + dy) * SCALE) for p in polygons for x, y in p]
        if not pts:
            return out
        x0 = max(0, int(np.floor(min(p[0] for p in pts))) - 1)
        y0 = max(0, int(np.floor(min(p[1] for p in pts))) - 1)
        x1 = min(w, int(np.ceil(max(p[0] for p in pts))) + 1)
        y1 = min(h, int(np.ceil(max(p[1] for p in pts))) + 1)
        if x0 >= x1 or y0 >= y1:
            return out
    hi = Image.new("L", ((x1 - x0) * SS, (y1 - y0) * SS), 0)
    draw = ImageDraw.Draw(hi)
    for poly in polygons:
        draw.polygon(_to_hi(poly, dx - x0 / SCALE, dy - y0 / SCALE), fill=255)
    arr = np.asarray(hi, dtype=np.float64) / 255.0
    part = arr.reshape(y1 - y0, SS, x1 - x0, SS).mean(axis=(1, 3))
    if SCALE == 1:
        return part
    out[y0:y1, x0:x1] = part
    return out


def rect(x0, y0, x1, y1):
    return [(x0, y0), (x1, y0), (x1, y1), (x0, y1)]


def rounded_rect(x0, y0, x1, y1, r, steps=6):
    """Polygon of a rectangle with quarter-circle corners of radius r."""
    r = max(0.0, min(r, (x1 - x0) / 2.0, (y1 - y0) / 2.0))
    if r == 0:
        return rect(x0, y0, x1, y1)
    pts = []
    corners = [(x1 - r, y0 + r, -90), (x1 - r, y1 - r, 0), (x0 + r, y1 - r, 90),
               (x0 + r, y0 + r, 180)]
    for cx, cy, start in corners:
        for i in range(steps + 1):
            a = math.radians(start + 90.0 * i / steps)
            pts.append((cx + r * math.cos(a), cy + r * math.sin(a)))
    return pts


def ellipse(cx, cy, rx, ry, steps=32):
    angles = [2 * math.pi * i / steps for i in range(steps)]
    return [(cx + rx * math.cos(a), cy + ry * math.sin(a)) for a in angles]


def arc_band(cx, cy, r_in, r_out, a0, a1, steps=16):
    """Ring segment between radii r_in and r_out from angle a0 to a1 (degrees)."""
    outer = []
    inner = []
    for i in range(steps + 1):
        a = math.radians(a0 + (a1 - a0) * i / steps)
        outer.append((cx + r_out * math.cos(a), cy + r_out * math.sin(a)))
        inner.append((cx + r_in * math.cos(a), cy + r_in * math.sin(a)))
    return outer + inner[::-1]


def segment(x0, y0, x1, y1, w):
    """A straight stroke of width w between two points, with flat ends."""
    dx, dy = x1 - x0, y1 - y0
    n = math.hypot(dx, dy) or 1.0
    nx, ny = -dy / n * w / 2.0, dx / n * w / 2.0
    return [(x0 + nx, y0 + ny), (x1 + nx, y1 + ny), (x1 - nx, y1 - ny), (x0 - nx, y0 - ny)]


def vgradient(width, height, y0, y1, c0, c1):
    """Colour array with a vertical linear gradient from c0 at row y0 to c1 at row y1."""
    ys = (np.arange(height * SCALE, dtype=np.float64) + 0.5) / SCALE
    t = np.clip((ys - y0) / max(1e-9, (y1 - y0)), 0.0, 1.0)[:, None, None]
    c0 = np.asarray(c0, dtype=np.float64)
    c1 = np.asarray(c1, dtype=np.float64)
    col = c0 + (c1 - c0) * t
    return np.broadcast_to(col, (height * SCALE, width * SCALE, 3)).copy()


def solid(width, height, c):
    return np.broadcast_to(np.asarray(c, dtype=np.float64),
                           (height * SCALE, width * SCALE, 3)).copy()


def paint(canvas, mask, colour, opacity=1.0, at=(0, 0)):
    """Blend colour (RGB tuple or array of the mask's size) into canvas through mask; `at`
    in art pixels."""
    x, y = at[0] * SCALE, at[1] * SCALE
    h, w = mask.shape
    region = canvas[y:y + h, x:x + w]
    col = np.asarray(colour, dtype=np.float64)
    if col.ndim == 1:
        col = np.broadcast_to(col, (h, w, 3))
    a = (mask * opacity)[:, :, None]
    region[:] = region * (1.0 - a) + col * a


def gaussian_blur(mask, sigma):
    sigma = sigma * SCALE
    radius = max(1, int(math.ceil(sigma * 3)))
    xs = np.arange(-radius, radius + 1, dtype=np.float64)
    k = np.exp(-(xs * xs) / (2 * sigma * sigma))
    k /= k.sum()
    padded = np.pad(mask, radius)
    tmp = np.apply_along_axis(lambda r: np.convolve(r, k, mode="valid"), 1, padded)
    out = np.apply_along_axis(lambda c: np.convolve(c, k, mode="valid"), 0, tmp)
    return out


def border_fade(width, height, margin):
    """1 inside, falling smoothly to exactly 0 on the outermost ring of pixels."""
    xs = centres(width)
    ys = centres(height)
    dx = np.maximum(np.minimum(xs, width - 1 - xs), 0.0)
    dy = np.maximum(np.minimum(ys, height - 1 - ys), 0.0)
    d = np.minimum(dy[:, None], dx[None, :])
    t = np.clip(d / float(margin), 0.0, 1.0)
    return t * t * (3 - 2 * t)


def flip_rows(canvas):
    return canvas[::-1].copy()


def without_backdrop(paint):
    """What paint(backdrop) draws over its backdrop, as straight colour and alpha: painted
    once over black and once over white. Every step of the art blends linearly with what lies
    under it, so the two differ by the backdrop's share of each pixel times white."""
    on_black = paint(lambda c: c.fill(0.0))
    on_white = paint(lambda c: c.fill(255.0))
    alpha = np.clip(1.0 - (on_white - on_black).mean(axis=2) / 255.0, 0.0, 1.0)
    rgb = on_black / np.maximum(alpha, 1e-9)[:, :, None]
    return rgb, alpha


def to_rgb_image(canvas):
    arr = np.clip(np.rint(canvas), 0, 255).astype(np.uint8)
    return Image.fromarray(arr, "RGB")


def to_rgba_image(rgb, alpha):
    """Straight (unmultiplied) RGBA; fully transparent pixels get black colour."""
    a = np.clip(np.rint(alpha * 255.0), 0, 255).astype(np.uint8)
    c = np.clip(np.rint(rgb), 0, 255).astype(np.uint8)
    c[a == 0] = 0
    return Image.fromarray(np.dstack([c, a]), "RGBA")
