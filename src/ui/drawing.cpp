// Off-screen drawing on an image slot or on a window's overlay image.
//
// The refresh timer runs some forty-six drawings every 35 ms, mostly fills and short lines on
// tiny images, so those write the 32-bit pixels directly; a QPainter would cost more than the
// drawing itself. A QPainter is opened only inside one text or image operation and closed
// before it returns, and the target image is looked up anew by every operation: no painter or
// pixel pointer outlives an operation, whatever later happens to the slot or window.
//
// Coordinates are pixels of the window; the target holds device pixels (device_pixels.h). A
// box covers the device pixels between the device edges of its own edges, a line's pixel the
// square of device pixels of that pixel, and text and images are drawn at the device
// resolution. At ratio 1 every operation writes exactly the pixels it names.
#include <QFontDatabase>
#include <QFontMetrics>
#include <QGlyphRun>
#include <QGuiApplication>
#include <QPainter>
#include <QScreen>
#include <QTextLayout>
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>

#include "device_pixels.h"
#include "drawing.h"
#include "ui_internal.h"

namespace {

// A target names a slot or window number; the low bits say which, so 0 never names one.
constexpr DrawingTarget kImageTag = 1;
constexpr DrawingTarget kWindowTag = 2;
constexpr int kTagBits = 2;

enum class TargetKind { kImage, kWindow };

// The refresh timer measures the same marquee text in the same fonts every 35 ms; shaping a
// long text costs far more than comparing it with the last few.
struct MeasuredText {
    QFont font;
    std::string text;
    int width = 0;
    int height = 0;  // the font's line height, kept so a tick needs no font metrics
    // Laid out on first drawing: the shaped glyphs and the baseline they were placed on.
    std::optional<QList<QGlyphRun>> glyphs;
    double baseline = 0.0;
    // Drawn once in opaque mode on its back colour, with the margin around its box where
    // glyphs may overhang; null until first needed. The scrolling line then copies a few
    // rows of pixels each tick instead of painting a hundred glyphs.
    QImage rendered;
    Colour renderedPen = 0;
    Colour renderedBack = 0;
    double renderedRatio = 1.0;
    std::uint64_t lastUse = 0;  // the least recently used entry is replaced
};
// Rendered texts larger than this are drawn directly each time instead of being kept.
constexpr qsizetype kMaxRenderedPixels = 1 << 20;
constexpr std::size_t kMeasuredTexts = 4;

struct Drawing {
    bool active = false;
    TargetKind kind = TargetKind::kImage;
    int number = -1;
    QFont font;
    std::optional<QFontMetrics> metrics;  // of font, made on first use
    bool transparentText = false;
    Colour pen = 0;
    Colour textBack = 0xFFFFFF;
    QRect changed;  // window targets: the device pixels EndDrawing asks the window to repaint
    // Set while the whole target is known to hold one opaque pixel value (a fill of all of
    // it and nothing since): text on it then needs no look at its surroundings. The image's
    // cache key tells a replaced or otherwise changed image.
    //
    // Such a fill is only noted (not written) until something needs the pixels: the
    // scrolling strips are filled and then mostly covered by a copy of their rendered text,
    // so only what the text leaves is filled (DrawTextInColour). Every other operation, and
    // the end of the drawing, writes it first (PixelsOf).
    struct Plain {
        qint64 imageKey = 0;
        QRgb pixel = 0;
        Colour colour = 0;
        bool written = true;
    };
    std::optional<Plain> plain;
    std::array<MeasuredText, kMeasuredTexts> measured;  // kept from drawing to drawing
    std::uint64_t uses = 0;
};

// Held by pointer and released by ReleaseDrawingState: the fonts inside must not outlive the
// application object, which a static object's destructor at exit would make them do.
Drawing *g_drawing = nullptr;
std::optional<QFont> *g_systemFont = nullptr;

Drawing &State() {
    if (!g_drawing) g_drawing = new Drawing;
    return *g_drawing;
}

Drawing *ActiveDrawing() {
    return g_drawing && g_drawing->active ? g_drawing : nullptr;
}

// The platform's system font with its size in pixels, so that measuring without a device and
// painting on an image of any resolution agree.
const QFont &SystemDrawingFont() {
    if (!g_systemFont) g_systemFont = new std::optional<QFont>;
    if (!*g_systemFont) {
        QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
        if (font.pixelSize() <= 0) {
            const QScreen *screen = QGuiApplication::primaryScreen();
            const double dpi =
                screen && screen->logicalDotsPerInchY() > 0 ? screen->logicalDotsPerInchY() : 96.0;
            font.setPixelSize(std::max(1, static_cast<int>(std::nearbyint(
                                              std::max(font.pointSizeF(), 1.0) * dpi / 72.0))));
        }
        *g_systemFont = font;
    }
    return **g_systemFont;
}

const QFontMetrics &Metrics(Drawing &drawing) {
    if (!drawing.metrics) drawing.metrics.emplace(drawing.font);
    return *drawing.metrics;
}

MeasuredText &Measure(Drawing &drawing, const std::string &text) {
    // The marquee's texts are used every tick, the clock's a new one every second: replacing
    // the least recently used entry keeps the marquee's.
    ++drawing.uses;
    MeasuredText *oldest = &drawing.measured[0];
    for (MeasuredText &entry : drawing.measured) {
        if (entry.text == text && entry.font == drawing.font) {
            entry.lastUse = drawing.uses;
            return entry;
        }
        if (entry.lastUse < oldest->lastUse) oldest = &entry;
    }
    MeasuredText &entry = *oldest;
    entry.lastUse = drawing.uses;
    entry.font = drawing.font;
    entry.text = text;
    entry.width = Metrics(drawing).horizontalAdvance(DecodeDisplayText(text));
    entry.height = Metrics(drawing).height();
    entry.glyphs.reset();
    entry.rendered = QImage();
    return entry;
}

// One unwrapped line of the text in the entry's font, shaped once and kept.
const QList<QGlyphRun> &LaidOutGlyphs(MeasuredText &entry) {
    if (!entry.glyphs) {
        QTextLayout layout(DecodeDisplayText(entry.text), entry.font);
        QTextOption option;
        option.setWrapMode(QTextOption::NoWrap);
        layout.setTextOption(option);
        layout.beginLayout();
        QTextLine line = layout.createLine();
        if (line.isValid()) line.setLineWidth(1e6);
        layout.endLayout();
        entry.baseline = line.isValid() ? line.ascent() : 0.0;
        entry.glyphs = layout.glyphRuns();
    }
    return *entry.glyphs;
}

// The target as it is, a noted fill of it perhaps not yet written (see Drawing::Plain). Must:
// only taken by an operation that writes that fill itself (WritePendingFill) before it reads
// or changes any pixel the fill would not be replaced by; every other operation takes
// PixelsOf, or the fill is lost.
QImage *TargetBeforeFill(const Drawing &drawing) {
    if (drawing.kind == TargetKind::kWindow) {
        QImage *overlay = WindowOverlayImage(drawing.number);
        return overlay && !overlay->isNull() ? overlay : nullptr;
    }
    ImageRecord *record = ImageInSlot(drawing.number);
    return record && !record->image.isNull() ? &record->image : nullptr;
}

QRgb OpaquePixel(Colour colour) {
    return qRgb(colour & 0xFF, (colour >> 8) & 0xFF, (colour >> 16) & 0xFF);
}

QColor OpaqueColour(Colour colour) {
    return QColor::fromRgb(OpaquePixel(colour));
}

// Formats whose pixels are 0xAARRGGBB words, where an opaque colour has the same value.
bool HasDirectPixels(const QImage &image) {
    const QImage::Format format = image.format();
    return format == QImage::Format_RGB32 || format == QImage::Format_ARGB32 ||
           format == QImage::Format_ARGB32_Premultiplied;
}

void NoteChanged(Drawing &drawing, const QRect &area) {
    if (drawing.kind == TargetKind::kWindow && !area.isEmpty()) drawing.changed |= area;
}

// The part of left <= px < right, top <= py < bottom that lies in the image.
QRect ClipToImage(const QImage &image, std::int64_t left, std::int64_t top, std::int64_t right,
                  std::int64_t bottom) {
    left = std::max<std::int64_t>(left, 0);
    top = std::max<std::int64_t>(top, 0);
    right = std::min<std::int64_t>(right, image.width());
    bottom = std::min<std::int64_t>(bottom, image.height());
    if (left >= right || top >= bottom) return {};
    return QRect(static_cast<int>(left), static_cast<int>(top), static_cast<int>(right - left),
                 static_cast<int>(bottom - top));
}

// Fills left <= px < right, top <= py < bottom, clipped to the image; the filled area.
QRect FillPixels(QImage &image, std::int64_t left, std::int64_t top, std::int64_t right,
                 std::int64_t bottom, Colour colour) {
    const QRect area = ClipToImage(image, left, top, right, bottom);
    if (area.isEmpty()) return {};
    if (!HasDirectPixels(image)) {
        QPainter painter(&image);
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        painter.fillRect(area, OpaqueColour(colour));
        return area;
    }
    const QRgb pixel = OpaquePixel(colour);
    uchar *bits = image.bits();  // detaches a copy an image control still holds
    const qsizetype stride = image.bytesPerLine();
    // The first row word by word; the others are copies of it, which the C library does
    // many words at a time (the scrolling strips fill thousands of pixels every tick).
    auto *first = reinterpret_cast<QRgb *>(bits + area.top() * stride) + area.left();
    std::fill(first, first + area.width(), pixel);
    const std::size_t rowBytes = static_cast<std::size_t>(area.width()) * sizeof(QRgb);
    for (int y = area.top() + 1; y <= area.bottom(); ++y)
        std::memcpy(reinterpret_cast<QRgb *>(bits + y * stride) + area.left(), first, rowBytes);
    return area;
}

// Writes a fill of the whole target that was only noted. An image replaced meanwhile (another
// cache key) never had it.
void WritePendingFill(Drawing &drawing, QImage &image) {
    if (!drawing.plain || drawing.plain->written) return;
    if (drawing.plain->imageKey != image.cacheKey()) {
        drawing.plain.reset();
        return;
    }
    FillPixels(image, 0, 0, image.width(), image.height(), drawing.plain->colour);
    drawing.plain->imageKey = image.cacheKey();
    drawing.plain->written = true;
}

// The target with every pixel the drawing has made so far written.
QImage *PixelsOf(Drawing &drawing) {
    QImage *image = TargetBeforeFill(drawing);
    if (image) WritePendingFill(drawing, *image);
    return image;
}

// Sets the pixels (major, minor) of a line stepping along its major axis, swapped back to
// (x, y) when the major axis is y. Only the steps whose major coordinate lies inside the
// image are visited, so a line of any length costs at most one image side.
QRect PlotLine(QImage &image, std::int64_t major1, std::int64_t minor1, std::int64_t major2,
               std::int64_t minor2, bool majorIsY, Colour colour) {
    const double ratio = image.devicePixelRatio();
    const QSize size = LogicalSize(image);
    // Always run from the lower major end, so that swapping the end points gives the same
    // pixels.
    if (major2 < major1) {
        std::swap(major1, major2);
        std::swap(minor1, minor2);
    }
    const std::int64_t majorSize = majorIsY ? size.height() : size.width();
    const std::int64_t minorSize = majorIsY ? size.width() : size.height();
    const std::int64_t run = major2 - major1;
    const std::int64_t rise = minor2 >= minor1 ? minor2 - minor1 : minor1 - minor2;
    const std::int64_t minorStep = minor2 >= minor1 ? 1 : -1;
    const std::int64_t first = std::max<std::int64_t>(0, -major1);
    const std::int64_t last = std::min<std::int64_t>(run, majorSize - 1 - major1);
    if (first > last) return {};

    const bool direct = HasDirectPixels(image);
    const QRgb pixel = OpaquePixel(colour);
    uchar *bits = direct && ratio == 1.0 ? image.bits() : nullptr;
    const qsizetype stride = image.bytesPerLine();
    // Step i lies rise * i / run minor pixels from the start, rounded half up: the quotient
    // and remainder of (2 * rise * i + run) / (2 * run), advanced without dividing.
    const std::int64_t denominator = 2 * std::max<std::int64_t>(run, 1);
    const std::int64_t start = 2 * rise * first + run;
    std::int64_t offset = start / denominator;
    std::int64_t remainder = start % denominator;
    QRect touched;
    for (std::int64_t i = first; i <= last; ++i) {
        const std::int64_t major = major1 + i;
        const std::int64_t minor = minor1 + minorStep * offset;
        if (minor >= 0 && minor < minorSize) {
            const int x = static_cast<int>(majorIsY ? minor : major);
            const int y = static_cast<int>(majorIsY ? major : minor);
            if (ratio != 1.0) {
                touched |= FillPixels(image, DeviceEdge(x, ratio), DeviceEdge(y, ratio),
                                      DeviceEdge(x + 1, ratio), DeviceEdge(y + 1, ratio), colour);
            } else if (direct) {
                reinterpret_cast<QRgb *>(bits + y * stride)[x] = pixel;
                touched |= QRect(x, y, 1, 1);
            } else {
                image.setPixelColor(x, y, OpaqueColour(colour));
                touched |= QRect(x, y, 1, 1);
            }
        }
        remainder += 2 * rise;
        while (remainder >= denominator) {
            remainder -= denominator;
            ++offset;
        }
    }
    return touched;
}

// True when every pixel of the margin around the box, inside the image, has the colour:
// there, glyphs drawn over the target and glyphs drawn over that colour give the same pixels.
bool MarginIsPlain(const QImage &image, const QRect &box, int margin, QRgb pixel) {
    const QRect outer = ClipToImage(image, static_cast<std::int64_t>(box.left()) - margin,
                                    static_cast<std::int64_t>(box.top()) - margin,
                                    static_cast<std::int64_t>(box.right()) + 1 + margin,
                                    static_cast<std::int64_t>(box.bottom()) + 1 + margin);
    for (int py = outer.top(); py <= outer.bottom(); ++py) {
        const auto *row = reinterpret_cast<const QRgb *>(image.constScanLine(py));
        const bool besideBox = py >= box.top() && py <= box.bottom();
        for (int px = outer.left(); px <= outer.right(); ++px) {
            if (besideBox && px >= box.left() && px <= box.right()) {
                px = box.right();
                continue;
            }
            if ((row[px] | 0xFF000000u) != pixel) return false;
        }
    }
    return true;
}

// Rendered at the target's ratio: the copy is then of device pixels.
const QImage &RenderedText(Drawing &drawing, MeasuredText &measured, Colour pen, Colour back,
                           int margin, double ratio) {
    if (measured.rendered.isNull() || measured.renderedPen != pen ||
        measured.renderedBack != back || measured.renderedRatio != ratio) {
        const QFontMetrics &metrics = Metrics(drawing);
        const int height = measured.height;
        measured.rendered = QImage(DeviceLength(measured.width + 2 * margin, ratio),
                                   DeviceLength(height + 2 * margin, ratio), QImage::Format_RGB32);
        measured.rendered.fill(OpaquePixel(back));
        measured.rendered.setDevicePixelRatio(ratio);
        measured.renderedRatio = ratio;
        const QList<QGlyphRun> &glyphs = LaidOutGlyphs(measured);
        const QPointF origin(margin,
                             static_cast<double>(margin) + metrics.ascent() - measured.baseline);
        QPainter painter(&measured.rendered);
        painter.setPen(OpaqueColour(pen));
        for (const QGlyphRun &run : glyphs)
            painter.drawGlyphRun(origin, run);
        measured.renderedPen = pen;
        measured.renderedBack = back;
    }
    return measured.rendered;
}

// Copies the part of `from` placed with its top-left at (x, y) that lies in the image.
QRect CopyPixels(QImage &image, const QImage &from, std::int64_t x, std::int64_t y) {
    const QRect area = ClipToImage(image, x, y, x + from.width(), y + from.height());
    if (area.isEmpty()) return {};
    uchar *bits = image.bits();  // detaches a copy an image control still holds
    const qsizetype stride = image.bytesPerLine();
    for (int py = area.top(); py <= area.bottom(); ++py) {
        const auto *source =
            reinterpret_cast<const QRgb *>(from.constScanLine(static_cast<int>(py - y))) +
            (area.left() - x);
        std::copy_n(source, area.width(),
                    reinterpret_cast<QRgb *>(bits + py * stride) + area.left());
    }
    return area;
}

void DrawTextInColour(int x, int y, const std::string &text, Colour colour) {
    Drawing *drawing = ActiveDrawing();
    if (!drawing || text.empty()) return;
    QImage *image = TargetBeforeFill(*drawing);  // a noted fill may stay unwritten: see below
    if (!image) return;
    MeasuredText &measured = Measure(*drawing, text);
    const std::int64_t width = measured.width;
    const std::int64_t height = measured.height;
    // Glyphs may overhang their cells a little, never by a whole line height. A text that
    // cannot reach the image is skipped, which also keeps far-off coordinates away from the
    // paint engine's fixed-point arithmetic.
    const std::int64_t margin = std::max<std::int64_t>(height, 1);
    const double ratio = image->devicePixelRatio();
    const QSize size = LogicalSize(*image);
    if (x - margin >= size.width() || x + width + margin <= 0 || y - margin >= size.height() ||
        y + height + margin <= 0)
        return;
    // Opaque text whose surroundings are its back colour, as on the scrolling strips: the
    // same pixels come from the text rendered once.
    const QRect box =
        DeviceRect(QRect(x, y, static_cast<int>(width), static_cast<int>(height)), ratio);
    const int deviceMargin = DeviceLength(static_cast<int>(margin), ratio);
    const QRgb back = OpaquePixel(drawing->textBack);
    const bool allBack = drawing->plain && drawing->plain->imageKey == image->cacheKey() &&
                         drawing->plain->pixel == back;
    const bool fillNoted = allBack && !drawing->plain->written;
    const Colour fill = fillNoted ? drawing->plain->colour : 0;
    if (!allBack) WritePendingFill(*drawing, *image);
    if (!drawing->transparentText && image->format() == QImage::Format_RGB32 &&
        (width + 2 * margin) * (height + 2 * margin) <= kMaxRenderedPixels &&
        (allBack || MarginIsPlain(*image, box, deviceMargin, back))) {
        drawing->plain.reset();
        const QImage &rendered = RenderedText(*drawing, measured, colour, drawing->textBack,
                                              static_cast<int>(margin), ratio);
        const QRect copied = CopyPixels(*image, rendered, DeviceEdge(x - margin, ratio),
                                        DeviceEdge(y - margin, ratio));
        NoteChanged(*drawing, copied);
        if (fillNoted) {
            // The noted fill, around the copy: the same pixels as the fill and then the copy.
            const int w = image->width(), h = image->height();
            if (copied.isEmpty()) {
                FillPixels(*image, 0, 0, w, h, fill);
            } else {
                FillPixels(*image, 0, 0, w, copied.top(), fill);
                FillPixels(*image, 0, copied.bottom() + 1, w, h, fill);
                FillPixels(*image, 0, copied.top(), copied.left(), copied.bottom() + 1, fill);
                FillPixels(*image, copied.right() + 1, copied.top(), w, copied.bottom() + 1, fill);
            }
        }
        return;
    }
    WritePendingFill(*drawing, *image);
    drawing->plain.reset();
    if (!drawing->transparentText)
        NoteChanged(*drawing, FillPixels(*image, box.left(), box.top(), box.left() + box.width(),
                                         box.top() + box.height(), drawing->textBack));
    {
        const QList<QGlyphRun> &glyphs = LaidOutGlyphs(measured);
        const QPointF origin(
            x, static_cast<double>(y) + Metrics(*drawing).ascent() - measured.baseline);
        QPainter painter(image);
        painter.setPen(OpaqueColour(colour));
        for (const QGlyphRun &run : glyphs)
            painter.drawGlyphRun(origin, run);
    }
    NoteChanged(
        *drawing,
        ClipToImage(*image, DeviceEdge(x - margin, ratio), DeviceEdge(y - margin, ratio),
                    DeviceEdge(x + width + margin, ratio), DeviceEdge(y + height + margin, ratio)));
}

}  // namespace

