// The refresh tick on pixels: the images it draws and what the controls show.
#include <gtest/gtest.h>

#include <QImage>
#include <QThread>
#include <QWidget>

#include "audio_engine.h"
#include "control_numbers.h"
#include "image_control.h"
#include "player_state.h"
#include "refresh_tick.h"
#include "skin_resources.h"
#include "ui_internal.h"
#include "widgets.h"

namespace {

constexpr QRgb kDisplay = qRgb(72, 86, 101);
constexpr QRgb kBar = qRgb(196, 198, 204);
constexpr int kScratch = 90;  // an image slot the player does not use

QRgb Opaque(QRgb c) {
    return c | 0xFF000000u;
}

class RefreshTickTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        RegisterEmbeddedFonts();
        BASS_Init(-1, 44100, 0, nullptr, nullptr);
    }

    void SetUp() override {
        ResetPlayerState();
        g.marqueeStep = 1.0f;
        g.marqueeX = 50.0f;
        g.marqueeText = "...VOLNAR...  ...Каналов-0...0 kHz...";
        g.spectrumLastBar = 41;
        g.barWidth = 5;
        g.barHeight = 12;
        g.barColour = RGB(196, 198, 204);
        g.volumePercent = 50;
        LoadSkinImages();
        CreateFontInSlot(kMarqueeFont, "MicroTech", 18, kFontHighQuality);
        CreateFontInSlot(kMiniMarqueeFont, "MicroTech", 8, kFontBold | kFontHighQuality);
        CreateTopWindow(kMainWindow, 0, 0, 600, 400, "Плеер", 7);
        CreateImageControl(kMarqueeStrip, 221, 126, 0, 0, NativeImageHandle(kMarqueeImage));
        CreateImageControl(kSeekBar, 225, 174, 0, 0, NativeImageHandle(kSeekImage));
        for (int i = 0; i <= 41; ++i)
            CreateImageControl(kFirstBar + i, 230 + 6 * i, 154, 0, 0, NativeImageHandle(kBarImage));
        SetWindowVisible(kMainWindow, 1);
        CreateTopWindow(kMiniWindow, 0, 0, 225, 52, "мини", 7);
        CreateImageControl(kMiniMarqueeStrip, 12, 14, 0, 0, NativeImageHandle(kMiniMarqueeImage));
        CreateImageControl(kMiniVolumeBar, 100, 37, 0, 0, NativeImageHandle(kMiniVolumeImage));
    }

    void TearDown() override {
        BASS_StreamFree(g.streamHandle);
        CloseTopWindow(kMainWindow);
        CloseTopWindow(kMiniWindow);
    }

    static const QImage &Slot(int slot) { return ImageInSlot(slot)->image; }

    // What a strip looks like with the marquee text drawn at x in the given font.
    static QImage ExpectedStrip(int w, int h, int font, int x) {
        CreateBlankImage(kScratch, w, h);
        BeginDrawing(ImageDrawingTarget(kScratch));
        FillBox(0, 0, w, h, RGB(72, 86, 101));
        SetTextBackColour(RGB(72, 86, 101));
        SetDrawingFont(NativeFontHandle(font));
        DrawTextAt(x, 0, g.marqueeText, RGB(204, 205, 211));
        EndDrawing();
        return Slot(kScratch).copy();
    }

    // The width of the marquee text as the tick measures it: in a drawing's first font.
    static int MeasuredWidth() {
        CreateBlankImage(kScratch, 4, 4);
        BeginDrawing(ImageDrawingTarget(kScratch));
        const int width = TextPixelWidth(g.marqueeText);
        EndDrawing();
        return width;
    }

    static QImage MainWindowPixels() {
        return reinterpret_cast<QWidget *>(NativeWindowHandle(kMainWindow))->grab().toImage();
    }

    static int LitRowsOfBar(const QImage &window, int bar) {
        int lit = 0;
        for (int y = 0; y < 12; ++y)
            lit += Opaque(window.pixel(230 + 6 * bar + 2, 154 + y)) == kBar;
        return lit;
    }
};

TEST_F(RefreshTickTest, FirstTick_MainTextAt49_MiniTextAt48) {
    RefreshTick();
    EXPECT_FLOAT_EQ(g.marqueeX, 48.0f);
    EXPECT_EQ(Slot(kMarqueeImage), ExpectedStrip(267, 25, kMarqueeFont, 49));
    EXPECT_NE(Slot(kMarqueeImage), ExpectedStrip(267, 25, kMarqueeFont, 50));
    EXPECT_EQ(Slot(kMiniMarqueeImage), ExpectedStrip(201, 13, kMiniMarqueeFont, 48));
}

