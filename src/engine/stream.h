// One stream: a decoder, the thread that runs it a few hundred milliseconds ahead into a
// ring buffer, and the play state the calls and the output share. A station's stream exists
// before its decoder: its thread ("volnar-radio") first connects (url_opener.h), and until
// sound arrives the stream reads as stalled; a station that cannot be opened ends, with the
// reason kept for the activity query. Once open, a station whose connection ends or stays
// silent for 5 s reconnects by itself for as long as the stream exists, reading as stalled
// meanwhile: at once after a connection that brought a while of sound, then backing off
// (1 s, 2 s, 4 s, up to 30 s) while every try fails or brings only a moment of sound; one
// that has failed so for 10 s says why.
//
// Threads: the user-interface thread calls everything public except MixInto and StartAfter;
// the output's audio thread (SDL callback or the silent clock) calls those two (StartAfter
// for a stream queued to follow another, BASS_ChannelQueueAfter); the stream's own decoder
// thread runs DecodeLoop. One lock, mutex_, guards the ring, the positions and the flags
// below it; every holder keeps it only to copy samples or flip flags, never while decoding
// or connecting, so the audio thread never waits on slow work. The output's lock is taken
// before mutex_ (the output calls MixInto with its own lock held), never after. The
// equaliser runs under mutex_ in MixInto, before the frames go to the spectrum's history (a
// few tens of microseconds a buffer, the audio thread's own work).
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "audio_engine.h"
#include "decoder.h"
#include "equalizer.h"
#include "fft_magnitudes.h"
#include "id3v1.h"
#include "ring_buffer.h"

namespace engine {

enum class PlayState { kStopped, kPlaying, kPaused };

class Stream {
  public:
    // A file (or any source already open).
    Stream(std::shared_ptr<CancelToken> token, std::unique_ptr<Decoder> decoder, bool is_url,
           std::optional<Id3v1Block> id3);
    // A station, connected to by the stream's own thread once started.
    Stream(std::shared_ptr<CancelToken> token, std::string url);
    ~Stream();  // stops and joins the decoder thread
    Stream(const Stream &) = delete;
    Stream &operator=(const Stream &) = delete;

    // User-interface thread.
    void Start();  // fills the first buffer and starts the decoder thread
    bool Play(bool restart);
    bool Pause();
    void SetVolume(float volume);
    // One of the BASS_ACTIVE_* values; reason receives why a station does not play (a
    // BASS_ERROR_* code), BASS_OK while it plays or is still connecting.
    DWORD CurrentActivity(int *reason = nullptr);
    bool Seek(std::int64_t frame);
    std::int64_t LengthFrames() const;
    std::int64_t PositionFrames(std::int64_t latency_frames);
    // The kFftSize mono samples last heard (latency_frames ago); false when nothing plays.
    bool CopyHeard(float *mono, std::int64_t latency_frames);
    const Id3v1Block *Id3() const { return id3_ ? &*id3_ : nullptr; }
    // The latest metadata text of a station; null before the first block and for files. The
    // text stays valid until the next call and is followed by zero bytes, so a reader that
    // skips a fixed prefix never runs off the end.
    const char *Metadata();
    // The station's own headers the player may show ("icy-name:..."), each text ended by a
    // zero byte and the list by another; null before the station named itself. Valid until
    // the next call. Only called on the user-interface thread.
    const char *IcyHeaders();
    bool IsUrl() const { return is_url_; }
    // Steady-clock nanoseconds when the audio thread first took frames after Play, 0 before.
    std::int64_t FirstFrameNs() const { return first_frame_ns_.load(); }

    // True once everything decoded was handed out (with mutex_ taken here).
    bool Ended();
    // Not played since it was created (or since a seek after its end).
    bool Stopped() const { return play_state_ == PlayState::kStopped; }

    // Audio thread: adds up to `frames` playing frames, through the equaliser and scaled by
    // the volume, into out, and returns how many it added. ended: the stream has ended, in
    // this call or before. scratch holds at least frames * 2 floats.
    int MixInto(float *out, float *scratch, int frames, const EqSettings &equalizer, bool *ended);
    // Audio thread: starts a stream queued after `before`, which has just ended, at the
    // volume `before` plays at and with its equaliser's memory, so the filters carry on
    // across the join; false (nothing changed) when it was played meanwhile.
    bool StartAfter(const Stream &before);

