#pragma once
// A save command wired like the window's: engine, output settings, loader, writers, driver,
// and a host that records what the save showed.

#include <gtest/gtest.h>

#include <filesystem>
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
#include "tests/export/wav_test_files.h"

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
    void ShowExportProgress(int perMille) override {
        Progress.push_back(perMille);
        if (OnProgress && Progress.size() == 1) OnProgress();
    }
    void ReportExportError(const std::string& text) override { Errors.push_back(text); }

    bool Answer = true;
    std::function<void()> OnEnter;
    std::function<void()> OnProgress;  // at the first progress shown: the writer has its file open
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
        const LoadResult result = Loader.Load(path);
        ASSERT_EQ(result.Outcome, LoadOutcome::Loaded) << path;
    }
    // The save command after the dialog returned `name`; waits until the controls are back.
    bool Save(const std::string& name) {
        if (!Driver.SaveAs(name, Loader.Info(), Loader.DecodeStream())) return false;
        MainThreadQueue::Instance().DrainUntil([this] { return !Driver.Exporting(); });
        return true;
    }
};

}  // namespace murmex::testing
