// A seek lands where it was asked to: within 50 ms for MP3, on the sample for WAV. Checked
// on the samples the decoder delivers after the seek.
#include <gtest/gtest.h>

#include <cmath>

#include "decoder.h"
#include "test_media.h"

using testmedia::SampleKind;

namespace {

// The first frame at which the signal gets loud, -1 if it never does.
long FirstLoudFrame(engine::Decoder &decoder, long limit) {
    std::vector<float> chunk(1024 * 2);
    long seen = 0;
    while (seen < limit) {
        int count = decoder.Read(chunk.data(), 1024);
        if (count <= 0) return -1;
        for (int i = 0; i < count; ++i)
            if (std::abs(chunk[i * 2]) > 0.25f) return seen + i;
        seen += count;
    }
    return -1;
}

TEST(SeekAccuracy, Wav_LandsOnTheExactFrame) {
    testmedia::TempDir dir;
    // Each sample holds its own index, so the first sample read tells where the seek landed.
    std::vector<float> ramp(44100 * 4);
    for (std::size_t i = 0; i < ramp.size(); ++i)
        ramp[i] = static_cast<float>(static_cast<int>(i % 30000) - 15000) / 32768.0f;
    std::string path = dir.Path("ramp.wav");
    ASSERT_TRUE(testmedia::WriteWav(path, 44100, 1, SampleKind::kInt16, ramp));
    engine::CancelToken token;
    auto decoder = engine::OpenFileDecoder(path, &token);
    ASSERT_TRUE(decoder);
    for (long target : {100000L, 12345L, 0L, 150001L}) {
        ASSERT_TRUE(decoder->Seek(target));
        float frame[2];
        ASSERT_EQ(decoder->Read(frame, 1), 1);
        long index = std::lround(frame[0] * 32768.0f) + 15000;
        EXPECT_EQ(index, target % 30000) << target;
    }
}

TEST(SeekAccuracy, Mp3_LandsWithin50ms) {
    testmedia::TempDir dir;
    // Silence until 5 s, then a loud tone: after a seek to t the tone starts 5 - t later.
    std::vector<float> samples(static_cast<std::size_t>(44100 * 8 * 2), 0.0f);
    auto tone = testmedia::Sine(1000, 3.0, 44100, 2, 0.8);
    std::copy(tone.begin(), tone.end(), samples.begin() + 44100 * 5 * 2);
    std::string wav = dir.Path("step.wav");
    ASSERT_TRUE(testmedia::WriteWav(wav, 44100, 2, SampleKind::kInt16, samples));
    for (const char *args : {"-c:a libmp3lame -b:a 192k", "-c:a libmp3lame -q:a 3",
                             "-c:a libmp3lame -b:a 128k -write_xing 0"}) {
        std::string mp3 = dir.Path("step.mp3");
        ASSERT_TRUE(testmedia::Ffmpeg(wav, args, mp3));
        engine::CancelToken token;
        auto decoder = engine::OpenFileDecoder(mp3, &token);
        ASSERT_TRUE(decoder);
        for (double target : {4.5, 2.0, 4.9}) {
            ASSERT_TRUE(decoder->Seek(std::llround(target * 44100)));
            long loud = FirstLoudFrame(*decoder, 44100 * 4);
            ASSERT_GE(loud, 0);
            EXPECT_NEAR(loud / 44100.0, 5.0 - target, 0.05) << args << " at " << target;
        }
    }
}

}  // namespace
