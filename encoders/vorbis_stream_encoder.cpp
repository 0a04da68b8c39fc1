#include "encoders/vorbis_stream_encoder.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "pipeline/au_exception.h"

namespace murmex {

namespace {

// One sample of `width` bytes as a float in -1..1. Widths above 16 bits are read by their top
// three bytes (24-bit precision), so 24- and 32-bit samples both convert correctly.
float SampleValue(const uint8_t* sample, unsigned width) {
  switch (width) {
    case 1: return static_cast<float>(static_cast<int>(sample[0]) - 128) / 128.0F;
    case 2: {
      int16_t value;
      std::memcpy(&value, sample, 2);
      return static_cast<float>(value) / 32768.0F;
    }
    default: {
      const uint8_t* top = sample + (width - 3);
      int16_t upper;
      std::memcpy(&upper, top + 1, 2);
      const int32_t value = static_cast<int32_t>(upper) * 256 + top[0];
      return static_cast<float>(value) / 8388608.0F;
    }
  }
}

}  // namespace

VorbisStreamEncoder::VorbisStreamEncoder() : Api(VorbisLibrary::Instance().Api()) {
  std::memset(&FInfo, 0, sizeof FInfo);
  std::memset(&FComment, 0, sizeof FComment);
  std::memset(&FDsp, 0, sizeof FDsp);
  std::memset(&FBlock, 0, sizeof FBlock);
  std::memset(&FStream, 0, sizeof FStream);
}

VorbisStreamEncoder::~VorbisStreamEncoder() { Release(); }

void VorbisStreamEncoder::Open(const VorbisEncoderSetup& setup, const TAuTags& comments,
                               int serial, TAuStream& out) {
  Release();
  FOut = &out;
  FChannels = setup.Channels;
  FEndOfStream = false;

  Api.vorbis_info_init(&FInfo);
  FStage = Stage::Described;
  const auto channels = static_cast<int>(setup.Channels);
  const auto rate = static_cast<long>(setup.SampleRate);
  if (setup.Nominal == -1) {
    // An encoder left without a finished set-up would crash the analysis, so a refusal is an error.
    if (Api.vorbis_encode_setup_vbr(&FInfo, channels, rate, setup.Quality) != 0 ||
        Api.vorbis_encode_setup_init(&FInfo) != 0) {
      throw EAuException("Vorbis codec setup with the requested quality failed.");
    }
  } else if (Api.vorbis_encode_init(&FInfo, channels, rate, setup.Maximum, setup.Nominal,
                                    setup.Minimum) != 0) {
    throw EAuException("Vorbis codec setup with the requested bitrate failed. Try a lower bitrate.");
  }

  Api.vorbis_comment_init(&FComment);
  FStage = Stage::Commented;
  for (int i = 0; i < comments.Count(); ++i) {
    const std::string key = comments.Key(i);
    const std::string text = comments.AsText(key);
    if (!text.empty()) Api.vorbis_comment_add_tag(&FComment, key.c_str(), text.c_str());
  }

  FStage = Stage::Analysing;
  if (Api.vorbis_analysis_init(&FDsp, &FInfo) != 0 || Api.vorbis_block_init(&FDsp, &FBlock) != 0 ||
      Api.ogg_stream_init(&FStream, serial) != 0) {
    throw EAuException("Vorbis encoder could not be started.");
  }

  ogg_packet identification, comment, codebooks;
  if (Api.vorbis_analysis_headerout(&FDsp, &FComment, &identification, &comment, &codebooks) != 0 ||
      Api.ogg_stream_packetin(&FStream, &identification) != 0 ||
      Api.ogg_stream_packetin(&FStream, &comment) != 0 ||
      Api.ogg_stream_packetin(&FStream, &codebooks) != 0) {
    throw EAuException("Vorbis headers could not be made.");
  }
  ogg_page page;
  while (Api.ogg_stream_flush(&FStream, &page) != 0) WritePage(page);
  FStage = Stage::Writing;
}

void VorbisStreamEncoder::Encode(const uint8_t* pcm, std::size_t bytes, unsigned bitsPerSample) {
  float** buffer = Api.vorbis_analysis_buffer(&FDsp, kMaxFrames);
  const unsigned width = std::max(1U, bitsPerSample / 8);
  const std::size_t frameSize = static_cast<std::size_t>(FChannels) * width;
  const auto frames =
      static_cast<int>(std::min<std::size_t>(bytes / frameSize, std::size_t{kMaxFrames}));
  for (int i = 0; i < frames; ++i) {
    const uint8_t* frame = pcm + static_cast<std::size_t>(i) * frameSize;
    for (unsigned c = 0; c < FChannels; ++c) buffer[c][i] = SampleValue(frame + c * width, width);
  }
  Api.vorbis_analysis_wrote(&FDsp, frames);
  DrainPackets();
}

void VorbisStreamEncoder::DrainPackets() {
  while (Api.vorbis_analysis_blockout(&FDsp, &FBlock) == 1) {
    Api.vorbis_analysis(&FBlock, nullptr);
    Api.vorbis_bitrate_addblock(&FBlock);
    ogg_packet packet;
    while (Api.vorbis_bitrate_flushpacket(&FDsp, &packet) == 1) {
      if (Api.ogg_stream_packetin(&FStream, &packet) != 0) {
        throw EAuException("Ogg stream could not take a packet.");
      }
      ogg_page page;
      while (!FEndOfStream && Api.ogg_stream_pageout(&FStream, &page) != 0) {
        WritePage(page);
        if (Api.ogg_page_eos(&page) != 0) FEndOfStream = true;
      }
    }
  }
}

void VorbisStreamEncoder::WritePage(const ogg_page& page) {
  FOut->Write(page.header, static_cast<std::size_t>(page.header_len));
  FOut->Write(page.body, static_cast<std::size_t>(page.body_len));
}

void VorbisStreamEncoder::Release() {
  if (FStage == Stage::Analysing || FStage == Stage::Writing) {
    Api.ogg_stream_clear(&FStream);
    Api.vorbis_block_clear(&FBlock);
    Api.vorbis_dsp_clear(&FDsp);
  }
  if (FStage != Stage::Closed && FStage != Stage::Described) {
    Api.vorbis_comment_clear(&FComment);
  }
  if (FStage != Stage::Closed) Api.vorbis_info_clear(&FInfo);
  FStage = Stage::Closed;
  FOut = nullptr;
  std::memset(&FDsp, 0, sizeof FDsp);
  std::memset(&FBlock, 0, sizeof FBlock);
  std::memset(&FStream, 0, sizeof FStream);
}

}  // namespace murmex
