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

bool Spectrum::Compute(const float *samples, float *out) {
    if (!plan_) return false;
    for (int i = 0; i < kFftSize; ++i)
        input_[i] = samples[i] * window_[i];
    fftwf_execute(plan_.get());
    constexpr float kScale = 4.0f / kFftSize;
    for (int i = 0; i < kFftBins; ++i) {
        const float re = output_[i][0], im = output_[i][1];
        // What the C library's hypotf computes for finite parts (exact squares summed in
        // double, one square root, rounded to float), without a call for each of the bins;
        // infinities and NaN keep its rules.
        const float magnitude = std::isfinite(re) && std::isfinite(im)
                                    ? static_cast<float>(std::sqrt(static_cast<double>(re) * re +
                                                                   static_cast<double>(im) * im))
                                    : std::hypot(re, im);
        out[i] = magnitude * kScale;
    }
    return true;
}

}  // namespace engine
