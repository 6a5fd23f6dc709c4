// The output: one SDL2 audio device whose callback mixes every attached stream, or, when no
// device opens, a silent clock thread that consumes the streams at real-time rate so that
// positions, ends and the spectrum behave the same.
//
// Threads: the user-interface thread opens the output and attaches and detaches streams;
// the audio thread (SDL's callback thread or the clock thread) mixes; the watcher thread
// notices a device that went away (unplugged, its sound server's sink removed) and opens the
// default device in its place, or hands the streams to the clock when there is none; it also
// closes a device whose last stream went (Detach sets watch_.close_wanted, the first stream
// after it clears it under device_mutex_, and the watcher closes only under that lock). SDL
// tells of a lost device on the thread that finds it lost (DeviceEventFilter), which only
// sets watch_.lost under watch_mutex_ and wakes the watcher: that thread may be the one a
// closing device waits for, so it never takes device_mutex_. mutex_
// guards the list of streams and the clock's mode; the user-interface thread holds it only
// to change them, so a detached stream is never touched again by the audio thread.
// device_mutex_ guards the device and the starting of the clock and watcher threads; it is
// never taken while mutex_ is held. Lock order: device_mutex_, then mutex_, then a stream's;
// watch_mutex_ is taken alone or last, and the watcher waits on it holding nothing else.
//
// The device is open only while a stream is attached, and for a second after the last one
// went (the watcher closes it then, unless a stream came back): so an idle player wakes no
// audio thread and holds no sound device (the watcher sleeps until a device opens), and a
// change of track neither waits for the device to close nor opens it again. Opening and
// closing it happen without mutex_, since closing waits for a running callback, which takes
// mutex_.
//
// Gapless joins: a stream queued to follow another (Queue) is attached but stopped; the mix
// that finds the first one ended starts it on the next frame of the same buffer, so the two
// play back to back, to the sample. The queue is guarded by mutex_, like the list.
//
// The equaliser: the user-interface thread designs its filters (equalizer.h) and hands them
// over under mutex_, which every mix holds anyway; each stream runs them on its own frames
// as it is mixed, so the next buffer already sounds the change.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

#include <SDL2/SDL.h>

#include "equalizer.h"

namespace engine {

class Stream;

class AudioOutput {
  public:
    // Chooses the sound device (use_device) or the silent clock; nothing runs until a
    // stream is attached. Call once.
    void Open(bool use_device);
    void Attach(Stream *stream);
    void Detach(Stream *stream);
    // Makes `next` (attached, stopped) start where `current` (attached) ends; null next takes
    // current's follower away. BASS_OK, or the BASS_ERROR_* why not (BASS_ChannelQueueAfter).
    int Queue(Stream *current, Stream *next);
    // The filters every stream is mixed through from the next buffer on.
    void SetEqualizer(const EqSettings &settings);
    // Tests: keeps a copy of the next `frames` frames mixed, replacing an earlier copy.
    void StartCapture(std::size_t frames);
    std::vector<float> TakeCapture();
    // Frames handed to the device but not yet heard.
    std::int64_t LatencyFrames() const { return latency_frames_.load(); }

  private:
    static void SdlCallback(void *user, Uint8 *bytes, int length);
    static int DeviceEventFilter(void *user, SDL_Event *event);
    // Tells the watcher whether a device is open now (from OpenDevice and CloseDevice).
    void SetWatching(bool watching);
    // For the first attached stream: the device, else the clock. Callers hold device_mutex_.
    void Start();
    bool OpenDevice();
    void CloseDevice();
    void StartClock();
    void Mix(float *out, int frames);
    // With mutex_ held: mixes `stream` into the frames of one chunk and, when it ends there,
    // the streams queued after it into the rest. started collects the streams so begun.
    void MixWithFollowers(Stream *stream, float *out, int frames, std::vector<Stream *> &started);
    void RunClock();
    void RunWatcher();

    bool use_device_ = false;                      // immutable after open
    std::mutex device_mutex_;                      // see the top of the file
    bool sdl_ready_ = false;                       // guarded by device_mutex_
    SDL_AudioDeviceID device_ = 0;                 // guarded by device_mutex_
    std::atomic<std::int64_t> latency_frames_{0};  // atomic; written under device_mutex_
    std::mutex watch_mutex_;                       // see the top of the file
    std::condition_variable watcher_wake_;         // with watch_mutex_
    struct {
        bool watching = false;      // a device is open
        bool lost = false;          // SDL said a device went away
        bool close_wanted = false;  // the open device has no streams left (kCloseDelay)
    } watch_;                       // guarded by watch_mutex_
    std::thread watcher_;           // guarded by device_mutex_; started once, never joined
    std::thread clock_;  // guarded by device_mutex_; started once; never joined (audio_engine.cpp)
    std::mutex mutex_;
    std::condition_variable clock_wake_;  // the clock waits on it while it has nothing to do
    std::vector<Stream *> streams_;       // guarded by mutex_
    struct Join {
        Stream *current;
        Stream *next;
    };
    std::vector<Join> queue_;         // guarded by mutex_
    std::vector<Stream *> started_;   // guarded by mutex_; the mix's scratch list
    std::vector<float> capture_;      // guarded by mutex_; reserved by StartCapture
    std::size_t capture_frames_ = 0;  // guarded by mutex_; what capture_ may still take
    bool clock_mode_ = false;         // guarded by mutex_: the clock, not a device, plays
    std::vector<float> scratch_;      // guarded by mutex_ (resized when a device opens)
    EqSettings equalizer_;            // guarded by mutex_
    std::vector<float> silent_;       // clock thread only
};

}  // namespace engine
