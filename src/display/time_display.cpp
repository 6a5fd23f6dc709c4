#include "time_display.h"

#include "control_numbers.h"
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

void UpdateTimeDisplay() {
    // Loaded anew each time; the slot keeps only the newest font.
    CreateFontInSlot(kClockFont, "digital-7", 20, kFontBold | kFontHighQuality);
    BeginDrawing(WindowDrawingTarget(kMainWindow));
    SetDrawingFont(NativeFontHandle(kClockFont));
    SetDrawingMode(1);  // transparent text: the box shows between the segments
    DrawImageScaled(NativeImageHandle(kClockBoxImage), kBoxX, kBoxY, kBoxWidth, kBoxHeight);
    SetPenColour(kTimeColour);
    DrawTextAt(kTextX, kTextY, FormatLocalTime("%hh:%ii:%ss"));
    EndDrawing();
}
