#!/usr/bin/python3
"""Checks the generated skin files in src/skin/data against what the player expects.

PNG headers are read directly (size, bit depth, colour type, interlace), fonts through
fontTools (family names, cmap coverage, outlines and metrics). Exits non-zero on failure.
"""

import os
import struct
import sys
import zlib

sys.dont_write_bytecode = True  # the test leaves the source tree as it found it

ROOT = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", ".."))
sys.path.insert(0, os.path.join(ROOT, "tools", "skin"))

from skin_table import FONTS, IMAGES, SCALES, font_path, image_path  # noqa: E402

PNG_SIGNATURE = b"\x89PNG\r\n\x1a\n"
COLOUR_TYPES = {"RGB": 2, "RGBA": 6}
MAX_PNG_TOTAL = 300 * 1024
MAX_FONT = 150 * 1024

results = {"passed": 0, "failed": 0}


def check(name, condition, detail=""):
    if condition:
        results["passed"] += 1
    else:
        results["failed"] += 1
        print("FAIL %s %s" % (name, detail))


def png_chunks(data):
    pos = len(PNG_SIGNATURE)
    while pos + 8 <= len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        crc = struct.unpack(">I", data[pos + 8 + length:pos + 12 + length])[0]
        yield kind, body, crc == (zlib.crc32(kind + body) & 0xFFFFFFFF)
        pos += 12 + length


def test_png(slot, scale):
    name, width, height, mode = IMAGES[slot]
    name, width, height = "%s@%dx" % (name, scale), width * scale, height * scale
    path = image_path(slot, scale)
    check("%s exists" % name, os.path.isfile(path))
    if not os.path.isfile(path):
        return 0
    with open(path, "rb") as f:
        data = f.read()
    check("%s signature" % name, data.startswith(PNG_SIGNATURE))
    chunks = list(png_chunks(data))
    check("%s chunk CRCs" % name, chunks and all(ok for _, _, ok in chunks))
    check("%s starts with IHDR" % name, chunks and chunks[0][0] == b"IHDR")
    check("%s ends with IEND" % name, chunks and chunks[-1][0] == b"IEND")
    if not chunks or chunks[0][0] != b"IHDR" or len(chunks[0][1]) != 13:
        return len(data)
    w, h, depth, ctype, _, _, interlace = struct.unpack(">IIBBBBB", chunks[0][1])
    check("%s size" % name, (w, h) == (width, height), "%dx%d, want %dx%d" % (w, h, width, height))
    check("%s bit depth" % name, depth == 8, "got %d" % depth)
    check("%s colour type" % name, ctype == COLOUR_TYPES[mode], "got %d, want %s" % (ctype, mode))
    check("%s not interlaced" % name, interlace == 0)
    check("%s has no palette" % name, not any(k == b"PLTE" for k, _, _ in chunks))
    return len(data)


def test_lit_images_fade_out(k):
    """The glow of every button and speaker image reaches full transparency at the border."""
    from PIL import Image
    for slot, (name, w, h, mode) in IMAGES.items():
        if mode != "RGBA" or slot in (23,) + tuple(SEE_THROUGH):
            continue
        name, w, h = "%s@%dx" % (name, k), w * k, h * k
        img = Image.open(image_path(slot, k))
        a = img.getchannel("A")
        border = [a.getpixel((x, 0)) for x in range(w)] + [a.getpixel((x, h - 1)) for x in range(w)]
        border += [a.getpixel((0, y)) for y in range(h)]
        border += [a.getpixel((w - 1, y)) for y in range(h)]
        check("%s border transparent" % name, max(border) == 0, "max alpha %d" % max(border))
        check("%s shows something" % name, a.getextrema()[1] == 255)


LIT_AT = {  # slot: control's top-left corner in the main window
    8: (291, 209), 9: (465, 88), 10: (466, 208), 11: (215, 208), 20: (358, 208),
    21: (157, 208), 22: (419, 208), 24: (116, 92), 25: (107, 207),
    12: (417, 88), 13: (441, 88), 14: (73, 208), 15: (496, 209),
}
CAPTIONS_AT = {16: (110, 173), 17: (110, 173), 30: (158, 173)}  # lit indicator captions


