// Which sources make a stream: files by content, whatever their name; nothing else.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <thread>

#include "audio_engine.h"
#include "test_media.h"

using testmedia::SampleKind;

namespace {

class StreamCreate : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { BASS_Init(-1, 44100, 0, nullptr, nullptr); }

    HSTREAM Create(const std::string &path) {
        HSTREAM handle = BASS_StreamCreateFile(FALSE, path.c_str(), 0, 0, 0);
        if (handle) created_.push_back(handle);
        return handle;
    }
    void TearDown() override {
        for (HSTREAM handle : created_)
            BASS_StreamFree(handle);
    }

    testmedia::TempDir dir_;
    std::vector<HSTREAM> created_;
};

TEST_F(StreamCreate, WavOfEveryCommonFormat_Succeeds) {
    struct Case {
        int rate, channels;
        SampleKind kind;
    };
    const Case cases[] = {
        {44100, 2, SampleKind::kInt8},    {44100, 2, SampleKind::kInt16},
        {48000, 2, SampleKind::kInt24},   {96000, 1, SampleKind::kInt32},
        {22050, 1, SampleKind::kFloat32}, {8000, 1, SampleKind::kInt16},
        {32000, 2, SampleKind::kFloat32},
    };
    int n = 0;
    for (const Case &c : cases) {
        std::string path = dir_.Path("f" + std::to_string(n++) + ".wav");
        ASSERT_TRUE(testmedia::WriteWav(path, c.rate, c.channels, c.kind,
                                        testmedia::Sine(440, 0.5, c.rate, c.channels, 0.5)));
        EXPECT_NE(Create(path), 0u) << path;
    }
}

TEST_F(StreamCreate, Mp3WithId3v2InFront_Succeeds) {
    std::string wav = dir_.Path("t.wav");
    std::string mp3 = dir_.Path("t.mp3");
    ASSERT_TRUE(testmedia::WriteWav(wav, 44100, 2, SampleKind::kInt16,
                                    testmedia::Sine(440, 1.0, 44100, 2, 0.5)));
    ASSERT_TRUE(testmedia::Ffmpeg(wav,
                                  "-c:a libmp3lame -b:a 128k -id3v2_version 3 "
                                  "-metadata title=Name -metadata artist=Someone",
                                  mp3));
    EXPECT_NE(Create(mp3), 0u);
}

TEST_F(StreamCreate, FileNamedAnythingWithAudioContent_Succeeds) {
    std::string wav = dir_.Path("t.wav");
    ASSERT_TRUE(testmedia::WriteWav(wav, 44100, 2, SampleKind::kInt16,
                                    testmedia::Sine(440, 0.5, 44100, 2)));
    std::string odd = dir_.Path("noise.mid");
    ASSERT_EQ(std::rename(wav.c_str(), odd.c_str()), 0);
    EXPECT_NE(Create(odd), 0u);
}

TEST_F(StreamCreate, TruncatedMp3_SucceedsWithShorterLength) {
    std::string wav = dir_.Path("t.wav");
    std::string mp3 = dir_.Path("t.mp3");
    ASSERT_TRUE(testmedia::WriteWav(wav, 44100, 2, SampleKind::kInt16,
                                    testmedia::Sine(440, 4.0, 44100, 2, 0.5)));
    ASSERT_TRUE(testmedia::Ffmpeg(wav, "-c:a libmp3lame -b:a 128k -write_xing 0", mp3));
    auto bytes = testmedia::ReadBytes(mp3);
    bytes.resize(bytes.size() / 3);
    std::string cut = dir_.Path("cut.mp3");
    ASSERT_TRUE(testmedia::WriteBytes(cut, bytes));
    HSTREAM handle = Create(cut);
    ASSERT_NE(handle, 0u);
    ASSERT_TRUE(BASS_ChannelPlay(handle, FALSE));
    EXPECT_TRUE(testmedia::WaitUntil([&] { return BASS_ChannelIsActive(handle) == 0; },
                                     std::chrono::seconds(5)));
}

TEST_F(StreamCreate, ZeroByteFile_Fails) {
    std::string path = dir_.Path("empty.mp3");
    ASSERT_TRUE(testmedia::WriteBytes(path, {}));
    EXPECT_EQ(Create(path), 0u);
}

TEST_F(StreamCreate, TextFileNamedMp3_Fails) {
    std::string path = dir_.Path("notes.mp3");
    std::string text = "These are not the sounds you are looking for.\nJust text.\n";
    ASSERT_TRUE(testmedia::WriteBytes(path, std::vector<std::uint8_t>(text.begin(), text.end())));
    EXPECT_EQ(Create(path), 0u);
}

