// A top-level window of the layer: paints its tiled background and the overlay that
// drawings on the window go to, and turns the input reaching its native window into the
// layer's window-level and input events.
#pragma once

#include <QImage>
#include <QPixmap>
#include <QPointer>
#include <QRegion>
#include <QWidget>
#include <cstdint>
#include <utility>
#include <vector>

#include "image_control.h"

class TopWindow : public QWidget {
  public:
    explicit TopWindow(int number);

    int Number() const { return number_; }
    // A snapshot of the image; later drawing on the image slot does not change it. `from` is
    // the image's handle, remembered when it names an image of a set.
    void SetBackground(const QImage &image, NativeHandle from = 0);
    // Transparent and the size of the client area on first use, in device pixels at
    // DrawingRatio() (device_pixels.h).
    QImage *Overlay();
    void OverlayChanged(const QRect &area);
    // The image slots were made anew at DrawingRatio(): the background and the controls take
    // their images of a set again, the overlay is scaled to the new ratio (until it is drawn
    // again), and the window repaints.
    void AdoptDrawingRatio();
    // Creates the native window and starts watching the input that reaches it.
    void WatchNativeWindow();
    // Visible, not minimised, and not taken out of view by the window system.
    bool Showing() const;
    // The player shows the window: whatever the window system said before no longer holds.
    void ExpectShown() { systemShown_ = true; }
    // What image controls change straight in the backing store (see FlushStorePaints): a
    // control with pixels to copy there, and an area of the window to send.
    void ControlToPaint(ImageControl *control);
    void PaintedInStore(const QRect &area);
    void FlushPaintedInStore();
    // What the store holds of the controls may be older than what the window shows (Qt moved
    // pixels on the server only): the next copy of each control copies all of it.
    void ForgetStoreCopies();

    // Changes whenever one of the window's child widgets may have moved, changed its size,
    // visibility or stacking, come or gone: what was learnt of their overlaps holds while it
    // stays the same.
    std::uint64_t ChildLayoutGeneration() const { return childLayoutGeneration_; }

    bool eventFilter(QObject *watched, QEvent *event) override;

  protected:
    bool event(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

  private:
    void HandleNativeInput(QEvent *event);

    int number_;
    QPixmap background_;
    NativeHandle backgroundSet_ = 0;  // the image of a set shown, 0 for any other
    QImage overlay_;
    // The overlay's pixels in the area of its last change, as they were then (see
    // OverlayChanged).
    QImage overlayLast_;
    QRect overlayLastArea_;
    QRegion paintedInStore_;
    std::vector<QPointer<ImageControl>> controlsToPaint_;
    struct Copy {
        ImageControl *control;
        ImageControl::PendingPaint pending;
        QRect toStore;  // in the window
    };
    std::vector<Copy> copies_;  // kept for its capacity
    // The whole areas of the controls that go to the server straight, whose every pixel in
    // the store is current, and their union (see FlushPaintedInStore). They hold for one
    // child layout.
    std::vector<QRect> currentInStore_;
    QRegion currentInStoreRegion_;
    std::uint64_t currentInStoreGeneration_ = 0;
    // Whether the native window's format has no alpha, and the child layout it was learnt in.
    bool formatHasNoAlpha_ = false;
    std::uint64_t formatGeneration_ = 0;
    // What the last expose event said; a window counts as in view until told otherwise.
    bool systemShown_ = true;
    std::uint64_t childLayoutGeneration_ = 1;
};

// See SetWindowShownCallback.
void ReportWindowShown();
// A window went to another screen, or a screen's ratio changed: where the ratio images are made
// at changes, every image slot is made anew at the new one and every window repaints with it.
// Only called between drawings (from the layer's event handling).
void AdoptScreenRatio();

// Sends what image controls painted into their windows' backing stores since the last call
// to the window system: one flush per window for all the controls a tick changed. Called
// after each tick and before the layer waits for events.
void FlushStorePaints();
