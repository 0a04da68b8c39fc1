#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <optional>
#include <string>

#include "engine/spectral_engine.h"
#include "export/aligned_framing.h"
#include "export/atomic_save_file.h"
#include "export/early_end_check.h"
#include "export/export_host.h"
#include "export/export_writers.h"
#include "export/noise_print.h"
#include "pipeline/file_state.h"
#include "export/output_settings.h"
#include "export/save_mode.h"
#include "source/bass.h"
#include "source/source_info.h"
#include "source/source_tags.h"

namespace murmex {

// How the last save ended.
enum class ExportOutcome {
    None,             // no save yet, or the checks refused it
    Running,
    Saved,            // the whole source is in the file
    Cancelled,        // stopped by Cancel: a valid, shorter file
    SourceEndedEarly, // the source was shorter than at load: a valid, shorter file
    Failed,           // the file could not be written, finished, or kept at its path
};

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
        const SourceTags& Tags;  // the loaded source's; never changed by a save
        ExportHost& Host;
    };

    static constexpr const char* DenoisedComment = "Denoised by Tarlo Murmex";

    explicit ExportDriver(Parts parts);
    ~ExportDriver();
    ExportDriver(const ExportDriver&) = delete;
    ExportDriver& operator=(const ExportDriver&) = delete;

    // Everything of the save command after the dialog returned `chosenName`, in the current
    // save mode. False when a check refused it or the writer could not start (its error then
    // went to the host). Every error the host is given names the file and the reason.
    bool SaveAs(const std::string& chosenName, const SourceInfo& source, HSTREAM decodeStream);

    // Applies to the saves that follow; set it while no save runs.
    void SetSaveMode(const SaveMode& mode) { saveMode_ = mode; }
    const SaveMode& Mode() const { return saveMode_; }
    // Threads a stereo save's engine may use (1 or 2), for the saves that follow: 2 where a core
    // would otherwise stay idle. A preview keeps to one thread whatever this says.
    void SetChannelThreads(int threads) { channelThreads_ = threads; }

    // "Cancel": the worker ends the export after the block it is on.
    void Cancel() { exportCancelled_ = true; }
    // Where a cancelled save's valid, shorter file goes: false (the default) keeps it under the
    // chosen name unless a file stood there (that one stays whole), true always puts it at
    // PartialPathFor(name), so that nothing takes it for finished. Main thread, at any time
    // before the save ends.
    void SetPartialOnCancel(bool partial) { partialOnCancel_ = partial; }

    bool Exporting() const { return exporting_; }
    const std::string& OutputFileName() const { return outputFileName_; }
    // The file the writer is writing while a save runs: a new file beside the output, renamed
    // to it once complete. Empty before a save and once the save has ended.
    const std::string& ScratchFileName() const { return scratch_.ScratchPath(); }
    // Where the last save's file stands once it has ended: the output name, its partial name
    // (SetPartialOnCancel) or empty when the save kept no file.
    const std::string& KeptFileName() const { return keptFileName_; }
    // The folder of the last save that left a valid file; empty before the first.
    const std::string& LastSaveFolder() const { return lastSaveFolder_; }
    ExportOutcome Outcome() const { return outcome_; }
    // The sample rate the last file was written at when the writer resampled the source to
    // fit its format; 0 when it kept the source's rate.
    unsigned ResampledTo() const;
    // The writer of the current (or last) export; nullptr before the first.
    TAuOutput* ChosenWriter() const { return chosenWriter_; }
    // Bytes decoded by the current (or last) export; read it once the export has ended.
    int64_t DecodedTotal() const { return decodedTotal_; }

    // Worker thread: Mem2's refill handler. Each refill hands the writer a batch of blocks,
    // so that it writes in large pieces and the pipeline's per-refill work is shared by many
    // blocks.
    void Mem2BufferDone(TMemoryIn& sender);
    static constexpr int kBatchBlocks = SpectralEngine::kMaxBatchBlocks;
    static constexpr int kBatchBytes = kBatchBlocks * SpectralEngine::kBlockBytes;
    // Main thread: the MP3 writer has closed the scratch file; writes its ID3v1 tag: the source's
    // tag when it had one, else a title from the output name. False when it could not be written.
    bool MP3Out1Done();

private:
    // Main thread, OnDone of every writer: the writer is idle, so the controls may come back.
    void WriterDone(TAuOutput& sender);
    ExportOutcome FinishSave(TAuOutput& writer);
    // The scratch file still stands at its path and is the one the writer opened.
    bool ScratchStillInPlace() const;
    // Puts the finished (or cancelled) file in place; false when that failed (reported).
    bool KeepFile(TAuOutput& writer, ExportOutcome outcome);
    void ReportFailure(const std::string& reason);
    void LeaveExportState();
    void ReportProgress();
    // Worker thread, before the first block is written: the save mode's learning pass. False
    // when it was cancelled or failed (learnError_ then says why).
    bool LearnNoiseFirst();
    // Worker thread: processes blocks into the batch until it is full, the source has ended or
    // Cancel was pressed (then batchEnded_ is set); returns the bytes to write.
    int FillBatch();
    // FillBatch for aligned output, whose framing decides block by block what is written.
    int FillBatchAligned();
    // Worker thread: decodes, cleans and progresses one block of aligned output (more while the
    // framing drops the engine's latency); returns the bytes of OutputBlock to write, 0 at the end.
    int ProduceAlignedBlock();

    Parts parts_;
    SaveMode saveMode_;
    int channelThreads_ = 1;
    HSTREAM decodeStream_ = 0;
    TAuOutput* chosenWriter_ = nullptr;
    std::string outputFileName_;
    AtomicSaveFile scratch_;
    std::string keptFileName_;
    bool partialOnCancel_ = false;
    // The output's name was taken when the save began and the user agreed to replace it.
    bool mayReplace_ = false;
    std::string lastSaveFolder_;
    ExportOutcome outcome_ = ExportOutcome::None;
    std::optional<EarlyEndCheck> earlyEnd_;
    int64_t sourceSampleRate_ = 0;
    // The scratch file the writer opened (recorded on the worker at the first refill, read on
    // the main thread once the writer is idle).
    FileState outputOpened_;
    bool outputOpenedKnown_ = false;
    bool stoppedByCancel_ = false;
    std::atomic<bool> exporting_{false};
    std::atomic<bool> exportCancelled_{false};
    int64_t decodedTotal_ = 0;
    // Source bytes the learning pass went through; with decodedTotal_, the progress bar's count.
    int64_t learntBytes_ = 0;
    float progressScale_ = 0.0f;
    std::optional<ByteRange> learnRange_;  // set until the learning pass has run
    std::string learnError_;
    std::optional<AlignedFraming> aligned_;
    std::atomic<int> lastProgressShown_{0};
    // What Mem2 serves: the engine's output blocks of one refill, one after another.
    std::array<int16_t, kBatchBlocks * SpectralEngine::kBlockSamples> batch_{};
    // The blocks of one refill as read, and as processed, for SpectralEngine::ProcessBlocks.
    std::array<int16_t, kBatchBlocks * SpectralEngine::kBlockSamples> batchInput_{};
    std::array<int16_t, kBatchBlocks * SpectralEngine::kBlockSamples> batchOutput_{};
    bool batchEnded_ = false;
};

}  // namespace murmex
