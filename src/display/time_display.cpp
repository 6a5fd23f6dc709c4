#include "time_display.h"

#include <algorithm>
#include <chrono>
#include <cstdint>

#include "audio_engine.h"
#include "control_numbers.h"
#include "player_state.h"
#include "widgets.h"

namespace {

constexpr int kBoxX = 107, kBoxY = 114, kBoxWidth = 111, kBoxHeight = 50;
constexpr int kTextX = 128, kTextY = 130;
constexpr Colour kTimeColour = RGB(204, 205, 211);

void AppendTwoDigits(std::string &out, int value) {
    out += static_cast<char>('0' + value / 10 % 10);
    out += static_cast<char>('0' + value % 10);
}

}  // namespace

std::string FormatTime(const std::tm &time, const std::string &mask) {
    std::string out;
    for (std::size_t i = 0; i < mask.size();) {
        const std::string_view rest = std::string_view(mask).substr(i);
        if (rest.starts_with("%hh")) {
            AppendTwoDigits(out, time.tm_hour);
        } else if (rest.starts_with("%ii")) {
            AppendTwoDigits(out, time.tm_min);
        } else if (rest.starts_with("%ss")) {
            AppendTwoDigits(out, time.tm_sec);
        } else {
            out += mask[i++];
            continue;
        }
        i += 3;
    }
    return out;
}

std::string FormatLocalTime(const std::string &mask) {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return FormatTime(local, mask);
}

bool InClockBox(int x, int y) {
    return x >= kBoxX && x < kBoxX + kBoxWidth && y >= kBoxY && y < kBoxY + kBoxHeight;
}

std::string TrackClockText(int mode, std::int64_t positionUs, std::int64_t lengthUs, bool paused,
                           std::int64_t nowMs) {
    if (paused && nowMs % 1000 >= 500) return {};
    const bool remaining = mode == kClockRemaining && lengthUs > 0;
    std::int64_t us = remaining ? lengthUs - positionUs : positionUs;
    if (us < 0) us = 0;
    // Remaining time is rounded up, so that it reads 00:00 only at the very end.
    std::int64_t seconds = remaining ? (us + 999999) / 1000000 : us / 1000000;
    seconds = std::min<std::int64_t>(seconds, 99 * 3600 + 59 * 60 + 59);
    std::string out = remaining ? "-" : "";
    if (seconds >= 3600) {
        out += std::to_string(seconds / 3600);
        out += ':';
    }
    AppendTwoDigits(out, static_cast<int>(seconds / 60 % 60));
    out += ':';
    AppendTwoDigits(out, static_cast<int>(seconds % 60));
    return out;
}

std::string CurrentTrackClockText() {
    std::int64_t position = -1, length = -1;
    if (g.streamHandle != 0) {
        const double at =
            BASS_ChannelBytes2Seconds(g.streamHandle, BASS_ChannelGetPosition(g.streamHandle, 0));
        if (at >= 0 && at < 1e9) position = static_cast<std::int64_t>(at * 1e6);
        const QWORD bytes = BASS_ChannelGetLength(g.streamHandle, 0);
        const double seconds = bytes == static_cast<QWORD>(-1)
                                   ? -1.0
                                   : BASS_ChannelBytes2Seconds(g.streamHandle, bytes);
        if (seconds > 0 && seconds < 1e9) length = static_cast<std::int64_t>(seconds * 1e6);
    }
    const bool paused = BASS_ChannelIsActive(g.streamHandle) == BASS_ACTIVE_PAUSED;
    const auto now = std::chrono::duration_cast<std::chrono::milliseconds>(
                         std::chrono::steady_clock::now().time_since_epoch())
                         .count();
    return TrackClockText(g.clockMode, position, length, paused, now);
}

void NextClockMode() {
    g.clockMode = (g.clockMode + 1) % kClockModes;
    g.lastSecondText.clear();
    g.clockText = "\n";  // no text of any mode: drawn at the next turn
}

void UpdateTimeDisplay() {
    UpdateTimeDisplay(FormatLocalTime("%hh:%ii:%ss"));
}

void UpdateTimeDisplay(const std::string &text) {
    // Loaded anew each time; the slot keeps only the newest font.
    CreateFontInSlot(kClockFont, "digital-7", 20, kFontBold | kFontHighQuality);
    BeginDrawing(WindowDrawingTarget(kMainWindow));
    SetDrawingFont(NativeFontHandle(kClockFont));
    SetDrawingMode(1);  // transparent text: the box shows between the segments
    DrawImageScaled(NativeImageHandle(kClockBoxImage), kBoxX, kBoxY, kBoxWidth, kBoxHeight);
    SetPenColour(kTimeColour);
    // Shorter texts than the time of day stand in the middle of where it stands.
    const int x = text.size() == 8
                      ? kTextX
                      : kTextX + (TextPixelWidth("00:00:00") - TextPixelWidth(text)) / 2;
    if (!text.empty()) DrawTextAt(x, kTextY, text);
    EndDrawing();
}
