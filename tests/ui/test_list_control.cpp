// List controls as the player uses them: selection by number, texts returned byte for byte,
// insertion order, and no events for changes the player makes itself.
#include <QApplication>
#include <QImage>
#include <QListWidget>
#include <QPalette>
#include <QScrollBar>
#include <string>

#include "layer_test_support.h"

namespace {

constexpr int kList = 13;

QListWidget *List() {
    return reinterpret_cast<QListWidget *>(NativeControlHandle(kList));
}

class ListControlTest : public LayerTest {
  protected:
    void SetUp() override {
        LayerTest::SetUp();
        ShowWindow(0, 300, 200);
        CreateContainer(16, 10, 10, 200, 150);
        CreateListControl(kList, -2, -2, 215, 155);
        EndContainer();
        TakeAllEvents();
    }
};

TEST_F(ListControlTest, NoSelection_Initially_ValueMinusOneAndEmptyText) {
    AddListItem(kList, -1, "a.mp3");
    EXPECT_EQ(GetControlValue(kList), -1);
    EXPECT_EQ(GetControlText(kList), "");
}

TEST_F(ListControlTest, SetValue_ValidIndex_SelectsThatItemAndItsText) {
    for (const char *name : {"b.mp3", "a.mp3", "c.wav"})
        AddListItem(kList, -1, name);
    SetControlValue(kList, 1);
    EXPECT_EQ(GetControlValue(kList), 1);
    EXPECT_EQ(GetControlText(kList), "a.mp3");  // insertion order, not sorted
}

TEST_F(ListControlTest, SetValue_MinusOneOrAtOrBeyondCount_ClearsSelection) {
    for (const char *name : {"x", "y"})
        AddListItem(kList, -1, name);
    for (std::intptr_t index : {std::intptr_t{-1}, std::intptr_t{2}, std::intptr_t{99},
                                std::intptr_t{-7}, std::intptr_t{1} << 40}) {
        SetControlValue(kList, 0);
        SetControlValue(kList, index);
        EXPECT_EQ(GetControlValue(kList), -1) << index;
        EXPECT_EQ(GetControlText(kList), "") << index;
    }
}

TEST_F(ListControlTest, SetValue_ByThePlayer_ProducesNoEvents) {
    for (const char *name : {"x", "y", "z"})
        AddListItem(kList, -1, name);
    SetControlValue(kList, 2);
    SetControlValue(kList, 0);
    SetControlValue(kList, -1);
    ClearListItems(kList);
    AddListItem(kList, -1, "w");
    EXPECT_TRUE(TakeInputEvents().empty());
}

TEST_F(ListControlTest, GetText_ItemNotValidUtf8_ReturnsTheBytesAsAdded) {
    const std::string legacy = "\xcf\xe5\xf1\xed\xff.mp3";  // Windows-1251 file name
    AddListItem(kList, -1, legacy);
    SetControlValue(kList, 0);
    EXPECT_EQ(GetControlText(kList), legacy);
    EXPECT_EQ(List()->item(0)->text(), QString::fromUtf8("Песня.mp3"));
}

TEST_F(ListControlTest, FindItemAndItemText_ByTheBytesAsAdded_SelectsNothing) {
    const std::string legacy = "\xcf\xe5\xf1\xed\xff.mp3";  // shown as "Песня.mp3"
    for (const std::string &name :
         {std::string("a.mp3"), legacy, std::string("A.mp3"), std::string("a.mp3")})
        AddListItem(kList, -1, name);
    SetControlValue(kList, 2);
    EXPECT_EQ(FindListItem(kList, "a.mp3"), 0);  // the first of equal names
    EXPECT_EQ(FindListItem(kList, legacy), 1);
    EXPECT_EQ(FindListItem(kList, "Песня.mp3"), -1);  // the shown text is not the item's
    EXPECT_EQ(FindListItem(kList, "a.mp"), -1);
    EXPECT_EQ(FindListItem(kList, ""), -1);
    EXPECT_EQ(FindListItem(kList + 1, "a.mp3"), -1);  // no list there
    EXPECT_EQ(ListItemText(kList, 1), legacy);
    EXPECT_EQ(ListItemText(kList, 3), "a.mp3");
    EXPECT_EQ(ListItemText(kList, 4), "");
    EXPECT_EQ(ListItemText(kList, -1), "");
    EXPECT_EQ(ListItemText(kList + 1, 0), "");
    EXPECT_EQ(GetControlValue(kList), 2);
    EXPECT_TRUE(TakeInputEvents().empty());
}

TEST_F(ListControlTest, AddItem_AtPosition_InsertsThereOtherwiseAppends) {
    AddListItem(kList, -1, "b");
    AddListItem(kList, 0, "a");
    AddListItem(kList, 5, "c");
    AddListItem(kList, -3, "d");
    ASSERT_EQ(List()->count(), 4);
    const char *expected[] = {"a", "b", "c", "d"};
    for (int i = 0; i < 4; ++i) {
        SetControlValue(kList, i);
        EXPECT_EQ(GetControlText(kList), expected[i]);
    }
}

TEST_F(ListControlTest, ClearItems_WithSelection_LeavesNothingSelected) {
    for (const char *name : {"x", "y"})
        AddListItem(kList, -1, name);
    SetControlValue(kList, 1);
    ClearListItems(kList);
    EXPECT_EQ(List()->count(), 0);
    EXPECT_EQ(GetControlValue(kList), -1);
    EXPECT_EQ(GetControlText(kList), "");
}

TEST_F(ListControlTest, SetValue_ItemBelowVisibleArea_ScrollsItIntoView) {
    for (int i = 0; i < 60; ++i)
        AddListItem(kList, -1, "track " + std::to_string(i));
    SetControlValue(kList, 55);
    const QRect item = List()->visualItemRect(List()->item(55));
    EXPECT_TRUE(List()->viewport()->rect().contains(item)) << item.y();
}

TEST_F(ListControlTest, Look_Always_SingleSelectionSunkenUnsorted) {
    EXPECT_EQ(List()->selectionMode(), QAbstractItemView::SingleSelection);
    EXPECT_EQ(List()->frameShadow(), QFrame::Sunken);
    EXPECT_FALSE(List()->isSortingEnabled());
    EXPECT_EQ(List()->verticalScrollBarPolicy(), Qt::ScrollBarAsNeeded);
    EXPECT_EQ(List()->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
}

// A name wider than the list is cut with an ellipsis within the list's width: no horizontal
// scroll bar, nothing to scroll sideways.
TEST_F(ListControlTest, LongName_CutWithEllipsisWithinTheListsWidth) {
    const std::string name(400, 'w');
    AddListItem(kList, -1, name);
    AddListItem(kList, -1, "short.mp3");
    List()->resize(List()->size());  // lays the items out now
    QApplication::processEvents();
    const QRect row = List()->visualItemRect(List()->item(0));
    EXPECT_LE(row.right(), List()->viewport()->width());
    EXPECT_EQ(List()->horizontalScrollBar()->maximum(), 0);
    EXPECT_FALSE(List()->horizontalScrollBar()->isVisible());
    EXPECT_EQ(List()->textElideMode(), Qt::ElideRight);
    EXPECT_EQ(GetControlText(kList), "");
    SetControlValue(kList, 0);
    EXPECT_EQ(GetControlText(kList), name);  // the text itself stays whole
}

// Given colours, the scroll bar is drawn in them: a groove darker than the background, a knob
// in the text's colour, as narrow as the skin's lists want it.
TEST_F(ListControlTest, Colours_Given_ScrollBarDrawnInThem) {
    SetControlColours(kList, RGB(95, 95, 95), RGB(21, 24, 29));
    for (int i = 0; i < 100; ++i)
        AddListItem(kList, -1, "track " + std::to_string(i));
    QApplication::processEvents();
    QScrollBar *bar = List()->verticalScrollBar();
    ASSERT_TRUE(bar->isVisible());
    EXPECT_LE(bar->width(), 10);
    const QImage shown = bar->grab().toImage();
    const QColor groove = shown.pixelColor(bar->width() / 2, bar->height() - 3);
    EXPECT_LT(groove.lightness(), QColor(21, 24, 29).lightness());
    const QColor knob = shown.pixelColor(bar->width() / 2, 10);
    EXPECT_EQ(knob, QColor(95, 95, 95));
}

TEST_F(ListControlTest, Colours_TextAndBack_GoToThePalette) {
    SetControlColours(kList, RGB(95, 95, 95), RGB(21, 24, 29));
    EXPECT_EQ(List()->palette().color(QPalette::Text), QColor(95, 95, 95));
    EXPECT_EQ(List()->palette().color(QPalette::Base), QColor(21, 24, 29));
    SetControlColour(kList, kBackColour, kDefaultColour);
    EXPECT_NE(List()->palette().color(QPalette::Base), QColor(21, 24, 29));
}

}  // namespace

namespace {

TEST_F(ListControlTest, Colours_Given_SelectionShownInThemInverted) {
    SetControlColours(kList, RGB(95, 95, 95), RGB(21, 24, 29));
    AddListItem(kList, -1, "a.mp3");
    SetControlValue(kList, 0);
    const QPalette palette = List()->palette();
    EXPECT_EQ(palette.color(QPalette::Highlight), QColor(95, 95, 95));
    EXPECT_EQ(palette.color(QPalette::HighlightedText), QColor(21, 24, 29));
    // Drawn so: the selected row's background is the text colour.
    const QImage shown = List()->viewport()->grab().toImage();
    const QRect row = List()->visualItemRect(List()->item(0));
    EXPECT_EQ(shown.pixelColor(row.right() - 2, row.center().y()), QColor(95, 95, 95));
}

}  // namespace
