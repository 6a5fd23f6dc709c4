// The LCD clock of the main window: local time, redrawn once a second by the event loop.
#pragma once

#include <ctime>
#include <string>

// Formats a local time with the tokens "%hh" (hour 00-23), "%ii" (minutes) and "%ss"
// (seconds), each two digits; other characters are copied.
std::string FormatTime(const std::tm &time, const std::string &mask);
// The same for the current local time.
std::string FormatLocalTime(const std::string &mask);

// What the clock shows: the time of day, or the current track's elapsed or remaining time.
enum ClockMode : int { kClockTimeOfDay = 0, kClockElapsed = 1, kClockRemaining = 2 };
inline constexpr int kClockModes = 3;

// The clock box in the main window, where a click switches the mode.
bool InClockBox(int x, int y);

// The clock's text for a track's time: "mm:ss" (or "h:mm:ss" from an hour on) of the elapsed
// time, or "-mm:ss" of the remaining time; a stream without a length (a station) shows its
// elapsed time in either mode. Negative times count as none: "00:00". While paused the
// digits blink once a second: empty text for the second half of every second of nowMs.
std::string TrackClockText(int mode, std::int64_t positionUs, std::int64_t lengthUs, bool paused,
                           std::int64_t nowMs);

// TrackClockText for the current stream in clockMode, now.
std::string CurrentTrackClockText();
// Switches clockMode to the next mode (time of day, elapsed, remaining, time of day...);
// the clock is drawn anew at the next loop turn.
void NextClockMode();

// Wipes the clock box and draws the time of day straight onto the main window.
void UpdateTimeDisplay();
// The same with the given text, centred where the time of day stands; empty: the box alone.
void UpdateTimeDisplay(const std::string &text);
