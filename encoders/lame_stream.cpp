#include "encoders/lame_stream.h"

#include "pipeline/au_file_stream.h"

namespace murmex {

namespace {

MPEG_mode LameMode(int32_t mode) {
  switch (mode) {
    case mmJointStereo: return JOINT_STEREO;
    case mmDual: return DUAL_CHANNEL;
    case mmMono: return MONO;
    default: return STEREO;
  }
}

}  // namespace

LameStream::~LameStream() { Close(); }

uint32_t LameStream::Init(const Mp3ConfigRecord& record, int inputChannels,
                          uint32_t& samplesPerChunk, uint32_t& outputBufferSize) {
  if (record.ConfigKind != kMp3ConfigLame || inputChannels < 1 || inputChannels > 2) {
    return kLameErrInvalidFormat;
  }
  Close();
  const LameApi& lame = LameLibrary::Api();
  flags_ = lame.lame_init();
  if (flags_ == nullptr) return kLameErrInvalidFormatParameters;

  channels_ = inputChannels;
  lame.lame_set_in_samplerate(flags_, static_cast<int>(record.SampleRate));
  lame.lame_set_out_samplerate(flags_, static_cast<int>(record.ReSampleRate));
  lame.lame_set_num_channels(flags_, inputChannels);
  lame.lame_set_mode(flags_, inputChannels == 1 ? MONO : LameMode(record.Mode));
  lame.lame_set_error_protection(flags_, record.Crc != 0);
  lame.lame_set_copyright(flags_, record.Copyright != 0);
  lame.lame_set_original(flags_, record.Original != 0);
  writeVbrHeader_ = record.WriteVbrHeader != 0;
  lame.lame_set_bWriteVbrTag(flags_, writeVbrHeader_);
  if (record.EnableVbr != 0) {
    if (record.VbrMethod == kMp3VbrMethodAbr) {
      lame.lame_set_VBR(flags_, vbr_abr);
      lame.lame_set_VBR_mean_bitrate_kbps(flags_, static_cast<int>(record.VbrAbrKbps));
    } else {
      lame.lame_set_VBR(flags_, vbr_default);
    }
    lame.lame_set_VBR_q(flags_, record.VbrQuality);
    if (record.Bitrate != 0) {
      lame.lame_set_VBR_min_bitrate_kbps(flags_, static_cast<int>(record.Bitrate));
    }
    if (record.MaxBitrate != 0) {
      lame.lame_set_VBR_max_bitrate_kbps(flags_, static_cast<int>(record.MaxBitrate));
    }
  } else {
    lame.lame_set_VBR(flags_, vbr_off);
    if (record.Bitrate != 0) lame.lame_set_brate(flags_, static_cast<int>(record.Bitrate));
  }
  if (lame.lame_init_params(flags_) < 0) {
    Close();
    return kLameErrInvalidFormatParameters;
  }
  outputSampleRate_ = static_cast<uint32_t>(lame.lame_get_out_samplerate(flags_));
  const auto frameSize = static_cast<uint32_t>(lame.lame_get_framesize(flags_));
  samplesPerChunk = frameSize * static_cast<uint32_t>(inputChannels);
  // LAME's own worst case for one call: 1.25 x samples per channel + 7200.
  outputBufferSize = frameSize * 5 / 4 + 7200;
  return kLameOk;
}

int LameStream::EncodeChunk(const int16_t* samples, uint32_t sampleCount, uint8_t* output,
                            std::size_t outputSize) {
  const LameApi& lame = LameLibrary::Api();
  const int perChannel = static_cast<int>(sampleCount) / channels_;
  const int size = static_cast<int>(outputSize);
  if (channels_ == 1) {
    return lame.lame_encode_buffer(flags_, samples, samples, perChannel, output, size);
  }
  return lame.lame_encode_buffer_interleaved(flags_, const_cast<int16_t*>(samples), perChannel,
                                             output, size);
}

int LameStream::Deinit(uint8_t* output, std::size_t outputSize) {
  const LameApi& lame = LameLibrary::Api();
  const int produced = lame.lame_encode_flush(flags_, output, static_cast<int>(outputSize));
  vbrHeader_.clear();
  if (writeVbrHeader_) {
    std::vector<uint8_t> frame(2880);
    const std::size_t size = lame.lame_get_lametag_frame(flags_, frame.data(), frame.size());
    if (size > 0 && size <= frame.size()) {
      frame.resize(size);
      vbrHeader_ = std::move(frame);
    }
  }
  return produced;
}

void LameStream::Close() {
  if (flags_ != nullptr) {
    LameLibrary::Api().lame_close(flags_);
    flags_ = nullptr;
  }
}

void LameStream::WriteVbrHeader(const std::filesystem::path& fileName) const {
  if (vbrHeader_.empty()) return;
  TAuFileStream file(fileName, fmOpenReadWrite | fmShareExclusive);
  file.Seek(0, TSeekOrigin::soBeginning);
  file.Write(vbrHeader_.data(), vbrHeader_.size());
  file.Close();
}

}  // namespace murmex