DrawingTarget WindowDrawingTarget(int window) {
    if (window < 0 || !WindowOverlayImage(window)) return 0;
    return (static_cast<DrawingTarget>(window) << kTagBits) | kWindowTag;
}

DrawingTarget ImageDrawingTarget(int slot) {
    if (slot < 0 || !ImageInSlot(slot)) return 0;
    return (static_cast<DrawingTarget>(slot) << kTagBits) | kImageTag;
}

int BeginDrawing(DrawingTarget target) {
    // One drawing at a time: a drawing still running is finished first.
    if (ActiveDrawing()) EndDrawing();
    const DrawingTarget tag = target & ((DrawingTarget{1} << kTagBits) - 1);
    const DrawingTarget number = target >> kTagBits;
    if ((tag != kImageTag && tag != kWindowTag) || number > static_cast<DrawingTarget>(INT32_MAX))
        return 0;
    Drawing &drawing = State();
    drawing.kind = tag == kWindowTag ? TargetKind::kWindow : TargetKind::kImage;
    drawing.number = static_cast<int>(number);
    if (!TargetBeforeFill(drawing)) return 0;
    drawing.active = true;
    drawing.font = SystemDrawingFont();
    drawing.metrics.reset();
    drawing.transparentText = false;
    drawing.pen = 0;
    drawing.textBack = 0xFFFFFF;
    drawing.changed = QRect();
    drawing.plain.reset();
    return 1;
}

