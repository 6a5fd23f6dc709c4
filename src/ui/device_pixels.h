// Device pixels of the layer's images. Every coordinate and size the player gives the layer is
// in pixels of the 600 x 400 window; an image slot, a window's overlay and a rendered text hold
// their pixels at the screens' device pixel ratio (QImage::devicePixelRatio), so that they are
// drawn at the screen's own resolution. At ratio 1 a pixel is a device pixel and nothing here
// changes a coordinate.
#pragma once

#include <QImage>
#include <QRect>
#include <QSize>
#include <cstdint>

// The ratio images are made at: the largest of the windows' screens' ratios (the primary
// screen's before a window exists), at least 1.
double DrawingRatio();
// Learns the ratio again from the windows' screens; true when it changed.
bool UpdateDrawingRatio();

// The device pixel edge of pixel edge x: edges map, so that boxes side by side stay so.
inline std::int64_t DeviceEdge(std::int64_t x, double ratio) {
    if (ratio == 1.0) return x;
    const double edge = static_cast<double>(x) * ratio;
    return static_cast<std::int64_t>(edge < 0 ? -static_cast<std::int64_t>(-edge + 0.5)
                                              : static_cast<std::int64_t>(edge + 0.5));
}
inline int DeviceLength(int n, double ratio) {
    return static_cast<int>(DeviceEdge(n, ratio));
}
QRect DeviceRect(const QRect &area, double ratio);
// The smallest area whose device pixels hold every device pixel of `device`.
QRect CoveringRect(const QRect &device, double ratio);
// The size an image of the layer stands for: its device size over its ratio, rounded.
QSize LogicalSize(const QImage &image);
// A ratio that maps every pixel to a whole square of device pixels (1, 2, 3, ...); 0 otherwise.
int WholeRatio(double ratio);
