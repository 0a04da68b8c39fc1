// The soak run (make soak): many saves in every output format and many Play/Stop cycles of the
// preview in one process, through the load, save and preview code the window and murmex-cli use.
// After a warm-up, resident memory and the thread count must stay flat; the figures are printed.
//
//   soak_run [SAVES [CYCLES]]     (defaults 200 and 200)
#include <stdlib.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "export/export_host.h"
#include "export/save_session.h"
#include "pipeline/main_thread_queue.h"
#include "source/bass.h"
#include "source/decode_block_source.h"
#include "source/preview_display.h"
#include "source/preview_player.h"
#include "source/source_loader.h"
#include "tests/fixtures/fixture_paths.h"
#include "tests/soak/resource_meter.h"

namespace murmex::soak {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using murmex::testing::FixturePath;

// Operations before the baseline sample: first-use allocations of the libraries and our caches.
constexpr int kWarmUp = 20;
// Growth of resident memory from the baseline to the end that still counts as flat.
constexpr long kRssAllowanceKiB = 4096;
constexpr int kSourcesPerPreviewLoad = 40;

const std::vector<std::string> kSources = {"stereo_44100.wav", "tagged_22050_64k.mp3", "comments_44100.ogg",
                                           "tagged_44100.wma", "stereo_44100.flac"};
const std::vector<std::string> kFormats = {"wav", "mp3", "ogg", "wma"};

// Answers Yes, keeps the last error.
class SoakHost : public ExportHost {
public:
    bool Ask(const ExportQuestion&) override { return true; }
    void EnterExportState() override {}
    void LeaveExportState() override {}
    void ShowExportProgress(int) override {}
    void ReportExportError(const std::string& text) override { LastError = text; }
    std::string LastError;
};

// Shows nothing; runs what the preview hands to the window's thread.
class QuietDisplay : public PreviewDisplay {
public:
    void SetLed1(bool) override {}
    void SetPreviewPosition(int) override {}
    void DrawSpectrum(const SpectralEngine&) override {}
    void UpdateDcMeter(SpectralEngine&) override {}
    void DecayDcMeter() override {}
    bool DcMeterAtRest() const override { return true; }
    void StartSpectrumPhase() override {}
    void EnterPreviewState() override {}
    void LeavePreviewState() override {}
    void BlankSpectrum() override {}
    void ProcessMessages() override { MainThreadQueue::Instance().Drain(); }
};

// The parts the window owns for the whole run, wired the same way.
class SoakRig {
public:
    bool Load(const fs::path& path) {
        blocks_.reset();
        const LoadResult result = loader_.Load(path);
        blocks_ = std::make_unique<DecodeBlockSource>(loader_.DecodeStream());
        if (result.Outcome != LoadOutcome::Loaded) std::fprintf(stderr, "soak: %s: not loaded\n", path.c_str());
        return result.Outcome == LoadOutcome::Loaded;
    }

    // One save to `folder`/out.<format>, waited for; the file is removed afterwards.
    bool Save(const fs::path& folder, const std::string& format, bool vbr) {
        settings_.SelectFormat(format);
        settings_.SetVbr(vbr);
        const fs::path output = folder / ("out." + format);
        if (!session_.StartSave(output.string())) {
            std::fprintf(stderr, "soak: %s: the save did not start: %s\n", output.c_str(), host_.LastError.c_str());
            return false;
        }
        MainThreadQueue::Instance().DrainUntil([this] { return !driver_.Exporting(); });
        if (driver_.Outcome() != ExportOutcome::Saved) {
            std::fprintf(stderr, "soak: %s: not saved: %s\n", output.c_str(), host_.LastError.c_str());
            return false;
        }
        std::error_code ec;
        fs::remove(output, ec);
        return true;
    }

    // Play for `playing`, then Stop, and wait until the preview thread has ended.
    bool PlayAndStop(std::chrono::milliseconds playing) {
        PreviewSource source;
        source.DecodeStream = loader_.DecodeStream();
        source.PreviewStream = loader_.PreviewStream();
        source.PreviewQueueLimit = static_cast<uint32_t>(std::max(loader_.PreviewQueueLimit(), 0));
        source.ProgressFactor = loader_.Info().ProgressFactor;
        source.SeekFactor = loader_.Info().SeekFactor;
        source.Blocks = blocks_.get();
        player_.Play(source);
        Serve(playing);
        player_.Stop();
        const auto deadline = std::chrono::steady_clock::now() + 5s;
        while (player_.Running() && std::chrono::steady_clock::now() < deadline)
            MainThreadQueue::Instance().WaitAndDrain(5ms);
        if (player_.Running()) std::fputs("soak: the preview did not stop within 5 s\n", stderr);
        return !player_.Running();
    }

private:
    static void Serve(std::chrono::milliseconds time) {
        const auto until = std::chrono::steady_clock::now() + time;
        while (std::chrono::steady_clock::now() < until) MainThreadQueue::Instance().WaitAndDrain(2ms);
    }

