// The MIDI reader: the song's events and length, checked against a second reader (mido,
// through tests/support/midi_reference.py) on files that follow the standard, and on files
// that break it in the ways real files do against the same song written out properly.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <sstream>

#include "midi_bytes.h"
#include "midi_file.h"
#include "test_media.h"

namespace {

using midibytes::Bytes;
using midibytes::Track;

struct Note {
    int channel;
    int key;
    double seconds;
};

struct Reading {
    bool ok = false;
    double length = -1;
    std::vector<Note> notes;
};

Reading ReadWithEngine(const Bytes &bytes) {
    Reading reading;
    auto song = engine::ReadMidiSong(bytes.data(), bytes.size());
    if (!song) return reading;
    reading.ok = true;
    reading.length = song->seconds;
    for (const engine::MidiEvent &event : song->events)
        if ((event.status & 0xF0) == 0x90 && event.data2 > 0)
            reading.notes.push_back({event.status & 0x0F, event.data1, event.seconds});
    return reading;
}

struct PipeCloser {
    void operator()(std::FILE *f) const { pclose(f); }
};

Reading ReadWithMido(const Bytes &bytes) {
    testmedia::TempDir dir;
    std::string path = dir.Path("song.mid");
    Reading reading;
    if (!testmedia::WriteBytes(path, bytes)) return reading;
    std::string command = "/usr/bin/python3 " VOLNAR_SUPPORT_DIR "/midi_reference.py " + path;
    std::unique_ptr<std::FILE, PipeCloser> pipe(popen(command.c_str(), "r"));
    if (!pipe) return reading;
    char line[256];
    while (std::fgets(line, sizeof line, pipe.get())) {
        std::istringstream words(line);
        std::string kind;
        words >> kind;
        if (kind == "note") {
            Note note{};
            words >> note.channel >> note.key >> note.seconds;
            reading.notes.push_back(note);
        } else if (kind == "length") {
            words >> reading.length;
            reading.ok = true;
        }
    }
    return reading;
}

// The engine's reading of `bytes` is mido's reading of `reference`.
void ExpectSameSong(const Bytes &bytes, const Bytes &reference) {
    Reading engine = ReadWithEngine(bytes);
    Reading mido = ReadWithMido(reference);
    ASSERT_TRUE(mido.ok) << "mido (python3-mido, scripts/install-deps.sh) did not read the file";
    ASSERT_TRUE(engine.ok);
    EXPECT_NEAR(engine.length, mido.length, 1e-6);
    ASSERT_EQ(engine.notes.size(), mido.notes.size());
    for (std::size_t i = 0; i < mido.notes.size(); ++i) {
        EXPECT_EQ(engine.notes[i].channel, mido.notes[i].channel) << "note " << i;
        EXPECT_EQ(engine.notes[i].key, mido.notes[i].key) << "note " << i;
        EXPECT_NEAR(engine.notes[i].seconds, mido.notes[i].seconds, 1e-6) << "note " << i;
    }
}

// Four beats of 480 ticks at 120 beats a minute: 2 s, a note each beat.
Track FourNotes(int channel = 0, int key = 60) {
    Track track;
    track.At(0, {0xC0 | channel, 19});
    for (int beat = 0; beat < 4; ++beat)
        track.At(0, {0x90 | channel, key + beat, 100}).At(480, {0x80 | channel, key + beat, 64});
    return track;
}

TEST(MidiFile, Format1_TempoOfAnyTrackTimesAllTracks) {
    Track conductor;
    conductor.Tempo(0, 500000).Tempo(960, 250000).Tempo(960, 1000000).End(480);
    Track melody = FourNotes(0);
    melody.At(0, {0x90, 72, 90}).At(960, {0x80, 72, 0}).End();
    Track bass;
    bass.Tempo(1200, 750000).At(0, {0x91, 40, 80}).At(240, {0x81, 40, 0}).At(0, {0x91, 41, 80});
    bass.At(1000, {0x81, 41, 0}).End();
    Bytes bytes = midibytes::File(1, 480, {conductor, melody, bass});
    ExpectSameSong(bytes, bytes);
    EXPECT_EQ(engine::ReadMidiSong(bytes.data(), bytes.size())->format, 1);
}

TEST(MidiFile, SimpleSong_FourBeatsAreTwoSeconds) {
    auto bytes = testmedia::SimpleMidi(6);
    ExpectSameSong(bytes, bytes);
    EXPECT_NEAR(ReadWithEngine(bytes).length, 3.0, 1e-9);
}

// A lyric and a system-exclusive message in the middle of a run of notes, the notes after
// them written with running status.
TEST(MidiFile, RunningStatus_LastsAcrossMetaAndSystemExclusive) {
    Track broken, written_out;
    for (Track *track : {&broken, &written_out})
        track->At(0, {0x90, 60, 100}).At(240, {0x90, 60, 0});
    broken.At(0, {0xFF, 0x05, 0x02, 'l', 'a'}).At(0, {62, 100}).At(240, {62, 0});
    written_out.At(0, {0xFF, 0x05, 0x02, 'l', 'a'}).At(0, {0x90, 62, 100}).At(240, {0x90, 62, 0});
    broken.At(0, {0xF0, 0x05, 0x7E, 0x7F, 0x09, 0x01, 0xF7}).At(0, {64, 100}).At(480, {64, 0});
    written_out.At(0, {0xF0, 0x05, 0x7E, 0x7F, 0x09, 0x01, 0xF7});
    written_out.At(0, {0x90, 64, 100}).At(480, {0x90, 64, 0});
    broken.End();
    written_out.End();
    ExpectSameSong(midibytes::File(0, 480, {broken}), midibytes::File(0, 480, {written_out}));

    Bytes bytes = midibytes::File(0, 480, {broken});
    auto song = engine::ReadMidiSong(bytes.data(), bytes.size());
    ASSERT_TRUE(song);
    ASSERT_EQ(song->sysex.size(), 1u);  // its bytes without F0 and F7
    EXPECT_EQ(song->sysex[0].length, 4u);
    EXPECT_EQ(song->sysex_bytes[song->sysex[0].offset], 0x7E);
}

TEST(MidiFile, UnknownChunks_Skipped) {
    Bytes odd = midibytes::Header(1, 2, 480);
    midibytes::Append(odd, midibytes::Chunk("XFIH", Bytes(37, 0x90)));
    midibytes::Append(odd, midibytes::Chunk("MTrk", FourNotes(0).End().bytes()));
    midibytes::Append(odd, midibytes::Chunk("zzzz", {'M', 'T', 'r', 'k', 0, 0, 0, 0}));
    midibytes::Append(odd, midibytes::Chunk("MTrk", FourNotes(1, 48).End().bytes()));
    ExpectSameSong(odd, midibytes::File(1, 480, {FourNotes(0).End(), FourNotes(1, 48).End()}));
}

// Eight beats, 4 s, with system common and real-time messages between the events.
TEST(MidiFile, StraySystemMessages_SkippedWithTheirData) {
    Track stray, clean;
    for (int beat = 0; beat < 8; ++beat) {
        for (Track *track : {&stray, &clean})
            track->At(0, {0x90, 60 + beat, 100});
        switch (beat) {
            case 0:
                stray.At(0, {0xF6});
                break;  // tune request
            case 1:
                stray.At(0, {0xF8});
                break;  // clock
            case 2:
                stray.At(0, {0xF1, 0x21});
                break;  // time code quarter frame
            case 3:
                stray.At(0, {0xF2, 0x10, 0x02});
                break;  // song position
            case 4:
                stray.At(0, {0xF3, 0x05});
                break;  // song select
            case 5:
                stray.At(0, {0xFE}).At(0, {0xF4});
                break;  // active sensing, undefined
            case 6:
                stray.At(0, {0xFA}).At(0, {0xFC});
                break;  // start, stop
            default:
                break;
        }
        stray.At(240, {0xF9});  // an undefined real-time byte carrying half the beat
        clean.At(240, {0xFF, 0x01, 0x00});
        for (Track *track : {&stray, &clean})
            track->At(240, {0x80, 60 + beat, 0});
    }
    stray.End();
    clean.End();
    Bytes bytes = midibytes::File(0, 480, {stray});
    ExpectSameSong(bytes, midibytes::File(0, 480, {clean}));
    EXPECT_NEAR(ReadWithEngine(bytes).length, 4.0, 1e-9);
}

TEST(MidiFile, MissingByte_PlaysWhatTheTrackHolds) {
    Bytes whole = midibytes::File(0, 480, {FourNotes().End()});
    // The last byte (the End of Track's length) lost: everything is there.
    Bytes cut_at_end(whole.begin(), whole.end() - 1);
    ExpectSameSong(cut_at_end, whole);
    // The second note's velocity lost: that note is gone, the rest falls back into step.
    Bytes cut_inside = whole;
    // The header, the track header, the program change, the first note, the delta time.
    std::size_t second_note = 14 + 8 + 3 + 9 + 1;
    ASSERT_EQ(cut_inside[second_note], 0x90);
    ASSERT_EQ(cut_inside[second_note + 2], 100);
    cut_inside.erase(cut_inside.begin() + static_cast<long>(second_note) + 2);
    Reading engine = ReadWithEngine(cut_inside);
    Reading mido = ReadWithMido(whole);
    ASSERT_TRUE(engine.ok && mido.ok);
    EXPECT_NEAR(engine.length, mido.length, 1e-6);
    ASSERT_EQ(engine.notes.size(), 3u);
    EXPECT_NEAR(engine.notes[1].seconds, mido.notes[2].seconds, 1e-6);
    EXPECT_EQ(engine.notes[1].key, mido.notes[2].key);
    // Cut inside an event's data: the track ends with its last whole event.
    Bytes cut_short(whole.begin(), whole.begin() + static_cast<long>(second_note) + 2);
    Reading short_song = ReadWithEngine(cut_short);
    ASSERT_TRUE(short_song.ok);
    EXPECT_EQ(short_song.notes.size(), 1u);
    EXPECT_NEAR(short_song.length, 0.5, 1e-9);
}

// Two tracks of 4.5 s each, at different tempos: 9 s, one after the other.
TEST(MidiFile, Format2_TracksPlayOneAfterAnother) {
    Track first, second;
    first.Tempo(0, 750000);  // 0.75 s a beat: six beats
    for (int beat = 0; beat < 6; ++beat)
        first.At(0, {0x90, 60, 100}).At(480, {0x80, 60, 0});
    first.End();
    second.At(0, {0xC1, 40});  // 120 a minute again: nine beats
    for (int beat = 0; beat < 9; ++beat)
        second.At(0, {0x91, 50, 100}).At(480, {0x81, 50, 0});
    second.End();
    Bytes bytes = midibytes::File(2, 480, {first, second});
    ExpectSameSong(bytes, bytes);
    Reading reading = ReadWithEngine(bytes);
    EXPECT_NEAR(reading.length, 9.0, 1e-9);
    ASSERT_EQ(reading.notes.size(), 15u);
    EXPECT_NEAR(reading.notes[6].seconds, 4.5, 1e-9);
}

TEST(MidiFile, SmpteDivision_FixedTickLength) {
    Track track;
    track.At(480, {0x90, 60, 100}).At(520, {0x80, 60, 0}).End();
    Bytes bytes = midibytes::File(0, 0xE728, {track});  // 25 frames a second, 40 ticks each
    Reading reading = ReadWithEngine(bytes);
    ASSERT_TRUE(reading.ok);
    EXPECT_NEAR(reading.length, 1.0, 1e-9);
    ASSERT_EQ(reading.notes.size(), 1u);
    EXPECT_NEAR(reading.notes[0].seconds, 0.48, 1e-9);
}

TEST(MidiFile, BrokenHeaders_Rejected) {
    Bytes no_tracks = midibytes::Header(1, 0, 96);
    EXPECT_FALSE(engine::ReadMidiSong(no_tracks.data(), no_tracks.size()));
    Bytes no_track_chunk = midibytes::Header(1, 1, 96);
    midibytes::Append(no_track_chunk, midibytes::Chunk("XXXX", {0, 0x90, 60, 100}));
    EXPECT_FALSE(engine::ReadMidiSong(no_track_chunk.data(), no_track_chunk.size()));
    Bytes short_header = {'M', 'T', 'h', 'd', 0, 0, 0, 2, 0, 1};
    EXPECT_FALSE(engine::ReadMidiSong(short_header.data(), short_header.size()));
    Bytes riff = {'R', 'I', 'F', 'F', 0, 0, 0, 6, 0, 1, 0, 1, 0, 96};
    EXPECT_FALSE(engine::ReadMidiSong(riff.data(), riff.size()));
    Bytes format3 = midibytes::File(3, 96, {FourNotes()});
    EXPECT_FALSE(engine::ReadMidiSong(format3.data(), format3.size()));
    EXPECT_FALSE(engine::ReadMidiSong(nullptr, 0));
}

TEST(MidiFile, TrackLongerThanFile_ReadUpToTheEnd) {
    auto bytes = testmedia::SimpleMidi(4);
    bytes[18] = 0x7F;  // claims a huge track
    EXPECT_NEAR(ReadWithEngine(bytes).length, 2.0, 1e-9);
}

TEST(MidiFile, TooManyEvents_StopsAtTheBound) {
    Track track;
    track.At(0, {0x90, 60, 100});
    for (std::size_t i = 0; i < engine::kMaxMidiEvents + 1000; ++i)
        track.At(1, {60, static_cast<int>(i % 2) * 100});
    Bytes bytes = midibytes::File(0, 480, {track.End()});
    auto song = engine::ReadMidiSong(bytes.data(), bytes.size());
    ASSERT_TRUE(song);
    EXPECT_EQ(song->events.size(), engine::kMaxMidiEvents);
}

TEST(MidiFile, RandomMutations_NeverReadOutsideAndStayInOrder) {
    Bytes base = midibytes::File(1, 480, {FourNotes(0), FourNotes(1, 48).Tempo(10, 300000)});
    for (std::uint32_t variant = 1; variant <= 30000; ++variant) {
        auto bytes = testmedia::Mutate(base, variant);
        // An exact-size heap copy lets AddressSanitizer see any read past the end.
        std::unique_ptr<std::uint8_t[]> exact(new std::uint8_t[bytes.size() + 1]);
        std::copy(bytes.begin(), bytes.end(), exact.get());
        auto song = engine::ReadMidiSong(exact.get(), bytes.size());
        if (!song) continue;
        ASSERT_GE(song->seconds, 0.0);
        double last = 0;
        for (const engine::MidiEvent &event : song->events) {
            ASSERT_GE(event.seconds, last);
            ASSERT_LE(event.seconds, song->seconds + 1e-9);
            ASSERT_TRUE(event.status >= 0x80 && event.status <= 0xF0);
            ASSERT_LT(event.data1, 0x80);
            ASSERT_LT(event.data2, 0x80);
            if (event.status == 0xF0) {
                ASSERT_LT(event.sysex, song->sysex.size());
                const engine::MidiSysex &sysex = song->sysex[event.sysex];
                ASSERT_LE(std::size_t{sysex.offset} + sysex.length, song->sysex_bytes.size());
            }
            last = event.seconds;
        }
    }
}

}  // namespace
