#include "button_look.h"

int IsCursorOverControl(NativeHandle) { return 0; }
void UpdateButtonLook(int, int) {}
void UpdateCursorShape(int) {}
