// The state file on disk: where it lives, reading whatever stands at its place, and writing
// it whole or not at all.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "saved_state.h"

namespace fs = std::filesystem;

namespace {

class StateFile : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("volnar-state-" + std::to_string(getpid()));
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        for (const char *name : {"XDG_STATE_HOME", "HOME"}) {
            const char *value = std::getenv(name);
            saved_.emplace_back(name, value ? std::optional<std::string>(value) : std::nullopt);
        }
    }
    void TearDown() override {
        for (const auto &[name, value] : saved_) {
            if (value)
                setenv(name.c_str(), value->c_str(), 1);
            else
                unsetenv(name.c_str());
        }
        fs::remove_all(dir_);
    }

    static void Write(const fs::path &path, const std::string &text) {
        std::ofstream(path, std::ios::binary) << text;
    }
    static std::string Read(const fs::path &path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    fs::path dir_;
    std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

TEST_F(StateFile, Path_FollowsXdgStateHomeThenHome) {
    setenv("XDG_STATE_HOME", "/x/state", 1);
    setenv("HOME", "/home/u", 1);
    EXPECT_EQ(SavedStatePath(), "/x/state/volnar/state.ini");
    setenv("XDG_STATE_HOME", "relative/state", 1);  // invalid: ignored
    EXPECT_EQ(SavedStatePath(), "/home/u/.local/state/volnar/state.ini");
    unsetenv("XDG_STATE_HOME");
    setenv("HOME", "/home/u/", 1);
    EXPECT_EQ(SavedStatePath(), "/home/u/.local/state/volnar/state.ini");
    setenv("XDG_STATE_HOME", "", 1);
    EXPECT_EQ(SavedStatePath(), "/home/u/.local/state/volnar/state.ini");
    unsetenv("HOME");
    unsetenv("XDG_STATE_HOME");
    EXPECT_EQ(SavedStatePath(), "");
}

TEST_F(StateFile, WhateverStandsAtThePlace_ReadsAsAnEmptyStateOrWhatItHolds) {
    EXPECT_EQ(ReadSavedStateFile(""), SavedState{});
    EXPECT_EQ(ReadSavedStateFile((dir_ / "missing.ini").string()), SavedState{});
    EXPECT_EQ(ReadSavedStateFile(dir_.string()), SavedState{});  // a folder
    Write(dir_ / "empty.ini", "");
    EXPECT_EQ(ReadSavedStateFile((dir_ / "empty.ini").string()), SavedState{});
    Write(dir_ / "binary.ini", std::string("\x7f"
                                           "ELF\0\0\x01\xff\xfe[volnar]\0volume=5",
                                           24));
    EXPECT_FALSE(ReadSavedStateFile((dir_ / "binary.ini").string()).volumePercent.has_value());
    // A FIFO with no writer would block a plain open: the start must not wait on it.
    ASSERT_EQ(mkfifo((dir_ / "fifo.ini").c_str(), 0600), 0);
    EXPECT_EQ(ReadSavedStateFile((dir_ / "fifo.ini").string()), SavedState{});
    Write(dir_ / "good.ini", "[volnar]\nvolume=64\n");
    EXPECT_EQ(ReadSavedStateFile((dir_ / "good.ini").string()).volumePercent, 64);
}

TEST_F(StateFile, Write_CreatesTheFoldersAndReplacesTheOldFileWhole) {
    const fs::path path = dir_ / "deep" / "volnar" / "state.ini";
    ASSERT_TRUE(WriteSavedStateFile(path.string(), "[volnar]\nvolume=1\n"));
    EXPECT_EQ(Read(path), "[volnar]\nvolume=1\n");
    ASSERT_TRUE(WriteSavedStateFile(path.string(), "[volnar]\nvolume=2\n"));
    EXPECT_EQ(Read(path), "[volnar]\nvolume=2\n");
    // Nothing but the file is left in its folder.
    int entries = 0;
    for (const auto &entry : fs::directory_iterator(path.parent_path())) {
        EXPECT_EQ(entry.path().filename(), "state.ini");
        ++entries;
    }
    EXPECT_EQ(entries, 1);
}

TEST_F(StateFile, Write_RemovesTheTemporariesOfSavesCutShortLongAgoOnly) {
    const fs::path folder = dir_ / "volnar";
    fs::create_directories(folder);
    const auto old = fs::file_time_type::clock::now() - std::chrono::hours(1);
    for (const char *name : {"state.ini.a1B2c3", "state.ini.zzzzzz", "state.ini.12",
                             "other.ini.a1B2c3", "state.ini.a-b_c."}) {
        Write(folder / name, "left");
        fs::last_write_time(folder / name, old);
    }
    Write(folder / "state.ini.young1", "another player's save under way");
    fs::create_directory(folder / "state.ini.folder");
    fs::last_write_time(folder / "state.ini.folder", old);
    ASSERT_TRUE(WriteSavedStateFile((folder / "state.ini").string(), "[volnar]\n"));
    std::vector<std::string> left;
    for (const auto &entry : fs::directory_iterator(folder))
        left.push_back(entry.path().filename().string());
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, (std::vector<std::string>{"other.ini.a1B2c3", "state.ini", "state.ini.12",
                                              "state.ini.a-b_c.", "state.ini.folder",
                                              "state.ini.young1"}));
}

TEST_F(StateFile, WriteThatCannotSucceed_FailsAndLeavesNothingBehind) {
    // The folder's place is taken by a file.
    Write(dir_ / "plain", "x");
    EXPECT_FALSE(WriteSavedStateFile((dir_ / "plain" / "volnar" / "state.ini").string(), "t"));
    EXPECT_EQ(Read(dir_ / "plain"), "x");
    // The file's place is taken by a folder: the rename fails, the folder stays as it was.
    fs::create_directories(dir_ / "v" / "state.ini" / "inside");
    EXPECT_FALSE(WriteSavedStateFile((dir_ / "v" / "state.ini").string(), "t"));
    EXPECT_TRUE(fs::is_directory(dir_ / "v" / "state.ini" / "inside"));
    int entries = 0;
    for (const auto &entry : fs::directory_iterator(dir_ / "v")) {
        (void)entry;
        ++entries;
    }
    EXPECT_EQ(entries, 1);
    // Relative and empty paths are refused.
    EXPECT_FALSE(WriteSavedStateFile("", "t"));
    EXPECT_FALSE(WriteSavedStateFile("state.ini", "t"));
}

}  // namespace
