// Station files come from anywhere: garbage, huge and odd files give sane answers, never a
// crash, a hang or unbounded memory.

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <string>

#include "lists_test_support.h"
#include "settings_file.h"

namespace {

class SettingsInput : public ::testing::Test {
  protected:
    void TearDown() override { CloseSettingsFile(); }
    ScratchFolder folder_;
};

TEST_F(SettingsInput, OpenFile_Missing_Fails) {
    EXPECT_FALSE(OpenSettingsFile(folder_.Path() + "missing.pls"));
    EXPECT_EQ(ReadSettingsString("k", "d"), "d");
}

TEST_F(SettingsInput, OpenFile_Folder_Fails) {
    EXPECT_FALSE(OpenSettingsFile(folder_.Path()));
}

TEST_F(SettingsInput, OpenFile_Fifo_FailsWithoutWaiting) {
    const std::string path = folder_.Path() + "fifo.pls";
    ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
    EXPECT_FALSE(OpenSettingsFile(path));
}

TEST_F(SettingsInput, OpenFile_EmptyName_Fails) {
    EXPECT_FALSE(OpenSettingsFile(""));
}

TEST_F(SettingsInput, OpenFile_FailedOpen_ClosesFileOpenBefore) {
    ASSERT_TRUE(OpenSettingsFromMemory("k=1\n"));
    EXPECT_FALSE(OpenSettingsFile(folder_.Path() + "missing.pls"));
    EXPECT_EQ(ReadSettingsString("k", "d"), "d");
}

TEST_F(SettingsInput, OpenFile_LargerThanLimit_RefusedAsUnreadable) {
    const std::string path = folder_.Write("big.pls", "");
    ASSERT_EQ(truncate(path.c_str(), static_cast<off_t>(kMaxSettingsFileBytes) + 1), 0);
    EXPECT_FALSE(OpenSettingsFile(path));
}

TEST_F(SettingsInput, OpenFile_TenMegabytes_ReadsKeyAtTheEnd) {
    std::string text = "[g]\n";
    const std::string line = "Filler=" + std::string(90, 'x') + "\n";
    while (text.size() < 10u << 20)
        text += line;
    text += "File1=http://end/\n";
    const std::string path = folder_.Write("ten.pls", text);
    ASSERT_TRUE(OpenSettingsFile(path));
    ASSERT_TRUE(SelectSettingsGroup("g"));
    EXPECT_EQ(ReadSettingsString("File1", ""), "http://end/");
    EXPECT_EQ(ReadSettingsString("Filler", ""), std::string(90, 'x'));
}

TEST_F(SettingsInput, Open_HugeSingleLineWithoutEnd_WholeValue) {
    const std::string value(3u << 20, 'v');
    ASSERT_TRUE(OpenSettingsFromMemory("k=" + value));
    EXPECT_EQ(ReadSettingsString("k", ""), value);
}

TEST_F(SettingsInput, Open_NulBytes_TreatedAsOrdinaryBytes) {
    const std::string text("[g]\nk=a\0b\n\0=z\n", 14);
    ASSERT_TRUE(OpenSettingsFromMemory(text));
    ASSERT_TRUE(SelectSettingsGroup("g"));
    EXPECT_EQ(ReadSettingsString("k", ""), std::string("a\0b", 3));
    EXPECT_EQ(ReadSettingsString(std::string("\0", 1), ""), "z");
}

TEST_F(SettingsInput, Open_BinaryGarbage_ReadsGiveDefaults) {
    std::string bytes;
    for (int i = 0; i < 70000; ++i)
        bytes += static_cast<char>((i * 7919 + i / 13) & 0xFF);
    ASSERT_TRUE(OpenSettingsFromMemory(bytes));
    EXPECT_FALSE(SelectSettingsGroup("Всё подряд"));
    EXPECT_EQ(ReadSettingsString("File1", "d"), "d");
}

TEST_F(SettingsInput, Open_OnlyLineEnds_ReadsGiveDefaults) {
    ASSERT_TRUE(OpenSettingsFromMemory(std::string(100000, '\n') + std::string(100000, '\r')));
    EXPECT_EQ(ReadSettingsString("k", "d"), "d");
}

TEST_F(SettingsInput, Open_MillionTinyKeyLines_FirstAndLastFound) {
    std::string text = "[g]\nfirst=1\n";
    for (int i = 0; i < 1000000; ++i)
        text += "a\n";
    text += "last=2\n";
    ASSERT_TRUE(OpenSettingsFromMemory(text));
    ASSERT_TRUE(SelectSettingsGroup("g"));
    EXPECT_EQ(ReadSettingsString("first", ""), "1");
    EXPECT_EQ(ReadSettingsString("last", ""), "2");
    EXPECT_EQ(ReadSettingsString("a", "d"), "");
}

}  // namespace
