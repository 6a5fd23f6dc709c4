// The rules this reader follows where files and the Standard MIDI File text part ways. Each
// one is chosen so that a file written to the standard reads exactly as the standard says,
// and a file that breaks it plays what a listener would expect rather than nothing:
// - Chunks other than "MTrk" after the header are skipped by their length.
// - Running status survives meta and system-exclusive events. The standard's text says they
//   cancel it, but a file that follows the standard always writes a status byte after them,
//   so keeping the last channel status never changes how such a file reads; it only gives
//   a meaning to the data byte that would otherwise be an error. Real files (sequencers
//   that write a lyric or a marker between the notes of a run) rely on it, and the common
//   readers keep it too. A system-exclusive event never becomes the running status itself.
// - Status bytes F1 to FE between events are system common and real-time messages, which
//   have no place in a file; they are skipped with as many data bytes as their kind has
//   (F1 and F3 one, F2 two, the others none), their delta time still counts, and the
//   running status stays as it was.
// - A channel message whose data is cut short by a status byte is dropped, and that byte
//   starts the next event's delta time: a file with one lost byte falls back into step at
//   once. A track whose data ends early ends with its last whole event (a chunk longer than
//   the file is read up to the file's end); an End of Track cut after its type still ends
//   the track at its time.
// - Tempo changes of any track of a format 0 or 1 file set the tempo of the whole song. The
//   tracks of a format 2 file are songs of their own, each starting at 120 beats a minute,
//   and play one after another.
#include "midi_file.h"

#include <cstring>

#include <algorithm>

namespace engine {
namespace {

constexpr std::uint32_t kDefaultTempo = 500000;  // microseconds a quarter: 120 beats a minute
// Longer delta times or lengths are not in any real file: the data is garbage.
constexpr int kMaxVarLengthBytes = 4;

class Reader {
  public:
    Reader(const std::uint8_t *data, std::size_t size) : data_(data), size_(size) {}
    bool AtEnd() const { return pos_ >= size_; }
    std::size_t Left() const { return size_ - pos_; }
    bool Byte(std::uint8_t &out) {
        if (pos_ >= size_) return false;
        out = data_[pos_++];
        return true;
    }
    bool Peek(std::uint8_t &out) const {
        if (pos_ >= size_) return false;
        out = data_[pos_];
        return true;
    }
    bool BigEndian(int bytes, std::uint32_t &out) {
        if (Left() < static_cast<std::size_t>(bytes)) return false;
        out = 0;
        for (int i = 0; i < bytes; ++i)
            out = (out << 8) | data_[pos_++];
        return true;
    }
    bool VarLength(std::uint32_t &out) {
        out = 0;
        for (int i = 0; i < kMaxVarLengthBytes; ++i) {
            std::uint8_t b;
            if (!Byte(b)) return false;
            out = (out << 7) | (b & 0x7F);
            if (!(b & 0x80)) return true;
        }
        return false;
    }
    bool Skip(std::size_t count) {
        if (Left() < count) return false;
        pos_ += count;
        return true;
    }
    const std::uint8_t *Here() const { return data_ + pos_; }

