#include "source/source_loader.h"

#include <exception>
#include <utility>

#include "source/safe_file_name.h"
#include "source/source_details.h"
#include "source/source_file_check.h"
#include "tags/narrow_text.h"

namespace murmex {

SourceLoader::SourceLoader(SpectralEngine& engine, OutputDefaults& outputs) : engine_(engine), outputs_(outputs) {}

SourceLoader::~SourceLoader() { FreeStreams(); }

int32_t SourceLoader::QueueLimitFor(int64_t sampleRate) {
  if (sampleRate >= 44100) return kFullQueueLimit;
  return static_cast<int32_t>(int64_t{kFullQueueLimit} * sampleRate / 44100);
}

std::string SourceLoader::ShownName(const std::string& fileName) {
  if (CharCount(fileName) <= static_cast<size_t>(kMaxShownNameCharacters)) return fileName;
  return std::string(LeftChars(fileName, kMaxShownNameCharacters)) + "...";
}

std::string SourceLoader::SuggestedName() const { return SafeFileName(suggestedName_); }

std::string SourceLoader::FormatLabel(const std::string& extension) {
  if (extension == ".WAV") return "PCM";
  if (extension == ".MP3") return "MP3";
  if (extension == ".OGG") return "OGG";
  if (extension == ".WMA") return "WMA";
  if (extension == ".FLAC") return "FLAC";
  return "???";
}

LoadResult SourceLoader::Load(const std::filesystem::path& path) {
  LoadResult result;
  const InfoLine infoBefore = infoLine_;
  const LoadButtons buttonsBefore = buttons_;
  info_.LastDirectory = path.parent_path().string();
  if (const std::string refusal = SourceFileRefusal(path); !refusal.empty()) {
    FailInvalid(refusal, result);
    result.Outcome = LoadOutcome::InvalidFile;
  } else {
    try {
      infoLine_.Label1 = kLoading;
      Repaint();
      result.Outcome = LoadSteps(path, result);
    } catch (const std::exception& error) {
      // Whatever a reader, a tag container or the text handling raised ends the load quietly.
      FailNotLoaded();
      result.Outcome = LoadOutcome::NotLoaded;
      result.Reason = error.what();
    } catch (...) {
      FailNotLoaded();
      result.Outcome = LoadOutcome::NotLoaded;
    }
  }
  if (result.Outcome != LoadOutcome::Loaded && SourceLoaded()) {
    infoLine_ = infoBefore;
    buttons_ = buttonsBefore;
  }
  Repaint();
  result.Info = infoLine_;
  result.Buttons = buttons_;
  return result;
}

namespace {

// A decoding stream freed when the load refuses its source before adopting it.
class PendingStream {
 public:
  explicit PendingStream(HSTREAM handle) : handle_(handle) {}
  ~PendingStream() { BASS_StreamFree(handle_); }
  PendingStream(const PendingStream&) = delete;
  PendingStream& operator=(const PendingStream&) = delete;
  HSTREAM Get() const { return handle_; }
  HSTREAM Release() { return std::exchange(handle_, 0); }

