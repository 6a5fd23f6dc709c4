// Many random calls of the window and control operations, with numbers in use and not,
// stale and invented handles, odd texts and random input in between: nothing may crash or
// leak, and every answer stays in its range. The generator always starts the same way, so
// any failure repeats.
#include <QWidget>
#include <random>

#include "layer_test_support.h"
#include "ui_internal.h"

namespace {

class RandomUseTest : public LayerTest {};

std::string RandomBytes(std::mt19937 &random) {
    std::string text(random() % 12, '\0');
    for (char &c : text)
        c = static_cast<char>(random() % 256);
    return text;
}

TEST_F(RandomUseTest, RandomCalls_RepeatableSequence_StaySafeAndInRange) {
    std::mt19937 random(20261207);
    std::vector<NativeHandle> handles = {0, 1, static_cast<NativeHandle>(-1)};
    auto number = [&random] { return static_cast<int>(random() % 24) - 2; };
    auto handle = [&] { return handles[random() % handles.size()]; };
    for (int slot = 0; slot < 4; ++slot)
        handles.push_back(FilledImage(slot, 1 + slot * 7, 1 + slot * 3, 0x80FF8040u));

    for (int step = 0; step < 4000; ++step) {
        const int c = number();
        switch (random() % 22) {
            case 0: {
                const int w = number();
                handles.push_back(CreateTopWindow(w, number(), number(), number() * 20,
                                                  number() * 10, RandomBytes(random), 7));
                SetWindowVisible(w, static_cast<int>(random() % 2));
                break;
            }
            case 1:
                CloseTopWindow(number());
                break;
            case 2:
                handles.push_back(
                    CreateImageControl(c, number(), number(), number(), number(), handle()));
                break;
            case 3:
                handles.push_back(CreateListControl(c, number(), number(), 40, 30));
                break;
            case 4:
                handles.push_back(
                    CreateTextLabel(c, number(), number(), 20, 9, RandomBytes(random), c & 1));
                break;
            case 5:
                handles.push_back(CreateLinkLabel(c, 1, 1, 7, 7, RandomBytes(random), 255));
                break;
            case 6:
                handles.push_back(CreateContainer(c, number(), number(), 30, number()));
                break;
            case 7:
                EndContainer();
                handles.push_back(CreateCheckBox(c, 0, 0, 0, 0, RandomBytes(random)));
                break;
            case 8:
                SetControlValue(c, static_cast<std::intptr_t>(random() % 3 ? handle() : number()));
                break;
            case 9: {
                const int value = GetControlValue(c);
                EXPECT_GE(value, -1);
                EXPECT_LE(value, 1000);
                break;
            }
            case 10:
                SetControlText(c, RandomBytes(random));
                GetControlText(c);
                break;
            case 11:
                AddListItem(c, number(), RandomBytes(random));
                break;
            case 12:
                ClearListItems(c);
                break;
            case 13:
                SetControlFont(c, handle());
                SetControlColour(c, number(), static_cast<Colour>(random()));
                SetControlColours(c, static_cast<Colour>(random()), static_cast<Colour>(random()));
                break;
            case 14:
                ResizeControl(c, random() % 2 ? kKeep : number(), number(), number(), number());
                ControlLeft(c);
                break;
            case 15: {
                const ScreenRect rect = ControlScreenRect(handle());
                EXPECT_LE(rect.left, rect.right);
                EXPECT_LE(rect.top, rect.bottom);
                break;
            }
            case 16:
                SetWindowBackgroundImage(handle(), handle());
                break;
            case 17:
                EXPECT_GE(PointerXInWindow(number()), -1);
                break;
            case 18:
                if (QImage *overlay = WindowOverlayImage(number())) overlay->fill(random());
                WindowOverlayChanged(number(), QRect(number(), number(), number(), number()));
                break;
            case 19: {
                const int w = number();
                if (QWindow *native = NativeWindowOf(w)) {
                    if (native->isExposed()) {
                        const QPoint at(1 + static_cast<int>(random() % 30),
                                        1 + static_cast<int>(random() % 30));
                        if (random() % 2)
                            ClickAt(w, at, random() % 3 ? Qt::LeftButton : Qt::RightButton);
                        else
                            DoubleClickAt(w, at);
                    }
                }
                break;
            }
            case 20:
                StartWindowDrag(number());  // the button is up: returns at once
                break;
            default: {
                const int kind = PollNextEvent();
                EXPECT_GE(kind, kNoEvent);
                EXPECT_LE(kind, kOtherEvent);
                break;
            }
        }
        if (handles.size() > 200) handles.resize(10);
    }
    TakeAllEvents();
}

}  // namespace
