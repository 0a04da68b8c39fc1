// WebRTC's noise suppression (level high, nothing else of the audio processing module enabled)
// over a mono 16-bit WAV file in 10 ms frames, a peer of the quality bench.
//   murmex-webrtc-denoise INPUT.wav OUTPUT.wav
#include <webrtc/modules/audio_processing/include/audio_processing.h>
#include <webrtc/modules/interface/module_common_types.h>

#include <algorithm>
#include <exception>
#include <iostream>
#include <memory>
#include <stdexcept>

#include "bench/quality/wav_file.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "usage: murmex-webrtc-denoise INPUT.wav OUTPUT.wav\n";
        return 2;
    }
    try {
        murmex_bench::Pcm pcm = murmex_bench::ReadWav(argv[1]);
        if (pcm.channels != 1) throw std::runtime_error(std::string(argv[1]) + ": needs one channel");
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
                throw std::runtime_error(std::string(argv[1]) + ": WebRTC ProcessStream failed with " +
                                         std::to_string(error) + " at " + std::to_string(pcm.rate) + " Hz");
            }
            std::copy(audio.data_, audio.data_ + frame, &pcm.samples[pos]);
        }
        pcm.samples.resize(length);
        murmex_bench::WriteWav(argv[2], pcm);
    } catch (const std::exception& e) {
        std::cerr << "murmex-webrtc-denoise: " << e.what() << "\n";
        return 1;
    }
    return 0;
}
