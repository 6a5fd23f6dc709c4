// Opens one connection to a station within a bounded time. FFmpeg's own waits end at the
// token's deadline through the interrupt callback, but a host-name lookup cannot be
// interrupted; so the opening runs on a thread of its own and the caller stops waiting at the
// limit, or as soon as the token is cancelled (the stream is freed).
//
// Threads: a stream's radio thread calls OpenUrlWithin; the user-interface thread and the
// radio threads call ReapUrlOpeners. Each opening has one "volnar-connect" thread. An opening
// given up on keeps running until its lookup returns (its token is cancelled, so nothing
// more is done and its connection is closed by that thread), and is joined by a later call of
// ReapUrlOpeners once it has finished: no thread is detached. The list of openings given up
// on is guarded by a mutex of its own.
#pragma once

#include <chrono>
#include <memory>
#include <string>

#include "decoder.h"

namespace engine {

// The decoder, or null when the station cannot be opened within `limit` or the token is
// cancelled first. error receives a BASS_ERROR_* code.
std::unique_ptr<Decoder> OpenUrlWithin(const std::string &url,
                                       const std::shared_ptr<CancelToken> &token,
                                       std::chrono::milliseconds limit, int *error);

// Joins the openings given up on that have finished since.
void ReapUrlOpeners();

}  // namespace engine
