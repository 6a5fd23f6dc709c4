// Keys pressed in the layer's windows: one kKeyPress event each, in order with the rest of
// the input, carrying the key and its modifiers in a form that does not depend on the
// keyboard layout; no control sees a key.
#include <QApplication>
#include <QTest>
#include <QWidget>
#include <utility>

#include "key_events.h"
#include "layer_test_support.h"

namespace {

constexpr int kMain = 0;
constexpr int kMini = 1;
constexpr int kList = 7;

struct SeenKey {
    int window, key, modifiers;
    bool operator==(const SeenKey &) const = default;
};

std::ostream &operator<<(std::ostream &out, const SeenKey &key) {
    return out << "{window " << key.window << ", key " << key.key << ", modifiers " << key.modifiers
               << "}";
}

// Every key event waiting, with the key record as each one is returned.
std::vector<SeenKey> TakeKeys() {
    std::vector<SeenKey> keys;
    for (int kind; (kind = PollNextEvent()) != kNoEvent;)
        if (kind == kKeyPress)
            keys.push_back({LastEventWindow(), LastEventKey(), LastEventKeyModifiers()});
    return keys;
}

class KeyEventsTest : public LayerTest {
  protected:
    void SetUp() override {
        LayerTest::SetUp();
        ShowWindow(kMain, 200, 100);
        CreateListControl(kList, 100, 10, 90, 80);
        for (const char *item : {"zebra", "xylophone", "вода"})
            AddListItem(kList, -1, item);
        ShowWindow(kMini, 100, 40);
        TakeAllEvents();
    }
};

TEST_F(KeyEventsTest, ClassicKeysAndChords_InEitherWindow_KeyAndModifiersInOrder) {
    QTest::keyClick(NativeWindowOf(kMain), Qt::Key_Space);
    QTest::keyClick(NativeWindowOf(kMain), Qt::Key_Z);
    QTest::keyClick(NativeWindowOf(kMain), Qt::Key_V, Qt::ControlModifier);
    QTest::keyClick(NativeWindowOf(kMini), Qt::Key_Up, Qt::AltModifier);
    QTest::keyClick(NativeWindowOf(kMini), Qt::Key_Return);
    QTest::keyClick(NativeWindowOf(kMini), Qt::Key_Enter, Qt::KeypadModifier);
    QTest::keyClick(NativeWindowOf(kMain), Qt::Key_F, Qt::ShiftModifier);
    QTest::keyClick(NativeWindowOf(kMain), Qt::Key_Delete);
    QTest::keyClick(NativeWindowOf(kMain), Qt::Key_F5);
    const std::vector<SeenKey> expected = {
        {kMain, ' ', 0},          {kMain, 'z', 0},        {kMain, 'v', kCtrlKey},
        {kMini, kKeyUp, kAltKey}, {kMini, kKeyEnter, 0},  {kMini, kKeyEnter, 0},
        {kMain, 'f', kShiftKey},  {kMain, kKeyDelete, 0}, {kMain, kKeyOther, 0},
    };
    EXPECT_EQ(TakeKeys(), expected);
}

TEST_F(KeyEventsTest, RussianLayout_LetterOfTheSameKey) {
    // What Qt reports with the Russian layout on: the Cyrillic letter of the key.
    for (const auto &[cyrillic, latin] :
         {std::pair{0x42F, 'z'}, std::pair{0x427, 'x'}, std::pair{0x421, 'c'},
          std::pair{0x41C, 'v'}, std::pair{0x418, 'b'}, std::pair{0x410, 'f'},
          std::pair{0x417, 'p'}, std::pair{0x42C, 'm'}}) {
        QTest::sendKeyEvent(QTest::Click, NativeWindowOf(kMain), static_cast<Qt::Key>(cyrillic),
                            QString(QChar(cyrillic)), Qt::ControlModifier);
        EXPECT_EQ(TakeKeys(), (std::vector<SeenKey>{{kMain, latin, kCtrlKey}})) << cyrillic;
    }
    // A Cyrillic letter on a key without a Latin letter is no letter.
    QTest::sendKeyEvent(QTest::Click, NativeWindowOf(kMain), static_cast<Qt::Key>(0x411),
                        QStringLiteral("Б"), Qt::NoModifier);  // the comma key
    EXPECT_EQ(TakeKeys(), (std::vector<SeenKey>{{kMain, kKeyOther, 0}}));
}

TEST_F(KeyEventsTest, ModifierAloneAndRepeat) {
    QTest::keyClick(NativeWindowOf(kMain), Qt::Key_Control, Qt::ControlModifier);
    QTest::keyClick(NativeWindowOf(kMain), Qt::Key_Shift);
    EXPECT_TRUE(TakeKeys().empty());
    QTest::sendKeyEvent(QTest::KeyAction::Press, NativeWindowOf(kMain), Qt::Key_Right, QString(),
                        Qt::NoModifier);
    QTest::simulateEvent(NativeWindowOf(kMain), true, Qt::Key_Right, Qt::NoModifier, QString(),
                         true);
    QTest::sendKeyEvent(QTest::KeyAction::Release, NativeWindowOf(kMain), Qt::Key_Right, QString(),
                        Qt::NoModifier);
    const std::vector<SeenKey> expected = {{kMain, kKeyRight, 0}, {kMain, kKeyRight, kKeyRepeat}};
    EXPECT_EQ(TakeKeys(), expected);
}

TEST_F(KeyEventsTest, FocusedList_KeepsItsSelection_FocusIsKnown) {
    SetControlValue(kList, 0);
    auto *list = reinterpret_cast<QWidget *>(NativeControlHandle(kList));
    EXPECT_FALSE(ControlHasFocus(kList));
    list->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(list->window()));
    list->setFocus();
    EXPECT_TRUE(ControlHasFocus(kList));
    // Typed letters start no search of the items, arrows and Space move nothing.
    for (Qt::Key key : {Qt::Key_X, Qt::Key_Down, Qt::Key_End, Qt::Key_Space})
        QTest::keyClick(NativeWindowOf(kMain), key);
    EXPECT_EQ(TakeKeys().size(), 4u);
    EXPECT_EQ(GetControlValue(kList), 0);
    EXPECT_FALSE(ControlHasFocus(12345));
}

}  // namespace
