// PNG decoding from memory. libpng reports errors by longjmp, so every libpng call that can
// fail runs inside one of two small functions that hold no C++ objects with destructors: a
// longjmp out of libpng never skips a destructor. The C++ side (RAII of the libpng structs,
// the QImage, the row table) lives in the caller's frame and is cleaned up normally.
#include "png_decode.h"

#include <png.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "ui_internal.h"

namespace {

// Skin images are at most 600 x 400; anything beyond these is a crafted or broken header.
constexpr png_uint_32 kMaxSide = 16384;
constexpr std::uint64_t kMaxPixels = 64ull * 1024 * 1024;
// Deflate cannot expand data by more than about 1032 times, so a header that claims more
// pixel bytes than the file could ever inflate to is a lie; refuse it before allocating.
constexpr std::uint64_t kMaxInflateRatio = 1032;
// No single ancillary chunk of a skin image needs more than this.
constexpr png_alloc_size_t kMaxChunkBytes = 8 * 1024 * 1024;

struct MemorySource {
    const png_byte *data;
    std::size_t length;
    std::size_t offset;
};

void ReadFromMemory(png_structp png, png_bytep out, png_size_t count) {
    auto *source = static_cast<MemorySource *>(png_get_io_ptr(png));
    if (count > source->length - source->offset) png_error(png, "truncated");
    std::memcpy(out, source->data + source->offset, count);
    source->offset += count;
}

[[noreturn]] void OnPngError(png_structp png, png_const_charp) {
    png_longjmp(png, 1);
}
void OnPngWarning(png_structp, png_const_charp) {}

struct PngReadDeleter {
    void operator()(png_struct *png) const { png_destroy_read_struct(&png, nullptr, nullptr); }
};
struct PngInfoDeleter {
    png_struct *png;
    void operator()(png_info *info) const { png_destroy_info_struct(png, &info); }
};

struct PngLayout {
    png_uint_32 width;
    png_uint_32 height;
    std::uint64_t packedBytes;  // the pixel data before any expansion, without filter bytes
    bool hasAlpha;
};

// Reads the header and sets up every expansion so that each row arrives as four bytes per
// pixel in QImage's 32-bit layout. False on any libpng error.
bool ReadPngLayout(png_structp png, png_infop info, PngLayout *layout) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_read_info(png, info);
    png_uint_32 width = 0, height = 0;
    int bitDepth = 0, colourType = 0;
    png_get_IHDR(png, info, &width, &height, &bitDepth, &colourType, nullptr, nullptr, nullptr);
    const int channels = png_get_channels(png, info);
    const bool hasTransparencyChunk = png_get_valid(png, info, PNG_INFO_tRNS) != 0;

    if (colourType == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(png);
    if (colourType == PNG_COLOR_TYPE_GRAY && bitDepth < 8) png_set_expand_gray_1_2_4_to_8(png);
    if (hasTransparencyChunk) png_set_tRNS_to_alpha(png);
    if (bitDepth == 16) png_set_scale_16(png);
    if (!(colourType & PNG_COLOR_MASK_COLOR)) png_set_gray_to_rgb(png);
    const bool hasAlpha = (colourType & PNG_COLOR_MASK_ALPHA) || hasTransparencyChunk;
#if Q_BYTE_ORDER == Q_LITTLE_ENDIAN
    // QImage's 0xAARRGGBB words lie in memory as B, G, R, A.
    png_set_bgr(png);
    if (!hasAlpha) png_set_filler(png, 0xFF, PNG_FILLER_AFTER);
#else
    if (hasAlpha)
        png_set_swap_alpha(png);
    else
        png_set_filler(png, 0xFF, PNG_FILLER_BEFORE);
#endif
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    if (png_get_rowbytes(png, info) != static_cast<png_size_t>(width) * 4) return false;

    layout->width = width;
    layout->height = height;
    layout->packedBytes = static_cast<std::uint64_t>(height) *
                          ((static_cast<std::uint64_t>(width) * channels * bitDepth + 7) / 8);
    layout->hasAlpha = hasAlpha;
    return true;
}

// Reads every pass of the pixel data and the chunks after it. False on any libpng error.
bool ReadPngRows(png_structp png, png_bytepp rows) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_read_image(png, rows);
    png_read_end(png, nullptr);
    return true;
}

}  // namespace

QImage DecodePng(const void *data, std::size_t length) {
    if (!data || length < 8) return {};
    const auto *bytes = static_cast<const png_byte *>(data);
    if (png_sig_cmp(bytes, 0, 8) != 0) return {};

    std::unique_ptr<png_struct, PngReadDeleter> png(
        png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, OnPngError, OnPngWarning));
    if (!png) return {};
    std::unique_ptr<png_info, PngInfoDeleter> info(png_create_info_struct(png.get()),
                                                   PngInfoDeleter{png.get()});
    if (!info) return {};

    MemorySource source{bytes, length, 0};
    png_set_read_fn(png.get(), &source, ReadFromMemory);
    png_set_user_limits(png.get(), kMaxSide, kMaxSide);
    png_set_chunk_malloc_max(png.get(), kMaxChunkBytes);

    PngLayout layout{};
    if (!ReadPngLayout(png.get(), info.get(), &layout)) return {};
    if (layout.width == 0 || layout.height == 0 || layout.width > kMaxSide ||
        layout.height > kMaxSide)
        return {};
    if (static_cast<std::uint64_t>(layout.width) * layout.height > kMaxPixels) return {};
    if (layout.packedBytes > static_cast<std::uint64_t>(length) * kMaxInflateRatio) return {};

    QImage image(static_cast<int>(layout.width), static_cast<int>(layout.height),
                 layout.hasAlpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    if (image.isNull()) return {};
    std::vector<png_bytep> rows(layout.height);
    for (png_uint_32 y = 0; y < layout.height; ++y)
        rows[y] = image.scanLine(static_cast<int>(y));
    if (!ReadPngRows(png.get(), rows.data())) return {};
    return image;
}

NativeHandle DecodeImageFromMemory(int slot, const void *data, std::size_t length) {
    return StoreImage(slot, DecodePng(data, length));
}
