// Moving a borderless window by dragging its background. The press is left to the control
// under it until the pointer has really moved, so clicks and double clicks still arrive.
#include <QApplication>
#include <QCursor>
#include <QEventLoop>
#include <QGuiApplication>
#include <QPointer>
#include <QWindow>

#include "input_state.h"
#include "layer_tables.h"
#include "top_window.h"

bool LeftButtonHeld() {
    return QGuiApplication::mouseButtons() & Qt::LeftButton;
}

void WaitForMoreInput() {
    FlushStorePaints();
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

namespace {

// Where the platform will not move the window itself: follow the pointer until the release.
void FollowPointer(QPointer<TopWindow> &window, QPoint pressedAt) {
    const QPoint start = window->pos();
    while (window && LeftButtonHeld()) {
        window->move(start + (QCursor::pos() - pressedAt));
        WaitForMoreInput();
    }
    if (window) window->move(start + (QCursor::pos() - pressedAt));
}

}  // namespace

bool StartWindowDrag(int window) {
    QPointer<TopWindow> widget = WindowAt(window);
    if (!widget) return false;
    const QPoint pressedAt = LastLeftPressPosition();
    while (widget && LeftButtonHeld()) {
        if ((QCursor::pos() - pressedAt).manhattanLength() > QApplication::startDragDistance()) {
            QWindow *native = widget->windowHandle();
            if (native && native->startSystemMove()) return true;
            FollowPointer(widget, pressedAt);
            return true;
        }
        WaitForMoreInput();
    }
    return false;
}
