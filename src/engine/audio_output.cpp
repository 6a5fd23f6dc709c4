// See audio_output.h for the threads and the lock.
#include "audio_output.h"

#include <pthread.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>

#include "audio_engine.h"
#include "decoder.h"
#include "stream.h"
#include "time_bounds.h"

namespace engine {
namespace {

// 2048 frames: a callback about every 46 ms. A wake-up of the audio thread costs more than
// the mixing it does: at 1024 frames the thread used 0.22 % of a core while an MP3 played,
// at 2048 0.13 %. 46 ms is still below what a listener notices between a click and the
// sound stopping or starting. SDL rounds buffers to powers of two.
constexpr int kDeviceFrames = 2048;
constexpr int kClockFrames = 441;  // the clock ticks every 10 ms
// SDL tells the watcher of a lost device at once; it also looks at an open device this often,
// should that word ever not come.
constexpr auto kWatchPeriod = std::chrono::seconds(2);
// A device left without streams closes only after this long. Closing waits for SDL's thread
// to let what it handed over play out (two buffers, about 0.1 s), which the user-interface
// thread would otherwise wait through at every change of track; and the next track's stream
// finds the device still open.
constexpr auto kCloseDelay = std::chrono::seconds(1);

// The device of the process, for the exit handler.
std::atomic<SDL_AudioDeviceID> open_device{0};

// The player ends with exit() while a stream may play. Pausing the device waits for a
// running callback to finish and keeps further callbacks from running while the process's
// libraries are torn down; the engine's own objects are never destroyed (audio_engine.cpp).
void SilenceDeviceAtExit() {
    SDL_AudioDeviceID device = open_device.load();
    if (device != 0) SDL_PauseAudioDevice(device, 1);
}

}  // namespace

void AudioOutput::Open(bool use_device) {
    use_device_ = use_device;
    scratch_.assign(kDeviceFrames * 2 * 4, 0.0f);
    silent_.assign(kClockFrames * 2, 0.0f);
    // The player handles no signals; SDL's own handlers would swallow a SIGTERM.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    std::atexit(SilenceDeviceAtExit);
}

bool AudioOutput::OpenDevice() {
    if (!use_device_) return false;
    if (!sdl_ready_) {
        if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return false;
        // SDL's events only to hear of lost devices; the filter keeps none in its queue.
        // Without them the watcher's slow look still finds a lost device.
        SDL_InitSubSystem(SDL_INIT_EVENTS);
        SDL_SetEventFilter(DeviceEventFilter, this);
        sdl_ready_ = true;
    }
    SDL_AudioSpec want{};
    want.freq = kSampleRate;
    want.format = AUDIO_F32SYS;
    want.channels = kChannels;
    want.samples = kDeviceFrames;
    want.callback = SdlCallback;
    want.userdata = this;
    SDL_AudioSpec have{};
    // No changes allowed: SDL converts to whatever the device wants.
    device_ = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
    if (device_ == 0) return false;
    latency_frames_ = have.samples;
    if (!watcher_.joinable()) watcher_ = std::thread([this] { RunWatcher(); });
    SetWatching(true);
    {
        // The device's thread has not started, but a clock of an earlier period may still
        // be finishing a mix.
        std::lock_guard<std::mutex> lock(mutex_);
        scratch_.assign(static_cast<std::size_t>(have.samples) * 2, 0.0f);
    }
    open_device = device_;
    SDL_PauseAudioDevice(device_, 0);
    return true;
}

void AudioOutput::CloseDevice() {
    if (device_ == 0) return;
    open_device = 0;
    SDL_CloseAudioDevice(device_);  // waits for a running callback
    device_ = 0;
    SetWatching(false);
}

void AudioOutput::SetWatching(bool watching) {
    {
        std::lock_guard<std::mutex> lock(watch_mutex_);
        watch_.watching = watching;
        watch_.close_wanted = false;
    }
    watcher_wake_.notify_one();
}

void AudioOutput::StartClock() {
    latency_frames_ = 0;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        clock_mode_ = true;
    }
    if (!clock_.joinable()) clock_ = std::thread([this] { RunClock(); });
    clock_wake_.notify_one();
}

