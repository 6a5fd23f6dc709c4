// Image controls: show one image (or none) blended over whatever lies below, and report
// clicks, double clicks, right clicks and drag starts as control events.
#pragma once

#include <QImage>
#include <QPoint>
#include <QRect>
#include <QWidget>

#include "widgets.h"

class ImageControl : public QWidget {
  public:
    ImageControl(QWidget *parent, int number, int window);
    ~ImageControl() override;

    // Shows a copy of the image as it is now and takes its size (LogicalSize: the image
    // holds device pixels); a null image shows nothing and keeps the size. `from` is the
    // image's handle, remembered when it names an image of a set.
    void ShowImage(const QImage &image, NativeHandle from = 0);
    const QImage &ShownImage() const { return image_; }
    // The image slots were made anew at another ratio: an image of a set is shown again from
    // its slot (drawn images are drawn again by their callers).
    void TakeImageOfSetAgain();

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
    // Hands a change to the window's presenter, or to Qt where the window has none.
    void ShowChange(const QRect &changed, int dx);
    void ShowReplaced();

    int number_;
    int window_;
    QImage image_;
    QPoint pressPosition_;  // screen position of the left press
    bool leftHeld_ = false;
    bool dragReported_ = false;
    bool releaseEndsRightDouble_ = false;
    int lastDx_ = 0;             // the sideways move of the last change, tried first on the next
    NativeHandle shownSet_ = 0;  // the image of a set shown, 0 for any other
};

bool IsImageControl(const QWidget *widget);
