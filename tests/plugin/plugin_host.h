#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include <lilv/lilv.h>
#include <lv2/state/state.h>
#include <lv2/urid/urid.h>

#include "engine/spectral_engine.h"

namespace murmex::test {

inline constexpr double kTestRate = 44100.0;

// A control port set to a value from `frame` on.
struct ControlChange {
    uint64_t frame;
    uint32_t port;
    float value;
};

// A small LV2 host on liblilv, finding the bundle on LV2_PATH as real hosts do.
class LilvHost {
public:
    LilvHost();
    ~LilvHost() { lilv_world_free(world_); }
    const LilvPlugin* Plugin(const char* uri) const;
    LilvWorld* World() const { return world_; }
    LV2_URID_Map* Map() { return &map_; }
    LV2_URID_Unmap* Unmap() { return &unmap_; }
    const LV2_Feature* const* Features() const { return features_; }

private:
    LilvWorld* world_;
    std::mutex mutex_;
    std::map<std::string, LV2_URID> ids_;
    std::vector<std::string> uris_;
    LV2_URID_Map map_;
    LV2_URID_Unmap unmap_;
    LV2_Feature mapFeature_{LV2_URID__map, &map_};
    LV2_Feature unmapFeature_{LV2_URID__unmap, &unmap_};
    const LV2_Feature* features_[3] = {&mapFeature_, &unmapFeature_, nullptr};
};

// One activated instance and its control values.
class HostedPlugin {
public:
    HostedPlugin(LilvHost& host, const char* uri);
    // Another instance of a loaded plugin, made through its descriptor without lilv (which is
    // not thread-safe), as a host makes instances on any thread.
    explicit HostedPlugin(const HostedPlugin& loaded);
    ~HostedPlugin();

    int Channels() const { return channels_; }
    float Latency() const { return latency_; }
    // Interleaved 16-bit input through run() calls of random sizes from 0 to 8192 frames (seed 0:
    // 1024 each), each change made before the call that starts at its frame; every other call
    // hands one buffer as input and output. Returns the interleaved output; aroundRun(true/false)
    // is called just before and after each run().
    std::vector<float> Run(const std::vector<int16_t>& input, unsigned seed, const std::vector<ControlChange>& changes = {},
                           const std::function<void(bool)>& aroundRun = {});
    // The plugin's state saved with lilv into a Turtle file in `folder`, and restored from it.
    void SaveState(const std::string& folder);
    void RestoreState(const std::string& folder);
    // A session whose noise print holds `bytes`, restored as a host opens it; the plugin's answer.
    LV2_State_Status RestoreNoisePrint(const std::vector<uint8_t>& bytes);

private:
    LilvHost& host_;
    const LilvPlugin* plugin_;
    LilvInstance* instance_ = nullptr;
    bool madeByLilv_ = true;
    int channels_ = 1;
    std::vector<float> controls_;
    float latency_ = -1.0f;
};

// Speech-like interleaved audio: tones coming and going over steady noise, the channels different.
std::vector<int16_t> TestSignal(int channels, size_t frames, unsigned seed);

// The engine's block contract over `input` (zero-padded to whole blocks), set up as the plugin
// sets it up (kDefaultMethod unless a change says otherwise), each change made before the first block that completes at or after its frame;
// first through `learn`, when given, followed by a run that keeps the noise. Returns the
// concatenated output blocks.
std::vector<int16_t> EngineOutput(int channels, const std::vector<int16_t>& input, const std::vector<ControlChange>& changes,
                                  const std::vector<int16_t>& learn = {}, const std::vector<ControlChange>& learnChanges = {});

// Samples where `plugin` differs from one engine block of silence followed by `engine`; the
// first is described in `where`.
size_t CountMismatches(const std::vector<float>& plugin, const std::vector<int16_t>& engine, std::string& where);

}  // namespace murmex::test
