// What the two halves of the widget layer share: the window and control half (windows,
// controls, events) and the image, font and drawing half. Not for use outside src/ui.
#pragma once

#include <QFont>
#include <QImage>
#include <QRect>
#include <QString>
#include <string_view>

#include "widgets.h"

// Every number space (windows, controls, image and font slots) ends here: the player's
// numbers stay below 1000, and a number far beyond that is a mistake that must not make a
// table allocate gigabytes.
constexpr int kNumberLimit = 1 << 16;

// An image slot's record; its address is the image's native handle.
struct ImageRecord {
    // Format_RGB32 (24-bit) or Format_ARGB32 (unmultiplied alpha), in device pixels at
    // DrawingRatio() (device_pixels.h): LogicalSize(image) is the size the player gave.
    QImage image;
    // An image of a set: decoded again from the set's files when the ratio changes. Drawing
    // on it lasts until then.
    bool fromSet = false;
    EncodedImageSet set{};
};

// A font slot's record; its address is the font's native handle.
struct FontRecord {
    QFont font;
};

// nullptr unless the handle names a live image / font of the layer.
const ImageRecord *ImageFromHandle(NativeHandle handle);
const FontRecord *FontFromHandle(NativeHandle handle);

// The image a window's drawing target paints on: painted above the window's background and
// below its controls. nullptr when the window does not exist. Created on first use, the size
// of the window's client area.
QImage *WindowOverlayImage(int window);
// Asks the window to repaint the part of the overlay that a drawing changed.
void WindowOverlayChanged(int window, const QRect &area);

// Destroys every image and font slot (part of ReleaseWidgetLayer).
void ReleaseImagesAndFonts();
// Makes every image slot anew at DrawingRatio(): an image of a set is decoded again (its
// handle stays), any other is scaled to the new size into a new record (a new handle, so that
// a caller that remembers what it drew by handle draws it again). Only called between drawings.
void RescaleImageSlots();
// True when the handle names an image of a set (which a control or background showing it
// takes again after RescaleImageSlots).
bool IsImageOfSet(NativeHandle handle);

// The one conversion of the layer's byte strings into text shown on screen.
QString DecodeDisplayText(std::string_view text);

// Puts an image into a slot (a null image empties the slot); the new handle or 0.
NativeHandle StoreImage(int slot, QImage image);
// The record in a slot, nullptr when empty. Drawing on an image goes through this.
ImageRecord *ImageInSlot(int slot);
// Puts a font into a slot, replacing (and destroying) the one held there.
NativeHandle StoreFont(int slot, const QFont &font);
