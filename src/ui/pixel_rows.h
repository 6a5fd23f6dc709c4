// Pixels copied or blended into Qt's backing store without a painter. For pixels that are
// plain copies or a plain blend, a painter only adds its set-up, its clipping and, for large
// areas, the threads of Qt's pool that it splits the work across.
#pragma once

#include <QImage>
#include <QPaintDevice>
#include <QPoint>
#include <QRect>

// Areas and places are in pixels of the window (device_pixels.h); both images must have one
// device pixel ratio, 1 or another whole number.
//
// The area `from` of an opaque RGB32 image copied to `to` in a 32-bit image, as drawing it
// would put it there (opaque pixels read the same
// premultiplied or not). False, with nothing copied, for any other image or device, or an
// area not wholly inside both: the caller then draws with a painter.
bool CopyOpaqueRows(const QImage &source, const QRect &from, QPaintDevice *device, QPoint to);

// The area `from` of a premultiplied ARGB32 image drawn over `to` in a 32-bit opaque or
// premultiplied image, exactly as a painter's default composition would put it there.
// False, with nothing drawn, for any other image or device, or an area not wholly inside
// both: the caller then draws with a painter.
bool BlendRowsOver(const QImage &source, const QRect &from, QPaintDevice *device, QPoint to);
