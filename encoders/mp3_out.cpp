#include "encoders/mp3_out.h"

#include <climits>
#include <string>

#include "encoders/finish_steps.h"
#include "encoders/lame_library.h"
#include "encoders/mp3_trailer.h"
#include "pipeline/au_exception.h"

namespace murmex {

TMP3Out::TMP3Out() {
  if (!LameLibrary::Acquire()) throw EAuException(LameLibrary::kMissingMessage);
}

TMP3Out::~TMP3Out() {
  RequestStop(false);
  FStream.Close();
  LameLibrary::Release();
}

void TMP3Out::Init() {
  FEncoding = false;
  OpenOutputFile(fmCreate);
  Input()->StartInput();
  const unsigned rate = Input()->InSampleRate();
  // LAME resamples from any rate it can be told, which excludes 0 and those beyond an int, and
  // raises a rate at most twelvefold: below 667 Hz even MPEG audio's lowest rate is too far.
  constexpr unsigned kLowestResampledRate = 667;
  if (rate < kLowestResampledRate || rate > static_cast<unsigned>(INT_MAX)) {
    throw EAuException(UnwritableRateMessage(rate, "MP3"));
  }
  const Mp3ConfigRecord record = BuildMp3Config(FSettings, rate);
  uint32_t samplesPerChunk = 0;
  uint32_t outputSize = 0;
  // LAME takes 16-bit samples only; anything else would be encoded as noise.
  const uint32_t code =
      Input()->InBitsPerSample() != 16
          ? kLameErrInvalidFormat
          : FStream.Init(record, static_cast<int>(Input()->InChannels()), samplesPerChunk,
                         outputSize);
  if (code != kLameOk) throw EAuException("InitStream Error : " + std::to_string(code));
  FEncoding = true;
  SetOutputSampleRate(FStream.OutputSampleRate());
  FInBuf.assign(samplesPerChunk, 0);
  FOutBuf.assign(outputSize, 0);
}

bool TMP3Out::DoOutput(bool abort) {
  if (!OutputOpen()) return true;
  if (abort) return false;
  bool endOfInput = false;
  const std::size_t bytes =
      Input()->FillBlock(FInBuf.data(), FInBuf.size() * sizeof(int16_t), endOfInput);
  if (bytes == 0) return false;
  WriteEncoded(FStream.EncodeChunk(FInBuf.data(), static_cast<uint32_t>(bytes / 2),
                                   FOutBuf.data(), FOutBuf.size()),
               "EncodeChunk");
  return !endOfInput;
}

void TMP3Out::WriteEncoded(int produced, const char* step) {
  if (produced < 0) {
    throw EAuException(std::string(step) + " Error : " + std::to_string(produced));
  }
  if (produced > 0) OutputStream->Write(FOutBuf.data(), static_cast<std::size_t>(produced));
}

void TMP3Out::FinishFrames() {
  WriteEncoded(FStream.Deinit(FOutBuf.data(), FOutBuf.size()), "DeinitStream");
  const auto trailer = BuildMp3Trailer(Id3v1Tags());
  OutputStream->Write(trailer.data(), trailer.size());
}

void TMP3Out::Done() {
  const bool encoding = FEncoding;
  FEncoding = false;
  RunFinishSteps({
      [&] { if (encoding) FinishFrames(); },
      [&] { CloseOutputFile(); },
      [&] {
        FStream.Close();
        FInBuf = {};
        FOutBuf = {};
      },
      [&] {
        if (encoding && !StreamFromCaller() && !FileName().empty()) {
          FStream.WriteVbrHeader(FileName());
        }
      },
      [&] { Input()->FinishInput(); },
  });
}

}  // namespace murmex