void EndDrawing() {
    Drawing *drawing = ActiveDrawing();
    if (!drawing) return;
    const QImage *target = PixelsOf(*drawing);
    drawing->active = false;
    drawing->metrics.reset();
    // The font is kept until the next drawing sets its own: a default font made here would
    // take the application's font lock every time.
    if (drawing->kind == TargetKind::kWindow && !drawing->changed.isEmpty()) {
        WindowOverlayChanged(
            drawing->number,
            CoveringRect(drawing->changed, target ? target->devicePixelRatio() : 1.0));
    }
    drawing->changed = QRect();
}

void SetDrawingFont(NativeHandle font) {
    Drawing *drawing = ActiveDrawing();
    const FontRecord *record = FontFromHandle(font);
    if (!drawing || !record) return;
    drawing->font = record->font;
    drawing->metrics.reset();
}

void SetDrawingMode(int transparentText) {
    if (Drawing *drawing = ActiveDrawing()) drawing->transparentText = transparentText != 0;
}

void SetPenColour(Colour colour) {
    if (Drawing *drawing = ActiveDrawing()) drawing->pen = colour;
}

void SetTextBackColour(Colour colour) {
    if (Drawing *drawing = ActiveDrawing()) drawing->textBack = colour;
}

void FillBox(int x, int y, int width, int height, Colour colour) {
    Drawing *drawing = ActiveDrawing();
    if (!drawing || width == 0 || height == 0) return;
    QImage *image = TargetBeforeFill(*drawing);  // a fill of all of it is only noted: see below
    if (!image) return;
    // A negative size spans the same number of pixels on the other side of x or y.
    const std::int64_t x1 = x, x2 = static_cast<std::int64_t>(x) + width;
    const std::int64_t y1 = y, y2 = static_cast<std::int64_t>(y) + height;
    const double ratio = image->devicePixelRatio();
    const QSize size = LogicalSize(*image);
    if (std::min(x1, x2) <= 0 && std::min(y1, y2) <= 0 && std::max(x1, x2) >= size.width() &&
        std::max(y1, y2) >= size.height() && HasDirectPixels(*image) &&
        drawing->kind == TargetKind::kImage) {
        // All of an image slot: noted, written when needed (see Drawing::Plain). A window's
        // overlay is filled at once: Qt may paint from it while a drawing goes on.
        NoteChanged(*drawing, image->rect());
        drawing->plain = Drawing::Plain{image->cacheKey(), OpaquePixel(colour), colour, false};
        return;
    }
    WritePendingFill(*drawing, *image);
    const QRect filled = FillPixels(
        *image, DeviceEdge(std::min(x1, x2), ratio), DeviceEdge(std::min(y1, y2), ratio),
        DeviceEdge(std::max(x1, x2), ratio), DeviceEdge(std::max(y1, y2), ratio), colour);
    NoteChanged(*drawing, filled);
    drawing->plain.reset();
    if (filled == image->rect() && HasDirectPixels(*image))
        drawing->plain = Drawing::Plain{image->cacheKey(), OpaquePixel(colour)};
}

