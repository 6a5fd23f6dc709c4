#include "midi_file.h"

#include <algorithm>

namespace engine {
namespace {

constexpr std::uint32_t kDefaultTempo = 500000;  // 120 beats a minute
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

int DataBytesOf(std::uint8_t status) {
    std::uint8_t kind = status & 0xF0;
    return kind == 0xC0 || kind == 0xD0 ? 1 : 2;
}

// Walks one track; a track cut short ends where its data ends. Returns the track's last tick.
std::int64_t ReadTrack(Reader track, std::vector<TempoChange> &tempo) {
    std::int64_t tick = 0;
    std::uint8_t running = 0;
    while (!track.AtEnd()) {
        std::uint32_t delta;
        if (!track.VarLength(delta)) break;
        std::uint8_t status;
        if (!track.Peek(status)) break;
        if (status & 0x80) {
            track.Byte(status);
        } else if (running) {
            status = running;
        } else {
            break;  // data byte without a status to run on
        }
        tick += delta;
        if (status == 0xFF) {
            std::uint8_t type;
            std::uint32_t length;
            if (!track.Byte(type) || !track.VarLength(length)) break;
            if (track.Left() < length) break;
            if (type == 0x51 && length == 3) {
                const std::uint8_t *p = track.Here();
                std::uint32_t value = (p[0] << 16) | (p[1] << 8) | p[2];
                if (value > 0) tempo.push_back({tick, value});
            }
            track.Skip(length);
            if (type == 0x2F) break;
        } else if (status == 0xF0 || status == 0xF7) {
            std::uint32_t length;
            if (!track.VarLength(length) || !track.Skip(length)) break;
        } else if (status >= 0xF8 || (status & 0xF0) == 0xF0) {
            // System common and real-time messages do not belong in files; stop reading.
            break;
        } else {
            running = status;
            if (!track.Skip(DataBytesOf(status))) break;
        }
    }
    return tick;
}

}  // namespace

std::optional<MidiTiming> ReadMidiTiming(const std::uint8_t *data, std::size_t size) {
    Reader file(data, size);
    std::uint32_t id, header_length, format, tracks, division;
    if (!file.BigEndian(4, id) || id != 0x4D546864) return std::nullopt;  // "MThd"
    if (!file.BigEndian(4, header_length) || header_length < 6) return std::nullopt;
    if (!file.BigEndian(2, format) || !file.BigEndian(2, tracks) || !file.BigEndian(2, division))
        return std::nullopt;
    if (format > 2 || tracks == 0 || division == 0) return std::nullopt;
    if (!file.Skip(header_length - 6)) return std::nullopt;

    MidiTiming timing;
    if (division & 0x8000) {
        int frames_per_second = -static_cast<std::int8_t>(division >> 8);
        int ticks_per_frame = division & 0xFF;
        if (frames_per_second <= 0 || ticks_per_frame == 0) return std::nullopt;
        timing.seconds_per_tick_smpte = 1.0 / (frames_per_second * ticks_per_frame);
    } else {
        timing.ticks_per_quarter = static_cast<int>(division);
    }
    std::uint32_t found = 0;
    while (found < tracks && !file.AtEnd()) {
        std::uint32_t chunk_id, length;
        if (!file.BigEndian(4, chunk_id) || !file.BigEndian(4, length)) break;
        std::size_t usable = std::min<std::size_t>(length, file.Left());
        if (chunk_id == 0x4D54726B) {  // "MTrk"
            std::int64_t end = ReadTrack(Reader(file.Here(), usable), timing.tempo);
            timing.total_ticks = std::max(timing.total_ticks, end);
            ++found;
        }
        file.Skip(usable);
    }
    if (found == 0) return std::nullopt;
    std::stable_sort(timing.tempo.begin(), timing.tempo.end(),
                     [](const TempoChange &a, const TempoChange &b) { return a.tick < b.tick; });
    return timing;
}

double MidiTicksToSeconds(const MidiTiming &timing, std::int64_t tick) {
    if (timing.seconds_per_tick_smpte > 0) return tick * timing.seconds_per_tick_smpte;
    double seconds = 0;
    std::int64_t at = 0;
    std::uint32_t tempo = kDefaultTempo;
    for (const TempoChange &change : timing.tempo) {
        if (change.tick >= tick) break;
        seconds += static_cast<double>(change.tick - at) * tempo / 1e6 / timing.ticks_per_quarter;
        at = change.tick;
        tempo = change.microseconds_per_quarter;
    }
    seconds += static_cast<double>(tick - at) * tempo / 1e6 / timing.ticks_per_quarter;
    return seconds;
}

std::int64_t MidiSecondsToTicks(const MidiTiming &timing, double seconds) {
    if (seconds <= 0) return 0;
    if (timing.seconds_per_tick_smpte > 0)
        return static_cast<std::int64_t>(seconds / timing.seconds_per_tick_smpte);
    double elapsed = 0;
    std::int64_t at = 0;
    std::uint32_t tempo = kDefaultTempo;
    for (const TempoChange &change : timing.tempo) {
        double span =
            static_cast<double>(change.tick - at) * tempo / 1e6 / timing.ticks_per_quarter;
        if (elapsed + span > seconds) break;
        elapsed += span;
        at = change.tick;
        tempo = change.microseconds_per_quarter;
    }
    return at +
           static_cast<std::int64_t>((seconds - elapsed) * 1e6 * timing.ticks_per_quarter / tempo);
}

}  // namespace engine
