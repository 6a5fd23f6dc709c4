// The ID3v1 block: the file's last 128 bytes when they begin with "TAG", returned byte for
// byte (a Windows-1251 tag stays Windows-1251) and kept until the stream is freed.
#include <gtest/gtest.h>

#include <cstring>

#include "audio_engine.h"
#include "id3v1.h"
#include "test_media.h"

namespace {

std::vector<std::uint8_t> Cp1251Tag() {
    std::vector<std::uint8_t> tag(128, 0);
    std::memcpy(tag.data(), "TAG", 3);
    // "Песня" as title, "Кино" as artist, in Windows-1251.
    const std::uint8_t title[] = {0xCF, 0xE5, 0xF1, 0xED, 0xFF};
    const std::uint8_t artist[] = {0xCA, 0xE8, 0xED, 0xEE};
    std::memcpy(tag.data() + 3, title, sizeof title);
    std::memcpy(tag.data() + 33, artist, sizeof artist);
    tag[127] = 17;
    return tag;
}

class Id3v1 : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { BASS_Init(-1, 44100, 0, nullptr, nullptr); }
    testmedia::TempDir dir_;
};

TEST_F(Id3v1, Mp3WithCp1251Tag_ReturnsTheBlockByteForByte) {
    std::string wav = dir_.Path("t.wav");
    std::string mp3 = dir_.Path("t.mp3");
    ASSERT_TRUE(testmedia::WriteWav(wav, 44100, 2, testmedia::SampleKind::kInt16,
                                    testmedia::Sine(440, 1.0, 44100, 2, 0.5)));
    ASSERT_TRUE(testmedia::Ffmpeg(wav, "-c:a libmp3lame -b:a 128k", mp3));
    auto bytes = testmedia::ReadBytes(mp3);
    auto tag = Cp1251Tag();
    bytes.insert(bytes.end(), tag.begin(), tag.end());
    ASSERT_TRUE(testmedia::WriteBytes(mp3, bytes));

    HSTREAM handle = BASS_StreamCreateFile(FALSE, mp3.c_str(), 0, 0, 0);
    ASSERT_NE(handle, 0u);
    const char *block = BASS_ChannelGetTags(handle, BASS_TAG_ID3);
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(std::memcmp(block, tag.data(), 128), 0);
    // The same block on every call, valid while the stream lives.
    EXPECT_EQ(BASS_ChannelGetTags(handle, BASS_TAG_ID3), block);
    BASS_StreamFree(handle);
}

TEST_F(Id3v1, FileWithoutTag_Null) {
    std::string wav = dir_.Path("t.wav");
    ASSERT_TRUE(testmedia::WriteWav(wav, 44100, 2, testmedia::SampleKind::kInt16,
                                    testmedia::Sine(440, 1.0, 44100, 2, 0.5)));
    HSTREAM handle = BASS_StreamCreateFile(FALSE, wav.c_str(), 0, 0, 0);
    ASSERT_NE(handle, 0u);
    EXPECT_EQ(BASS_ChannelGetTags(handle, BASS_TAG_ID3), nullptr);
    BASS_StreamFree(handle);
}

TEST_F(Id3v1, ShortOrOddFiles_NoBlock) {
    EXPECT_FALSE(engine::ReadId3v1(dir_.Path("missing")));
    EXPECT_FALSE(engine::ReadId3v1(dir_.Path("")));
    std::string small = dir_.Path("small");
    ASSERT_TRUE(testmedia::WriteBytes(small, {'T', 'A', 'G', 1, 2, 3}));
    EXPECT_FALSE(engine::ReadId3v1(small));
    std::string exact = dir_.Path("exact");
    ASSERT_TRUE(testmedia::WriteBytes(exact, Cp1251Tag()));
    EXPECT_TRUE(engine::ReadId3v1(exact));
    std::string fifo = dir_.Path("fifo");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_FALSE(engine::ReadId3v1(fifo));
}

TEST_F(Id3v1, RandomTails_FoundExactlyWhenTheyStartWithTag) {
    std::uint32_t variant = 12345;
    for (int round = 0; round < 5000; ++round) {
        std::vector<std::uint8_t> bytes = testmedia::Mutate(Cp1251Tag(), variant++);
        auto block = engine::FindId3v1(bytes.data(), bytes.size());
        bool expected =
            bytes.size() >= 128 && std::memcmp(&bytes[bytes.size() - 128], "TAG", 3) == 0;
        ASSERT_EQ(block.has_value(), expected) << round;
        if (block) {
            EXPECT_EQ(std::memcmp(block->data(), &bytes[bytes.size() - 128], 128), 0);
        }
    }
    EXPECT_FALSE(engine::FindId3v1(nullptr, 500));
}

}  // namespace
