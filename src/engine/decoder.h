// The decoder contract: a pull interface that turns one source (a file or a station address)
// into 44100 Hz stereo float frames. A decoder is opened on the user-interface thread and
// from then on used by its stream's decoder thread only; nothing in it is shared.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

namespace engine {

constexpr int kSampleRate = 44100;
constexpr int kChannels = 2;
// Byte positions count 16-bit stereo frames, whatever the decoder delivers.
constexpr std::int64_t kBytesPerFrame = 4;

// Lets a blocking library call give up. The stream sets `cancel` when it is freed; the
// deadline (steady clock, nanoseconds, 0 for none) bounds the opening of a station. Each
// connection to a station has a token of its own whose parent is the stream's: freeing the
// stream ends every connection, giving up on one connection ends only that one.
struct CancelToken {
    std::atomic<bool> cancel{false};            // atomic
    std::atomic<std::int64_t> deadline_ns{0};   // atomic
    std::shared_ptr<const CancelToken> parent;  // immutable after creation
    bool Expired() const;
};

class Decoder {
  public:
    virtual ~Decoder() = default;
    // Up to max_frames interleaved stereo frames into out; 0 at the end or on a fatal error.
    virtual int Read(float *out, int max_frames) = 0;
    // Moves to an output frame; false when the source cannot get there.
    virtual bool Seek(std::int64_t frame) = 0;
    virtual bool Seekable() const = 0;
    // Length in output frames, -1 when unknown (stations).
    virtual std::int64_t LengthFrames() const = 0;
    // Some containers only estimate their length at open; this improves the estimate a
    // piece at a time. Returns true once there is nothing more to improve.
    virtual bool RefineLengthStep() { return true; }
    // The latest metadata packet of a station as sent, empty when there is none.
    virtual std::string Metadata() { return {}; }
    // The name a station gives itself in its answer's headers (icy-name), as sent, bounded;
    // empty when it gives none.
    virtual std::string StationName() { return {}; }
    // True once Read has given all of a station that has an end of its own (a finished HLS
    // playlist): such a station ends there instead of being reached again.
    virtual bool Finished() const { return false; }
};

std::unique_ptr<Decoder> OpenFileDecoder(const std::string &path, CancelToken *token);
// An MP3 file decoded along the table of its frame headers: exact length and seeks. Null
// when the file is no MP3 stream that the header walk can map. The opening walks only the
// file's head; the decoder walks the rest as it is used (its length an estimate until then),
// giving up when the token is cancelled. Must: the token, when given, outlives the decoder.
std::unique_ptr<Decoder> OpenMp3FileDecoder(const std::string &path,
                                            const CancelToken *token = nullptr);
// One station address: connects, recognises the stream and decodes its first frame, within
// the token's deadline. error, when given, receives a BASS_ERROR_* code (BASS_OK on success).
std::unique_ptr<Decoder> OpenUrlDecoder(const std::string &url, CancelToken *token,
                                        int *error = nullptr);
// FFmpeg's log: nothing printed; the causes of failed connections are kept for
// OpenUrlDecoder. Called once, before any opening.
void KeepLibraryErrorsQuiet();
// A Standard MIDI File rendered by FluidSynth; null when no SoundFont or bad data.
std::unique_ptr<Decoder> OpenMidiDecoder(const std::string &path);

// True for a regular file starting with the Standard MIDI File signature, or the RIFF MIDI
// one (.rmi) that wraps such a file.
bool LooksLikeMidi(const std::string &path);

}  // namespace engine
