// The player's files (the state file, the user's station list, the covers of its cache)
// written on a thread of their own: an fsync may take seconds on a busy or networked disk,
// and the window must not stand still meanwhile.
//
// Threads: the user-interface thread calls the functions below; the writer thread
// ("volnar-save", started by the first write and living as long as the process) only
// writes, and EndSavedStateWrites writes on its caller's thread. One mutex guards the texts
// waiting to be written, the text being written, the outcomes of the last writes and the
// writer's flags; the writer thread renames a file into place only under it. The writer
// is never destroyed, so a save from inside exit() (a display that went away) still finds it.
#pragma once

#include <cstddef>
#include <string>

// Hands text over to be written to path atomically (WriteSavedStateFile) and returns at once.
// A text still waiting for the same path is replaced: only the latest state matters.
void WriteSavedStateInBackground(const std::string &path, std::string text);
// The same for a file of a cache, which may be made again whenever it is missing: while
// kMaxWaitingCacheFiles wait already, the oldest of them is given up.
void WriteCacheFileInBackground(const std::string &path, std::string text);
inline constexpr std::size_t kMaxWaitingCacheFiles = 4;
// How the latest text handed over for path (not a cache file's) fared: still waiting or
// being written, written, or failed; kNone for a path never handed over.
enum class WriteOutcome { kNone, kWaiting, kWritten, kFailed };
WriteOutcome LatestWriteOutcome(const std::string &path);
// Waits until everything handed over is written or has failed; false when the last write
// failed.
bool FinishSavedStateWrites();
// The end of the player: every text handed over and not yet in place (the one being written
// too) is written on the calling thread, in place for every reader when this returns; the disk
// gets it a few seconds later (DiskWait::kUnderWay), so that a busy disk's fsync does not hold
// up the end. Waiting cache files are given up. The writer thread puts nothing in place after
// this; a text handed over later is written by the next call. False when a write failed.
bool EndSavedStateWrites();
