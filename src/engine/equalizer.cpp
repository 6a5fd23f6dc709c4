// See equalizer.h for which thread calls what.
#include "equalizer.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <numbers>

#include "decoder.h"

namespace engine {
namespace {

// 0.7 octave wide at half the gain: neighbouring bands overlap enough for a smooth curve
// between them, yet a slider's gain at its own centre stays within a dB of what it asks
// for when its neighbours are set alike (at an octave's width, 1.41, two neighbours at +6
// dB lift each other's centres to +8).
constexpr double kBandQ = 2.0;
// Frames run at a time through the cascade, on the audio thread's stack.
constexpr int kBlockFrames = 256;
// The peak guard lets its gain back up to 1 with this time constant.
constexpr double kGuardReleaseSeconds = 0.05;
// Filter memory below this is taken as silence: decaying towards zero in digital silence,
// it would otherwise reach the denormal numbers, which cost a hundred times as much.
constexpr double kTiny = 1e-25;

Biquad Peaking(double frequency, double gain_db) {
    const double a = std::pow(10.0, gain_db / 40.0);
    const double w0 = 2 * std::numbers::pi * frequency / kSampleRate;
    const double alpha = std::sin(w0) / (2 * kBandQ);
    const double cosine = std::cos(w0);
    const double a0 = 1 + alpha / a;
    Biquad f;
    f.b0 = (1 + alpha * a) / a0;
    f.b1 = -2 * cosine / a0;
    f.b2 = (1 - alpha * a) / a0;
    f.a1 = -2 * cosine / a0;
    f.a2 = (1 - alpha / a) / a0;
    return f;
}

double Magnitude(const EqSettings &settings, double frequency) {
    const std::complex<double> z1 =
        std::polar(1.0, -2 * std::numbers::pi * frequency / kSampleRate);
    const std::complex<double> z2 = z1 * z1;
    std::complex<double> h = 1;
    for (int k = 0; k < kEqBands; ++k) {
        if (!settings.active[k]) continue;
        const Biquad &f = settings.filters[k];
        h *= (f.b0 + f.b1 * z1 + f.b2 * z2) / (1.0 + f.a1 * z1 + f.a2 * z2);
    }
    return std::abs(h);
}

// The cascade's largest gain: at every 1/48 octave from 10 Hz up to half the rate (a peak
// between two of them differs from its neighbours by thousandths of a dB), and at the
// bands' own centres.
double LargestGain(const EqSettings &settings) {
    double largest = 1;
    for (double f = 10; f < kSampleRate / 2.0; f *= std::exp2(1.0 / 48))
        largest = std::max(largest, Magnitude(settings, f));
    for (float f : BASS_EQ_FREQUENCIES)
        largest = std::max(largest, Magnitude(settings, f));
    return largest;
}

using History = double[kEqBands][2][4];

void RunBiquad(const Biquad &f, double (&h)[2][4], double *block, int frames) {
    for (int c = 0; c < 2; ++c) {
        double x1 = h[c][0], x2 = h[c][1], y1 = h[c][2], y2 = h[c][3];
        for (int i = 0; i < frames; ++i) {
            const double x = block[i * 2 + c];
            const double y = f.b0 * x + f.b1 * x1 + f.b2 * x2 - f.a1 * y1 - f.a2 * y2;
            x2 = x1;
            x1 = x;
            y2 = y1;
            y1 = y;
            block[i * 2 + c] = y;
        }
        for (double *v : {&x1, &x2, &y1, &y2})
            if (std::abs(*v) < kTiny) *v = 0;
        h[c][0] = x1, h[c][1] = x2, h[c][2] = y1, h[c][3] = y2;
    }
}

// The settings' sound of `block` (in place): the filters, then the pre-gain.
void RunCascade(const EqSettings &settings, History &history, double *block, int frames) {
    for (int k = 0; k < kEqBands; ++k)
        if (settings.active[k]) RunBiquad(settings.filters[k], history[k], block, frames);
    for (int i = 0; i < frames * 2; ++i)
        block[i] *= settings.pregain;
}

// The pre-gain keeps every sine within +-1, but a sum of them can still peak beyond it
// (full-scale noise through a treble boost, a square wave whose harmonics are lifted): the
// guard takes the gain down at once to what keeps such a frame at 1, and lets it back up
// over kGuardReleaseSeconds. Music that never comes near full scale never meets it.
void GuardPeaks(double &gain, const double *block, float *out, int frames) {
    static const double release = std::exp(-1.0 / (kGuardReleaseSeconds * kSampleRate));
    for (int i = 0; i < frames; ++i) {
        const double left = block[i * 2], right = block[i * 2 + 1];
        const double peak = std::max(std::abs(left), std::abs(right));
        if (peak * gain > 1.0) gain = 1.0 / peak;
        out[i * 2] = static_cast<float>(std::clamp(left * gain, -1.0, 1.0));
        out[i * 2 + 1] = static_cast<float>(std::clamp(right * gain, -1.0, 1.0));
        gain = 1.0 - (1.0 - gain) * release;
    }
}

void RememberDry(EqState &state, const float *frames, int count) {
    for (int c = 0; c < 2; ++c) {
        if (count >= 2) {
            state.dry[c][0] = frames[(count - 1) * 2 + c];
            state.dry[c][1] = frames[(count - 2) * 2 + c];
        } else if (count == 1) {
            state.dry[c][1] = state.dry[c][0];
            state.dry[c][0] = frames[c];
        }
    }
}

// The memory the target's filters start from on a change: where a band runs in both, the
// old filter's; where only in the target, the band's input so far, as if the filter had
// been there at 0 dB all along. So the new sound starts from where the old one stands
// instead of from silence (which would ring at the low bands).
void CarryHistory(const EqState &state, History &next) {
    double input[2][2] = {{state.dry[0][0], state.dry[0][1]}, {state.dry[1][0], state.dry[1][1]}};
    const bool old_runs = !state.applied.Bypassed();
    for (int k = 0; k < kEqBands; ++k) {
        const bool in_old = old_runs && state.applied.active[k];
        for (int c = 0; c < 2; ++c) {
            if (in_old) {
                std::copy_n(state.history[k][c], 4, next[k][c]);
                input[c][0] = state.history[k][c][2];
                input[c][1] = state.history[k][c][3];
            } else {
                next[k][c][0] = next[k][c][2] = input[c][0];
                next[k][c][1] = next[k][c][3] = input[c][1];
            }
        }
    }
}

void RunSteady(EqState &state, float *frames, int count) {
    double block[kBlockFrames * 2];
    for (int done = 0; done < count; done += kBlockFrames) {
        const int n = std::min(kBlockFrames, count - done);
        float *at = frames + done * 2;
        std::copy_n(at, n * 2, block);
        RememberDry(state, at, n);
        RunCascade(state.applied, state.history, block, n);
        GuardPeaks(state.guard_gain, block, at, n);
    }
}

// From the state's sound to the target's, crossfaded over the `count` frames.
void RunChange(EqState &state, const EqSettings &target, float *frames, int count) {
    History next;
    CarryHistory(state, next);
    const bool old_runs = !state.applied.Bypassed(), new_runs = !target.Bypassed();
    double old_block[kBlockFrames * 2], new_block[kBlockFrames * 2];
    for (int done = 0; done < count; done += kBlockFrames) {
        const int n = std::min(kBlockFrames, count - done);
        float *at = frames + done * 2;
        std::copy_n(at, n * 2, old_block);
        std::copy_n(at, n * 2, new_block);
        RememberDry(state, at, n);
        if (old_runs) RunCascade(state.applied, state.history, old_block, n);
        if (new_runs) RunCascade(target, next, new_block, n);
        for (int i = 0; i < n; ++i) {
            const double w = static_cast<double>(done + i + 1) / count;
            for (int c = 0; c < 2; ++c) {
                double &v = old_block[i * 2 + c];
                v += (new_block[i * 2 + c] - v) * w;
            }
        }
        GuardPeaks(state.guard_gain, old_block, at, n);
    }
    std::copy_n(&next[0][0][0], kEqBands * 2 * 4, &state.history[0][0][0]);
    if (!new_runs) state.guard_gain = 1.0;
}

}  // namespace

bool EqSettings::Bypassed() const {
    return std::none_of(std::begin(active), std::end(active), [](bool a) { return a; });
}

bool DesignEqualizer(const float *gains_db, int bands, EqSettings *settings) {
    EqSettings designed;
    for (int k = 0; k < std::min(bands, kEqBands); ++k) {
        if (!std::isfinite(gains_db[k])) return false;
        const float gain = std::clamp(gains_db[k], -kEqMaxGainDb, kEqMaxGainDb);
        if (gain == 0.0f) continue;
        designed.active[k] = true;
        designed.filters[k] = Peaking(BASS_EQ_FREQUENCIES[k], gain);
    }
    designed.pregain = 1.0 / LargestGain(designed);
    *settings = designed;
    return true;
}

void RunEqualizer(EqState &state, const EqSettings &target, float *frames, int count) {
    if (count <= 0) return;
    if (state.generation != target.generation) {
        const bool heard = state.started && !(state.applied.Bypassed() && target.Bypassed());
        if (heard) {
            RunChange(state, target, frames, count);
        } else if (!state.started) {
            // Nothing of this stream was heard yet: its sound starts from silence, which is
            // what an empty filter memory stands for.
            std::fill_n(&state.history[0][0][0], kEqBands * 2 * 4, 0.0);
            state.guard_gain = 1.0;
        }
        state.applied = target;
        state.generation = target.generation;
        if (heard) return;
    }
    state.started = true;
    if (state.applied.Bypassed()) {
        RememberDry(state, frames, count);
        return;
    }
    RunSteady(state, frames, count);
}

}  // namespace engine
