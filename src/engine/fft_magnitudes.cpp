#include "fft_magnitudes.h"

#include <cmath>
#include <numbers>

namespace engine {

Spectrum::Spectrum() {
    input_.reset(static_cast<float *>(fftwf_malloc(sizeof(float) * kFftSize)));
    output_.reset(
        static_cast<fftwf_complex *>(fftwf_malloc(sizeof(fftwf_complex) * (kFftBins + 1))));
    if (input_ && output_)
        plan_.reset(fftwf_plan_dft_r2c_1d(kFftSize, input_.get(), output_.get(), FFTW_ESTIMATE));
    // The periodic Hann window sums to N/2, so a sine of amplitude A peaks at A*N/4.
    for (int i = 0; i < kFftSize; ++i)
        window_[i] = 0.5f * (1.0f - std::cos(2.0f * std::numbers::pi_v<float> * i / kFftSize));
}

bool Spectrum::Compute(const float *__restrict samples, float *__restrict out) {
    if (!plan_) return false;
    // Plain loops over local pointers with a fixed count, so the compiler does them several
    // values at a time: the refresh asks for this every 35 ms while a stream plays.
    float *__restrict const input = input_.get();
    const float *__restrict const window = window_;
    for (int i = 0; i < kFftSize; ++i)
        input[i] = samples[i] * window[i];
    fftwf_execute(plan_.get());
    constexpr float kScale = 4.0f / kFftSize;
    const float *__restrict const bins = &output_[0][0];
    // What the C library's hypotf computes for finite parts (exact squares summed in double,
    // one square root, rounded to float), without a call for each of the bins.
    for (int i = 0; i < kFftBins; ++i) {
        const double re = bins[2 * i], im = bins[2 * i + 1];
        out[i] = static_cast<float>(std::sqrt(re * re + im * im)) * kScale;
    }
    // Infinities and NaN keep hypotf's own rules (an infinite part wins over a NaN).
    for (int i = 0; i < kFftBins; ++i) {
        const float re = bins[2 * i], im = bins[2 * i + 1];
        if (!std::isfinite(re) || !std::isfinite(im)) out[i] = std::hypot(re, im) * kScale;
    }
    return true;
}

}  // namespace engine
