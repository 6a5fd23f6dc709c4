// See stream.h for which thread calls what and what mutex_ guards.
#include "stream.h"

#include <pthread.h>

#include <algorithm>
#include <chrono>
#include <vector>

#include "steady_clock.h"
#include "time_bounds.h"
#include "url_opener.h"

namespace engine {
namespace {

constexpr int kChunkFrames = 4096;
// How far the decoder runs ahead: a file decodes fast and only needs to cover scheduling
// hiccups; a station must ride out network jitter. Each refill of a file's ring costs the
// decoder thread a wake-up besides the decoding; refilled from half empty, this ring wakes
// it about every 0.7 s.
constexpr std::size_t kFileRingFrames = 16 * kChunkFrames;  // about 1.5 s, 512 KiB
constexpr std::size_t kUrlRingFrames = 2 * kSampleRate;
// After running dry a station waits for this much before it plays on.
constexpr std::size_t kUrlResumeFrames = kSampleRate / 2;
constexpr std::size_t kHistoryFrames = 8192;
constexpr std::int64_t kMaxLatencyFrames = kHistoryFrames - kFftSize;
// Zero bytes after the returned metadata text (see Metadata()).
constexpr std::size_t kMetadataPadding = 64;
// Opening a station: FFmpeg gives up at the first time; the radio thread stops waiting at
// the second, when a host name lookup (which nothing can interrupt) holds the opening up.
// Both stay under 5 s. These bounds are scaled by the tests (time_bounds.h).
constexpr std::int64_t kStationOpenTimeoutNs = 4'500'000'000;
constexpr std::chrono::milliseconds kStationOpenLimit{4800};
// Between two tries to reach a station that was lost: none after a connection that brought
// kHealthyConnectionFrames of sound, then this, doubled after every further failure up to
// the longest. A server that answers with a moment of sound and hangs up, or answers 503,
// is tried a few times a minute, not several times a second.
constexpr std::chrono::milliseconds kReconnectInterval{1000};
constexpr std::chrono::milliseconds kLongestReconnectInterval{30000};
constexpr std::int64_t kHealthyConnectionFrames = 2 * kSampleRate;
// A station stalled this long says why (the activity query's reason).
constexpr std::int64_t kStallReportNs = 10'000'000'000;
// A station paused longer than this resumes with a new connection: what was buffered is that
// old, and a server that was not read from for so long may well have dropped it.
constexpr std::int64_t kStalePauseNs = 5'000'000'000;

}  // namespace

Stream::Stream(std::shared_ptr<CancelToken> token, std::unique_ptr<Decoder> decoder, bool is_url,
               std::optional<Id3v1Block> id3)
    : token_(std::move(token)),
      decoder_(std::move(decoder)),
      is_url_(is_url),
      id3_(id3),
      resume_frames_(is_url ? kUrlResumeFrames : kChunkFrames),
      length_frames_(decoder_->LengthFrames()),
      ring_(is_url ? kUrlRingFrames : kFileRingFrames) {}

Stream::Stream(std::shared_ptr<CancelToken> token, std::string url)
    : token_(std::move(token)),
      url_(std::move(url)),
      is_url_(true),
      resume_frames_(kUrlResumeFrames),
      length_frames_(-1),
      ring_(kUrlRingFrames),
      stalled_(true) {}

Stream::~Stream() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        quit_ = true;
    }
    token_->cancel = true;  // breaks a blocking network read
    wake_decoder_.notify_all();
    if (thread_.joinable()) thread_.join();
}

void Stream::Start() {
    // The first chunk is decoded here so that Play has something to hand to the device at
    // once; a station's first frames came with its opening.
    if (!is_url_) {
        std::vector<float> chunk(kChunkFrames * 2);
        int count = decoder_->Read(chunk.data(), kChunkFrames);
        std::lock_guard<std::mutex> lock(mutex_);
        ring_.Write(chunk.data(), count);
        decoded_to_ = count;
        decoded_since_seek_ = count > 0;
        if (count == 0) eof_ = true;
    }
    thread_ = std::thread([this] { DecodeLoop(); });
}

std::unique_ptr<Decoder> Stream::OpenConnection(std::shared_ptr<CancelToken> &connection,
                                                int *error) {
    connection = std::make_shared<CancelToken>();
    connection->parent = token_;
    connection->deadline_ns =
        NowNs() + Scaled(std::chrono::nanoseconds(kStationOpenTimeoutNs)).count();
    *error = BASS_ERROR_TIMEOUT;
    std::unique_ptr<Decoder> decoder =
        OpenUrlWithin(url_, connection, ScaledMs(kStationOpenLimit), error);
    if (decoder) connection->deadline_ns = 0;  // from here on only a free interrupts it
    return decoder;
}

