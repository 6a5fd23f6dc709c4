// The pointer: its position, the hand shape, and the last left press that a window drag
// measures from.
#include <QCursor>
#include <QGuiApplication>

#include "input_state.h"
#include "layer_tables.h"
#include "top_window.h"

namespace {

QPoint g_lastLeftPress;
bool g_handShown = false;

}  // namespace

void RememberLeftPress(QPoint screenPosition) {
    g_lastLeftPress = screenPosition;
}

QPoint LastLeftPressPosition() {
    return g_lastLeftPress;
}

void RestorePointerShape() {
    if (!g_handShown) return;
    g_handShown = false;
    QGuiApplication::restoreOverrideCursor();
}

int PointerXInWindow(int window) {
    const TopWindow *widget = WindowAt(window);
    if (!widget) return -1;
    const QPoint at = widget->mapFromGlobal(QCursor::pos());
    if (at.x() < 0 || at.y() < 0 || at.x() >= widget->width() || at.y() >= widget->height())
        return -1;
    return at.x();
}

int PointerYInWindow(int window) {
    const TopWindow *widget = WindowAt(window);
    if (!widget) return -1;
    const QPoint at = widget->mapFromGlobal(QCursor::pos());
    if (at.x() < 0 || at.y() < 0 || at.x() >= widget->width() || at.y() >= widget->height())
        return -1;
    return at.y();
}

ScreenPoint PointerScreenPosition() {
    if (!QCoreApplication::instance()) return {};
    const QPoint at = QCursor::pos();
    return ScreenPoint{at.x(), at.y()};
}

// The hand lasts until the pointer moves again; the player sets it anew on every move over
// a control that wants it.
void SetPointerShape(int shape) {
    if (!QCoreApplication::instance()) return;
    if (shape != kHandPointer) {
        RestorePointerShape();
        return;
    }
    if (g_handShown) return;
    g_handShown = true;
    QGuiApplication::setOverrideCursor(QCursor(Qt::PointingHandCursor));
}