def test_lit_captions_cover_unlit_ones(k):
    """A lit caption's word lies exactly on the unlit word of the skin, and its LED is on, at
    every scale."""
    from PIL import Image
    import palette
    skin = Image.open(image_path(2, k)).convert("RGB")
    for slot, (x, y) in CAPTIONS_AT.items():
        name, w, h, _ = IMAGES[slot]
        name, x, y, w, h = "%s@%dx" % (name, k), x * k, y * k, w * k, h * k
        lit = Image.open(image_path(slot, k))
        word = {(i, j) for j in range(h) for i in range(w)
                if lit.getpixel((i, j)) == palette.CAPTION_LIT + (255,)}
        unlit = {(i, j) for j in range(h) for i in range(w)
                 if skin.getpixel((x + i, y + j)) == palette.DISPLAY_CAPTION}
        check("%s word lines up with the unlit caption" % name,
              word == unlit and len(word) > 10 * k * k,
              "%d lit, %d unlit" % (len(word), len(unlit)))
        led = lit.getpixel((3 * k + k // 2, 3 * k + k // 2))
        check("%s LED lit" % name, led[3] == 255 and led[:3] != palette.CAPTION_LIT, str(led))


def test_lit_symbols_cover_unlit_ones(k):
    """Placed at its control's corner, a lit symbol covers exactly the unlit symbol's solid
    pixels in the skin (the speaker adds its sound waves, so there it only covers them), at
    every scale."""
    from PIL import Image
    import palette
    skin = Image.open(image_path(2, k)).convert("RGB")
    for slot, (x, y) in LIT_AT.items():
        name, w, h, _ = IMAGES[slot]
        name, x, y, w, h = "%s@%dx" % (name, k), x * k, y * k, w * k, h * k
        lit = Image.open(image_path(slot, k))
        lit_solid = {(i, j) for j in range(h) for i in range(w)
                     if lit.getpixel((i, j)) == palette.SYMBOL_LIT + (255,)}
        unlit_solid = {(i, j) for j in range(h) for i in range(w)
                       if skin.getpixel((x + i, y + j)) == palette.SYMBOL_UNLIT}
        check("%s has a solid symbol" % name, len(unlit_solid) >= 4 * k * k,
              str(len(unlit_solid)))
        if slot == 24:
            ok = unlit_solid <= lit_solid and len(lit_solid) > len(unlit_solid)
        else:
            ok = unlit_solid == lit_solid
        check("%s lines up with the unlit symbol" % name, ok,
              "%d lit, %d unlit, %d shared" % (len(lit_solid), len(unlit_solid),
                                               len(lit_solid & unlit_solid)))


SEE_THROUGH = {31: 2, 32: 27}  # see-through background: its opaque art


def test_see_through_backgrounds(k):
    """Laid over the opaque art's own backdrop, a see-through background gives that art back
    (to rounding); the panel and the mini body are opaque where they are in the opaque art,
    and the main window's corners, far from the panel, show the desktop."""
    import numpy as np
    from PIL import Image
    import main_skin
    import mini_skin
    import raster
    backdrops = {31: main_skin.paint_backdrop, 32: mini_skin._paint_backdrop}
    raster.set_scale(k)
    for slot, opaque_slot in SEE_THROUGH.items():
        name, w, h, _ = IMAGES[slot]
        name = "%s@%dx" % (name, k)
        see = np.asarray(Image.open(image_path(slot, k)), dtype=np.float64)
        opaque = np.asarray(Image.open(image_path(opaque_slot, k)), dtype=np.float64)
        backdrop = np.zeros((h * k, w * k, 3))
        backdrops[slot](backdrop)
        a = see[:, :, 3:] / 255.0
        laid = see[:, :, :3] * a + np.rint(backdrop) * (1.0 - a)
        worst = np.abs(laid - opaque).max()
        check("%s over the backdrop is the opaque art" % name, worst <= 2.0, "off by %.1f" % worst)
        if slot == 31:
            x0, y0, x1, y1 = main_skin.layout.PANEL
            body = see[(y0 + 12) * k:(y1 - 12) * k, x0 * k:x1 * k, 3]
            check("%s panel opaque" % name, body.min() == 255, "min alpha %d" % body.min())
            corners = [see[0, 0, 3], see[-1, -1, 3], see[0, -1, 3], see[-1, 0, 3]]
            check("%s corners transparent" % name, max(corners) == 0, str(corners))
            below = see[(y1 + 2) * k:(y1 + 40) * k, (x0 + 20) * k:(x1 - 20) * k, 3]
            check("%s reflection faint" % name, 0 < below.max() < 200, "max %d" % below.max())
        else:
            inner = see[2 * k:(h - 2) * k, 5 * k:(w - 5) * k, 3]
            check("%s body opaque" % name, inner.min() == 255, "min alpha %d" % inner.min())
            check("%s corner shows the desktop" % name, see[0, 0, 3] < 64, str(see[0, 0, 3]))
    raster.set_scale(1)


def test_volume_dot_corners(k):
    from PIL import Image
    a = Image.open(image_path(23, k)).getchannel("A")
    corners = [a.getpixel(p) for p in ((0, 0), (5 * k - 1, 0), (0, 5 * k - 1), (5 * k - 1, 5 * k - 1))]
    check("volume dot@%dx corners transparent" % k, corners == [0, 0, 0, 0], str(corners))
    check("volume dot@%dx centre opaque" % k, a.getpixel((5 * k // 2, 5 * k // 2)) == 255)


def crop(image, k, x, y, w, h):
    return image.crop((x * k, y * k, (x + w) * k, (y + h) * k))


def test_clock_box_is_skin_region(k):
    from PIL import Image
    skin = Image.open(image_path(2, k)).convert("RGB")
    box = Image.open(image_path(7, k)).convert("RGB")
    check("clock box@%dx equals the skin at (107, 114)" % k,
          crop(skin, k, 107, 114, 111, 50).tobytes() == box.tobytes())


def test_display_strips_match_display_colour(k):
    """Where the player draws its strips the skin is the display colour, so no seam shows."""
    from PIL import Image
    skin = Image.open(image_path(2, k)).convert("RGB")
    for name, area in (("marquee", (221, 126, 267, 25)), ("title", (230, 115, 250, 10)),
                       ("spectrum", (230, 154, 250, 12))):
        colours = set(crop(skin, k, *area).getdata())
        check("%s@%dx area is RGB(72, 86, 101)" % (name, k), colours == {(72, 86, 101)},
              str(list(colours)[:4]))
    mini = Image.open(image_path(27, k)).convert("RGB")
    colours = set(crop(mini, k, 12, 14, 201, 13).getdata())
    check("mini strip@%dx area is RGB(72, 86, 101)" % k, colours == {(72, 86, 101)})


def test_seek_groove_rows(k):
    from PIL import Image
    rows = [(52, 63, 75), (52, 63, 75), (72, 82, 93), (28, 35, 41), (31, 38, 45), (36, 44, 51),
            (40, 49, 58), (45, 55, 64), (70, 81, 91), (50, 60, 71), (49, 60, 71), (49, 60, 71)]
    skin = Image.open(image_path(2, k)).convert("RGB")
    ok = all(set(crop(skin, k, 225, 174 + i, 259, 1).getdata()) == {c}
             for i, c in enumerate(rows))
    check("seek groove@%dx in the empty-track row colours" % k, ok)


def printable_cp1251():
    out = []
    for b in range(0x80, 0x100):
        try:
            out.append(bytes([b]).decode("cp1251"))
        except UnicodeDecodeError:
            pass
    return out


def test_font(family, required):
    from fontTools.ttLib import TTFont
    path = font_path(family)
    check("%s exists" % family, os.path.isfile(path))
    if not os.path.isfile(path):
        return
    size = os.path.getsize(path)
    check("%s under 150 KB" % family, size < MAX_FONT, "%d bytes" % size)
    font = TTFont(path)
    check("%s has TrueType outlines" % family, "glyf" in font and "CFF " not in font)
    check("%s units per em" % family, font["head"].unitsPerEm in (1000, 2048))
    names = font["name"]
    for name_id in (1, 4, 16):
        rec = names.getName(name_id, 3, 1, 0x409)
        check("%s name %d" % (family, name_id), rec is not None and rec.toUnicode() == family,
              repr(rec.toUnicode() if rec else None))
    order = font.getGlyphOrder()
    check("%s .notdef first" % family, order and order[0] == ".notdef")
    fmt4 = [t for t in font["cmap"].tables
            if t.format == 4 and t.platformID == 3 and t.platEncID == 1]
    check("%s has a Windows Unicode format 4 cmap" % family, bool(fmt4))
    cmap = fmt4[0].cmap if fmt4 else {}
    missing = [c for c in required if ord(c) not in cmap]
    check("%s covers its characters" % family, not missing, "missing %r" % "".join(missing[:20]))
    glyf = font["glyf"]
    hmtx = font["hmtx"]
    empty = [c for c in required if c not in " \u00a0\u00ad" and ord(c) in cmap
             and glyf[cmap[ord(c)]].numberOfContours <= 0]
    check("%s glyphs have outlines" % family, not empty, "empty %r" % "".join(empty[:20]))
    check("%s space has an advance" % family, ord(" ") in cmap and hmtx[cmap[ord(" ")]][0] > 0)
    hhea, os2 = font["hhea"], font["OS/2"]
    check("%s hhea ascender/descender" % family, hhea.ascent > 0 and hhea.descent < 0)
    check("%s OS/2 win metrics" % family, os2.usWinAscent > 0 and os2.usWinDescent > 0)
    check("%s typo metrics agree with hhea" % family,
          (os2.sTypoAscender, os2.sTypoDescender) == (hhea.ascent, hhea.descent))
    return font, cmap


def test_digital7_monospaced_digits(font, cmap):
    hmtx = font["hmtx"]
    widths = {hmtx[cmap[ord(c)]][0] for c in "0123456789"}
    check("Digital-7 digits share one advance", len(widths) == 1, str(widths))


def built_as_committed(k):
    """Whether the generator makes the committed images of scale k."""
    import importlib
    make_skin = importlib.import_module("make_skin")
    import raster
    from PIL import Image
    raster.set_scale(k)
    images = make_skin.build_images()
    return all(images[s].tobytes() ==
               Image.open(image_path(s, k)).convert(IMAGES[s][3]).tobytes() for s in IMAGES)


def test_repeatable():
    """Building again into a scratch copy must give the same pixels and the same font bytes."""
    import importlib
    sys.path.insert(0, os.path.join(ROOT, "tools", "fonts"))
    import multiprocessing
    # The three sets are made side by side, each in a process of its own: the generator's scale
    # is a setting of its module.
    with multiprocessing.get_context("fork").Pool(len(SCALES)) as pool:
        for k, same in zip(SCALES, pool.map(built_as_committed, SCALES)):
            check("committed %dx images are what the generator makes" % k, same)
    import tempfile
    make_fonts = importlib.import_module("make_fonts")
    with tempfile.TemporaryDirectory() as tmp:
        for family, make in (("MicroTech", make_fonts.make_microtech),
                             ("Digital-7", make_fonts.make_digital7)):
            scratch = os.path.join(tmp, "font.ttf")
            make(scratch)
            with open(scratch, "rb") as a, open(font_path(family), "rb") as b:
                check("committed %s is what the generator makes" % family, a.read() == b.read())


def main():
    total = 0
    for k in SCALES:
        for slot in sorted(IMAGES):
            total += test_png(slot, k)
    check("twenty-three images", len(IMAGES) == 23)
    check("sets at 1x, 2x and 3x", SCALES == (1, 2, 3))
    check("PNG total under 300 KB", total < MAX_PNG_TOTAL, "%d bytes" % total)
    for k in SCALES:
        test_lit_images_fade_out(k)
        test_lit_symbols_cover_unlit_ones(k)
        test_lit_captions_cover_unlit_ones(k)
        test_volume_dot_corners(k)
        test_clock_box_is_skin_region(k)
        test_display_strips_match_display_colour(k)
        test_seek_groove_rows(k)
        test_see_through_backgrounds(k)
    ascii_chars = [chr(c) for c in range(0x20, 0x7F)]
    test_font("MicroTech", ascii_chars + printable_cp1251())
    got = test_font("Digital-7", ascii_chars)
    if got:
        test_digital7_monospaced_digits(*got)
    check("two fonts", len(FONTS) == 2)
    test_repeatable()
    print("%d passed, %d failed" % (results["passed"], results["failed"]))
    return 1 if results["failed"] else 0


if __name__ == "__main__":
    sys.exit(main())