void Stream::NoteFailure() {
    if (failures_in_row_++ == 0) failing_since_ns_ = NowNs();
}

bool Stream::FailingLong() const {
    // A connection of now that brings sound ends the failures, though they are forgotten only
    // at the next reconnection.
    if (failing_since_ns_ == 0 || connection_frames_ >= kHealthyConnectionFrames) return false;
    return NowNs() - failing_since_ns_ >= Scaled(std::chrono::nanoseconds(kStallReportNs)).count();
}

bool Stream::Reconnect(std::unique_lock<std::mutex> &lock, bool lost) {
    if (lost && connection_frames_ >= kHealthyConnectionFrames) {
        failures_in_row_ = 0;
        failing_since_ns_ = 0;
    } else if (lost) {
        NoteFailure();
    }
    connection_frames_ = 0;
    lock.unlock();
    decoder_.reset();  // the old connection closes first
    connection_token_.reset();
    lock.lock();
    while (!quit_) {
        if (failures_in_row_ > 0) {
            const int doublings = std::min(failures_in_row_ - 1, 5);
            const auto wait = std::min(kReconnectInterval * (1 << doublings),
                                       std::chrono::milliseconds(kLongestReconnectInterval));
            if (wake_decoder_.wait_for(lock, ScaledMs(wait), [&] { return quit_; })) break;
        }
        lock.unlock();
        std::shared_ptr<CancelToken> connection;
        int error = BASS_ERROR_TIMEOUT;
        std::unique_ptr<Decoder> decoder = OpenConnection(connection, &error);
        lock.lock();
        if (decoder) {
            connection_token_ = std::move(connection);
            decoder_ = std::move(decoder);
            failure_ = BASS_OK;
            reconnect_ = false;
            return true;
        }
        failure_ = error;
        NoteFailure();
    }
    return false;
}

bool Stream::ConnectStation() {
    std::shared_ptr<CancelToken> connection;
    int error = BASS_ERROR_TIMEOUT;
    std::unique_ptr<Decoder> decoder = OpenConnection(connection, &error);
    std::lock_guard<std::mutex> lock(mutex_);
    if (!decoder) {
        // Counts as a station that failed to open: nothing was heard, nothing will be.
        failure_ = error;
        eof_ = true;
        ended_ = true;
        stalled_ = false;
        return false;
    }
    connection_token_ = std::move(connection);
    decoder_ = std::move(decoder);
    return true;
}

void Stream::DecodeLoop() {
    pthread_setname_np(pthread_self(), is_url_ ? "volnar-radio" : "volnar-decode");
    if (!decoder_ && !ConnectStation()) return;
    std::vector<float> chunk(kChunkFrames * 2);
    bool length_final = is_url_;
    std::unique_lock<std::mutex> lock(mutex_);
    while (!quit_) {
        if (reconnect_) {
            reconnect_ = false;
            if (!Reconnect(lock, false)) break;
            continue;
        }
        if (pending_seek_ >= 0) {
            std::int64_t target = pending_seek_;
            std::uint64_t serial = serial_;
            pending_seek_ = -1;
            lock.unlock();
            bool landed = decoder_->Seek(target);
            lock.lock();
            if (serial == serial_ && !landed) eof_ = true;
            continue;
        }
        if (eof_ || ring_.Space() < kChunkFrames) {
            if (!length_final) {
                // Idle time: count the real length of a file whose container only guessed it.
                lock.unlock();
                length_final = decoder_->RefineLengthStep();
                const std::int64_t refined = decoder_->LengthFrames();
                lock.lock();
                length_frames_ = std::max(refined, decoded_to_);
                continue;
            }
            wake_decoder_.wait(lock);
            continue;
        }
        std::uint64_t serial = serial_;
        lock.unlock();
        int count = decoder_->Read(chunk.data(), kChunkFrames);
        std::string metadata = is_url_ ? decoder_->Metadata() : std::string();
        std::string name = is_url_ ? decoder_->StationName() : std::string();
        lock.lock();
        if (!metadata.empty() && metadata != metadata_) metadata_ = std::move(metadata);
        if (!name.empty() && name != station_name_) station_name_ = std::move(name);
        if (serial != serial_) continue;  // a seek came in meanwhile: these frames are stale
        if (count > 0) {
            ring_.Write(chunk.data(), static_cast<std::size_t>(count));
            connection_frames_ += count;
            // A header that said less than there is: the length grows with what is decoded,
            // so the position never runs past it.
            decoded_to_ += count;
            decoded_since_seek_ = true;
            if (!is_url_ && decoded_to_ > length_frames_) length_frames_ = decoded_to_;
        } else if (is_url_ && !decoder_->Finished()) {
            // Dropped, ended or silent for 5 s: the station is reached again. The ring plays
            // out what it holds, then the stream stalls until sound comes back.
            if (!Reconnect(lock, true)) break;
        } else {
            eof_ = true;
            // The end of the sound is the length, whatever a header claimed: what is shown
            // and published is what plays. (Met about a ring's length before it is heard.)
            // After a seek that found nothing, the end lies somewhere before its target.
            if (!is_url_ && decoded_since_seek_) {
                length_frames_ = decoded_to_;
                length_final = true;
            } else if (!is_url_ && decoded_to_ < length_frames_) {
                length_frames_ = decoded_to_;
            }
        }
    }
}

