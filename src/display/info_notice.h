// A notice in the information line: a short text (a mode just switched) that stands there
// for two seconds, then what the line showed before comes back.
#pragma once

#include <string>

void ShowInfoNotice(const std::string &text);
// Once a loop turn: puts the line's own text back once the notice's time is up.
void KeepInfoNoticeCurrent();
