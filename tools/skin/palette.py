"""The skin's colours. The fixed ones come from what the player draws at run time; the rest
are chosen around them: graphite greys leaning slightly to the display's slate blue."""

# Drawn by the player at run time; the skin must agree with these.
DISPLAY = (72, 86, 101)  # strip, title line and unlit spectrum background
TEXT = (204, 205, 211)  # marquee, title and clock text
BAR = (196, 198, 204)  # lit spectrum bar
SEEK_PROGRESS = (177, 177, 177)
SEEK_ROWS = [(52, 63, 75), (52, 63, 75), (72, 82, 93), (28, 35, 41), (31, 38, 45), (36, 44, 51),
             (40, 49, 58), (45, 55, 64), (70, 81, 91), (50, 60, 71), (49, 60, 71), (49, 60, 71)]
LIST_BG = (21, 24, 29)
MINI_WELL = (24, 24, 24)  # mini volume bar and number field background
MINI_LIT = (158, 157, 132)
MINI_LINE = (71, 71, 71)
LINK_TEXT = (18, 18, 18)
LINK_HOVER = (206, 2, 4)

# Backdrop and panel.
BACKDROP_TOP = (17, 18, 21)
BACKDROP_BOTTOM = (8, 9, 11)
PANEL_TOP = (63, 66, 73)
PANEL_BOTTOM = (35, 37, 42)
PANEL_EDGE = (6, 7, 9)
PANEL_HIGHLIGHT = (122, 126, 135)
PANEL_SHADE = (24, 25, 29)  # lower rim

# Keys.
KEY_TOP = (70, 73, 81)
KEY_BOTTOM = (40, 42, 48)
KEY_EDGE = (14, 15, 18)
KEY_HIGHLIGHT = (118, 122, 131)

# Symbols.
SYMBOL_UNLIT = (132, 136, 145)
SYMBOL_LIT = (226, 238, 255)
GLOW = (120, 178, 246)
ENGRAVED = (104, 108, 117)  # decorative captions on the panel
ENGRAVED_SHADOW = (22, 23, 27)

# Display.
DISPLAY_BEZEL_DARK = (14, 16, 19)
DISPLAY_BEZEL_LIGHT = (92, 96, 104)
DISPLAY_SHADOW = (44, 54, 65)  # inner shadow at the field's top-left edge
CLOCK_TOP = (82, 97, 113)
CLOCK_BOTTOM = (64, 77, 91)
CLOCK_EDGE = (56, 68, 81)
CLOCK_RIM = (92, 107, 123)
DIVIDER_DARK = (52, 63, 75)
DIVIDER_LIGHT = (90, 104, 119)
DISPLAY_CAPTION = (112, 128, 146)  # unlit indicator captions inside the display
CAPTION_LIT = (214, 230, 250)  # a lit indicator caption
LED_LIT = (110, 200, 255)  # its LED: on
LED_LIT_ONE = (255, 196, 92)  # the repeat LED for the one track

# Volume dots.
DOT_DARK = (47, 51, 59)
DOT_DARK_RIM = (70, 75, 84)
DOT_LIT_CENTRE = (196, 230, 255)
DOT_LIT_EDGE = (104, 166, 226)

# Seek knob.
KNOB_FRAME = (22, 24, 28)
KNOB_TOP = (220, 221, 224)
KNOB_BOTTOM = (132, 133, 137)

# Mini window.
MINI_TOP = (60, 63, 70)
MINI_BOTTOM = (36, 38, 43)
MINI_CAPTION = MINI_LIT
MINI_SYMBOL = (122, 126, 134)
MINI_LINK_PATCH = (202, 205, 212)
MINI_LINK_RIM = (120, 124, 132)
