#pragma once

#include <fftw3.h>

namespace murmex {

// The single-precision FFTW binding of the engine: three fixed buffers and the forward and
// inverse 2048-point real transforms planned on them. Plans must be made and released on the
// main thread only, because the FFTW planner is not thread-safe.
class FftwInterface {
public:
    static constexpr int kSize = 2048;
    static constexpr int kBins = kSize / 2 + 1;

    FftwInterface();
    ~FftwInterface();
    FftwInterface(const FftwInterface&) = delete;
    FftwInterface& operator=(const FftwInterface&) = delete;

    // Releases any earlier plans, zero-fills the buffers and plans both transforms with
    // FFTW_MEASURE. Planning scribbles over the buffers, so they are zeroed again afterwards:
    // the tail of FftInput is the zero padding of stereo frames. Throws std::runtime_error
    // when FFTW cannot make a plan.
    void CreatePlans();
    void ReleasePlans();
    // Plans both transforms once on scratch buffers and drops them. FFTW keeps what it measured
    // as wisdom, so the engine's own plans are then made at once instead of after several
    // hundred milliseconds of measuring: the first Play of a session starts promptly.
    // Main thread only, like every plan.
    static void WarmUpPlanner();
    // Gives FFTW the plans the engine was tuned with (recorded with FFTW 3.3.10 on x86-64 with
    // AVX). FFTW_MEASURE alone times candidate algorithms anew in every process and may choose
    // differently each time; their results differ in the last bits, so the same input would not
    // always give the same file. Where the recorded plans apply, planning is instant and every
    // process computes alike; elsewhere FFTW measures as usual. False when FFTW cannot read them.
    static bool ImportTunedPlans();
    bool HasPlans() const { return forward_ != nullptr && inverse_ != nullptr; }
    // How many times plans have been made; lets callers see whether a run reused them.
    int PlansCreated() const { return plansCreated_; }

    void ExecuteForward() { fftwf_execute(forward_); }
    void ExecuteInverse() { fftwf_execute(inverse_); }

    float* FftInput() { return input_; }
    const float* FftInput() const { return input_; }
    // kBins complex values as interleaved (real, imaginary) pairs.
    float* FftSpectrum() { return reinterpret_cast<float*>(spectrum_); }
    const float* FftSpectrum() const { return reinterpret_cast<const float*>(spectrum_); }
    // Unnormalised inverse: kSize times the true inverse transform.
    const float* FftOutput() const { return output_; }

private:
    void ZeroBuffers();

    float* input_ = nullptr;
    fftwf_complex* spectrum_ = nullptr;
    float* output_ = nullptr;
    fftwf_plan forward_ = nullptr;
    fftwf_plan inverse_ = nullptr;
    int plansCreated_ = 0;
};

}  // namespace murmex
