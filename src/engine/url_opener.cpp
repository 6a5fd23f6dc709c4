// See url_opener.h for the threads.
#include "url_opener.h"

#include <pthread.h>

#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include "station_playlist.h"

namespace engine {
namespace {

// What one opening shares between the caller and its thread. mutex guards the rest.
struct Opening {
    std::mutex mutex;
    std::condition_variable finished;
    bool done = false;                 // guarded by mutex
    std::unique_ptr<Decoder> decoder;  // guarded by mutex
};

struct Abandoned {
    std::thread thread;
    std::shared_ptr<Opening> opening;
};

// Openings given up on; user-interface thread only. Intentionally never destroyed, like
// the rest of the engine (see audio_engine.cpp on process exit).
std::vector<Abandoned> &AbandonedOpenings() {
    static auto *list = new std::vector<Abandoned>;
    return *list;
}

}  // namespace

std::unique_ptr<Decoder> OpenUrlWithin(const std::string &url,
                                       const std::shared_ptr<CancelToken> &token,
                                       std::chrono::milliseconds limit) {
    ReapUrlOpeners();
    auto opening = std::make_shared<Opening>();
    std::thread thread([opening, token, url] {
        pthread_setname_np(pthread_self(), "volnar-connect");
        std::unique_ptr<Decoder> decoder = OpenStationAddress(url, token.get());
        std::lock_guard<std::mutex> lock(opening->mutex);
        opening->decoder = std::move(decoder);
        opening->done = true;
        opening->finished.notify_all();
    });
    std::unique_lock<std::mutex> lock(opening->mutex);
    if (opening->finished.wait_for(lock, limit, [&] { return opening->done; })) {
        std::unique_ptr<Decoder> decoder = std::move(opening->decoder);
        lock.unlock();
        thread.join();
        return decoder;
    }
    lock.unlock();
    token->cancel = true;
    AbandonedOpenings().push_back({std::move(thread), std::move(opening)});
    return nullptr;
}

void ReapUrlOpeners() {
    auto &list = AbandonedOpenings();
    for (auto it = list.begin(); it != list.end();) {
        bool done;
        {
            std::lock_guard<std::mutex> lock(it->opening->mutex);
            done = it->opening->done;
        }
        if (done) {
            it->thread.join();
            it = list.erase(it);
        } else {
            ++it;
        }
    }
}

}  // namespace engine
