// What the keys do, in either window: the classic keys of desktop players and the station
// panel's editing keys.
#pragma once

// Runs the command of the key of the kKeyPress event last returned; false when it ends the
// player (Ctrl+Q).
bool RunKeyCommand();
