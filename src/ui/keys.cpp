// Key presses as events of the layer, the key of each kept beside the event queue in the same
// order as its kKeyPress events.
#include <QApplication>
#include <QKeyEvent>
#include <QWidget>
#include <deque>

#include "event_queue.h"
#include "key_events.h"
#include "key_input.h"
#include "layer_tables.h"

namespace {

struct KeyRecord {
    int key = kKeyNone;
    int modifiers = 0;
};

std::deque<KeyRecord> g_queuedKeys;
KeyRecord g_lastKey;

// The Latin letter on the key of each Russian letter А to Я (the ЙЦУКЕН layout over QWERTY);
// 0 where the key holds no letter of the Latin alphabet.
constexpr char kLatinOfCyrillic[32] = {
    'f', ',', 'd', 'u', 'l', 't', ';', 'p', 'b', 'q', 'r', 'k', 'v', 'y',  'j', 'g',
    'h', 'c', 'n', 'e', 'a', '[', 'w', 'x', 'i', 'o', ']', 's', 'm', '\'', '.', 'z',
};

int LetterKey(int qtKey) {
    if (qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z) return 'a' + (qtKey - Qt::Key_A);
    if (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9) return '0' + (qtKey - Qt::Key_0);
    // Qt names a Cyrillic letter by its upper-case code point.
    if (qtKey >= 0x410 && qtKey <= 0x42F) {
        const char latin = kLatinOfCyrillic[qtKey - 0x410];
        if (latin >= 'a' && latin <= 'z') return latin;
    }
    return kKeyNone;
}

int KeyCodeOf(int qtKey) {
    switch (qtKey) {
        case Qt::Key_Space:
            return ' ';
        case Qt::Key_Return:
        case Qt::Key_Enter:
            return kKeyEnter;
        case Qt::Key_Escape:
            return kKeyEscape;
        case Qt::Key_Delete:
            return kKeyDelete;
        case Qt::Key_Backspace:
            return kKeyBackspace;
        case Qt::Key_Left:
            return kKeyLeft;
        case Qt::Key_Right:
            return kKeyRight;
        case Qt::Key_Up:
            return kKeyUp;
        case Qt::Key_Down:
            return kKeyDown;
        case Qt::Key_PageUp:
            return kKeyPageUp;
        case Qt::Key_PageDown:
            return kKeyPageDown;
        case Qt::Key_Home:
            return kKeyHome;
        case Qt::Key_End:
            return kKeyEnd;
        default: {
            const int letter = LetterKey(qtKey);
            return letter != kKeyNone ? letter : kKeyOther;
        }
    }
}

bool IsModifierAlone(int qtKey) {
    switch (qtKey) {
        case Qt::Key_Shift:
        case Qt::Key_Control:
        case Qt::Key_Meta:
        case Qt::Key_Alt:
        case Qt::Key_AltGr:
        case Qt::Key_CapsLock:
        case Qt::Key_NumLock:
        case Qt::Key_Super_L:
        case Qt::Key_Super_R:
        case Qt::Key_Hyper_L:
        case Qt::Key_Hyper_R:
        case Qt::Key_unknown:
            return true;
        default:
            return false;
    }
}

}  // namespace

bool QueueKeyPress(const QKeyEvent &event, int window) {
    if (IsModifierAlone(event.key())) return false;
    const Qt::KeyboardModifiers qt = event.modifiers();
    KeyRecord record{KeyCodeOf(event.key()), 0};
    if (qt & Qt::ShiftModifier) record.modifiers |= kShiftKey;
    if (qt & Qt::ControlModifier) record.modifiers |= kCtrlKey;
    if (qt & Qt::AltModifier) record.modifiers |= kAltKey;
    if (qt & Qt::MetaModifier) record.modifiers |= kMetaKey;
    if (event.isAutoRepeat()) record.modifiers |= kKeyRepeat;
    g_queuedKeys.push_back(record);
    QueueInputEvent(kKeyPress, window);
    return true;
}

void TakeQueuedKey() {
    if (g_queuedKeys.empty()) return;
    g_lastKey = g_queuedKeys.front();
    g_queuedKeys.pop_front();
}

void ForgetQueuedKeys() {
    g_queuedKeys.clear();
    g_lastKey = KeyRecord{};
}

int LastEventKey() {
    return g_lastKey.key;
}

int LastEventKeyModifiers() {
    return g_lastKey.modifiers;
}

bool ControlHasFocus(int control) {
    const ControlRecord *record = ControlAt(control);
    return record && record->widget && record->widget->hasFocus();
}