void AudioOutput::Start() {
    if (device_ != 0) {
        // Still open from the last stream: it stays.
        std::lock_guard<std::mutex> lock(watch_mutex_);
        watch_.close_wanted = false;
        return;
    }
    if (OpenDevice()) return;
    StartClock();
}

void AudioOutput::Attach(Stream *stream) {
    std::lock_guard<std::mutex> device_lock(device_mutex_);
    bool first;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        first = streams_.empty();
        streams_.push_back(stream);
    }
    if (first) Start();
}

void AudioOutput::Detach(Stream *stream) {
    std::lock_guard<std::mutex> device_lock(device_mutex_);
    bool idle;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        streams_.erase(std::remove(streams_.begin(), streams_.end(), stream), streams_.end());
        std::erase_if(queue_, [stream](const Join &join) {
            return join.current == stream || join.next == stream;
        });
        idle = streams_.empty();
        if (idle) clock_mode_ = false;
    }
    if (idle && device_ != 0) {
        {
            std::lock_guard<std::mutex> lock(watch_mutex_);
            watch_.close_wanted = true;
        }
        watcher_wake_.notify_one();
    }
}

int AudioOutput::Queue(Stream *current, Stream *next) {
    std::lock_guard<std::mutex> lock(mutex_);
    // Checked under mutex_: no mix can end current between the look and the queueing.
    if (current->Ended()) return BASS_ERROR_ENDED;
    if (next && !next->Stopped()) return BASS_ERROR_ILLPARAM;
    // No loop: current must not follow, however indirectly, the stream it is to lead to.
    for (Stream *leader = current; next;) {
        auto join = std::find_if(queue_.begin(), queue_.end(),
                                 [leader](const Join &j) { return j.next == leader; });
        if (join == queue_.end()) break;
        leader = join->current;
        if (leader == next) return BASS_ERROR_ILLPARAM;
    }
    std::erase_if(queue_, [current, next](const Join &join) {
        return join.current == current || (next && join.next == next);
    });
    if (next) {
        queue_.push_back({current, next});
        started_.reserve(queue_.size() + 1);
    }
    return BASS_OK;
}

void AudioOutput::SetEqualizer(const EqSettings &settings) {
    std::lock_guard<std::mutex> lock(mutex_);
    const std::uint64_t generation = equalizer_.generation + 1;
    equalizer_ = settings;
    equalizer_.generation = generation;
}

void AudioOutput::StartCapture(std::size_t frames) {
    std::vector<float> buffer;
    buffer.reserve(frames * kChannels);
    std::lock_guard<std::mutex> lock(mutex_);
    capture_ = std::move(buffer);
    capture_frames_ = frames;
}

std::vector<float> AudioOutput::TakeCapture() {
    std::lock_guard<std::mutex> lock(mutex_);
    capture_frames_ = 0;
    return std::move(capture_);
}

// SDL marks a device that went away as stopped (and posts its device-removed event): the
// callback is no longer called, so the streams would stand still. The default device takes
// its place, where the streams go on from where they were; with no device at all the silent
// clock keeps their time, and the next first stream tries a device again (Start).
void AudioOutput::RunWatcher() {
    pthread_setname_np(pthread_self(), "volnar-device");
    for (;;) {
        bool close_due = false;
        {
            std::unique_lock<std::mutex> lock(watch_mutex_);
            // No device: asleep until one opens. An open one: until SDL says it was lost,
            // or its last stream went.
            watcher_wake_.wait(lock, [this] { return watch_.watching; });
            watcher_wake_.wait_for(lock, Scaled(kWatchPeriod), [this] {
                return watch_.lost || !watch_.watching || watch_.close_wanted;
            });
            if (watch_.close_wanted && !watch_.lost) {
                close_due = !watcher_wake_.wait_for(lock, Scaled(kCloseDelay), [this] {
                    return watch_.lost || !watch_.watching || !watch_.close_wanted;
                });
            }
            watch_.lost = false;
        }
        std::lock_guard<std::mutex> device_lock(device_mutex_);
        if (close_due) {
            // A stream attached meanwhile takes the device (Start), under device_mutex_.
            bool still_wanted;
            {
                std::lock_guard<std::mutex> lock(watch_mutex_);
                still_wanted = watch_.close_wanted;
            }
            if (still_wanted) CloseDevice();
            continue;
        }
        if (device_ == 0 || SDL_GetAudioDeviceStatus(device_) != SDL_AUDIO_STOPPED) continue;
        CloseDevice();
        bool playing;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            playing = !streams_.empty();
        }
        if (playing && !OpenDevice()) StartClock();
    }
}