TEST_F(RefreshTickTest, MiniLimit_RestartsAt200) {
    const float w = static_cast<float>(MeasuredWidth());
    ASSERT_GT(w, 0.0f);
    g.marqueeX = -w - 10.0f + 0.5f;  // the mini step goes past -W - 10, the main one not
    RefreshTick();
    EXPECT_FLOAT_EQ(g.marqueeX, 200.0f);
}

TEST_F(RefreshTickTest, MainLimit_RestartsAt260_OnlyBeyondItsOwnLimit) {
    const float w = static_cast<float>(MeasuredWidth());
    g.marqueeX = -w - 100.0f;  // after the main step's move: below -W - 100
    RefreshTick();
    EXPECT_FLOAT_EQ(g.marqueeX, 259.0f);  // 260, then the mini step's move
    g.marqueeX = -w - 99.0f + 1.0f;
    RefreshTick();
    EXPECT_FLOAT_EQ(g.marqueeX, 200.0f);  // the mini limit caught it instead
}

TEST_F(RefreshTickTest, NoStream_EmptyTrackUnlitBarsTitleUnchanged) {
    const std::string text = g.marqueeText;
    RefreshTick();
    EXPECT_EQ(g.streamLengthBytes, -1);  // all bits of the failed length
    EXPECT_EQ(g.marqueeText, text);
    const QImage &seek = Slot(kSeekImage);
    const QRgb rows[12] = {qRgb(52, 63, 75), qRgb(52, 63, 75), qRgb(72, 82, 93), qRgb(28, 35, 41),
                           qRgb(31, 38, 45), qRgb(36, 44, 51), qRgb(40, 49, 58), qRgb(45, 55, 64),
                           qRgb(70, 81, 91), qRgb(50, 60, 71), qRgb(49, 60, 71), qRgb(49, 60, 71)};
    for (int y = 0; y < 12; ++y)
        for (int x = 0; x < 259; x += 43)
            EXPECT_EQ(Opaque(seek.pixel(x, y)), rows[y]) << x << "," << y;
    const QImage window = MainWindowPixels();
    for (int bar = 0; bar <= 41; ++bar)
        EXPECT_EQ(LitRowsOfBar(window, bar), 0) << bar;
}

TEST_F(RefreshTickTest, SeekIndicator_StartHalfEnd) {
    const QImage knob = ImageInSlot(kSeekKnobImage)->image.convertToFormat(QImage::Format_RGB32);
    DrawSeekIndicator(0, 10);
    QImage seek = Slot(kSeekImage).copy();
    EXPECT_NE(Opaque(seek.pixel(0, 4)), qRgb(177, 177, 177));
    EXPECT_EQ(seek.copy(0, 0, 5, 12), knob);

    DrawSeekIndicator(5, 10);  // p = 5 * 259 / 10 = 129
    seek = Slot(kSeekImage).copy();
    for (int x : {0, 64, 128}) {
        EXPECT_EQ(Opaque(seek.pixel(x, 4)), qRgb(177, 177, 177)) << x;
        EXPECT_EQ(Opaque(seek.pixel(x, 5)), qRgb(110, 110, 110)) << x;
        EXPECT_EQ(Opaque(seek.pixel(x, 6)), qRgb(177, 177, 177)) << x;
        EXPECT_EQ(Opaque(seek.pixel(x, 3)), qRgb(28, 35, 41)) << x;
    }
    EXPECT_EQ(seek.copy(129, 0, 5, 12), knob);
    EXPECT_EQ(Opaque(seek.pixel(140, 4)), qRgb(31, 38, 45));

    DrawSeekIndicator(10, 10);  // p = 259: full progress, the knob wholly outside
    seek = Slot(kSeekImage).copy();
    EXPECT_EQ(Opaque(seek.pixel(258, 4)), qRgb(177, 177, 177));
    EXPECT_EQ(Opaque(seek.pixel(258, 0)), qRgb(52, 63, 75));
}

TEST_F(RefreshTickTest, SeekIndicator_UnknownOrNegativeLength_NoProgress) {
    for (int length : {-1, 0, -200}) {
        DrawSeekIndicator(3, length);
        const QImage &seek = Slot(kSeekImage);
        EXPECT_EQ(Opaque(seek.pixel(0, 4)), qRgb(31, 38, 45)) << length;
        EXPECT_EQ(Opaque(seek.pixel(2, 0)), qRgb(52, 63, 75)) << length;
    }
}

