// The state file written on a thread of its own: an fsync may take seconds on a busy or
// networked disk, and the window must not stand still meanwhile.
//
// Threads: the user-interface thread calls both functions; the writer thread
// ("volnar-save", started by the first write and living as long as the process) only
// writes. One mutex guards the text waiting to be written and the writer's flags. The writer
// is never destroyed, so a save from inside exit() (a display that went away) still finds it.
#pragma once

#include <string>

// Hands text over to be written to path atomically (WriteSavedStateFile) and returns at once.
// A text still waiting is replaced: only the latest state matters.
void WriteSavedStateInBackground(const std::string &path, std::string text);
// Waits until everything handed over is written or has failed; false when the last write
// failed. Called at the end, so that the last state reaches the disk.
bool FinishSavedStateWrites();
