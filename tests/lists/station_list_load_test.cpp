// LoadStationList: the numbered File/Title keys of the group stationGroup of ./radio.pls.

#include <gtest/gtest.h>

#include <string>

#include "lists_test_support.h"
#include "player_state.h"
#include "station_list.h"

namespace {

class StationListLoad : public ::testing::Test {
  protected:
    void SetUp() override {
        ResetPlayerState();
        g.stationGroup = "Всё подряд";
    }

    void Load(const std::string &pls) {
        folder_.Write("radio.pls", pls);
        CurrentFolder cwd(folder_.Path());
        LoadStationList();
    }

    ScratchFolder folder_;
};

TEST_F(StationListLoad, Load_NoFile_EmptyListAndStateUntouched) {
    g.stations.entries.push_back({"http://old/", "old"});
    g.stationUrl = "keep";
    CurrentFolder cwd(folder_.Path());
    LoadStationList();
    EXPECT_TRUE(g.stations.entries.empty());
    EXPECT_EQ(g.stationUrl, "keep");
}

TEST_F(StationListLoad, Load_ThreeStations_LastReadsLeftInState) {
    Load("[Всё подряд]\nFile1=a\nTitle1=A\nFile2=b\nTitle2=B\nTitle3=only a title\n");
    ASSERT_EQ(g.stations.entries.size(), 2u);
    EXPECT_EQ(g.stations.entries[1].address, "b");
    EXPECT_EQ(g.stations.entries[1].title, "B");
    // The turn that ends the list read an empty File3 and the Title3 beside it.
    EXPECT_EQ(g.stationUrl, "");
    EXPECT_EQ(g.currentTitle, "only a title");
}

TEST_F(StationListLoad, Load_GroupFromState_OtherGroupNamesIgnored) {
    g.stationGroup = "Jazz";
    Load("[Всё подряд]\nFile1=a\n[jazz]\nFile1=j\nTitle1=J\n");
    ASSERT_EQ(g.stations.entries.size(), 1u);
    EXPECT_EQ(g.stations.entries[0].address, "j");
}

TEST_F(StationListLoad, Load_SecondTime_ReplacesListAndClearsCursor) {
    Load("[Всё подряд]\nFile1=a\nFile2=b\n");
    g.stations.Select(1);
    Load("[Всё подряд]\nFile1=c\n");
    ASSERT_EQ(g.stations.entries.size(), 1u);
    EXPECT_EQ(g.stations.entries[0].address, "c");
    EXPECT_EQ(g.stations.current, -1);
}

TEST_F(StationListLoad, Load_TenThousandStations_AllInOrder) {
    std::string pls = "[Всё подряд]\n";
    for (int i = 1; i <= 10000; ++i) {
        const std::string n = std::to_string(i);
        pls += "File" + n + "=http://s/" + n + "\nTitle" + n + "=T" + n + "\n";
    }
    Load(pls);
    ASSERT_EQ(g.stations.entries.size(), 10000u);
    EXPECT_EQ(g.stations.entries[9999].address, "http://s/10000");
    EXPECT_EQ(g.stations.entries[4999].title, "T5000");
}

TEST_F(StationListLoad, Load_NumberWithLeadingZero_NotFound) {
    Load("[Всё подряд]\nFile01=a\n");
    EXPECT_TRUE(g.stations.entries.empty());
}

TEST_F(StationListLoad, Load_DemoStationFile_EightStationsWithRussianTitles) {
    const std::string demo = ReadFileBytes(LISTS_DEMO_FOLDER "radio.pls");
    ASSERT_FALSE(demo.empty());
    Load(demo);
    ASSERT_EQ(g.stations.entries.size(), 8u);
    EXPECT_EQ(g.stations.entries[0].address, "https://ice1.somafm.com/groovesalad-128-mp3");
    EXPECT_EQ(g.stations.entries[4].title, "Радио Маяк");
    for (const StationEntry &entry : g.stations.entries) {
        EXPECT_TRUE(entry.address.starts_with("http://") || entry.address.starts_with("https://"))
            << entry.address;
        EXPECT_FALSE(entry.title.empty());
    }
}

}  // namespace
