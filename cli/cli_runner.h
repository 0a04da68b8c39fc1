#pragma once

#include <cstdio>
#include <string>

#include "cli/cli_host.h"
#include "cli/cli_options.h"
#include "cli/output_namer.h"
#include "engine/processing_options.h"
#include "engine/spectral_engine.h"
#include "export/export_driver.h"
#include "export/export_writers.h"
#include "export/output_settings.h"
#include "source/source_loader.h"

namespace murmex {

// Runs murmex-cli's work on the window's own load and save code: each input is loaded, then
// either described (--info) or saved, one after the other. The audio library must be
// initialised (without output) and the main-thread queue bound to the calling thread.
class CliRunner {
public:
    explicit CliRunner(const CliOptions& options, std::FILE* out = stdout, std::FILE* err = stderr);
    // The exit status: 0 when every input was handled, 1 when any failed.
    int Run();

private:
    enum class Outcome { Done, Failed, Cancelled };

    Outcome ProcessInput(const std::string& input);
    bool LoadInput(const std::string& input);
    void PrintInfo(const std::string& input);
    void ApplyOutputChoice();
    std::string OutputNameFor(const std::string& input);
    Outcome SaveInput(const std::string& input);
    void ReportResampling(const std::string& output);
    void Error(const std::string& subject, const std::string& text);

    const CliOptions& options_;
    std::FILE* out_;
    std::FILE* err_;
    ProcessingOptions processing_;
    SpectralEngine engine_{processing_};
    OutputSettings settings_;
    SourceLoader loader_{engine_, settings_};
    ExportWriters writers_;
    CliHost host_;
    ExportDriver driver_{{engine_, settings_, writers_, loader_.Tags(), host_}};
    OutputNamer namer_;
};

}  // namespace murmex
