#include "export/export_driver.h"

#include <algorithm>
#include <cmath>
#include <cstring>
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
    if (const std::string problem = NoiseStretchProblem(saveMode_, source); !problem.empty()) {
        parts_.Host.ReportExportError(source.SourcePath + ": " + problem);
        outcome_ = ExportOutcome::None;
        return false;
    }
    const std::string format = parts_.Settings.FormatExtension();
    const std::string outputPath = OutputPathFor(chosenName, format);
    if (!CheckOutputPath(outputPath, source.SourcePath, parts_.Host)) {
        outcome_ = ExportOutcome::None;
        return false;
    }
    outputFileName_ = outputPath;
    keptFileName_.clear();
    mayReplace_ = NameTaken(outputPath);
    if (const std::string problem = scratch_.Create(outputPath); !problem.empty()) {
        ReportFailure(problem);
        outcome_ = ExportOutcome::Failed;
        return false;
    }
    outputOpenedKnown_ = false;
    stoppedByCancel_ = false;
    earlyEnd_.emplace(source);
    sourceSampleRate_ = source.SampleRate;

    exportCancelled_ = false;
    exporting_ = true;
    outcome_ = ExportOutcome::Running;
    decodeStream_ = decodeStream;

    SpectralEngine& engine = parts_.Engine;
    engine.SetChannelThreads(source.Channels == 2 ? channelThreads_ : 1);
    engine.PrepareEngine();
    engine.BuildAnalysisWindow();
    engine.BuildSmoothingKernel();

    learnRange_.reset();
    learnError_.clear();
    if (saveMode_.Learns()) learnRange_ = LearningRange(saveMode_, source);
    aligned_.reset();
    if (saveMode_.Aligned) aligned_.emplace(engine.LatencyBlocks());

    // The bar covers the learning pass and the save, each by the bytes it goes through. A
    // source of length 0 would make the scale infinite; no data flows from it anyway.
    const int64_t learnBytes = !learnRange_ ? 0 : saveMode_.NoiseFrom ? learnRange_->Length() : source.LengthBytes;
    const int64_t progressTotal = source.LengthBytes > 0 ? source.LengthBytes + learnBytes : 0;
    progressScale_ = progressTotal > 0 ? 1.0f / (static_cast<float>(progressTotal) * 0.001f) : 0.0f;
    decodedTotal_ = 0;
    learntBytes_ = 0;

    parts_.Host.EnterExportState();
    try {
        // Starting anywhere but at the beginning would silently drop the head of the audio.
        if (!BASS_ChannelSetPosition(decodeStream_, 0, BASS_POS_BYTE)) {
            throw EAuException("The source could not be rewound to its start.");
        }
        TAuOutput& writer = parts_.Writers.ConfigureWriter(parts_.Settings, format, scratch_.ScratchPath(),
                                                            parts_.Tags.Vorbis, parts_.Tags.Id3v2);
        chosenWriter_ = &writer;

        TMemoryIn& mem = parts_.Writers.Mem2;
        mem.ResetInput();
        mem.SetInBitsPerSample(static_cast<unsigned>(source.BitsPerSample));
        mem.SetInSampleRate(static_cast<unsigned>(source.SampleRate));
        mem.SetInChannels(static_cast<unsigned>(source.Channels));
        // The engine's framing serves its first block before anything is processed; aligned
        // output starts with the first processed block instead.
        std::copy(engine.OutputBlock().begin(), engine.OutputBlock().end(), batch_.begin());
        batchEnded_ = false;
        mem.SetBufferPointer(batch_.data());
        mem.SetBufferBytes(aligned_ ? 0 : SpectralEngine::kBlockBytes);
        mem.StartInput();
        writer.Start();
    } catch (const std::exception& e) {
        ReportFailure(e.what());
        scratch_.Discard();
        outcome_ = ExportOutcome::Failed;
        LeaveExportState();
        return false;
    }
    return true;
}

int ExportDriver::ProduceAlignedBlock() {
    DecodeBlockSource decoder(decodeStream_);
    PaddedBlockSource padded(decoder);
    for (;;) {
        RunBlockContract(parts_.Engine, padded, true);
        decodedTotal_ += padded.LastRead();
        ReportProgress();
        const int n = aligned_->BytesToWrite(padded.LastRead());
        if (n != AlignedFraming::kDropBlock) return std::max(n, 0);
    }
}

bool ExportDriver::LearnNoiseFirst() {
    NoiseLearner learner(parts_.Engine, decodeStream_);
    const bool learnt = learner.Learn(*learnRange_, [this](int bytesRead) {
        learntBytes_ += bytesRead;
        ReportProgress();
        return !exportCancelled_;
    });
    learnRange_.reset();
    if (!learnt && !exportCancelled_) learnError_ = learner.Error();
    return learnt;
}

