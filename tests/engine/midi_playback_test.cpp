// MIDI files through FluidSynth: length from the file's timing, seeks landing on the right
// moment of the song.
#include <gtest/gtest.h>

#include <cmath>

#include "audio_engine.h"
#include "decoder.h"
#include "test_media.h"

namespace {

// Seconds from the decoder's current place to the first clearly audible sample.
double SecondsToSound(engine::Decoder &decoder, double limit) {
    std::vector<float> chunk(1024 * 2);
    long seen = 0;
    while (seen < limit * 44100) {
        int count = decoder.Read(chunk.data(), 1024);
        if (count <= 0) return -1;
        for (int i = 0; i < count * 2; ++i)
            if (std::abs(chunk[i]) > 0.01f) return (seen + i / 2) / 44100.0;
        seen += count;
    }
    return -1;
}

TEST(MidiPlayback, SongWithRest_SoundStartsAfterTheRest) {
    testmedia::TempDir dir;
    std::string path = dir.Path("rest.mid");
    ASSERT_TRUE(testmedia::WriteBytes(path, testmedia::SimpleMidi(4, 4)));  // 2 s rest, 2 s notes
    auto decoder = engine::OpenMidiDecoder(path);
    ASSERT_TRUE(decoder);
    EXPECT_EQ(decoder->LengthFrames(), 4 * 44100);
    EXPECT_NEAR(SecondsToSound(*decoder, 3.0), 2.0, 0.05);
}

TEST(MidiPlayback, SeekIntoRest_SoundStartsWhereTheSongSays) {
    testmedia::TempDir dir;
    std::string path = dir.Path("rest.mid");
    ASSERT_TRUE(testmedia::WriteBytes(path, testmedia::SimpleMidi(4, 4)));
    auto decoder = engine::OpenMidiDecoder(path);
    ASSERT_TRUE(decoder);
    ASSERT_TRUE(decoder->Seek(44100 * 3 / 2));
    EXPECT_NEAR(SecondsToSound(*decoder, 3.0), 0.5, 0.05);
    // Back to the start, after the song has been heard.
    ASSERT_TRUE(decoder->Seek(0));
    EXPECT_NEAR(SecondsToSound(*decoder, 3.0), 2.0, 0.05);
    EXPECT_FALSE(decoder->Seek(5 * 44100));
}

TEST(MidiPlayback, SeekThroughTheCalls_PositionLandsAndStreamEnds) {
    BASS_Init(-1, 44100, 0, nullptr, nullptr);
    testmedia::TempDir dir;
    std::string path = dir.Path("song.mid");
    ASSERT_TRUE(testmedia::WriteBytes(path, testmedia::SimpleMidi(4)));
    HSTREAM handle = BASS_StreamCreateFile(FALSE, path.c_str(), 0, 0, 0);
    ASSERT_NE(handle, 0u);
    ASSERT_TRUE(BASS_ChannelPlay(handle, FALSE));
    ASSERT_TRUE(BASS_ChannelSetPosition(handle, 176400 * 3 / 2, BASS_POS_BYTE));
    EXPECT_NEAR(BASS_ChannelBytes2Seconds(handle, BASS_ChannelGetPosition(handle, 0)), 1.5, 0.05);
    auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(testmedia::WaitUntil([&] { return BASS_ChannelIsActive(handle) == 0; },
                                     std::chrono::seconds(3)));
    // Half a second was left; a busy machine may stretch it a little, never shorten it.
    double left = testmedia::SecondsSince(start);
    EXPECT_GT(left, 0.3);
    EXPECT_LT(left, 1.2);
    BASS_StreamFree(handle);
}

}  // namespace
