// Keys pressed while a window of the layer has the keyboard focus. Each press becomes one
// kKeyPress event of the window, in the order of the other input; the record of the event
// last returned says which key it was. The layer keeps every key to itself: no control sees
// one (a list does not search for typed letters nor move its selection), so what a key does
// is the player's alone. Modifier keys alone make no event.
#pragma once

// Letter keys come as their lower-case ASCII letter ('a' to 'z') whatever the keyboard
// layout: a key of the Russian layout as the Latin letter on the same key (Я as 'z', М as
// 'v'), so that the classic keys and Ctrl+V work in either. Digits as '0' to '9', the space
// bar as ' '. Other keys have codes of their own; any key not named here is kKeyOther.
enum KeyCode : int {
    kKeyNone = 0,
    kKeyEnter = 0x100,  // Return and the keypad's Enter
    kKeyEscape,
    kKeyDelete,
    kKeyBackspace,
    kKeyLeft,
    kKeyRight,
    kKeyUp,
    kKeyDown,
    kKeyPageUp,
    kKeyPageDown,
    kKeyHome,
    kKeyEnd,
    kKeyOther,
};

// Bits of LastEventKeyModifiers.
enum KeyModifier : int {
    kShiftKey = 1,
    kCtrlKey = 2,
    kAltKey = 4,
    kMetaKey = 8,
    kKeyRepeat = 16,  // the press repeats a key held down
};

// The key of the kKeyPress event last returned, and its modifiers; kKeyNone and 0 before
// the first.
int LastEventKey();
int LastEventKeyModifiers();
// True while the control has the keyboard focus (a list the user clicked into).
bool ControlHasFocus(int control);
