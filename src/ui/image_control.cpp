// Image controls. The refresh timer hands dozens of images to these controls every 35 ms,
// so an assignment that changes nothing costs a comparison only, and one that changes the
// pixels copies them into the control's own buffer once it has one (no allocation) and
// repaints just the rows of the control that changed: the scrolling strips' text and a
// bar's moving top are a part of their images, and every repainted row is also sent to the
// window system.
//
// A scrolling line changes all its text rows every tick, but only by moving them a pixel or
// two sideways. Such a change is made a scroll: on X11 the window system moves the pixels it
// already has, and only the few columns that come into view are sent, instead of the whole
// strip. There the changed rows go to the server past Qt's flush (x11_pixels.h) and are
// copied whole into the backing store for Qt's own later repaints; elsewhere Qt's store is
// scrolled and flushed.
//
// The strips and bars are opaque and nothing lies above them, so what Qt would paint for
// them is exactly their own pixels. Their changed rows are copied straight into the
// window's backing store when the window flushes after the tick (PaintAtOnce, then
// FlushStorePaints): Qt's repaint scheduling (a posted event, the dirty regions of the
// window's fifty widgets, a paint event and a painter per control) costs many times the
// copying of a tick's few changed pixels. Everything else goes the usual way, through
// update().
#include "image_control.h"

#include <algorithm>

#include <QApplication>
#include <QBackingStore>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>
#include <QWindow>
#include <cstdlib>
#include <cstring>

#include "device_pixels.h"
#include "event_queue.h"
#include "pixel_rows.h"
#include "top_window.h"
#include "ui_internal.h"

namespace {

bool SameLayout(const QImage &a, const QImage &b) {
    return a.size() == b.size() && a.format() == b.format() &&
           a.bytesPerLine() == b.bytesPerLine() && a.devicePixelRatio() == b.devicePixelRatio();
}

// The bytes of a row that hold pixels (not the padding after them).
std::size_t UsedRowBytes(const QImage &image) {
    return (static_cast<std::size_t>(image.width()) * static_cast<std::size_t>(image.depth()) + 7) /
           8;
}

bool SameRow(const QImage &a, const QImage &b, int y, std::size_t bytes) {
    return std::memcmp(a.constScanLine(y), b.constScanLine(y), bytes) == 0;
}

// The farthest a scrolling line moves in one tick, and more, in pixels of the window.
constexpr int kMaxShift = 4;

// True when every row from top to bottom of `after` is the row of `before` moved dx pixels
// sideways (positive: to the right), apart from the dx columns that came into view.
bool ShiftedRows(const QImage &before, const QImage &after, int top, int bottom, int dx) {
    const int k = dx < 0 ? -dx : dx;
    const auto bytes = static_cast<std::size_t>(after.width() - k) * 4;
    const auto skip = static_cast<std::size_t>(k) * 4;
    for (int y = top; y <= bottom; ++y) {
        const uchar *was = before.constScanLine(y), *now = after.constScanLine(y);
        if (std::memcmp(dx < 0 ? now : now + skip, dx < 0 ? was + skip : was, bytes) != 0)
            return false;
    }
    return true;
}

// The sideways move that turns `before` into `after` in the rows top to bottom, or 0 when
// the change is not one. Only 32-bit images wide enough for a move to save anything. The
// last move is tried first: a scrolling line moves by the same step tick after tick.
int HorizontalShift(const QImage &before, const QImage &after, int top, int bottom, int last,
                    int maxShift) {
    if (after.depth() != 32 || after.width() <= 4 * maxShift) return 0;
    if (last != 0 && std::abs(last) <= maxShift && ShiftedRows(before, after, top, bottom, last))
        return last;
    for (int k = 1; k <= maxShift; ++k) {
        if (-k != last && ShiftedRows(before, after, top, bottom, -k)) return -k;
        if (k != last && ShiftedRows(before, after, top, bottom, k)) return k;
    }
    return 0;
}

// As QRect::intersects, inline: the refresh asks this of every sibling of every changed
// control, twice a tick.
bool Overlap(const QRect &a, const QRect &b) {
    return !a.isEmpty() && !b.isEmpty() && a.left() <= b.right() && b.left() <= a.right() &&
           a.top() <= b.bottom() && b.top() <= a.bottom();
}

}  // namespace

