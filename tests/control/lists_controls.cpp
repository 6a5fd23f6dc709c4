#include "lists_controls.h"

#include "player_state.h"
#include "widgets.h"

void ListControlsTest::SetUp() {
    ResetPlayerState();
    SetFileChooserForTesting({});
    CreateTopWindow(0, 0, 0, 600, 400, "Плеер", kWindowBorderless | kWindowHidden | kWindowCentred);
    CreateContainer(16, 105, 240, 390, 0);
    CreateListControl(13, -2, -2, 415, 155);
    CreateTextLabel(12, 0, 0, 0, 0, "Путь", 0);
    EndContainer();
    CreateContainer(17, 105, 240, 390, 0);
    CreateListControl(14, -2, -2, 415, 155);
    EndContainer();
}

void ListControlsTest::TearDown() {
    SetFileChooserForTesting({});
    CloseTopWindow(0);
}

std::vector<std::string> ListItems(int control) {
    const int selected = GetControlValue(control);
    std::vector<std::string> items;
    for (int i = 0;; ++i) {
        SetControlValue(control, i);
        if (GetControlValue(control) != i) break;
        items.push_back(GetControlText(control));
    }
    SetControlValue(control, selected);
    return items;
}
