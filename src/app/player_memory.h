// What the player remembers between runs: gathered from the windows and the player state,
// written to the state file when it changed (at most every 10 seconds, and at the end), and
// shown again at the next start. A state folder that cannot be written costs nothing but
// the remembering.
#pragma once

#include <string>

#include "saved_state.h"

// What the player shows now, as the state file keeps it.
SavedState GatherSavedState();
// Shows a remembered state on the built but still hidden windows: volume, lists and their
// selections, the open panel, the window places (kept on a visible screen), mini mode.
// Starts no playback.
void ApplySavedState(const SavedState &state);

// Reads the state file (the path from the environment) and applies it.
void RestoreRememberedState();
// Notes that something may have changed; writes the state when it did and the last write is
// 10 seconds old, else marks it due.
void RememberIfChanged();
// Writes a due state once its 10 seconds are over; costs a flag test when nothing is due.
void KeepStateFileCurrent();
// Writes the state when it differs from the file's (at the end of the run).
void RememberNow();

// The state file's path for this run; empty: nothing is remembered. Tests point it at a
// folder of their own.
void SetStateFilePath(const std::string &path);
