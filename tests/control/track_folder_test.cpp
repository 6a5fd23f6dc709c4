// The track list on real controls: scanning the picked file's folder into list 13 and label
// 12, selecting the picked name, and the open-folder command around them.

#include <fcntl.h>
#include <sys/stat.h>

#include <ctime>

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "lists_controls.h"
#include "lists_test_support.h"
#include "player_state.h"
#include "track_folder.h"
#include "widgets.h"

namespace {

using Names = std::vector<std::string>;

class TrackFolder : public ListControlsTest {
  protected:
    void Touch(const std::string &name) { folder_.Write(name, ""); }
    void Pick(const std::string &name) { g.chosenFilePath = folder_.Path() + name; }
    ScratchFolder folder_;
};

TEST_F(TrackFolder, Scan_MixedFolder_TracksSortedIntoListAndCounted) {
    for (const char *name : {"b.MP3", "a.wav", "C.Mid", "x.midi", "cover.jpg", ".mp3"}) {
        Touch(name);
    }
    ASSERT_EQ(mkdir((folder_.Path() + "dir.mid").c_str(), 0755), 0);
    Pick("a.wav");
    ScanTrackFolder();
    EXPECT_EQ(ListItems(13), (Names{".mp3", "a.wav", "b.MP3", "C.Mid", "x.midi"}));
    EXPECT_EQ(g.trackCount, 5);
    EXPECT_EQ(GetControlText(12), folder_.Path());
}

// Opening the files of one big folder one after another reads it once; but a folder whose
// names changed since (its modification time with them) is read again, and so is one that
// changed so recently that its time could not tell another change within the same clock step.
TEST_F(TrackFolder, Scan_SameFolderAgain_ListedAgainOnlyWhenItChanged) {
    Touch("one.mp3");
    Touch("two.mp3");
    auto setFolderTime = [&](std::time_t seconds) {
        const timespec times[2] = {{seconds, 0}, {seconds, 0}};
        ASSERT_EQ(utimensat(AT_FDCWD, folder_.Path().c_str(), times, 0), 0);
    };
    const std::time_t old = std::time(nullptr) - 3600;
    setFolderTime(old);
    Pick("one.mp3");
    ScanTrackFolder();
    ASSERT_EQ(ListItems(13), (Names{"one.mp3", "two.mp3"}));

    // A name added behind the folder's back with its old time kept: the list is not read again.
    Touch("three.mp3");
    setFolderTime(old);
    Pick("two.mp3");
    ScanTrackFolder();
    EXPECT_EQ(ListItems(13), (Names{"one.mp3", "two.mp3"}));

    // Any change the folder's time shows is read.
    setFolderTime(old + 60);
    ScanTrackFolder();
    EXPECT_EQ(ListItems(13), (Names{"one.mp3", "three.mp3", "two.mp3"}));
    EXPECT_EQ(g.trackCount, 3);

    // Changed a moment ago: not trusted, read every time.
    Touch("four.mp3");
    ScanTrackFolder();
    Touch("five.mp3");
    ScanTrackFolder();
    EXPECT_EQ(g.trackCount, 5);

    // Listed with its sub-folders (as a music root), it is not the folder's own list.
    setFolderTime(old);
    ListTrackFolder(folder_.Path(), true);
    Touch("six.mp3");
    setFolderTime(old);
    ScanTrackFolder();
    EXPECT_EQ(g.trackCount, 6);
}

TEST_F(TrackFolder, Scan_SecondFolder_ReplacesItemsAndCount) {
    Touch("one.mp3");
    Touch("two.mp3");
    Pick("one.mp3");
    ScanTrackFolder();
    ScratchFolder other;
    other.Write("three.wav", "");
    g.chosenFilePath = other.Path() + "three.wav";
    ScanTrackFolder();
    EXPECT_EQ(ListItems(13), Names{"three.wav"});
    EXPECT_EQ(g.trackCount, 1);
    EXPECT_EQ(GetControlText(12), other.Path());
}

TEST_F(TrackFolder, Scan_FolderThatIsAFile_LabelSetListEmpty) {
    Touch("one.mp3");
    Pick("one.mp3");
    ScanTrackFolder();
    Pick("one.mp3/song.mp3");
    ScanTrackFolder();
    EXPECT_TRUE(ListItems(13).empty());
    EXPECT_EQ(g.trackCount, 0);
    EXPECT_EQ(GetControlText(12), folder_.Path() + "one.mp3/");
}

TEST_F(TrackFolder, Scan_MissingFolder_LabelSetListEmpty) {
    Pick("gone/song.mp3");
    ScanTrackFolder();
    EXPECT_TRUE(ListItems(13).empty());
    EXPECT_EQ(g.trackCount, 0);
    EXPECT_EQ(GetControlText(12), folder_.Path() + "gone/");
}

TEST_F(TrackFolder, Select_PickedName_ItsItemSelected) {
    for (const char *name : {"a.mp3", "b.mp3", "c.mp3"})
        Touch(name);
    Pick("b.mp3");
    ScanTrackFolder();
    SelectChosenTrack();
    EXPECT_EQ(g.chosenFileName, "b.mp3");
    EXPECT_EQ(GetControlValue(13), 1);
    EXPECT_EQ(GetControlText(13), "b.mp3");
}

TEST_F(TrackFolder, Select_NameDiffersInCase_NothingSelected) {
    Touch("Song.mp3");
    Pick("song.mp3");
    ScanTrackFolder();
    SelectChosenTrack();
    EXPECT_EQ(g.chosenFileName, "song.mp3");
    EXPECT_EQ(GetControlValue(13), -1);
    EXPECT_EQ(GetControlText(13), "");
}

TEST_F(TrackFolder, Select_PickedFileNotListed_NothingSelected) {
    Touch("a.mp3");
    Touch("notes.txt");
    Pick("notes.txt");
    ScanTrackFolder();
    SelectChosenTrack();
    EXPECT_EQ(GetControlValue(13), -1);
}

class LargeTrackFolder : public TrackFolder {
  protected:
    void SetUp() override {
        TrackFolder::SetUp();
        for (int i = 0; i < 1200; ++i)
            Touch(Name(i));
    }
    static std::string Name(int i) { return "t" + std::to_string(10000 + i) + ".mp3"; }
};

TEST_F(LargeTrackFolder, Select_PickAnywhereInTheList_Found) {
    for (int index : {0, 1000, 1001, 1099, 1199}) {
        Pick(Name(index));
        ScanTrackFolder();
        ASSERT_EQ(g.trackCount, 1200);
        SelectChosenTrack();
        EXPECT_EQ(GetControlValue(13), index);
        EXPECT_EQ(GetControlText(13), Name(index));
    }
}

TEST_F(LargeTrackFolder, Select_NameNotInTheList_NothingSelected) {
    Pick("t99999.mp3");
    ScanTrackFolder();
    SelectChosenTrack();
    EXPECT_EQ(GetControlValue(13), -1);
    EXPECT_EQ(GetControlText(13), "");
}

TEST_F(TrackFolder, Open_ChosenFile_FolderListedAndFileSelected) {
    Touch("x.mp3");
    Touch("y.wav");
    const std::string picked = folder_.Path() + "y.wav";
    SetFileChooserForTesting([picked](const std::string &) { return picked; });
    OpenTrackFileOrFolder(ChooseFileOrFolder());
    EXPECT_EQ(g.chosenFilePath, picked);
    EXPECT_EQ(g.chosenFileName, "y.wav");
    EXPECT_EQ(GetControlText(12), folder_.Path());
    EXPECT_EQ(ListItems(13), (Names{"x.mp3", "y.wav"}));
    EXPECT_EQ(GetControlText(13), "y.wav");
}

// A cancel leaves everything as the last pick left it: path, label, list and selection.
TEST_F(TrackFolder, Open_Cancelled_NothingChanges) {
    Touch("x.mp3");
    Touch("y.wav");
    const std::string picked = folder_.Path() + "y.wav";
    SetFileChooserForTesting([picked](const std::string &) { return picked; });
    OpenTrackFileOrFolder(ChooseFileOrFolder());
    ScratchFolder elsewhere;
    elsewhere.Write("here.mp3", "");
    CurrentFolder cwd(elsewhere.Path());
    SetFileChooserForTesting([](const std::string &) { return std::string(); });
    OpenTrackFileOrFolder(ChooseFileOrFolder());
    EXPECT_EQ(g.chosenFilePath, picked);
    EXPECT_EQ(g.chosenFileName, "y.wav");
    EXPECT_EQ(GetControlText(12), folder_.Path());
    EXPECT_EQ(ListItems(13), (Names{"x.mp3", "y.wav"}));
    EXPECT_EQ(g.trackCount, 2);
    EXPECT_EQ(GetControlValue(13), 1);
}

TEST_F(TrackFolder, Open_CancelledBeforeAnyPick_ListStaysEmpty) {
    Touch("here.mp3");
    SetFileChooserForTesting([](const std::string &) { return std::string(); });
    CurrentFolder cwd(folder_.Path());
    OpenTrackFileOrFolder(ChooseFileOrFolder());
    EXPECT_EQ(g.chosenFilePath, "");
    EXPECT_TRUE(ListItems(13).empty());
    EXPECT_EQ(g.trackCount, 0);
    EXPECT_EQ(GetControlValue(13), -1);
}

}  // namespace

