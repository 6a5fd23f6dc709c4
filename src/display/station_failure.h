// What the scrolling line says when a station does not play.
#pragma once

#include <string>

// The short Russian reason for one of the engine's error codes (BASS_ErrorGetCode); false
// (text untouched) for codes that are no station failure.
bool StationFailureText(int errorCode, std::string *text);
