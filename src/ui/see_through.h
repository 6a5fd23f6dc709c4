// Windows that show the desktop through their backdrop: whether the desktop composites
// windows with alpha, the part of an image that takes the pointer, and the native window's
// input region.
#pragma once

#include <QImage>
#include <QRegion>
#include <QWindow>
#include <optional>

// Whether windows with alpha are blended over what lies beneath them: on X11 while a
// compositing manager owns the _NET_WM_CM_S<screen> selection of the display's screen, always
// on Wayland, never elsewhere (the offscreen platform). Asks the X server each time.
bool DesktopComposites();

// The pixels of `image` that are wholly opaque, in pixels of the window (device_pixels.h): at
// a ratio above 1 a window pixel counts when any of its device pixels does. What the eye
// reads as the desktop (an edge's anti-aliased pixels, a shadow, a faded reflection) lets
// the pointer through.
QRegion OpaquePart(const QImage &image);

// Only `region` (in pixels of the window) of the native window takes the pointer; the rest
// passes it to what lies beneath. Without a region, the whole window takes it again. Must:
// the native window exists. On X11 the input shape of the Shape extension (Qt's own mask
// there sets the bounding shape, which would cut the shadow off too); on Wayland the
// surface's input region (QWindow::setMask sets only that on a window with alpha); nothing
// elsewhere.
void SetInputRegion(QWindow *window, const std::optional<QRegion> &region);

// `changed` is called on the user-interface thread, from Qt's handling of the X server's
// events, whenever a compositing manager starts or stops on the display's screen. Only
// called once the application object exists; a later call replaces the callback. Nothing
// happens on other platforms: Wayland always composites.
void WatchCompositing(void (*changed)());
