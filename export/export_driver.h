#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "engine/spectral_engine.h"
#include "export/export_host.h"
#include "export/export_writers.h"
#include "export/output_settings.h"
#include "source/bass.h"
#include "source/source_info.h"
#include "source/source_tags.h"

namespace murmex {

// The save command from the moment the dialog has returned a name: checks, engine reset,
// writer set-up and start; then, on the writer's worker thread, one engine block per refill of
// Mem2 until the source ends or Cancel is pressed; finally, on the main thread once the writer
// is idle, the MP3 tag and the restored controls.
class ExportDriver {
public:
    struct Parts {
        SpectralEngine& Engine;
        OutputSettings& Settings;
        ExportWriters& Writers;
        SourceTags& Tags;  // the loaded source's; the MP3 completion writes Tags.Id3v1
        ExportHost& Host;
    };

    static constexpr const char* DenoisedComment = "Denoised by Tarlo Murmex";

    explicit ExportDriver(Parts parts);
    ~ExportDriver();
    ExportDriver(const ExportDriver&) = delete;
    ExportDriver& operator=(const ExportDriver&) = delete;

    // Everything of the save command after the dialog returned `chosenName`. False when a
    // check refused it or the writer could not start (its error then went to the host).
    bool SaveAs(const std::string& chosenName, const SourceInfo& source, HSTREAM decodeStream);

    // "Cancel": the worker ends the export after the block it is on.
    void Cancel() { exportCancelled_ = true; }

    bool Exporting() const { return exporting_; }
    const std::string& OutputFileName() const { return outputFileName_; }
    const std::string& LastSaveFolder() const { return lastSaveFolder_; }
    // The writer of the current (or last) export; nullptr before the first.
    TAuOutput* ChosenWriter() const { return chosenWriter_; }
    // Bytes decoded by the current (or last) export; read it once the export has ended.
    int64_t DecodedTotal() const { return decodedTotal_; }

    // Worker thread: decodes, cleans and progresses one block; returns the bytes decoded.
    int ProduceExportBlock();
    // Worker thread: Mem2's refill handler.
    void Mem2BufferDone(TMemoryIn& sender);
    // Main thread: the MP3 writer has closed the file; writes its ID3v1 tag. False when the
    // tag could not be written.
    bool MP3Out1Done();

private:
    // Main thread, OnDone of every writer: the writer is idle, so the controls may come back.
    void WriterDone(TAuOutput& sender);
    void LeaveExportState();
    void ReportProgress();

    Parts parts_;
    HSTREAM decodeStream_ = 0;
    TAuOutput* chosenWriter_ = nullptr;
    std::string outputFileName_;
    std::string lastSaveFolder_;
    std::atomic<bool> exporting_{false};
    std::atomic<bool> exportCancelled_{false};
    int64_t decodedTotal_ = 0;
    float progressScale_ = 0.0f;
    std::atomic<int> lastProgressShown_{0};
};

}  // namespace murmex
