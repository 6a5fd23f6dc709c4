// See url_opener.h for the threads.
#include "url_opener.h"

#include <pthread.h>

#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include "audio_engine.h"
#include "station_playlist.h"

namespace engine {
namespace {

// How often a waiting caller looks at its token while the opening runs.
constexpr std::chrono::milliseconds kCancelCheck{10};

// What one opening shares between the caller and its thread. mutex guards the rest; the
// token outlives the decoder, which reads it.
struct Opening {
    std::shared_ptr<CancelToken> token;  // immutable after creation
    std::mutex mutex;
    std::condition_variable finished;
    bool done = false;                 // guarded by mutex
    int error = BASS_ERROR_TIMEOUT;    // guarded by mutex
    std::unique_ptr<Decoder> decoder;  // guarded by mutex
};

struct Abandoned {
    std::thread thread;
    std::shared_ptr<Opening> opening;
};

struct AbandonedList {
    std::mutex mutex;
    std::vector<Abandoned> openings;  // guarded by mutex
};

// Intentionally never destroyed, like the rest of the engine (see audio_engine.cpp on
// process exit).
AbandonedList &Abandoned() {
    static auto *list = new AbandonedList;
    return *list;
}

}  // namespace

std::unique_ptr<Decoder> OpenUrlWithin(const std::string &url,
                                       const std::shared_ptr<CancelToken> &token,
                                       std::chrono::milliseconds limit, int *error) {
    ReapUrlOpeners();
    auto opening = std::make_shared<Opening>();
    opening->token = token;
    std::thread thread([opening, url] {
        pthread_setname_np(pthread_self(), "volnar-connect");
        int code = BASS_ERROR_TIMEOUT;
        std::unique_ptr<Decoder> decoder = OpenStationAddress(url, opening->token.get(), &code);
        // Nobody waits for an opening given up on: its connection closes here, at once.
        if (opening->token->Expired()) decoder.reset();
        std::lock_guard<std::mutex> lock(opening->mutex);
        opening->decoder = std::move(decoder);
        opening->error = code;
        opening->done = true;
        opening->finished.notify_all();
    });
    const auto give_up = std::chrono::steady_clock::now() + limit;
    std::unique_lock<std::mutex> lock(opening->mutex);
    while (!opening->done && !token->Expired() && std::chrono::steady_clock::now() < give_up)
        opening->finished.wait_for(lock, kCancelCheck);
    if (opening->done) {
        std::unique_ptr<Decoder> decoder = std::move(opening->decoder);
        *error = opening->error;
        lock.unlock();
        thread.join();
        return decoder;
    }
    lock.unlock();
    token->cancel = true;
    *error = BASS_ERROR_TIMEOUT;
    AbandonedList &list = Abandoned();
    std::lock_guard<std::mutex> list_lock(list.mutex);
    list.openings.push_back({std::move(thread), std::move(opening)});
    return nullptr;
}

void ReapUrlOpeners() {
    std::vector<std::thread> finished;
    {
        AbandonedList &list = Abandoned();
        std::lock_guard<std::mutex> list_lock(list.mutex);
        for (auto it = list.openings.begin(); it != list.openings.end();) {
            bool done;
            {
                std::lock_guard<std::mutex> lock(it->opening->mutex);
                done = it->opening->done;
            }
            if (done) {
                finished.push_back(std::move(it->thread));
                it = list.openings.erase(it);
            } else {
                ++it;
            }
        }
    }
    for (std::thread &thread : finished)
        thread.join();
}

}  // namespace engine
