// See-through windows: the part of the art that takes the pointer, and a see-through window
// where the desktop does not composite (the offscreen platform), which must be the window it
// always was.
#include <QBackingStore>
#include <QCoreApplication>
#include <QFile>
#include <QWidget>

#include "layer_test_support.h"
#include "png_decode.h"
#include "see_through.h"
#include "top_window.h"
#include "ui_internal.h"

namespace {

QImage SkinArt(const char *name, double ratio = 1.0) {
    QFile file(QStringLiteral(VOLNAR_SKIN_DATA "/") + QLatin1String(name));
    if (!file.open(QIODevice::ReadOnly)) return {};
    const QByteArray bytes = file.readAll();
    QImage image = DecodePng(bytes.constData(), static_cast<std::size_t>(bytes.size()));
    image.setDevicePixelRatio(ratio);
    return image;
}

// The skin's panel (tools/skin/layout.py) and the radius of its rounded corners.
const QRect kPanel(66, 76, 468, 170);
constexpr int kPanelRadius = 9;

TEST(SeeThroughArt, MainSkin_OpaquePartIsThePanelWithoutShadowOrReflection) {
    for (const auto &[name, ratio] : {std::pair{"main_skin_see_through.png", 1.0},
                                      std::pair{"main_skin_see_through@2x.png", 2.0},
                                      std::pair{"main_skin_see_through@3x.png", 3.0}}) {
        SCOPED_TRACE(name);
        const QImage art = SkinArt(name, ratio);
        ASSERT_FALSE(art.isNull());
        const QRegion part = OpaquePart(art);
        EXPECT_EQ(part.boundingRect(), kPanel);
        // All of the panel but its rounded corners; none of the backdrop, the shadow below
        // the panel or its reflection.
        const QRect body = kPanel.adjusted(kPanelRadius, 0, -kPanelRadius, 0);
        EXPECT_TRUE((QRegion(body) - part).isEmpty());
        EXPECT_TRUE((QRegion(kPanel.adjusted(0, kPanelRadius, 0, -kPanelRadius)) - part).isEmpty());
        EXPECT_FALSE(part.contains(QPoint(kPanel.left(), kPanel.top())));
        EXPECT_FALSE(part.contains(QPoint(kPanel.right(), kPanel.bottom())));
        EXPECT_TRUE(part.intersected(QRect(0, kPanel.bottom() + 1, 600, 400)).isEmpty());
    }
}

TEST(SeeThroughArt, OpaqueSkins_HaveNoAlphaAndTakeEveryPixel) {
    // The opaque backgrounds stay what they were: no alpha channel, the whole window.
    for (const char *name : {"main_skin.png", "mini_skin.png"}) {
        SCOPED_TRACE(name);
        const QImage art = SkinArt(name);
        ASSERT_FALSE(art.isNull());
        EXPECT_FALSE(art.hasAlphaChannel());
        EXPECT_EQ(OpaquePart(art), QRegion(art.rect()));
    }
}

TEST(SeeThroughArt, MiniSkin_AllButTheRoundedCorners) {
    const QImage art = SkinArt("mini_skin_see_through.png");
    ASSERT_FALSE(art.isNull());
    const QRegion part = OpaquePart(art);
    EXPECT_EQ(part.boundingRect(), QRect(0, 0, 225, 52));
    EXPECT_TRUE((QRegion(3, 3, 219, 46) - part).isEmpty());
    for (const QPoint corner : {QPoint(0, 0), QPoint(224, 0), QPoint(0, 51), QPoint(224, 51)})
        EXPECT_FALSE(part.contains(corner)) << corner.x() << "," << corner.y();
}

TEST(SeeThroughArt, OpaquePart_RunsOfWhollyOpaquePixelsAtTheImagesRatio) {
    QImage image(8, 6, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    for (int y = 1; y < 5; ++y)
        for (int x = 2; x < 6; ++x)
            image.setPixel(x, y, qRgba(10, 20, 30, 255));
    image.setPixel(6, 2, qRgba(10, 20, 30, 254));  // nearly opaque lets the pointer through
    image.setPixel(0, 5, qRgba(0, 0, 0, 255));
    EXPECT_EQ(OpaquePart(image), QRegion(2, 1, 4, 4) + QRect(0, 5, 1, 1));
    // At ratio 2 each window pixel holding an opaque device pixel counts.
    image.setDevicePixelRatio(2.0);
    EXPECT_EQ(OpaquePart(image), QRegion(1, 0, 2, 3) + QRect(0, 2, 1, 1));
    EXPECT_TRUE(OpaquePart(QImage()).isEmpty());
    QImage empty(4, 4, QImage::Format_ARGB32_Premultiplied);
    empty.fill(Qt::transparent);
    EXPECT_TRUE(OpaquePart(empty).isEmpty());
}

class SeeThroughWindowTest : public LayerTest {};

TEST_F(SeeThroughWindowTest, NoCompositing_OpaqueBackgroundAndTheWholeWindowTakesThePointer) {
    EXPECT_FALSE(DesktopComposites());
    CreateTopWindow(0, 0, 0, 225, 52, "", kWindowBorderless | kWindowSeeThrough);
    const QImage opaque = SkinArt("mini_skin.png").convertToFormat(QImage::Format_RGB32);
    const QImage seeThrough = SkinArt("mini_skin_see_through.png");
    ASSERT_FALSE(opaque.isNull());
    ASSERT_FALSE(seeThrough.isNull());
    SetWindowBackgroundImage(NativeWindowHandle(0), StoreImage(2, opaque));
    SetWindowSeeThroughImage(NativeWindowHandle(0), StoreImage(3, seeThrough));
    SetWindowVisible(0, 1);
    auto *window = reinterpret_cast<TopWindow *>(NativeWindowHandle(0));
    ASSERT_NE(window, nullptr);
    EXPECT_FALSE(window->SeesThrough());
    EXPECT_FALSE(window->InputRegion().has_value());
    window->repaint();
    QCoreApplication::processEvents();
    const auto *store = static_cast<const QImage *>(window->backingStore()->paintDevice());
    EXPECT_EQ(store->copy(window->rect()).convertToFormat(QImage::Format_RGB32), opaque);
    // Nothing the desktop says changes a window made without alpha.
    window->FollowCompositing(true);
    EXPECT_FALSE(window->SeesThrough());
    EXPECT_FALSE(window->InputRegion().has_value());
}

}  // namespace
