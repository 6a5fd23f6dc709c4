// The station titles shown in list 14; apart from the reading, which needs no widget layer.

#include <string>

#include "control_numbers.h"
#include "player_state.h"
#include "station_list.h"
#include "widgets.h"

void FillStationListControl() {
    ClearListItems(kStationList);
    for (const StationEntry &entry : g.stations.entries) {
        AddListItem(kStationList, -1, entry.title);
    }
}
