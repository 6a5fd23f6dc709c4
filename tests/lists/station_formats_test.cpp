// Station lists in the forms radio sites and other players write them: standard PLS, M3U and
// M3U8, XSPF; read from files wherever the player looks for its station list, and the
// player's own format written and read back.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "lists_test_support.h"
#include "own_station_file.h"
#include "player_state.h"
#include "station_formats.h"
#include "station_list.h"

namespace {

std::string AsText(const std::vector<StationEntry> &stations) {
    std::string text;
    for (const StationEntry &entry : stations)
        text += entry.address + "|" + entry.title + "\n";
    return text;
}

TEST(PlsStations, Read_AsRadioSitesWriteIt_EntriesWithTitles) {
    const std::string pls =
        "[playlist]\r\nNumberOfEntries=2\r\nFile1=http://a.example:8000/live\r\n"
        "Title1=(#1 - 12/500) Первая\r\nLength1=-1\r\nFile2=https://b.example/s.mp3\r\n"
        "Title2=Вторая\r\nLength2=-1\r\nVersion=2\r\n";
    EXPECT_EQ(AsText(ReadPlsStations(pls)),
              "http://a.example:8000/live|(#1 - 12/500) Первая\n"
              "https://b.example/s.mp3|Вторая\n");
}

TEST(PlsStations, Read_KeysInAnyCaseAndOrder_NumberedOrderGapsAllowed) {
    const std::string pls =
        "[PlayList]\nnumberofentries=9\ntitle3=Three\nFILE3=http://c/\nfile10=http://j/\n"
        "File1=http://a/\nFile1=http://ignored/\nTitle1=One\nTitle1=Ignored\n";
    EXPECT_EQ(AsText(ReadPlsStations(pls)), "http://a/|One\nhttp://c/|Three\nhttp://j/|\n");
}

TEST(PlsStations, Read_OtherGroupsAndNoStations_LeftOut) {
    EXPECT_EQ(AsText(ReadPlsStations("[other]\nFile1=http://x/\n[playlist]\nFile2=http://y/\n")),
              "http://y/|\n");
    // Files, relative paths, other schemes and broken numbers are no stations.
    EXPECT_EQ(AsText(ReadPlsStations("[playlist]\nFile1=/music/a.mp3\nFile2=a.mp3\n"
                                     "File3=ftp://x/\nFile4=http://\nFile=http://n/\n"
                                     "File5x=http://n/\nFile-6=http://n/\nFile7=http://a b/\n")),
              "");
}

TEST(M3uStations, Read_ExtinfTitlesAndPlainLines) {
    const std::string m3u =
        "#EXTM3U\r\n#EXTINF:-1 tvg-name=\"a,b\" group-title=\"News\",Радио, с запятой\r\n"
        "http://a.example/stream\r\n\r\n# a comment\r\nhttps://b.example/x.aac\r\n"
        "#EXTINF:0,Local file\r\n/home/u/a.mp3\r\n#EXTINF:-1,Third\r\n  http://c.example/  \r\n";
    EXPECT_EQ(AsText(ReadM3uStations(m3u)),
              "http://a.example/stream|Радио, с запятой\n"
              "https://b.example/x.aac|\n"
              "http://c.example/|Third\n");
}

TEST(M3uStations, Read_HlsPlaylist_NoStations) {
    EXPECT_TRUE(ReadM3uStations("#EXTM3U\n#EXT-X-TARGETDURATION:10\n#EXTINF:10,\n"
                                "http://a/seg1.ts\n")
                    .empty());
    EXPECT_TRUE(
        ReadM3uStations("#EXTM3U\n#EXT-X-STREAM-INF:BANDWIDTH=1\nhttp://a/v.m3u8\n").empty());
}

TEST(XspfStations, Read_TracksWithLocationsTitlesAndReferences) {
    const std::string xspf =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!-- a <track> in a comment -->\n"
        "<playlist version=\"1\" xmlns=\"http://xspf.org/ns/0/\"><title>List</title>"
        "<trackList>\n<track><title>Rock &amp; Roll &#x420;&#1072;</title>"
        "<location>http://a.example/live?x=1&amp;y=2</location></track>\n"
        "<track><location>file:///music/a.mp3</location>"
        "<location>https://b.example/</location><title><![CDATA[<B> & co]]></title></track>"
        "<track><title>No address</title></track>"
        "<xspf:track><xspf:location> http://c.example/ </xspf:location></xspf:track>"
        "</trackList></playlist>";
    EXPECT_EQ(AsText(ReadXspfStations(xspf)),
              "http://a.example/live?x=1&y=2|Rock & Roll Ра\n"
              "https://b.example/|<B> & co\n"
              "http://c.example/|\n");
}

TEST(XspfStations, Read_BrokenAndHostileMarkup_SaneResult) {
    // No entity is expanded beyond XML's own: the declared one stays as written.
    const std::string xspf =
        "<!DOCTYPE p [<!ENTITY a \"aaaaaaaaaa\"><!ENTITY b \"&a;&a;&a;\">]><playlist>"
        "<track><title>&b; &#0; &#xD800; &#99999999;</title><location>http://a/</location>"
        "</track><track><location>http://b/";
    EXPECT_EQ(AsText(ReadXspfStations(xspf)), "http://a/|&b; &#0; &#xD800; &#99999999;\n");
    EXPECT_TRUE(ReadXspfStations("<").empty());
    EXPECT_TRUE(ReadXspfStations("<track><location>http://a/</location>").empty());
}

TEST(StandardStationList, Read_EachFormByItsText) {
    EXPECT_EQ(AsText(ReadStandardStationList("\n  <playlist><trackList><track><location>"
                                             "http://x/</location></track></trackList>"
                                             "</playlist>")),
              "http://x/|\n");
    EXPECT_EQ(AsText(ReadStandardStationList("; comment\n[playlist]\nFile1=http://p/\n")),
              "http://p/|\n");
    EXPECT_EQ(AsText(ReadStandardStationList("http://m/\n")), "http://m/|\n");
}

TEST(StationEntryRules, TitlesAndAddresses_BoundedAndClean) {
    EXPECT_EQ(CleanStationTitle(" a\tb\x01 c "), "a b  c");
    const std::string longTitle = std::string(kMaxStationTitleBytes - 1, 'x') + "Ж";
    const std::string cut = CleanStationTitle(longTitle);
    EXPECT_EQ(cut, std::string(kMaxStationTitleBytes - 1, 'x'));  // not half a letter
    EXPECT_EQ(StationAddressOrEmpty("HTTP://A/"), "HTTP://A/");
    EXPECT_EQ(StationAddressOrEmpty("http://" + std::string(kMaxStationAddressBytes, 'a')), "");
    EXPECT_TRUE(IsStationListFileName("/a/B.PLS"));
    EXPECT_TRUE(IsStationListFileName("x.m3u8"));
    EXPECT_TRUE(IsStationListFileName("x.xspf"));
    EXPECT_FALSE(IsStationListFileName("x.mp3"));
    EXPECT_FALSE(IsStationListFileName("pls"));
}

TEST(StandardStationList, Read_ManyEntries_StopsAtTheBound) {
    std::string m3u;
    for (std::size_t i = 0; i < kMaxListedStations + 10; ++i)
        m3u += "http://s/" + std::to_string(i) + "\n";
    EXPECT_EQ(ReadM3uStations(m3u).size(), kMaxListedStations);
    std::string pls = "[playlist]\n";
    for (std::size_t i = 0; i < kMaxListedStations + 10; ++i)
        pls += "File" + std::to_string(i + 1) + "=http://s/\n";
    EXPECT_EQ(ReadPlsStations(pls).size(), kMaxListedStations);
}

class StationListForms : public ::testing::Test {
  protected:
    void SetUp() override {
        ResetPlayerState();
        g.stationGroup = "Всё подряд";
    }
    ScratchFolder folder_;
};

TEST_F(StationListForms, Load_RadioPlsInStandardForm_ItsStations) {
    folder_.Write("radio.pls", "[playlist]\nFile1=http://a/\nTitle1=\xC0\xE1\n");  // cp1251
    CurrentFolder cwd(folder_.Path());
    LoadStationList();
    EXPECT_EQ(AsText(g.stations.entries), "http://a/|Аб\n");
}

TEST_F(StationListForms, Load_OwnGroupBeforeAStandardOne_OwnGroupWins) {
    g.stationFile =
        folder_.Write("list.pls", "[playlist]\nFile1=http://p/\n[Всё подряд]\nFile1=http://own/\n");
    LoadStationList();
    EXPECT_EQ(AsText(g.stations.entries), "http://own/|\n");
}

TEST_F(StationListForms, ReadFile_M3uAndXspfAndMissing) {
    std::vector<StationEntry> stations;
    ASSERT_TRUE(ReadStationListFile(folder_.Write("a.m3u8",
                                                  "\xEF\xBB\xBF#EXTM3U\n#EXTINF:-1,Ё\n"
                                                  "http://m/\n"),
                                    g.stationGroup, &stations));
    EXPECT_EQ(AsText(stations), "http://m/|Ё\n");
    ASSERT_TRUE(ReadStationListFile(
        folder_.Write("a.xspf",
                      "<playlist><trackList><track><location>http://x/</location>"
                      "<title>X</title></track></trackList></playlist>"),
        g.stationGroup, &stations));
    EXPECT_EQ(AsText(stations), "http://x/|X\n");
    EXPECT_FALSE(ReadStationListFile(folder_.Path() + "missing.pls", g.stationGroup, &stations));
    EXPECT_EQ(AsText(stations), "http://x/|X\n");  // untouched
}

TEST_F(StationListForms, OwnFormat_WrittenAndReadBack_SameStations) {
    const std::vector<StationEntry> stations = {
        {"http://a/", "Первая"},
        {"https://b/?x=1;y=2", "  [не группа] ; = \"в кавычках\"  "},
        {"http://c/\nFile9=http://evil/", "two\r\nlines"},
        {"   ", "empty address left out"},
        {"http://d/", ""},
    };
    g.stationFile = folder_.Write("radio.pls", FormatOwnStationFile(stations, g.stationGroup));
    LoadStationList();
    EXPECT_EQ(AsText(g.stations.entries),
              "http://a/|Первая\n"
              "https://b/?x=1;y=2|[не группа] ; = \"в кавычках\"\n"
              "http://c/ File9=http://evil/|two  lines\n"
              "http://d/|\n");
}

}  // namespace
