// Where the station list comes from: radio.pls of the current folder, the user's config
// folder, the data folders, the installation's own; or the file the command line names.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "lists_test_support.h"
#include "player_state.h"
#include "station_file_lookup.h"
#include "station_list.h"

namespace {

using Places = std::vector<std::string>;

TEST(StationFileCandidates, Order_CurrentConfigDataFoldersInstalled) {
    const Places places = StationFileCandidates(
        {"/cfg", "/home/u", "/data/one:/data/two/", "/opt/volnar/bin/../share/volnar"});
    EXPECT_EQ(places,
              (Places{"radio.pls", "/cfg/volnar/radio.pls", "/data/one/volnar/radio.pls",
                      "/data/two/volnar/radio.pls", "/opt/volnar/bin/../share/volnar/radio.pls"}));
}

TEST(StationFileCandidates, Unset_DefaultsOfTheBaseDirectoryRules) {
    const Places places = StationFileCandidates({"", "/home/u", "", ""});
    EXPECT_EQ(places, (Places{"radio.pls", "/home/u/.config/volnar/radio.pls",
                              "/usr/local/share/volnar/radio.pls", "/usr/share/volnar/radio.pls"}));
}

TEST(StationFileCandidates, RelativeOrEmptyFolders_Ignored) {
    // A relative config home counts as unset; relative and empty data folders are skipped.
    const Places places = StationFileCandidates({"cfg", "/home/u", "data::/d", "share"});
    EXPECT_EQ(places,
              (Places{"radio.pls", "/home/u/.config/volnar/radio.pls", "/d/volnar/radio.pls"}));
    // Without a usable home there is no config place at all, not one under the current folder.
    EXPECT_EQ(StationFileCandidates({"", "", "/d", ""}),
              (Places{"radio.pls", "/d/volnar/radio.pls"}));
    EXPECT_EQ(StationFileCandidates({"", "relative", "/d", ""}),
              (Places{"radio.pls", "/d/volnar/radio.pls"}));
}

// Sets an environment variable for the life of the object, restoring the old value after.
class ScopedVariable {
  public:
    ScopedVariable(const char *name, const std::string &value) : name_(name) {
        if (const char *old = std::getenv(name)) old_ = old;
        setenv(name, value.c_str(), 1);
    }
    ~ScopedVariable() {
        if (old_)
            setenv(name_, old_->c_str(), 1);
        else
            unsetenv(name_);
    }

  private:
    const char *name_;
    std::optional<std::string> old_;
};

std::string Pls(const std::string &address) {
    return "[Всё подряд]\nFile1=" + address + "\nTitle1=" + address + "\n";
}

// Three places that can each hold a radio.pls, and a current folder that can too.
class StationFileLookup : public ::testing::Test {
  protected:
    void SetUp() override {
        ResetPlayerState();
        g.stationGroup = "Всё подряд";
        std::filesystem::create_directories(root_.Path() + "work");
    }

    void Put(const std::string &place, const std::string &address) {
        std::filesystem::create_directories(root_.Path() + place);
        root_.Write(place + "/radio.pls", Pls(address));
    }

    // The address of the only station read, with the current folder "work".
    std::string Loaded() {
        ScopedVariable config("XDG_CONFIG_HOME", root_.Path() + "config");
        ScopedVariable data("XDG_DATA_DIRS", root_.Path() + "data1:" + root_.Path() + "data2");
        CurrentFolder cwd(root_.Path() + "work");
        LoadStationList();
        return g.stations.entries.size() == 1 ? g.stations.entries[0].address : "(none)";
    }

    ScratchFolder root_;
};

TEST_F(StationFileLookup, EachPlace_ReadWhenTheOnlyOne) {
    EXPECT_EQ(Loaded(), "(none)");
    Put("data2/volnar", "second-data");
    EXPECT_EQ(Loaded(), "second-data");
    Put("data1/volnar", "first-data");
    EXPECT_EQ(Loaded(), "first-data");
    Put("config/volnar", "config");
    EXPECT_EQ(Loaded(), "config");
    Put("work", "current");
    EXPECT_EQ(Loaded(), "current");
}

TEST_F(StationFileLookup, EarlierPlace_WinsOverLater_EvenWithoutStations) {
    Put("config/volnar", "config");
    Put("data1/volnar", "data");
    // A radio.pls in the current folder without the group still wins: it is read, as today,
    // and gives an empty list.
    root_.Write("work/radio.pls", "[other]\nFile1=x\n");
    EXPECT_EQ(Loaded(), "(none)");
}

TEST_F(StationFileLookup, FolderNamedRadioPls_IsPassedOver) {
    std::filesystem::create_directories(root_.Path() + "work/radio.pls");
    std::filesystem::create_directories(root_.Path() + "config/volnar/radio.pls");
    Put("data2/volnar", "data");
    EXPECT_EQ(Loaded(), "data");
}

TEST_F(StationFileLookup, NamedFile_ReadInsteadOfAnyPlace_AndNothingWritten) {
    Put("work", "current");
    Put("config/volnar", "config");
    const std::string named = root_.Write("mine.pls", Pls("named"));
    g.stationFile = named;
    EXPECT_EQ(Loaded(), "named");
    EXPECT_EQ(ReadFileBytes(named), Pls("named"));
    EXPECT_EQ(ReadFileBytes(root_.Path() + "work/radio.pls"), Pls("current"));

    // A named file that has gone away gives an empty list, not another place's stations.
    std::filesystem::remove(named);
    EXPECT_EQ(Loaded(), "(none)");
}

}  // namespace
