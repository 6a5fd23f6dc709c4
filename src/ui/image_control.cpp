// Image controls. The refresh timer hands dozens of images to these controls every 35 ms,
// so an assignment that changes nothing costs a comparison only, and one that changes the
// pixels copies them into the control's own buffer once it has one (no allocation) and
// finds just the rows of the control that changed: the scrolling strips' text and a bar's
// moving top are a part of their images.
//
// A scrolling line changes all its text rows every tick, but only by moving them a pixel or
// two sideways: such a change is told as a move, which the window's presenter can make
// without sending the whole strip again. Where the changed rows go is the presenter's
// decision alone (window_presenter.h).
#include "image_control.h"

#include <algorithm>

#include <QApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>
#include <cstdlib>
#include <cstring>

#include "device_pixels.h"
#include "event_queue.h"
#include "pixel_rows.h"
#include "ui_internal.h"
#include "window_presenter.h"

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

}  // namespace

ImageControl::ImageControl(QWidget *parent, int number, int window)
    : QWidget(parent), number_(number), window_(window) {
    setMouseTracking(true);
}

ImageControl::~ImageControl() {
    // While the window itself goes, its presenter has gone already, and the parent no longer
    // reads as a top window.
    if (WindowPresenter *presenter = PresenterOf(*this)) presenter->ControlGone(*this);
}

void ImageControl::ShowChange(const QRect &changed, int dx) {
    if (WindowPresenter *presenter = PresenterOf(*this)) {
        presenter->ControlChanged(*this, changed, dx);
    } else if (dx != 0) {
        scroll(dx, 0, changed);
    } else {
        update(changed);
    }
}

void ImageControl::ShowReplaced() {
    if (WindowPresenter *presenter = PresenterOf(*this))
        presenter->ControlReplaced(*this);
    else
        update();
}

void ImageControl::ShowImage(const QImage &image, NativeHandle from) {
    shownSet_ = !image.isNull() && IsImageOfSet(from) ? from : 0;
    if (image.isNull()) {
        if (!image_.isNull()) {
            image_ = QImage();
            UpdateOpacity();
            ShowReplaced();
        }
        return;
    }
    if (const QSize shown = LogicalSize(image); size() != shown) resize(shown);
    if (image_.isNull() || !SameLayout(image_, image)) {
        // Shares the pixels until the image slot is drawn on again; from then on the
        // control owns this buffer and later assignments copy into it.
        image_ = image;
        UpdateOpacity();
        ShowReplaced();
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
    ShowChange(changed, dx);
}

void ImageControl::TakeImageOfSetAgain() {
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
