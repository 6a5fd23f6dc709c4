"""Whether the main window still answers: its clock runs and it follows a drag of its
backdrop. The tests that feed the player hostile stations and titles ask both."""

import time

from harness import wait_until
from imaging import mean_difference, region

BACKGROUND_SPOT = (40, 40)  # a point of the main window's backdrop with no control on it
# A point of the panel with no control on it: where the desktop composites, the backdrop lets
# the pointer through and the window is dragged by its panel.
PANEL_SPOT = (80, 150)
CLOCK_BOX = (107, 114, 111, 50)


def clock_runs(s, window):
    """The clock box differs between two screenshots 1.2 s apart. One second to the next can
    differ by a single segment of one digit (8 to 9): a few dozen pixels of the box, a mean
    difference of about 0.5, so any difference above noise counts."""
    x, y, _, _ = s.geometry(window)
    box = (x + CLOCK_BOX[0], y + CLOCK_BOX[1], CLOCK_BOX[2], CLOCK_BOX[3])
    first = region(s.screenshot(), *box)
    time.sleep(1.2)
    second = region(s.screenshot(), *box)
    return mean_difference(first, second) > 0.05


def drag_follows(s, window, timeout=2, by=(30, 20), at=BACKGROUND_SPOT):
    """The window follows a drag from `at` (its backdrop unless told) by `by` (in ten steps)
    within the timeout."""
    x, y, _, _ = s.geometry(window)
    s.move(x + at[0], y + at[1])
    s.press()
    for step in range(1, 11):
        s.move(x + at[0] + by[0] * step // 10, y + at[1] + by[1] * step // 10)
        time.sleep(0.02)
    s.release()
    return wait_until(lambda: s.geometry(window)[:2] == (x + by[0], y + by[1]), timeout=timeout)
