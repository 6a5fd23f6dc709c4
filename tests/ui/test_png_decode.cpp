// Decoding PNG data from memory into an image slot: every colour type and bit depth, the
// transparency chunk, interlacing, and bad data of every kind leaving the slot empty.
#include <gtest/gtest.h>
#include <png.h>

#include <QImage>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <vector>

#include "ui_internal.h"
#include "widgets.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

// A PNG to write: samples per pixel in the file's own channel order and bit depth.
struct PngPicture {
    int width = 0;
    int height = 0;
    int colourType = PNG_COLOR_TYPE_RGB;
    int bitDepth = 8;
    bool interlaced = false;
    std::vector<png_color> palette;
    std::vector<png_byte> paletteAlpha;  // tRNS of a palette image
    bool hasTransparentColour = false;
    png_color_16 transparentColour{};  // tRNS of a grey or RGB image
    std::vector<unsigned> samples;     // width * height * channels
};

int ChannelCount(int colourType) {
    switch (colourType) {
        case PNG_COLOR_TYPE_GRAY:
        case PNG_COLOR_TYPE_PALETTE:
            return 1;
        case PNG_COLOR_TYPE_GRAY_ALPHA:
            return 2;
        case PNG_COLOR_TYPE_RGB:
            return 3;
        default:
            return 4;
    }
}

// Packs samples into PNG rows: below 8 bits most significant first, 16 bits big-endian.
std::vector<Bytes> PackRows(const PngPicture &picture) {
    const int channels = ChannelCount(picture.colourType);
    std::vector<Bytes> rows(picture.height);
    const std::size_t rowBits =
        static_cast<std::size_t>(picture.width) * channels * picture.bitDepth;
    for (int y = 0; y < picture.height; ++y) {
        Bytes &row = rows[y];
        row.assign((rowBits + 7) / 8, 0);
        std::size_t bit = 0;
        for (int i = 0; i < picture.width * channels; ++i) {
            const unsigned value =
                picture.samples[static_cast<std::size_t>(y) * picture.width * channels + i];
            if (picture.bitDepth == 16) {
                row[bit / 8] = static_cast<std::uint8_t>(value >> 8);
                row[bit / 8 + 1] = static_cast<std::uint8_t>(value);
            } else if (picture.bitDepth == 8) {
                row[bit / 8] = static_cast<std::uint8_t>(value);
            } else {
                const int shift = 8 - picture.bitDepth - static_cast<int>(bit % 8);
                row[bit / 8] |= static_cast<std::uint8_t>(value << shift);
            }
            bit += picture.bitDepth;
        }
    }
    return rows;
}

void AppendToVector(png_structp png, png_bytep data, png_size_t length) {
    auto *out = static_cast<Bytes *>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + length);
}
void FlushNothing(png_structp) {}

// libpng reports writing errors by longjmp; this frame holds nothing with a destructor.
bool WriteWithLibpng(png_structp png, png_infop info, const PngPicture &picture, png_bytepp rows,
                     Bytes *out) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_set_write_fn(png, out, AppendToVector, FlushNothing);
    png_set_IHDR(png, info, picture.width, picture.height, picture.bitDepth, picture.colourType,
                 picture.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (!picture.palette.empty())
        png_set_PLTE(png, info, picture.palette.data(), static_cast<int>(picture.palette.size()));
    if (!picture.paletteAlpha.empty())
        png_set_tRNS(png, info, picture.paletteAlpha.data(),
                     static_cast<int>(picture.paletteAlpha.size()), nullptr);
    if (picture.hasTransparentColour)
        png_set_tRNS(png, info, nullptr, 0, &picture.transparentColour);
    png_write_info(png, info);
    png_write_image(png, rows);
    png_write_end(png, info);
    return true;
}

Bytes WritePng(const PngPicture &picture) {
    std::vector<Bytes> rows = PackRows(picture);
    std::vector<png_bytep> rowPointers;
    for (Bytes &row : rows)
        rowPointers.push_back(row.data());
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    Bytes out;
    const bool written = WriteWithLibpng(png, info, picture, rowPointers.data(), &out);
    png_destroy_write_struct(&png, &info);
    EXPECT_TRUE(written);
    return out;
}

// A picture whose samples run through every value of the bit depth, pixel after pixel.
PngPicture Ramp(int colourType, int bitDepth, int width, int height) {
    PngPicture picture;
    picture.width = width;
    picture.height = height;
    picture.colourType = colourType;
    picture.bitDepth = bitDepth;
    const unsigned top = (1u << bitDepth) - 1;
    const std::size_t count = static_cast<std::size_t>(width) * height * ChannelCount(colourType);
    for (std::size_t i = 0; i < count; ++i) {
        // Spread over the range so that 16-bit samples are not all multiples of 257.
        picture.samples.push_back(static_cast<unsigned>((i * 2654435761u + i / 3) % (top + 1ull)));
    }
    return picture;
}

