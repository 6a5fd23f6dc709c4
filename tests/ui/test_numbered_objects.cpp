// Numbered windows and controls: creation, re-creation under a number in use, geometry,
// containers, labels, colours and fonts, and operations on numbers that hold nothing.
#include <QApplication>
#include <QCheckBox>
#include <QCoreApplication>
#include <QCursor>
#include <QLabel>
#include <QScreen>
#include <QTest>
#include <QWidget>
#include <climits>

#include "labels.h"
#include "layer_test_support.h"
#include "ui_internal.h"

namespace {

QWidget *Widget(NativeHandle handle) {
    return reinterpret_cast<QWidget *>(handle);
}
QWidget *ControlWidget(int control) {
    return Widget(NativeControlHandle(control));
}

class NumberedObjectsTest : public LayerTest {};

TEST_F(NumberedObjectsTest, CreateTopWindow_Centred_IsHiddenFramelessCentredAndTitled) {
    const NativeHandle handle = CreateTopWindow(0, 5, 5, 600, 400, "Плеер",
                                                kWindowBorderless | kWindowHidden | kWindowCentred);
    ASSERT_NE(handle, 0u);
    EXPECT_EQ(NativeWindowHandle(0), handle);
    QWidget *window = Widget(handle);
    EXPECT_FALSE(window->isVisible());
    EXPECT_TRUE(window->windowFlags() & Qt::FramelessWindowHint);
    EXPECT_EQ(window->windowTitle(), QString::fromUtf8("Плеер"));
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    EXPECT_EQ(window->geometry(), QRect(screen.x() + (screen.width() - 600) / 2,
                                        screen.y() + (screen.height() - 400) / 2, 600, 400));
    SetWindowVisible(0, 1);
    EXPECT_TRUE(window->isVisible());
    SetWindowVisible(0, 0);
    EXPECT_FALSE(window->isVisible());
}

// The right click shows one window and hides the other: the one shown must take the keyboard
// and come in front, or the user's keys go nowhere.
TEST_F(NumberedObjectsTest, SetWindowVisible_Shown_ActiveNormalAndInFront) {
    const int flags = kWindowBorderless | kWindowHidden | kWindowCentred;
    QWidget *first = Widget(CreateTopWindow(0, 0, 0, 600, 400, "Плеер", flags));
    QWidget *second = Widget(CreateTopWindow(1, 0, 0, 225, 52, "мини", flags));
    SetWindowVisible(0, 1);
    EXPECT_TRUE(QTest::qWaitForWindowActive(first));
    second->showMinimized();
    SetWindowVisible(1, 1);
    SetWindowVisible(0, 0);
    EXPECT_TRUE(QTest::qWaitForWindowActive(second));
    EXPECT_EQ(QApplication::activeWindow(), second);
    EXPECT_FALSE(second->isMinimized());
    SetWindowVisible(0, 1);
    SetWindowVisible(1, 0);
    EXPECT_TRUE(QTest::qWaitForWindowActive(first));
    EXPECT_EQ(QApplication::activeWindow(), first);
}

TEST_F(NumberedObjectsTest, CreateTopWindow_LargerThanScreen_IsClippedToIt) {
    const QSize screen = QGuiApplication::primaryScreen()->geometry().size();
    QWidget *window = Widget(CreateTopWindow(2, 0, 0, screen.width() + 300, 10, "мини",
                                             kWindowBorderless | kWindowHidden | kWindowCentred));
    EXPECT_EQ(window->size(), QSize(screen.width(), 10));
}

TEST_F(NumberedObjectsTest, CreateTopWindow_NumberInUse_ReplacesTheOldWindow) {
    ShowWindow(1);
    CreateImageControl(28, 1, 1, 5, 5, 0);
    const NativeHandle second = ShowWindow(1, 50, 40);
    EXPECT_EQ(NativeWindowHandle(1), second);
    EXPECT_EQ(NativeControlHandle(28), 0u);
}

TEST_F(NumberedObjectsTest, CreateControl_NumberInUseInOtherWindow_DestroysTheOld) {
    ShowWindow(0);
    const NativeHandle first = CreateImageControl(5, 1, 1, 5, 5, 0);
    ShowWindow(1);
    const NativeHandle second = CreateTextLabel(5, 2, 2, 9, 9, "x", 0);
    EXPECT_EQ(NativeControlHandle(5), second);
    EXPECT_EQ(ControlScreenRect(first).right, 0);
    EXPECT_EQ(Widget(second)->window(), Widget(NativeWindowHandle(1)));
}

TEST_F(NumberedObjectsTest, Container_ChildrenInside_AreRelativeAndClipped) {
    ShowWindow(0, 600, 400);
    CreateContainer(16, 105, 240, 390, 0);
    CreateListControl(13, -2, -2, 415, 155);
    CreateTextLabel(12, 0, 0, 0, 0, "Путь", 0);
    EndContainer();
    CreateImageControl(3, 4, 5, 6, 7, 0);
    EXPECT_EQ(ControlWidget(13)->parentWidget(), ControlWidget(16));
    EXPECT_EQ(ControlWidget(3)->parentWidget(), Widget(NativeWindowHandle(0)));
    EXPECT_EQ(ControlLeft(13), -2);
    QImage black(8, 8, QImage::Format_RGB32);
    black.fill(0xFF000000);
    SetWindowBackgroundImage(NativeWindowHandle(0), StoreImage(2, black));
    SetControlColours(13, RGB(0, 0, 0), RGB(255, 255, 255));
    auto shown = [](int x, int y) {
        return Widget(NativeWindowHandle(0))->grab().toImage().pixel(x, y) | 0xFF000000u;
    };
    EXPECT_EQ(shown(200, 240), 0xFF000000u);  // container height 0: nothing of the list
    ResizeControl(16, kKeep, kKeep, kKeep, 150);
    EXPECT_EQ(ControlWidget(16)->geometry(), QRect(105, 240, 390, 150));
    EXPECT_EQ(shown(200, 389), 0xFFFFFFFFu);  // the list, inside the container
    EXPECT_EQ(shown(200, 391), 0xFF000000u);  // the list's lower part is cut off
    EXPECT_EQ(GetControlText(12), "Путь");
}

// A container's number given to a new control takes the container's controls with it, at
// any depth; the numbers read as empty, and nothing reaches the widgets that are gone.
TEST_F(NumberedObjectsTest, Container_NumberReused_ItsControlsAreGoneWithIt) {
    ShowWindow(0);
    CreateContainer(3, 10, 10, 80, 80);
    CreateImageControl(4, 0, 0, 5, 5, 0);
    const NativeHandle label = CreateTextLabel(5, 0, 10, 20, 10, "t", 0);
    CreateContainer(6, 0, 30, 40, 40);
    CreateListControl(7, 0, 0, 20, 20);
    EndContainer();
    EndContainer();
    CreateImageControl(8, 0, 0, 5, 5, 0);  // beside the container, not in it
    const std::uint64_t outside = ControlSerial(8);

    CreateImageControl(3, 0, 0, 5, 5, 0);
    for (int control : {4, 5, 6, 7}) {
        SCOPED_TRACE(control);
        EXPECT_EQ(NativeControlHandle(control), 0u);
        EXPECT_EQ(ControlSerial(control), 0u);
        SetControlValue(control, 1);
        SetControlText(control, "x");
        AddListItem(control, -1, "x");
        ResizeControl(control, 1, 2, 3, 4);
        EXPECT_EQ(GetControlValue(control), 0);
    }
    EXPECT_EQ(ControlScreenRect(label).right, 0);
    EXPECT_EQ(ControlSerial(8), outside);
    EXPECT_NE(NativeControlHandle(3), 0u);
    // The numbers take new controls again.
    EXPECT_NE(CreateTextLabel(5, 0, 0, 10, 10, "u", 0), 0u);
    EXPECT_EQ(GetControlText(5), "u");
}

TEST_F(NumberedObjectsTest, ResizeControl_KeepValues_ChangeOnlyTheOthers) {
    ShowWindow(0);
    CreateImageControl(7, 10, 20, 30, 40, 0);
    ResizeControl(7, kKeep, 25, kKeep, 2);
    EXPECT_EQ(ControlWidget(7)->geometry(), QRect(10, 25, 30, 2));
    ResizeControl(7, 1, kKeep, 5, kKeep);
    EXPECT_EQ(ControlWidget(7)->geometry(), QRect(1, 25, 5, 2));
    EXPECT_EQ(ControlLeft(7), 1);
}

TEST_F(NumberedObjectsTest, ControlScreenRect_Always_HasExclusiveRightAndBottom) {
    const NativeHandle window = ShowWindow(0);
    const NativeHandle control = CreateImageControl(7, 10, 20, 30, 40, 0);
    const QPoint origin = Widget(window)->mapToGlobal(QPoint(0, 0));
    const ScreenRect rect = ControlScreenRect(control);
    EXPECT_EQ(rect.left, origin.x() + 10);
    EXPECT_EQ(rect.top, origin.y() + 20);
    EXPECT_EQ(rect.right, origin.x() + 40);
    EXPECT_EQ(rect.bottom, origin.y() + 60);
}

TEST_F(NumberedObjectsTest, PointerXInWindow_AtOrBeyondEdges_IsMinusOne) {
    const NativeHandle handle = ShowWindow(0, 120, 50);
    const QPoint origin = Widget(handle)->mapToGlobal(QPoint(0, 0));
    QCursor::setPos(origin + QPoint(119, 49));
    EXPECT_EQ(PointerXInWindow(0), 119);
    EXPECT_EQ(PointerScreenPosition().x, origin.x() + 119);
    EXPECT_EQ(PointerScreenPosition().y, origin.y() + 49);
    QCursor::setPos(origin + QPoint(120, 10));
    EXPECT_EQ(PointerXInWindow(0), -1);
    QCursor::setPos(origin + QPoint(10, 50));
    EXPECT_EQ(PointerXInWindow(0), -1);
    QCursor::setPos(origin + QPoint(-1, 10));
    EXPECT_EQ(PointerXInWindow(0), -1);
    QCursor::setPos(origin + QPoint(0, 0));
    EXPECT_EQ(PointerXInWindow(0), 0);
    EXPECT_EQ(PointerXInWindow(5), -1);
}

TEST_F(NumberedObjectsTest, SetPointerShape_Hand_LastsUntilThePointerMoves) {
    ShowWindow(0);
    TakeAllEvents();
    SetPointerShape(kHandPointer);
    ASSERT_NE(QGuiApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QGuiApplication::overrideCursor()->shape(), Qt::PointingHandCursor);
    SetPointerShape(kHandPointer);  // no stacking
    MoveTo(0, QPoint(20, 20));
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

TEST_F(NumberedObjectsTest, TextLabel_TextAndColours_ShowAsGivenAndReturnBytes) {
    ShowWindow(0);
    CreateTextLabel(256, 30, 15, 250, 10, "", 1);
    auto *label = static_cast<QLabel *>(ControlWidget(256));
    EXPECT_TRUE(label->testAttribute(Qt::WA_TransparentForMouseEvents));
    EXPECT_TRUE(label->alignment() & Qt::AlignHCenter);
    const std::string legacy = "\xc8\xe2\xe0\xed <b>";  // Windows-1251 and no markup
    SetControlText(256, legacy);
    EXPECT_EQ(GetControlText(256), legacy);
    EXPECT_EQ(label->text(), QString::fromUtf8("Иван <b>"));
    EXPECT_EQ(label->textFormat(), Qt::PlainText);
    SetControlColours(256, RGB(204, 205, 211), RGB(72, 86, 101));
    EXPECT_EQ(label->palette().color(QPalette::WindowText), QColor(204, 205, 211));
    EXPECT_EQ(label->palette().color(QPalette::Window), QColor(72, 86, 101));
    EXPECT_TRUE(label->autoFillBackground());
    SetControlColour(256, kBackColour, kTransparentColour);
    EXPECT_FALSE(label->autoFillBackground());
    SetControlColour(256, kTextColour, kDefaultColour);
    EXPECT_EQ(label->palette().color(QPalette::WindowText),
              QApplication::palette(label).color(QPalette::WindowText));
}

TEST_F(NumberedObjectsTest, LinkLabel_DefaultTextInPair_KeepsItsOwnTextColour) {
    ShowWindow(1, 225, 52);
    CreateLinkLabel(258, 217, 1, 7, 7, "*", RGB(206, 2, 4));
    SetControlColour(258, kTextColour, RGB(18, 18, 18));
    SetControlColours(258, kDefaultColour, kTransparentColour);
    auto *link = static_cast<LinkLabel *>(ControlWidget(258));
    EXPECT_EQ(link->TextColour(), QColor(18, 18, 18));
    EXPECT_FALSE(link->autoFillBackground());
    EXPECT_EQ(link->cursor().shape(), Qt::PointingHandCursor);
    EXPECT_EQ(GetControlText(258), "*");
}

TEST_F(NumberedObjectsTest, LinkLabel_PointerOver_IsDrawnInHoverColour) {
    ShowWindow(1, 60, 30);
    QImage black(60, 30, QImage::Format_RGB32);
    black.fill(0xFF000000);
    SetWindowBackgroundImage(NativeWindowHandle(1), StoreImage(27, black));
    CreateLinkLabel(258, 5, 5, 40, 20, "WWW", RGB(206, 2, 4));
    SetControlColour(258, kTextColour, RGB(0, 255, 0));
    auto reds = [] {
        const QImage shot = Widget(NativeWindowHandle(1))->grab().toImage();
        int count = 0;
        for (int y = 0; y < shot.height(); ++y)
            for (int x = 0; x < shot.width(); ++x)
                count += qRed(shot.pixel(x, y)) > 150;
        return count;
    };
    EXPECT_EQ(reds(), 0);
    // The pointer enters the window first, as it does on a real desktop.
    QCursor::setPos(Widget(NativeWindowHandle(1))->mapToGlobal(QPoint(50, 25)));
    QCoreApplication::processEvents();
    MoveTo(1, QPoint(10, 10));
    EXPECT_TRUE(static_cast<LinkLabel *>(ControlWidget(258))->Hovered());
    EXPECT_GT(reds(), 0);
    MoveTo(1, QPoint(55, 27));
    EXPECT_EQ(reds(), 0);
}

TEST_F(NumberedObjectsTest, CheckBox_Value_IsZeroAtCreationAndFollowsSetValue) {
    ShowWindow(0);
    CreateCheckBox(15, 0, 0, 0, 0, "");
    EXPECT_EQ(GetControlValue(15), 0);
    SetControlValue(15, 1);
    EXPECT_EQ(GetControlValue(15), 1);
    SetControlValue(15, 0);
    EXPECT_EQ(GetControlValue(15), 0);
    EXPECT_TRUE(TakeInputEvents().empty());
}

TEST_F(NumberedObjectsTest, SetControlFont_HandleOrMinusOne_SetsThatFontOrTheDefault) {
    ShowWindow(0);
    CreateTextLabel(250, 1, 1, 15, 10, "50", 0);
    QFont small = QApplication::font();
    small.setPixelSize(7);
    small.setBold(true);
    SetControlFont(250, StoreFont(66, small));
    EXPECT_EQ(ControlWidget(250)->font().pixelSize(), 7);
    EXPECT_TRUE(ControlWidget(250)->font().bold());
    SetControlFont(250, 0);  // nothing
    EXPECT_EQ(ControlWidget(250)->font().pixelSize(), 7);
    SetControlFont(250, static_cast<NativeHandle>(-1));
    EXPECT_EQ(ControlWidget(250)->font(), QApplication::font());
}

TEST_F(NumberedObjectsTest, Operations_OnEmptyNumbersAndZeroHandles_DoNothing) {
    EXPECT_EQ(CreateImageControl(3, 0, 0, 5, 5, 0), 0u);  // no window yet
    EXPECT_EQ(NativeWindowHandle(0), 0u);
    EXPECT_EQ(NativeWindowHandle(-1), 0u);
    SetWindowVisible(7, 1);
    SetWindowBackgroundImage(0, 0);
    StartWindowDrag(7);
    CloseTopWindow(7);
    CloseTopWindow(-2);
    ShowWindow(0);
    SetWindowBackgroundImage(NativeWindowHandle(0), 0);
    SetWindowBackgroundImage(12345, NativeImageHandle(0));
    EXPECT_EQ(CreateImageControl(-1, 0, 0, 5, 5, 0), 0u);
    for (int control : {-5, 0, 77, 100000}) {
        SetControlValue(control, 1);
        EXPECT_EQ(GetControlValue(control), 0);
        SetControlText(control, "x");
        EXPECT_EQ(GetControlText(control), "");
        AddListItem(control, -1, "x");
        ClearListItems(control);
        SetControlFont(control, static_cast<NativeHandle>(-1));
        SetControlColour(control, kTextColour, 0);
        SetControlColours(control, 0, 0);
        EXPECT_EQ(ControlLeft(control), 0);
        ResizeControl(control, 1, 2, 3, 4);
        EXPECT_EQ(NativeControlHandle(control), 0u);
    }
    const ScreenRect none = ControlScreenRect(0);
    EXPECT_EQ(none.left + none.top + none.right + none.bottom, 0);
    EXPECT_EQ(ControlScreenRect(NativeWindowHandle(0)).right, 0);  // a window, not a control
    EndContainer();
    EndContainer();
}

TEST_F(NumberedObjectsTest, Create_HugeNumbers_RefusedWithoutGrowingTheTables) {
    EXPECT_EQ(CreateTopWindow(INT_MAX, 0, 0, 100, 100, "x", kWindowHidden), 0u);
    ASSERT_NE(CreateTopWindow(0, 0, 0, 100, 100, "x", kWindowHidden), 0u);
    EXPECT_EQ(CreateImageControl(INT_MAX, 0, 0, 5, 5, 0), 0u);
    EXPECT_EQ(CreateListControl(kNumberLimit, 0, 0, 5, 5), 0u);
    EXPECT_EQ(CreateBlankImage(INT_MAX, 5, 5), 0u);
    EXPECT_EQ(NativeControlHandle(INT_MAX), 0u);
    // Nothing of a refused control is left in the window.
    EXPECT_TRUE(Widget(NativeWindowHandle(0))->findChildren<QWidget *>().isEmpty());
}

TEST_F(NumberedObjectsTest, Operations_OnWrongControlKinds_DoNothing) {
    ShowWindow(0);
    CreateImageControl(1, 0, 0, 5, 5, 0);
    CreateTextLabel(2, 0, 0, 5, 5, "t", 0);
    CreateContainer(3, 0, 0, 5, 5);
    EndContainer();
    AddListItem(1, -1, "x");
    AddListItem(2, -1, "x");
    SetControlValue(2, 1);
    SetControlValue(3, 1);
    EXPECT_EQ(GetControlValue(1), 0);
    EXPECT_EQ(GetControlValue(2), 0);
    SetControlText(1, "image");
    SetControlText(3, "container");
    EXPECT_EQ(GetControlText(1), "");
    EXPECT_EQ(GetControlText(3), "");
    EXPECT_EQ(GetControlText(2), "t");
}

}  // namespace
