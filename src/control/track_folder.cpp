#include "track_folder.h"

#include <string>

#include "control_numbers.h"
#include "playback_controller.h"
#include "player_state.h"
#include "track_names.h"
#include "widgets.h"

namespace {
// The picked file is looked for among this many items at most.
constexpr int kSearchedItems = 1001;
}  // namespace

void OpenTrackFolder() {
    OpenTrackFile(ChooseFileToOpen("", "", "*.*|*.*", 0));
}

void OpenTrackFile(const std::string &path) {
    g.chosenFilePath = path;
    ScanTrackFolder();
    SelectChosenTrack();
    PlaySelectedTrack();
}

void ScanTrackFolder() {
    g.trackCount = 0;
    const std::string folder = FolderPart(g.chosenFilePath);
    SetControlText(kFolderLabel, folder);
    ClearListItems(kTrackList);
    for (const std::string &name : ListTrackNames(folder)) {
        AddListItem(kTrackList, -1, name);
        ++g.trackCount;
    }
}

void SelectChosenTrack() {
    g.chosenFileName = NamePart(g.chosenFilePath);
    for (int i = 0; i < kSearchedItems; ++i) {
        SetControlValue(kTrackList, i);
        if (GetControlText(kTrackList) == g.chosenFileName) return;
    }
    // Not found. A shorter list has cleared its selection at the first index past its end;
    // a longer one would keep item 1000 selected and play a track nobody picked.
    SetControlValue(kTrackList, -1);
}
