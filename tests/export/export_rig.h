#pragma once
// A save command wired like the window's: engine, output settings, loader, writers, driver,
// and a host that records what the save showed. Also small WAV helpers for the tests.

#include <gtest/gtest.h>

#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "engine/processing_options.h"
#include "engine/spectral_engine.h"
#include "export/export_driver.h"
#include "export/export_writers.h"
#include "export/output_settings.h"
#include "pipeline/main_thread_queue.h"
#include "source/source_loader.h"

namespace murmex::testing {

class RecordingHost : public ExportHost {
public:
    bool Ask(const ExportQuestion& q) override {
        Asked.push_back(q);
        return Answer;
    }
    void EnterExportState() override {
        ++Entered;
        if (OnEnter) OnEnter();
    }
    void LeaveExportState() override { ++Left; }
    void ShowExportProgress(int perMille) override { Progress.push_back(perMille); }
    void ReportExportError(const std::string& text) override { Errors.push_back(text); }

    bool Answer = true;
    std::function<void()> OnEnter;
    std::vector<ExportQuestion> Asked;
    std::vector<int> Progress;
    std::vector<std::string> Errors;
    int Entered = 0;
    int Left = 0;
};

struct ExportRig {
    ProcessingOptions Options;
    SpectralEngine Engine{Options};
    OutputSettings Settings;
    SourceLoader Loader{Engine, Settings};
    ExportWriters Writers;
    RecordingHost Host;
    ExportDriver Driver{{Engine, Settings, Writers, Loader.Tags(), Host}};

    void Load(const std::filesystem::path& path) {
        const LoadResult result = Loader.SpeedButton1Click(path);
        ASSERT_EQ(result.Outcome, LoadOutcome::Loaded) << path;
    }
    // The save command after the dialog returned `name`; waits until the controls are back.
    bool Save(const std::string& name) {
        if (!Driver.SaveAs(name, Loader.Info(), Loader.DecodeStream())) return false;
        MainThreadQueue::Instance().DrainUntil([this] { return !Driver.Exporting(); });
        return true;
    }
};

// Interleaved 16-bit samples: a tone per channel plus deterministic broadband noise.
inline std::vector<int16_t> NoisyTone(size_t frames, int channels, uint32_t seed = 1) {
    std::vector<int16_t> samples(frames * static_cast<size_t>(channels));
    uint32_t state = seed;
    for (size_t i = 0; i < samples.size(); ++i) {
        state = state * 1664525u + 1013904223u;
        const double noise = static_cast<double>(static_cast<int32_t>(state >> 16) - 32768) * 0.05;
        const double tone = 6000.0 * std::sin(static_cast<double>(i / static_cast<size_t>(channels)) * 0.0627 *
                                              static_cast<double>(1 + i % static_cast<size_t>(channels)));
        samples[i] = static_cast<int16_t>(tone + noise);
    }
    return samples;
}

inline void PutLe(std::ofstream& out, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out.put(static_cast<char>((value >> (8 * i)) & 0xFF));
}

inline void WriteWav(const std::filesystem::path& path, const std::vector<int16_t>& samples, uint32_t rate,
                     uint16_t channels) {
    std::ofstream out(path, std::ios::binary);
    const uint32_t dataBytes = static_cast<uint32_t>(samples.size() * 2);
    out.write("RIFF", 4);
    PutLe(out, 36 + dataBytes, 4);
    out.write("WAVEfmt ", 8);
    PutLe(out, 16, 4);
    PutLe(out, 1, 2);
    PutLe(out, channels, 2);
    PutLe(out, rate, 4);
    PutLe(out, rate * channels * 2u, 4);
    PutLe(out, channels * 2u, 2);
    PutLe(out, 16, 2);
    out.write("data", 4);
    PutLe(out, dataBytes, 4);
    out.write(reinterpret_cast<const char*>(samples.data()), dataBytes);
    ASSERT_TRUE(out.good());
}

inline std::vector<uint8_t> ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline uint32_t GetLe32(const std::vector<uint8_t>& bytes, size_t at) {
    return bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16 | static_cast<uint32_t>(bytes[at + 3]) << 24;
}

// A temporary folder per test, removed afterwards.
class TempFolder {
public:
    TempFolder() {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        path_ = std::filesystem::temp_directory_path() /
                ("murmex-" + std::string(info->test_suite_name()) + "-" + info->name() + "-" +
                 std::to_string(::getpid()));
        std::filesystem::remove_all(path_);
        std::filesystem::create_directories(path_);
    }
    ~TempFolder() { std::filesystem::remove_all(path_); }
    const std::filesystem::path& path() const { return path_; }
    std::string operator/(const std::string& name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

}  // namespace murmex::testing
