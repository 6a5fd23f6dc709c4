// Mutated MP3, WAV and MIDI files, made by a fixed pseudo-random sequence so every run tries the
// same ones: opening and decoding them to the end never crashes, hangs or reads out of bounds (the
// second pass of the test script runs this under AddressSanitizer).
#include <gtest/gtest.h>

#include <thread>

#include "audio_engine.h"
#include "decoder.h"
#include "test_media.h"

using namespace std::chrono_literals;

namespace {

class MalformedMedia : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { BASS_Init(-1, 44100, 0, nullptr, nullptr); }

    // Decodes a file to its end through the decoder contract, with a bound on the output.
    void DecodeAll(const std::string &path) {
        engine::CancelToken token;
        auto decoder = engine::LooksLikeMidi(path) ? engine::OpenMidiDecoder(path)
                                                   : engine::OpenFileDecoder(path, &token);
        if (!decoder) return;
        std::vector<float> chunk(4096 * 2);
        long total = 0;
        int count;
        while ((count = decoder->Read(chunk.data(), 4096)) > 0 && total < 44100 * 60)
            total += count;
        decoder->Seek(44100 / 2);
        decoder->Read(chunk.data(), 4096);
        while (!decoder->RefineLengthStep()) {
        }
    }

    void FuzzFile(const std::string &name, const std::vector<std::uint8_t> &base, int rounds,
                  std::uint32_t first_variant) {
        std::string path = dir_.Path(name);
        for (int round = 0; round < rounds; ++round) {
            SCOPED_TRACE(round);
            ASSERT_TRUE(
                testmedia::WriteBytes(path, testmedia::Mutate(base, first_variant + round)));
            DecodeAll(path);
            // And through the calls, briefly playing.
            HSTREAM handle = BASS_StreamCreateFile(FALSE, path.c_str(), 0, 0, 0);
            if (handle) {
                BASS_ChannelPlay(handle, FALSE);
                BASS_ChannelSetPosition(handle, 4000, BASS_POS_BYTE);
                BASS_ChannelGetLength(handle, BASS_POS_BYTE);
                BASS_ChannelGetTags(handle, BASS_TAG_ID3);
                EXPECT_TRUE(BASS_StreamFree(handle));
            }
        }
    }

    std::vector<std::uint8_t> Encoded(const std::string &args, const std::string &name) {
        std::string wav = dir_.Path("source.wav");
        EXPECT_TRUE(testmedia::WriteWav(wav, 44100, 2, testmedia::SampleKind::kInt16,
                                        testmedia::Sine(440, 0.6, 44100, 2, 0.5)));
        std::string out = dir_.Path(name);
        EXPECT_TRUE(testmedia::Ffmpeg(wav, args, out));
        return testmedia::ReadBytes(out);
    }

    testmedia::TempDir dir_;
};

TEST_F(MalformedMedia, MutatedMp3_NeverCrashes) {
    auto base = Encoded("-c:a libmp3lame -b:a 96k -id3v2_version 3 -metadata title=x", "b.mp3");
    ASSERT_FALSE(base.empty());
    FuzzFile("m.mp3", base, 150, 1000);
}

TEST_F(MalformedMedia, MutatedVbrMp3WithoutHeader_NeverCrashes) {
    auto base = Encoded("-c:a libmp3lame -q:a 5 -write_xing 0", "v.mp3");
    ASSERT_FALSE(base.empty());
    FuzzFile("v.mp3", base, 100, 5000);
}

TEST_F(MalformedMedia, MutatedWav_NeverCrashes) {
    std::string wav = dir_.Path("w.wav");
    ASSERT_TRUE(testmedia::WriteWav(wav, 22050, 1, testmedia::SampleKind::kInt24,
                                    testmedia::Sine(440, 0.3, 22050, 1, 0.5)));
    FuzzFile("m.wav", testmedia::ReadBytes(wav), 150, 2000);
}

TEST_F(MalformedMedia, MutatedMidi_NeverCrashes) {
    FuzzFile("m.mid", testmedia::SimpleMidi(3), 60, 3000);
}

TEST_F(MalformedMedia, RandomBytes_NeverCrash) {
    std::vector<std::uint8_t> noise(3000);
    std::uint32_t state = 99;
    for (auto &b : noise) {
        state = state * 1103515245u + 12345u;
        b = static_cast<std::uint8_t>(state >> 16);
    }
    FuzzFile("noise.mp3", noise, 50, 4000);
}

}  // namespace

namespace {

TEST_F(MalformedMedia, DamagedFramesInTheMiddle_PlayOnToTheEnd) {
    std::string wav = dir_.Path("long.wav");
    ASSERT_TRUE(testmedia::WriteWav(wav, 44100, 2, testmedia::SampleKind::kInt16,
                                    testmedia::Sine(440, 10.0, 44100, 2, 0.5)));
    std::string mp3 = dir_.Path("long.mp3");
    ASSERT_TRUE(testmedia::Ffmpeg(wav, "-c:a libmp3lame -b:a 128k", mp3));
    auto bytes = testmedia::ReadBytes(mp3);
    // Garbage over a few frames at a third and at two thirds of the file.
    std::uint32_t state = 7;
    for (std::size_t at : {bytes.size() / 3, bytes.size() * 2 / 3}) {
        for (std::size_t i = at; i < at + 2000; ++i) {
            state = state * 1664525u + 1013904223u;
            bytes[i] = static_cast<std::uint8_t>(state >> 24);
        }
    }
    std::string damaged = dir_.Path("damaged.mp3");
    ASSERT_TRUE(testmedia::WriteBytes(damaged, bytes));
    engine::CancelToken token;
    auto decoder = engine::OpenFileDecoder(damaged, &token);
    ASSERT_TRUE(decoder);
    std::vector<float> chunk(4096 * 2);
    long frames = 0;
    int count;
    while ((count = decoder->Read(chunk.data(), 4096)) > 0)
        frames += count;
    EXPECT_GT(frames, 44100 * 9);
}

}  // namespace
