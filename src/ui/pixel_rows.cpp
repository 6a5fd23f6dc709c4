#include "pixel_rows.h"

#include "device_pixels.h"

namespace {

// RGB32 keeps its alpha byte at 0xFF. Four pixels a step, from one image into another: the
// compiler makes each step one vector operation, which matters for a whole strip copied every
// tick.
void CopyOpaqueRow(const QRgb *__restrict from, QRgb *__restrict to, int width) {
    int x = 0;
    for (; x + 4 <= width; x += 4) {
        to[x] = from[x] | 0xFF000000u;
        to[x + 1] = from[x + 1] | 0xFF000000u;
        to[x + 2] = from[x + 2] | 0xFF000000u;
        to[x + 3] = from[x + 3] | 0xFF000000u;
    }
    for (; x < width; ++x)
        to[x] = from[x] | 0xFF000000u;
}

// Each 8-bit channel of x times a / 255, rounded as Qt's raster blending rounds it: two
// channels at a time in 16-bit lanes.
quint32 ScaleChannels(quint32 x, quint32 a) {
    constexpr quint64 kLanes = 0x00FF00FF00FF00FFull;
    quint64 t = ((quint64{x} | (quint64{x} << 24)) & kLanes) * a;
    t = ((t + ((t >> 8) & kLanes) + 0x0080008000800080ull) >> 8) & kLanes;
    return static_cast<quint32>(t) | static_cast<quint32>(t >> 24);
}

// Source over destination, premultiplied: mostly fully transparent (left alone) or fully
// opaque (copied) pixels, the edges of drawn text and shapes in between.
void BlendRowOver(const QRgb *from, QRgb *to, int width) {
    for (int x = 0; x < width; ++x) {
        const quint32 s = from[x];
        if (s >= 0xFF000000u)
            to[x] = s;
        else if (s != 0)
            to[x] = s + ScaleChannels(to[x], 255 - (s >> 24));
    }
}

// The 32-bit image behind `device` when the area `from` of the source lies within the source
// and, placed at `to`, within it, at one device pixel per pixel or at one whole ratio that both
// share; nullptr otherwise. `from` and `to` become device pixels. Opaque pixels read the same
// in every 32-bit format; blending needs a premultiplied or opaque target.
QImage *TargetFor(QPaintDevice *device, const QImage &source, QRect *from, QPoint *to,
                  bool onlyOpaquePixels) {
    if (!device || device->devType() != QInternal::Image) return nullptr;
    auto *target = static_cast<QImage *>(device);
    const QImage::Format format = target->format();
    if (format != QImage::Format_RGB32 && format != QImage::Format_ARGB32_Premultiplied &&
        !(onlyOpaquePixels && format == QImage::Format_ARGB32))
        return nullptr;
    const double ratio = source.devicePixelRatio();
    const int k = WholeRatio(ratio);
    if (k == 0 || target->devicePixelRatio() != ratio) return nullptr;
    if (k != 1) {
        *from = QRect(from->topLeft() * k, from->size() * k);
        *to *= k;
    }
    if ((*from & source.rect()) != *from) return nullptr;
    return target->rect().contains(QRect(*to, from->size())) ? target : nullptr;
}

// Runs `row` over each row of `from` in the source and the row at its place in the target.
void EachRow(const QImage &source, const QRect &from, QImage *target, QPoint to,
             void (*row)(const QRgb *from, QRgb *to, int width)) {
    for (int y = 0; y < from.height(); ++y)
        row(reinterpret_cast<const QRgb *>(source.constScanLine(from.y() + y)) + from.x(),
            reinterpret_cast<QRgb *>(target->scanLine(to.y() + y)) + to.x(), from.width());
}

}  // namespace

bool CopyOpaqueRows(const QImage &source, const QRect &from, QPaintDevice *device, QPoint to) {
    if (source.format() != QImage::Format_RGB32) return false;
    QRect area = from;
    QImage *target = TargetFor(device, source, &area, &to, true);
    if (!target) return false;
    EachRow(source, area, target, to, CopyOpaqueRow);
    return true;
}

bool BlendRowsOver(const QImage &source, const QRect &from, QPaintDevice *device, QPoint to) {
    if (source.format() != QImage::Format_ARGB32_Premultiplied) return false;
    QRect area = from;
    QImage *target = TargetFor(device, source, &area, &to, false);
    if (!target) return false;
    EachRow(source, area, target, to, BlendRowOver);
    return true;
}
