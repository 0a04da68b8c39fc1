#include "engine/fftw_interface.h"

#include <algorithm>
#include <new>
#include <stdexcept>

namespace murmex {

namespace {

constexpr const char* kTunedPlans = R"((fftw-3.3.10 fftwf_wisdom #x9e7d4dee #xdb14fed1 #x34bf76a4 #xeb6e8fdf
  (fftwf_codelet_n2fv_16_avx 0 #x11bdd #x11bdd #x0 #xf246dd1d #x433be1dd #x669fbc87 #xe433ec82)
  (fftwf_codelet_r2cf_2 2 #x11bdd #x11bdd #x0 #xc4589152 #x2c904887 #x3df0c9d3 #x054d1070)
  (fftwf_codelet_r2cfII_2 2 #x11bdd #x11bdd #x0 #xf4706e13 #x6e8bbca0 #x9c704b36 #x8e8181fc)
  (fftwf_codelet_t1bv_16_avx 0 #x10bdd #x10bdd #x0 #xd86f0fcc #x804581bb #x5ccfdfba #x14108c49)
  (fftwf_codelet_hc2cfdftv_2_sse2 0 #x11bdd #x11bdd #x0 #xc447d79d #x3bb36c12 #x2e7c8386 #xc241521c)
  (fftwf_codelet_t2fv_64_avx 0 #x11bdd #x11bdd #x0 #xc6ca45ce #xf08c5f4a #x61a53ade #xe5e374c8)
  (fftwf_codelet_r2cb_2 2 #x10bdd #x10bdd #x0 #xbf76898c #x7d78c8ce #x8377740c #x9d79896b)
  (fftwf_codelet_r2cbIII_2 2 #x10bdd #x10bdd #x0 #xc266d7ae #xcc604c28 #xabefc5b9 #x5c765009)
  (fftwf_codelet_n2bv_64_avx 0 #x10bdd #x10bdd #x0 #xb994f532 #xd7108882 #xe0c55958 #xb3fe0491)
  (fftwf_codelet_hc2cbdftv_2_sse2 0 #x10bdd #x10bdd #x0 #x1f5f22d9 #xed218381 #x10c9c094 #xe9e7bb90)
))";

}  // namespace

FftwInterface::FftwInterface() {
    for (int lane = 0; lane < kLanes; ++lane) {
        input_[lane] = fftwf_alloc_real(kSize);
        spectrum_[lane] = fftwf_alloc_complex(kBins);
        output_[lane] = fftwf_alloc_real(kSize);
        if (input_[lane] == nullptr || spectrum_[lane] == nullptr || output_[lane] == nullptr) {
            FreeBuffers();
            throw std::bad_alloc();
        }
    }
    ZeroBuffers();
}

FftwInterface::~FftwInterface() {
    ReleasePlans();
    FreeBuffers();
}

void FftwInterface::FreeBuffers() {
    for (int lane = 0; lane < kLanes; ++lane) {
        fftwf_free(input_[lane]);
        fftwf_free(spectrum_[lane]);
        fftwf_free(output_[lane]);
    }
}

void FftwInterface::CreatePlans() {
    ReleasePlans();
    ImportTunedPlans();
    ZeroBuffers();
    forward_ = fftwf_plan_dft_r2c_1d(kSize, input_[0], spectrum_[0], FFTW_MEASURE);
    inverse_ = fftwf_plan_dft_c2r_1d(kSize, spectrum_[0], output_[0], FFTW_MEASURE);
    if (!HasPlans()) {
        ReleasePlans();
        throw std::runtime_error("FFTW could not plan the 2048-point transforms");
    }
    ZeroBuffers();
    ++plansCreated_;
}

bool FftwInterface::ImportTunedPlans() { return fftwf_import_wisdom_from_string(kTunedPlans) != 0; }

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
    for (int lane = 0; lane < kLanes; ++lane) {
        std::fill_n(input_[lane], kSize, 0.0f);
        std::fill_n(FftSpectrum(lane), 2 * kBins, 0.0f);
        std::fill_n(output_[lane], kSize, 0.0f);
    }
}

}  // namespace murmex
