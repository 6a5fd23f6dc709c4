// The state file written behind the window's back: the latest text wins, the end waits for
// it, and a write that fails is told at the end.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "background_writer.h"

namespace fs = std::filesystem;

namespace {

class BackgroundWriter : public ::testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/volnar-writer-test-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir_ = pattern;
    }
    void TearDown() override { fs::remove_all(dir_); }

    static std::string Read(const fs::path &path) {
        std::ifstream in(path, std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }

    fs::path dir_;
};

TEST_F(BackgroundWriter, ManyTextsInARow_TheLastIsOnTheDiskAtTheEnd) {
    EXPECT_TRUE(FinishSavedStateWrites());  // nothing handed over: nothing to wait for
    const fs::path path = dir_ / "volnar" / "state.ini";
    for (int i = 0; i < 200; ++i)
        WriteSavedStateInBackground(path.string(), "[volnar]\nvolume=" + std::to_string(i) + "\n");
    EXPECT_TRUE(FinishSavedStateWrites());
    EXPECT_EQ(Read(path), "[volnar]\nvolume=199\n");
    // Nothing but the file: no temporary of a write that was replaced is left.
    int entries = 0;
    for (const auto &entry : fs::directory_iterator(path.parent_path())) {
        EXPECT_EQ(entry.path().filename(), "state.ini");
        ++entries;
    }
    EXPECT_EQ(entries, 1);
}

TEST_F(BackgroundWriter, AWriteThatFails_IsToldAtTheEnd_TheNextOneSucceeds) {
    std::ofstream(dir_ / "plain") << "x";
    WriteSavedStateInBackground((dir_ / "plain" / "volnar" / "state.ini").string(), "t");
    EXPECT_FALSE(FinishSavedStateWrites());
    EXPECT_EQ(Read(dir_ / "plain"), "x");
    WriteSavedStateInBackground((dir_ / "ok" / "state.ini").string(), "t");
    EXPECT_TRUE(FinishSavedStateWrites());
    EXPECT_EQ(Read(dir_ / "ok" / "state.ini"), "t");
}

}  // namespace

namespace {

TEST_F(BackgroundWriter, OutcomeOfTheLatestWrite_PerPath) {
    const std::string good = (dir_ / "list" / "radio.pls").string();
    const std::string bad = (dir_ / "file" / "radio.pls").string();
    std::ofstream(dir_ / "file") << "a file where a folder would be";
    EXPECT_EQ(LatestWriteOutcome(good), WriteOutcome::kNone);
    WriteSavedStateInBackground(good, "one");
    WriteSavedStateInBackground(bad, "two");
    EXPECT_NE(LatestWriteOutcome(good), WriteOutcome::kNone);
    FinishSavedStateWrites();
    EXPECT_EQ(LatestWriteOutcome(good), WriteOutcome::kWritten);
    EXPECT_EQ(LatestWriteOutcome(bad), WriteOutcome::kFailed);
    EXPECT_EQ(Read(good), "one");
}

}  // namespace

namespace {

// The end writes what waits on its own thread: it is in place when the call returns, the
// writer's thread puts nothing in place after it, and no temporary is left.
TEST_F(BackgroundWriter, End_WhatWaitsIsInPlaceAtOnce_NothingAfterIt_NoTemporaryLeft) {
    const fs::path state = dir_ / "volnar" / "state.ini", list = dir_ / "volnar" / "radio.pls";
    for (int i = 0; i < 50; ++i)
        WriteSavedStateInBackground(state.string(), "[volnar]\nvolume=" + std::to_string(i) + "\n");
    WriteSavedStateInBackground(list.string(), "[playlist]\n");
    WriteCacheFileInBackground((dir_ / "cache" / "cover.jpg").string(), "jpeg");
    EXPECT_TRUE(EndSavedStateWrites());
    EXPECT_EQ(Read(state), "[volnar]\nvolume=49\n");
    EXPECT_EQ(Read(list), "[playlist]\n");
    // A text handed over after the end waits for the next end; nothing else writes it.
    WriteSavedStateInBackground(state.string(), "[volnar]\nvolume=50\n");
    EXPECT_TRUE(FinishSavedStateWrites());  // returns at once after the end
    EXPECT_EQ(Read(state), "[volnar]\nvolume=49\n");
    EXPECT_TRUE(EndSavedStateWrites());
    EXPECT_EQ(Read(state), "[volnar]\nvolume=50\n");
    std::vector<std::string> names;
    for (const auto &entry : fs::directory_iterator(state.parent_path()))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"radio.pls", "state.ini"}));
}

}  // namespace