void ExportDriver::ReportProgress() {
    const float scaled = static_cast<float>(learntBytes_ + decodedTotal_) * progressScale_;
    if (!(scaled >= 0.0f)) return;
    const int p = static_cast<int>(std::fmin(scaled, 1000.0f));
    if (p % 4 != 0 || p == lastProgressShown_) return;
    lastProgressShown_ = p;
    // The worker never waits for the window.
    MainThreadQueue::Instance().Post([this, p] { parts_.Host.ShowExportProgress(p); });
}

void ExportDriver::Mem2BufferDone(TMemoryIn& sender) {
    // The writer has opened its file before it asks for data: remember which file that is, so
    // that its disappearance or replacement during the save is noticed at the end.
    if (!outputOpenedKnown_) {
        outputOpened_ = StatFile(scratch_.ScratchPath());
        outputOpenedKnown_ = true;
    }
    if (learnRange_ && !LearnNoiseFirst()) {
        stoppedByCancel_ = learnError_.empty();
        sender.SetBufferBytes(0);
        chosenWriter_->RequestStop(true);
        return;
    }
    const int filled = batchEnded_ ? 0 : FillBatch();
    if (filled == 0) {
        sender.SetBufferBytes(0);
        // The controls come back in WriterDone, once the writer has finished its file.
        chosenWriter_->RequestStop(true);
        return;
    }
    sender.SetBufferBytes(filled);
    sender.StartInput();
}

int ExportDriver::FillBatch() {
    if (aligned_) return FillBatchAligned();
    // The refill is read in one piece and then taken block by block as the block contract takes
    // them: the decoder fills every read until the audio ends, so each block holds what reading
    // it alone would give. Processed together, each stereo channel can have a thread of its own.
    SpectralEngine& engine = parts_.Engine;
    DecodeBlockSource decoder(decodeStream_);
    const int total = decoder.ReadBlock(batchInput_.data(), kBatchBytes);
    std::array<int, kBatchBlocks> bytesRead{};
    const int16_t* previous = engine.InputBlock().data();
    int count = 0;
    while (count < kBatchBlocks) {
        const int offset = count * SpectralEngine::kBlockBytes;
        const int n = total <= 0 ? total : std::clamp(total - offset, 0, SpectralEngine::kBlockBytes);
        int16_t* block = batchInput_.data() + static_cast<std::ptrdiff_t>(count) * SpectralEngine::kBlockSamples;
        // What a read leaves short keeps what the block held before: the previous block.
        const int kept = std::max(n, 0);
        std::memcpy(reinterpret_cast<uint8_t*>(block) + kept, reinterpret_cast<const uint8_t*>(previous) + kept,
                    static_cast<std::size_t>(SpectralEngine::kBlockBytes - kept));
        CorrectInputBlock(engine, block, n);
        bytesRead[count++] = n;
        previous = block;
        decodedTotal_ += kept;
        ReportProgress();
        // A block that sees Cancel is processed but not written: the export ends after the one
        // before it.
        if (exportCancelled_ || n <= 0) {
            stoppedByCancel_ = n > 0;
            batchEnded_ = true;
            break;
        }
    }
    engine.ProcessBlocks(batchInput_.data(), batchOutput_.data(), count);
    auto* batch = reinterpret_cast<uint8_t*>(batch_.data());
    const auto* output = reinterpret_cast<const uint8_t*>(batchOutput_.data());
    const int written = batchEnded_ ? count - 1 : count;
    int filled = 0;
    for (int b = 0; b < written; ++b) {
        std::memcpy(batch + filled, output + static_cast<std::ptrdiff_t>(b) * SpectralEngine::kBlockBytes,
                    static_cast<std::size_t>(bytesRead[b]));
        filled += bytesRead[b];
    }
    return filled;
}

int ExportDriver::FillBatchAligned() {
    auto* batch = reinterpret_cast<uint8_t*>(batch_.data());
    const auto* block = reinterpret_cast<const uint8_t*>(parts_.Engine.OutputBlock().data());
    int filled = 0;
    while (filled + SpectralEngine::kBlockBytes <= kBatchBytes) {
        const int n = ProduceAlignedBlock();
        // A block that sees Cancel is not written: the export ends after the one before it.
        if (exportCancelled_ || n <= 0) {
            stoppedByCancel_ = n > 0;
            batchEnded_ = true;
            break;
        }
        std::memcpy(batch + filled, block, static_cast<std::size_t>(n));
        filled += n;
    }
    return filled;
}

