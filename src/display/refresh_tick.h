// The 35 ms refresh of everything that moves: both scrolling lines, the seek indicator, the
// spectrum bars, the stream title and the mini window's volume bar.
#pragma once

void RefreshTick();