bool Stream::Play(bool restart) {
    std::unique_lock<std::mutex> lock(mutex_);
    if (ended_ || restart) {
        // An ended file plays again from its start; an ended station has nothing left.
        if (is_url_) {
            if (ended_) return false;
        } else {
            SeekLocked(0, lock);
        }
    }
    if (is_url_ && play_state_ == PlayState::kPaused &&
        NowNs() - paused_at_ns_ > Scaled(std::chrono::nanoseconds(kStalePauseNs)).count()) {
        // Live sound from a new connection, not what was buffered before the pause.
        ++serial_;
        ring_.Clear();
        stalled_ = true;
        reconnect_ = true;
        history_written_ = 0;
        std::fill(std::begin(history_), std::end(history_), 0.0f);
        wake_decoder_.notify_one();
    }
    if (play_state_ != PlayState::kPlaying) {
        first_frame_ns_ = 0;
        stalled_since_ns_ = 0;
    }
    play_state_ = PlayState::kPlaying;
    return true;
}

bool Stream::Pause() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (play_state_ != PlayState::kPlaying || ended_) return false;
    play_state_ = PlayState::kPaused;
    paused_at_ns_ = NowNs();
    return true;
}

void Stream::SetVolume(float volume) {
    volume_ = std::clamp(volume, 0.0f, 1.0f);
}

DWORD Stream::CurrentActivity(int *reason) {
    std::lock_guard<std::mutex> lock(mutex_);
    PlayState state = play_state_;
    if (reason) *reason = ended_ ? failure_ : BASS_OK;
    if (state == PlayState::kStopped || ended_) return BASS_ACTIVE_STOPPED;
    if (state == PlayState::kPaused) return BASS_ACTIVE_PAUSED;
    // A station that keeps failing reads as stalled and says why, whatever crumbs of sound
    // its short connections bring.
    if (is_url_ && FailingLong()) {
        if (reason) *reason = failure_ != BASS_OK ? failure_ : BASS_ERROR_TIMEOUT;
        return BASS_ACTIVE_STALLED;
    }
    if (!stalled_) return BASS_ACTIVE_PLAYING;
    // A station without sound for long says why: the latest failed connection, or none.
    if (reason && is_url_ && stalled_since_ns_ != 0 &&
        NowNs() - stalled_since_ns_ >= Scaled(std::chrono::nanoseconds(kStallReportNs)).count())
        *reason = failure_ != BASS_OK ? failure_ : BASS_ERROR_TIMEOUT;
    return BASS_ACTIVE_STALLED;
}

bool Stream::Seek(std::int64_t frame) {
    if (is_url_ || frame < 0) return false;
    std::int64_t length = length_frames_;
    if (length >= 0 && frame > length) return false;
    std::unique_lock<std::mutex> lock(mutex_);
    SeekLocked(frame, lock);
    return true;
}

void Stream::SeekLocked(std::int64_t frame, std::unique_lock<std::mutex> &) {
    ++serial_;
    ring_.Clear();
    pending_seek_ = frame;
    played_frames_ = frame;
    decoded_to_ = frame;
    decoded_since_seek_ = false;
    position_floor_ = frame;
    eof_ = false;
    if (ended_) {
        // Like the end of a track, a seek after it leaves the stream stopped until Play.
        ended_ = false;
        if (play_state_ == PlayState::kPlaying) play_state_ = PlayState::kStopped;
    }
    stalled_ = false;
    history_written_ = 0;
    std::fill(std::begin(history_), std::end(history_), 0.0f);
    wake_decoder_.notify_one();
}

std::int64_t Stream::LengthFrames() const {
    return is_url_ ? -1 : length_frames_.load();
}

std::int64_t Stream::PositionFrames(std::int64_t latency_frames) {
    std::lock_guard<std::mutex> lock(mutex_);
    const std::int64_t position =
        ended_ ? played_frames_ : std::max(position_floor_, played_frames_ - latency_frames);
    const std::int64_t length = is_url_ ? -1 : length_frames_.load();
    return length >= 0 ? std::min(position, length) : position;
}

