// What a drop on either window opens.
#pragma once

// Opens what the kDrop event last returned carried. Addresses dropped on the open station
// panel are added to the list (and the first of them plays); anything else opens as on the
// command line: the first of the files, folders, station lists and addresses that opens.
void OpenDroppedLocations();
