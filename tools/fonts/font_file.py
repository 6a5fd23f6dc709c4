"""Writing a TrueType file from finished contours with fontTools' FontBuilder."""

from fontTools.fontBuilder import FontBuilder
from fontTools.pens.ttGlyphPen import TTGlyphPen

from outline import rounded

# A fixed date (seconds since 1904-01-01) so that rebuilding gives the same bytes.
FIXED_TIMESTAMP = 3_850_000_000


def _glyph(contours):
    pen = TTGlyphPen(None)
    for c in contours:
        pts = rounded(c)
        if len(pts) < 3:
            continue
        pen.moveTo(pts[0])
        for p in pts[1:]:
            pen.lineTo(p)
        pen.closePath()
    return pen.glyph()


def write_font(path, family, glyphs, cmap, ascent, descent, x_height, cap_height,
               code_pages, units_per_em=1000, version="1.000"):
    """glyphs: ordered {name: (advance, contours)} starting with .notdef; cmap: {code: name};
    code_pages: the OS/2 code page bits (bit 0 Latin 1, bit 2 Cyrillic)."""
    order = list(glyphs)
    fb = FontBuilder(units_per_em, isTTF=True)
    fb.setupGlyphOrder(order)
    fb.setupCharacterMap(cmap)
    fb.setupGlyf({name: _glyph(contours) for name, (_, contours) in glyphs.items()})
    glyf = fb.font["glyf"]
    metrics = {}
    y_max, y_min = ascent, -descent
    for name, (advance, _) in glyphs.items():
        g = glyf[name]
        g.recalcBounds(glyf)
        lsb = g.xMin if g.numberOfContours else 0
        metrics[name] = (int(advance), int(lsb))
        if g.numberOfContours:
            y_max, y_min = max(y_max, g.yMax), min(y_min, g.yMin)
    fb.setupHorizontalMetrics(metrics)
    fb.setupHorizontalHeader(ascent=ascent, descent=-descent, lineGap=0)
    fb.setupNameTable({
        "familyName": family,
        "styleName": "Regular",
        "uniqueFontIdentifier": "VOLNAR %s %s" % (family, version),
        "fullName": family,
        "psName": family.replace(" ", ""),
        "version": "Version " + version,
        "typographicFamily": family,
        "typographicSubfamily": "Regular",
    })
    fb.setupOS2(
        version=4,
        sTypoAscender=ascent, sTypoDescender=-descent, sTypoLineGap=0,
        # The clipping box of some renderers: it must hold every glyph, accents included.
        usWinAscent=y_max, usWinDescent=-y_min,
        sxHeight=x_height, sCapHeight=cap_height,
        usWeightClass=400, fsSelection=0x40 | 0x80,  # REGULAR, USE_TYPO_METRICS
        achVendID="VOLN",
    )
    fb.setupPost()
    os2 = fb.font["OS/2"]
    os2.recalcUnicodeRanges(fb.font)
    os2.ulCodePageRange1 = code_pages
    os2.ulCodePageRange2 = 0
    fb.updateHead(created=FIXED_TIMESTAMP, modified=FIXED_TIMESTAMP, fontRevision=float(version))
    fb.font.recalcTimestamp = False
    fb.save(path)