ImageControl::ImageControl(QWidget *parent, int number, int window)
    : QWidget(parent), number_(number), window_(window) {
    setMouseTracking(true);
}

void ImageControl::ShowImage(const QImage &image, NativeHandle from) {
    shownSet_ = !image.isNull() && IsImageOfSet(from) ? from : 0;
    if (image.isNull()) {
        if (!image_.isNull()) {
            image_ = QImage();
            mirror_.Forget();
            UpdateOpacity();
            update();
        }
        return;
    }
    if (const QSize shown = LogicalSize(image); size() != shown) resize(shown);
    if (image_.isNull() || !SameLayout(image_, image)) {
        // Shares the pixels until the image slot is drawn on again; from then on the
        // control owns this buffer and later assignments copy into it.
        image_ = image;
        mirror_.Forget();
        UpdateOpacity();
        update();
        return;
    }
    if (image_.cacheKey() == image.cacheKey()) return;
    const std::size_t used = UsedRowBytes(image);
    int top = 0;
    while (top < image.height() && SameRow(image_, image, top, used))
        ++top;
    if (top == image.height()) return;  // the same pixels
    int bottom = image.height() - 1;
    while (bottom > top && SameRow(image_, image, bottom, used))
        --bottom;
    // Rows and moves are found in device pixels; what is repainted is the window's pixels
    // that hold them, and a move only one of whole pixels of the window.
    const double ratio = image.devicePixelRatio();
    const int whole = WholeRatio(ratio);
    const QRect changed =
        ratio == 1.0 ? QRect(0, top, width(), bottom - top + 1)
                     : CoveringRect(QRect(0, top, image.width(), bottom - top + 1), ratio) & rect();
    // Only an opaque control can be scrolled: Qt moves what it painted, not what lies below.
    const int deviceDx =
        testAttribute(Qt::WA_OpaquePaintEvent) && isVisible() && whole != 0
            ? HorizontalShift(image_, image, top, bottom, lastDx_, kMaxShift * whole)
            : 0;
    lastDx_ = deviceDx;
    const int dx = deviceDx % std::max(whole, 1) == 0 ? deviceDx / std::max(whole, 1) : 0;
    if (image_.isDetached()) {
        const auto line = static_cast<std::size_t>(image.bytesPerLine());
        std::memcpy(image_.scanLine(top), image.constScanLine(top),
                    line * static_cast<std::size_t>(bottom - top + 1));
    } else {
        image_ = image;
        UpdateOpacity();
    }
    if (PaintAtOnce(changed, dx)) return;
    mirror_.Forget();
    // Qt repaints, from the new image, the columns that come into view, and the whole
    // rectangle where it cannot move the pixels (something else repainted there meanwhile).
    if (dx != 0) {
        if (auto *top = dynamic_cast<TopWindow *>(window())) top->ForgetStoreCopies();
        scroll(dx, 0, changed);
    } else
        update(changed);
}

// Asked for every changed control twice a tick; the answer is learnt again only after the
// window's children moved, showed, hid or restacked.
bool ImageControl::CoveredFromAbove() const {
    const auto *top = static_cast<const TopWindow *>(parentWidget());
    if (coveredWindow_ == top && coveredGeneration_ == top->ChildLayoutGeneration())
        return covered_;
    const QObjectList &siblings = top->children();
    const QRect mine = geometry();
    covered_ = false;
    for (qsizetype i = siblings.indexOf(const_cast<ImageControl *>(this)) + 1;
         i > 0 && i < siblings.size() && !covered_; ++i) {
        if (!siblings[i]->isWidgetType()) continue;
        const auto *sibling = static_cast<const QWidget *>(siblings[i]);
        covered_ =
            sibling->isVisible() && !sibling->isWindow() && Overlap(sibling->geometry(), mine);
    }
    coveredWindow_ = top;
    coveredGeneration_ = top->ChildLayoutGeneration();
    return covered_;
}

