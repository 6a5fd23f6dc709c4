#include "station_list_file.h"

#include "background_writer.h"
#include "event_loop.h"
#include "own_station_file.h"
#include "playback_controller.h"
#include "player_state.h"
#include "station_file_lookup.h"
#include "station_list_control.h"

namespace {

// The user's list while a write of it is under way; empty otherwise.
std::string g_listBeingWritten;

}  // namespace

void OpenStationListAndPlay(const std::string &path) {
    if (!OpenStationListFile(path)) return;
    OpenStationPanel();
    ActivateStation();
}

void SaveStationList() {
    // Only the user's own list is ever written: an installed default, the current folder's
    // list and lists opened from elsewhere are where they came from, and the first change
    // makes the user's list from the list in use.
    const std::string path = UserStationFile(CurrentStationFilePlaces());
    if (path.empty()) {
        ShowMarqueeMessage("Список станций не записан: нет папки настроек");
        return;
    }
    g.stationFile = path;
    WriteSavedStateInBackground(path, FormatOwnStationFile(g.stations.entries, g.stationGroup));
    g_listBeingWritten = path;
}

void ReportStationListWrite() {
    if (g_listBeingWritten.empty()) return;
    const WriteOutcome outcome = LatestWriteOutcome(g_listBeingWritten);
    if (outcome == WriteOutcome::kWaiting) return;
    if (outcome == WriteOutcome::kFailed)
        ShowMarqueeMessage("Список станций не записан: " + g_listBeingWritten);
    g_listBeingWritten.clear();
}
