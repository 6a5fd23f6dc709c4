// Pointer state shared by the window input filter, the window drag and the pointer calls.
#pragma once

#include <QPoint>

// Screen position of the last left-button press on a window of the layer.
void RememberLeftPress(QPoint screenPosition);
QPoint LastLeftPressPosition();

// Takes back the hand pointer set by SetPointerShape (at the next pointer movement).
void RestorePointerShape();
