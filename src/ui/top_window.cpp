// Top-level windows: background and overlay painting, window-level events, and the input
// that reaches the native window before Qt hands it to a control.
#include "top_window.h"

#include <QApplication>
#include <QBackingStore>
#include <QChildEvent>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QWindow>
#include <algorithm>
#include <cstring>
#include <optional>
#include <utility>
#include <vector>

#include "device_pixels.h"
#include "event_queue.h"
#include "image_control.h"
#include "input_state.h"
#include "key_input.h"
#include "pixel_rows.h"
#include "see_through.h"
#include "ui_internal.h"

namespace {

// The smallest rectangle of `area` in `now` that holds every pixel differing from `before`
// (which holds that area alone); empty when none does.
QRect ChangedPart(const QImage &before, const QImage &now, const QRect &area) {
    const auto bytes = static_cast<std::size_t>(area.width()) * 4;
    auto row = [&](const QImage &image, int y) {
        return reinterpret_cast<const QRgb *>(image.constScanLine(y));
    };
    auto nowRow = [&](int y) { return row(now, area.top() + y) + area.left(); };
    int top = 0, bottom = area.height() - 1;
    while (top <= bottom && std::memcmp(row(before, top), nowRow(top), bytes) == 0)
        ++top;
    if (top > bottom) return QRect();
    while (std::memcmp(row(before, bottom), nowRow(bottom), bytes) == 0)
        --bottom;
    int left = area.width(), right = -1;
    for (int y = top; y <= bottom; ++y) {
        const QRgb *was = row(before, y), *is = nowRow(y);
        for (int x = 0; x < left; ++x)
            if (was[x] != is[x]) {
                left = x;
                break;
            }
        for (int x = area.width() - 1; x > right; --x)
            if (was[x] != is[x]) {
                right = x;
                break;
            }
    }
    return QRect(area.left() + left, area.top() + top, right - left + 1, bottom - top + 1);
}

}  // namespace

TopWindow::TopWindow(int number, bool seeThrough) : number_(number) {
    // Every pixel is painted here (tiles or the window colour), so Qt need not clear first.
    setAttribute(Qt::WA_OpaquePaintEvent);
    // Before the native window is made: it gets an alpha channel only when made.
    if (seeThrough && DesktopComposites()) {
        setAttribute(Qt::WA_TranslucentBackground);
        madeWithAlpha_ = seesThrough_ = true;
    }
    setAttribute(Qt::WA_QuitOnClose, false);
    setMouseTracking(true);
}

void TopWindow::SetBackground(const QImage &image, NativeHandle from) {
    backgroundSet_ = IsImageOfSet(from) ? from : 0;
    background_ = QPixmap::fromImage(image);
    update();
}

QImage *TopWindow::Overlay() {
    if (overlay_.isNull() && width() > 0 && height() > 0) {
        const double ratio = DrawingRatio();
        overlay_ = QImage(DeviceLength(width(), ratio), DeviceLength(height(), ratio),
                          QImage::Format_ARGB32_Premultiplied);
        overlay_.fill(Qt::transparent);
        overlay_.setDevicePixelRatio(ratio);
    }
    return overlay_.isNull() ? nullptr : &overlay_;
}

