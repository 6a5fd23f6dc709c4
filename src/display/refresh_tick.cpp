// Every tick redraws each moving part that changed from nothing into its image slot and hands
// the image to the control that shows it. Drawing goes to small off-screen images only; the
// widget layer repaints a control only when the pixels it is given differ from what it shows.
//
// Most ticks change little: with nothing playing only the scrolling lines move. So each
// drawing remembers the values it last drew for which control (by the control's serial), and
// a drawing whose values and control are unchanged is skipped: its control already shows
// those pixels. While neither window is in view nothing is drawn at all; the tick still moves
// the scrolling line and reads the position and title, and the windows' return redraws
// everything from those before the window is painted.
#include "refresh_tick.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "audio_engine.h"
#include "control_numbers.h"
#include "drawing_sizes.h"
#include "player_state.h"
#include "station_failure.h"
#include "stream_title.h"
#include "widgets.h"

namespace {

constexpr Colour kDisplayColour = RGB(72, 86, 101);
constexpr Colour kMarqueeTextColour = RGB(204, 205, 211);

struct MarqueeStrip {
    int image, control, font, width, height;
    float limitBeyondText;  // the text restarts once it is this far left of its own width
    float restartX;
};
constexpr MarqueeStrip kMainStrip = {kMarqueeImage,  kMarqueeStrip, kMarqueeFont, kMarqueeWidth,
                                     kMarqueeHeight, 100.0f,        260.0f};
constexpr MarqueeStrip kMiniStrip = {kMiniMarqueeImage,
                                     kMiniMarqueeStrip,
                                     kMiniMarqueeFont,
                                     kMiniMarqueeWidth,
                                     kMiniMarqueeHeight,
                                     10.0f,
                                     200.0f};

constexpr int kKnobWidth = 5, kKnobHeight = 12;
// The empty seek groove, row by row from the top.
constexpr Colour kSeekRows[kSeekBarHeight] = {
    RGB(52, 63, 75), RGB(52, 63, 75), RGB(72, 82, 93), RGB(28, 35, 41),
    RGB(31, 38, 45), RGB(36, 44, 51), RGB(40, 49, 58), RGB(45, 55, 64),
    RGB(70, 81, 91), RGB(50, 60, 71), RGB(49, 60, 71), RGB(49, 60, 71),
};
constexpr Colour kSeekProgress = RGB(177, 177, 177), kSeekProgressMiddle = RGB(110, 110, 110);

constexpr int kFftValues = 1026;  // 1024 magnitudes and room the engine may not touch

constexpr Colour kVolumeBack = RGB(24, 24, 24), kVolumeLit = RGB(158, 157, 132),
                 kVolumeBaseLine = RGB(71, 71, 71);

// Nearest integer, halves to even (the default rounding mode).
int RoundToInt(float value) {
    return static_cast<int>(std::lrint(value));
}

// Whole seconds of a conversion; -1 (no meaningful duration) for a failed conversion or one
// that does not fit, such as the unknown length of a radio stream.
std::int32_t RoundSeconds(double seconds) {
    if (!(seconds > -2147483648.0 && seconds < 2147483647.0)) return -1;
    return static_cast<std::int32_t>(std::lrint(seconds));
}

// The text's place on each strip as the last tick left it, for a redraw without a tick.
float g_mainStripX = 0.0f, g_miniStripX = 0.0f;
// Set while ticks pass with nothing in view: the windows' return must redraw.
bool g_drawingSkipped = false;

// The text's width in the font every drawing starts with, measured on the strip's image: 0
// while the strip has no image.
float MarqueeTextWidth(const MarqueeStrip &strip) {
    if (!BeginDrawing(ImageDrawingTarget(strip.image))) return 0.0f;
    const float width = static_cast<float>(TextPixelWidth(g.marqueeText));
    EndDrawing();
    return width;
}

// Moves the text one step and starts it over beyond the strip's limit.
float StepMarquee(const MarqueeStrip &strip, float textWidth) {
    g.marqueeX -= g.marqueeStep;
    if (g.marqueeX < -textWidth - strip.limitBeyondText) g.marqueeX = strip.restartX;
    return g.marqueeX;
}

// The strip of a window out of view is drawn but not handed to its control: comparing and
// keeping a copy of pixels nobody sees is most of a strip's cost. The window's return into
// view hands it over (RedrawAfterHiding).
void DrawMarquee(const MarqueeStrip &strip, float x, bool inView) {
    BeginDrawing(ImageDrawingTarget(strip.image));
    FillBox(0, 0, strip.width, strip.height, kDisplayColour);
    SetTextBackColour(kDisplayColour);
    SetDrawingFont(NativeFontHandle(strip.font));
    DrawTextAt(RoundToInt(x), 0, g.marqueeText, kMarqueeTextColour);
    EndDrawing();
    if (inView)
        SetControlValue(strip.control, static_cast<std::intptr_t>(NativeImageHandle(strip.image)));
    else
        g_drawingSkipped = true;
}

void (*g_titleListener)() = nullptr;

// A station that failed to open, or has been without sound for long, says why in place of
// whatever the line showed; once it plays again the line shows that text, or its title.
bool ShowStationFailure() {
    int code = g.stationError;
    if (g.streamHandle != 0) {
        BASS_ChannelIsActive(g.streamHandle);
        code = BASS_ErrorGetCode();
    }
    std::string reason;
    if (StationFailureText(code, &reason)) {
        if (g.marqueeShowsFailure == 0) g.marqueeBeforeFailure = g.marqueeText;
        g.marqueeShowsFailure = 1;
        g.marqueeText = std::move(reason);
        return true;
    }
    if (g.marqueeShowsFailure != 0) {
        g.marqueeShowsFailure = 0;
        g.marqueeText = g.marqueeBeforeFailure;
    }
    return false;
}

// What a control was last given by the drawing that owns it: the control's serial and the
// values the drawing depended on. A new control under the number has another serial.
struct Shown {
    std::uint64_t serial = 0;
    std::int64_t values[5] = {};
};

// True (and remembered) when the control shows something other than these values.
bool NeedsDrawing(Shown &shown, int control, std::int64_t a, std::int64_t b = 0, std::int64_t c = 0,
                  std::int64_t d = 0, std::int64_t e = 0) {
    const std::uint64_t serial = ControlSerial(control);
    const Shown now{serial, {a, b, c, d, e}};
    if (serial != 0 && serial == shown.serial &&
        std::equal(std::begin(now.values), std::end(now.values), std::begin(shown.values)))
        return false;
    shown = now;
    return true;
}

constexpr int kMaxRememberedBars = 64;  // bars beyond these are drawn every time
Shown g_shownBars[kMaxRememberedBars];
Shown g_shownSeek;
Shown g_shownVolume;

// The seek position and length of the last tick, for a redraw without a tick.
std::int32_t g_positionSeconds = 0, g_lengthSeconds = -1;

bool StationConnecting() {
    return g.lastStreamWasStation == 1 && g.stationConnecting == 1;
}

// A station's first sound ends its connecting: the line shows the title it sent meanwhile,
// else its name until it sends one.
void NoticeFirstSound() {
    if (!StationConnecting()) return;
    if (BASS_ChannelIsActive(g.streamHandle) != BASS_ACTIVE_PLAYING) return;
    g.stationConnecting = 0;
    const bool titled = g.streamTitleSerial == g.streamSerial && !g.streamTitle.empty();
    g.marqueeText = titled ? g.streamTitle : CurrentStationName();
    if (g_titleListener) g_titleListener();
}

// A station without a title of its own goes by its address until it names itself: then the
// lines that showed the address show the name, and the desktop is told.
void ReadStationOwnName() {
    const bool titled = !g.currentTitle.empty() && g.currentTitle != g.streamAddress;
    if (g.lastStreamWasStation != 1 || titled || !g.stationOwnName.empty()) return;
    const char *headers = BASS_ChannelGetTags(g.streamHandle, BASS_TAG_ICY);
    if (headers == nullptr) return;
    // "name:value" texts, each ended by a zero byte, the list by a second one.
    for (const char *text = headers; *text != '\0'; text += std::strlen(text) + 1) {
        const std::string_view entry(text);
        if (entry.substr(0, 9) != "icy-name:" || entry.size() == 9) continue;
        const std::string before = CurrentStationName();
        g.stationOwnName = std::string(entry.substr(9));
        if (GetControlText(kInfoLine) == before) SetControlText(kInfoLine, g.stationOwnName);
        if (g.marqueeText == before) g.marqueeText = g.stationOwnName;
        if (g.marqueeText == "Соединение… " + before)
            g.marqueeText = "Соединение… " + g.stationOwnName;
        if (g_titleListener) g_titleListener();
        return;
    }
}

void ReadStreamTitle() {
    if (ShowStationFailure()) return;
    if (g.streamHandle == 0) return;
    ReadStationOwnName();
    NoticeFirstSound();
    const char *metadata = BASS_ChannelGetTags(g.streamHandle, BASS_TAG_META);
    // Kept from tick to tick, so that reading the same title again allocates nothing.
    static std::string title;
    if (!StreamTitleFromMetadata(metadata, &title)) return;
    // Kept apart from the scrolling line, which goes on showing the last station's title
    // until the new one sends its own: here a title belongs to the stream that sent it.
    // A new title takes the line, once the station no longer connects; between titles the
    // line may say something else (a list that could not be written).
    if (g.streamTitleSerial != g.streamSerial || title != g.streamTitle) {
        g.streamTitle = title;
        g.streamTitleSerial = g.streamSerial;
        if (!StationConnecting()) g.marqueeText = title;
        if (g_titleListener) g_titleListener();
    }
}

}  // namespace