bool Stream::CopyHeard(float *mono, std::int64_t latency_frames) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (play_state_ != PlayState::kPlaying || ended_ || stalled_) return false;
    latency_frames = std::clamp<std::int64_t>(latency_frames, 0, kMaxLatencyFrames);
    const std::int64_t start =
        static_cast<std::int64_t>(history_written_) - latency_frames - kFftSize;
    // Zeros before the first frame, then at most two runs of the circular history.
    int i = 0;
    for (; i < kFftSize && start + i < 0; ++i)
        mono[i] = 0.0f;
    while (i < kFftSize) {
        const auto at = static_cast<std::size_t>(start + i) % kHistoryFrames;
        const int run = static_cast<int>(
            std::min<std::size_t>(static_cast<std::size_t>(kFftSize - i), kHistoryFrames - at));
        std::copy_n(history_ + at, run, mono + i);
        i += run;
    }
    return true;
}

const char *Stream::Metadata() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (metadata_.empty()) return nullptr;
        metadata_returned_ = metadata_;
    }
    metadata_returned_.append(kMetadataPadding, '\0');
    return metadata_returned_.c_str();
}

const char *Stream::IcyHeaders() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (station_name_.empty()) return nullptr;
        icy_returned_ = "icy-name:" + station_name_;
    }
    // A list of texts, each ended by a zero byte, the list by a second one.
    icy_returned_.append(2, '\0');
    return icy_returned_.c_str();
}

void Stream::AppendHistory(const float *frames, int count, std::unique_lock<std::mutex> &) {
    for (int i = 0; i < count; ++i) {
        history_[history_written_ % kHistoryFrames] = 0.5f * (frames[i * 2] + frames[i * 2 + 1]);
        ++history_written_;
    }
}

bool Stream::Ended() {
    std::lock_guard<std::mutex> lock(mutex_);
    return ended_;
}

bool Stream::StartAfter(const Stream &before) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (play_state_ != PlayState::kStopped) return false;
    first_frame_ns_ = 0;
    stalled_since_ns_ = 0;
    // The volume goes on from where the ramp of `before` stands, so the join cannot click.
    volume_ = before.volume_.load(std::memory_order_relaxed);
    applied_volume_ = before.applied_volume_;
    equalizer_ = before.equalizer_;
    play_state_ = PlayState::kPlaying;
    return true;
}

int Stream::MixInto(float *out, float *scratch, int frames, const EqSettings &equalizer,
                    bool *ended) {
    *ended = false;
    if (play_state_ != PlayState::kPlaying) return 0;
    int count = 0;
    bool wake = false;
    {
        std::unique_lock<std::mutex> lock(mutex_);
        if (ended_) {
            *ended = true;
            return 0;
        }
        if (stalled_ && !eof_ && ring_.Size() < std::min(resume_frames_, ring_.Capacity() / 2)) {
            if (stalled_since_ns_ == 0) stalled_since_ns_ = NowNs();
            return 0;
        }
        stalled_ = false;
        stalled_since_ns_ = 0;
        count = static_cast<int>(ring_.Read(scratch, static_cast<std::size_t>(frames)));
        played_frames_ += count;
        // Before the history: the spectrum shows what is heard.
        RunEqualizer(equalizer_, equalizer, scratch, count);
        AppendHistory(scratch, count, lock);
        if (count < frames) {
            if (eof_ && ring_.Size() == 0) {
                ended_ = true;
                *ended = true;
            } else {
                stalled_ = true;
                stalled_since_ns_ = NowNs();
            }
        }
        // Only once half the ring is free: the decoder then fills it again in one run of
        // several chunks instead of waking for each one, and half the ring still holds
        // more than a scheduling hiccup needs (0.7 s of a file, a second of a station).
        wake = !eof_ && ring_.Space() >= std::max<std::size_t>(kChunkFrames, ring_.Capacity() / 2);
    }
    if (wake) wake_decoder_.notify_one();
    if (count > 0 && first_frame_ns_.load(std::memory_order_relaxed) == 0)
        first_frame_ns_ = NowNs();
    // The volume moves to its new value over one buffer, so a change never clicks.
    float from = applied_volume_;
    float to = volume_.load(std::memory_order_relaxed);
    float step = frames > 0 ? (to - from) / frames : 0.0f;
    for (int i = 0; i < count; ++i) {
        float gain = from + step * (i + 1);
        out[i * 2] += scratch[i * 2] * gain;
        out[i * 2 + 1] += scratch[i * 2 + 1] * gain;
    }
    applied_volume_ = to;
    return count;
}

}  // namespace engine
