#include "engine/fftw_interface.h"

#include <algorithm>
#include <new>
#include <stdexcept>

namespace murmex {

FftwInterface::FftwInterface() {
    input_ = fftwf_alloc_real(kSize);
    spectrum_ = fftwf_alloc_complex(kBins);
    output_ = fftwf_alloc_real(kSize);
    if (input_ == nullptr || spectrum_ == nullptr || output_ == nullptr) {
        fftwf_free(input_);
        fftwf_free(spectrum_);
        fftwf_free(output_);
        throw std::bad_alloc();
    }
    ZeroBuffers();
}

FftwInterface::~FftwInterface() {
    ReleasePlans();
    fftwf_free(input_);
    fftwf_free(spectrum_);
    fftwf_free(output_);
}

void FftwInterface::CreatePlans() {
    ReleasePlans();
    ZeroBuffers();
    forward_ = fftwf_plan_dft_r2c_1d(kSize, input_, spectrum_, FFTW_MEASURE);
    inverse_ = fftwf_plan_dft_c2r_1d(kSize, spectrum_, output_, FFTW_MEASURE);
    if (!HasPlans()) {
        ReleasePlans();
        throw std::runtime_error("FFTW could not plan the 2048-point transforms");
    }
    ZeroBuffers();
    ++plansCreated_;
}

void FftwInterface::WarmUpPlanner() {
    FftwInterface scratch;
    scratch.CreatePlans();
}

void FftwInterface::ReleasePlans() {
    if (forward_ != nullptr) fftwf_destroy_plan(forward_);
    if (inverse_ != nullptr) fftwf_destroy_plan(inverse_);
    forward_ = nullptr;
    inverse_ = nullptr;
}

void FftwInterface::ZeroBuffers() {
    std::fill_n(input_, kSize, 0.0f);
    std::fill_n(FftSpectrum(), 2 * kBins, 0.0f);
    std::fill_n(output_, kSize, 0.0f);
}

}  // namespace murmex
