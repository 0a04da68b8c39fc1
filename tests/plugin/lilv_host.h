#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include <lilv/lilv.h>
#include <lv2/urid/urid.h>

namespace murmex::test {

// A control port set to a value before the host block that starts at `frame`.
struct ControlChange {
    uint64_t frame = 0;
    uint32_t port = 0;
    float value = 0.0f;
};

// Frame counts of successive run() calls.
using BlockSizes = std::function<uint32_t()>;
BlockSizes FixedBlocks(uint32_t frames);
// Seeded sizes from 0 to 8192 frames, small ones and empty calls among them.
BlockSizes RandomBlocks(unsigned seed);

// A small LV2 host on liblilv, loading the bundle the way a real host does (LV2_PATH).
class LilvHost {
public:
    LilvHost();
    ~LilvHost();
    LilvHost(const LilvHost&) = delete;
    LilvHost& operator=(const LilvHost&) = delete;

    const LilvPlugin* Plugin(const char* uri) const;
    LilvWorld* World() const { return world_; }
    LV2_URID_Map* Map() { return &map_; }
    LV2_URID_Unmap* Unmap() { return &unmap_; }
    const LV2_Feature* const* Features() const { return features_; }

private:
    static LV2_URID MapUri(LV2_URID_Map_Handle handle, const char* uri);
    static const char* UnmapUri(LV2_URID_Unmap_Handle handle, LV2_URID urid);

    LilvWorld* world_ = nullptr;
    std::mutex uridMutex_;
    std::map<std::string, LV2_URID> ids_;
    std::vector<std::string> uris_;
    LV2_URID_Map map_{this, MapUri};
    LV2_URID_Unmap unmap_{this, UnmapUri};
    LV2_Feature mapFeature_{LV2_URID__map, &map_};
    LV2_Feature unmapFeature_{LV2_URID__unmap, &unmap_};
    const LV2_Feature* features_[3] = {&mapFeature_, &unmapFeature_, nullptr};
};

// One activated instance with its control values.
class HostedPlugin {
public:
    // Throws std::runtime_error when the plugin cannot be instantiated.
    HostedPlugin(LilvHost& host, const char* uri, double sampleRate);
    // Another instance of a loaded plugin, made through its descriptor without lilv, which is
    // not thread-safe: as a host makes instances on any thread.
    HostedPlugin(const HostedPlugin& loaded, double sampleRate);
    ~HostedPlugin();
    HostedPlugin& operator=(const HostedPlugin&) = delete;

    int Channels() const { return channels_; }
    void SetControl(uint32_t port, float value) { controls_[port] = value; }
    float Latency() const { return latency_; }

    // Runs interleaved 16-bit input (as floats of full scale 32768) through the plugin in calls
    // of the given sizes, the changes applied at their frames, and returns the interleaved output. Every other
    // call hands the same buffer as input and output. countRun, when given, is called around
    // each run() (true before, false after).
    std::vector<float> Run(const std::vector<int16_t>& input, const BlockSizes& sizes,
                             const std::vector<ControlChange>& changes = {},
                             const std::function<void(bool)>& aroundRun = {});

    // The plugin's state through lilv: into a Turtle file in `folder`, and back from it.
    void SaveState(const std::string& folder);
    void RestoreState(const std::string& folder);

    LilvInstance* Instance() const { return instance_; }

private:
    LilvHost& host_;
    const LilvPlugin* plugin_;
    LilvInstance* instance_ = nullptr;
    int channels_ = 1;
    std::vector<float> controls_;
    float latency_ = -1.0f;
    bool madeByLilv_ = true;
};

}  // namespace murmex::test
