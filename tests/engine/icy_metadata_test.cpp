// Station metadata blocks: the text as sent up to its padding, bounded, without ever reading
// outside the block.
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
    }
}

TEST(IcyName, FromAStationsHeaders_AnyCaseBoundedCleaned) {
    EXPECT_EQ(engine::IcyNameFromHeaders("Content-Type: audio/mpeg\r\nicy-name: Радио Ретро \r\n"),
              "Радио Ретро");
    EXPECT_EQ(engine::IcyNameFromHeaders("ICY-NAME:Loud\nicy-genre:rock\n"), "Loud");
    EXPECT_EQ(engine::IcyNameFromHeaders("icy-genre:rock\r\n"), "");
    EXPECT_EQ(engine::IcyNameFromHeaders("icy-name:\r\n"), "");
    EXPECT_EQ(engine::IcyNameFromHeaders("x-icy-name:no\r\n"), "");
    EXPECT_EQ(engine::IcyNameFromHeaders(nullptr), "");
    EXPECT_EQ(engine::IcyNameFromHeaders("icy-name:a\x01"
                                         "b\x1b"
                                         "[31mc\r\n"),
              "ab[31mc");
    const std::string huge = "icy-name:" + std::string(100000, 'x') + "\r\n";
    EXPECT_EQ(engine::IcyNameFromHeaders(huge.c_str()).size(), engine::kMaxStationNameBytes);
}

}  // namespace
