// The speexdsp preprocessor's noise suppressor (its defaults, 20 ms frames) over a mono 16-bit
// WAV file, a peer of the quality bench.
//   murmex-speex-denoise INPUT.wav OUTPUT.wav
#include <speex/speex_preprocess.h>

#include <memory>
#include <stdexcept>
#include <string>

#include "bench/quality/wav_file.h"

int main(int argc, char** argv) {
    return murmex_bench::RunMonoFilter(argc, argv, "murmex-speex-denoise", [](murmex_bench::Pcm& pcm) {
        const int frame = pcm.rate / 50;
        std::unique_ptr<SpeexPreprocessState, decltype(&speex_preprocess_state_destroy)> state(
            speex_preprocess_state_init(frame, pcm.rate), speex_preprocess_state_destroy);
        if (!state) throw std::runtime_error("speex_preprocess_state_init refused " + std::to_string(pcm.rate) + " Hz");
        int on = 1;
        if (speex_preprocess_ctl(state.get(), SPEEX_PREPROCESS_SET_DENOISE, &on) != 0) {
            throw std::runtime_error("speexdsp refused to switch the denoiser on");
        }
        const size_t length = pcm.samples.size();
        pcm.samples.resize((length + frame - 1) / frame * frame, 0);  // the last frame padded with silence
        for (size_t pos = 0; pos < pcm.samples.size(); pos += static_cast<size_t>(frame)) {
            speex_preprocess_run(state.get(), &pcm.samples[pos]);
        }
        pcm.samples.resize(length);
    });
}