void ExportDriver::WriterDone(TAuOutput& sender) {
    if (&sender != chosenWriter_ || !exporting_) return;
    outcome_ = FinishSave(sender);
    // A folder is worth proposing again only when a valid file could be left in it.
    if (outcome_ != ExportOutcome::Failed) {
        lastSaveFolder_ = std::filesystem::path(outputFileName_).parent_path().string();
    }
    LeaveExportState();
}

ExportOutcome ExportDriver::FinishSave(TAuOutput& writer) {
    const ExportOutcome outcome = stoppedByCancel_ ? ExportOutcome::Cancelled
                                  : earlyEnd_ && earlyEnd_->EndedEarly(decodedTotal_) ? ExportOutcome::SourceEndedEarly
                                                                                     : ExportOutcome::Saved;
    if (!KeepFile(writer, outcome)) {
        scratch_.Discard();
        return ExportOutcome::Failed;
    }
    if (outcome == ExportOutcome::SourceEndedEarly) ReportFailure(earlyEnd_->Message(decodedTotal_));
    return outcome;
}

bool ExportDriver::KeepFile(TAuOutput& writer, ExportOutcome outcome) {
    const std::string error = writer.ErrorText();
    if (!error.empty()) {
        ReportFailure(error);
        return false;
    }
    if (!learnError_.empty()) {
        ReportFailure(learnError_);
        return false;
    }
    // The writer closes a file even when its folder was removed or the name now leads elsewhere;
    // what was written is then not where it can be put in place.
    if (!ScratchStillInPlace()) {
        ReportFailure("the file is gone or was replaced while it was being saved");
        return false;
    }
    if (&writer == &parts_.Writers.MP3Out1 && !MP3Out1Done()) {
        ReportFailure("the ID3v1 tag could not be written");
        return false;
    }
    // A shorter file never takes the place of a whole one the user had.
    const bool partial = outcome == ExportOutcome::Cancelled && (partialOnCancel_ || mayReplace_);
    const std::string target = partial ? PartialPathFor(outputFileName_) : outputFileName_;
    // A partial file of an earlier save is this program's own and may go.
    if (const std::string problem = scratch_.PutInPlace(target, partial || mayReplace_); !problem.empty()) {
        ReportFailure(problem);
        return false;
    }
    keptFileName_ = target;
    return true;
}
unsigned ExportDriver::ResampledTo() const {
    if (chosenWriter_ == nullptr) return 0;
    const unsigned written = chosenWriter_->OutputSampleRate();
    return written != 0 && static_cast<int64_t>(written) != sourceSampleRate_ ? written : 0;
}

bool ExportDriver::ScratchStillInPlace() const {
    const FileState now = StatFile(scratch_.ScratchPath());
    return outputOpenedKnown_ ? now.SameFileAs(outputOpened_) : now.Exists;
}

void ExportDriver::ReportFailure(const std::string& reason) {
    // The user knows the file by the name they chose, not by the scratch file's.
    std::string text = reason;
    const std::string& scratch = scratch_.ScratchPath();
    for (const std::string& name : {scratch, std::filesystem::path(scratch).filename().string()}) {
        if (name.empty()) continue;
        const std::string shown = name == scratch ? outputFileName_ : std::filesystem::path(outputFileName_).filename().string();
        for (std::size_t at; (at = text.find(name)) != std::string::npos;) text.replace(at, name.size(), shown);
    }
    parts_.Host.ReportExportError(outputFileName_ + ": " + text);
}

bool ExportDriver::MP3Out1Done() {
    // A copy: the source's own tag stays as loaded, so the next save decides afresh.
    TID3v1 tag = parts_.Tags.Id3v1;
    if (tag.HasTag()) {
        if (tag.Comment().empty()) tag.SetComment(DenoisedComment);
        // The encoder's own trailer goes before our tag is written.
        if (!tag.RemoveTagFromFile(scratch_.ScratchPath())) return false;
        return tag.SaveTagToFile(scratch_.ScratchPath());
    }
    const std::string name = std::filesystem::path(outputFileName_).filename().string();
    tag.SetTitle(name.size() > 4 ? name.substr(0, name.size() - 4) : std::string());
    tag.SetComment(DenoisedComment);
    return tag.SaveTagToFile(scratch_.ScratchPath());
}

void ExportDriver::LeaveExportState() {
    // The engine is idle here; its second thread is not kept for the preview.
    parts_.Engine.SetChannelThreads(1);
    exporting_ = false;
    parts_.Host.LeaveExportState();
}

}  // namespace murmex
