// Top-level windows: creation, visibility, background, close, and the overlay that drawing
// on a window paints into.
#include <QGuiApplication>
#include <QScreen>
#include <algorithm>

#include "layer_tables.h"
#include "top_window.h"
#include "ui_internal.h"

NativeHandle CreateTopWindow(int window, int x, int y, int width, int height,
                             const std::string &title, int flags) {
    if (window < 0 || window >= kNumberLimit || !QCoreApplication::instance()) return 0;
    DestroyWindow(window);

    auto widget = std::make_unique<TopWindow>(window);
    Qt::WindowFlags qtFlags = Qt::Window;
    if (flags & kWindowBorderless) qtFlags |= Qt::FramelessWindowHint;
    widget->setWindowFlags(qtFlags);
    widget->setWindowTitle(DecodeDisplayText(title));

    QSize size(std::max(width, 1), std::max(height, 1));
    QPoint position(x, y);
    if (const QScreen *screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->geometry();
        size = size.boundedTo(area.size());
        if (flags & kWindowCentred)
            position = area.topLeft() + QPoint((area.width() - size.width()) / 2,
                                               (area.height() - size.height()) / 2);
    }
    widget->setFixedSize(size);
    widget->move(position);
    widget->WatchNativeWindow();

    TopWindow *created = widget.get();
    StoreWindow(window, std::move(widget));
    if (!(flags & kWindowHidden)) created->show();
    return reinterpret_cast<NativeHandle>(created);
}

namespace {

WindowShownCallback g_shownCallback = nullptr;
bool g_inShownCallback = false;

}  // namespace

void ReportWindowShown() {
    // A callback that waits for events itself must not be entered again from inside.
    if (!g_shownCallback || g_inShownCallback) return;
    g_inShownCallback = true;
    g_shownCallback();
    g_inShownCallback = false;
}

void SetWindowShownCallback(WindowShownCallback callback) {
    g_shownCallback = callback;
}

void SetWindowVisible(int window, int visible) {
    TopWindow *widget = WindowAt(window);
    if (!widget) return;
    if (visible && !widget->Showing()) {
        widget->ExpectShown();
        ReportWindowShown();
        // The callback may have closed the window.
        widget = WindowAt(window);
        if (!widget) return;
    }
    widget->setVisible(visible != 0);
}

int WindowShowing(int window) {
    const TopWindow *widget = WindowAt(window);
    return widget && widget->Showing() ? 1 : 0;
}

NativeHandle NativeWindowHandle(int window) {
    return reinterpret_cast<NativeHandle>(WindowAt(window));
}

void SetWindowBackgroundImage(NativeHandle window, NativeHandle image) {
    TopWindow *widget = WindowAt(WindowNumberOfHandle(window));
    const ImageRecord *record = ImageFromHandle(image);
    if (!widget || !record) return;
    widget->SetBackground(record->image);
}

void CloseTopWindow(int window) {
    DestroyWindow(window);
}

QImage *WindowOverlayImage(int window) {
    TopWindow *widget = WindowAt(window);
    return widget ? widget->Overlay() : nullptr;
}

void WindowOverlayChanged(int window, const QRect &area) {
    if (TopWindow *widget = WindowAt(window)) widget->OverlayChanged(area);
}
