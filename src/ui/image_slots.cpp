// Image slots and font slots: numbered records whose addresses are their native handles.
#include <QFontDatabase>
#include <memory>
#include <unordered_set>
#include <vector>

#include "drawing.h"
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

}  // namespace

NativeHandle StoreImage(int slot, QImage image) {
    if (image.isNull()) {
        StoreInSlot<ImageRecord>(g_images, g_liveImages, slot, nullptr);
        return 0;
    }
    auto record = std::make_unique<ImageRecord>();
    record->image = std::move(image);
    return reinterpret_cast<NativeHandle>(
        StoreInSlot(g_images, g_liveImages, slot, std::move(record)));
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
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::black);  // nothing when the allocation failed: the slot is then left empty
    return StoreImage(slot, std::move(image));
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
