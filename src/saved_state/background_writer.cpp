// See background_writer.h for who calls what and what the mutex guards.
#include "background_writer.h"

#include <pthread.h>

#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>

#include "saved_state.h"

namespace {

struct Job {
    std::string path, text;
};

class Writer {
  public:
    Writer() : thread_([this] { Run(); }) { thread_.detach(); }

    void Hand(Job job) {
        std::lock_guard<std::mutex> lock(mutex_);
        waiting_ = std::move(job);
        wake_.notify_all();
    }

    bool Finish() {
        std::unique_lock<std::mutex> lock(mutex_);
        done_.wait(lock, [this] { return !waiting_ && !writing_; });
        return last_ok_;
    }

  private:
    void Run() {
        pthread_setname_np(pthread_self(), "volnar-save");
        std::unique_lock<std::mutex> lock(mutex_);
        for (;;) {
            wake_.wait(lock, [this] { return waiting_.has_value(); });
            Job job = std::move(*waiting_);
            waiting_.reset();
            writing_ = true;
            lock.unlock();
            const bool ok = WriteSavedStateFile(job.path, job.text);
            lock.lock();
            writing_ = false;
            last_ok_ = ok;
            done_.notify_all();
        }
    }

    std::mutex mutex_;
    std::condition_variable wake_, done_;
    std::optional<Job> waiting_;  // guarded by mutex_
    bool writing_ = false;        // guarded by mutex_
    bool last_ok_ = true;         // guarded by mutex_
    std::thread thread_;
};

// Made on the first write and never destroyed (see the header).
Writer *g_writer = nullptr;

}  // namespace

void WriteSavedStateInBackground(const std::string &path, std::string text) {
    if (!g_writer) g_writer = new Writer;
    g_writer->Hand(Job{path, std::move(text)});
}

bool FinishSavedStateWrites() {
    return g_writer ? g_writer->Finish() : true;
}
