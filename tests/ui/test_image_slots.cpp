// Image and font slot numbers and blank images: what each slot holds, handles that name
// nothing, and numbers or sizes far beyond any the player uses.
#include <gtest/gtest.h>

#include <QImage>
#include <climits>

#include "ui_internal.h"
#include "widgets.h"

TEST(ImageSlotTest, CreateBlankImage_GivesBlack24BitImageOfThatSize) {
    const NativeHandle handle = CreateBlankImage(60, 259, 12);
    ASSERT_NE(handle, 0u);
    EXPECT_EQ(handle, NativeImageHandle(60));
    const QImage &image = ImageFromHandle(handle)->image;
    EXPECT_EQ(image.format(), QImage::Format_RGB32);
    EXPECT_EQ(image.size(), QSize(259, 12));
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            ASSERT_EQ(image.pixel(x, y), qRgb(0, 0, 0));
    StoreImage(60, QImage());
}

TEST(ImageSlotTest, CreateBlankImage_BadSize_LeavesSlotEmpty) {
    const int sizes[][2] = {{0, 5},       {5, 0},     {-1, 5},       {5, -1},
                            {INT_MAX, 1}, {1, 20000}, {16384, 16384}};
    for (const auto &[width, height] : sizes) {
        SCOPED_TRACE(width);
        CreateBlankImage(60, 4, 4);
        EXPECT_EQ(CreateBlankImage(60, width, height), 0u);
        EXPECT_EQ(NativeImageHandle(60), 0u);
    }
}

TEST(ImageSlotTest, SlotNumbers_NegativeOrHuge_HoldNothingAndCostNothing) {
    for (int slot : {-1, INT_MIN, INT_MAX, 1 << 20}) {
        SCOPED_TRACE(slot);
        EXPECT_EQ(CreateBlankImage(slot, 5, 5), 0u);
        EXPECT_EQ(NativeImageHandle(slot), 0u);
        EXPECT_EQ(ImageInSlot(slot), nullptr);
        EXPECT_EQ(CreateFontInSlot(slot, "DejaVu Sans", 10, 0), 0u);
        EXPECT_EQ(NativeFontHandle(slot), 0u);
    }
}

TEST(ImageSlotTest, Handles_OfReplacedOrInventedObjects_NameNothing) {
    const NativeHandle first = CreateBlankImage(61, 2, 2);
    const NativeHandle second = CreateBlankImage(61, 3, 3);
    EXPECT_NE(first, second);
    EXPECT_EQ(ImageFromHandle(first), nullptr);
    EXPECT_NE(ImageFromHandle(second), nullptr);
    EXPECT_EQ(ImageFromHandle(0), nullptr);
    EXPECT_EQ(ImageFromHandle(12345), nullptr);
    EXPECT_EQ(FontFromHandle(second), nullptr);  // an image is no font
    EXPECT_EQ(FontFromHandle(0), nullptr);
    StoreImage(61, QImage());
    EXPECT_EQ(ImageFromHandle(second), nullptr);
}
