// The LCD clock of the main window: local time, redrawn once a second by the event loop.
#pragma once

void UpdateTimeDisplay();