bool ImageControl::CanPaintInStore() const {
    QWidget *top = window();
    if (parentWidget() != top || !dynamic_cast<TopWindow *>(top) ||
        !testAttribute(Qt::WA_OpaquePaintEvent) || !isVisible())
        return false;
    const QWindow *native = top->windowHandle();
    const QBackingStore *store = top->backingStore();
    // A store of another size is about to be made anew by Qt, which then repaints it all.
    // Pixels go straight to the store where every pixel of the window is a square of them.
    return native && native->isExposed() && store && store->size() == top->size() &&
           WholeRatio(native->devicePixelRatio()) != 0 &&
           native->devicePixelRatio() == image_.devicePixelRatio() && !CoveredFromAbove();
}

bool ImageControl::PaintAtOnce(const QRect &changed, int dx) {
    if (!CanPaintInStore()) return false;
    auto *top = static_cast<TopWindow *>(window());
    if (image_.format() == QImage::Format_RGB32 && CanSendToX11Window(top->windowHandle())) {
        // The whole changed rows go into the store, where nothing moves, and to the server,
        // which moves what it has where it can (see SendToServer).
        if (pendingPaint_.isEmpty()) top->ControlToPaint(this);
        pendingDx_ = pendingPaint_.isEmpty() ? dx : 0;  // two changes in a tick are no move
        pendingToServer_ = true;
        pendingPaint_ |= changed;
        return true;
    }
    mirror_.Forget();
    QBackingStore *store = top->backingStore();
    const QRect area = changed.translated(pos());
    QRect paint = area;
    // Only pixels the window shows may be moved: not while this control's own earlier
    // change still waits to be copied, and not before Qt has repainted what it means to.
    if (dx != 0 && pendingPaint_.isEmpty()) {
        QCoreApplication::sendPostedEvents(top, QEvent::UpdateRequest);
        const int k = std::abs(dx);
        const QRect from = dx < 0 ? area.adjusted(k, 0, 0, 0) : area.adjusted(0, 0, -k, 0);
        top->ForgetStoreCopies();
        if (store->scroll(from, dx, 0))
            paint =
                QRect(dx < 0 ? area.right() - k + 1 : area.left(), area.top(), k, area.height());
    }
    if (pendingPaint_.isEmpty()) top->ControlToPaint(this);
    pendingPaint_ |= paint.translated(-pos());
    top->PaintedInStore(area);
    return true;
}

ImageControl::PendingPaint ImageControl::TakePendingPaint() {
    const PendingPaint pending{pendingPaint_.translated(pos()), pendingToServer_, pendingDx_};
    pendingPaint_ = QRect();
    pendingToServer_ = false;
    pendingDx_ = 0;
    return pending;
}

bool ImageControl::SendToServer(const PendingPaint &paint) {
    // The server has the window's device pixels (CanPaintInStore: a whole ratio).
    const int k = WholeRatio(image_.devicePixelRatio());
    if (paint.toServer && k != 0 &&
        mirror_.Send(window()->windowHandle(), image_, DeviceRect(paint.area.translated(-pos()), k),
                     paint.dx * k, pos() * k))
        return true;
    mirror_.Forget();
    return false;
}

void ImageControl::CopyToStore(QPaintDevice *device, const QRect &area) const {
    const QRect from = area.translated(-pos());
    if (CopyOpaqueRows(image_, from, device, area.topLeft())) return;
    QPainter painter(device);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.drawImage(QRectF(area), image_, QRectF(DeviceRect(from, image_.devicePixelRatio())));
}

