#include "encoders/vorbis_out.h"

#include <climits>
#include <filesystem>
#include <string>

#include "encoders/finish_steps.h"
#include "encoders/vorbis_library.h"
#include "pipeline/au_exception.h"

namespace murmex {

TVorbisOut::~TVorbisOut() { RequestStop(false); }

void TVorbisOut::SetDesiredNominalBitrate(TVorbisBitRate value) {
  FNominal = value;
  if (value < FMinimum) FMinimum = value;
  if (value > FMaximum) FMaximum = value;
  if (value == brAutoSelect) FMaximum = brAutoSelect;
}

void TVorbisOut::SetDesiredMaximumBitrate(TVorbisBitRate value) {
  if (FNominal != brAutoSelect && (value == brAutoSelect || value >= FNominal)) FMaximum = value;
}

void TVorbisOut::SetMinimumBitrate(TVorbisBitRate value) {
  if (value <= FNominal) FMinimum = value;
}

VorbisEncoderSetup TVorbisOut::EncoderSetup() {
  VorbisEncoderSetup setup;
  setup.Channels = Input()->InChannels();
  setup.SampleRate = Input()->InSampleRate();
  setup.Quality = FCompression;
  if (FNominal != brAutoSelect) {
    setup.Maximum = VorbisBitRateValue(FMaximum);
    setup.Nominal = VorbisBitRateValue(FNominal);
    setup.Minimum = VorbisBitRateValue(FMinimum);
    if (setup.Minimum == -1) setup.Minimum = setup.Nominal;
  }
  return setup;
}

void TVorbisOut::Init() {
  const std::string missing = VorbisLibrary::Instance().Require(
      {VorbisLib::Ogg, VorbisLib::Vorbis, VorbisLib::VorbisFile, VorbisLib::VorbisEnc});
  if (!missing.empty()) throw EAuException(missing);

  std::error_code ignored;
  const bool append = FFileMode == TFileOutputMode::foAppend;
  OpenOutputFile(append && !FileName().empty() && std::filesystem::exists(FileName(), ignored)
                     ? fmOpenReadWrite | fmShareExclusive
                     : fmCreate);
  Input()->StartInput();
  if (append) OutputStream->Seek(0, TSeekOrigin::soEnd);
  FBitsPerSample = Input()->InBitsPerSample();
  const VorbisEncoderSetup setup = EncoderSetup();
  // Any other rate can be encoded or resampled; these cannot be handed to the libraries.
  if (setup.SampleRate == 0 || setup.SampleRate > static_cast<unsigned>(INT_MAX)) {
    throw EAuException(UnwritableRateMessage(setup.SampleRate, "Ogg Vorbis"));
  }
  FEncoder.Open(setup, FComments, FSerial, *OutputStream);
  SetOutputSampleRate(FEncoder.SampleRate());
}

bool TVorbisOut::DoOutput(bool abort) {
  if (!OutputOpen()) return true;
  if (abort || FEncoder.EndOfStream()) return false;
  const uint8_t* pcm = nullptr;
  std::size_t bytes = VorbisStreamEncoder::kMaxFrames;
  Input()->GetBlock(pcm, bytes);
  FEncoder.Encode(pcm, pcm == nullptr ? 0 : bytes, FBitsPerSample);
  return true;
}

void TVorbisOut::Done() {
  RunFinishSteps({
      // A run stopped before its input ended still gets a complete stream: the remaining
      // packets and the end-of-stream page are written before the file is closed.
      [&] {
        if (FEncoder.Writing() && !FEncoder.EndOfStream()) {
          FEncoder.Encode(nullptr, 0, FBitsPerSample);
        }
      },
      [&] { CloseOutputFile(); },
      [&] { Input()->FinishInput(); },
      [&] { FComments.Clear(); },
      [&] { FEncoder.Release(); },
  });
}

}  // namespace murmex