// On the thread that found the device lost, with SDL's event lock held.
int AudioOutput::DeviceEventFilter(void *user, SDL_Event *event) {
    if (event->type == SDL_AUDIODEVICEREMOVED) {
        auto *output = static_cast<AudioOutput *>(user);
        {
            std::lock_guard<std::mutex> lock(output->watch_mutex_);
            output->watch_.lost = true;
        }
        output->watcher_wake_.notify_one();
    }
    return 0;  // nothing is kept in SDL's queue: nobody reads it
}

void AudioOutput::SdlCallback(void *user, Uint8 *bytes, int length) {
    auto *output = static_cast<AudioOutput *>(user);
    output->Mix(reinterpret_cast<float *>(bytes),
                length / static_cast<int>(sizeof(float) * kChannels));
}

void AudioOutput::Mix(float *out, int frames) {
    std::fill(out, out + static_cast<std::size_t>(frames) * kChannels, 0.0f);
    std::lock_guard<std::mutex> lock(mutex_);
    int chunk = static_cast<int>(scratch_.size() / kChannels);
    for (int done = 0; done < frames; done += chunk) {
        const int count = std::min(chunk, frames - done);
        float *at = out + static_cast<std::size_t>(done) * kChannels;
        started_.clear();
        for (Stream *stream : streams_) {
            // A follower begun in this chunk has had its share of it already.
            if (std::find(started_.begin(), started_.end(), stream) == started_.end())
                MixWithFollowers(stream, at, count, started_);
        }
        const std::size_t kept = std::min<std::size_t>(capture_frames_, count);
        capture_.insert(capture_.end(), at, at + kept * kChannels);
        capture_frames_ -= kept;
    }
}

void AudioOutput::MixWithFollowers(Stream *stream, float *out, int frames,
                                   std::vector<Stream *> &started) {
    int done = 0;
    for (;;) {
        bool ended = false;
        done += stream->MixInto(out + static_cast<std::size_t>(done) * kChannels, scratch_.data(),
                                frames - done, equalizer_, &ended);
        // started has room for every join (Queue reserves it): the mix never allocates.
        if (!ended || started.size() == started.capacity()) return;
        auto join = std::find_if(queue_.begin(), queue_.end(),
                                 [stream](const Join &j) { return j.current == stream; });
        if (join == queue_.end()) return;
        Stream *next = join->next;
        queue_.erase(join);
        if (!next->StartAfter(*stream)) return;  // played on its own meanwhile
        started.push_back(next);
        stream = next;
    }
}

// Stands in for a device: consumes what a device would have played by now, every 10 ms.
void AudioOutput::RunClock() {
    pthread_setname_np(pthread_self(), "volnar-clock");
    auto start = std::chrono::steady_clock::now();
    std::int64_t consumed = 0;
    for (;;) {
        {
            // With nothing to consume, the clock sleeps until it plays a stream again and
            // then counts from that moment.
            std::unique_lock<std::mutex> lock(mutex_);
            if (!clock_mode_) {
                clock_wake_.wait(lock, [this] { return clock_mode_; });
                start = std::chrono::steady_clock::now();
                consumed = 0;
            }
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        auto elapsed = std::chrono::steady_clock::now() - start;
        std::int64_t due = std::chrono::duration_cast<std::chrono::microseconds>(elapsed).count() *
                           kSampleRate / 1000000;
        while (consumed < due) {
            int count = static_cast<int>(std::min<std::int64_t>(kClockFrames, due - consumed));
            Mix(silent_.data(), count);
            consumed += count;
        }
    }
}

}  // namespace engine
