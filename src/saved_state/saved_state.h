// What the player remembers between runs, and its one file:
// $XDG_STATE_HOME/volnar/state.ini (by default ~/.local/state/volnar/state.ini).
//
// The file is read once at start-up and is untrusted: anything the reader cannot use (a
// missing, empty, truncated, binary or hostile file, a value out of range, a line too long)
// leaves that item unset, and the player keeps its default for it. It is written whole into
// a new file that is flushed to the disk and then renamed over the old one, so that a crash
// or a power loss at any moment leaves either the old or the new state.
#pragma once

#include <optional>
#include <string>

struct SavedPoint {
    int x = 0, y = 0;
    bool operator==(const SavedPoint &) const = default;
};

enum class SavedSource { kNone, kTrack, kStation };
enum class SavedPanel { kNone, kTracks, kStations };

struct SavedState {
    std::optional<int> volumePercent;     // 0 to 100
    std::string trackFolder;              // with its trailing "/"; empty: none
    std::string trackName;                // a path inside trackFolder; empty: none
    std::optional<bool> trackSubFolders;  // the list held trackFolder's sub-folders too
    SavedSource lastSource = SavedSource::kNone;
    std::string stationAddress;       // the station played or picked last; empty: none
    std::optional<int> stationIndex;  // its row in the station list
    std::optional<SavedPoint> mainWindow, miniWindow;  // top-left corners on the screen
    std::optional<bool> miniMode;
    SavedPanel panel = SavedPanel::kNone;
    std::optional<int> repeat;  // 0 off, 1 the whole list, 2 the one track
    std::optional<bool> shuffle;
    std::optional<int> clockMode;  // 0 the time of day, 1 elapsed, 2 remaining time
    std::optional<int> equaliser;  // the preset, 0 off
    std::string stationList;       // the station list file in use, absolute; empty: looked for

    bool operator==(const SavedState &) const = default;
};

// Window corners further than this from the origin are not taken (no screen is that big).
inline constexpr int kSavedCoordinateLimit = 100000;
// Texts longer than this (bytes, after unescaping) are not taken.
inline constexpr std::size_t kSavedTextLimit = 4096;
// Only this much of the file is read.
inline constexpr std::size_t kSavedFileLimit = 64 * 1024;

// The state a file's text describes; what cannot be used stays unset.
SavedState ParseSavedState(const std::string &text);
// The text of a state file; ParseSavedState gives the same state back.
std::string FormatSavedState(const SavedState &state);

// The state file's path from the environment's XDG_STATE_HOME and HOME; empty when neither
// gives an absolute folder.
std::string SavedStatePath();
// The state in the file at path; an unreadable or missing file gives the empty state.
SavedState ReadSavedStateFile(const std::string &path);
// Writes text atomically to path, creating its folder; false when anything fails, in which
// case the old file is untouched and nothing else is left behind. Returns once the file and
// its folder's entry are on the disk (fsync).
bool WriteSavedStateFile(const std::string &path, const std::string &text);

// The same in its two steps, for a writer that decides between them whether the new file is
// still wanted. How far a step waits for the disk:
//   kOnDisk     fsync: the file (and after the rename the folder's entry) is on the disk;
//   kUnderWay   the file's data is sent to the disk (its writeback started, not waited
//               for) and the rename is left to the file system's next commit, a few seconds:
//               the file is in place at once for every reader; a power cut in those seconds
//               finds the file before.
enum class DiskWait { kOnDisk, kUnderWay };
// Writes text to a new temporary file beside path (creating the folder); its name, or empty
// when anything failed (then nothing is left behind).
std::string WriteTemporaryStateFile(const std::string &path, const std::string &text,
                                    DiskWait wait);
// Renames the temporary over path; false (the temporary removed) when that fails.
bool PutTemporaryStateFileInPlace(const std::string &temporary, const std::string &path,
                                  DiskWait wait);
