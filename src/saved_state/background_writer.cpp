// See background_writer.h for who calls what and what the mutex guards.
#include "background_writer.h"

#include <fcntl.h>
#include <pthread.h>
#include <unistd.h>

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <thread>
#include <utility>

#include "saved_state.h"

namespace {

// The rename of a file put in place reaches the disk with its folder's entry.
void SyncFolderOf(const std::string &path) {
    const std::string folder = path.substr(0, path.rfind('/') + 1);
    const int directory = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (directory < 0) return;
    fsync(directory);
    close(directory);
}

// Waits until the file's data is on the disk.
bool SyncFile(const std::string &path) {
    const int file = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (file < 0) return false;
    const bool synced = fsync(file) == 0;
    close(file);
    return synced;
}

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
        done_.wait(lock, [this] { return ended_ || (waiting_.empty() && !writing_); });
        return last_ok_;
    }

    // The end: what the writer thread has not yet put in place, and what waits, is written
    // here and now without waiting for the disk; the thread puts nothing in place after it.
    bool End() {
        std::deque<Job> jobs;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            ended_ = true;
            if (writing_ && !current_.cache) jobs.push_back(current_);
            if (!current_temporary_.empty()) unlink(current_temporary_.c_str());
            for (Job &job : waiting_)
                if (!job.cache) jobs.push_back(std::move(job));  // a cache can be made again
            waiting_.clear();
        }
        bool ok = true;
        for (std::size_t i = 0; i < jobs.size(); ++i) {
            // A later text for the same path makes this one's writing needless.
            const bool later =
                std::any_of(jobs.begin() + static_cast<std::ptrdiff_t>(i) + 1, jobs.end(),
                            [&](const Job &j) { return j.path == jobs[i].path; });
            if (later) continue;
            const std::string temporary =
                WriteTemporaryStateFile(jobs[i].path, jobs[i].text, DiskWait::kUnderWay);
            const bool written =
                !temporary.empty() &&
                PutTemporaryStateFileInPlace(temporary, jobs[i].path, DiskWait::kUnderWay);
            ok = written && ok;
        }
        return ok;
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
            if (ended_) return;
            current_ = std::move(waiting_.front());
            waiting_.pop_front();
            writing_ = true;
            const Job &job = current_;
            lock.unlock();
            // Written first and made to wait for the disk after: the end, coming meanwhile,
            // knows the temporary's name and leaves nothing of it behind.
            std::string temporary =
                WriteTemporaryStateFile(job.path, job.text, DiskWait::kUnderWay);
            lock.lock();
            if (ended_) {
                if (!temporary.empty()) unlink(temporary.c_str());
                writing_ = false;
                done_.notify_all();
                return;
            }
            current_temporary_ = temporary;
            lock.unlock();
            if (!temporary.empty() && !SyncFile(temporary)) {
                unlink(temporary.c_str());
                temporary.clear();
            }
            lock.lock();
            current_temporary_.clear();
            // The end came during the fsync: End removed the temporary and wrote the text.
            if (ended_) {
                writing_ = false;
                done_.notify_all();
                return;
            }
            // In place under the lock, so that End, once it holds the lock, knows what is.
            bool ok = !temporary.empty() &&
                      PutTemporaryStateFileInPlace(temporary, job.path, DiskWait::kUnderWay);
            writing_ = false;
            if (ok) {
                lock.unlock();
                SyncFolderOf(job.path);
                lock.lock();
            }
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
    bool writing_ = false;     // guarded by mutex_: current_ is being written, not yet in place
    Job current_;              // guarded by mutex_
    std::string current_temporary_;  // guarded by mutex_: current_'s file while its fsync runs
    bool ended_ = false;             // guarded by mutex_: End ran; the thread writes no more
    bool last_ok_ = true;            // guarded by mutex_: the last state file written
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

bool EndSavedStateWrites() {
    return g_writer ? g_writer->End() : true;
}