unsigned To8Bits(unsigned value, int bitDepth) {
    if (bitDepth == 16) return static_cast<unsigned>(std::lround(value * 255.0 / 65535.0));
    return value * 255 / ((1u << bitDepth) - 1);
}

const QImage *DecodedInSlot(int slot) {
    const ImageRecord *record = ImageInSlot(slot);
    return record ? &record->image : nullptr;
}

constexpr int kSlot = 40;

void ExpectDecodes(const PngPicture &picture, QImage::Format format) {
    const Bytes png = WritePng(picture);
    ASSERT_NE(DecodeImageFromMemory(kSlot, png.data(), png.size()), 0u);
    const QImage *image = DecodedInSlot(kSlot);
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->format(), format);
    EXPECT_EQ(image->width(), picture.width);
    EXPECT_EQ(image->height(), picture.height);
}

}  // namespace

class PngDecodeTest : public ::testing::Test {
  protected:
    void TearDown() override { StoreImage(kSlot, QImage()); }
};

TEST_F(PngDecodeTest, DecodeImage_GreyEveryBitDepth_BecomesOpaqueRgbWithSameLevels) {
    for (int bitDepth : {1, 2, 4, 8, 16}) {
        SCOPED_TRACE(bitDepth);
        const PngPicture picture = Ramp(PNG_COLOR_TYPE_GRAY, bitDepth, 9, 5);
        ExpectDecodes(picture, QImage::Format_RGB32);
        const QImage &image = *DecodedInSlot(kSlot);
        for (int y = 0; y < picture.height; ++y) {
            for (int x = 0; x < picture.width; ++x) {
                const unsigned level = To8Bits(
                    picture.samples[static_cast<std::size_t>(y) * picture.width + x], bitDepth);
                EXPECT_EQ(image.pixel(x, y), qRgb(level, level, level)) << x << "," << y;
            }
        }
    }
}

TEST_F(PngDecodeTest, DecodeImage_GreyAlpha_BecomesUnmultipliedArgb) {
    for (int bitDepth : {8, 16}) {
        SCOPED_TRACE(bitDepth);
        const PngPicture picture = Ramp(PNG_COLOR_TYPE_GRAY_ALPHA, bitDepth, 7, 4);
        ExpectDecodes(picture, QImage::Format_ARGB32);
        const QImage &image = *DecodedInSlot(kSlot);
        for (int y = 0; y < picture.height; ++y) {
            for (int x = 0; x < picture.width; ++x) {
                const std::size_t at = (static_cast<std::size_t>(y) * picture.width + x) * 2;
                const unsigned level = To8Bits(picture.samples[at], bitDepth);
                const unsigned alpha = To8Bits(picture.samples[at + 1], bitDepth);
                EXPECT_EQ(image.pixel(x, y), qRgba(level, level, level, alpha)) << x << "," << y;
            }
        }
    }
}

