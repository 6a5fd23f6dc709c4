// Randomly mutated station files, from a generator that always starts alike so that every run
// sees the same inputs: the reader must neither crash nor misbehave, and its indexed lookup
// must agree with a plain walk of the group done here independently.

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "settings_file.h"
#include "settings_text.h"

namespace {

const std::vector<std::string> kPieces = {
    "[",
    "]",
    "=",
    ";",
    " ",
    "\t",
    "\n",
    "\r",
    "\r\n",
    "\0",
    "File1",
    "file2",
    "Title1",
    "g",
    "G",
    "Всё подряд",
    "\xC2\xF1\xB8",
    "\xEF\xBB\xBF",
    "\xFF",
    "\xD0",
    "http://a/",
    "\"",
    "[g]",
    "[G]\n",
    "k=v\n",
    "=",
    "\x80\xBF",
};

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string Trim(std::string s) {
    while (!s.empty() && IsBlank(s.front()))
        s.erase(0, 1);
    while (!s.empty() && IsBlank(s.back()))
        s.pop_back();
    return s;
}

bool SameIgnoringAsciiCase(const std::string &a, const std::string &b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
        if (x != y) return false;
    }
    return true;
}

// The reading rules applied naively: every line kept, every read walks from the start.
std::string ReferenceRead(const std::string &text, const std::string &group,
                          const std::string &key) {
    std::vector<std::string> lines;
    std::string line;
    for (char c : text + "\n") {
        if (c == '\n' || c == '\r') {
            while (!line.empty() && IsBlank(line.front()))
                line.erase(0, 1);
            if (!line.empty() && line.front() != ';') lines.push_back(line);
            line.clear();
        } else {
            line += c;
        }
    }
    std::size_t i = 0;
    if (!group.empty()) {
        for (; i < lines.size(); ++i) {
            if (lines[i].front() != '[') continue;
            const std::string name = lines[i].substr(1, lines[i].find(']') - 1);
            if (SameIgnoringAsciiCase(name, group)) break;
        }
        if (i == lines.size()) return "<d>";
        ++i;
    }
    for (; i < lines.size() && lines[i].front() != '['; ++i) {
        const std::size_t equals = lines[i].find('=');
        if (SameIgnoringAsciiCase(Trim(lines[i].substr(0, equals)), key)) {
            return equals == std::string::npos ? "" : Trim(lines[i].substr(equals + 1));
        }
    }
    return "<d>";
}

std::string MutatedText(std::mt19937 &random) {
    std::string text;
    const int pieces = std::uniform_int_distribution<int>(0, 60)(random);
    for (int i = 0; i < pieces; ++i) {
        if (random() % 4 == 0) {
            text += static_cast<char>(random() & 0xFF);
        } else {
            text += kPieces[random() % kPieces.size()];
        }
    }
    return text;
}

TEST(SettingsFuzz, OpenSelectRead_MutatedInputs_NoCrashAndSaneValues) {
    std::mt19937 random(20261207);
    const std::vector<std::string> groups = {"g", "G", "", "Всё подряд", "h"};
    const std::vector<std::string> keys = {"File1", "file2", "Title1", "k", "", "="};
    for (int round = 0; round < 20000; ++round) {
        const std::string text = MutatedText(random);
        ASSERT_TRUE(OpenSettingsFromMemory(text));
        const std::string &group = groups[random() % groups.size()];
        const bool found = SelectSettingsGroup(group);
        const std::string utf8 = SettingsBytesToUtf8(text);
        for (const std::string &key : keys) {
            const std::string value = ReadSettingsString(key, "<d>");
            ASSERT_EQ(value, ReferenceRead(utf8, group, key)) << "round " << round;
            if (!found) {
                ASSERT_EQ(value, "<d>");
            }
            ASSERT_EQ(value.find_first_of("\r\n"), std::string::npos);
        }
    }
    CloseSettingsFile();
}

TEST(SettingsFuzz, Read_ManyDuplicateKeys_FirstOfEachWins) {
    std::mt19937 random(7);
    for (int round = 0; round < 300; ++round) {
        std::string text = "[g]\n";
        std::vector<int> firstValue(20, -1);
        for (int line = 0; line < 200; ++line) {
            const int key = static_cast<int>(random() % 20);
            std::string name = "Key" + std::to_string(key);
            if (random() % 2) name[0] = 'k';  // case must not matter
            text += name + " = " + std::to_string(line) + "\n";
            if (firstValue[key] < 0) firstValue[key] = line;
        }
        ASSERT_TRUE(OpenSettingsFromMemory(text));
        ASSERT_TRUE(SelectSettingsGroup("G"));
        for (int key = 0; key < 20; ++key) {
            const std::string expected =
                firstValue[key] < 0 ? "<d>" : std::to_string(firstValue[key]);
            ASSERT_EQ(ReadSettingsString("KEY" + std::to_string(key), "<d>"), expected);
        }
    }
    CloseSettingsFile();
}

}  // namespace
