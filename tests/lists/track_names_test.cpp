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
    for (const char *name :
         {"a.mp3",  "a.MP3",  "b.Wav", "c.mid", "d.MiD",  "x.y.wav", "a.midi",       "a.KAR",
          "a.rmi",  "a.flac", "a.ogg", "a.Oga", "a.opus", "a.aac",   "a.m4a",        "a.M4B",
          "a.aiff", "a.aif",  "a.wv",  "a.ape", "a.wma",  "a.mka",   "\xD0\x90.FLAC"}) {
        EXPECT_TRUE(IsTrackName(name)) << name;
    }
}

TEST(TrackName, IsTrack_OtherEndings_False) {
    for (const char *name :
         {"a.mpeg", "a.mp3 ", "a.mp", "mp3", "", "a.mp3.txt", "a_mp3", "a.flac.jpg", "a.oggg",
          "a.jpg", "a.m3u", "a.pls", "a.cue", "a.", "a.wav/",
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
    // A folder is no track, whatever its name.
    EXPECT_EQ(ListTrackNames(folder_.Path()),
              (Names{".mp3", "10.mp3", "9.mp3", "_x.mid", "A.mp3", "a.mp3", "b.mp3", "C.WAV",
                     "song.midi", "\xC3\x84.mp3"}));
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

// --- With sub-folders: a music root of albums ---------------------------------------------

class TrackTree : public TrackListing {
  protected:
    void Folder(const std::string &name) {
        ASSERT_EQ(mkdir((folder_.Path() + name).c_str(), 0755), 0) << name;
    }
};

TEST_F(TrackTree, Albums_OwnTracksFirstThenEachSubFolderInNameOrder) {
    for (const char *name : {"b", "A", "b/cd2", "b/cd1", ".hidden", "empty", "A/scans"})
        Folder(name);
    for (const char *name : {"z.mp3", "cover.jpg", "b/02.flac", "b/01.ogg", "b/cd2/01.opus",
                             "b/cd1/01.m4a", "A/x.MP3", "A/scans/front.jpg", ".hidden/h.mp3"})
        Touch(name);
    EXPECT_EQ(
        ListTrackNamesWithSubFolders(folder_.Path()),
        (Names{"z.mp3", "A/x.MP3", "b/01.ogg", "b/02.flac", "b/cd1/01.m4a", "b/cd2/01.opus"}));
    // The folder without its trailing "/" is the same folder.
    std::string bare = folder_.Path();
    bare.pop_back();
    EXPECT_EQ(ListTrackNamesWithSubFolders(bare).size(), 6u);
    // The plain listing keeps to the folder itself.
    EXPECT_EQ(ListTrackNames(folder_.Path()), Names{"z.mp3"});
}

TEST_F(TrackTree, SymbolicLinks_LoopSkipped_LinkedAlbumListed) {
    Folder("a");
    Touch("a/1.mp3");
    ASSERT_EQ(symlink("..", (folder_.Path() + "a/up").c_str()), 0);        // a loop
    ASSERT_EQ(symlink(".", (folder_.Path() + "a/self").c_str()), 0);       // a loop
    ASSERT_EQ(symlink("a", (folder_.Path() + "linked").c_str()), 0);       // the same album again
    ASSERT_EQ(symlink("a/1.mp3", (folder_.Path() + "l.mp3").c_str()), 0);  // a track
    ASSERT_EQ(symlink("gone", (folder_.Path() + "dead.mp3").c_str()), 0);  // dangling
    EXPECT_EQ(ListTrackNamesWithSubFolders(folder_.Path()),
              (Names{"l.mp3", "a/1.mp3", "linked/1.mp3"}));
}

TEST_F(TrackTree, Depth_DeeperThanTheBound_Skipped) {
    std::string path;
    for (int level = 1; level <= kMaxFolderDepth + 2; ++level) {
        path += "d/";
        Folder(path);
        Touch(path + std::to_string(level) + ".mp3");
    }
    const Names names = ListTrackNamesWithSubFolders(folder_.Path());
    ASSERT_EQ(names.size(), static_cast<std::size_t>(kMaxFolderDepth));
    EXPECT_EQ(NamePart(names.back()), std::to_string(kMaxFolderDepth) + ".mp3");
}

TEST_F(TrackTree, UnreadableSubFolder_SkippedTheRestListed) {
    Folder("open");
    Folder("shut");
    Touch("open/a.mp3");
    Touch("shut/b.mp3");
    ASSERT_EQ(chmod(folder_.Path().c_str(), 0755), 0);
    ASSERT_EQ(chmod((folder_.Path() + "shut").c_str(), 0), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // Root reads any folder: the listing is tried as nobody.
        if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) _exit(2);
        _exit(ListTrackNamesWithSubFolders(folder_.Path()) == Names{"open/a.mp3"} ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    chmod((folder_.Path() + "shut").c_str(), 0755);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

// A tree of many folders and few tracks is read only so far: the tracks found by then.
TEST_F(TrackTree, HugeTreeOfFewTracks_ReadOnlySoFar) {
    Touch("first.mp3");
    for (std::size_t i = 0; i < kMaxReadFolders + 50; ++i)
        Folder("f" + std::to_string(100000 + i));
    Touch("f100000/a.mp3");
    Folder("zz");
    Touch("zz/last.mp3");
    const Names names = ListTrackNamesWithSubFolders(folder_.Path());
    ASSERT_EQ(names.size(), 2u);
    EXPECT_EQ(names[0], "first.mp3");
    EXPECT_EQ(names[1], "f100000/a.mp3");
}

TEST_F(TrackTree, MissingFolder_Empty) {
    EXPECT_TRUE(ListTrackNamesWithSubFolders(folder_.Path() + "missing/").empty());
}

}  // namespace
