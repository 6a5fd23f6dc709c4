// How the settings reader cuts lines, finds groups and keys, and trims values.

#include <gtest/gtest.h>

#include <string>

#include "settings_file.h"

namespace {

class SettingsReader : public ::testing::Test {
  protected:
    void TearDown() override { CloseSettingsFile(); }

    // Opens text and selects group; the read of key with the default "<none>".
    std::string Read(const std::string &text, const std::string &group, const std::string &key) {
        EXPECT_TRUE(OpenSettingsFromMemory(text));
        SelectSettingsGroup(group);
        return ReadSettingsString(key, "<none>");
    }
};

TEST_F(SettingsReader, Read_KeyInSelectedGroup_GivesValue) {
    EXPECT_EQ(Read("[g]\nFile1=http://a/\n", "g", "File1"), "http://a/");
}

TEST_F(SettingsReader, Read_KeyCaseDiffersInAsciiLetters_Found) {
    EXPECT_EQ(Read("[g]\nFILE1=up\n", "g", "File1"), "up");
    EXPECT_EQ(Read("[g]\nfile1=low\n", "g", "File1"), "low");
    EXPECT_EQ(Read("[g]\nFile1=x\n", "g", "fILE1"), "x");
}

TEST_F(SettingsReader, Read_KeyCaseDiffersOutsideAscii_NotFound) {
    EXPECT_EQ(Read("[g]\nключ=x\n", "g", "Ключ"), "<none>");
    EXPECT_EQ(Read("[g]\nКлюч=x\n", "g", "Ключ"), "x");
}

TEST_F(SettingsReader, Read_SpacesAndTabsAroundEquals_Ignored) {
    EXPECT_EQ(Read("[g]\n \t File1 \t = \t value \t \n", "g", "File1"), "value");
}

TEST_F(SettingsReader, Read_BlanksInsideValue_Kept) {
    EXPECT_EQ(Read("[g]\nk= a \t b \n", "g", "k"), "a \t b");
}

TEST_F(SettingsReader, Read_QuotesEqualsAndSemicolonsInValue_BelongToValue) {
    EXPECT_EQ(Read("[g]\nk=\"a=b;c\" ; d\n", "g", "k"), "\"a=b;c\" ; d");
    EXPECT_EQ(Read("[g]\nk='x'\n", "g", "k"), "'x'");
}

TEST_F(SettingsReader, Read_KeyUpToFirstEquals_RestIsValue) {
    EXPECT_EQ(Read("[g]\na=b=c\n", "g", "a"), "b=c");
    EXPECT_EQ(Read("[g]\na=b=c\n", "g", "a=b"), "<none>");
}

TEST_F(SettingsReader, Read_LineWithoutEquals_KeyWithEmptyValue) {
    EXPECT_EQ(Read("[g]\nTitle1\n", "g", "Title1"), "");
    EXPECT_EQ(Read("[g]\nTitle1  \t\n", "g", "Title1"), "");
}

TEST_F(SettingsReader, Read_EmptyValue_GivesEmptyNotDefault) {
    EXPECT_EQ(Read("[g]\nk=\n", "g", "k"), "");
    EXPECT_EQ(Read("[g]\nk=  \t \n", "g", "k"), "");
}

TEST_F(SettingsReader, Read_MissingKey_GivesDefault) {
    EXPECT_EQ(Read("[g]\nk=1\n", "g", "other"), "<none>");
}

TEST_F(SettingsReader, Read_SameKeyTwice_FirstWins) {
    EXPECT_EQ(Read("[g]\nk=first\nK=second\nk=third\n", "g", "k"), "first");
}

TEST_F(SettingsReader, Read_KeyOfAnotherGroup_NotSeen) {
    EXPECT_EQ(Read("[a]\nk=1\n[b]\nx=2\n", "b", "k"), "<none>");
    EXPECT_EQ(Read("[a]\nx=1\n[b]\nk=2\n", "a", "k"), "<none>");
}

TEST_F(SettingsReader, Read_KeyBeforeFirstHeader_NotSeenInGroup) {
    EXPECT_EQ(Read("k=top\n[g]\nx=1\n", "g", "k"), "<none>");
}

TEST_F(SettingsReader, Read_EmptyGroupName_SeesOnlyPartBeforeFirstHeader) {
    EXPECT_EQ(Read("k=top\n[g]\nk=inside\nx=1\n", "", "k"), "top");
    EXPECT_EQ(Read("k=top\n[g]\nk=inside\nx=1\n", "", "x"), "<none>");
}

TEST_F(SettingsReader, Read_NoGroupSelected_SeesPartBeforeFirstHeader) {
    ASSERT_TRUE(OpenSettingsFromMemory("k=top\n[g]\nx=1\n"));
    EXPECT_EQ(ReadSettingsString("k", "<none>"), "top");
    EXPECT_EQ(ReadSettingsString("x", "<none>"), "<none>");
}

TEST_F(SettingsReader, Select_SecondHeaderOfSameName_NeverSearched) {
    EXPECT_EQ(Read("[g]\na=1\n[h]\n[G]\nb=2\n", "g", "b"), "<none>");
    EXPECT_EQ(Read("[g]\na=1\n[h]\n[G]\nb=2\n", "g", "a"), "1");
}

TEST_F(SettingsReader, Select_GroupNameCaseInAsciiLetters_Ignored) {
    EXPECT_EQ(Read("[Radio]\nk=1\n", "RADIO", "k"), "1");
    EXPECT_EQ(Read("[всё подряд]\nk=1\n", "Всё подряд", "k"), "<none>");
}

TEST_F(SettingsReader, Select_SpaceInsideBrackets_DoesNotMatch) {
    EXPECT_EQ(Read("[ Всё подряд]\nk=1\n", "Всё подряд", "k"), "<none>");
    EXPECT_EQ(Read("[Всё подряд ]\nk=1\n", "Всё подряд", "k"), "<none>");
}

TEST_F(SettingsReader, Select_TextAfterClosingBracket_Ignored) {
    EXPECT_EQ(Read("[g] trailing ] text\nk=1\n", "g", "k"), "1");
}

TEST_F(SettingsReader, Select_HeaderWithoutClosingBracket_NameRunsToLineEnd) {
    EXPECT_EQ(Read("[g x\nk=1\n", "g x", "k"), "1");
}

TEST_F(SettingsReader, Select_HeaderAfterLeadingBlanks_IsHeader) {
    EXPECT_EQ(Read(" \t[g]\nk=1\n", "g", "k"), "1");
}

TEST_F(SettingsReader, Select_MissingGroup_EveryReadGivesDefault) {
    ASSERT_TRUE(OpenSettingsFromMemory("k=top\n[g]\nk=1\n"));
    EXPECT_FALSE(SelectSettingsGroup("h"));
    EXPECT_EQ(ReadSettingsString("k", "d"), "d");
    EXPECT_TRUE(SelectSettingsGroup("g"));
    EXPECT_EQ(ReadSettingsString("k", "d"), "1");
}

TEST_F(SettingsReader, Select_GroupAsLastLineWithoutEnd_FoundAndEmpty) {
    ASSERT_TRUE(OpenSettingsFromMemory("k=1\n[g]"));
    EXPECT_TRUE(SelectSettingsGroup("g"));
    EXPECT_EQ(ReadSettingsString("k", "d"), "d");
}

TEST_F(SettingsReader, Read_CommentLine_NeverMatched) {
    EXPECT_EQ(Read("[g]\n;k=1\n  ; k=2\nk=3\n", "g", "k"), "3");
    EXPECT_EQ(Read("[g]\n;k=1\n", "g", ";k"), "<none>");
}

TEST_F(SettingsReader, Read_CommentLookingLikeHeader_DoesNotEndGroup) {
    EXPECT_EQ(Read("[g]\n;[h]\nk=1\n", "g", "k"), "1");
}

TEST_F(SettingsReader, Read_CrOnlyLineEnds_SplitLines) {
    EXPECT_EQ(Read("[g]\rk=1\rj=2", "g", "j"), "2");
}

TEST_F(SettingsReader, Read_CrLfLineEnds_NoCrInValue) {
    EXPECT_EQ(Read("[g]\r\nk=1\r\nj=2\r\n", "g", "k"), "1");
}

TEST_F(SettingsReader, Read_RunsOfLineEnds_OneBreak) {
    EXPECT_EQ(Read("\n\r\n\r[g]\n\n\n\r\r\nk=1\n\n", "g", "k"), "1");
}

TEST_F(SettingsReader, Read_LastLineWithoutEnd_Read) {
    EXPECT_EQ(Read("[g]\nk=last", "g", "k"), "last");
}

TEST_F(SettingsReader, Read_EmptyFile_GivesDefault) {
    EXPECT_EQ(Read("", "g", "k"), "<none>");
    EXPECT_EQ(Read("", "", "k"), "<none>");
}

TEST_F(SettingsReader, Read_NothingOpen_GivesDefault) {
    EXPECT_FALSE(SelectSettingsGroup("g"));
    EXPECT_EQ(ReadSettingsString("k", "d"), "d");
}

TEST_F(SettingsReader, Close_AfterOpen_ReadsGiveDefault) {
    ASSERT_TRUE(OpenSettingsFromMemory("k=1\n"));
    CloseSettingsFile();
    EXPECT_EQ(ReadSettingsString("k", "d"), "d");
}

TEST_F(SettingsReader, Open_AnotherFile_ForgetsTheFirst) {
    ASSERT_TRUE(OpenSettingsFromMemory("[g]\nk=1\n"));
    ASSERT_TRUE(SelectSettingsGroup("g"));
    ASSERT_TRUE(OpenSettingsFromMemory("[h]\nk=2\n"));
    EXPECT_EQ(ReadSettingsString("k", "d"), "d");
    EXPECT_FALSE(SelectSettingsGroup("g"));
}

TEST_F(SettingsReader, Read_EmptyKeyLine_MatchesEmptyKey) {
    EXPECT_EQ(Read("[g]\n=v\n", "g", ""), "v");
}

TEST_F(SettingsReader, Read_ManyKeys_EachFoundInOrder) {
    std::string text = "[g]\n";
    for (int i = 1; i <= 5000; ++i) {
        text += "File" + std::to_string(i) + "=u" + std::to_string(i) + "\n";
    }
    ASSERT_TRUE(OpenSettingsFromMemory(text));
    ASSERT_TRUE(SelectSettingsGroup("g"));
    for (int i = 1; i <= 5000; ++i) {
        ASSERT_EQ(ReadSettingsString("file" + std::to_string(i), ""), "u" + std::to_string(i));
    }
    EXPECT_EQ(ReadSettingsString("File5001", "d"), "d");
}

}  // namespace