void DrawLine(int x1, int y1, int x2, int y2, Colour colour) {
    Drawing *drawing = ActiveDrawing();
    if (!drawing) return;
    QImage *image = PixelsOf(*drawing);
    if (!image) return;
    const std::int64_t dx = std::abs(static_cast<std::int64_t>(x2) - x1);
    const std::int64_t dy = std::abs(static_cast<std::int64_t>(y2) - y1);
    drawing->plain.reset();
    NoteChanged(*drawing, dx >= dy ? PlotLine(*image, x1, y1, x2, y2, false, colour)
                                   : PlotLine(*image, y1, x1, y2, x2, true, colour));
}

void DrawTextAt(int x, int y, const std::string &text) {
    if (Drawing *drawing = ActiveDrawing()) DrawTextInColour(x, y, text, drawing->pen);
}

void DrawTextAt(int x, int y, const std::string &text, Colour colour) {
    DrawTextInColour(x, y, text, colour);
}

int TextPixelWidth(const std::string &text) {
    Drawing *drawing = ActiveDrawing();
    if (!drawing || text.empty()) return 0;
    return Measure(*drawing, text).width;
}

void DrawImageScaled(NativeHandle imageHandle, int x, int y, int width, int height) {
    Drawing *drawing = ActiveDrawing();
    const ImageRecord *record = ImageFromHandle(imageHandle);
    if (!drawing || !record || width < 1 || height < 1) return;
    QImage *target = PixelsOf(*drawing);
    if (!target) return;
    // A shallow copy: drawing an image into itself then reads the pixels it had before, since
    // writing to the target detaches it from this copy.
    const QImage source = record->image;
    if (source.isNull()) return;
    const double ratio = target->devicePixelRatio();
    const std::int64_t left = DeviceEdge(x, ratio), top = DeviceEdge(y, ratio);
    const std::int64_t right = DeviceEdge(static_cast<std::int64_t>(x) + width, ratio);
    const std::int64_t bottom = DeviceEdge(static_cast<std::int64_t>(y) + height, ratio);
    const QRect visible = ClipToImage(*target, left, top, right, bottom);
    if (visible.isEmpty()) return;
    drawing->plain.reset();

    if (right - left == source.width() && bottom - top == source.height() &&
        source.format() == QImage::Format_RGB32 && HasDirectPixels(*target)) {
        // Same size and opaque: a plain copy of the visible rows.
        uchar *bits = target->bits();
        const qsizetype stride = target->bytesPerLine();
        for (int ty = visible.top(); ty <= visible.bottom(); ++ty) {
            const auto *from =
                reinterpret_cast<const QRgb *>(source.constScanLine(static_cast<int>(ty - top))) +
                (visible.left() - left);
            std::copy_n(from, visible.width(),
                        reinterpret_cast<QRgb *>(bits + ty * stride) + visible.left());
        }
    } else {
        // The part of the source that lands on the visible area, so that a huge stretch never
        // hands the paint engine far-off coordinates. The painter works in pixels of the
        // window, the source rectangle in the source's device pixels.
        const QRectF shown(visible.left() / ratio, visible.top() / ratio, visible.width() / ratio,
                           visible.height() / ratio);
        const double scaleX = static_cast<double>(source.width()) / width;
        const double scaleY = static_cast<double>(source.height()) / height;
        const QRectF from((shown.left() - static_cast<double>(x)) * scaleX,
                          (shown.top() - static_cast<double>(y)) * scaleY, shown.width() * scaleX,
                          shown.height() * scaleY);
        QPainter painter(target);
        painter.drawImage(shown, source, from);
    }
    NoteChanged(*drawing, visible);
}

void ForgetMeasuredTexts() {
    if (!g_drawing) return;
    g_drawing->measured = {};
}

void ReleaseDrawingState() {
    delete g_drawing;
    g_drawing = nullptr;
    delete g_systemFont;
    g_systemFont = nullptr;
}
