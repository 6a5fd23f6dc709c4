#include "track_folder.h"

#include <string>

#include "playback_controller.h"
#include "player_state.h"
#include "track_names.h"
#include "widgets.h"

namespace {
constexpr int kFolderLabel = 12;
constexpr int kTrackList = 13;
// The picked file is looked for among this many items at most.
constexpr int kSearchedItems = 1001;
}  // namespace

void OpenTrackFolder() {
    g.chosenFilePath = ChooseFileToOpen("", "", "*.*|*.*", 0);
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
    // The list clears its selection for an index past its end, so a name that is not found
    // leaves nothing selected once the search has run past the last item.
    for (int i = 0; i < kSearchedItems; ++i) {
        SetControlValue(kTrackList, i);
        if (GetControlText(kTrackList) == g.chosenFileName) return;
    }
}
