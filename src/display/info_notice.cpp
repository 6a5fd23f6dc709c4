#include "info_notice.h"

#include <chrono>

#include "control_numbers.h"
#include "widgets.h"

namespace {

constexpr std::chrono::milliseconds kNoticeShown{2000};

struct Notice {
    bool shown = false;
    std::string text;    // the notice
    std::string before;  // the line's own text, to come back
    std::chrono::steady_clock::time_point until;
};
Notice g_notice;

}  // namespace

void ShowInfoNotice(const std::string &text) {
    // A second notice replaces the first; the line's own text is the one from before both.
    const std::string current = GetControlText(kInfoLine);
    if (!g_notice.shown || current != g_notice.text) g_notice.before = current;
    g_notice.shown = true;
    g_notice.text = text;
    g_notice.until = std::chrono::steady_clock::now() + kNoticeShown;
    SetControlText(kInfoLine, text);
}

void KeepInfoNoticeCurrent() {
    if (!g_notice.shown || std::chrono::steady_clock::now() < g_notice.until) return;
    g_notice.shown = false;
    // A new track or station that wrote its own text meanwhile keeps it.
    if (GetControlText(kInfoLine) == g_notice.text) SetControlText(kInfoLine, g_notice.before);
}