void TopWindow::AdoptDrawingRatio() {
    if (const ImageRecord *record = ImageFromHandle(backgroundSet_))
        SetBackground(record->image, backgroundSet_);
    if (const ImageRecord *record = ImageFromHandle(seeThroughSet_))
        SetSeeThroughImage(record->image, seeThroughSet_);
    const double ratio = DrawingRatio();
    if (!overlay_.isNull() && overlay_.devicePixelRatio() != ratio) {
        overlay_ = overlay_
                       .scaled(DeviceLength(width(), ratio), DeviceLength(height(), ratio),
                               Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                       .convertToFormat(QImage::Format_ARGB32_Premultiplied);
        overlay_.setDevicePixelRatio(ratio);
        overlayLastArea_ = QRect();
    }
    presenter_.RatioChanged();
    for (ImageControl *control : findChildren<ImageControl *>())
        control->TakeImageOfSetAgain();
    update();
}

// The clock redraws its whole box each second, where only the last digits change: only the
// part whose pixels differ from what the last change of that same area left is repainted.
// A change of any other area starts over from it, so what is kept never goes stale.
void TopWindow::OverlayChanged(const QRect &area) {
    const QRect inWindow = area.intersected(rect());
    QRect repaint = inWindow;
    // Compared in the overlay's device pixels.
    const double ratio = overlay_.isNull() ? 1.0 : overlay_.devicePixelRatio();
    const QRect inOverlay = DeviceRect(inWindow, ratio);
    if (!overlay_.isNull() && overlay_.rect().contains(inOverlay) && !inWindow.isEmpty()) {
        if (inWindow == overlayLastArea_)
            repaint = CoveringRect(ChangedPart(overlayLast_, overlay_, inOverlay), ratio);
        overlayLast_ = overlay_.copy(inOverlay);
        overlayLastArea_ = inWindow;
    } else {
        overlayLastArea_ = QRect();
    }
    if (!repaint.isEmpty()) update(repaint);
}

void TopWindow::WatchNativeWindow() {
    winId();
    if (QWindow *native = windowHandle()) {
        // The X server may have had no visual with alpha to give (Qt's Wayland windows do
        // not tell their format: their buffers have alpha when asked for).
        if (madeWithAlpha_ && QGuiApplication::platformName() == QLatin1String("xcb") &&
            !native->format().hasAlpha())
            madeWithAlpha_ = seesThrough_ = false;
        native->installEventFilter(this);
        QObject::connect(native, &QWindow::screenChanged, this, [] { AdoptScreenRatio(); });
    }
}

void AdoptScreenRatio() {
    if (!UpdateDrawingRatio()) return;
    RescaleImageSlots();
    for (QWidget *widget : QApplication::topLevelWidgets())
        if (auto *window = dynamic_cast<TopWindow *>(widget)) window->AdoptDrawingRatio();
}

bool TopWindow::Showing() const {
    return isVisible() && !isMinimized() && systemShown_;
}

bool TopWindow::eventFilter(QObject *watched, QEvent *event) {
    if (watched == windowHandle()) {
        // Keys are the player's alone (key_events.h): none reaches a control.
        if (event->type() == QEvent::KeyPress)
            return QueueKeyPress(*static_cast<QKeyEvent *>(event), number_);
        HandleNativeInput(event);
        return false;
    }
    // A child widget's own events (the filter is installed as it is added).
    switch (event->type()) {
        case QEvent::Move:
        case QEvent::Resize:
        case QEvent::Show:
        case QEvent::Hide:
        case QEvent::ShowToParent:
        case QEvent::HideToParent:
        case QEvent::ZOrderChange:
        case QEvent::ParentChange:
            presenter_.LayoutChanged();
            UpdateInputRegion();
            break;
        default:
            break;
    }
    return false;
}

// Runs before Qt delivers the input to the widget under the pointer, so the window's own
// events come before the control events that the same input produces.
void TopWindow::HandleNativeInput(QEvent *event) {
    switch (event->type()) {
        case QEvent::MouseMove:
            RestorePointerShape();
            QueueInputEvent(kMouseMove, number_);
            break;
        case QEvent::MouseButtonPress: {
            auto *mouse = static_cast<QMouseEvent *>(event);
            // The second press of a double click reaches the widgets as the double click.
            if (mouse->button() != Qt::LeftButton ||
                mouse->flags().testFlag(Qt::MouseEventCreatedDoubleClick))
                break;
            RememberLeftPress(mouse->globalPosition().toPoint());
            // An image control reports the press as its own click instead.
            if (!IsImageControl(childAt(mouse->position().toPoint())))
                QueueInputEvent(kLeftButtonDown, number_);
            break;
        }
        case QEvent::MouseButtonDblClick:
            if (static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton) {
                RememberLeftPress(static_cast<QMouseEvent *>(event)->globalPosition().toPoint());
                QueueInputEvent(kLeftDoubleClick, number_);
            }
            break;
        case QEvent::MouseButtonRelease:
            if (static_cast<QMouseEvent *>(event)->button() == Qt::RightButton)
                QueueInputEvent(kRightButtonUp, number_);
            break;
        case QEvent::Leave:
            RestorePointerShape();
            break;
        case QEvent::Expose: {
            // A screen's own ratio may change without the window changing screens.
            if (windowHandle() && windowHandle()->devicePixelRatio() != DrawingRatio())
                AdoptScreenRatio();
            const bool wasShowing = Showing();
            systemShown_ = windowHandle() && windowHandle()->isExposed();
            // Qt paints the window right after this filter returns: the images it shows
            // must be current by then.
            if (!wasShowing && Showing()) ReportWindowShown();
            if (!wasShowing && systemShown_) UpdateInputRegion(true);
            if (systemShown_) QueueWindowEvent(kWindowRepainted, number_);
            break;
        }
        default:
            break;
    }
}

bool TopWindow::event(QEvent *event) {
    switch (event->type()) {
        case QEvent::ChildAdded: {
            QObject *child = static_cast<QChildEvent *>(event)->child();
            if (child->isWidgetType()) child->installEventFilter(this);
            presenter_.LayoutChanged();
            UpdateInputRegion();
            break;
        }
        case QEvent::ChildRemoved:
        case QEvent::Show:
        case QEvent::Hide:
            presenter_.LayoutChanged();
            UpdateInputRegion();
            break;
        case QEvent::Move:
            QueueWindowEvent(kWindowMoved, number_);
            break;
        case QEvent::Resize:
            QueueWindowEvent(kWindowResized, number_);
            break;
        case QEvent::WindowActivate:
            QueueWindowEvent(kWindowActivated, number_);
            break;
        default:
            break;
    }
    return QWidget::event(event);
}

void TopWindow::paintEvent(QPaintEvent *event) {
    // When Qt paints the window into its store (not for a grab), the background's rows are
    // copied there and the overlay blended in directly. A painter clips to the paint region,
    // which is the window less its opaque controls, many rectangles: with such a clip it
    // blends every large area span by span, split across the threads of Qt's pool, which
    // then idle for half a minute after each full repaint.
    QPoint offset;
    QPaintDevice *target = redirected(&offset);
    if (!offset.isNull() || !backingStore() || target != backingStore()->paintDevice())
        target = nullptr;
    // See-through, the image's premultiplied pixels are drawn over the store's, which Qt
    // cleared to transparent for the paint.
    const QPixmap &shown = seesThrough_ && !seeThrough_.isNull() ? seeThrough_ : background_;
    // The pixmap's own pixels, shared, not copied.
    const QImage background = target ? shown.toImage() : QImage();
    std::optional<QPainter> painter;  // for what cannot be copied
    auto paint = [&]() -> QPainter & {
        if (!painter) painter.emplace(this);
        return *painter;
    };
    for (const QRect &area : event->region()) {
        if (shown.isNull())
            paint().fillRect(area, palette().window());
        else if (!CopyOpaqueRows(background, area, target, area.topLeft()) &&
                 !BlendRowsOver(background, area, target, area.topLeft()))
            paint().drawTiledPixmap(area, shown, area.topLeft());
        if (!overlay_.isNull() && !BlendRowsOver(overlay_, area, target, area.topLeft()))
            paint().drawImage(QRectF(area), overlay_,
                              QRectF(DeviceRect(area, overlay_.devicePixelRatio())));
    }
}

// The window closes only when the player calls CloseTopWindow.
void TopWindow::closeEvent(QCloseEvent *event) {
    event->ignore();
    QueueWindowEvent(kCloseRequest, number_);
}
