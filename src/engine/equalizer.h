// The equaliser: a cascade of peaking filters (the RBJ audio-EQ cookbook's, in direct form I,
// double precision) at the bands of BASS_SetEqualizer, a pre-gain and a peak guard, run on a
// stream's frames where the output mixes it.
//
// Threads: DesignEqualizer runs on the user-interface thread; the output copies its result
// into its own EqSettings under its mutex_ (the lock the audio thread takes for every mix
// anyway). RunEqualizer runs on the audio thread only, on a stream's EqState, which nothing
// else touches. Nothing here allocates or locks.
#pragma once

#include <cstdint>

#include "audio_engine.h"

namespace engine {

constexpr int kEqBands = static_cast<int>(BASS_EQ_BANDS);
// Gains beyond this are taken as this (either way): more would only trade the whole sound's
// level for one band's.
constexpr float kEqMaxGainDb = 12.0f;

struct Biquad {
    double b0 = 1, b1 = 0, b2 = 0, a1 = 0, a2 = 0;  // normalised: a0 = 1
};

// One set of gains turned into filters. Bands of 0 dB have no filter (a peaking filter of
// 0 dB is the identity, so leaving it out changes nothing); no filter at all is the bypass.
struct EqSettings {
    std::uint64_t generation = 0;  // set by the output: which change this is
    bool active[kEqBands] = {};
    Biquad filters[kEqBands];
    // 1 / the largest gain of the whole cascade's response (1 when nothing is boosted), so
    // that a full-scale sine at any frequency stays within +-1.
    double pregain = 1;
    bool Bypassed() const;
};

// What one stream's equaliser carries from one buffer to the next.
struct EqState {
    std::uint64_t generation = 0;  // of `applied`
    bool started = false;          // frames have gone through (a new stream adopts at once)
    EqSettings applied;
    // Per band and channel: the band's last two inputs and outputs (x1, x2, y1, y2).
    double history[kEqBands][2][4] = {};
    double dry[2][2] = {};    // per channel: the last two frames that came in
    double guard_gain = 1.0;  // the peak guard's gain, back to 1 after a loud moment
};

// Gains (dB, per band, lowest first; fewer than kEqBands leave the rest at 0) into filters.
// False for a NaN or an infinity; other gains are kept within +-kEqMaxGainDb.
bool DesignEqualizer(const float *gains_db, int bands, EqSettings *settings);

// Runs `count` interleaved stereo frames in place through `target`. A change of settings
// (another generation than the state's) moves from the old sound to the new over these
// frames; a stream whose first frames these are takes the target at once. While bypassed
// (and after the move to a bypass has ended) the frames are left untouched, bit for bit.
void RunEqualizer(EqState &state, const EqSettings &target, float *frames, int count);

}  // namespace engine
