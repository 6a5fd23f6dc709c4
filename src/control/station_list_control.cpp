// The station titles shown in list 14; the reading of the file is in the lists module.
#include "station_list_control.h"

#include <string>

#include "control_numbers.h"
#include "player_state.h"
#include "widgets.h"

void FillStationListControl() {
    ClearListItems(kStationList);
    for (const StationEntry &entry : g.stations.entries) {
        AddListItem(kStationList, -1, entry.title);
    }
}
