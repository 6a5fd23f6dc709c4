// The frame table of an MP3 file (MPEG-1, 2 or 2.5 Layer III), found by reading only the
// frame headers, the tags at either end and the encoder's information frame. It gives the
// exact number of decoded samples, the samples the encoder added at both ends, and where
// every frame starts, so that a seek can start decoding on the right frame.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace engine {

// The MP3 decoder's output runs this many samples behind the encoder's input; the encoder
// delay in the LAME header does not include it.
constexpr int kMp3DecoderDelay = 529;

struct Mp3FrameTable {
    int sample_rate = 0;
    int samples_per_frame = 0;       // 1152 (MPEG-1) or 576
    std::uint32_t fixed_header = 0;  // the header bits every frame of the stream shares
    // File offset of every audio frame in order; the encoder's information frame is not one.
    std::vector<std::uint32_t> offsets;
    // From the LAME (or FFmpeg) header: samples of silence the encoder put before the audio
    // and after it. Without that header nothing is trimmed.
    bool gapless = false;
    int encoder_delay = 0;
    int encoder_padding = 0;
    // Frame count the Xing or VBRI header claims, -1 without one. Only informative: the
    // counted frames win.
    std::int64_t header_frames = -1;
    // The file ends inside a frame: its end, and the padding with it, are missing.
    bool cut_short = false;

    std::int64_t DecodedSamples() const {
        return static_cast<std::int64_t>(offsets.size()) * samples_per_frame;
    }
    // The decoded samples that are the audio: [FirstAudioSample, EndAudioSample).
    std::int64_t FirstAudioSample() const;
    std::int64_t EndAudioSample() const;
};

// Bytes of the frame whose header starts at `header` (four bytes readable), 0 when they are
// no Layer III header with a known bitrate.
int Mp3FrameBytes(const std::uint8_t *header);
// The header bits that stay the same through one stream: version, layer and sample rate.
constexpr std::uint32_t kMp3FixedHeaderMask = 0xFFFE0C00u;

// The table of an MP3 stream held in memory; nullopt when the bytes do not start (after
// ID3v2 or APE tags and a little junk) with a run of consistent Layer III frames.
std::optional<Mp3FrameTable> ScanMp3Frames(const std::uint8_t *data, std::size_t size);
// The same for an open regular file, mapped for the scan and unmapped afterwards.
std::optional<Mp3FrameTable> ScanMp3File(int fd);
std::optional<Mp3FrameTable> ScanMp3File(const std::string &path);
// The scan of an open file taken to be `size` bytes long, as it was when measured: nullopt,
// and no fault, when it has become shorter since.
std::optional<Mp3FrameTable> ScanMp3FileOfSize(int fd, std::uint64_t size);

}  // namespace engine
