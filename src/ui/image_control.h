// Image controls: show one image (or none) blended over whatever lies below, and report
// clicks, double clicks, right clicks and drag starts as control events.
#pragma once

#include <QImage>
#include <QPoint>
#include <QRect>
#include <QWidget>

class ImageControl : public QWidget {
  public:
    ImageControl(QWidget *parent, int number, int window);

    // Shows a copy of the image as it is now and takes its size; a null image shows nothing
    // and keeps the size.
    void ShowImage(const QImage &image);
    const QImage &ShownImage() const { return image_; }

  protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

  private:
    void StartLeftPress(QMouseEvent *event);
    void UpdateOpacity();
    // Another control or label of the window lies above some part of this one.
    bool CoveredFromAbove() const;
    // Paints the changed rows (moved dx pixels sideways) into the window's backing store
    // and sends them to the window system; false where only Qt's own repaint is right.
    bool PaintAtOnce(const QRect &changed, int dx);

    int number_;
    int window_;
    QImage image_;
    QPoint pressPosition_;  // screen position of the left press
    bool leftHeld_ = false;
    bool dragReported_ = false;
    bool releaseEndsRightDouble_ = false;
};

bool IsImageControl(const QWidget *widget);
