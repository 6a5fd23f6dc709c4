// A top-level window of the layer: paints its tiled background and the overlay that
// drawings on the window go to, and turns the input reaching its native window into the
// layer's window-level and input events.
#pragma once

#include <QImage>
#include <QPixmap>
#include <QRegion>
#include <QWidget>
#include <optional>

#include "image_control.h"
#include "window_presenter.h"

class TopWindow : public QWidget {
  public:
    // A see-through window (kWindowSeeThrough, widgets.h) is made with an alpha channel where
    // the desktop composites now.
    explicit TopWindow(int number, bool seeThrough = false);

    int Number() const { return number_; }
    // A snapshot of the image; later drawing on the image slot does not change it. `from` is
    // the image's handle, remembered when it names an image of a set.
    void SetBackground(const QImage &image, NativeHandle from = 0);
    // What the window shows in place of its background while it sees through (see
    // SeesThrough); its wholly opaque part and the controls take the pointer then.
    void SetSeeThroughImage(const QImage &image, NativeHandle from = 0);
    // Made with an alpha channel, and the desktop composites: the see-through image shows
    // and the rest of the window lets the pointer through.
    bool SeesThrough() const { return seesThrough_; }
    // The desktop started or stopped compositing: a window made with an alpha channel shows
    // its see-through image or its opaque background, and takes the pointer accordingly.
    void FollowCompositing(bool composites);
    // The part of the window that takes the pointer, as last given to the window system;
    // none: the whole window.
    const std::optional<QRegion> &InputRegion() const { return inputRegion_; }
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
    // Where the changed pixels of the window's image controls go (window_presenter.h).
    WindowPresenter &Presenter() { return presenter_; }

    bool eventFilter(QObject *watched, QEvent *event) override;

  protected:
    bool event(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

  private:
    void HandleNativeInput(QEvent *event);
    // Gives the window system the part that takes the pointer when it differs from the last
    // one given, or always with `again` (a native window shown anew forgets it).
    void UpdateInputRegion(bool again = false);

    int number_;
    QPixmap background_;
    NativeHandle backgroundSet_ = 0;  // the image of a set shown, 0 for any other
    QImage overlay_;
    // The overlay's pixels in the area of its last change, as they were then (see
    // OverlayChanged).
    QImage overlayLast_;
    QRect overlayLastArea_;
    // What the last expose event said; a window counts as in view until told otherwise.
    bool systemShown_ = true;
    // See-through windows (see_through_window.cpp).
    bool madeWithAlpha_ = false;
    bool seesThrough_ = false;
    QPixmap seeThrough_;
    NativeHandle seeThroughSet_ = 0;
    QRegion opaquePart_;  // of seeThrough_, in the window
    std::optional<QRegion> inputRegion_;
    WindowPresenter presenter_{*this};
};

// See SetWindowShownCallback.
void ReportWindowShown();
// A window went to another screen, or a screen's ratio changed: where the ratio images are made
// at changes, every image slot is made anew at the new one and every window repaints with it.
// Only called between drawings (from the layer's event handling).
void AdoptScreenRatio();
