// The output: one SDL2 audio device whose callback mixes every attached stream, or, when no
// device opens, a silent clock thread that consumes the streams at real-time rate so that
// positions, ends and the spectrum behave the same.
//
// Threads: the user-interface thread opens the output and attaches and detaches streams;
// the audio thread (SDL's callback thread or the clock thread) mixes. mutex_ guards the list
// of streams and the clock's mode; the user-interface thread holds it only to change them, so
// a detached stream is never touched again by the audio thread. Lock order: mutex_, then a
// stream's.
//
// The device is open only while a stream is attached, so an idle player wakes no audio
// thread and holds no sound device. Opening and closing it happen on the user-interface
// thread without mutex_, since closing waits for a running callback, which takes mutex_.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

#include <SDL2/SDL.h>

namespace engine {

class Stream;

class AudioOutput {
  public:
    // Chooses the sound device (use_device) or the silent clock; nothing runs until a
    // stream is attached. Call once.
    void Open(bool use_device);
    void Attach(Stream *stream);
    void Detach(Stream *stream);
    // Frames handed to the device but not yet heard.
    std::int64_t LatencyFrames() const { return latency_frames_; }

  private:
    static void SdlCallback(void *user, Uint8 *bytes, int length);
    // For the first attached stream: the device, else the clock.
    void Start();
    bool OpenDevice();
    void CloseDevice();
    void Mix(float *out, int frames);
    void RunClock();

    bool use_device_ = false;          // immutable after open
    bool sdl_ready_ = false;           // user-interface thread only
    SDL_AudioDeviceID device_ = 0;     // user-interface thread only
    std::int64_t latency_frames_ = 0;  // user-interface thread only
    std::thread clock_;                // started once; never joined (audio_engine.cpp)
    std::mutex mutex_;
    std::condition_variable clock_wake_;  // the clock waits on it while it has nothing to do
    std::vector<Stream *> streams_;       // guarded by mutex_
    bool clock_mode_ = false;             // guarded by mutex_: the clock, not a device, plays
    std::vector<float> scratch_;          // guarded by mutex_ (resized when a device opens)
    std::vector<float> silent_;           // clock thread only
};

}  // namespace engine
