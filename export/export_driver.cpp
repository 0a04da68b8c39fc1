#include "export/export_driver.h"

#include <cmath>
#include <exception>
#include <filesystem>

#include "engine/block_contract.h"
#include "source/decode_block_source.h"
#include "export/output_path_check.h"
#include "pipeline/au_exception.h"
#include "pipeline/main_thread_queue.h"

namespace murmex {

ExportDriver::ExportDriver(Parts parts) : parts_(parts) {
    parts_.Writers.Mem2.OnBufferDone = [this](TMemoryIn& sender) { Mem2BufferDone(sender); };
    for (TAuOutput* writer : parts_.Writers.All()) {
        writer->OnDone = [this](TAuOutput& sender) { WriterDone(sender); };
    }
}

ExportDriver::~ExportDriver() {
    parts_.Writers.Mem2.OnBufferDone = nullptr;
    for (TAuOutput* writer : parts_.Writers.All()) writer->OnDone = nullptr;
}

bool ExportDriver::SaveAs(const std::string& chosenName, const SourceInfo& source, HSTREAM decodeStream) {
    if (exporting_) return false;
    const std::string format = parts_.Settings.FormatExtension();
    const std::string outputPath = OutputPathFor(chosenName, format);
    if (!CheckOutputPath(outputPath, source.SourcePath, parts_.Host)) return false;
    outputFileName_ = outputPath;

    exportCancelled_ = false;
    exporting_ = true;
    lastSaveFolder_ = std::filesystem::path(outputPath).parent_path().string();
    decodeStream_ = decodeStream;

    SpectralEngine& engine = parts_.Engine;
    engine.PrepareEngine();
    engine.BuildAnalysisWindow();
    engine.BuildSmoothingKernel();

    // A source of length 0 would make the scale infinite; no data flows from it anyway.
    progressScale_ = source.LengthBytes > 0 ? 1.0f / (static_cast<float>(source.LengthBytes) * 0.001f) : 0.0f;
    decodedTotal_ = 0;

    parts_.Host.EnterExportState();
    try {
        // Starting anywhere but at the beginning would silently drop the head of the audio.
        if (!BASS_ChannelSetPosition(decodeStream_, 0, BASS_POS_BYTE)) {
            throw EAuException("The source could not be rewound to its start.");
        }
        TAuOutput& writer = parts_.Writers.ConfigureWriter(parts_.Settings, format, outputPath,
                                                            parts_.Tags.Vorbis, parts_.Tags.Id3v2);
        chosenWriter_ = &writer;

        TMemoryIn& mem = parts_.Writers.Mem2;
        mem.ResetInput();
        mem.SetInBitsPerSample(static_cast<unsigned>(source.BitsPerSample));
        mem.SetInSampleRate(static_cast<unsigned>(source.SampleRate));
        mem.SetInChannels(static_cast<unsigned>(source.Channels));
        // Mem2 only reads the block it serves.
        mem.SetBufferPointer(const_cast<int16_t*>(engine.OutputBlock().data()));
        mem.SetBufferBytes(SpectralEngine::kBlockBytes);
        mem.StartInput();
        writer.Start();
    } catch (const std::exception& e) {
        parts_.Host.ReportExportError(e.what());
        LeaveExportState();
        return false;
    }
    return true;
}

int ExportDriver::ProduceExportBlock() {
    DecodeBlockSource decoder(decodeStream_);
    const int n = RunBlockContract(parts_.Engine, decoder, true);
    decodedTotal_ += n;
    ReportProgress();
    return n;
}

void ExportDriver::ReportProgress() {
    const float scaled = static_cast<float>(decodedTotal_) * progressScale_;
    if (!(scaled >= 0.0f)) return;
    const int p = static_cast<int>(std::fmin(scaled, 1000.0f));
    if (p % 4 != 0 || p == lastProgressShown_) return;
    lastProgressShown_ = p;
    // The worker never waits for the window.
    MainThreadQueue::Instance().Post([this, p] { parts_.Host.ShowExportProgress(p); });
}

void ExportDriver::Mem2BufferDone(TMemoryIn& sender) {
    const int n = ProduceExportBlock();
    if (exportCancelled_ || n <= 0) {
        sender.SetBufferBytes(0);
        // The controls come back in WriterDone, once the writer has finished its file.
        chosenWriter_->RequestStop(true);
        return;
    }
    sender.SetBufferBytes(n);
    sender.StartInput();
}

void ExportDriver::WriterDone(TAuOutput& sender) {
    if (&sender != chosenWriter_ || !exporting_) return;
    const std::string error = sender.ErrorText();
    if (!error.empty()) {
        parts_.Host.ReportExportError(error);
    } else if (&sender == &parts_.Writers.MP3Out1 && !MP3Out1Done()) {
        parts_.Host.ReportExportError("The ID3v1 tag could not be written to " + outputFileName_ + ".");
    }
    LeaveExportState();
}

bool ExportDriver::MP3Out1Done() {
    TID3v1& tag = parts_.Tags.Id3v1;
    if (tag.HasTag()) {
        if (tag.Comment().empty()) tag.SetComment(DenoisedComment);
        // The encoder's own trailer goes before our tag is written.
        if (!tag.RemoveTagFromFile(outputFileName_)) return false;
        return tag.SaveTagToFile(outputFileName_);
    }
    const std::string name = std::filesystem::path(outputFileName_).filename().string();
    tag.SetTitle(name.size() > 4 ? name.substr(0, name.size() - 4) : std::string());
    tag.SetComment(DenoisedComment);
    return tag.SaveTagToFile(outputFileName_);
}

void ExportDriver::LeaveExportState() {
    exporting_ = false;
    parts_.Host.LeaveExportState();
}

}  // namespace murmex
