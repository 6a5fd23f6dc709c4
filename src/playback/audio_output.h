// The output: one SDL2 audio device whose callback mixes every playing stream, or, when no
// device opens, a silent clock thread that consumes the streams at real-time rate so that
// positions, ends and the spectrum behave the same.
//
// Threads: the user-interface thread opens the output and attaches and detaches streams;
// the audio thread (SDL's callback thread or the clock thread) mixes. mutex_ guards the list
// of streams; the user-interface thread holds it only to change the list, so a detached
// stream is never touched again by the audio thread. Lock order: mutex_, then a stream's.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

#include <SDL2/SDL.h>

namespace engine {

class Stream;

class AudioOutput {
  public:
    // Opens the default device, or starts the silent clock when use_device is false or no
    // device opens. Call once.
    void Open(bool use_device);
    void Attach(Stream *stream);
    void Detach(Stream *stream);
    // Frames handed to the device but not yet heard.
    std::int64_t LatencyFrames() const { return latency_frames_; }
    bool UsesDevice() const { return device_ != 0; }

  private:
    static void SdlCallback(void *user, Uint8 *bytes, int length);
    void Mix(float *out, int frames);
    void RunClock();

    SDL_AudioDeviceID device_ = 0;     // immutable after open
    std::int64_t latency_frames_ = 0;  // immutable after open
    std::thread clock_;                // never joined: see audio_engine.cpp on process exit
    std::mutex mutex_;
    std::vector<Stream *> streams_;  // guarded by mutex_
    std::vector<float> scratch_;     // audio thread only; sized at open
    std::vector<float> silent_;      // clock thread only
};

}  // namespace engine
