// Opens a station within a bounded time. FFmpeg's own waits end at the token's deadline
// through the interrupt callback, but a host-name lookup cannot be interrupted; so the
// opening runs on a thread of its own and the caller stops waiting at the limit.
//
// Threads: the user-interface thread calls both functions; each opening has one
// "volnar-connect" thread. An opening given up on keeps running until its lookup returns
// (its token is cancelled, so nothing more is done), and is joined by a later call of
// ReapUrlOpeners once it has finished: no thread is detached.
#pragma once

#include <chrono>
#include <memory>
#include <string>

#include "decoder.h"

namespace engine {

// The decoder, or null when the station cannot be opened within `limit`.
std::unique_ptr<Decoder> OpenUrlWithin(const std::string &url,
                                       const std::shared_ptr<CancelToken> &token,
                                       std::chrono::milliseconds limit);

// Joins the openings given up on that have finished since.
void ReapUrlOpeners();

}  // namespace engine