TEST_F(StreamCreate, HtmlFileNamedWav_Fails) {
    std::string path = dir_.Path("page.wav");
    std::string html = "<!DOCTYPE html><html><head><title>x</title></head><body>hi</body></html>";
    ASSERT_TRUE(testmedia::WriteBytes(path, std::vector<std::uint8_t>(html.begin(), html.end())));
    EXPECT_EQ(Create(path), 0u);
}

TEST_F(StreamCreate, Directory_Fails) {
    std::string path = dir_.Path("folder.mp3");
    ASSERT_EQ(mkdir(path.c_str(), 0700), 0);
    EXPECT_EQ(Create(path), 0u);
}

TEST_F(StreamCreate, Fifo_FailsWithoutBlocking) {
    std::string path = dir_.Path("pipe.mp3");
    ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
    EXPECT_EQ(Create(path), 0u);
}

TEST_F(StreamCreate, MissingPath_Fails) {
    EXPECT_EQ(Create(dir_.Path("nothing-here.mp3")), 0u);
    EXPECT_EQ(Create(""), 0u);
    EXPECT_EQ(BASS_StreamCreateFile(FALSE, nullptr, 0, 0, 0), 0u);
}

TEST_F(StreamCreate, PathThatLooksLikeAnotherProtocol_IsOpenedAsFileOnly) {
    // A file name with a colon must not turn into a protocol, and a protocol is no file name.
    std::string wav = dir_.Path("pipe:0.wav");
    ASSERT_TRUE(testmedia::WriteWav(wav, 44100, 2, SampleKind::kInt16,
                                    testmedia::Sine(440, 0.5, 44100, 2)));
    EXPECT_NE(Create(wav), 0u);
    EXPECT_EQ(Create("pipe:0"), 0u);
    EXPECT_EQ(Create("http://127.0.0.1:9/x.mp3"), 0u);
    EXPECT_EQ(Create("concat:" + wav + "|" + wav), 0u);
}

TEST_F(StreamCreate, MemoryOrPartialFile_Fails) {
    std::string wav = dir_.Path("t.wav");
    ASSERT_TRUE(testmedia::WriteWav(wav, 44100, 2, SampleKind::kInt16,
                                    testmedia::Sine(440, 0.5, 44100, 2)));
    EXPECT_EQ(BASS_StreamCreateFile(TRUE, wav.c_str(), 0, 0, 0), 0u);
    EXPECT_EQ(BASS_StreamCreateFile(FALSE, wav.c_str(), 100, 0, 0), 0u);
    EXPECT_EQ(BASS_StreamCreateFile(FALSE, wav.c_str(), 0, 100, 0), 0u);
}

TEST_F(StreamCreate, MidiFile_SucceedsWithItsLength) {
    std::string path = dir_.Path("song.mid");
    ASSERT_TRUE(testmedia::WriteBytes(path, testmedia::SimpleMidi(4)));
    HSTREAM handle = Create(path);
    ASSERT_NE(handle, 0u);
    // Four beats at 120 a minute.
    EXPECT_NEAR(BASS_ChannelBytes2Seconds(handle, BASS_ChannelGetLength(handle, BASS_POS_BYTE)),
                2.0, 0.01);
}

TEST_F(StreamCreate, MidiFile_PlaysSoundAndEnds) {
    std::string path = dir_.Path("song.mid");
    ASSERT_TRUE(testmedia::WriteBytes(path, testmedia::SimpleMidi(2)));
    HSTREAM handle = Create(path);
    ASSERT_NE(handle, 0u);
    ASSERT_TRUE(BASS_ChannelPlay(handle, FALSE));
    float peak = 0;
    auto start = std::chrono::steady_clock::now();
    while (BASS_ChannelIsActive(handle) != 0 && testmedia::SecondsSince(start) < 4) {
        float fft[1026] = {};
        BASS_ChannelGetData(handle, fft, BASS_DATA_FFT2048);
        for (int i = 0; i < 1024; ++i)
            peak = std::max(peak, fft[i]);
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    EXPECT_EQ(BASS_ChannelIsActive(handle), 0u);
    EXPECT_GT(peak, 0.001f);
}

TEST_F(StreamCreate, MidiHeaderWithGarbageBody_Fails) {
    std::string path = dir_.Path("bad.mid");
    std::vector<std::uint8_t> bytes = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 1, 0, 0, 0, 96};
    ASSERT_TRUE(testmedia::WriteBytes(path, bytes));
    EXPECT_EQ(Create(path), 0u);
}

}  // namespace