  private:
    void DecodeLoop();
    // Radio thread: the first connection of a station; false when it cannot be opened.
    bool ConnectStation();
    // Radio thread: one connection within the opening bound, or null with error set.
    std::unique_ptr<Decoder> OpenConnection(std::shared_ptr<CancelToken> &connection, int *error);
    // Radio thread: drops the connection and connects again until it succeeds (true) or
    // the stream is freed (false). lost: the connection ended by itself (not a stale pause).
    bool Reconnect(std::unique_lock<std::mutex> &lock, bool lost);
    // With mutex_ held: one more failed or short-lived connection.
    void NoteFailure();
    // With mutex_ held: the station has been failing for the report's time.
    bool FailingLong() const;
    void SeekLocked(std::int64_t frame, std::unique_lock<std::mutex> &lock);
    void AppendHistory(const float *frames, int count, std::unique_lock<std::mutex> &lock);

    std::shared_ptr<CancelToken> token_;             // immutable after open
    const std::string url_;                          // immutable after open; stations only
    std::shared_ptr<CancelToken> connection_token_;  // decoder thread only; outlives decoder_
    std::unique_ptr<Decoder> decoder_;               // decoder thread only, once started
    const bool is_url_;                              // immutable after open
    const std::optional<Id3v1Block> id3_;            // immutable after open
    const std::size_t resume_frames_;                // immutable after open

    // Both written by the UI thread, and by the audio thread in StartAfter (under mutex_).
    std::atomic<PlayState> play_state_{PlayState::kStopped};  // atomic
    std::atomic<float> volume_{1.0f};                         // atomic
    // atomic; refined by the decoder thread, and set to where the sound ends once it is met
    std::atomic<std::int64_t> length_frames_;
    std::atomic<std::int64_t> first_frame_ns_{0};  // atomic
    float applied_volume_ = 1.0f;                  // audio thread only
    EqState equalizer_;                            // audio thread only

    std::mutex mutex_;
    std::condition_variable wake_decoder_;
    RingBuffer ring_;                  // guarded by mutex_
    std::uint64_t serial_ = 0;         // guarded by mutex_; bumped by every seek
    std::int64_t pending_seek_ = -1;   // guarded by mutex_
    std::int64_t played_frames_ = 0;   // guarded by mutex_; source frame after the last handed out
    std::int64_t position_floor_ = 0;  // guarded by mutex_; the last seek target
    std::int64_t decoded_to_ = 0;      // guarded by mutex_; source frame after the last decoded
    bool decoded_since_seek_ = false;  // guarded by mutex_; frames came after the last seek
    bool eof_ = false;                 // guarded by mutex_; the decoder has nothing more
    bool ended_ = false;               // guarded by mutex_; everything decoded was handed out
    bool stalled_ = false;             // guarded by mutex_; playing but the ring ran dry
    int failure_ = 0;                  // guarded by mutex_; BASS_ERROR_* why a station ended
                                       // or why its latest reconnection failed
    std::int64_t stalled_since_ns_ = 0;   // guarded by mutex_; when the ring last ran dry
    int failures_in_row_ = 0;             // guarded by mutex_; failed or short connections
    std::int64_t failing_since_ns_ = 0;   // guarded by mutex_; the first of them, 0: none
    std::int64_t connection_frames_ = 0;  // guarded by mutex_; decoded from this connection
    std::int64_t paused_at_ns_ = 0;       // guarded by mutex_
    bool reconnect_ = false;              // guarded by mutex_; a resumed station starts afresh
    bool quit_ = false;                   // guarded by mutex_
    std::string metadata_;                // guarded by mutex_
    std::string station_name_;            // guarded by mutex_
    std::uint64_t history_written_ = 0;   // guarded by mutex_
    float history_[8192] = {};            // guarded by mutex_; mono, circular

    std::string metadata_returned_;  // user-interface thread only
    std::string icy_returned_;       // user-interface thread only
    std::thread thread_;
};

}  // namespace engine
