#include "plugin/lv2_plugin.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstring>
#include <span>
#include <thread>
#include <vector>

#include <lv2/atom/atom.h>
#include <lv2/state/state.h>
#include <lv2/urid/urid.h>

#include "plugin/live_denoiser.h"
#include "plugin/plugin_ports.h"

namespace murmex {

namespace {

// Control values as positions of the window's sliders and switches.
int Position(const float* port, int fallback, int lowest, int highest) {
    if (port == nullptr || std::isnan(*port)) return fallback;
    return static_cast<int>(std::lround(std::clamp(*port, static_cast<float>(lowest), static_cast<float>(highest))));
}

// LV2 reads a toggle above zero as on.
bool Toggle(const float* port, bool fallback) { return port == nullptr ? fallback : *port > 0.0f; }

class PluginInstance {
public:
    PluginInstance(int channels, double sampleRate, const LV2_URID_Map* map) : denoiser_(channels, sampleRate) {
        if (map != nullptr) {
            noisePrintKey_ = map->map(map->handle, kNoisePrintUri);
            chunkType_ = map->map(map->handle, LV2_ATOM__Chunk);
        }
    }

    void Connect(uint32_t port, void* data) {
        const auto channels = static_cast<uint32_t>(denoiser_.Channels());
        if (port < kPortLatency) {
            controls_[port] = static_cast<const float*>(data);
        } else if (port == kPortLatency) {
            latency_ = static_cast<float*>(data);
        } else if (port < kFirstAudioPort + channels) {
            in_[port - kFirstAudioPort] = static_cast<const float*>(data);
        } else if (port < kFirstAudioPort + 2 * channels) {
            out_[port - kFirstAudioPort - channels] = static_cast<float*>(data);
        }
    }

    void Activate() {
        denoiser_.Restart();
        active_ = true;
    }
    void Deactivate() { active_ = false; }

    void Run(uint32_t frames) {
        const bool process = ReadControls();
        denoiser_.Process(in_.data(), out_.data(), frames, process);
        if (latency_ != nullptr) *latency_ = static_cast<float>(denoiser_.LatencyFrames());
        if (snapshot_.load(std::memory_order_acquire) == kSnapshotRequested) {
            denoiser_.CaptureNoise(noise_);
            snapshot_.store(kSnapshotTaken, std::memory_order_release);
        }
    }

    LV2_State_Status Save(LV2_State_Store_Function store, LV2_State_Handle handle) {
        if (noisePrintKey_ == 0) return LV2_STATE_ERR_NO_FEATURE;
        TakeNoiseSnapshot();
        const std::vector<uint8_t> bytes = noise_.Encode();
        return store(handle, noisePrintKey_, bytes.data(), bytes.size(), chunkType_, LV2_STATE_IS_POD);
    }

    LV2_State_Status Restore(LV2_State_Retrieve_Function retrieve, LV2_State_Handle handle) {
        if (noisePrintKey_ == 0) return LV2_STATE_ERR_NO_FEATURE;
        size_t size = 0;
        uint32_t type = 0;
        uint32_t flags = 0;
        const void* data = retrieve(handle, noisePrintKey_, &size, &type, &flags);
        // A session saved before any noise print has nothing to restore.
        if (data == nullptr) return LV2_STATE_SUCCESS;
        if (type != chunkType_) return LV2_STATE_ERR_BAD_TYPE;
        if (!noise_.Decode(std::span(static_cast<const uint8_t*>(data), size)) || !denoiser_.RestoreNoise(noise_)) {
            return LV2_STATE_ERR_UNKNOWN;
        }
        return LV2_STATE_SUCCESS;
    }

private:
    static constexpr int kSnapshotIdle = 0;
    static constexpr int kSnapshotRequested = 1;
    static constexpr int kSnapshotTaken = 2;

    // Updates the options from the control ports; returns "Apply noise reduction". The sliders'
    // factors are only recomputed when their position moves.
    bool ReadControls() {
        ProcessingOptions& options = denoiser_.Options();
        const int bias = Position(controls_[kPortBias], kBiasInitialPosition, kBiasMinPosition, kBiasMaxPosition);
        if (bias != biasPosition_) {
            SetBiasPosition(bias, options);
            biasPosition_ = bias;
        }
        const int reduction = Position(controls_[kPortReduction], kReductionInitialPosition, kReductionMinPosition,
                                       kReductionMaxPosition);
        if (reduction != reductionPosition_) {
            SetReductionPosition(reduction, options);
            reductionPosition_ = reduction;
        }
        options.Method.store(MethodAtPosition(Position(controls_[kPortMethod], MethodPosition(kDefaultMethod), 0, 1)),
                             std::memory_order_relaxed);
        options.DcOffsetCorrection.store(Toggle(controls_[kPortDcOffset], false), std::memory_order_relaxed);
        options.DetailAmplifier.store(Toggle(controls_[kPortDetail], false), std::memory_order_relaxed);
        options.StopNoiseEstimation.store(Toggle(controls_[kPortStopEstimation], false), std::memory_order_relaxed);
        options.CaptureMinima.store(Toggle(controls_[kPortCaptureMinima], false), std::memory_order_relaxed);
        return Toggle(controls_[kPortApply], true);
    }

