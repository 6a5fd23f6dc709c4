// Standard MIDI Files put together byte by byte, so each test writes exactly the oddity it
// is about: a track is a list of events, each a delta time and the bytes that follow it.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

namespace midibytes {

using Bytes = std::vector<std::uint8_t>;

inline void Append(Bytes &out, const Bytes &more) {
    out.insert(out.end(), more.begin(), more.end());
}

inline Bytes VarLength(std::uint32_t value) {
    Bytes out{static_cast<std::uint8_t>(value & 0x7F)};
    while (value >>= 7)
        out.insert(out.begin(), static_cast<std::uint8_t>(0x80 | (value & 0x7F)));
    return out;
}

inline Bytes BigEndian(std::uint32_t value, int bytes) {
    Bytes out;
    for (int shift = (bytes - 1) * 8; shift >= 0; shift -= 8)
        out.push_back(static_cast<std::uint8_t>(value >> shift));
    return out;
}

class Track {
  public:
    // One event: the delta time, then the bytes as given (a status may be left out).
    Track &At(std::uint32_t delta, std::initializer_list<int> bytes) {
        Append(bytes_, VarLength(delta));
        for (int b : bytes)
            bytes_.push_back(static_cast<std::uint8_t>(b));
        return *this;
    }
    Track &Tempo(std::uint32_t delta, std::uint32_t microseconds_per_quarter) {
        At(delta, {0xFF, 0x51, 0x03});
        Append(bytes_, BigEndian(microseconds_per_quarter, 3));
        return *this;
    }
    Track &End(std::uint32_t delta = 0) { return At(delta, {0xFF, 0x2F, 0x00}); }
    const Bytes &bytes() const { return bytes_; }

  private:
    Bytes bytes_;
};

inline Bytes Chunk(const std::string &id, const Bytes &body) {
    Bytes out(id.begin(), id.end());
    Append(out, BigEndian(static_cast<std::uint32_t>(body.size()), 4));
    Append(out, body);
    return out;
}

inline Bytes Header(int format, int tracks, int division) {
    Bytes body = BigEndian(format, 2);
    Append(body, BigEndian(tracks, 2));
    Append(body, BigEndian(division, 2));
    return Chunk("MThd", body);
}

inline Bytes File(int format, int division, const std::vector<Track> &tracks) {
    Bytes out = Header(format, static_cast<int>(tracks.size()), division);
    for (const Track &track : tracks)
        Append(out, Chunk("MTrk", track.bytes()));
    return out;
}

}  // namespace midibytes
