#include "refresh_tick.h"

void RefreshTick() {}