TEST_F(RefreshTickTest, Spectrum_EachBarKeepsItsOwnHeight) {
    float magnitudes[1026] = {};
    magnitudes[0] = 1.0f;
    magnitudes[1] = 0.08265625f;  // full
    magnitudes[2] = 0.00015625f;  // empty
    magnitudes[3] = 0.01f;        // 4 pixels
    magnitudes[41] = 0.0625f;     // 10 pixels
    DrawSpectrum(magnitudes);
    const QImage window = MainWindowPixels();
    EXPECT_EQ(LitRowsOfBar(window, 0), 12);
    EXPECT_EQ(LitRowsOfBar(window, 1), 12);
    EXPECT_EQ(LitRowsOfBar(window, 2), 0);
    EXPECT_EQ(LitRowsOfBar(window, 3), 4);
    EXPECT_EQ(LitRowsOfBar(window, 4), 0);
    EXPECT_EQ(LitRowsOfBar(window, 41), 10);
    // Lit from the bottom up; the rest is the display colour.
    EXPECT_EQ(Opaque(window.pixel(230 + 18 + 2, 154 + 11)), kBar);
    EXPECT_EQ(Opaque(window.pixel(230 + 18 + 2, 154 + 7)), kDisplay);
}

TEST_F(RefreshTickTest, MiniVolumeBar_ZeroHalfFull) {
    const QRgb lit = qRgb(158, 157, 132), back = qRgb(24, 24, 24), base = qRgb(71, 71, 71);
    g.volumePercent = 0;
    DrawMiniVolumeBar();
    QImage bar = Slot(kMiniVolumeImage).copy();
    EXPECT_EQ(Opaque(bar.pixel(0, 0)), lit);  // column 0 always lit
    EXPECT_EQ(Opaque(bar.pixel(0, 4)), lit);
    EXPECT_EQ(Opaque(bar.pixel(0, 5)), back);
    EXPECT_EQ(Opaque(bar.pixel(2, 2)), back);
    EXPECT_EQ(Opaque(bar.pixel(50, 7)), base);

    g.volumePercent = 50;
    DrawMiniVolumeBar();
    bar = Slot(kMiniVolumeImage).copy();
    EXPECT_EQ(Opaque(bar.pixel(48, 2)), lit);
    EXPECT_EQ(Opaque(bar.pixel(49, 2)), back);  // odd columns are the gaps
    EXPECT_EQ(Opaque(bar.pixel(50, 2)), back);  // beyond the volume
    EXPECT_EQ(Opaque(bar.pixel(48, 6)), back);

    g.volumePercent = 100;
    DrawMiniVolumeBar();
    bar = Slot(kMiniVolumeImage).copy();
    for (int x = 0; x < 100; ++x)
        EXPECT_EQ(Opaque(bar.pixel(x, 3)), x % 2 == 0 ? lit : back) << x;
    EXPECT_EQ(Opaque(bar.pixel(99, 7)), base);
}

// A station that does not play says why in the scrolling line, in place of what it showed,
// and gives the line back once it is no longer the current stream's state.
TEST_F(RefreshTickTest, RefusedStation_SaysNoAnswer_ThenLineComesBack) {
    g.marqueeText = "Старый текст";
    g.streamHandle = BASS_StreamCreateURL("http://127.0.0.1:1/x", 0, 0, nullptr, nullptr);
    ASSERT_NE(g.streamHandle, 0u);
    BASS_ChannelPlay(g.streamHandle, FALSE);
    for (int i = 0; i < 200 && BASS_ChannelIsActive(g.streamHandle) != 0; ++i)
        QThread::msleep(10);
    RefreshTick();
    EXPECT_EQ(g.marqueeText, "Станция не отвечает");
    RefreshTick();  // stays, and keeps what the line showed before
    EXPECT_EQ(g.marqueeText, "Станция не отвечает");
    BASS_StreamFree(g.streamHandle);  // a handle that names nothing is no station failure
    RefreshTick();
    EXPECT_EQ(g.marqueeText, "Старый текст");
}

TEST_F(RefreshTickTest, AddressRefusedAtCreation_SaysWhyWithoutStream) {
    g.marqueeText = "Старый текст";
    g.streamHandle = 0;
    g.stationError = BASS_ERROR_PROTOCOL;
    RefreshTick();
    EXPECT_EQ(g.marqueeText, "Формат не поддерживается");
    g.stationError = 0;
    RefreshTick();
    EXPECT_EQ(g.marqueeText, "Старый текст");
}

