// See background_writer.h for who calls what and what the mutex guards.
#include "background_writer.h"

#include <pthread.h>

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <thread>
#include <utility>

#include "saved_state.h"

namespace {

struct Job {
    std::string path, text;
    bool cache = false;
};

class Writer {
  public:
    Writer() : thread_([this] { Run(); }) { thread_.detach(); }

    void Hand(Job job) {
        std::lock_guard<std::mutex> lock(mutex_);
        const auto same = std::find_if(waiting_.begin(), waiting_.end(),
                                       [&job](const Job &w) { return w.path == job.path; });
        if (!job.cache) outcomes_[job.path] = WriteOutcome::kWaiting;
        if (same != waiting_.end()) {
            *same = std::move(job);
        } else {
            if (job.cache) DropOldestCacheJobs();
            waiting_.push_back(std::move(job));
        }
        wake_.notify_all();
    }

    bool Finish() {
        std::unique_lock<std::mutex> lock(mutex_);
        done_.wait(lock, [this] { return waiting_.empty() && !writing_; });
        return last_ok_;
    }

    WriteOutcome Outcome(const std::string &path) {
        std::lock_guard<std::mutex> lock(mutex_);
        const auto found = outcomes_.find(path);
        return found == outcomes_.end() ? WriteOutcome::kNone : found->second;
    }

  private:
    void Run() {
        pthread_setname_np(pthread_self(), "volnar-save");
        std::unique_lock<std::mutex> lock(mutex_);
        for (;;) {
            wake_.wait(lock, [this] { return !waiting_.empty(); });
            Job job = std::move(waiting_.front());
            waiting_.pop_front();
            writing_ = true;
            lock.unlock();
            const bool ok = WriteSavedStateFile(job.path, job.text);
            lock.lock();
            writing_ = false;
            if (!job.cache) {
                last_ok_ = ok;
                // A newer text for the path waits already: its outcome is the one to tell.
                const bool newer = std::any_of(waiting_.begin(), waiting_.end(),
                                               [&job](const Job &w) { return w.path == job.path; });
                if (!newer)
                    outcomes_[job.path] = ok ? WriteOutcome::kWritten : WriteOutcome::kFailed;
            }
            done_.notify_all();
        }
    }

    // Must: hold mutex_. Makes room for one more cache file.
    void DropOldestCacheJobs() {
        for (;;) {
            const auto count = std::count_if(waiting_.begin(), waiting_.end(),
                                             [](const Job &w) { return w.cache; });
            if (static_cast<std::size_t>(count) < kMaxWaitingCacheFiles) return;
            waiting_.erase(std::find_if(waiting_.begin(), waiting_.end(),
                                        [](const Job &w) { return w.cache; }));
        }
    }

    std::mutex mutex_;
    std::condition_variable wake_, done_;
    std::deque<Job> waiting_;  // guarded by mutex_, oldest first
    bool writing_ = false;     // guarded by mutex_
    bool last_ok_ = true;      // guarded by mutex_: the last state file written
    // guarded by mutex_: per path of the files that are no cache's (a few), the latest outcome
    std::map<std::string, WriteOutcome> outcomes_;
    std::thread thread_;
};

// Made on the first write and never destroyed (see the header).
Writer *g_writer = nullptr;

}  // namespace

void WriteSavedStateInBackground(const std::string &path, std::string text) {
    if (!g_writer) g_writer = new Writer;
    g_writer->Hand(Job{path, std::move(text), false});
}

void WriteCacheFileInBackground(const std::string &path, std::string text) {
    if (!g_writer) g_writer = new Writer;
    g_writer->Hand(Job{path, std::move(text), true});
}

WriteOutcome LatestWriteOutcome(const std::string &path) {
    return g_writer ? g_writer->Outcome(path) : WriteOutcome::kNone;
}

bool FinishSavedStateWrites() {
    return g_writer ? g_writer->Finish() : true;
}
