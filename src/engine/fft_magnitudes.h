// The spectrum of the last heard samples: FFTW single precision, Hann window, 2048 mono
// samples in, 1024 magnitudes out, scaled so that a full-scale sine gives 1.0 in its bin.
// Used by the user-interface thread only (FFTW plans are not thread-safe to create).
#pragma once

#include <fftw3.h>

#include <memory>
#include <type_traits>

namespace engine {

constexpr int kFftSize = 2048;
constexpr int kFftBins = kFftSize / 2;

class Spectrum {
  public:
    Spectrum();
    // False when FFTW could not be set up; out is then left alone.
    bool Compute(const float *samples, float *out);

  private:
    struct FftwFree {
        void operator()(void *p) const { fftwf_free(p); }
    };
    struct PlanDestroy {
        void operator()(fftwf_plan p) const { fftwf_destroy_plan(p); }
    };
    std::unique_ptr<float[], FftwFree> input_;
    std::unique_ptr<fftwf_complex[], FftwFree> output_;
    std::unique_ptr<std::remove_pointer_t<fftwf_plan>, PlanDestroy> plan_;
    float window_[kFftSize];
};

}  // namespace engine
