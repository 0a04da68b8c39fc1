#pragma once
// A save session wired like the window's, and a host that records what the save showed.

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "export/save_session.h"
#include "pipeline/main_thread_queue.h"
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
    RecordingHost Host;
    SaveSession Session{Host};
    ProcessingOptions& Options = Session.Options;
    SpectralEngine& Engine = Session.Engine;
    OutputSettings& Settings = Session.Settings;
    SourceLoader& Loader = Session.Loader;
    ExportWriters& Writers = Session.Writers;
    ExportDriver& Driver = Session.Driver;

    void Load(const std::filesystem::path& path) {
        const LoadResult result = Loader.Load(path);
        ASSERT_EQ(result.Outcome, LoadOutcome::Loaded) << path;
    }
    // The save command after the dialog returned `name`; waits until the controls are back.
    bool Save(const std::string& name) {
        if (!Session.StartSave(name)) return false;
        MainThreadQueue::Instance().DrainUntil([this] { return !Driver.Exporting(); });
        return true;
    }
};

}  // namespace murmex::testing
