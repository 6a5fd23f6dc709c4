// The 35 ms refresh of everything that moves: both scrolling lines, the seek indicator, the
// spectrum bars, the stream title and the mini window's volume bar.
#pragma once

#include <cstdint>

// Runs on every firing of the refresh timer, whatever window is shown and whether anything
// plays.
void RefreshTick();
// The function a tick calls when the current stream sends a title other than its last one
// (streamTitle), and when a station that connected gives its first sound (stationConnecting
// back to 0); nullptr for none. Other ticks call nothing.
void SetStreamTitleListener(void (*listener)());
// Draws what ticks skipped while it was not in view; for SetWindowShownCallback.
void RedrawAfterHiding();

// The steps of a tick that draw from given values rather than from the engine.
void DrawSeekIndicator(std::int32_t positionSeconds, std::int32_t lengthSeconds);
// Bar i from magnitude i of a 2048-sample FFT (at least spectrumLastBar + 1 values).
void DrawSpectrum(const float *magnitudes);
void DrawMiniVolumeBar();

// Height in pixels of the lit part of a spectrum bar for an FFT magnitude: the square root
// scaled by 40, rounded halves to even, at most the bar's height; 0 for no or bad data.
int SpectrumBarHeight(float magnitude, int barHeight);
