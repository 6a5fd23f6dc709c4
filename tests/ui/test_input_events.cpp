// Which user action produces which events, in which order: every row of the layer's
// action-to-event table, driven through the window system as real input arrives.
#include <QApplication>
#include <QTest>
#include <QWheelEvent>
#include <QWidget>

#include "layer_test_support.h"

namespace {

constexpr int kWin = 0;
constexpr int kImage = 5;
constexpr int kLabel = 6;
constexpr int kList = 7;
constexpr int kLink = 8;
constexpr int kBox = 9;

const QPoint kOnImage(15, 15);       // image control 10,10 20x20
const QPoint kOnLabel(60, 15);       // text label 50,10 40x20
const QPoint kOnItem0(110, 14);      // list 100,10 90x80, first item
const QPoint kOnLink(15, 65);        // link label 10,60 30x15
const QPoint kOnContainer(65, 75);   // container 50,50 40x40
const QPoint kOnBackground(40, 95);  // nothing there

SeenEvent Input(int kind, int control) {
    return SeenEvent{kind, kWin, control, kNoSubtype};
}
SeenEvent Control(int control, int subtype) {
    return SeenEvent{kControlEvent, kWin, control, subtype};
}

class InputEventsTest : public LayerTest {
  protected:
    void SetUp() override {
        LayerTest::SetUp();
        ShowWindow(kWin, 200, 100);
        CreateImageControl(kImage, 10, 10, 0, 0, FilledImage(1, 20, 20, 0xFF00FF00));
        CreateTextLabel(kLabel, 50, 10, 40, 20, "метка", 1);
        CreateListControl(kList, 100, 10, 90, 80);
        for (const char *item : {"один", "два", "три"})
            AddListItem(kList, -1, item);
        CreateLinkLabel(kLink, 10, 60, 30, 15, "*", RGB(206, 2, 4));
        CreateContainer(kBox, 50, 50, 40, 40);
        EndContainer();
        TakeAllEvents();
    }
};

TEST_F(InputEventsTest, MouseMove_OverWindowAndControls_GivesMouseMoveOfThatWindow) {
    for (QPoint at : {kOnBackground, kOnImage, kOnLabel, kOnItem0, kOnLink, kOnContainer}) {
        MoveTo(kWin, at);
        const std::vector<SeenEvent> seen = TakeAllEvents();
        ASSERT_FALSE(seen.empty()) << at.x() << "," << at.y();
        EXPECT_EQ(seen.back().kind, kMouseMove);
        EXPECT_EQ(seen.back().window, kWin);
    }
}

TEST_F(InputEventsTest, LeftPress_OnBackgroundLabelOrContainer_GivesLeftButtonDownOnly) {
    for (QPoint at : {kOnBackground, kOnLabel, kOnContainer}) {
        PressAt(kWin, at);
        EXPECT_EQ(TakeInputEvents(), std::vector<SeenEvent>{Input(kLeftButtonDown, 0)})
            << at.x() << "," << at.y();
        ReleaseAt(kWin, at);
        EXPECT_TRUE(TakeInputEvents().empty());
    }
}

TEST_F(InputEventsTest, LeftPress_OnImageControl_GivesLeftClickAtPressWithoutButtonDown) {
    PressAt(kWin, kOnImage);
    EXPECT_EQ(TakeInputEvents(), std::vector<SeenEvent>{Control(kImage, kLeftClick)});
    ReleaseAt(kWin, kOnImage);
    EXPECT_TRUE(TakeInputEvents().empty());
}

TEST_F(InputEventsTest, DoubleClick_OnImageControl_GivesOneClickThenDoubleClickPair) {
    DoubleClickAt(kWin, kOnImage);
    const std::vector<SeenEvent> expected = {Control(kImage, kLeftClick),
                                             SeenEvent{kLeftDoubleClick, kWin, kImage, kLeftClick},
                                             Control(kImage, kDoubleClick)};
    EXPECT_EQ(TakeInputEvents(), expected);
}

TEST_F(InputEventsTest, RightClick_OnImageControl_GivesRightButtonUpBeforeRightClick) {
    PressAt(kWin, kOnImage, Qt::RightButton);
    EXPECT_TRUE(TakeInputEvents().empty());
    ReleaseAt(kWin, kOnImage, Qt::RightButton);
    const std::vector<SeenEvent> expected = {Input(kRightButtonUp, 0),
                                             Control(kImage, kRightClick)};
    EXPECT_EQ(TakeInputEvents(), expected);
}

TEST_F(InputEventsTest, RightClick_OnBackgroundLabelListOrLink_GivesRightButtonUpOnly) {
    for (QPoint at : {kOnBackground, kOnLabel, kOnItem0, kOnLink}) {
        ClickAt(kWin, at, Qt::RightButton);
        const std::vector<SeenEvent> seen = TakeInputEvents();
        ASSERT_EQ(seen.size(), 1u) << at.x() << "," << at.y();
        EXPECT_EQ(seen[0].kind, kRightButtonUp);
        EXPECT_EQ(seen[0].window, kWin);
    }
}

TEST_F(InputEventsTest, RightDoubleClick_OnImageControl_EndsWithoutSecondRightClick) {
    DoubleClickAt(kWin, kOnImage, Qt::RightButton);
    const std::vector<SeenEvent> expected = {
        Input(kRightButtonUp, 0), Control(kImage, kRightClick), Control(kImage, kRightDoubleClick),
        SeenEvent{kRightButtonUp, kWin, kImage, kRightDoubleClick}};
    EXPECT_EQ(TakeInputEvents(), expected);
}

TEST_F(InputEventsTest, RightRelease_AfterPressOnImageButOutsideIt_GivesNoRightClick) {
    PressAt(kWin, kOnImage, Qt::RightButton);
    MoveTo(kWin, kOnBackground);
    ReleaseAt(kWin, kOnBackground, Qt::RightButton);
    EXPECT_EQ(TakeInputEvents(), std::vector<SeenEvent>{Input(kRightButtonUp, 0)});
}

TEST_F(InputEventsTest, LeftDrag_OnImageBeyondDragDistance_GivesDragStartOnce) {
    const int distance = QApplication::startDragDistance();
    PressAt(kWin, kOnImage);
    MoveTo(kWin, kOnImage + QPoint(distance, 0));  // not beyond yet
    EXPECT_EQ(TakeInputEvents(), std::vector<SeenEvent>{Control(kImage, kLeftClick)});
    MoveTo(kWin, kOnImage + QPoint(distance + 1, 0));
    MoveTo(kWin, kOnImage + QPoint(distance + 5, 2));
    EXPECT_EQ(TakeInputEvents(), std::vector<SeenEvent>{Control(kImage, kDragStart)});
    ReleaseAt(kWin, kOnImage + QPoint(distance + 5, 2));
    EXPECT_TRUE(TakeInputEvents().empty());
}

TEST_F(InputEventsTest, LeftClick_OnListItem_GivesButtonDownThenClickForSelectionAndRelease) {
    PressAt(kWin, kOnItem0);
    const std::vector<SeenEvent> atPress = {Input(kLeftButtonDown, 0), Control(kList, kLeftClick)};
    EXPECT_EQ(TakeInputEvents(), atPress);
    EXPECT_EQ(GetControlValue(kList), 0);
    ReleaseAt(kWin, kOnItem0);
    EXPECT_EQ(TakeInputEvents(), std::vector<SeenEvent>{Control(kList, kLeftClick)});
}

TEST_F(InputEventsTest, LeftClick_OnSelectedListItem_GivesOneClickForTheReleaseOnly) {
    SetControlValue(kList, 0);
    ClickAt(kWin, kOnItem0);
    const std::vector<SeenEvent> expected = {Input(kLeftButtonDown, 0), Control(kList, kLeftClick)};
    EXPECT_EQ(TakeInputEvents(), expected);
}

TEST_F(InputEventsTest, DoubleClick_OnListItem_GivesLeftDoubleClickCarryingTheList) {
    DoubleClickAt(kWin, kOnItem0);
    const std::vector<SeenEvent> seen = TakeInputEvents();
    const std::vector<SeenEvent> expected = {
        Input(kLeftButtonDown, 0),
        Control(kList, kLeftClick),  // selection changed
        Control(kList, kLeftClick),  // release
        SeenEvent{kLeftDoubleClick, kWin, kList, kLeftClick},
        Control(kList, kDoubleClick),
        Control(kList, kLeftClick),  // release of the second press
    };
    EXPECT_EQ(seen, expected);
}

TEST_F(InputEventsTest, LeftDrag_FromListItem_GivesDragStartAndNoClickForRelease) {
    const int distance = QApplication::startDragDistance();
    PressAt(kWin, kOnItem0);
    MoveTo(kWin, kOnItem0 + QPoint(distance + 3, 0));
    ReleaseAt(kWin, kOnItem0 + QPoint(distance + 3, 0));
    const std::vector<SeenEvent> expected = {Input(kLeftButtonDown, 0), Control(kList, kLeftClick),
                                             Control(kList, kDragStart)};
    EXPECT_EQ(TakeInputEvents(), expected);
}

TEST_F(InputEventsTest, KeyDown_InFocusedList_GivesKeyPressAndLeavesTheSelection) {
    // Keys are the player's: a list with the focus neither moves nor reports anything.
    SetControlValue(kList, 0);
    auto *list = reinterpret_cast<QWidget *>(NativeControlHandle(kList));
    list->activateWindow();
    list->setFocus();
    TakeAllEvents();
    QTest::keyClick(NativeWindowOf(kWin), Qt::Key_Down);
    EXPECT_EQ(TakeInputEvents(), std::vector<SeenEvent>{Input(kKeyPress, 0)});
    EXPECT_EQ(GetControlValue(kList), 0);
}

TEST_F(InputEventsTest, LinkLabel_PressThenRelease_GivesButtonDownThenClickAtRelease) {
    PressAt(kWin, kOnLink);
    EXPECT_EQ(TakeInputEvents(), std::vector<SeenEvent>{Input(kLeftButtonDown, 0)});
    ReleaseAt(kWin, kOnLink);
    EXPECT_EQ(TakeInputEvents(), std::vector<SeenEvent>{Control(kLink, kLeftClick)});
}

TEST_F(InputEventsTest, LinkLabel_ReleasedOutside_GivesNoClick) {
    PressAt(kWin, kOnLink);
    MoveTo(kWin, kOnBackground);
    ReleaseAt(kWin, kOnBackground);
    EXPECT_EQ(TakeInputEvents(), std::vector<SeenEvent>{Input(kLeftButtonDown, 0)});
}

TEST_F(InputEventsTest, DoubleClick_OnBackgroundAfterListClick_CarriesTheListAsControl) {
    ClickAt(kWin, kOnItem0);
    TakeInputEvents();
    DoubleClickAt(kWin, kOnBackground);
    const std::vector<SeenEvent> expected = {SeenEvent{kLeftButtonDown, kWin, kList, kLeftClick},
                                             SeenEvent{kLeftDoubleClick, kWin, kList, kLeftClick}};
    EXPECT_EQ(TakeInputEvents(), expected);
}

TEST_F(InputEventsTest, DoubleClick_OnTextLabel_GivesLeftDoubleClickWithControlUnchanged) {
    PressAt(kWin, kOnImage);
    ReleaseAt(kWin, kOnImage);
    TakeInputEvents();
    DoubleClickAt(kWin, kOnLabel);
    const std::vector<SeenEvent> expected = {SeenEvent{kLeftButtonDown, kWin, kImage, kLeftClick},
                                             SeenEvent{kLeftDoubleClick, kWin, kImage, kLeftClick}};
    EXPECT_EQ(TakeInputEvents(), expected);
}

TEST_F(InputEventsTest, Input_OnSecondWindow_CarriesThatWindow) {
    ShowWindow(1, 120, 60);
    CreateImageControl(30, 5, 5, 10, 10, 0);
    TakeAllEvents();
    ClickAt(1, QPoint(50, 40));
    ClickAt(1, QPoint(8, 8));
    const std::vector<SeenEvent> expected = {SeenEvent{kLeftButtonDown, 1, 0, kNoSubtype},
                                             SeenEvent{kControlEvent, 1, 30, kLeftClick}};
    EXPECT_EQ(TakeInputEvents(), expected);
}

TEST_F(InputEventsTest, CheckBox_Click_TogglesAndGivesLeftClick) {
    CreateCheckBox(11, 120, 92, 60, 8, "флаг");
    TakeAllEvents();
    ClickAt(kWin, QPoint(125, 95));
    EXPECT_EQ(GetControlValue(11), 1);
    const std::vector<SeenEvent> expected = {Input(kLeftButtonDown, 0), Control(11, kLeftClick)};
    EXPECT_EQ(TakeInputEvents(), expected);
}

// The wheel as the window system delivers it: a mouse's notches of 120, a touchpad's small
// steps that add up to notches, and a flung wheel.
void WheelAt(int window, QPoint at, int angle) {
    auto *top = reinterpret_cast<QWidget *>(NativeWindowHandle(window));
    QWidget *under = top->childAt(at);
    QWidget *target = under ? under : top;
    const QPointF local = target->mapFrom(top, QPointF(at));
    QWheelEvent event(local, top->mapToGlobal(QPointF(at)), QPoint(), QPoint(0, angle),
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(target, &event);
}

TEST_F(InputEventsTest, Wheel_OnImageControl_OneEventANotchEitherWay) {
    WheelAt(kWin, kOnImage, 120);
    WheelAt(kWin, kOnImage, -240);
    const std::vector<SeenEvent> expected = {
        Control(kImage, kWheelForward), Control(kImage, kWheelBack), Control(kImage, kWheelBack)};
    EXPECT_EQ(TakeInputEvents(), expected);
}

TEST_F(InputEventsTest, Wheel_SmallStepsAddUpToNotches_AFlingIsBounded) {
    for (int i = 0; i < 7; ++i)
        WheelAt(kWin, kOnImage, 30);  // 210: one notch and most of another
    EXPECT_EQ(TakeInputEvents(), std::vector<SeenEvent>{Control(kImage, kWheelForward)});
    WheelAt(kWin, kOnImage, 30);  // the second notch completed
    EXPECT_EQ(TakeInputEvents(), std::vector<SeenEvent>{Control(kImage, kWheelForward)});
    WheelAt(kWin, kOnImage, -120 * 100);
    EXPECT_EQ(TakeInputEvents().size(), 10u);
    WheelAt(kWin, kOnImage, 60);  // what the fling left over is not carried on
    EXPECT_TRUE(TakeInputEvents().empty());
}

TEST_F(InputEventsTest, Wheel_ElsewhereThanAnImageControl_GivesNoControlEvent) {
    WheelAt(kWin, kOnBackground, 120);
    WheelAt(kWin, kOnLabel, 120);
    for (const SeenEvent &event : TakeInputEvents())
        EXPECT_NE(event.kind, kControlEvent);
}

}  // namespace
