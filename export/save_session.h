#pragma once

#include <string>

#include "engine/processing_options.h"
#include "engine/spectral_engine.h"
#include "export/export_driver.h"
#include "export/export_host.h"
#include "export/export_writers.h"
#include "export/output_settings.h"
#include "source/source_loader.h"

namespace murmex {

// The objects behind one loaded source and its saves, wired as the window wires them: the
// processing options feed the engine, the loader fills the output settings and the tags, the
// driver saves through the writers and tells `host` what happens. Everything that loads and
// saves without the window (murmex-cli's workers, tests, the soak run) starts from this.
struct SaveSession {
    explicit SaveSession(ExportHost& host) : Driver{{Engine, Settings, Writers, Loader.Tags(), host}} {}

    // The save command after the dialog returned `name`, for the loaded source. False when a
    // check refused it or the writer could not start (the host was told why).
    bool StartSave(const std::string& name) { return Driver.SaveAs(name, Loader.Info(), Loader.DecodeStream()); }

    ProcessingOptions Options;
    SpectralEngine Engine{Options};
    OutputSettings Settings;
    SourceLoader Loader{Engine, Settings};
    ExportWriters Writers;
    ExportDriver Driver;
};

}  // namespace murmex
