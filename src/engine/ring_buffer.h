// A fixed-size FIFO of interleaved stereo float frames. It has no lock of its own: the stream
// that owns it guards every call with its mutex, and no call allocates, so the audio
// callback may read from it.
#pragma once

#include <algorithm>
#include <cstddef>
#include <vector>

namespace engine {

class RingBuffer {
  public:
    explicit RingBuffer(std::size_t capacity_frames)
        : data_(capacity_frames * 2), capacity_(capacity_frames) {}

    std::size_t Size() const { return size_; }
    std::size_t Space() const { return capacity_ - size_; }
    std::size_t Capacity() const { return capacity_; }

    std::size_t Write(const float *frames, std::size_t count) {
        count = std::min(count, Space());
        std::size_t tail = (head_ + size_) % capacity_;
        std::size_t first = std::min(count, capacity_ - tail);
        std::copy_n(frames, first * 2, data_.begin() + tail * 2);
        std::copy_n(frames + first * 2, (count - first) * 2, data_.begin());
        size_ += count;
        return count;
    }

    std::size_t Read(float *frames, std::size_t count) {
        count = std::min(count, size_);
        std::size_t first = std::min(count, capacity_ - head_);
        std::copy_n(data_.begin() + head_ * 2, first * 2, frames);
        std::copy_n(data_.begin(), (count - first) * 2, frames + first * 2);
        head_ = (head_ + count) % capacity_;
        size_ -= count;
        return count;
    }

    void Clear() {
        head_ = 0;
        size_ = 0;
    }

  private:
    std::vector<float> data_;
    std::size_t capacity_;
    std::size_t head_ = 0;
    std::size_t size_ = 0;
};

}  // namespace engine
