"""The lit (hover) images: each symbol in cool white-blue over a soft glow that fades to
full transparency at the image border, cut to its control's rectangle."""

import numpy as np

import layout
import palette as P
import raster
from pixel_letters import SMALL, text_mask
from symbols import dot_mask, symbol_mask


def _glow_composite(sym, glow_alpha, sym_colour=P.SYMBOL_LIT, glow_colour=P.GLOW):
    """Symbol over glow, both as straight-alpha colour; returns (rgb, alpha)."""
    a = sym + glow_alpha * (1.0 - sym)
    safe = np.where(a > 0, a, 1.0)[:, :, None]
    rgb = (np.asarray(sym_colour, float) * sym[:, :, None] +
           np.asarray(glow_colour, float) * (glow_alpha * (1.0 - sym))[:, :, None]) / safe
    return rgb, a


def lit_symbol(name, frame, sigma=1.6, strength=1.25, fade_margin=3):
    sym = symbol_mask(name, frame)
    w, h = frame[2], frame[3]
    glow = np.clip(raster.gaussian_blur(sym, sigma) * strength, 0.0, 0.85)
    glow *= raster.border_fade(w, h, fade_margin)
    # The symbol itself must never reach the faded rim.
    sym = sym * (raster.border_fade(w, h, 1) > 0)
    return raster.to_rgba_image(*_glow_composite(sym, glow))


def lit_dot():
    frame = layout.dot(401)
    m = dot_mask(401, frame)
    ys, xs = np.meshgrid(raster.centres(5), raster.centres(5), indexing="ij")
    # Light falls from the top left: brightest a little above and left of centre.
    d = np.clip(np.hypot(xs - 1.6, ys - 1.6) / 3.2, 0, 1)[:, :, None]
    rgb = np.asarray(P.DOT_LIT_CENTRE, float) * (1 - d) + np.asarray(P.DOT_LIT_EDGE, float) * d
    return raster.to_rgba_image(rgb, m)


def lit_speaker():
    return lit_symbol("speaker_waves", layout.SPEAKER, sigma=1.1, strength=1.1, fade_margin=2)


LIT_BUTTONS = {  # slot: (symbol, control rectangle)
    8: ("play", layout.PLAY),
    9: ("close", layout.CLOSE),
    10: ("PL", layout.PLAYLIST),
    11: ("pause", layout.PAUSE),
    20: ("open", layout.OPEN),
    21: ("previous", layout.PREVIOUS),
    22: ("next", layout.NEXT),
    25: ("FM", layout.RADIO),
    12: ("minimise", layout.MINIMISE),
    13: ("restore", layout.RESTORE),
    14: ("RP", layout.REPEAT_KEY),
    15: ("EQ", layout.EQUALISER),
}


def lit_caption(label, frame, led_colour):
    """An indicator caption switched on: its LED lit with a small glow, its word bright."""
    fx, fy, fw, fh = frame
    x, y = layout.INDICATORS[label]
    led = raster.box(fw, fh, x - fx, y + 1 - fy, x + 3 - fx, y + 4 - fy)
    glow = np.clip(raster.gaussian_blur(led, 1.0) * 1.4, 0.0, 0.8) * raster.border_fade(fw, fh, 1)
    word = text_mask(fw, fh, label, x + 6 - fx, y - fy, SMALL, 1)
    led_rgb, led_a = _glow_composite(led, glow, led_colour, led_colour)
    a = np.maximum(led_a, word)
    safe = np.where(a > 0, a, 1.0)[:, :, None]
    rgb = (led_rgb * (led_a * (1 - word))[:, :, None] +
           np.asarray(P.CAPTION_LIT, float) * word[:, :, None]) / safe
    return raster.to_rgba_image(rgb, a)


def lit_images():
    out = {slot: lit_symbol(name, frame) for slot, (name, frame) in LIT_BUTTONS.items()}
    out[23] = lit_dot()
    out[24] = lit_speaker()
    out[16] = lit_caption("REPEAT", layout.REPEAT_CAPTION, P.LED_LIT)
    out[17] = lit_caption("REPEAT", layout.REPEAT_CAPTION, P.LED_LIT_ONE)
    out[30] = lit_caption("SHUFFLE", layout.SHUFFLE_CAPTION, P.LED_LIT)
    return out
