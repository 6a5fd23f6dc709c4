// Station metadata blocks: the text as sent up to its padding, bounded, and split into keys
// without ever reading outside the text.
#include <gtest/gtest.h>

#include <random>

#include "icy_metadata.h"
#include "test_media.h"

namespace {

TEST(IcyMetadata, PaddedBlock_TextUpToPadding) {
    std::string block = "StreamTitle='Artist - Song';";
    block.resize(48, '\0');
    EXPECT_EQ(engine::NormaliseIcyBlock(block.data(), block.size()),
              "StreamTitle='Artist - Song';");
}

TEST(IcyMetadata, OversizedBlock_CutToTheLargestAStationCanSend) {
    std::string block(10000, 'x');
    EXPECT_EQ(engine::NormaliseIcyBlock(block.data(), block.size()).size(), 4080u);
    EXPECT_EQ(engine::NormaliseIcyBlock(nullptr, 10), "");
}

TEST(IcyMetadata, Field_FindsTitleAndUrl) {
    std::string text = "StreamTitle='Rock - Roll';StreamUrl='http://x/';";
    EXPECT_EQ(engine::IcyField(text, "StreamTitle"), "Rock - Roll");
    EXPECT_EQ(engine::IcyField(text, "StreamUrl"), "http://x/");
    EXPECT_FALSE(engine::IcyField(text, "Other"));
    EXPECT_FALSE(engine::IcyField(text, ""));
}

TEST(IcyMetadata, FieldWithApostrophe_KeepsIt) {
    EXPECT_EQ(engine::IcyField("StreamTitle='Don't Stop';", "StreamTitle"), "Don't Stop");
    EXPECT_EQ(engine::IcyField("StreamTitle='Unclosed", "StreamTitle"), "Unclosed");
    EXPECT_EQ(engine::IcyField("XStreamTitle='no';StreamTitle='yes';", "StreamTitle"), "yes");
}

TEST(IcyMetadata, RandomBlocks_NeverReadOutside) {
    std::mt19937 random(2024);
    std::string base = "StreamTitle='Some Artist - Some Title';StreamUrl='';";
    for (int round = 0; round < 20000; ++round) {
        std::vector<std::uint8_t> bytes =
            testmedia::Mutate(std::vector<std::uint8_t>(base.begin(), base.end()), random());
        if (random() % 4 == 0)
            for (auto &b : bytes)
                b = static_cast<std::uint8_t>(random());
        std::string text =
            engine::NormaliseIcyBlock(reinterpret_cast<const char *>(bytes.data()), bytes.size());
        ASSERT_LE(text.size(), bytes.size());
        ASSERT_EQ(text.find('\0'), std::string::npos);
        auto title = engine::IcyField(text, "StreamTitle");
        if (title) {
            ASSERT_LE(title->size(), text.size());
        }
    }
}

}  // namespace
