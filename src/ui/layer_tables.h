// The numbered windows and controls of the widget layer, and the parent that new controls go
// into. Only the window and control half of src/ui uses this.
#pragma once

#include <QColor>
#include <QPointer>
#include <QWidget>
#include <cstdint>
#include <memory>
#include <string>

#include "widgets.h"

class TopWindow;

enum class ControlKind {
    kImage,
    kList,
    kTextLabel,
    kLinkLabel,
    kContainer,
    kCheckBox,
};

struct ControlRecord {
    ControlKind kind = ControlKind::kImage;
    // Null for an empty number. Every way a control's widget goes (its own destruction, its
    // container's, its window's) clears the record first, so a plain pointer is enough: the
    // refresh looks up dozens of controls every tick, and a guarded pointer would read a
    // separate allocation for each.
    QWidget *widget = nullptr;
    int window = -1;           // number of the top window that holds it
    std::string text;          // label and check box texts exactly as the player gave them
    std::uint64_t serial = 0;  // see ControlSerial
};

// nullptr when the number holds no window.
TopWindow *WindowAt(int window);
// Window number of a native window handle, -1 when it names no live window.
int WindowNumberOfHandle(NativeHandle handle);
// Takes ownership; destroys whatever the number held. The window becomes the current parent.
void StoreWindow(int window, std::unique_ptr<TopWindow> widget);
// Destroys the window and the controls in it; the number becomes free.
void DestroyWindow(int window);

// nullptr when the number holds no live control.
ControlRecord *ControlAt(int control);
// The record of a native control handle, nullptr when it names no live control.
ControlRecord *ControlOfHandle(NativeHandle handle);
// Destroys the control held under the number, if any, and the controls inside it.
void DestroyControl(int control);
// Puts a new control under the number (after DestroyControl) and returns its handle.
NativeHandle StoreControl(int control, ControlKind kind, QWidget *widget, int window);

// Where new controls go: the current container or else the most recent window.
QWidget *CurrentParent();
int CurrentParentWindow();
void EnterContainer(QWidget *container);
void LeaveContainer();

// Every window and control destroyed, all numbers free (part of ReleaseWidgetLayer).
void DestroyAllWindows();

// A colour of the player (red + 256 * green + 65536 * blue) as Qt's.
QColor ToQColor(Colour colour);
