// Image controls: show one image (or none) blended over whatever lies below, and report
// clicks, double clicks, right clicks and drag starts as control events.
#pragma once

#include <QImage>
#include <QPaintDevice>
#include <QPoint>
#include <QRect>
#include <QWidget>
#include <cstdint>

#include "widgets.h"
#include "x11_pixels.h"

class ImageControl : public QWidget {
  public:
    ImageControl(QWidget *parent, int number, int window);

    // Shows a copy of the image as it is now and takes its size (LogicalSize: the image
    // holds device pixels); a null image shows nothing and keeps the size. `from` is the
    // image's handle, remembered when it names an image of a set.
    void ShowImage(const QImage &image, NativeHandle from = 0);
    const QImage &ShownImage() const { return image_; }
    // The image slots were made anew at another ratio: an image of a set is shown again from
    // its slot (drawn images are drawn again by their callers).
    void TakeImageOfSetAgain();

    // For the window's flush: the area (in the window) still to be copied into its backing
    // store, whether it also goes straight to the X server, and its sideways move there.
    struct PendingPaint {
        QRect area;
        bool toServer = false;
        int dx = 0;
    };
    PendingPaint TakePendingPaint();
    // Opaque, in view and uncovered: what Qt would paint here is the image alone.
    bool CanPaintInStore() const;
    void CopyToStore(QPaintDevice *device, const QRect &area) const;
    // Sends a pending paint to the X server; false, and nothing sent, where that cannot be.
    bool SendToServer(const PendingPaint &paint);
    // The pixels change some other way: the server's copy of them no longer holds.
    void ForgetServerCopy() { mirror_.Forget(); }

  protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

  private:
    void StartLeftPress(QMouseEvent *event);
    int wheelRest_ = 0;  // eighths of a degree turned short of a whole notch
    void UpdateOpacity();
    // Another control or label of the window lies above some part of this one.
    bool CoveredFromAbove() const;
    // Moves the changed rows dx pixels sideways in the window's backing store where they
    // are such a move, and leaves the rest to be copied there when the window flushes;
    // false where only Qt's own repaint is right.
    bool PaintAtOnce(const QRect &changed, int dx);

    int number_;
    int window_;
    QImage image_;
    QPoint pressPosition_;  // screen position of the left press
    bool leftHeld_ = false;
    bool dragReported_ = false;
    bool releaseEndsRightDouble_ = false;
    QRect pendingPaint_;  // in the control; see PaintAtOnce
    bool pendingToServer_ = false;
    int pendingDx_ = 0;
    int lastDx_ = 0;             // the sideways move of the last change, tried first on the next
    NativeHandle shownSet_ = 0;  // the image of a set shown, 0 for any other
    X11Mirror mirror_;
    // What CoveredFromAbove found, and the window's child layout it holds for.
    mutable const QWidget *coveredWindow_ = nullptr;
    mutable std::uint64_t coveredGeneration_ = 0;
    mutable bool covered_ = false;
};

bool IsImageControl(const QWidget *widget);