    // A host may save while another thread runs the plugin, so the running thread copies the
    // noise print between two blocks. A host that has the plugin active but does not run it
    // (stopped transport) is not waited for beyond a short while: nothing runs then, and the
    // engine is read where it stands.
    void TakeNoiseSnapshot() {
        if (active_) {
            snapshot_.store(kSnapshotRequested, std::memory_order_release);
            const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(500);
            while (snapshot_.load(std::memory_order_acquire) != kSnapshotTaken &&
                   std::chrono::steady_clock::now() < deadline) {
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
            int requested = kSnapshotRequested;
            const bool unserved = snapshot_.compare_exchange_strong(requested, kSnapshotIdle, std::memory_order_acq_rel);
            snapshot_.store(kSnapshotIdle, std::memory_order_release);
            if (!unserved) return;
        }
        denoiser_.CaptureNoise(noise_);
    }

    LiveDenoiser denoiser_;
    std::array<const float*, kPortLatency> controls_{};
    float* latency_ = nullptr;
    std::array<const float*, 2> in_{};
    std::array<float*, 2> out_{};
    int biasPosition_ = kBiasMinPosition - 1;
    int reductionPosition_ = kReductionMinPosition - 1;
    LV2_URID noisePrintKey_ = 0;
    LV2_URID chunkType_ = 0;
    bool active_ = false;
    std::atomic<int> snapshot_{kSnapshotIdle};
    // The noise print on its way to or from the host's session, kept here so that run() can fill
    // it without allocating.
    LearntNoise noise_;
};

PluginInstance* Instance(LV2_Handle handle) { return static_cast<PluginInstance*>(handle); }

LV2_Handle Instantiate(const LV2_Descriptor* descriptor, double sampleRate, const char*,
                       const LV2_Feature* const* features) {
    const LV2_URID_Map* map = nullptr;
    for (int i = 0; features != nullptr && features[i] != nullptr; ++i) {
        if (std::strcmp(features[i]->URI, LV2_URID__map) == 0) map = static_cast<const LV2_URID_Map*>(features[i]->data);
    }
    const int channels = std::strcmp(descriptor->URI, kStereoPluginUri) == 0 ? 2 : 1;
    try {
        return new PluginInstance(channels, sampleRate, map);
    } catch (...) {
        // No FFT plans, no memory: the host is told the plugin could not be made.
        return nullptr;
    }
}

void ConnectPort(LV2_Handle handle, uint32_t port, void* data) { Instance(handle)->Connect(port, data); }
void Activate(LV2_Handle handle) { Instance(handle)->Activate(); }
void Run(LV2_Handle handle, uint32_t frames) { Instance(handle)->Run(frames); }
void Deactivate(LV2_Handle handle) { Instance(handle)->Deactivate(); }
void Cleanup(LV2_Handle handle) { delete Instance(handle); }

LV2_State_Status SaveState(LV2_Handle handle, LV2_State_Store_Function store, LV2_State_Handle state, uint32_t,
                           const LV2_Feature* const*) {
    try {
        return Instance(handle)->Save(store, state);
    } catch (...) {
        return LV2_STATE_ERR_UNKNOWN;
    }
}

LV2_State_Status RestoreState(LV2_Handle handle, LV2_State_Retrieve_Function retrieve, LV2_State_Handle state,
                              uint32_t, const LV2_Feature* const*) {
    return Instance(handle)->Restore(retrieve, state);
}

const void* ExtensionData(const char* uri) {
    static const LV2_State_Interface state{SaveState, RestoreState};
    return std::strcmp(uri, LV2_STATE__interface) == 0 ? &state : nullptr;
}

const std::array<LV2_Descriptor, 2> kDescriptors{{
    {kMonoPluginUri, Instantiate, ConnectPort, Activate, Run, Deactivate, Cleanup, ExtensionData},
    {kStereoPluginUri, Instantiate, ConnectPort, Activate, Run, Deactivate, Cleanup, ExtensionData},
}};

}  // namespace

const LV2_Descriptor* PluginDescriptor(uint32_t index) {
    return index < kDescriptors.size() ? &kDescriptors[index] : nullptr;
}

}  // namespace murmex
