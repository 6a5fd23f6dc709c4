#include "station_list.h"

void LoadStationList() {}