 private:
  HSTREAM handle_;
};

}  // namespace

LoadOutcome SourceLoader::LoadSteps(const std::filesystem::path& path, LoadResult& result) {
  // Everything is read into these first; the loaded source stays until the new one has passed.
  SourceInfo next;
  next.SourcePath = path.string();
  next.FileAtLoad = StatFile(next.SourcePath);
  next.Extension = UpperExtension(path);
  next.LastDirectory = info_.LastDirectory;
  const SourceFormat format = SourceFormatOf(path, next.Extension);

  SourceTags nextTags;
  const SourceDetails details = ReadSourceDetails(path, format, nextTags);
  next.Kbps = details.Kbps;
  Repaint();

  PendingStream decoder(OpenDecodeStream(next.SourcePath, format));
  BASS_CHANNELINFO channelInfo;
  BASS_ChannelGetInfo(decoder.Get(), &channelInfo);
  next.BitsPerSample = (channelInfo.flags & BASS_SAMPLE_8BITS) != 0 ? 8 : 16;
  next.LengthBytes = static_cast<int64_t>(BASS_ChannelGetLength(decoder.Get(), BASS_POS_BYTE));
  next.SeekFactor = static_cast<float>(next.LengthBytes) * 0.001f;
  next.ProgressFactor = 1000.0f / static_cast<float>(next.LengthBytes);
  if (next.LengthBytes == -1 || next.BitsPerSample != 16) {
    FailInvalid(next.BitsPerSample == 16 ? kInvalidAudioFile : kOnly16Bits, result);
    return LoadOutcome::InvalidFile;
  }
  next.SampleRate = channelInfo.freq;
  next.Channels = channelInfo.chans;

  const std::string fileName = path.filename().string();
  infoLine_.Label1 = ShownName(fileName);
  infoLine_.Label1Hint = fileName;
  const bool playable = next.Channels <= kMaxChannels;
  if (!playable) Message(kPreviewNotSupported, result);
  buttons_ = {.Save = playable, .Play = playable, .Stop = false, .ProgressBar2 = false};
  Repaint();
  if (!playable) {
    Message("Up to " + std::to_string(kMaxChannels) + " channels supported!", result);
    return LoadOutcome::TooManyChannels;
  }

  // The new source passed: it replaces the loaded one. The export holds on to tags_, so the
  // tags are copied into it rather than replaced.
  FreeStreams();
  decodeStream_ = decoder.Release();
  info_ = next;
  tags_ = nextTags;
  suggestedName_ = details.SuggestedName;
  if (details.OutputKbps) outputs_.ApplySourceKbps(*details.OutputKbps);
  engine_.ClearEngineReady();

  infoLine_.Ind1 = FormatLabel(info_.Extension);
  if (info_.Extension == ".FLAC")
    info_.Kbps = static_cast<int32_t>(info_.SampleRate * info_.BitsPerSample * info_.Channels / 1000);
  infoLine_.Ind3 = info_.Channels == 1 ? "Mono" : "Stereo";
  infoLine_.IndRate = std::to_string(info_.Kbps) + " kbps";
  infoLine_.Ind2 = std::to_string(info_.SampleRate) + "Hz";

  engine_.SetChannels(static_cast<int>(info_.Channels));
  engine_.SetSampleRate(static_cast<int>(info_.SampleRate));
  engine_.BuildAnalysisWindow();
  engine_.BuildSmoothingKernel();
  outputs_.UpdateWavKbps(info_.SampleRate, info_.Channels);
  engine_.ResetPreviousMinimum();
  Repaint();

  previewQueueLimit_ = QueueLimitFor(info_.SampleRate);
  // Without an output device there is no push stream; decoding and saving still work.
  previewStream_ = BASS_StreamCreate(static_cast<uint32_t>(info_.SampleRate), static_cast<uint32_t>(info_.Channels), 0,
                                     STREAMPROC_PUSH, nullptr);
  engine_.ComputeDcCoefficient();
  return LoadOutcome::Loaded;
}

void SourceLoader::FreeStreams() {
  for (HSTREAM* stream : {&decodeStream_, &previewStream_}) {
    BASS_StreamFree(*stream);
    BASS_MusicFree(*stream);
    *stream = 0;
  }
}

// The contents decide: a WMA or FLAC file is opened by its own call whatever its name.
HSTREAM SourceLoader::OpenDecodeStream(const std::string& path, SourceFormat format) {
  const char* file = path.c_str();
  if (format == SourceFormat::Wma) return BASS_WMA_StreamCreateFile(false, file, 0, 0, BASS_STREAM_DECODE);
  if (format == SourceFormat::Flac) return BASS_FLAC_StreamCreateFile(false, file, 0, 0, BASS_STREAM_DECODE);
  return BASS_StreamCreateFile(false, file, 0, 0, BASS_STREAM_DECODE);
}

void SourceLoader::DisableCommands() {
  infoLine_.Ind1.clear();
  infoLine_.Ind2.clear();
  infoLine_.Ind3.clear();
  buttons_ = {};
}

void SourceLoader::FailInvalid(const std::string& message, LoadResult& result) {
  infoLine_.IndRate.clear();
  infoLine_.Label1 = kNoFileLoaded;
  Message(message, result);
  DisableCommands();
}

void SourceLoader::FailNotLoaded() {
  infoLine_.IndRate.clear();
  infoLine_.Label1 = kCouldNotBeLoaded;
  infoLine_.Label1Hint.clear();
  DisableCommands();
}

void SourceLoader::Message(const std::string& text, LoadResult& result) {
  result.Messages.push_back(text);
  if (OnMessage) OnMessage(text);
}

void SourceLoader::Repaint() {
  if (OnRepaint) OnRepaint(infoLine_, buttons_);
}

}  // namespace murmex
