// The station list as the user sees it: list 14 of the station panel.
#pragma once

// Replaces the items of list 14 with the titles of g.stations, in list order.
void FillStationListControl();
