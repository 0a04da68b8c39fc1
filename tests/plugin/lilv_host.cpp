#include "lilv_host.h"

#include <algorithm>
#include <random>
#include <stdexcept>

#include <lv2/atom/atom.h>

#include "plugin/plugin_ports.h"

namespace murmex::test {

namespace {

constexpr uint32_t kMaxBlock = 8192;

struct PortValues {
    const LilvPlugin* plugin;
    LilvWorld* world;
    std::vector<float>* controls;
    LV2_URID floatType;
};

uint32_t PortIndex(const PortValues& values, const char* symbol) {
    LilvNode* node = lilv_new_string(values.world, symbol);
    const LilvPort* port = lilv_plugin_get_port_by_symbol(values.plugin, node);
    lilv_node_free(node);
    return port != nullptr ? lilv_port_get_index(values.plugin, port) : UINT32_MAX;
}

const void* GetPortValue(const char* symbol, void* data, uint32_t* size, uint32_t* type) {
    auto& values = *static_cast<PortValues*>(data);
    const uint32_t index = PortIndex(values, symbol);
    if (index >= kPortLatency) return nullptr;
    *size = sizeof(float);
    *type = values.floatType;
    return &(*values.controls)[index];
}

void SetPortValue(const char* symbol, void* data, const void* value, uint32_t size, uint32_t type) {
    auto& values = *static_cast<PortValues*>(data);
    const uint32_t index = PortIndex(values, symbol);
    if (index < kPortLatency && size == sizeof(float) && type == values.floatType) {
        (*values.controls)[index] = *static_cast<const float*>(value);
    }
}

}  // namespace

BlockSizes FixedBlocks(uint32_t frames) {
    return [frames] { return frames; };
}

BlockSizes RandomBlocks(unsigned seed) {
    auto rng = std::make_shared<std::mt19937>(seed);
    return [rng] {
        // A third tiny (0..16 frames, empty calls among them), the rest anywhere up to the limit.
        std::uniform_int_distribution<int> kind(0, 2);
        std::uniform_int_distribution<uint32_t> tiny(0, 16);
        std::uniform_int_distribution<uint32_t> any(1, kMaxBlock);
        return kind(*rng) == 0 ? tiny(*rng) : any(*rng);
    };
}

LilvHost::LilvHost() : world_(lilv_world_new()) { lilv_world_load_all(world_); }

LilvHost::~LilvHost() { lilv_world_free(world_); }

const LilvPlugin* LilvHost::Plugin(const char* uri) const {
    LilvNode* node = lilv_new_uri(world_, uri);
    const LilvPlugin* plugin = lilv_plugins_get_by_uri(lilv_world_get_all_plugins(world_), node);
    lilv_node_free(node);
    return plugin;
}

LV2_URID LilvHost::MapUri(LV2_URID_Map_Handle handle, const char* uri) {
    auto& host = *static_cast<LilvHost*>(handle);
    std::lock_guard lock(host.uridMutex_);
    const auto [at, added] = host.ids_.emplace(uri, static_cast<LV2_URID>(host.uris_.size() + 1));
    if (added) host.uris_.emplace_back(uri);
    return at->second;
}

const char* LilvHost::UnmapUri(LV2_URID_Unmap_Handle handle, LV2_URID urid) {
    auto& host = *static_cast<LilvHost*>(handle);
    std::lock_guard lock(host.uridMutex_);
    return urid >= 1 && urid <= host.uris_.size() ? host.uris_[urid - 1].c_str() : nullptr;
}

HostedPlugin::HostedPlugin(LilvHost& host, const char* uri, double sampleRate)
    : host_(host), plugin_(host.Plugin(uri)) {
    if (plugin_ == nullptr) throw std::runtime_error(std::string("no plugin ") + uri + " on LV2_PATH");
    LilvNode* audio = lilv_new_uri(host.World(), LILV_URI_AUDIO_PORT);
    LilvNode* input = lilv_new_uri(host.World(), LILV_URI_INPUT_PORT);
    channels_ = static_cast<int>(lilv_plugin_get_num_ports_of_class(plugin_, audio, input, nullptr));
    lilv_node_free(audio);
    lilv_node_free(input);
    controls_.resize(kPortLatency);
    std::vector<float> defaults(lilv_plugin_get_num_ports(plugin_));
    lilv_plugin_get_port_ranges_float(plugin_, nullptr, nullptr, defaults.data());
    std::copy_n(defaults.begin(), kPortLatency, controls_.begin());
    instance_ = lilv_plugin_instantiate(plugin_, sampleRate, host.Features());
    if (instance_ == nullptr) throw std::runtime_error(std::string("could not instantiate ") + uri);
    lilv_instance_activate(instance_);
}

HostedPlugin::HostedPlugin(const HostedPlugin& loaded, double sampleRate)
    : host_(loaded.host_), plugin_(loaded.plugin_), channels_(loaded.channels_), controls_(loaded.controls_),
      madeByLilv_(false) {
    const LV2_Descriptor* descriptor = loaded.instance_->lv2_descriptor;
    LV2_Handle handle = descriptor->instantiate(descriptor, sampleRate, "", host_.Features());
    if (handle == nullptr) throw std::runtime_error(std::string("could not instantiate ") + descriptor->URI);
    instance_ = new LilvInstance{descriptor, handle, nullptr};
    lilv_instance_activate(instance_);
}

HostedPlugin::~HostedPlugin() {
    lilv_instance_deactivate(instance_);
    if (madeByLilv_) {
        lilv_instance_free(instance_);
    } else {
        instance_->lv2_descriptor->cleanup(instance_->lv2_handle);
        delete instance_;
    }
}

std::vector<float> HostedPlugin::Run(const std::vector<int16_t>& input, const BlockSizes& sizes,
                                       const std::vector<ControlChange>& changes,
                                       const std::function<void(bool)>& aroundRun) {
    const auto channels = static_cast<size_t>(channels_);
    const uint64_t frames = input.size() / channels;
    std::vector<std::vector<float>> in(channels, std::vector<float>(kMaxBlock));
    std::vector<std::vector<float>> out(channels, std::vector<float>(kMaxBlock));
    std::vector<float> output(frames * channels);
    size_t nextChange = 0;
    uint64_t at = 0;
    for (uint64_t call = 0; at < frames; ++call) {
        while (nextChange < changes.size() && changes[nextChange].frame <= at) {
            controls_[changes[nextChange].port] = changes[nextChange].value;
            ++nextChange;
        }
        uint64_t n = std::min<uint64_t>(sizes(), frames - at);
        if (nextChange < changes.size()) n = std::min(n, changes[nextChange].frame - at);
        const bool inPlace = call % 2 == 1;
        for (size_t c = 0; c < channels; ++c) {
            for (uint64_t i = 0; i < n; ++i) in[c][i] = input[(at + i) * channels + c] / 32768.0f;
            lilv_instance_connect_port(instance_, kFirstAudioPort + c, in[c].data());
            lilv_instance_connect_port(instance_, kFirstAudioPort + channels + c, inPlace ? in[c].data() : out[c].data());
        }
        for (uint32_t p = 0; p < kPortLatency; ++p) lilv_instance_connect_port(instance_, p, &controls_[p]);
        lilv_instance_connect_port(instance_, kPortLatency, &latency_);
        if (aroundRun) aroundRun(true);
        lilv_instance_run(instance_, static_cast<uint32_t>(n));
        if (aroundRun) aroundRun(false);
        for (size_t c = 0; c < channels; ++c) {
            const std::vector<float>& result = inPlace ? in[c] : out[c];
            for (uint64_t i = 0; i < n; ++i) output[(at + i) * channels + c] = result[i];
        }
        at += n;
    }
    return output;
}

void HostedPlugin::SaveState(const std::string& folder) {
    PortValues values{plugin_, host_.World(), &controls_, host_.Map()->map(host_.Map()->handle, LV2_ATOM__Float)};
    LilvState* state = lilv_state_new_from_instance(plugin_, instance_, host_.Map(), nullptr, nullptr, nullptr,
                                                    folder.c_str(), GetPortValue, &values, 0, host_.Features());
    if (state == nullptr) throw std::runtime_error("lilv could not take the plugin's state");
    const int saved = lilv_state_save(host_.World(), host_.Map(), host_.Unmap(), state, nullptr, folder.c_str(), "state.ttl");
    lilv_state_free(state);
    if (saved != 0) throw std::runtime_error("lilv could not save the state in " + folder);
}

void HostedPlugin::RestoreState(const std::string& folder) {
    const std::string path = folder + "/state.ttl";
    LilvState* state = lilv_state_new_from_file(host_.World(), host_.Map(), nullptr, path.c_str());
    if (state == nullptr) throw std::runtime_error("lilv could not read " + path);
    PortValues values{plugin_, host_.World(), &controls_, host_.Map()->map(host_.Map()->handle, LV2_ATOM__Float)};
    lilv_state_restore(state, instance_, SetPortValue, &values, 0, host_.Features());
    lilv_state_free(state);
}

}  // namespace murmex::test
