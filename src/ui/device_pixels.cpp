#include "device_pixels.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <QWindow>
#include <algorithm>
#include <cmath>

namespace {

// Beyond this the 3x art would be enlarged past any use; such screens get it at 4.
constexpr double kMaxRatio = 4.0;
double g_ratio = 0.0;  // 0: not learnt yet

double RatioOfScreens() {
    double ratio = 0.0;
    for (QWindow *window : QGuiApplication::topLevelWindows())
        if (window->handle() && window->isTopLevel())
            ratio = std::max(ratio, window->devicePixelRatio());
    if (ratio <= 0.0)
        if (const QScreen *screen = QGuiApplication::primaryScreen())
            ratio = screen->devicePixelRatio();
    return std::clamp(ratio, 1.0, kMaxRatio);
}

}  // namespace

double DrawingRatio() {
    if (g_ratio == 0.0) g_ratio = qGuiApp ? RatioOfScreens() : 1.0;
    return g_ratio;
}

bool UpdateDrawingRatio() {
    const double before = DrawingRatio();
    g_ratio = qGuiApp ? RatioOfScreens() : 1.0;
    return g_ratio != before;
}

QRect DeviceRect(const QRect &area, double ratio) {
    if (ratio == 1.0 || area.isEmpty()) return area;
    const auto left = DeviceEdge(area.left(), ratio), top = DeviceEdge(area.top(), ratio);
    const auto right = DeviceEdge(static_cast<std::int64_t>(area.left()) + area.width(), ratio);
    const auto bottom = DeviceEdge(static_cast<std::int64_t>(area.top()) + area.height(), ratio);
    return QRect(static_cast<int>(left), static_cast<int>(top), static_cast<int>(right - left),
                 static_cast<int>(bottom - top));
}

QRect CoveringRect(const QRect &device, double ratio) {
    if (ratio == 1.0 || device.isEmpty()) return device;
    const int left = static_cast<int>(std::floor(device.left() / ratio));
    const int top = static_cast<int>(std::floor(device.top() / ratio));
    const int right = static_cast<int>(std::ceil((device.left() + device.width()) / ratio));
    const int bottom = static_cast<int>(std::ceil((device.top() + device.height()) / ratio));
    return QRect(left, top, right - left, bottom - top);
}

QSize LogicalSize(const QImage &image) {
    const double ratio = image.devicePixelRatio();
    if (ratio == 1.0) return image.size();
    return QSize(static_cast<int>(std::lround(image.width() / ratio)),
                 static_cast<int>(std::lround(image.height() / ratio)));
}

int WholeRatio(double ratio) {
    const double whole = std::round(ratio);
    return whole >= 1.0 && whole == ratio ? static_cast<int>(whole) : 0;
}