void DrawSeekIndicator(std::int32_t positionSeconds, std::int32_t lengthSeconds) {
    const int p = lengthSeconds > 0 ? static_cast<int>(static_cast<std::int64_t>(positionSeconds) *
                                                       kSeekBarWidth / lengthSeconds)
                                    : -1;
    if (!NeedsDrawing(g_shownSeek, kSeekBar, p,
                      static_cast<std::int64_t>(NativeImageHandle(kSeekImage)),
                      static_cast<std::int64_t>(NativeImageHandle(kSeekKnobImage))))
        return;
    BeginDrawing(ImageDrawingTarget(kSeekImage));
    for (int row = 0; row < kSeekBarHeight; ++row)
        FillBox(0, row, kSeekBarWidth, 1, kSeekRows[row]);
    if (lengthSeconds > 0) {
        FillBox(0, 4, p, 3, kSeekProgress);
        FillBox(0, 5, p, 1, kSeekProgressMiddle);
        DrawImageScaled(NativeImageHandle(kSeekKnobImage), p, 0, kKnobWidth, kKnobHeight);
    }
    EndDrawing();
    SetControlValue(kSeekBar, static_cast<std::intptr_t>(NativeImageHandle(kSeekImage)));
}

// Bar i shows FFT bin i: about 0 to 900 Hz over the 42 bars of a 44100 Hz stream.
void DrawSpectrum(const float *fft) {
    const NativeHandle bar = NativeImageHandle(kBarImage);
    for (int i = 0; i <= g.spectrumLastBar; ++i) {
        const int height = SpectrumBarHeight(fft[i], g.barHeight);
        if (i < kMaxRememberedBars &&
            !NeedsDrawing(g_shownBars[i], kFirstBar + i, height, g.barWidth, g.barHeight,
                          g.barColour, static_cast<std::int64_t>(bar)))
            continue;
        BeginDrawing(ImageDrawingTarget(kBarImage));
        FillBox(0, 0, g.barWidth, g.barHeight, kDisplayColour);
        FillBox(0, g.barHeight - height, g.barWidth, height, g.barColour);
        EndDrawing();
        // The control keeps this content; the same image is redrawn for the next bar.
        SetControlValue(kFirstBar + i, static_cast<std::intptr_t>(bar));
    }
}

