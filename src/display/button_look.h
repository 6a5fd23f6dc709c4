// Hover looks of the skinned buttons and the pointer shape over the active controls.
#pragma once

#include "widgets.h"

// Non-zero when the pointer lies inside the control's screen rectangle (right and bottom
// edges outside).
int IsCursorOverControl(NativeHandle control);
// The hover handler of one of the skinned buttons (231-233, 237-242, 244-246).
void UpdateButtonLook(int control, int eventKind);
void UpdateCursorShape(int eventKind);
