// Image controls. The refresh timer hands dozens of images to these controls every 35 ms,
// so an assignment that changes nothing costs a comparison only, and one that changes the
// pixels copies them into the control's own buffer once it has one (no allocation) and
// repaints just the rows of the control that changed: the scrolling strips' text and a
// bar's moving top are a part of their images, and every repainted row is also sent to the
// window system.
#include "image_control.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPainter>
#include <cstring>

#include "event_queue.h"

namespace {

bool SameLayout(const QImage &a, const QImage &b) {
    return a.size() == b.size() && a.format() == b.format() && a.bytesPerLine() == b.bytesPerLine();
}

// The bytes of a row that hold pixels (not the padding after them).
std::size_t UsedRowBytes(const QImage &image) {
    return (static_cast<std::size_t>(image.width()) * static_cast<std::size_t>(image.depth()) + 7) /
           8;
}

bool SameRow(const QImage &a, const QImage &b, int y, std::size_t bytes) {
    return std::memcmp(a.constScanLine(y), b.constScanLine(y), bytes) == 0;
}

}  // namespace

ImageControl::ImageControl(QWidget *parent, int number, int window)
    : QWidget(parent), number_(number), window_(window) {
    setMouseTracking(true);
}

void ImageControl::ShowImage(const QImage &image) {
    if (image.isNull()) {
        if (!image_.isNull()) {
            image_ = QImage();
            UpdateOpacity();
            update();
        }
        return;
    }
    if (size() != image.size()) resize(image.size());
    if (image_.isNull() || !SameLayout(image_, image)) {
        // Shares the pixels until the image slot is drawn on again; from then on the
        // control owns this buffer and later assignments copy into it.
        image_ = image;
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
    if (image_.isDetached()) {
        const auto line = static_cast<std::size_t>(image.bytesPerLine());
        std::memcpy(image_.scanLine(top), image.constScanLine(top),
                    line * static_cast<std::size_t>(bottom - top + 1));
    } else {
        image_ = image;
        UpdateOpacity();
    }
    update(QRect(0, top, width(), bottom - top + 1));
}

// An image without alpha that covers the whole control hides everything below it, so Qt
// need not paint the window underneath first: that halves the work of the refresh, whose
// strips and bars are such images. Anything else lets the window show through.
void ImageControl::UpdateOpacity() {
    const bool opaque = !image_.isNull() && !image_.hasAlphaChannel() && image_.size() == size();
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