void DrawMiniVolumeBar() {
    if (!NeedsDrawing(g_shownVolume, kMiniVolumeBar, g.volumePercent,
                      static_cast<std::int64_t>(NativeImageHandle(kMiniVolumeImage))))
        return;
    BeginDrawing(ImageDrawingTarget(kMiniVolumeImage));
    FillBox(0, 0, kMiniVolumeBarWidth, kMiniVolumeBarHeight, kVolumeBack);
    FillBox(0, 0, g.volumePercent, 5, kVolumeLit);
    // Every odd column dark, so the lit part reads as separate segments.
    for (int k = 0; k <= 53; ++k)
        DrawLine(1 + 2 * k, 0, 1 + 2 * k, 5, kVolumeBack);
    DrawLine(0, 0, 0, 4, kVolumeLit);  // column 0 stays lit, even at volume 0
    DrawLine(0, 7, kMiniVolumeBarWidth, 7, kVolumeBaseLine);
    EndDrawing();
    SetControlValue(kMiniVolumeBar,
                    static_cast<std::intptr_t>(NativeImageHandle(kMiniVolumeImage)));
}

int SpectrumBarHeight(float magnitude, int barHeight) {
    if (!(magnitude > 0.0f)) return 0;  // also NaN
    // In single precision, as the magnitudes come: the edge magnitudes 0.00015625 and
    // 0.08265625 then give exactly 0.5 and 11.5, which round to 0 and 12.
    const float exact = std::sqrt(magnitude) * 40.0f;
    // Beyond the bar's height the box would be clipped anyway; limiting first keeps huge
    // magnitudes from overflowing the conversion.
    if (exact >= static_cast<float>(barHeight)) return barHeight;
    return static_cast<int>(std::lrint(exact));
}