// A folder chosen in the dialog is listed with its sub-folders, and its first track plays.
TEST_F(TrackFolder, Open_ChosenFolder_ListedWithSubFoldersAndFirstTrackPlays) {
    ASSERT_EQ(mkdir((folder_.Path() + "Album").c_str(), 0755), 0);
    Touch("Album/a.mp3");
    Touch("b.wav");
    std::string chosen = folder_.Path();
    chosen.pop_back();  // the dialog names a folder without its "/"
    OpenTrackFileOrFolder(chosen);
    EXPECT_EQ(GetControlText(12), folder_.Path());
    EXPECT_EQ(ListItems(13), (Names{"b.wav", "Album/a.mp3"}));
    EXPECT_EQ(GetControlValue(13), 0);
    EXPECT_EQ(g.streamAddress, folder_.Path() + "b.wav");
    EXPECT_EQ(g.lastStreamWasStation, 0);
}

TEST_F(TrackFolder, Open_ChosenFolderWithoutTracks_ListEmptiedNothingStarts) {
    Touch("x.mp3");
    OpenTrackFileOrFolder(folder_.Path() + "x.mp3");
    const std::uint64_t streams = g.streamSerial;
    ScratchFolder empty;
    empty.Write("notes.txt", "");
    OpenTrackFileOrFolder(empty.Path());
    EXPECT_EQ(GetControlText(12), empty.Path());
    EXPECT_TRUE(ListItems(13).empty());
    EXPECT_EQ(g.trackCount, 0);
    EXPECT_EQ(g.streamSerial, streams);
}

// The dialog stands where the user was: the folder of the file that played, else that of the
// track selected in the list (one in a sub-folder too); nothing known leaves it to the layer.
TEST_F(TrackFolder, Choose_StartsInTheCurrentTracksFolder) {
    std::vector<std::string> asked;
    SetFileChooserForTesting([&asked](const std::string &start) {
        asked.push_back(start);
        return std::string();
    });
    ChooseFileOrFolder();
    ASSERT_EQ(mkdir((folder_.Path() + "Album").c_str(), 0755), 0);
    Touch("Album/a.mp3");
    Touch("b.wav");
    OpenTrackFileOrFolder(folder_.Path() + "Album/a.mp3");
    ChooseFileOrFolder();
    ListTrackFolder(folder_.Path(), true);
    SetControlValue(13, 1);
    g.lastStreamWasStation = 1;  // a station plays now
    ChooseFileOrFolder();
    SetControlValue(13, -1);
    ChooseFileOrFolder();
    EXPECT_EQ(asked,
              (Names{"", folder_.Path() + "Album/", folder_.Path() + "Album/", folder_.Path()}));
}
