// One refresh round of the player's drawings on its real image sizes: 42 spectrum bars on one
// 5 x 12 image, the two marquee strips with a long text, the seek bar with its knob and the
// mini volume bar. The round must stay far below the 35 ms period (target: under 0.3 ms).
#include <benchmark/benchmark.h>

#include <QByteArray>
#include <QCoreApplication>
#include <QtGlobal>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "widgets.h"

namespace {

// The slots and fonts of the player's refresh.
constexpr int kBarImage = 19, kSeekImage = 18, kMiniTextImage = 28, kVolumeImage = 29,
              kMainTextImage = 3, kKnobImage = 26;
constexpr int kMainFont = 4, kMiniFont = 5;

const std::string kText =
    "Ансамбль Каналов-0 - Длинная песня о дороге домой (живая запись 1987 года) - track 07.mp3";

struct Surfaces {
    float marqueeX = 50.0f;
    int tick = 0;
};

// The player's own marquee font, as the project's font tools made it.
void RegisterMarqueeFont() {
    static bool registered = false;
    if (registered) return;
    registered = true;
    std::ifstream in(
        std::filesystem::path(__FILE__).parent_path() / "../../src/skin/data/microtech.ttf",
        std::ios::binary);
    const std::vector<char> data{std::istreambuf_iterator<char>(in),
                                 std::istreambuf_iterator<char>()};
    RegisterFontFromMemory(data.data(), data.size());
}

void SetUpSurfaces() {
    RegisterMarqueeFont();
    CreateBlankImage(kBarImage, 5, 12);
    CreateBlankImage(kSeekImage, 259, 12);
    CreateBlankImage(kMiniTextImage, 201, 13);
    CreateBlankImage(kVolumeImage, 100, 8);
    CreateBlankImage(kKnobImage, 5, 12);
    CreateBlankImage(kMainTextImage, 267, 25);
    CreateFontInSlot(kMainFont, "MicroTech", 18, kFontHighQuality);
    CreateFontInSlot(kMiniFont, "MicroTech", 8, kFontBold | kFontHighQuality);
}

// When set, each drawing is handed to the image control that shows it, as the player does.
bool g_assign = false;

void Show(int control, int slot) {
    if (g_assign) SetControlValue(control, static_cast<std::intptr_t>(NativeImageHandle(slot)));
}

// The main window shown with its image controls, the mini window hidden with its own.
void SetUpWindows() {
    CreateTopWindow(0, 0, 0, 600, 400, "Плеер", kWindowBorderless | kWindowHidden);
    CreateImageControl(3, 322, 90, 267, 25, 0);
    CreateImageControl(289, 169, 277, 259, 12, 0);
    for (int bar = 0; bar < 42; ++bar)
        CreateImageControl(303 + bar, 230 + 6 * bar, 154, 5, 12, 0);
    CreateTopWindow(1, 0, 0, 225, 52, "мини", kWindowBorderless | kWindowHidden);
    CreateImageControl(28, 12, 18, 201, 13, 0);
    CreateImageControl(29, 110, 36, 100, 8, 0);
    SetWindowVisible(0, 1);
    QCoreApplication::processEvents();
}

void DrawMarquee(int slot, int font, float &x, float limit, float reset) {
    BeginDrawing(ImageDrawingTarget(slot));
    FillBox(0, 0, 267, 25, RGB(72, 86, 101));
    SetTextBackColour(RGB(72, 86, 101));
    x -= 1.0f;
    const int width = TextPixelWidth(kText);
    if (x < -width - limit) x = reset;
    SetDrawingFont(NativeFontHandle(font));
    DrawTextAt(static_cast<int>(x), 0, kText, RGB(204, 205, 211));
    EndDrawing();
    Show(slot, slot);  // controls 3 and 28 show images 3 and 28
}

void DrawSeekBar(int progress) {
    static const Colour rows[12] = {RGB(52, 63, 75), RGB(52, 63, 75), RGB(72, 82, 93),
                                    RGB(28, 35, 41), RGB(31, 38, 45), RGB(36, 44, 51),
                                    RGB(40, 49, 58), RGB(45, 55, 64), RGB(70, 81, 91),
                                    RGB(50, 60, 71), RGB(49, 60, 71), RGB(49, 60, 71)};
    BeginDrawing(ImageDrawingTarget(kSeekImage));
    for (int row = 0; row < 12; ++row)
        FillBox(0, row, 259, 1, rows[row]);
    FillBox(0, 4, progress, 3, RGB(177, 177, 177));
    FillBox(0, 5, progress, 1, RGB(110, 110, 110));
    DrawImageScaled(NativeImageHandle(kKnobImage), progress, 0, 5, 12);
    EndDrawing();
    Show(289, kSeekImage);
}

void DrawBars(int tick) {
    for (int bar = 0; bar < 42; ++bar) {
        const int height = (bar * 7 + tick) % 13;
        BeginDrawing(ImageDrawingTarget(kBarImage));
        FillBox(0, 0, 5, 12, RGB(72, 86, 101));
        FillBox(0, 12 - height, 5, height, RGB(196, 198, 204));
        EndDrawing();
        Show(303 + bar, kBarImage);
    }
}

void DrawVolumeBar(int percent) {
    BeginDrawing(ImageDrawingTarget(kVolumeImage));
    FillBox(0, 0, 100, 8, RGB(24, 24, 24));
    FillBox(0, 0, percent, 5, RGB(158, 157, 132));
    for (int k = 0; k <= 53; ++k)
        DrawLine(1 + 2 * k, 0, 1 + 2 * k, 5, RGB(24, 24, 24));
    DrawLine(0, 0, 0, 4, RGB(158, 157, 132));
    DrawLine(0, 7, 100, 7, RGB(71, 71, 71));
    EndDrawing();
    Show(29, kVolumeImage);
}

void DrawOneRound(Surfaces &surfaces) {
    DrawMarquee(kMainTextImage, kMainFont, surfaces.marqueeX, 100.0f, 260.0f);
    DrawMarquee(kMiniTextImage, kMiniFont, surfaces.marqueeX, 10.0f, 200.0f);
    DrawSeekBar(surfaces.tick % 260);
    DrawBars(surfaces.tick);
    DrawVolumeBar(surfaces.tick % 101);
    ++surfaces.tick;
}

void BM_RefreshRoundDrawings(benchmark::State &state) {
    SetUpSurfaces();
    Surfaces surfaces;
    for (auto _ : state)
        DrawOneRound(surfaces);
}
BENCHMARK(BM_RefreshRoundDrawings)->Unit(benchmark::kMicrosecond);

// The same round with every drawing given to its control, and the repaints this causes
// (processed once per round, as the event loop does between two ticks).
void BM_RefreshRoundWithAssignments(benchmark::State &state) {
    SetUpSurfaces();
    SetUpWindows();
    Surfaces surfaces;
    g_assign = true;
    for (auto _ : state) {
        DrawOneRound(surfaces);
        QCoreApplication::processEvents();
    }
    g_assign = false;
    CloseTopWindow(0);
    CloseTopWindow(1);
}
BENCHMARK(BM_RefreshRoundWithAssignments)->Unit(benchmark::kMicrosecond);

// The parts of a round, to see where its time goes.
void BM_MarqueeStrips(benchmark::State &state) {
    SetUpSurfaces();
    Surfaces surfaces;
    for (auto _ : state) {
        DrawMarquee(kMainTextImage, kMainFont, surfaces.marqueeX, 100.0f, 260.0f);
        DrawMarquee(kMiniTextImage, kMiniFont, surfaces.marqueeX, 10.0f, 200.0f);
    }
}
BENCHMARK(BM_MarqueeStrips)->Unit(benchmark::kMicrosecond);

void BM_SpectrumBars(benchmark::State &state) {
    SetUpSurfaces();
    int tick = 0;
    for (auto _ : state)
        DrawBars(tick++);
}
BENCHMARK(BM_SpectrumBars)->Unit(benchmark::kMicrosecond);

void BM_SeekAndVolumeBars(benchmark::State &state) {
    SetUpSurfaces();
    int tick = 0;
    for (auto _ : state) {
        DrawSeekBar(tick % 260);
        DrawVolumeBar(tick % 101);
        ++tick;
    }
}
BENCHMARK(BM_SeekAndVolumeBars)->Unit(benchmark::kMicrosecond);

}  // namespace
