#include "plugin_host.h"

#include <algorithm>
#include <random>
#include <sstream>
#include <stdexcept>

#include <lv2/atom/atom.h>

#include "../engine/engine_test_support.h"
#include "plugin/plugin_ports.h"

namespace murmex::test {

LilvHost::LilvHost() : world_(lilv_world_new()) {
    lilv_world_load_all(world_);
    map_ = {this, [](LV2_URID_Map_Handle h, const char* uri) {
                auto& host = *static_cast<LilvHost*>(h);
                std::lock_guard lock(host.mutex_);
                const auto [at, added] = host.ids_.emplace(uri, static_cast<LV2_URID>(host.uris_.size() + 1));
                if (added) host.uris_.emplace_back(uri);
                return at->second;
            }};
    unmap_ = {this, [](LV2_URID_Unmap_Handle h, LV2_URID id) {
                  auto& host = *static_cast<LilvHost*>(h);
                  std::lock_guard lock(host.mutex_);
                  return id >= 1 && id <= host.uris_.size() ? host.uris_[id - 1].c_str() : nullptr;
              }};
}

const LilvPlugin* LilvHost::Plugin(const char* uri) const {
    LilvNode* node = lilv_new_uri(world_, uri);
    const LilvPlugin* plugin = lilv_plugins_get_by_uri(lilv_world_get_all_plugins(world_), node);
    lilv_node_free(node);
    if (plugin == nullptr) throw std::runtime_error(std::string("no plugin ") + uri + " on LV2_PATH");
    return plugin;
}

HostedPlugin::HostedPlugin(LilvHost& host, const char* uri) : host_(host), plugin_(host.Plugin(uri)) {
    LilvNode* audio = lilv_new_uri(host.World(), LILV_URI_AUDIO_PORT);
    LilvNode* input = lilv_new_uri(host.World(), LILV_URI_INPUT_PORT);
    channels_ = static_cast<int>(lilv_plugin_get_num_ports_of_class(plugin_, audio, input, nullptr));
    lilv_node_free(audio);
    lilv_node_free(input);
    controls_.resize(lilv_plugin_get_num_ports(plugin_));
    lilv_plugin_get_port_ranges_float(plugin_, nullptr, nullptr, controls_.data());
    instance_ = lilv_plugin_instantiate(plugin_, kTestRate, host.Features());
    if (instance_ == nullptr) throw std::runtime_error(std::string("could not instantiate ") + uri);
    lilv_instance_activate(instance_);
}

HostedPlugin::HostedPlugin(const HostedPlugin& loaded)
    : host_(loaded.host_), plugin_(loaded.plugin_), madeByLilv_(false), channels_(loaded.channels_),
      controls_(loaded.controls_) {
    const LV2_Descriptor* descriptor = loaded.instance_->lv2_descriptor;
    instance_ = new LilvInstance{descriptor, descriptor->instantiate(descriptor, kTestRate, "", host_.Features()), nullptr};
    if (instance_->lv2_handle == nullptr) throw std::runtime_error("could not instantiate a second instance");
    lilv_instance_activate(instance_);
}

HostedPlugin::~HostedPlugin() {
    lilv_instance_deactivate(instance_);
    if (madeByLilv_) {
        lilv_instance_free(instance_);
        return;
    }
    instance_->lv2_descriptor->cleanup(instance_->lv2_handle);
    delete instance_;
}

std::vector<float> HostedPlugin::Run(const std::vector<int16_t>& input, unsigned seed,
                                     const std::vector<ControlChange>& changes, const std::function<void(bool)>& aroundRun) {
    // A third of the calls tiny (0..16 frames), the rest anywhere up to 8192.
    std::mt19937 rng(seed);
    auto nextSize = [&]() -> uint64_t {
        if (seed == 0) return 1024;
        return rng() % 3 == 0 ? rng() % 17 : 1 + rng() % 8192;
    };
    const auto channels = static_cast<size_t>(channels_);
    const uint64_t frames = input.size() / channels;
    std::vector<std::vector<float>> in(channels, std::vector<float>(8192)), out = in;
    std::vector<float> output(input.size());
    size_t next = 0;
    for (uint64_t at = 0, call = 0; at < frames; ++call) {
        for (; next < changes.size() && changes[next].frame <= at; ++next) controls_[changes[next].port] = changes[next].value;
        uint64_t n = std::min(nextSize(), frames - at);
        if (next < changes.size()) n = std::min(n, changes[next].frame - at);
        std::vector<std::vector<float>>& results = call % 2 == 1 ? in : out;
        for (size_t c = 0; c < channels; ++c) {
            for (uint64_t i = 0; i < n; ++i) in[c][i] = input[(at + i) * channels + c] / 32768.0f;
            lilv_instance_connect_port(instance_, kFirstAudioPort + c, in[c].data());
            lilv_instance_connect_port(instance_, kFirstAudioPort + channels + c, results[c].data());
        }
        for (uint32_t p = 0; p < kPortLatency; ++p) lilv_instance_connect_port(instance_, p, &controls_[p]);
        lilv_instance_connect_port(instance_, kPortLatency, &latency_);
        if (aroundRun) aroundRun(true);
        lilv_instance_run(instance_, static_cast<uint32_t>(n));
        if (aroundRun) aroundRun(false);
        for (size_t c = 0; c < channels; ++c) {
            for (uint64_t i = 0; i < n; ++i) output[(at + i) * channels + c] = results[c][i];
        }
        at += n;
    }
    return output;
}

void HostedPlugin::SaveState(const std::string& folder) {
    // Port values are the host's business; the state holds what the plugin stores itself.
    LilvState* state = lilv_state_new_from_instance(plugin_, instance_, host_.Map(), nullptr, nullptr, nullptr,
                                                    folder.c_str(), nullptr, nullptr, 0, host_.Features());
    if (state == nullptr ||
        lilv_state_save(host_.World(), host_.Map(), host_.Unmap(), state, nullptr, folder.c_str(), "state.ttl") != 0) {
        lilv_state_free(state);
        throw std::runtime_error("lilv could not save the plugin's state in " + folder);
    }
    lilv_state_free(state);
}

void HostedPlugin::RestoreState(const std::string& folder) {
    const std::string path = folder + "/state.ttl";
    LilvState* state = lilv_state_new_from_file(host_.World(), host_.Map(), nullptr, path.c_str());
    if (state == nullptr) throw std::runtime_error("lilv could not read " + path);
    // As a host opens a session: the state goes into the instance before it is activated.
    lilv_instance_deactivate(instance_);
    lilv_state_restore(state, instance_, nullptr, nullptr, 0, host_.Features());
    lilv_state_free(state);
    lilv_instance_activate(instance_);
}

LV2_State_Status HostedPlugin::RestoreNoisePrint(const std::vector<uint8_t>& bytes) {
    struct Session {
        const std::vector<uint8_t>& bytes;
        LV2_URID key;
        LV2_URID chunk;
    } session{bytes, host_.Map()->map(host_.Map()->handle, kNoisePrintUri),
              host_.Map()->map(host_.Map()->handle, LV2_ATOM__Chunk)};
    const auto retrieve = [](LV2_State_Handle handle, uint32_t key, size_t* size, uint32_t* type,
                             uint32_t* flags) -> const void* {
        const auto& s = *static_cast<const Session*>(handle);
        if (key != s.key) return nullptr;
        *size = s.bytes.size();
        *type = s.chunk;
        *flags = LV2_STATE_IS_POD;
        return s.bytes.data();
    };
    const auto* state = static_cast<const LV2_State_Interface*>(lilv_instance_get_extension_data(instance_, LV2_STATE__interface));
    if (state == nullptr) throw std::runtime_error("the plugin has no state interface");
    lilv_instance_deactivate(instance_);
    const LV2_State_Status status = state->restore(instance_->lv2_handle, retrieve, &session, 0, host_.Features());
    lilv_instance_activate(instance_);
    return status;
}

std::vector<int16_t> TestSignal(int channels, size_t frames, unsigned seed) {
    const std::vector<double> noise = GaussianNoise(frames * static_cast<size_t>(channels), 600.0, seed);
    return MakeSignal(noise.size(), [&](size_t n) {
        const size_t frame = n / static_cast<size_t>(channels);
        const auto channel = static_cast<double>(n % static_cast<size_t>(channels));
        const bool on = (frame / 22050) % 2 == 1;
        return noise[n] + (on ? Sine(frame, 6000.0, 0.011 + 0.004 * channel) : 0.0) + 150.0 * channel;
    });
}

namespace {

void ApplyControl(const ControlChange& change, ProcessingOptions& options, bool& process) {
    const bool on = change.value > 0.0f;
    const auto position = static_cast<int>(std::lround(change.value));
    switch (change.port) {
        case kPortBias: SetBiasPosition(position, options); break;
        case kPortReduction: SetReductionPosition(position, options); break;
        case kPortApply: process = on; break;
        case kPortMethod: options.Method = MethodAtPosition(position); break;
        case kPortDcOffset: options.DcOffsetCorrection = on; break;
        case kPortDetail: options.DetailAmplifier = on; break;
        case kPortStopEstimation: options.StopNoiseEstimation = on; break;
        case kPortCaptureMinima: options.CaptureMinima = on; break;
        default: throw std::invalid_argument("not an input control port");
    }
}

std::vector<int16_t> RunBlocks(LoadedEngine& loaded, std::vector<int16_t> input, const std::vector<ControlChange>& changes,
                               bool& process) {
    const size_t block = SpectralEngine::kBlockSamples;
    const auto blockFrames = static_cast<uint64_t>(block / static_cast<size_t>(loaded.engine->Channels()));
    input.resize((input.size() + block - 1) / block * block, 0);
    VectorSource source(input);
    std::vector<int16_t> output;
    size_t next = 0;
    for (uint64_t b = 0; b < input.size() / block; ++b) {
        for (; next < changes.size() && changes[next].frame < (b + 1) * blockFrames; ++next) {
            ApplyControl(changes[next], loaded.options, process);
        }
        RunBlockContract(*loaded.engine, source, process);
        output.insert(output.end(), loaded.engine->OutputBlock().begin(), loaded.engine->OutputBlock().end());
    }
    return output;
}

}  // namespace

std::vector<int16_t> EngineOutput(int channels, const std::vector<int16_t>& input, const std::vector<ControlChange>& changes,
                                  const std::vector<int16_t>& learn, const std::vector<ControlChange>& learnChanges) {
    LoadedEngine loaded(channels);
    // The plugin starts with the Method port's default.
    loaded.options.Method = kDefaultMethod;
    loaded.engine->SetSampleRate(static_cast<int>(kTestRate));
    bool process = true;
    if (!learn.empty()) {
        RunBlocks(loaded, learn, learnChanges, process);
        loaded.engine->PrepareEngineKeepingNoise();
    }
    return RunBlocks(loaded, input, changes, process);
}

size_t CountMismatches(const std::vector<float>& plugin, const std::vector<int16_t>& engine, std::string& where) {
    const size_t lead = SpectralEngine::kBlockSamples;
    size_t mismatches = 0;
    for (size_t n = 0; n < plugin.size(); ++n) {
        const float expected = n < lead ? 0.0f : n - lead < engine.size() ? engine[n - lead] / 32768.0f : NAN;
        if (plugin[n] == expected || mismatches++ > 0) continue;
        std::ostringstream text;
        text << "sample " << n << ": plugin " << plugin[n] * 32768.0f << ", engine " << expected * 32768.0f;
        where = text.str();
    }
    return mismatches;
}

}  // namespace murmex::test