    SoakHost host_;
    SaveSession session_{host_};
    SourceLoader& loader_ = session_.Loader;
    OutputSettings& settings_ = session_.Settings;
    ExportDriver& driver_ = session_.Driver;
    SpectralEngine& engine_ = session_.Engine;
    QuietDisplay display_;
    PreviewPlayer player_{engine_, display_};
    std::unique_ptr<DecodeBlockSource> blocks_;
};

// A thread that has just ended may linger in the process's task list for a moment: a sample
// above the first baseline is taken again for up to 100 ms (the very first, three times), so
// that only a lasting extra thread counts.
void RecordIn(ResourceTrack& phase, ResourceTrack& overall) {
    ResourceSample sample = SampleResources();
    const int expected = overall.StartThreads();
    for (int i = 0; i < (expected > 0 ? 20 : 3) && (expected == 0 || sample.Threads > expected); ++i) {
        std::this_thread::sleep_for(5ms);
        const ResourceSample again = SampleResources();
        if (again.Threads <= sample.Threads) sample = again;
    }
    phase.Record(sample);
    overall.Record(sample);
}

// Every source in every output format in turn, VBR on for every other round of formats.
bool SoakSaves(SoakRig& rig, int saves, const fs::path& folder, ResourceTrack& track, ResourceTrack& overall) {
    for (int i = 0; i < saves; ++i) {
        const std::string& source = kSources[static_cast<size_t>(i) % kSources.size()];
        const std::string& format = kFormats[static_cast<size_t>(i) % kFormats.size()];
        if (!rig.Load(FixturePath(source)) || !rig.Save(folder, format, (i / 4) % 2 == 1)) return false;
        if (i >= kWarmUp) RecordIn(track, overall);
    }
    return true;
}

// Play/Stop of varying lengths, another source every few dozen cycles.
bool SoakPreview(SoakRig& rig, int cycles, ResourceTrack& track, ResourceTrack& overall) {
    for (int i = 0; i < cycles; ++i) {
        if (i % kSourcesPerPreviewLoad == 0 &&
            !rig.Load(FixturePath(kSources[static_cast<size_t>(i / kSourcesPerPreviewLoad) % kSources.size()])))
            return false;
        if (!rig.PlayAndStop(std::chrono::milliseconds(10 + (i * 7) % 50))) return false;
        if (i >= kWarmUp) RecordIn(track, overall);
    }
    return true;
}

int Run(int saves, int cycles) {
    std::string pattern = (fs::temp_directory_path() / "murmex-soak-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        std::perror(pattern.c_str());
        return 1;
    }
    const fs::path folder = pattern;
    const auto began = std::chrono::steady_clock::now();
    ResourceTrack saveTrack("saves");
    ResourceTrack previewTrack("preview");
    ResourceTrack overall("overall");
    bool completed = false;
    {
        SoakRig rig;
        completed = SoakSaves(rig, saves, folder, saveTrack, overall) &&
                    SoakPreview(rig, cycles, previewTrack, overall);
    }
    std::error_code ec;
    fs::remove_all(folder, ec);

    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
    std::printf("soak: %d saves (wav/mp3/ogg/wma from WAV, MP3, Ogg, WMA and FLAC sources) and %d Play/Stop "
                "cycles in %.1f s; baseline after %d of each\n",
                saves, cycles, seconds, kWarmUp);
    saveTrack.Print(stdout);
    previewTrack.Print(stdout);
    overall.Print(stdout);
    const bool flat = saveTrack.Flat(kRssAllowanceKiB) && previewTrack.Flat(kRssAllowanceKiB) &&
                      overall.Flat(kRssAllowanceKiB);
    std::printf("soak: %s (allowance %ld KiB of RSS growth, no added threads or open files)\n",
                !completed ? "FAILED: an operation failed" : flat ? "flat" : "FAILED: not flat", kRssAllowanceKiB);
    return completed && flat ? 0 : 1;
}

}  // namespace
}  // namespace murmex::soak

int main(int argc, char** argv) {
    using namespace murmex;
    const int saves = argc > 1 ? std::atoi(argv[1]) : 200;
    const int cycles = argc > 2 ? std::atoi(argv[2]) : 200;
    if (saves <= soak::kWarmUp || cycles <= soak::kWarmUp) {
        std::fprintf(stderr, "usage: soak_run [SAVES [CYCLES]], each above %d\n", soak::kWarmUp);
        return 2;
    }
    // Silent and paced in real time: no sound card needed.
    ::setenv("SDL_AUDIODRIVER", "dummy", 0);
    MainThreadQueue::Instance().BindToCurrentThread();
    if (!BASS_Init(-1, 44100, 0, nullptr, nullptr) || !BASS_Start()) {
        std::fputs("soak: the audio library could not be started\n", stderr);
        return 1;
    }
    const int status = soak::Run(saves, cycles);
    BASS_Free();
    return status;
}
