// The MIDI timing reader: length from ticks and tempo changes, seeks mapped to ticks, and
// malformed files rejected or read as far as they go, never past their end.
#include <gtest/gtest.h>

#include "midi_file.h"
#include "test_media.h"

namespace {

TEST(MidiFile, SimpleSong_LengthFromTicksAndTempo) {
    auto bytes = testmedia::SimpleMidi(6);
    auto timing = engine::ReadMidiTiming(bytes.data(), bytes.size());
    ASSERT_TRUE(timing);
    EXPECT_EQ(timing->total_ticks, 6 * 480);
    EXPECT_NEAR(engine::MidiTicksToSeconds(*timing, timing->total_ticks), 3.0, 1e-9);
    EXPECT_EQ(engine::MidiSecondsToTicks(*timing, 1.5), 3 * 480);
}

TEST(MidiFile, TempoChange_ChangesTheClock) {
    engine::MidiTiming timing;
    timing.ticks_per_quarter = 100;
    timing.tempo = {{0, 1000000}, {200, 250000}};  // 1 s a beat, then 0.25 s a beat
    timing.total_ticks = 400;
    EXPECT_NEAR(engine::MidiTicksToSeconds(timing, 400), 2.5, 1e-9);
    EXPECT_EQ(engine::MidiSecondsToTicks(timing, 2.25), 300);
    EXPECT_EQ(engine::MidiSecondsToTicks(timing, 1.0), 100);
}

TEST(MidiFile, SmpteDivision_FixedTickLength) {
    std::vector<std::uint8_t> bytes = {'M', 'T', 'h',  'd',  0,    0,   0,   6,   0,    0,
                                       0,   1,   0xE7, 40,   'M',  'T', 'r', 'k', 0,    0,
                                       0,   8,   0x83, 0x60, 0x90, 60,  100, 0,   0xFF, 0x2F};
    auto timing = engine::ReadMidiTiming(bytes.data(), bytes.size());
    ASSERT_TRUE(timing);
    EXPECT_NEAR(engine::MidiTicksToSeconds(*timing, 1000), 1.0, 1e-9);  // 25 fps x 40
}

TEST(MidiFile, BrokenHeaders_Rejected) {
    std::vector<std::uint8_t> no_tracks = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 1, 0, 0, 0, 96};
    EXPECT_FALSE(engine::ReadMidiTiming(no_tracks.data(), no_tracks.size()));
    std::vector<std::uint8_t> short_header = {'M', 'T', 'h', 'd', 0, 0, 0, 2, 0, 1};
    EXPECT_FALSE(engine::ReadMidiTiming(short_header.data(), short_header.size()));
    std::vector<std::uint8_t> riff = {'R', 'I', 'F', 'F', 0, 0, 0, 6, 0, 1, 0, 1, 0, 96};
    EXPECT_FALSE(engine::ReadMidiTiming(riff.data(), riff.size()));
    EXPECT_FALSE(engine::ReadMidiTiming(nullptr, 0));
}

TEST(MidiFile, TrackLongerThanFile_ReadUpToTheEnd) {
    auto bytes = testmedia::SimpleMidi(4);
    bytes[18] = 0x7F;  // claims a huge track
    auto timing = engine::ReadMidiTiming(bytes.data(), bytes.size());
    ASSERT_TRUE(timing);
    EXPECT_EQ(timing->total_ticks, 4 * 480);
}

TEST(MidiFile, RandomMutations_NeverReadOutside) {
    auto base = testmedia::SimpleMidi(8);
    for (std::uint32_t variant = 1; variant <= 30000; ++variant) {
        auto bytes = testmedia::Mutate(base, variant);
        // An exact-size heap copy lets AddressSanitizer see any read past the end.
        std::unique_ptr<std::uint8_t[]> exact(new std::uint8_t[bytes.size() + 1]);
        std::copy(bytes.begin(), bytes.end(), exact.get());
        auto timing = engine::ReadMidiTiming(exact.get(), bytes.size());
        if (timing) {
            ASSERT_GE(timing->total_ticks, 0);
            double seconds = engine::MidiTicksToSeconds(*timing, timing->total_ticks);
            ASSERT_GE(seconds, 0.0);
        }
    }
}

}  // namespace
