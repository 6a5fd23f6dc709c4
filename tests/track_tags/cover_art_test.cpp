// Where the desktop finds a track's cover: the file's picture written once into the cache, a
// cover file of the folder, a cache that stays small.

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "background_writer.h"
#include "cover_art.h"
#include "test_media.h"

namespace {

namespace fs = std::filesystem;

class CoverArt : public ::testing::Test {
  protected:
    std::string Folder(const std::string &name) {
        fs::create_directories(dir_.Path(name));
        return dir_.Path(name) + "/";
    }
    static void Touch(const std::string &path) { testmedia::WriteBytes(path, {1, 2, 3}); }
    static TrackTags WithPicture(const std::string &marker) {
        TrackTags tags;
        tags.picture = std::string("\xFF\xD8\xFF", 3) + marker;
        tags.pictureExtension = "jpg";
        return tags;
    }
    testmedia::TempDir dir_;
};

TEST_F(CoverArt, FolderCover_UsualNamesAndCases_RegularFilesOnly) {
    const std::string album = Folder("album");
    EXPECT_EQ(FolderCoverFile(album), "");
    fs::create_directories(album + "cover.jpg");  // a folder of that name is no picture
    EXPECT_EQ(FolderCoverFile(album), "");
    Touch(album + "Folder.JPG");
    EXPECT_EQ(FolderCoverFile(album), album + "Folder.JPG");
    Touch(album + "cover.png");
    EXPECT_EQ(FolderCoverFile(album), album + "cover.png");  // cover before folder
}

TEST_F(CoverArt, PictureOfTheFile_WrittenOnceNamedByItsBytes_ElseTheFolderCover) {
    const std::string album = Folder("album"), cache = Folder("cache/volnar");
    Touch(album + "front.jpg");
    const TrackTags tags = WithPicture("one");
    const std::string first = CoverFileFor(tags, album + "01.mp3", cache);
    ASSERT_TRUE(FinishSavedStateWrites());
    EXPECT_EQ(first.rfind(cache, 0), 0u);
    EXPECT_EQ(first.substr(first.size() - 4), ".jpg");
    const auto bytes = testmedia::ReadBytes(first);
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), tags.picture);
    // The same picture in the next track: the same file, not written again.
    struct stat before {}, after {};
    ASSERT_EQ(stat(first.c_str(), &before), 0);
    EXPECT_EQ(CoverFileFor(tags, album + "02.mp3", cache), first);
    FinishSavedStateWrites();
    ASSERT_EQ(stat(first.c_str(), &after), 0);
    EXPECT_EQ(before.st_ino, after.st_ino);
    // Another picture: another file. No picture: the folder's cover. No cache: the same.
    EXPECT_NE(CoverFileFor(WithPicture("two"), album + "03.mp3", cache), first);
    EXPECT_EQ(CoverFileFor(TrackTags{}, album + "04.mp3", cache), album + "front.jpg");
    EXPECT_EQ(CoverFileFor(tags, album + "05.mp3", ""), album + "front.jpg");
    EXPECT_EQ(CoverFileFor(TrackTags{}, Folder("bare") + "x.mp3", cache), "");
}

TEST_F(CoverArt, Cache_KeepsAtMostItsBoundOfCovers) {
    const std::string cache = Folder("cache/volnar");
    testmedia::WriteBytes(cache + "notes.txt", {1});  // not ours: left alone
    for (std::size_t i = 0; i < kMaxCachedCovers + 10; ++i) {
        CoverFileFor(WithPicture("n" + std::to_string(i)), "/x/a.mp3", cache);
        FinishSavedStateWrites();
    }
    std::size_t covers = 0;
    for (const auto &entry : fs::directory_iterator(cache))
        covers += entry.path().filename().string().rfind("cover-", 0) == 0;
    EXPECT_LE(covers, kMaxCachedCovers);
    EXPECT_GE(covers, kMaxCachedCovers - 10);
    EXPECT_TRUE(fs::exists(cache + "notes.txt"));
}

TEST(CoverCacheFolder, FromTheEnvironment) {
    setenv("XDG_CACHE_HOME", "/c", 1);
    EXPECT_EQ(CoverCacheFolder(), "/c/volnar/");
    setenv("XDG_CACHE_HOME", "relative", 1);
    setenv("HOME", "/h", 1);
    EXPECT_EQ(CoverCacheFolder(), "/h/.cache/volnar/");
    unsetenv("XDG_CACHE_HOME");
    setenv("HOME", "", 1);
    EXPECT_EQ(CoverCacheFolder(), "");
}

}  // namespace
