// Big MP3 files: opening one walks only the head of its frames, the stream's own thread walks
// the rest. The length becomes the exact one (gapless trimming at the real end), a seek far
// beyond the head lands on the right frame, a file that shrinks meanwhile ends safely with
// what is left, and frames followed by a hole end where the sound does. The files are one
// encoded piece repeated (tens of megabytes, written in a moment); the sound of any part of
// them is the piece's sound there.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <fstream>
#include <thread>

#include "audio_engine.h"
#include "decode_all.h"
#include "decoder.h"
#include "engine_probe.h"
#include "file_stream_test.h"
#include "mp3_frames.h"
#include "test_media.h"

using namespace std::chrono_literals;

namespace {

constexpr int kRate = 44100;
// What an opening may walk: its byte bound and a stretch of junk or a frame beyond it.
constexpr std::uint64_t kMostWalkedAtOpening = (16u << 20) + (1u << 20) + 4096;

// A rising tone whose loudness steps every 0.1 s: no two frames of it sound alike, so a seek
// that lands on the wrong frame shows.
std::vector<float> Sweep(std::size_t frames) {
    std::vector<float> samples(frames * 2);
    for (std::size_t i = 0; i < frames; ++i) {
        const double t = static_cast<double>(i) / kRate;
        const double level = 0.4 + 0.2 * ((i / 4410) % 3);
        const auto value = static_cast<float>(level * std::sin(2 * M_PI * (300 + 40 * t) * t));
        samples[i * 2] = samples[i * 2 + 1] = value;
    }
    return samples;
}

float WorstDifference(const float *a, const float *b, std::size_t samples) {
    float worst = 0;
    for (std::size_t i = 0; i < samples; ++i)
        worst = std::max(worst, std::abs(a[i] - b[i]));
    return worst;
}

class Mp3Walk : public FileStreamTest {
  protected:
    // 20 s of the sweep, LAME VBR with its gapless header: its bytes, where its audio frames
    // start, how many there are, and its sound as decoded.
    void SetUp() override {
        const std::string wav = dir_.Path("piece.wav"), mp3 = dir_.Path("piece.mp3");
        ASSERT_TRUE(
            testmedia::WriteWav(wav, kRate, 2, testmedia::SampleKind::kInt16, Sweep(20 * kRate)));
        ASSERT_TRUE(testmedia::Lame(wav, "-V 2", mp3));
        piece_ = testmedia::ReadBytes(mp3);
        auto table = engine::ScanMp3File(mp3);
        ASSERT_TRUE(table && table->gapless && table->header_frames > 0);
        audio_from_ = table->offsets[0];
        piece_frames_ = table->offsets.size();
        first_sample_ = table->FirstAudioSample();
        engine::CancelToken token;
        auto decoder = engine::OpenFileDecoder(mp3, &token);
        ASSERT_TRUE(decoder);
        piece_sound_ = DecodeAll(*decoder);
        ASSERT_EQ(static_cast<long>(piece_sound_.size() / 2), 20 * kRate);
    }

    // The piece's header and `copies` times its audio frames; the header's frame count says
    // how many there are in all when `honest_header`, else the piece's.
    std::string Repeated(const std::string &name, std::size_t copies, bool honest_header) {
        std::vector<std::uint8_t> head(piece_.begin(), piece_.begin() + audio_from_);
        if (honest_header) {
            std::size_t at = 0;
            while (at + 12 < head.size() && std::memcmp(&head[at], "Xing", 4) != 0 &&
                   std::memcmp(&head[at], "Info", 4) != 0)
                ++at;
            EXPECT_LT(at + 12, head.size());
            const auto frames = static_cast<std::uint32_t>(piece_frames_ * copies);
            for (int i = 0; i < 4; ++i)
                head[at + 8 + i] = static_cast<std::uint8_t>(frames >> (24 - 8 * i));
        }
        const std::string path = dir_.Path(name);
        std::ofstream out(path, std::ios::binary);
        out.write(reinterpret_cast<const char *>(head.data()),
                  static_cast<std::streamsize>(head.size()));
        for (std::size_t i = 0; i < copies; ++i)
            out.write(reinterpret_cast<const char *>(piece_.data() + audio_from_),
                      static_cast<std::streamsize>(piece_.size() - audio_from_));
        EXPECT_TRUE(out.good());
        return path;
    }

