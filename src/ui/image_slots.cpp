// Image slots and font slots: numbered records whose addresses are their native handles.
#include <QFontDatabase>
#include <algorithm>
#include <cmath>
#include <memory>
#include <unordered_set>
#include <vector>

#include "device_pixels.h"
#include "drawing.h"
#include "png_decode.h"
#include "text_encoding.h"
#include "ui_internal.h"

namespace {

// Blank images are drawing surfaces of a few hundred pixels a side.
constexpr int kMaxBlankSide = 16384;
constexpr long long kMaxBlankPixels = 64ll * 1024 * 1024;

std::vector<std::unique_ptr<ImageRecord>> g_images;
std::vector<std::unique_ptr<FontRecord>> g_fonts;
// Live records, so that a stale or invented handle is recognised and ignored.
std::unordered_set<const void *> g_liveImages;
std::unordered_set<const void *> g_liveFonts;

template <typename Record>
Record *StoreInSlot(std::vector<std::unique_ptr<Record>> &table,
                    std::unordered_set<const void *> &live, int slot,
                    std::unique_ptr<Record> record) {
    if (slot < 0 || slot >= kNumberLimit) return nullptr;
    if (static_cast<std::size_t>(slot) >= table.size()) table.resize(slot + 1);
    if (table[slot]) live.erase(table[slot].get());
    table[slot] = std::move(record);
    if (table[slot]) live.insert(table[slot].get());
    return table[slot].get();
}

template <typename Record>
Record *InSlot(const std::vector<std::unique_ptr<Record>> &table, int slot) {
    if (slot < 0 || static_cast<std::size_t>(slot) >= table.size()) return nullptr;
    return table[slot].get();
}

// The image of `size` pixels at the ratio: its pixels scaled to the device size where they
// are another size, with a filter that averages what it shrinks.
QImage AtRatio(QImage image, QSize size, double ratio) {
    if (image.isNull() || size.isEmpty()) return {};
    const QSize device(DeviceLength(size.width(), ratio), DeviceLength(size.height(), ratio));
    if (image.size() != device) {
        const QImage::Format format = image.format();
        image = image.scaled(device, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                    .convertToFormat(format);
    }
    image.setDevicePixelRatio(ratio);
    return image;
}

// Decodes the file of the set that fits the ratio: the next larger one, or the largest.
QImage DecodeSet(const EncodedImageSet &set, double ratio) {
    int pick = std::min(2, std::max(0, static_cast<int>(std::ceil(ratio - 1e-9)) - 1));
    // A missing file falls back to a smaller one.
    while (pick > 0 && (!set.data[pick] || set.length[pick] == 0))
        --pick;
    const int scale = pick + 1;
    QImage image = DecodePng(set.data[pick], set.length[pick]);
    if (image.isNull() || image.width() % scale != 0 || image.height() % scale != 0) return {};
    const QSize size = image.size() / scale;
    return AtRatio(std::move(image), size, ratio);
}

NativeHandle StoreRecord(int slot, std::unique_ptr<ImageRecord> record) {
    if (record->image.isNull()) {
        StoreInSlot<ImageRecord>(g_images, g_liveImages, slot, nullptr);
        return 0;
    }
    return reinterpret_cast<NativeHandle>(
        StoreInSlot(g_images, g_liveImages, slot, std::move(record)));
}

}  // namespace

NativeHandle StoreImage(int slot, QImage image) {
    auto record = std::make_unique<ImageRecord>();
    const QSize size = image.size();
    record->image = AtRatio(std::move(image), size, DrawingRatio());
    return StoreRecord(slot, std::move(record));
}

NativeHandle DecodeImageSetFromMemory(int slot, const EncodedImageSet &set) {
    auto record = std::make_unique<ImageRecord>();
    record->image = DecodeSet(set, DrawingRatio());
    record->fromSet = true;
    record->set = set;
    return StoreRecord(slot, std::move(record));
}

void RescaleImageSlots() {
    const double ratio = DrawingRatio();
    for (std::size_t slot = 0; slot < g_images.size(); ++slot) {
        std::unique_ptr<ImageRecord> &held = g_images[slot];
        if (!held) continue;
        if (held->fromSet) {
            QImage image = DecodeSet(held->set, ratio);
            if (!image.isNull()) held->image = std::move(image);
            continue;
        }
        // Made before the old record goes, so that the new handle differs from the old.
        auto record = std::make_unique<ImageRecord>();
        record->image = AtRatio(held->image, LogicalSize(held->image), ratio);
        if (record->image.isNull()) continue;
        StoreInSlot(g_images, g_liveImages, static_cast<int>(slot), std::move(record));
    }
    ForgetMeasuredTexts();
}

bool IsImageOfSet(NativeHandle handle) {
    const ImageRecord *record = ImageFromHandle(handle);
    return record && record->fromSet;
}

ImageRecord *ImageInSlot(int slot) {
    return InSlot(g_images, slot);
}

NativeHandle StoreFont(int slot, const QFont &font) {
    auto record = std::make_unique<FontRecord>();
    record->font = font;
    return reinterpret_cast<NativeHandle>(
        StoreInSlot(g_fonts, g_liveFonts, slot, std::move(record)));
}

NativeHandle CreateBlankImage(int slot, int width, int height) {
    if (width <= 0 || height <= 0 || width > kMaxBlankSide || height > kMaxBlankSide ||
        static_cast<long long>(width) * height > kMaxBlankPixels) {
        StoreInSlot<ImageRecord>(g_images, g_liveImages, slot, nullptr);
        return 0;
    }
    const double ratio = DrawingRatio();
    QImage image(DeviceLength(width, ratio), DeviceLength(height, ratio), QImage::Format_RGB32);
    image.fill(Qt::black);  // nothing when the allocation failed: the slot is then left empty
    image.setDevicePixelRatio(ratio);
    auto record = std::make_unique<ImageRecord>();
    record->image = std::move(image);
    return StoreRecord(slot, std::move(record));
}

NativeHandle NativeImageHandle(int slot) {
    return reinterpret_cast<NativeHandle>(InSlot(g_images, slot));
}

NativeHandle NativeFontHandle(int slot) {
    return reinterpret_cast<NativeHandle>(InSlot(g_fonts, slot));
}

const ImageRecord *ImageFromHandle(NativeHandle handle) {
    const auto *p = reinterpret_cast<const ImageRecord *>(handle);
    return handle && g_liveImages.count(p) ? p : nullptr;
}

const FontRecord *FontFromHandle(NativeHandle handle) {
    const auto *p = reinterpret_cast<const FontRecord *>(handle);
    return handle && g_liveFonts.count(p) ? p : nullptr;
}

void ReleaseImagesAndFonts() {
    ReleaseDrawingState();
    g_images.clear();
    g_fonts.clear();
    g_liveImages.clear();
    g_liveFonts.clear();
}

QString DecodeDisplayText(std::string_view text) {
    // Bounded here, where every shown text passes: a title of megabytes or of thousands of
    // stacked accents would otherwise cost seconds of shaping in the list, labels and marquee.
    const std::string utf8 = ShownText(text);
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}
