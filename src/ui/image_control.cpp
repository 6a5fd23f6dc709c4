// Image controls. The refresh timer hands dozens of images to these controls every 35 ms,
// so an assignment that changes nothing costs a comparison only, and one that changes the
// pixels copies them into the control's own buffer once it has one (no allocation) and
// repaints just the control's rectangle.
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

bool SamePixels(const QImage &shown, const QImage &given) {
    if (shown.isNull()) return false;
    if (shown.cacheKey() == given.cacheKey()) return true;
    return SameLayout(shown, given) &&
           std::memcmp(shown.constBits(), given.constBits(),
                       static_cast<std::size_t>(given.sizeInBytes())) == 0;
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
    if (SamePixels(image_, image)) return;
    if (image_.isDetached() && SameLayout(image_, image)) {
        std::memcpy(image_.bits(), image.constBits(),
                    static_cast<std::size_t>(image.sizeInBytes()));
    } else {
        // Shares the pixels until the image slot is drawn on again; from then on the
        // control owns this buffer and later assignments copy into it.
        image_ = image;
        UpdateOpacity();
    }
    update();
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
