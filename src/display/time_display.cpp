#include "time_display.h"

void UpdateTimeDisplay() {}