void SetStreamTitleListener(void (*listener)()) {
    g_titleListener = listener;
}

namespace {

// Everything the tick shows, from the values the last tick computed. The spectrum is read
// only for bars in view (or about to come into view): the FFT is the largest part of a tick
// while a stream plays.
void DrawTick(bool windowComingIntoView) {
    DrawMarquee(kMainStrip, g_mainStripX, windowComingIntoView || WindowShowing(kMainWindow));
    DrawMarquee(kMiniStrip, g_miniStripX, windowComingIntoView || WindowShowing(kMiniWindow));
    // A knob being dragged is where the pointer holds it, not where the track plays.
    if (g.seekDragging == 1 && g_lengthSeconds > 0 && g_lengthSeconds < 2000000)
        DrawSeekIndicator(static_cast<std::int32_t>(std::min<std::int64_t>(
                              g.seekDragMicroseconds / 1000, std::int64_t{g_lengthSeconds} * 1000)),
                          g_lengthSeconds * 1000);
    else
        DrawSeekIndicator(g_positionSeconds, g_lengthSeconds);
    if (windowComingIntoView || WindowShowing(kMainWindow)) {
        // Zero-filled, so that a failed request leaves every bar unlit.
        float fft[kFftValues] = {};
        BASS_ChannelGetData(g.streamHandle, fft, BASS_DATA_FFT2048);
        DrawSpectrum(fft);
    } else {
        g_drawingSkipped = true;  // the bars wait for the main window's return
    }
    DrawMiniVolumeBar();
}

}  // namespace

void RefreshTick() {
    // Both strips measure the same text in the same font, whatever their image: once a tick.
    const bool mainImage = ImageDrawingTarget(kMainStrip.image) != 0;
    const bool miniImage = ImageDrawingTarget(kMiniStrip.image) != 0;
    const float textWidth = MarqueeTextWidth(mainImage ? kMainStrip : kMiniStrip);
    g_mainStripX = StepMarquee(kMainStrip, mainImage ? textWidth : 0.0f);
    g_miniStripX = StepMarquee(kMiniStrip, miniImage ? textWidth : 0.0f);

    const QWORD length = BASS_ChannelGetLength(g.streamHandle, BASS_POS_BYTE);
    g.streamLengthBytes = static_cast<std::int32_t>(static_cast<std::uint32_t>(length));
    g_lengthSeconds = RoundSeconds(BASS_ChannelBytes2Seconds(
        g.streamHandle, static_cast<QWORD>(static_cast<std::int64_t>(g.streamLengthBytes))));
    g_positionSeconds = RoundSeconds(BASS_ChannelBytes2Seconds(
        g.streamHandle, BASS_ChannelGetPosition(g.streamHandle, BASS_POS_BYTE)));

    // Nothing in view: nothing drawn and nothing sent to the window system.
    g_drawingSkipped = false;
    if (WindowShowing(kMainWindow) || WindowShowing(kMiniWindow))
        DrawTick(false);
    else
        g_drawingSkipped = true;

    ReadStreamTitle();
}

void RedrawAfterHiding() {
    if (!g_drawingSkipped) return;
    g_drawingSkipped = false;
    DrawTick(true);
}
