// WebRTC's noise suppression (level high, nothing else of the audio processing module enabled)
// over a mono 16-bit WAV file in 10 ms frames, a peer of the quality bench.
//   murmex-webrtc-denoise INPUT.wav OUTPUT.wav
#include <webrtc/modules/audio_processing/include/audio_processing.h>
#include <webrtc/modules/interface/module_common_types.h>

#include <algorithm>
#include <memory>
#include <stdexcept>
#include <string>

#include "bench/quality/wav_file.h"

int main(int argc, char** argv) {
    return murmex_bench::RunMonoFilter(argc, argv, "murmex-webrtc-denoise", [](murmex_bench::Pcm& pcm) {
        std::unique_ptr<webrtc::AudioProcessing> apm(webrtc::AudioProcessing::Create());
        if (!apm) throw std::runtime_error("webrtc::AudioProcessing::Create failed");
        if (apm->noise_suppression()->set_level(webrtc::NoiseSuppression::kHigh) != webrtc::AudioProcessing::kNoError ||
            apm->noise_suppression()->Enable(true) != webrtc::AudioProcessing::kNoError) {
            throw std::runtime_error("WebRTC refused to enable noise suppression");
        }
        const size_t frame = static_cast<size_t>(pcm.rate / 100);
        const size_t length = pcm.samples.size();
        pcm.samples.resize((length + frame - 1) / frame * frame, 0);  // the last frame padded with silence
        webrtc::AudioFrame audio;
        for (size_t pos = 0; pos < pcm.samples.size(); pos += frame) {
            audio.UpdateFrame(0, static_cast<uint32_t>(pos), &pcm.samples[pos], frame, pcm.rate,
                              webrtc::AudioFrame::kNormalSpeech, webrtc::AudioFrame::kVadUnknown, 1);
            const int error = apm->ProcessStream(&audio);
            if (error != webrtc::AudioProcessing::kNoError) {
                throw std::runtime_error("WebRTC ProcessStream failed with " + std::to_string(error) + " at " +
                                         std::to_string(pcm.rate) + " Hz");
            }
            std::copy(audio.data_, audio.data_ + frame, &pcm.samples[pos]);
        }
        pcm.samples.resize(length);
    });
}
