// The station titles shown in list 14; apart from the reading, which needs no widget layer.

#include <string>

#include "player_state.h"
#include "station_list.h"
#include "widgets.h"

namespace {
constexpr int kStationListControl = 14;
}  // namespace

void FillStationListControl() {
    ClearListItems(kStationListControl);
    for (const StationEntry &entry : g.stations.entries) {
        AddListItem(kStationListControl, -1, entry.title);
    }
}