    // Copies making a file of at least `bytes`.
    std::size_t CopiesFor(std::size_t bytes) const {
        return bytes / (piece_.size() - audio_from_) + 1;
    }

    // The output frame of the repeated file that is frame `in_piece` of copy `copy`.
    long PieceFrame(std::size_t copy, long in_piece) const {
        return static_cast<long>(copy * piece_frames_ * 1152) + in_piece;
    }
    // Where output frame `frame` of the repeated file lies in the piece's sound.
    long InPiece(long frame) const {
        const long per_copy = static_cast<long>(piece_frames_ * 1152);
        const long first = static_cast<long>(first_sample_);
        return (frame + first) % per_copy - first;
    }

    // The sound at output frame `frame` of the repeated file, `count` frames of it, is the
    // piece's sound at the same place of its copy.
    void ExpectPieceSoundAt(long frame, const std::vector<float> &heard, long count) {
        const long in_piece = InPiece(frame);
        ASSERT_GE(in_piece, 0);
        ASSERT_LE(in_piece + count, static_cast<long>(piece_sound_.size() / 2));
        EXPECT_LT(WorstDifference(heard.data(), piece_sound_.data() + in_piece * 2,
                                  static_cast<std::size_t>(count) * 2),
                  1e-3f)
            << "at " << frame;
    }

    static long LengthFrames(HSTREAM handle) {
        return static_cast<long>(BASS_ChannelGetLength(handle, BASS_POS_BYTE) / 4);
    }

