// Top-level windows: creation, visibility, background, close, and the overlay that drawing
// on a window paints into.
#include <QGuiApplication>
#include <QIcon>
#include <QPixmap>
#include <QScreen>
#include <algorithm>

#include "drop_input.h"
#include "layer_tables.h"
#include "png_decode.h"
#include "top_window.h"
#include "ui_internal.h"

NativeHandle CreateTopWindow(int window, int x, int y, int width, int height,
                             const std::string &title, int flags) {
    if (window < 0 || window >= kNumberLimit || !QCoreApplication::instance()) return 0;
    DestroyWindow(window);

    auto widget = std::make_unique<TopWindow>(window, (flags & kWindowSeeThrough) != 0);
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
    AcceptDrops(widget.get(), window);

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
    if (visible == 0) {
        widget->hide();
        return;
    }
    if (!widget->Showing()) {
        widget->ExpectShown();
        ReportWindowShown();
        // The callback may have closed the window.
        widget = WindowAt(window);
        if (!widget) return;
    }
    // Shown in its normal state, in front and with the keyboard focus. Qt asks the window
    // manager for the activation (on Wayland through the compositor's activation protocol,
    // which may refuse); a window not yet mapped is activated once it is.
    widget->showNormal();
    widget->raise();
    widget->activateWindow();
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
    widget->SetBackground(record->image, image);
}

void SetWindowSeeThroughImage(NativeHandle window, NativeHandle image) {
    TopWindow *widget = WindowAt(WindowNumberOfHandle(window));
    const ImageRecord *record = ImageFromHandle(image);
    if (!widget || !record) return;
    widget->SetSeeThroughImage(record->image, image);
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

void SetProgramIcon(const std::vector<std::pair<const void *, std::size_t>> &pngFiles) {
    if (!QCoreApplication::instance()) return;
    QIcon icon;
    for (const auto &[data, length] : pngFiles) {
        const QImage image = DecodePng(data, length);
        if (!image.isNull()) icon.addPixmap(QPixmap::fromImage(image));
    }
    // Windows without an icon of their own, those made later included, show the program's.
    QGuiApplication::setWindowIcon(icon);
}

bool DisplayLossEndsAtOnce() {
    return QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}

bool WindowPlacesKnown() {
    return !QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}

ScreenPoint WindowPosition(int window) {
    const TopWindow *widget = WindowAt(window);
    if (!widget) return {};
    const QPoint position = widget->pos();
    return {position.x(), position.y()};
}

bool MoveTopWindowOnScreen(int window, int x, int y) {
    // This much of the window (or all of a smaller one) must be on one screen.
    constexpr int kVisibleSide = 32;
    TopWindow *widget = WindowAt(window);
    if (!widget) return false;
    const QRect place(QPoint(x, y), widget->size());
    const QSize needed(std::min(kVisibleSide, place.width()),
                       std::min(kVisibleSide, place.height()));
    for (const QScreen *screen : QGuiApplication::screens()) {
        const QRect seen = place.intersected(screen->availableGeometry());
        if (seen.width() >= needed.width() && seen.height() >= needed.height()) {
            widget->move(place.topLeft());
            return true;
        }
    }
    return false;
}

void MinimiseTopWindow(int window) {
    if (TopWindow *widget = WindowAt(window)) widget->showMinimized();
}

void RaiseTopWindow(int window) {
    TopWindow *widget = WindowAt(window);
    if (!widget) return;
    // A minimised window comes back from the task bar's place as it was.
    if (widget->isMinimized()) widget->showNormal();
    widget->show();
    widget->raise();
    widget->activateWindow();
}
