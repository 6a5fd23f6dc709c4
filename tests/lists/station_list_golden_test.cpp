// Golden station files: each data/NAME.pls, loaded as radio.pls of the current folder with the
// group "Всё подряд", gives exactly the stations of data/NAME.stations.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "lists_test_support.h"
#include "player_state.h"
#include "station_list.h"

namespace {

std::string StationsAsText() {
    std::string text;
    for (const StationEntry &entry : g.stations.entries) {
        text += entry.address + "\t" + entry.title + "\n";
    }
    return text;
}

class StationGolden : public ::testing::TestWithParam<std::string> {};

TEST_P(StationGolden, LoadStationList_GoldenFile_GivesExpectedStations) {
    const std::string data = ListsTestDataFolder() + GetParam();
    const std::string expected = ReadFileBytes(data + ".stations");
    const std::string pls = ReadFileBytes(data + ".pls");
    ASSERT_TRUE(GetParam() == "empty" || !pls.empty()) << data;
    ScratchFolder folder;
    folder.Write("radio.pls", pls);
    ResetPlayerState();
    g.stationGroup = "Всё подряд";
    {
        CurrentFolder cwd(folder.Path());
        LoadStationList();
    }
    EXPECT_EQ(StationsAsText(), expected);
    EXPECT_EQ(g.stations.current, -1);
}

INSTANTIATE_TEST_SUITE_P(Files, StationGolden,
                         ::testing::Values("cp1251_lf", "cp1251_crlf", "utf8_bom_crlf",
                                           "utf8_plain_cr", "gap_ends_list",
                                           "empty_file3_ends_list", "tricky_lines", "group_missing",
                                           "stations_before_header_only", "header_without_bracket",
                                           "empty"));

}  // namespace
