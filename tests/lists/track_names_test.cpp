// The plain track-list rules: which names are tracks, their order, path parts, and listing a
// folder that may not be listable.

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "lists_test_support.h"
#include "track_names.h"

namespace {

using Names = std::vector<std::string>;

TEST(TrackName, IsTrack_KnownExtensionsAnyAsciiCase_True) {
    for (const char *name : {"a.mp3", "a.MP3", "b.Wav", "c.mid", "d.MiD", "x.y.wav"}) {
        EXPECT_TRUE(IsTrackName(name)) << name;
    }
}

TEST(TrackName, IsTrack_OtherEndings_False) {
    for (const char *name :
         {"a.midi", "a.mpeg", "a.ogg", "a.mp3 ", "a.mp", "mp3", "", "a.mp3.txt", "a_mp3",
          "a.m\xD0\xA0"
          "3"}) {
        EXPECT_FALSE(IsTrackName(name)) << name;
    }
}

TEST(TrackName, IsTrack_WholeNameIsExtension_True) {
    EXPECT_TRUE(IsTrackName(".mp3"));
    EXPECT_TRUE(IsTrackName(".MID"));
}

TEST(TrackName, Less_IgnoresAsciiCase_TiesInByteOrder) {
    EXPECT_TRUE(TrackNameLess("A.mp3", "b.mp3"));
    EXPECT_TRUE(TrackNameLess("a.mp3", "B.mp3"));
    EXPECT_TRUE(TrackNameLess("A.mp3", "a.mp3"));
    EXPECT_FALSE(TrackNameLess("a.mp3", "A.mp3"));
    EXPECT_FALSE(TrackNameLess("a.mp3", "a.mp3"));
    EXPECT_TRUE(TrackNameLess("ab.mp3", "abc.mp3"));
    EXPECT_TRUE(TrackNameLess("z.mp3", "\xD0\x90.mp3"));  // bytes above ASCII come after
}

TEST(PathParts, FolderAndName_SplitAtLastSlash) {
    EXPECT_EQ(FolderPart("/music/rock/a.mp3"), "/music/rock/");
    EXPECT_EQ(NamePart("/music/rock/a.mp3"), "a.mp3");
    EXPECT_EQ(FolderPart("a.mp3"), "");
    EXPECT_EQ(NamePart("a.mp3"), "a.mp3");
    EXPECT_EQ(FolderPart("/music/"), "/music/");
    EXPECT_EQ(NamePart("/music/"), "");
    EXPECT_EQ(FolderPart(""), "");
    EXPECT_EQ(NamePart(""), "");
    EXPECT_EQ(NamePart("dir\\a.mp3"), "dir\\a.mp3");  // only "/" separates on this system
}

class TrackListing : public ::testing::Test {
  protected:
    void Touch(const std::string &name) { folder_.Write(name, ""); }
    ScratchFolder folder_;
};

TEST_F(TrackListing, List_MixedEntries_KeepsTracksSortedByName) {
    for (const char *name : {"b.mp3", "a.mp3", "A.mp3", "C.WAV", "_x.mid", "\xC3\x84.mp3", "10.mp3",
                             "9.mp3", "song.midi", "cover.jpg", ".mp3", "notes.txt"}) {
        Touch(name);
    }
    ASSERT_EQ(mkdir((folder_.Path() + "album.mid").c_str(), 0755), 0);
    ASSERT_EQ(mkdir((folder_.Path() + "sub").c_str(), 0755), 0);
    EXPECT_EQ(ListTrackNames(folder_.Path()),
              (Names{".mp3", "10.mp3", "9.mp3", "_x.mid", "A.mp3", "a.mp3", "album.mid", "b.mp3",
                     "C.WAV", "\xC3\x84.mp3"}));
}

TEST_F(TrackListing, List_NameWithOddBytes_PassedThroughUnchanged) {
    const std::string odd = "\xFF\xFE\x01 name\t\\.mp3";
    Touch(odd);
    EXPECT_EQ(ListTrackNames(folder_.Path()), Names{odd});
}

TEST_F(TrackListing, List_EmptyFolderName_ListsCurrentFolder) {
    Touch("here.wav");
    CurrentFolder cwd(folder_.Path());
    EXPECT_EQ(ListTrackNames(""), Names{"here.wav"});
}

TEST_F(TrackListing, List_FolderWithoutTrailingSlash_Listed) {
    Touch("a.mp3");
    std::string path = folder_.Path();
    path.pop_back();
    EXPECT_EQ(ListTrackNames(path), Names{"a.mp3"});
}

TEST_F(TrackListing, List_MissingFolder_Empty) {
    EXPECT_TRUE(ListTrackNames(folder_.Path() + "missing/").empty());
}

TEST_F(TrackListing, List_PathThroughAFile_Empty) {
    Touch("a.mp3");
    EXPECT_TRUE(ListTrackNames(folder_.Path() + "a.mp3/").empty());
}

TEST_F(TrackListing, List_FolderWithoutReadPermission_Empty) {
    const std::string locked = folder_.Path() + "locked/";
    ASSERT_EQ(mkdir(locked.c_str(), 0755), 0);
    folder_.Write("locked/a.mp3", "");
    ASSERT_EQ(ListTrackNames(locked), Names{"a.mp3"});
    ASSERT_EQ(chmod(folder_.Path().c_str(), 0755), 0);
    ASSERT_EQ(chmod(locked.c_str(), 0), 0);
    if (geteuid() != 0) {
        EXPECT_TRUE(ListTrackNames(locked).empty());
        return;
    }
    // Root reads any folder: the listing is tried in a child that gave up root.
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (setgid(65534) != 0 || setuid(65534) != 0) _exit(2);
        _exit(ListTrackNames(locked).empty() ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST_F(TrackListing, List_ThousandsOfEntries_AllTracksInOrder) {
    for (int i = 0; i < 3000; ++i)
        Touch("t" + std::to_string(100000 + i) + ".mp3");
    for (int i = 0; i < 500; ++i)
        Touch("x" + std::to_string(i) + ".txt");
    const Names names = ListTrackNames(folder_.Path());
    ASSERT_EQ(names.size(), 3000u);
    EXPECT_EQ(names.front(), "t100000.mp3");
    EXPECT_EQ(names.back(), "t102999.mp3");
}

TEST(DemoFolder, List_DemoTracks_AllFourInNameOrder) {
    EXPECT_EQ(ListTrackNames(LISTS_DEMO_FOLDER),
              (Names{"01 Morning.mid", "02 Evening.wav", "03 Waltz.mp3", "04 Polka.mp3"}));
}

}  // namespace