TEST_F(PngDecodeTest, DecodeImage_RgbAndRgba_KeepEverySample) {
    for (int colourType : {PNG_COLOR_TYPE_RGB, PNG_COLOR_TYPE_RGB_ALPHA}) {
        for (int bitDepth : {8, 16}) {
            SCOPED_TRACE(colourType * 100 + bitDepth);
            const PngPicture picture = Ramp(colourType, bitDepth, 6, 5);
            const bool alpha = colourType == PNG_COLOR_TYPE_RGB_ALPHA;
            ExpectDecodes(picture, alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
            const QImage &image = *DecodedInSlot(kSlot);
            const int channels = alpha ? 4 : 3;
            for (int y = 0; y < picture.height; ++y) {
                for (int x = 0; x < picture.width; ++x) {
                    const std::size_t at =
                        (static_cast<std::size_t>(y) * picture.width + x) * channels;
                    const QRgb expected =
                        qRgba(To8Bits(picture.samples[at], bitDepth),
                              To8Bits(picture.samples[at + 1], bitDepth),
                              To8Bits(picture.samples[at + 2], bitDepth),
                              alpha ? To8Bits(picture.samples[at + 3], bitDepth) : 255);
                    EXPECT_EQ(image.pixel(x, y), expected) << x << "," << y;
                }
            }
        }
    }
}

TEST_F(PngDecodeTest, DecodeImage_HalfTransparentPixel_KeepsColourUnmultiplied) {
    PngPicture picture;
    picture.width = 1;
    picture.height = 1;
    picture.colourType = PNG_COLOR_TYPE_RGB_ALPHA;
    picture.samples = {200, 100, 50, 128};
    ExpectDecodes(picture, QImage::Format_ARGB32);
    EXPECT_EQ(DecodedInSlot(kSlot)->pixel(0, 0), 0x80C86432u);
}

TEST_F(PngDecodeTest, DecodeImage_PaletteEveryBitDepth_ExpandsWithAndWithoutTransparency) {
    for (int bitDepth : {1, 2, 4, 8}) {
        for (bool withAlpha : {false, true}) {
            SCOPED_TRACE(bitDepth * 10 + withAlpha);
            PngPicture picture = Ramp(PNG_COLOR_TYPE_PALETTE, bitDepth, 11, 3);
            const int entries = 1 << bitDepth;
            for (int i = 0; i < entries; ++i) {
                picture.palette.push_back({static_cast<png_byte>(i * 7 + 1),
                                           static_cast<png_byte>(255 - i),
                                           static_cast<png_byte>(i * 13 % 256)});
            }
            // A shorter transparency table than the palette: the rest stays opaque.
            if (withAlpha) {
                for (int i = 0; i < std::max(1, entries / 2); ++i)
                    picture.paletteAlpha.push_back(static_cast<png_byte>(i * 37 % 256));
            }
            ExpectDecodes(picture, withAlpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
            const QImage &image = *DecodedInSlot(kSlot);
            for (int y = 0; y < picture.height; ++y) {
                for (int x = 0; x < picture.width; ++x) {
                    const unsigned index =
                        picture.samples[static_cast<std::size_t>(y) * picture.width + x];
                    const png_color &c = picture.palette[index];
                    const unsigned alpha =
                        index < picture.paletteAlpha.size() ? picture.paletteAlpha[index] : 255;
                    EXPECT_EQ(image.pixel(x, y), qRgba(c.red, c.green, c.blue, alpha))
                        << x << "," << y;
                }
            }
        }
    }
}

TEST_F(PngDecodeTest, DecodeImage_GreyAndRgbWithTransparentColour_GetAlphaChannel) {
    PngPicture grey;
    grey.width = 3;
    grey.height = 1;
    grey.colourType = PNG_COLOR_TYPE_GRAY;
    grey.samples = {10, 77, 200};
    grey.hasTransparentColour = true;
    grey.transparentColour.gray = 77;
    ExpectDecodes(grey, QImage::Format_ARGB32);
    const QImage &greyImage = *DecodedInSlot(kSlot);
    EXPECT_EQ(greyImage.pixel(0, 0), qRgba(10, 10, 10, 255));
    EXPECT_EQ(qAlpha(greyImage.pixel(1, 0)), 0);
    EXPECT_EQ(greyImage.pixel(2, 0), qRgba(200, 200, 200, 255));

    PngPicture rgb;
    rgb.width = 2;
    rgb.height = 1;
    rgb.colourType = PNG_COLOR_TYPE_RGB;
    rgb.samples = {1, 2, 3, 4, 5, 6};
    rgb.hasTransparentColour = true;
    rgb.transparentColour.red = 4;
    rgb.transparentColour.green = 5;
    rgb.transparentColour.blue = 6;
    ExpectDecodes(rgb, QImage::Format_ARGB32);
    EXPECT_EQ(DecodedInSlot(kSlot)->pixel(0, 0), qRgba(1, 2, 3, 255));
    EXPECT_EQ(qAlpha(DecodedInSlot(kSlot)->pixel(1, 0)), 0);
}

TEST_F(PngDecodeTest, DecodeImage_Interlaced_GivesSamePixelsAsPlain) {
    for (int colourType : {PNG_COLOR_TYPE_RGB, PNG_COLOR_TYPE_RGB_ALPHA, PNG_COLOR_TYPE_GRAY}) {
        SCOPED_TRACE(colourType);
        PngPicture picture = Ramp(colourType, colourType == PNG_COLOR_TYPE_GRAY ? 2 : 16, 13, 11);
        const Bytes plain = WritePng(picture);
        picture.interlaced = true;
        const Bytes interlaced = WritePng(picture);
        ASSERT_NE(plain, interlaced);
        ASSERT_NE(DecodeImageFromMemory(kSlot, plain.data(), plain.size()), 0u);
        const QImage expected = *DecodedInSlot(kSlot);
        ASSERT_NE(DecodeImageFromMemory(kSlot, interlaced.data(), interlaced.size()), 0u);
        EXPECT_EQ(*DecodedInSlot(kSlot), expected);
    }
}

TEST_F(PngDecodeTest, DecodeImage_ReplacesImageInSlot_HandleNamesNewImage) {
    const PngPicture picture = Ramp(PNG_COLOR_TYPE_RGB, 8, 4, 4);
    const Bytes png = WritePng(picture);
    CreateBlankImage(kSlot, 30, 30);
    const NativeHandle handle = DecodeImageFromMemory(kSlot, png.data(), png.size());
    EXPECT_EQ(handle, NativeImageHandle(kSlot));
    EXPECT_EQ(ImageFromHandle(handle)->image.size(), QSize(4, 4));
}

// --- Bad data ----------------------------------------------------------------------------

namespace {

std::uint32_t Crc32(const std::uint8_t *data, std::size_t length) {
    std::uint32_t crc = 0xFFFFFFFFu;
    for (std::size_t i = 0; i < length; ++i) {
        crc ^= data[i];
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

std::uint32_t ReadBigEndian(const Bytes &bytes, std::size_t at) {
    return (std::uint32_t{bytes[at]} << 24) | (std::uint32_t{bytes[at + 1]} << 16) |
           (std::uint32_t{bytes[at + 2]} << 8) | bytes[at + 3];
}

void WriteBigEndian(Bytes &bytes, std::size_t at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i)
        bytes[at + i] = static_cast<std::uint8_t>(value >> (24 - 8 * i));
}

// Recomputes the checksum of every whole chunk, so that a change inside a chunk reaches the
// code behind the checksum test.
void FixChunkChecksums(Bytes &png) {
    std::size_t at = 8;
    while (at + 12 <= png.size()) {
        const std::uint64_t length = ReadBigEndian(png, at);
        if (at + 12 + length > png.size()) break;
        WriteBigEndian(png, at + 8 + length, Crc32(png.data() + at + 4, length + 4));
        at += 12 + length;
    }
}

void ExpectSlotEmptiedBy(const void *data, std::size_t length) {
    CreateBlankImage(kSlot, 2, 2);
    EXPECT_EQ(DecodeImageFromMemory(kSlot, data, length), 0u);
    EXPECT_EQ(NativeImageHandle(kSlot), 0u);
    EXPECT_EQ(ImageInSlot(kSlot), nullptr);
}

}  // namespace

TEST_F(PngDecodeTest, DecodeImage_NullOrEmptyOrNotPng_LeavesSlotEmpty) {
    const std::uint8_t text[] = "GIF89a and then some bytes that are no PNG at all";
    const std::uint8_t signatureOnly[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    ExpectSlotEmptiedBy(nullptr, 100);
    ExpectSlotEmptiedBy(text, 0);
    ExpectSlotEmptiedBy(text, sizeof text);
    ExpectSlotEmptiedBy(signatureOnly, sizeof signatureOnly);
    ExpectSlotEmptiedBy(signatureOnly, 4);
}

TEST_F(PngDecodeTest, DecodeImage_EveryTruncation_LeavesSlotEmpty) {
    PngPicture picture = Ramp(PNG_COLOR_TYPE_RGB_ALPHA, 8, 5, 4);
    picture.interlaced = true;
    const Bytes png = WritePng(picture);
    for (std::size_t length = 0; length < png.size(); ++length) {
        SCOPED_TRACE(length);
        ExpectSlotEmptiedBy(png.data(), length);
    }
}

TEST_F(PngDecodeTest, DecodeImage_CorruptChecksumOrPixelData_LeavesSlotEmpty) {
    const Bytes png = WritePng(Ramp(PNG_COLOR_TYPE_RGB, 8, 16, 16));
    Bytes badChecksum = png;
    badChecksum[33 + 10] ^= 0x40;  // a byte inside the first chunk after the header
    ExpectSlotEmptiedBy(badChecksum.data(), badChecksum.size());

    // Broken compressed data behind a valid checksum: the inflater itself must refuse it.
    Bytes badData = png;
    for (std::size_t i = 33 + 8 + 2; i < badData.size() - 12; ++i)
        badData[i] = 0xFF;
    FixChunkChecksums(badData);
    ExpectSlotEmptiedBy(badData.data(), badData.size());
}

TEST_F(PngDecodeTest, DecodeImage_HeaderClaimsHugeSize_LeavesSlotEmpty) {
    const Bytes png = WritePng(Ramp(PNG_COLOR_TYPE_RGB, 8, 2, 2));
    // Width and height sit at bytes 16 and 20, inside the header chunk.
    const std::uint32_t sizes[][2] = {
        {20000, 1}, {1, 20000}, {16384, 16384}, {0x7FFFFFFF, 0x7FFFFFFF}, {0, 5}, {4000, 4000}};
    for (const auto &[width, height] : sizes) {
        SCOPED_TRACE(width);
        Bytes lying = png;
        WriteBigEndian(lying, 16, width);
        WriteBigEndian(lying, 20, height);
        FixChunkChecksums(lying);
        ExpectSlotEmptiedBy(lying.data(), lying.size());
    }
}

TEST_F(PngDecodeTest, DecodeImage_RandomlyMutatedData_NeverCrashesAndStaysInBounds) {
    std::vector<Bytes> originals;
    const int kinds[][2] = {{PNG_COLOR_TYPE_RGB, 8},
                            {PNG_COLOR_TYPE_RGB_ALPHA, 16},
                            {PNG_COLOR_TYPE_GRAY, 2},
                            {PNG_COLOR_TYPE_GRAY_ALPHA, 8}};
    for (const auto &[type, depth] : kinds) {
        PngPicture picture = Ramp(type, depth, 12, 9);
        picture.interlaced = depth != 8;
        originals.push_back(WritePng(picture));
    }
    PngPicture palette = Ramp(PNG_COLOR_TYPE_PALETTE, 4, 10, 10);
    for (int i = 0; i < 16; ++i)
        palette.palette.push_back({static_cast<png_byte>(i), static_cast<png_byte>(i * 2), 9});
    palette.paletteAlpha = {0, 50, 100, 150};
    originals.push_back(WritePng(palette));

    std::mt19937 random(20261207);
    int decoded = 0;
    for (int round = 0; round < 4000; ++round) {
        Bytes data = originals[random() % originals.size()];
        const int mutations = 1 + static_cast<int>(random() % 3);
        for (int m = 0; m < mutations && !data.empty(); ++m) {
            const std::size_t at = random() % data.size();
            switch (random() % 10) {
                case 0:
                case 1:
                case 2:
                    data[at] ^= static_cast<std::uint8_t>(1u << (random() % 8));
                    break;
                case 3:
                case 4:
                case 5:
                    data[at] = static_cast<std::uint8_t>(random());
                    break;
                case 6:
                    data.resize(at);
                    break;
                case 7:
                case 8:
                    data.insert(data.begin() + static_cast<std::ptrdiff_t>(at), 1 + random() % 16,
                                static_cast<std::uint8_t>(random()));
                    break;
                default:
                    data.erase(data.begin() + static_cast<std::ptrdiff_t>(at),
                               data.begin() + static_cast<std::ptrdiff_t>(
                                                  std::min(data.size(), at + 1 + random() % 16)));
                    break;
            }
        }
        // Most rounds get valid checksums, so the mutations reach the header and pixel code.
        if (random() % 4 != 0) FixChunkChecksums(data);
        const NativeHandle handle = DecodeImageFromMemory(kSlot, data.data(), data.size());
        if (handle == 0) {
            ASSERT_EQ(ImageInSlot(kSlot), nullptr);
            continue;
        }
        ++decoded;
        const QImage &image = ImageInSlot(kSlot)->image;
        ASSERT_TRUE(image.format() == QImage::Format_RGB32 ||
                    image.format() == QImage::Format_ARGB32);
        ASSERT_LE(static_cast<std::size_t>(image.width()) * image.height(), 1u << 26);
    }
    // The mutations must leave some inputs readable, or the test exercises nothing but refusal.
    EXPECT_GT(decoded, 0);
}

TEST_F(PngDecodeTest, DecodeImage_EverySkinImage_KeepsSizeAndAlphaOfItsFile) {
    const std::filesystem::path folder =
        std::filesystem::path(__FILE__).parent_path() / "../../src/skin/data";
    int decoded = 0;
    for (const auto &entry : std::filesystem::directory_iterator(folder)) {
        if (entry.path().extension() != ".png") continue;
        SCOPED_TRACE(entry.path().string());
        std::ifstream in(entry.path(), std::ios::binary);
        const Bytes png{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
        ASSERT_GT(png.size(), 33u);
        ASSERT_NE(DecodeImageFromMemory(kSlot, png.data(), png.size()), 0u);
        const QImage &image = *DecodedInSlot(kSlot);
        EXPECT_EQ(static_cast<std::uint32_t>(image.width()), ReadBigEndian(png, 16));
        EXPECT_EQ(static_cast<std::uint32_t>(image.height()), ReadBigEndian(png, 20));
        const bool alpha = png[25] & PNG_COLOR_MASK_ALPHA;
        EXPECT_EQ(image.format(), alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
        ++decoded;
    }
    EXPECT_GE(decoded, 14);
}
