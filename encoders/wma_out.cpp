#include "encoders/wma_out.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "encoders/ffmpeg_library.h"
#include "encoders/finish_steps.h"
#include "pipeline/au_exception.h"

namespace murmex {

TWMAOut::~TWMAOut() { RequestStop(false); }

int64_t TWMAOut::NextSampleTime(int64_t sampleTime, std::size_t bytes,
                                uint32_t averageBytesPerSecond) {
  if (averageBytesPerSecond == 0) return sampleTime;
  return sampleTime + std::llround(static_cast<double>(bytes) / averageBytesPerSecond * 1e7);
}

void TWMAOut::Init() {
  FWriting = false;
  if (FileName().empty()) throw EAuException("File name is not assigned.");
  TAuInput& input = *Input();
  input.StartInput();
  const int opened = FWriter.Open(FileName());
  if (opened < 0) throw EAuException("Cannot create file " + FileName() + ": " + FfmpegErrorText(opened));

  WmaFormatRequest request;
  request.Channels = input.InChannels();
  request.BitsPerSample = input.InBitsPerSample();
  request.SampleRate = input.InSampleRate();
  request.Lossless = FLossless;
  request.Vbr = FVBR;
  request.Target = FVBR ? FVBRQuality : (FDesiredBitrate < 1000 ? FDesiredBitrate * 1000
                                                                 : FDesiredBitrate);
  const auto format = FindWmaFormatForInput(WmaCodecs(), request);
  if (!format) throw EAuException("Failed to init codec");
  if (FWriter.SetProfile(*format) < 0) throw EAuException("fff");
  SetOutputSampleRate(format->SampleRate);

  const unsigned blockAlign = request.Channels * request.BitsPerSample / 8;
  FWriter.SetInputFormat(request.Channels, request.SampleRate, request.BitsPerSample);
  FAverageBytesPerSecond = request.SampleRate * blockAlign;
  // 80 ms of PCM in whole frames: a block that split a frame would shift every later sample.
  const std::size_t blockBytes =
      std::size_t{request.Channels} * request.BitsPerSample * request.SampleRate / 100;
  FBlock.assign(std::max<std::size_t>(blockBytes / blockAlign, 1) * blockAlign, 0);

  SetAttributes();
  const int result = FWriter.BeginWriting();
  if (result < 0) throw EAuException("Filed to set data writer: " + FfmpegErrorText(result));
  FWriting = true;
  FSampleTime = 0;
  FEndOfInput = false;
}

void TWMAOut::SetAttributes() {
  TId3v2Tags& tags = Id3v2Tags();
  const std::pair<const char*, std::string> attributes[] = {
      {"Author", tags.Artist()}, {"WM/AlbumTitle", tags.Album()}, {"WM/Genre", tags.Genre()},
      {"WM/Year", tags.Year()},  {"WM/Track", tags.Track()},      {"Title", tags.Title()},
      {"Copyright", tags.Comment()},
  };
  for (const auto& [name, text] : attributes) {
    if (!text.empty()) FWriter.SetAttribute(name, text);
  }
}

bool TWMAOut::DoOutput(bool abort) {
  if (!OutputOpen()) return true;
  if (abort || FEndOfInput) return false;
  bool endOfInput = false;
  const std::size_t bytes = Input()->FillBlock(FBlock.data(), FBlock.size(), endOfInput);
  FEndOfInput = endOfInput;
  FSampleTime = NextSampleTime(FSampleTime, bytes, FAverageBytesPerSecond);
  const int result = FWriter.WriteSample(FBlock.data(), bytes, FSampleTime);
  if (result < 0) throw EAuException("Failed to write data: " + FfmpegErrorText(result));
  return true;
}

void TWMAOut::Done() {
  const bool writing = FWriting;
  FWriting = false;
  RunFinishSteps({
      [&] { Input()->FinishInput(); },
      [&] {
        // Ending the writing flushes the encoder and closes the file; a failure there (a full
        // disk) means the file is incomplete and must not pass as written.
        const int result = writing ? FWriter.EndWriting() : 0;
        FWriter.Release();
        if (result < 0) throw EAuException("Failed to write data: " + FfmpegErrorText(result));
      },
      [&] { FBlock = {}; },
  });
}

}  // namespace murmex
