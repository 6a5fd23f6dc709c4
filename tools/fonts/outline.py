"""Turning stroke and segment designs into TrueType contours.

TrueType fills with the non-zero rule and wants outer contours clockwise (y pointing up),
so every filled piece is emitted clockwise; pieces may overlap, the union is what shows.
Counters (holes) are only needed for .notdef and are emitted counter-clockwise.
"""

import math


def signed_area(poly):
    a = 0.0
    for i in range(len(poly)):
        x0, y0 = poly[i]
        x1, y1 = poly[(i + 1) % len(poly)]
        a += x0 * y1 - x1 * y0
    return a / 2.0


def clockwise(poly):
    """The polygon with clockwise orientation (negative area with y up)."""
    return list(poly) if signed_area(poly) < 0 else list(reversed(poly))


def counter_clockwise(poly):
    return list(reversed(clockwise(poly)))


def _dedupe(poly):
    out = []
    for p in poly:
        if not out or (abs(out[-1][0] - p[0]) > 1e-6 or abs(out[-1][1] - p[1]) > 1e-6):
            out.append(p)
    if len(out) > 1 and abs(out[0][0] - out[-1][0]) < 1e-6 and abs(out[0][1] - out[-1][1]) < 1e-6:
        out.pop()
    return out


def rounded(poly):
    return [(int(round(x)), int(round(y))) for x, y in poly]


def _axis_aligned(p, q):
    return abs(p[0] - q[0]) < 1e-9 or abs(p[1] - q[1]) < 1e-9


def _octagon(cx, cy, r):
    # Circumscribed octagon: covers the round join of radius r.
    R = r / math.cos(math.pi / 8)
    return [(cx + R * math.cos(math.pi / 8 + k * math.pi / 4),
             cy + R * math.sin(math.pi / 8 + k * math.pi / 4)) for k in range(8)]


def _square(cx, cy, r):
    return [(cx - r, cy - r), (cx - r, cy + r), (cx + r, cy + r), (cx + r, cy - r)]


def stroke_polyline(points, width):
    """Filled pieces of a polyline of the given width.

    Segments become rectangles; every vertex gets a square where only horizontal and
    vertical segments meet (crisp corners and flat ends) and an octagon where a slanted one
    does (a clean join without spikes).
    """
    r = width / 2.0
    pieces = []
    if len(points) == 1:
        x, y = points[0]
        return [clockwise(_square(x, y, r))]
    for (x0, y0), (x1, y1) in zip(points, points[1:]):
        dx, dy = x1 - x0, y1 - y0
        n = math.hypot(dx, dy)
        if n == 0:
            continue
        nx, ny = -dy / n * r, dx / n * r
        pieces.append(clockwise([(x0 + nx, y0 + ny), (x1 + nx, y1 + ny), (x1 - nx, y1 - ny),
                                 (x0 - nx, y0 - ny)]))
    for i, p in enumerate(points):
        neighbours = [points[j] for j in (i - 1, i + 1) if 0 <= j < len(points)]
        if all(_axis_aligned(p, q) for q in neighbours):
            pieces.append(clockwise(_square(p[0], p[1], r)))
        else:
            pieces.append(clockwise(_octagon(p[0], p[1], r)))
    return [_dedupe(pc) for pc in pieces]


def skew(poly, slant):
    """Shear to the right by `slant` (tangent of the italic angle), around the baseline."""
    return [(x + y * slant, y) for x, y in poly]


def bounds(polys):
    xs = [x for p in polys for x, _ in p]
    ys = [y for p in polys for _, y in p]
    if not xs:
        return (0, 0, 0, 0)
    return (min(xs), min(ys), max(xs), max(ys))
