"""Where things sit: the player's control rectangles and the skin's own geometry.

Control rectangles (x, y, w, h) are those the player lays over the skin; a lit image is
placed at its control's top-left corner, so every symbol below is described in window
coordinates and cut out relative to that corner.
"""

# Main window controls.
CLOSE = (465, 88, 30, 20)  # lit size; created 22 x 12 at the same corner
PLAY = (291, 209, 30, 27)
PREVIOUS = (157, 208, 30, 27)
OPEN = (358, 208, 30, 27)
NEXT = (419, 208, 30, 27)
PAUSE = (215, 208, 30, 27)
PLAYLIST = (466, 208, 30, 20)  # lit size; created 28 x 18
RADIO = (107, 207, 30, 20)  # lit size; created 20 x 30
SPEAKER = (116, 92, 14, 16)
# Lit sizes of the keys and caption buttons that got commands later, centred as close's and
# FM's are on their bodies (SIDE_KEYS, CAPTION_KEYS below).
MINIMISE = (417, 88, 30, 20)
RESTORE = (441, 88, 30, 20)
REPEAT_KEY = (73, 208, 30, 20)
EQUALISER = (496, 209, 30, 20)
# The repeat and shuffle captions under the clock: an LED and a word each (x, y of the LED's
# column and the caption's top row), and the rectangles of their lit images.
INDICATORS = {"REPEAT": (112, 175), "SHUFFLE": (160, 175)}
REPEAT_CAPTION = (110, 173, 34, 10)
SHUFFLE_CAPTION = (158, 173, 38, 10)
DOT_SIZE = 5


def dot(n):
    """Volume dot control n (401..410)."""
    return (139 + 8 * (n - 401), 98, DOT_SIZE, DOT_SIZE)


CLOCK_BOX = (107, 114, 111, 50)
CLOCK_TEXT_AT = (128, 130)
TITLE_LINE = (230, 115, 250, 10)
MARQUEE = (221, 126, 267, 25)
SPECTRUM = (230, 154, 250, 12)  # bars at 230 + 6 i, 5 wide, the last ending at x 480
SEEK = (225, 174, 259, 12)
LIST_PANEL = (105, 240, 390, 150)

# Skin geometry (edges are pixel boundaries: x0, y0, x1, y1 with x1, y1 exclusive).
PANEL = (66, 76, 534, 246)
PANEL_RADIUS = 9
DISPLAY = (102, 110, 494, 192)  # bezel outer edge; the slate field lies 2 px inside
DIVIDER_X = 219
SEAM_Y = 197  # between the display and the key row
TOP_LOGO_CENTRE = (300, 96)

# The transport keys share one row; each symbol is centred on its key.
KEY_ROW = (206, 238)
KEY_HALF_WIDTH = 16
KEY_CENTRE_Y = 221.5
TRANSPORT = {
    "previous": PREVIOUS,
    "pause": PAUSE,
    "play": PLAY,
    "open": OPEN,
    "next": NEXT,
}

# Side keys (24 x 13 bodies) and caption buttons (20 x 12 bodies). The FM key and the close
# button are drawn so that their symbols lie inside the smaller rectangles those controls
# have before their first hover.
SIDE_KEYS = {
    "RP": (76, 211, 100, 224),
    "FM": (106, 211, 130, 224),
    "PL": (469, 212, 493, 225),
    "EQ": (499, 212, 523, 225),
}
CAPTION_KEYS = {
    "minimise": (419, 90, 439, 102),
    "restore": (443, 90, 463, 102),
    "close": (467, 90, 487, 102),
}
VOLUME_RAIL = (136, 95, 220, 106)

# Mini window.
MINI_SIZE = (225, 52)
MINI_STRIP = (12, 14, 201, 13)
MINI_LINK = (217, 1, 7, 7)
MINI_NUMBER = (207, 35, 15, 10)
MINI_VOLUME = (100, 37, 100, 8)
