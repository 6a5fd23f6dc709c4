// A top-level window that shows the desktop through its backdrop: which background it shows
// and which part of it takes the pointer, following the desktop's compositing.
#include <QApplication>

#include "see_through.h"
#include "top_window.h"
#include "ui_internal.h"

namespace {

void FollowCompositingEverywhere() {
    const bool composites = DesktopComposites();
    for (QWidget *widget : QApplication::topLevelWidgets())
        if (auto *window = dynamic_cast<TopWindow *>(widget)) window->FollowCompositing(composites);
}

}  // namespace

void TopWindow::SetSeeThroughImage(const QImage &image, NativeHandle from) {
    seeThroughSet_ = IsImageOfSet(from) ? from : 0;
    seeThrough_ = QPixmap::fromImage(image);
    opaquePart_ = OpaquePart(image);
    // A compositing manager may start or stop while the player runs.
    if (madeWithAlpha_) WatchCompositing(FollowCompositingEverywhere);
    UpdateInputRegion();
    update();
}

void TopWindow::FollowCompositing(bool composites) {
    if (!madeWithAlpha_ || composites == seesThrough_) return;
    // Without a compositing manager the X server shows the window's colours as they are,
    // alpha left out: the opaque background then looks as on a window without alpha.
    seesThrough_ = composites;
    UpdateInputRegion();
    update();
}

void TopWindow::UpdateInputRegion(bool again) {
    std::optional<QRegion> region;
    if (seesThrough_ && !seeThrough_.isNull()) {
        // The controls take the pointer wherever they stand (a list panel slides out below
        // the skin's panel, over the desktop).
        region = opaquePart_;
        for (QObject *child : children()) {
            const auto *widget = qobject_cast<QWidget *>(child);
            if (widget && widget->isVisibleTo(this) && !widget->geometry().isEmpty())
                *region += widget->geometry();
        }
    }
    if (!again && region == inputRegion_) return;
    inputRegion_ = region;
    if (QWindow *native = windowHandle()) SetInputRegion(native, region);
}
