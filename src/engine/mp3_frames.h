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
    // counted frames win, once they are counted (Mp3Walk::ExpectedFrames).
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

// A walk of a file's frames that stops and goes on later: a bounded head of the file when
// it is opened, the rest a step at a time on the stream's own decoder thread, so that
// opening a file of any size reads no more than its head on the window's thread. The walk
// belongs to one thread at a time (its decoder's); nothing in it is shared.
struct Mp3Walk {
    Mp3FrameTable table;          // the frames found so far
    std::uint64_t file_size = 0;  // the file's size when the walk began
    std::size_t first_frame =
        0;                      // offset of the stream's first frame (maybe the information frame)
    std::size_t audio_end = 0;  // where the tags after the audio begin
    std::size_t at = 0;         // where the walk goes on
    bool done = false;          // the table is the whole stream's (or as much as is left of it)

    // The stream's frames as far as they can be told before the walk is done: the counted
    // ones when it is, else the information frame's count when the bytes left can hold it,
    // else the frames found so far and as many more as their average size fits in the rest.
    std::int64_t ExpectedFrames() const;
};

// What the opening of a file may walk: always `sure_bytes` of frames (and at least
// kMp3FramesBeforePause frames), then on until `max_bytes` or until `deadline_ns` (steady
// clock) has passed, whichever comes first.
struct Mp3WalkBounds {
    std::size_t sure_bytes = 0;
    std::size_t max_bytes = 0;
    std::int64_t deadline_ns = 0;
};
// An opening's walk pauses only with this many frames in its table (or at its byte bound):
// the first decoded chunk and the frames whose padding may trim it are then known.
constexpr std::size_t kMp3FramesBeforePause = 64;

// The walk's first part, of an open regular file taken to be `size` bytes long: the tags,
// the first frame, then frames within `bounds`. nullopt when the bytes are no MP3 stream or
// the file has become shorter than `size` (no fault). An opening whose byte bound comes
// with fewer than kMp3FramesBeforePause frames takes the stream to end there.
std::optional<Mp3Walk> BeginMp3Walk(int fd, std::uint64_t size, const Mp3WalkBounds &bounds);
// Walks on about `max_bytes` of the file. Must: fd is the file the walk began on. A file
// found shorter than when the walk began keeps the frames that lie wholly within what is
// left, and the walk goes on to its new end (cut_short: no padding trimmed); one that can no
// longer be mapped or measured ends the walk with the frames found.
void ContinueMp3Walk(int fd, Mp3Walk *walk, std::size_t max_bytes);

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