  private:
    const std::uint8_t *data_;
    std::size_t size_;
    std::size_t pos_ = 0;
};

struct TrackBytes {
    const std::uint8_t *data;
    std::size_t size;
};

struct TempoChange {
    std::int64_t tick;
    std::uint32_t microseconds_per_quarter;
};

int DataBytesOfChannelMessage(std::uint8_t status) {
    std::uint8_t kind = status & 0xF0;
    return kind == 0xC0 || kind == 0xD0 ? 1 : 2;
}

int DataBytesOfSystemMessage(std::uint8_t status) {
    if (status == 0xF2) return 2;                    // song position
    if (status == 0xF1 || status == 0xF3) return 1;  // time code quarter frame, song select
    return 0;
}

// Walks one track, handing its tempo changes, channel messages and system-exclusive
// messages to the sink (which returns false to stop). Returns the tick where it ends.
template <typename Sink>
std::int64_t ReadTrack(TrackBytes bytes, Sink &sink) {
    Reader track(bytes.data, bytes.size);
    std::int64_t tick = 0;
    std::uint8_t running = 0;
    while (!track.AtEnd()) {
        std::uint32_t delta;
        std::uint8_t status;
        if (!track.VarLength(delta) || !track.Peek(status)) break;
        if (status & 0x80) {
            track.Byte(status);
        } else if (running) {
            status = running;
        } else {
            break;  // a data byte with no status to run on: nothing after it can be trusted
        }
        std::int64_t at = tick + delta;
        if (status == 0xFF) {
            std::uint8_t type;
            if (!track.Byte(type)) break;
            if (type == 0x2F) {
                tick = at;
                break;
            }
            std::uint32_t length;
            if (!track.VarLength(length) || track.Left() < length) break;
            if (type == 0x51 && length == 3) {
                const std::uint8_t *p = track.Here();
                std::uint32_t value = (p[0] << 16) | (p[1] << 8) | p[2];
                if (value > 0) sink.Tempo(at, value);
            }
            track.Skip(length);
        } else if (status == 0xF0 || status == 0xF7) {
            std::uint32_t length;
            if (!track.VarLength(length) || track.Left() < length) break;
            // F7 escapes carry anything at all (or the rest of a split message); only whole
            // F0 messages go to the synthesizer.
            if (status == 0xF0 && !sink.Sysex(at, track.Here(), length)) break;
            track.Skip(length);
        } else if (status > 0xF0) {
            std::uint8_t data;
            for (int i = DataBytesOfSystemMessage(status); i > 0; --i)
                if (track.Peek(data) && !(data & 0x80)) track.Byte(data);
        } else {
            running = status;
            std::uint8_t data[2] = {0, 0};
            int wanted = DataBytesOfChannelMessage(status);
            int got = 0;
            while (got < wanted && track.Peek(data[got]) && !(data[got] & 0x80)) {
                track.Byte(data[got]);
                ++got;
            }
            if (got < wanted) {
                if (track.AtEnd()) break;
                tick = at;  // cut short by a status byte: dropped, and the reading goes on
                continue;
            }
            if (!sink.Channel(at, status, data[0], data[1])) break;
        }
        tick = at;
    }
    return tick;
}

// Collects the tempo changes of a track.
struct TempoSink {
    std::vector<TempoChange> &tempo;
    void Tempo(std::int64_t tick, std::uint32_t value) { tempo.push_back({tick, value}); }
    bool Channel(std::int64_t, std::uint8_t, std::uint8_t, std::uint8_t) { return true; }
    bool Sysex(std::int64_t, const std::uint8_t *, std::uint32_t) { return true; }
};

// Ticks to seconds for one sequence: a fixed tick length (SMPTE division) or a tempo map.
class Clock {
  public:
    Clock(double seconds_per_tick_smpte, int ticks_per_quarter, std::vector<TempoChange> tempo)
        : smpte_(seconds_per_tick_smpte), ticks_per_quarter_(ticks_per_quarter) {
        std::stable_sort(
            tempo.begin(), tempo.end(),
            [](const TempoChange &a, const TempoChange &b) { return a.tick < b.tick; });
        segments_.push_back({0, 0.0, kDefaultTempo});
        for (const TempoChange &change : tempo) {
            Segment &last = segments_.back();
            double start = last.seconds + SpanSeconds(change.tick - last.tick, last.tempo);
            if (change.tick == last.tick)
                last.tempo = change.microseconds_per_quarter;  // the later one wins
            else
                segments_.push_back({change.tick, start, change.microseconds_per_quarter});
        }
    }

    double SecondsAt(std::int64_t tick) const {
        if (smpte_ > 0) return static_cast<double>(tick) * smpte_;
        auto after = std::upper_bound(segments_.begin(), segments_.end(), tick,
                                      [](std::int64_t t, const Segment &s) { return t < s.tick; });
        const Segment &segment = *(after - 1);
        return segment.seconds + SpanSeconds(tick - segment.tick, segment.tempo);
    }

  private:
    struct Segment {
        std::int64_t tick;
        double seconds;
        std::uint32_t tempo;
    };

    double SpanSeconds(std::int64_t ticks, std::uint32_t tempo) const {
        return static_cast<double>(ticks) * tempo / 1e6 / ticks_per_quarter_;
    }