// Neither window in view: ticks move the line and draw nothing; the return of a window
// draws the line where the ticks have moved it, before the window shows.
TEST_F(RefreshTickTest, BothWindowsHidden_NothingDrawnUntilAWindowReturns) {
    RefreshTick();
    SetWindowVisible(kMainWindow, 0);
    const QImage mainBefore = Slot(kMarqueeImage).copy();
    const QImage miniBefore = Slot(kMiniMarqueeImage).copy();
    const QImage seekBefore = Slot(kSeekImage).copy();
    for (int tick = 0; tick < 3; ++tick)
        RefreshTick();
    EXPECT_FLOAT_EQ(g.marqueeX, 42.0f);  // 48, then two steps a tick
    EXPECT_EQ(Slot(kMarqueeImage), mainBefore);
    EXPECT_EQ(Slot(kMiniMarqueeImage), miniBefore);
    EXPECT_EQ(Slot(kSeekImage), seekBefore);

    SetWindowShownCallback(RedrawAfterHiding);
    SetWindowVisible(kMainWindow, 1);
    SetWindowShownCallback(nullptr);
    const QImage mainNow = ExpectedStrip(267, 25, kMarqueeFont, 43);
    const QImage miniNow = ExpectedStrip(201, 13, kMiniMarqueeFont, 42);
    EXPECT_EQ(Slot(kMarqueeImage), mainNow);
    EXPECT_EQ(Slot(kMiniMarqueeImage), miniNow);
    const auto *strip = reinterpret_cast<ImageControl *>(NativeControlHandle(kMarqueeStrip));
    EXPECT_EQ(strip->ShownImage(), mainNow);
    // The next tick goes on from there.
    RefreshTick();
    EXPECT_EQ(Slot(kMarqueeImage), ExpectedStrip(267, 25, kMarqueeFont, 41));
}

// Only one window in view: the other window's strip still moves with the ticks, and the
// moment that window comes into view its strip shows where the ticks have moved the text,
// before the window shows; the window that went out of view gets the same on its return.
TEST_F(RefreshTickTest, OneWindowOutOfView_ItsStripIsCurrentTheMomentItReturns) {
    for (int tick = 0; tick < 3; ++tick)
        RefreshTick();  // the mini window is hidden
    const auto *mini =
        reinterpret_cast<ImageControl *>(NativeControlHandle(kMiniMarqueeStrip));
    const auto *main = reinterpret_cast<ImageControl *>(NativeControlHandle(kMarqueeStrip));
    SetWindowShownCallback(RedrawAfterHiding);
    SetWindowVisible(kMiniWindow, 1);
    EXPECT_EQ(mini->ShownImage(), ExpectedStrip(201, 13, kMiniMarqueeFont, 44));
    EXPECT_EQ(main->ShownImage(), ExpectedStrip(267, 25, kMarqueeFont, 45));

    SetWindowVisible(kMainWindow, 0);
    for (int tick = 0; tick < 2; ++tick)
        RefreshTick();
    EXPECT_EQ(mini->ShownImage(), ExpectedStrip(201, 13, kMiniMarqueeFont, 40));
    SetWindowVisible(kMainWindow, 1);
    SetWindowShownCallback(nullptr);
    EXPECT_EQ(main->ShownImage(), ExpectedStrip(267, 25, kMarqueeFont, 41));
}

// A drawing whose values are unchanged is skipped, but only for the control it was drawn
// for: new controls under the same numbers are drawn again.
TEST_F(RefreshTickTest, Spectrum_NewBarControlsSameHeights_DrawnAgain) {
    float magnitudes[1026] = {};
    magnitudes[0] = 1.0f;
    magnitudes[5] = 0.01f;  // 4 pixels
    DrawSpectrum(magnitudes);
    DrawSpectrum(magnitudes);
    QImage window = MainWindowPixels();
    EXPECT_EQ(LitRowsOfBar(window, 0), 12);
    EXPECT_EQ(LitRowsOfBar(window, 5), 4);
    EXPECT_EQ(LitRowsOfBar(window, 41), 0);
    // Created (in the mini window, the newest) from the bar image as it is now: the last
    // bar drawn.
    for (int i = 0; i <= 41; ++i)
        CreateImageControl(kFirstBar + i, 0, 0, 0, 0, NativeImageHandle(kBarImage));
    DrawSpectrum(magnitudes);
    for (int i = 0; i <= 41; ++i) {
        const auto *bar = reinterpret_cast<ImageControl *>(NativeControlHandle(kFirstBar + i));
        ASSERT_NE(bar, nullptr);
        int lit = 0;
        for (int y = 0; y < 12; ++y)
            lit += Opaque(bar->ShownImage().pixel(2, y)) == kBar;
        EXPECT_EQ(lit, i == 0 ? 12 : i == 5 ? 4 : 0) << i;
    }
}

}  // namespace
