// The LCD clock of the main window: local time, redrawn once a second by the event loop.
#pragma once

#include <ctime>
#include <string>

// Formats a local time with the tokens "%hh" (hour 00-23), "%ii" (minutes) and "%ss"
// (seconds), each two digits; other characters are copied.
std::string FormatTime(const std::tm &time, const std::string &mask);
// The same for the current local time.
std::string FormatLocalTime(const std::string &mask);

// Wipes the clock box and draws the time straight onto the main window.
void UpdateTimeDisplay();
