#pragma once

#include <fftw3.h>

namespace murmex {

// The single-precision FFTW binding of the engine: the forward and inverse 2048-point real
// transforms, planned on lane 0's three fixed buffers, and a second lane of buffers that the same
// plans run on, so that two threads can each transform a channel at once (FFTW executes a plan
// on other buffers of the same alignment with the same arithmetic). Plans must be made and
// released on the main thread only, because the FFTW planner is not thread-safe.
class FftwInterface {
public:
    static constexpr int kSize = 2048;
    static constexpr int kBins = kSize / 2 + 1;
    static constexpr int kLanes = 2;

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

    void ExecuteForward(int lane = 0) { fftwf_execute_dft_r2c(forward_, input_[lane], spectrum_[lane]); }
    void ExecuteInverse(int lane = 0) { fftwf_execute_dft_c2r(inverse_, spectrum_[lane], output_[lane]); }

    float* FftInput(int lane = 0) { return input_[lane]; }
    const float* FftInput(int lane = 0) const { return input_[lane]; }
    // kBins complex values as interleaved (real, imaginary) pairs.
    float* FftSpectrum(int lane = 0) { return reinterpret_cast<float*>(spectrum_[lane]); }
    const float* FftSpectrum(int lane = 0) const { return reinterpret_cast<const float*>(spectrum_[lane]); }
    // Unnormalised inverse: kSize times the true inverse transform.
    const float* FftOutput(int lane = 0) const { return output_[lane]; }

private:
    void ZeroBuffers();
    void FreeBuffers();

    float* input_[kLanes] = {};
    fftwf_complex* spectrum_[kLanes] = {};
    float* output_[kLanes] = {};
    fftwf_plan forward_ = nullptr;
    fftwf_plan inverse_ = nullptr;
    int plansCreated_ = 0;
};

}  // namespace murmex
