// Files and addresses dropped on a window of the layer. Each drop becomes one kDrop event of
// the window, in the order of the other input; the record of the event last returned holds
// what was dropped. What other programs drop is untrusted: it is bounded here.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "widgets.h"

// A drop's locations beyond this many are left out, and one longer than kMaxDroppedBytes.
inline constexpr std::size_t kMaxDroppedLocations = 1000;
inline constexpr std::size_t kMaxDroppedBytes = 8192;

// What the kDrop event last returned carried, in its order: a local file or folder as its
// path (its bytes as the file system has them), an http or https address as written; from
// a plain text without a list of addresses, its lines that are http or https addresses.
// Nothing else is kept. Empty before the first drop.
std::vector<std::string> LastEventDropLocations();
// Where on the screen it was dropped.
ScreenPoint LastEventDropPoint();
