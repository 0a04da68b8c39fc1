#include "source/source_loader.h"

#include <exception>

#include "source/safe_file_name.h"
#include "source/source_details.h"
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
  engine_.ClearEngineReady();
  try {
    infoLine_.Label1 = kLoading;
    Repaint();
    result.Outcome = LoadSteps(path, result);
  } catch (...) {
    // Whatever a reader, a tag container or the text handling raised ends the load quietly.
    FailNotLoaded();
    result.Outcome = LoadOutcome::NotLoaded;
  }
  Repaint();
  result.Info = infoLine_;
  result.Buttons = buttons_;
  return result;
}

LoadOutcome SourceLoader::LoadSteps(const std::filesystem::path& path, LoadResult& result) {
  FreeStreams();
  info_.SourcePath = path.string();
  info_.FileAtLoad = StatFile(info_.SourcePath);
  info_.Extension = UpperExtension(path);
  info_.LastDirectory = path.parent_path().string();

  const SourceDetails details = ReadSourceDetails(path, tags_, outputs_);
  info_.Kbps = details.Kbps;
  suggestedName_ = details.SuggestedName;
  Repaint();

  decodeStream_ = OpenDecodeStream();
  // A fresh record each load: a file that cannot be opened must not be judged by the channel
  // information of the source before it.
  BASS_CHANNELINFO channelInfo;
  BASS_ChannelGetInfo(decodeStream_, &channelInfo);
  info_.BitsPerSample = (channelInfo.flags & BASS_SAMPLE_8BITS) != 0 ? 8 : 16;
  info_.LengthBytes = static_cast<int64_t>(BASS_ChannelGetLength(decodeStream_, BASS_POS_BYTE));
  info_.SeekFactor = static_cast<float>(info_.LengthBytes) * 0.001f;
  info_.ProgressFactor = 1000.0f / static_cast<float>(info_.LengthBytes);
  if (info_.LengthBytes == -1 || info_.BitsPerSample != 16) {
    FailInvalid(result);
    return LoadOutcome::InvalidFile;
  }
  info_.SampleRate = channelInfo.freq;
  info_.Channels = channelInfo.chans;

  const std::string fileName = path.filename().string();
  infoLine_.Label1 = ShownName(fileName);
  infoLine_.Label1Hint = fileName;
  const bool playable = info_.Channels <= kMaxChannels;
  if (!playable) Message(kPreviewNotSupported, result);
  buttons_ = {.Save = playable, .Play = playable, .Stop = false, .ProgressBar2 = false};
  Repaint();
  if (!playable) {
    Message("Up to " + std::to_string(kMaxChannels) + " channels supported!", result);
    return LoadOutcome::TooManyChannels;
  }

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

HSTREAM SourceLoader::OpenDecodeStream() const {
  const char* file = info_.SourcePath.c_str();
  if (info_.Extension == ".WMA") return BASS_WMA_StreamCreateFile(false, file, 0, 0, BASS_STREAM_DECODE);
  if (info_.Extension == ".FLAC" || info_.Extension == ".FLC")
    return BASS_FLAC_StreamCreateFile(false, file, 0, 0, BASS_STREAM_DECODE);
  return BASS_StreamCreateFile(false, file, 0, 0, BASS_STREAM_DECODE);
}

void SourceLoader::DisableCommands() {
  infoLine_.Ind1.clear();
  infoLine_.Ind2.clear();
  infoLine_.Ind3.clear();
  buttons_ = {};
}

void SourceLoader::FailInvalid(LoadResult& result) {
  infoLine_.IndRate.clear();
  infoLine_.Label1 = kNoFileLoaded;
  Message(info_.BitsPerSample == 16 ? kInvalidAudioFile : kOnly16Bits, result);
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