void ImageControl::TakeImageOfSetAgain() {
    mirror_.Forget();
    if (const ImageRecord *record = ImageFromHandle(shownSet_)) ShowImage(record->image, shownSet_);
}

// An image without alpha that covers the whole control hides everything below it, so Qt
// need not paint the window underneath first: that halves the work of the refresh, whose
// strips and bars are such images. Anything else lets the window show through.
void ImageControl::UpdateOpacity() {
    const bool opaque =
        !image_.isNull() && !image_.hasAlphaChannel() && LogicalSize(image_) == size();
    if (testAttribute(Qt::WA_OpaquePaintEvent) != opaque)
        setAttribute(Qt::WA_OpaquePaintEvent, opaque);
}

void ImageControl::resizeEvent(QResizeEvent *) {
    UpdateOpacity();
}

void ImageControl::paintEvent(QPaintEvent *) {
    if (image_.isNull()) return;
    QPainter painter(this);
    painter.drawImage(0, 0, image_);
}

void ImageControl::StartLeftPress(QMouseEvent *event) {
    leftHeld_ = true;
    dragReported_ = false;
    pressPosition_ = event->globalPosition().toPoint();
}

void ImageControl::mousePressEvent(QMouseEvent *event) {
    if (event->button() == Qt::LeftButton) {
        StartLeftPress(event);
        QueueControlEvent(number_, kLeftClick, window_);
    }
    event->accept();
}

void ImageControl::mouseMoveEvent(QMouseEvent *event) {
    if (!leftHeld_ || dragReported_ || !(event->buttons() & Qt::LeftButton)) return;
    const QPoint moved = event->globalPosition().toPoint() - pressPosition_;
    if (moved.manhattanLength() > QApplication::startDragDistance()) {
        dragReported_ = true;
        QueueControlEvent(number_, kDragStart, window_);
    }
}

void ImageControl::mouseReleaseEvent(QMouseEvent *event) {
    if (event->button() == Qt::LeftButton) {
        leftHeld_ = false;
    } else if (event->button() == Qt::RightButton) {
        // The window has already queued RightButtonUp for this release.
        if (releaseEndsRightDouble_)
            releaseEndsRightDouble_ = false;
        else if (rect().contains(event->position().toPoint()))
            QueueControlEvent(number_, kRightClick, window_);
    }
    event->accept();
}

void ImageControl::wheelEvent(QWheelEvent *event) {
    // A notch is 120 eighths of a degree; a touchpad sends small steps that add up to it.
    // Horizontal scrolling is not taken: no control of the skin moves sideways by it.
    wheelRest_ += event->angleDelta().y();
    constexpr int kNotch = QWheelEvent::DefaultDeltasPerStep;
    // A burst of a fast spin is bounded: a control is not meant to run through its range
    // on one event.
    for (int i = 0; i < 10 && wheelRest_ >= kNotch; ++i) {
        wheelRest_ -= kNotch;
        QueueControlEvent(number_, kWheelForward, window_);
    }
    for (int i = 0; i < 10 && wheelRest_ <= -kNotch; ++i) {
        wheelRest_ += kNotch;
        QueueControlEvent(number_, kWheelBack, window_);
    }
    wheelRest_ = std::clamp(wheelRest_, -kNotch, kNotch);
    event->accept();
}

void ImageControl::mouseDoubleClickEvent(QMouseEvent *event) {
    if (event->button() == Qt::LeftButton) {
        StartLeftPress(event);
        QueueControlEvent(number_, kDoubleClick, window_);
    } else if (event->button() == Qt::RightButton) {
        releaseEndsRightDouble_ = true;
        QueueControlEvent(number_, kRightDoubleClick, window_);
    }
    event->accept();
}

bool IsImageControl(const QWidget *widget) {
    return dynamic_cast<const ImageControl *>(widget) != nullptr;
}
