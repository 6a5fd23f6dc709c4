// List 14 shows the titles of the station list, one item per station in list order.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "lists_controls.h"
#include "lists_test_support.h"
#include "player_state.h"
#include "station_list.h"
#include "station_list_control.h"
#include "widgets.h"

namespace {

using Names = std::vector<std::string>;

class StationListControl : public ListControlsTest {};

TEST_F(StationListControl, Fill_LoadedStations_TitlesInOrderAddressForNone) {
    ScratchFolder folder;
    folder.Write("radio.pls",
                 "[Всё подряд]\nFile1=http://a/\nTitle1=Радио Один\nFile2=http://b/\n"
                 "File3=http://c/\nTitle3=Three\n");
    g.stationGroup = "Всё подряд";
    {
        CurrentFolder cwd(folder.Path());
        LoadStationList();
    }
    FillStationListControl();
    EXPECT_EQ(ListItems(14), (Names{"Радио Один", "http://b/", "Three"}));
}

TEST_F(StationListControl, Fill_SecondTime_ReplacesItems) {
    g.stations.entries = {{"http://a/", "A"}, {"http://b/", "B"}};
    FillStationListControl();
    g.stations.entries = {{"http://c/", "C"}};
    FillStationListControl();
    EXPECT_EQ(ListItems(14), Names{"C"});
}

TEST_F(StationListControl, Fill_NoStations_EmptyList) {
    g.stations.entries = {{"http://a/", "A"}};
    FillStationListControl();
    g.stations.entries.clear();
    FillStationListControl();
    EXPECT_TRUE(ListItems(14).empty());
}

TEST_F(StationListControl, Load_DoesNotTouchList14) {
    AddListItem(14, -1, "kept");
    ScratchFolder folder;
    folder.Write("radio.pls", "[Всё подряд]\nFile1=http://a/\nTitle1=A\n");
    g.stationGroup = "Всё подряд";
    CurrentFolder cwd(folder.Path());
    LoadStationList();
    EXPECT_EQ(ListItems(14), Names{"kept"});
}

}  // namespace
