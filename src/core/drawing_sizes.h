// The sizes of the off-screen images that the refresh tick draws and the skin loading
// creates, and so the sizes of the controls that show them.
#pragma once

constexpr int kMarqueeWidth = 267, kMarqueeHeight = 25;
constexpr int kMiniMarqueeWidth = 201, kMiniMarqueeHeight = 13;
// The seek bar: a click's offset is scaled by its width to a position in the stream.
constexpr int kSeekBarWidth = 259, kSeekBarHeight = 12;
constexpr int kSeekKnobWidth = 5, kSeekKnobHeight = 12;
constexpr int kMiniVolumeBarWidth = 100, kMiniVolumeBarHeight = 8;
// A list panel's height when open; its list fills it.
constexpr int kListPanelOpenHeight = 150;
