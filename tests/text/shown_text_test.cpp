// What is shown of a text: its decoding, the cut after kMaxShownCodePoints at a character
// boundary that keeps a character with its marks, and runs of combining marks kept short.

#include <gtest/gtest.h>

#include <string>

#include "text_encoding.h"

namespace {

const std::string kAcute = "\u0301";  // COMBINING ACUTE ACCENT
const std::string kRing = "\u20DD";   // COMBINING ENCLOSING CIRCLE (an enclosing mark)

std::size_t CodePoints(const std::string &utf8) {
    std::size_t n = 0;
    for (unsigned char c : utf8)
        n += (c & 0xC0) != 0x80;
    return n;
}

std::string Repeat(const std::string &part, std::size_t times) {
    std::string out;
    for (std::size_t i = 0; i < times; ++i)
        out += part;
    return out;
}

TEST(ShownText, ShortTexts_DecodedAsEveryShownText) {
    EXPECT_EQ(ShownText(""), "");
    EXPECT_EQ(ShownText("Радио Ёлка - Новости"), "Радио Ёлка - Новости");
    EXPECT_EQ(ShownText("\xD0\xE0\xE4\xE8\xEE"), "Радио");  // Windows-1251
    EXPECT_EQ(ShownText("Ёлка\xD0"), "Ёлка");  // a sequence cut off at the end is dropped
    EXPECT_EQ(ShownText("e" + kAcute + "a" + kRing), "e" + kAcute + "a" + kRing);
}

TEST(ShownText, LongTexts_CutAfterTheLimitOnACharacterBoundary) {
    const std::string ascii(3 * kMaxShownCodePoints, 'x');
    EXPECT_EQ(ShownText(ascii), std::string(kMaxShownCodePoints, 'x'));

    const std::string cyrillic = ShownText(Repeat("Ж", 10000));
    EXPECT_EQ(cyrillic, Repeat("Ж", kMaxShownCodePoints));

    const std::string emoji = ShownText(Repeat("\U0001F3B5", 1000));
    EXPECT_EQ(emoji, Repeat("\U0001F3B5", kMaxShownCodePoints));
    EXPECT_TRUE(IsValidUtf8(emoji));

    // Windows-1251: one byte, one character.
    const std::string cp1251 = ShownText(std::string(5000, '\xC6') + "\x98");
    EXPECT_EQ(cp1251, Repeat("Ж", kMaxShownCodePoints));
}

TEST(ShownText, CutInsideACombiningSequence_TheWholeSequenceGoes) {
    // The limit falls on the base's first mark: base and marks are left out together.
    const std::string head(kMaxShownCodePoints - 1, 'a');
    EXPECT_EQ(ShownText(head + "e" + kAcute + kAcute + "tail"), head);
    // The limit falls between two marks of the same base.
    const std::string shorter(kMaxShownCodePoints - 2, 'a');
    EXPECT_EQ(ShownText(shorter + "e" + kAcute + kRing + kAcute), shorter);
    // A sequence that ends exactly at the limit stays whole.
    const std::string exact(kMaxShownCodePoints - 2, 'a');
    EXPECT_EQ(ShownText(exact + "e" + kAcute + "zzz"), exact + "e" + kAcute);
}

TEST(ShownText, LongRunsOfMarks_CutToTheFirstFew) {
    // A letter with 50,000 accents once cost seconds of shaping.
    const std::string shown = ShownText("e" + Repeat(kAcute, 50000) + "nd");
    EXPECT_EQ(shown, "e" + Repeat(kAcute, kMaxCombiningRun) + "nd");

    // Every base keeps its own first marks; runs at the very start count as well.
    const std::string zalgo = Repeat(kRing, 9) + Repeat("a" + Repeat(kAcute, 7), 3);
    EXPECT_EQ(ShownText(zalgo),
              Repeat(kRing, kMaxCombiningRun) + Repeat("a" + Repeat(kAcute, kMaxCombiningRun), 3));

    // Marks of real scripts, a few per letter, are untouched.
    const std::string vietnamese = "Vi\u1EC7t Nam, ti\u00EA\u0301ng";
    EXPECT_EQ(ShownText(vietnamese), vietnamese);
}

TEST(ShownText, AnyLength_NeverMoreThanTheLimitOfCodePoints) {
    for (const std::string &part : {std::string("a"), "a" + kAcute, "ab" + Repeat(kAcute, 9),
                                    std::string("\xE9"), std::string("Ё")}) {
        const std::string shown = ShownText(Repeat(part, 3000));
        EXPECT_LE(CodePoints(shown), kMaxShownCodePoints) << part;
        EXPECT_GE(CodePoints(shown), kMaxShownCodePoints - kMaxCombiningRun) << part;
        EXPECT_TRUE(IsValidUtf8(shown)) << part;
    }
}

TEST(Utf8WithReplacements, IllFormedBytes_EachBecomesOneReplacementCharacter) {
    EXPECT_EQ(Utf8WithReplacements("Ёлка"), "Ёлка");
    EXPECT_EQ(Utf8WithReplacements("a\xFF"
                                   "b"),
              "a\uFFFDb");
    EXPECT_EQ(Utf8WithReplacements("\xC0\xAF"), "\uFFFD\uFFFD");            // overlong
    EXPECT_EQ(Utf8WithReplacements("\xED\xA0\x80"), "\uFFFD\uFFFD\uFFFD");  // surrogate
    EXPECT_EQ(Utf8WithReplacements("x\xE2\x82"), "x\uFFFD\uFFFD");          // cut off
    EXPECT_TRUE(IsValidUtf8(Utf8WithReplacements(std::string(256, '\x80'))));
}

}  // namespace
