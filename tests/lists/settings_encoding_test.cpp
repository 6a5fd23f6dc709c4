// Which encoding a settings file is read in: UTF-8 after a byte-order mark (ill-formed bytes
// replaced), otherwise line by line: UTF-8 when the line is valid UTF-8, Windows-1251 if not.
// Names, keys and values are UTF-8 throughout.

#include <gtest/gtest.h>

#include <string>

#include "lists_test_support.h"
#include "settings_file.h"

namespace {

const std::string kGroup = "Всё подряд";
const std::string kBom = "\xEF\xBB\xBF";
// "[Всё подряд]\nTitle1=Радио Ёлка\n" in Windows-1251.
const std::string kCp1251File =
    "[\xC2\xF1\xB8 \xEF\xEE\xE4\xF0\xFF\xE4]\nTitle1=\xD0\xE0\xE4\xE8\xEE \xA8\xEB\xEA\xE0\n";
const std::string kUtf8File = "[Всё подряд]\nTitle1=Радио Ёлка\n";

class SettingsEncoding : public ::testing::Test {
  protected:
    void TearDown() override { CloseSettingsFile(); }

    std::string ReadTitle(const std::string &bytes) {
        EXPECT_TRUE(OpenSettingsFromMemory(bytes));
        if (!SelectSettingsGroup(kGroup)) return "<no group>";
        return ReadSettingsString("Title1", "<none>");
    }
};

TEST_F(SettingsEncoding, Open_Cp1251File_FindsGroupAndGivesUtf8Title) {
    EXPECT_EQ(ReadTitle(kCp1251File), "Радио Ёлка");
}

TEST_F(SettingsEncoding, Open_Utf8WithoutMark_FindsGroupAndGivesTitle) {
    EXPECT_EQ(ReadTitle(kUtf8File), "Радио Ёлка");
}

TEST_F(SettingsEncoding, Open_Utf8WithMark_MarkSkippedAndGroupFound) {
    EXPECT_EQ(ReadTitle(kBom + kUtf8File), "Радио Ёлка");
}

TEST_F(SettingsEncoding, Open_MarkBeforeKeyBeforeHeader_KeyNameHasNoMark) {
    ASSERT_TRUE(OpenSettingsFromMemory(kBom + "File1=x\n"));
    EXPECT_EQ(ReadSettingsString("File1", "d"), "x");
}

TEST_F(SettingsEncoding, Open_Utf8WithOneStrayCp1251Byte_OnlyThatLineReadAsCp1251) {
    // One bad byte in one title once made the whole file Windows-1251: the group name no
    // longer matched and every station was lost.
    const std::string bytes =
        "[Всё подряд]\r\nFile1=http://a/\r\nTitle1=caf\xE9\r\nFile2=http://b/\r\n"
        "Title2=Радио Ёлка\r\n";
    ASSERT_TRUE(OpenSettingsFromMemory(bytes));
    ASSERT_TRUE(SelectSettingsGroup(kGroup));
    EXPECT_EQ(ReadSettingsString("Title1", ""), "caf\xD0\xB9");  // 0xE9 is "й"
    EXPECT_EQ(ReadSettingsString("File2", ""), "http://b/");
    EXPECT_EQ(ReadSettingsString("Title2", ""), "Радио Ёлка");
}

TEST_F(SettingsEncoding, Open_MixedLines_EachLineInItsOwnEncoding) {
    // A UTF-8 group with Windows-1251 titles, then a Windows-1251 group with UTF-8 titles.
    const std::string bytes =
        "[Всё подряд]\nTitle1=\xD0\xE0\xE4\xE8\xEE\nTitle2=Эфир\n"
        "[\xCD\xEE\xE2\xEE\xE5]\rTitle1=Ёлка\rTitle2=\xC4\xE0\r";
    ASSERT_TRUE(OpenSettingsFromMemory(bytes));
    ASSERT_TRUE(SelectSettingsGroup(kGroup));
    EXPECT_EQ(ReadSettingsString("Title1", ""), "Радио");
    EXPECT_EQ(ReadSettingsString("Title2", ""), "Эфир");
    ASSERT_TRUE(SelectSettingsGroup("Новое"));
    EXPECT_EQ(ReadSettingsString("Title1", ""), "Ёлка");
    EXPECT_EQ(ReadSettingsString("Title2", ""), "Да");
}

TEST_F(SettingsEncoding, Open_LineWithCutOffSequence_ReadAsCp1251NotDropped) {
    // "\xD0" alone is the start of a two-byte sequence cut off by the line end.
    ASSERT_TRUE(OpenSettingsFromMemory("[Всё подряд]\nTitle1=A\xD0\nTitle2=B\n"));
    ASSERT_TRUE(SelectSettingsGroup(kGroup));
    EXPECT_EQ(ReadSettingsString("Title1", ""), "AР");
    EXPECT_EQ(ReadSettingsString("Title2", ""), "B");
}

TEST_F(SettingsEncoding, Open_MarkWithInvalidBytes_ReplacementCharactersAndEveryLineKept) {
    const std::string bytes =
        kBom + "[Всё подряд]\nTitle1=a\xFF\xC0z\nTitle2=Ёлка\xE2\x82\nTitle3=ok\n";
    ASSERT_TRUE(OpenSettingsFromMemory(bytes));
    ASSERT_TRUE(SelectSettingsGroup(kGroup));
    EXPECT_EQ(ReadSettingsString("Title1", ""), "a\uFFFD\uFFFDz");
    EXPECT_EQ(ReadSettingsString("Title2", ""), "Ёлка\uFFFD\uFFFD");
    EXPECT_EQ(ReadSettingsString("Title3", ""), "ok");
}

TEST_F(SettingsEncoding, Open_Cp1251File_CallerUtf8KeyMatchesCyrillicKey) {
    // "Имя=1" in Windows-1251 before any header.
    ASSERT_TRUE(OpenSettingsFromMemory("\xC8\xEC\xFF=1\n"));
    EXPECT_EQ(ReadSettingsString("Имя", "d"), "1");
}

TEST_F(SettingsEncoding, Open_Cp1251UnassignedByte_BecomesReplacementCharacter) {
    ASSERT_TRUE(OpenSettingsFromMemory("k=a\x98z\n"));
    EXPECT_EQ(ReadSettingsString("k", "d"), "a\xEF\xBF\xBDz");
}

TEST_F(SettingsEncoding, OpenFile_Cp1251FileOnDisk_SameAsFromMemory) {
    ScratchFolder folder;
    const std::string path = folder.Write("radio.pls", kCp1251File);
    ASSERT_TRUE(OpenSettingsFile(path));
    ASSERT_TRUE(SelectSettingsGroup(kGroup));
    EXPECT_EQ(ReadSettingsString("Title1", ""), "Радио Ёлка");
}

TEST_F(SettingsEncoding, Open_ShortFileStartingLikeMark_NotTakenAsMark) {
    ASSERT_TRUE(OpenSettingsFromMemory("\xEF\xBB"));
    EXPECT_EQ(ReadSettingsString("k", "d"), "d");
}

}  // namespace