    std::vector<std::uint8_t> piece_;
    std::size_t audio_from_ = 0;
    std::size_t piece_frames_ = 0;
    std::int64_t first_sample_ = 0;
    std::vector<float> piece_sound_;
};

// The honest header's count is the length at once; without it the opening's estimate is
// near, and the walk on the stream's thread makes either the exact one, the padding of the
// file's real end trimmed.
TEST_F(Mp3Walk, BigFile_OpensWithItsHeadWalked_LengthBecomesExact) {
    const std::size_t copies = CopiesFor(64u << 20);
    for (const bool honest : {true, false}) {
        SCOPED_TRACE(honest ? "honest header" : "header counting one piece");
        const std::string path = Repeated("big.mp3", copies, honest);
        auto whole = engine::ScanMp3File(path);
        ASSERT_TRUE(whole);
        ASSERT_EQ(whole->offsets.size(), copies * piece_frames_);
        const long exact = static_cast<long>(whole->EndAudioSample() - whole->FirstAudioSample());

        const HSTREAM handle = Create(path);
        ASSERT_NE(handle, 0u);
        const std::uint64_t walked = engine::LastMp3OpeningWalkBytes();
        EXPECT_LE(walked, kMostWalkedAtOpening);
        EXPECT_GE(walked, 2u << 20);
        const long at_once = LengthFrames(handle);
        if (honest) {
            EXPECT_EQ(at_once, exact);
        }
        // The estimate, from the average frame of the head: near, as the head is the piece
        // again and again.
        EXPECT_NEAR(at_once, exact, exact / 20);
        EXPECT_TRUE(testmedia::WaitUntil([&] { return LengthFrames(handle) == exact; }, 20s))
            << LengthFrames(handle) << " for " << exact;
        BASS_StreamFree(handle);
        created_.clear();
    }
}

// A decoder used on its own, as the stream's thread uses it: a seek far beyond the head
// walks on to its target and lands on the frame the piece has there; the end of the file is
// the piece's end, its padding trimmed, to the sample.
TEST_F(Mp3Walk, SeekFarBeyondTheHead_LandsOnItsFrame_EndTrimmedToTheSample) {
    const std::size_t copies = CopiesFor(64u << 20);
    const std::string path = Repeated("big.mp3", copies, false);
    engine::CancelToken token;
    auto decoder = engine::OpenFileDecoder(path, &token);
    ASSERT_TRUE(decoder);
    EXPECT_LE(engine::LastMp3OpeningWalkBytes(), kMostWalkedAtOpening);

    // In the middle of a copy three quarters in, then back into the head, then beyond.
    const long piece_length = static_cast<long>(piece_sound_.size() / 2);
    std::vector<float> heard(2048 * 2);
    for (const std::size_t copy : {copies * 3 / 4, std::size_t{2}, copies - 2}) {
        const long target = PieceFrame(copy, piece_length / 2);
        ASSERT_TRUE(decoder->Seek(target)) << target;
        ASSERT_EQ(decoder->Read(heard.data(), 2048), 2048);
        ExpectPieceSoundAt(target, heard, 2048);
    }

    // Walked to its end by the steps the stream's thread takes while idle.
    int steps = 0;
    while (!decoder->RefineLengthStep())
        ASSERT_LT(++steps, 1000);
    const long length = static_cast<long>(decoder->LengthFrames());
    auto whole = engine::ScanMp3File(path);
    ASSERT_TRUE(whole);
    EXPECT_EQ(length, whole->EndAudioSample() - whole->FirstAudioSample());
    ASSERT_TRUE(decoder->Seek(length - 3000));
    const std::vector<float> tail = DecodeAll(*decoder);
    ASSERT_EQ(static_cast<long>(tail.size() / 2), 3000);
    EXPECT_LT(WorstDifference(tail.data(), piece_sound_.data() + (piece_length - 3000) * 2, 6000),
              1e-3f);
    EXPECT_FALSE(decoder->Seek(length + 1));
}

// Through the calls the player makes, before the stream's thread has walked there: what is
// heard after a seek far beyond the head is the piece's sound at the target, from its first
// frame on, and the position never passes the length meanwhile.
TEST_F(Mp3Walk, StreamSeekBeyondTheHead_HeardFromTheTarget) {
    const std::size_t copies = CopiesFor(64u << 20);
    const std::string path = Repeated("big.mp3", copies, false);
    const HSTREAM handle = Create(path);
    ASSERT_NE(handle, 0u);
    const long target = PieceFrame(copies * 9 / 10, static_cast<long>(piece_sound_.size() / 4));
    ASSERT_TRUE(BASS_ChannelSetPosition(handle, static_cast<QWORD>(target) * 4, BASS_POS_BYTE));
    constexpr long kHeard = 8192;
    engine::CaptureOutput(4 * kRate);
    ASSERT_TRUE(BASS_ChannelPlay(handle, FALSE));
    ASSERT_TRUE(testmedia::WaitUntil(
        [&] {
            const QWORD position = BASS_ChannelGetPosition(handle, BASS_POS_BYTE);
            EXPECT_LE(position, BASS_ChannelGetLength(handle, BASS_POS_BYTE));
            return position >= static_cast<QWORD>(target + 2 * kHeard) * 4;
        },
        10s));
    const std::vector<float> mixed = engine::CapturedOutput();
    // Silence while the stream's thread walks to the target, then the sound from there: its
    // first few frames may be too quiet to tell from the silence.
    std::size_t start = 0;
    while (start < mixed.size() / 2 && std::abs(mixed[start * 2]) < 1e-4f)
        ++start;
    ASSERT_LE(start + kHeard + 16, mixed.size() / 2);
    const float *expected = piece_sound_.data() + InPiece(target) * 2;
    float best = 1e9f;
    for (long quiet = 0; quiet <= 16; ++quiet)
        best = std::min(best, WorstDifference(mixed.data() + start * 2, expected + quiet * 2,
                                              static_cast<std::size_t>(kHeard) * 2));
    EXPECT_LT(best, 1e-3f);
}

// Cut to 30 MB while the stream is open, beyond the head its opening walked: the walk ends
// with the frames left, the length becomes theirs, and the stream plays to that end.
TEST_F(Mp3Walk, FileShrinksAfterOpening_LengthBecomesWhatIsLeftAndPlaysToItsEnd) {
    const std::string path = Repeated("big.mp3", CopiesFor(64u << 20), false);
    const HSTREAM handle = Create(path);
    ASSERT_NE(handle, 0u);
    constexpr off_t kLeft = off_t{30} << 20;
    ASSERT_EQ(truncate(path.c_str(), kLeft), 0);
    auto left = engine::ScanMp3File(path);
    ASSERT_TRUE(left);
    const long frames_left = static_cast<long>(left->DecodedSamples() - left->FirstAudioSample());
    // The last frame may be given up when its end cannot be told.
    ASSERT_TRUE(testmedia::WaitUntil(
        [&] { return std::abs(LengthFrames(handle) - frames_left) <= 1152; }, 20s))
        << LengthFrames(handle) << " for " << frames_left;
    const long length = LengthFrames(handle);
    ASSERT_TRUE(
        BASS_ChannelSetPosition(handle, static_cast<QWORD>(length - kRate / 2) * 4, BASS_POS_BYTE));
    ASSERT_TRUE(BASS_ChannelPlay(handle, FALSE));
    ASSERT_TRUE(testmedia::WaitUntil(
        [&] { return BASS_ChannelIsActive(handle) == BASS_ACTIVE_STOPPED; }, 10s));
    EXPECT_EQ(LengthFrames(handle), length);
    EXPECT_EQ(static_cast<long>(BASS_ChannelGetPosition(handle, BASS_POS_BYTE) / 4), length);
}

// The file shrinking step by step while a decoder walks it: whether a step finds it shorter
// before it maps the file or faults in the middle, nothing crashes, and a walk that was
// still going when the cuts ended keeps only frames inside what is left.
TEST_F(Mp3Walk, FileShrinksWhileWalked_NoFaultAndTheTableEndsInsideTheFile) {
    const std::string path = Repeated("big.mp3", CopiesFor(64u << 20), false);
    auto before = engine::ScanMp3File(path);
    ASSERT_TRUE(before);
    engine::CancelToken token;
    auto decoder = engine::OpenFileDecoder(path, &token);
    ASSERT_TRUE(decoder);
    constexpr off_t kLeft = off_t{20} << 20;
    std::atomic<bool> cut{false};
    std::thread cutter([&] {
        for (off_t size = off_t{64} << 20; size >= kLeft; size -= off_t{1} << 20)
            truncate(path.c_str(), size);
        cut = true;
    });
    int steps = 0;
    bool cut_while_walking = false;
    for (;; ++steps) {
        ASSERT_LT(steps, 1000);
        cut_while_walking = cut;
        if (decoder->RefineLengthStep()) break;
    }
    cutter.join();
    EXPECT_LE(decoder->LengthFrames(), before->DecodedSamples() - before->FirstAudioSample());
    if (cut_while_walking) {
        auto left = engine::ScanMp3File(path);
        ASSERT_TRUE(left);
        EXPECT_LE(decoder->LengthFrames(), left->DecodedSamples() - left->FirstAudioSample());
    }
    // The frames it kept decode, as far as the file still has them; past them it ends.
    ASSERT_TRUE(decoder->Seek(std::max<std::int64_t>(decoder->LengthFrames() - 5000, 0)));
    const std::vector<float> rest = DecodeAll(*decoder);
    EXPECT_LE(static_cast<std::int64_t>(rest.size() / 2), 5000);
}

// 40 MB of frames, then a hole of 200 MB: the walk on the stream's thread ends a megabyte
// into the hole, the length is the frames', the stream ends with its sound and its thread
// goes idle.
TEST_F(Mp3Walk, FramesThenAHoleOf200MB_EndsWithTheSoundAndGoesIdle) {
    const std::string path = Repeated("hole.mp3", CopiesFor(40u << 20), false);
    auto frames = engine::ScanMp3File(path);
    ASSERT_TRUE(frames);
    std::ifstream measure(path, std::ios::binary | std::ios::ate);
    const auto size = static_cast<off_t>(measure.tellg());
    ASSERT_EQ(truncate(path.c_str(), size + (off_t{200} << 20)), 0);
    const long exact = static_cast<long>(frames->EndAudioSample() - frames->FirstAudioSample());

    const HSTREAM handle = Create(path);
    ASSERT_NE(handle, 0u);
    EXPECT_LE(engine::LastMp3OpeningWalkBytes(), kMostWalkedAtOpening);
    ASSERT_TRUE(testmedia::WaitUntil([&] { return LengthFrames(handle) == exact; }, 20s))
        << LengthFrames(handle) << " for " << exact;
    ASSERT_TRUE(
        BASS_ChannelSetPosition(handle, static_cast<QWORD>(exact - kRate / 2) * 4, BASS_POS_BYTE));
    ASSERT_TRUE(BASS_ChannelPlay(handle, FALSE));
    ASSERT_TRUE(testmedia::WaitUntil(
        [&] { return BASS_ChannelIsActive(handle) == BASS_ACTIVE_STOPPED; }, 10s));
    EXPECT_EQ(LengthFrames(handle), exact);
    const auto cpu = [] {
        timespec now{};
        clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
        return static_cast<double>(now.tv_sec) + now.tv_nsec / 1e9;
    };
    const double before = cpu();
    std::this_thread::sleep_for(500ms);
    EXPECT_LT(cpu() - before, 0.1);
}

}  // namespace
