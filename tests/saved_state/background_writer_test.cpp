// The state file written behind the window's back: the latest text wins, the end waits for
// it, and a write that fails is told at the end.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

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