    double smpte_;
    int ticks_per_quarter_;
    std::vector<Segment> segments_;  // sorted by tick, the first at tick 0
};

// Adds a track's messages to the song, timed by the clock and shifted by `offset` seconds.
struct EventSink {
    MidiSong &song;
    const Clock &clock;
    double offset;
    void Tempo(std::int64_t, std::uint32_t) {}
    bool Channel(std::int64_t tick, std::uint8_t status, std::uint8_t data1, std::uint8_t data2) {
        if (song.events.size() >= kMaxMidiEvents) return false;
        song.events.push_back({offset + clock.SecondsAt(tick), 0, status, data1, data2});
        return true;
    }
    bool Sysex(std::int64_t tick, const std::uint8_t *data, std::uint32_t length) {
        if (song.events.size() >= kMaxMidiEvents) return false;
        if (length > 0 && data[length - 1] == 0xF7) --length;
        if (length == 0) return true;
        song.sysex.push_back({static_cast<std::uint32_t>(song.sysex_bytes.size()), length});
        song.sysex_bytes.insert(song.sysex_bytes.end(), data, data + length);
        song.events.push_back({offset + clock.SecondsAt(tick),
                               static_cast<std::uint32_t>(song.sysex.size() - 1), 0xF0, 0, 0});
        return true;
    }
};

// Reads the tracks as one sequence (offset 0) or one track as a sequence of its own;
// returns where the sequence ends, in seconds from its start.
double ReadSequence(const TrackBytes *tracks, std::size_t count, double smpte,
                    int ticks_per_quarter, double offset, MidiSong &song) {
    std::vector<TempoChange> tempo;
    TempoSink tempo_sink{tempo};
    std::int64_t end = 0;
    for (std::size_t i = 0; i < count; ++i)
        end = std::max(end, ReadTrack(tracks[i], tempo_sink));
    Clock clock(smpte, ticks_per_quarter, std::move(tempo));
    EventSink event_sink{song, clock, offset};
    for (std::size_t i = 0; i < count; ++i)
        ReadTrack(tracks[i], event_sink);
    return clock.SecondsAt(end);
}

}  // namespace

std::optional<MidiSong> ReadMidiSong(const std::uint8_t *data, std::size_t size) {
    if (!data) return std::nullopt;
    Reader file(data, size);
    std::uint32_t id, header_length, format, track_count, division;
    if (!file.BigEndian(4, id) || id != 0x4D546864) return std::nullopt;  // "MThd"
    if (!file.BigEndian(4, header_length) || header_length < 6) return std::nullopt;
    if (!file.BigEndian(2, format) || !file.BigEndian(2, track_count) ||
        !file.BigEndian(2, division))
        return std::nullopt;
    if (format > 2 || track_count == 0 || division == 0) return std::nullopt;
    if (!file.Skip(header_length - 6)) return std::nullopt;

    double smpte = 0;
    int ticks_per_quarter = 0;
    if (division & 0x8000) {
        int frames_per_second = -static_cast<std::int8_t>(division >> 8);
        int ticks_per_frame = division & 0xFF;
        if (frames_per_second <= 0 || ticks_per_frame == 0) return std::nullopt;
        smpte = 1.0 / (frames_per_second * ticks_per_frame);
    } else {
        ticks_per_quarter = static_cast<int>(division);
    }

    std::vector<TrackBytes> tracks;
    while (tracks.size() < track_count && !file.AtEnd()) {
        std::uint32_t chunk_id, length;
        if (!file.BigEndian(4, chunk_id) || !file.BigEndian(4, length)) break;
        std::size_t usable = std::min<std::size_t>(length, file.Left());
        if (chunk_id == 0x4D54726B) tracks.push_back({file.Here(), usable});  // "MTrk"
        file.Skip(usable);
    }
    if (tracks.empty()) return std::nullopt;

    MidiSong song;
    song.format = static_cast<int>(format);
    if (format == 2) {
        for (const TrackBytes &track : tracks) {
            double start = song.seconds;
            song.seconds = start + ReadSequence(&track, 1, smpte, ticks_per_quarter, start, song);
        }
    } else {
        song.seconds =
            ReadSequence(tracks.data(), tracks.size(), smpte, ticks_per_quarter, 0, song);
        std::stable_sort(
            song.events.begin(), song.events.end(),
            [](const MidiEvent &a, const MidiEvent &b) { return a.seconds < b.seconds; });
    }
    return song;
}

std::optional<ByteSpan> SmfInsideRiff(const std::uint8_t *data, std::size_t size) {
    if (size < 12 || std::memcmp(data, "RIFF", 4) != 0 || std::memcmp(data + 8, "RMID", 4) != 0)
        return std::nullopt;
    // Chunks of a four-byte name and a little-endian size, each padded to an even length;
    // the RIFF's own size is not trusted, the file's end is.
    for (std::size_t at = 12; at + 8 <= size;) {
        const std::size_t length = static_cast<std::size_t>(data[at + 4]) |
                                   static_cast<std::size_t>(data[at + 5]) << 8 |
                                   static_cast<std::size_t>(data[at + 6]) << 16 |
                                   static_cast<std::size_t>(data[at + 7]) << 24;
        if (length > size - at - 8) return std::nullopt;
        if (std::memcmp(data + at, "data", 4) == 0) return ByteSpan{at + 8, length};
        at += 8 + length + (length & 1);
    }
    return std::nullopt;
}

}  // namespace engine
