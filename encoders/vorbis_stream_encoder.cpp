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

// The input's rate first. A rate outside the usual range that the encoder refuses is replaced by
// the common rates it may take instead, nearest first (the higher of two equally near).
std::vector<unsigned> CandidateRates(unsigned rate) {
  std::vector<unsigned> candidates{rate};
  if (rate >= 8000 && rate <= 48000) return candidates;
  // Highest first, so that a stable sort puts the higher of two equally near first.
  std::vector<unsigned> common{192000, 176400, 96000, 88200, 48000, 44100,
                               32000,  22050,  16000, 11025, 8000};
  std::erase(common, rate);
  const auto distance = [rate](unsigned other) { return other > rate ? other - rate : rate - other; };
  std::stable_sort(common.begin(), common.end(),
                   [&](unsigned a, unsigned b) { return distance(a) < distance(b); });
  candidates.insert(candidates.end(), common.begin(), common.end());
  return candidates;
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
  FRate = ChooseRate(setup);
  if (FRate != setup.SampleRate) {
    FResampler = std::make_unique<VorbisResampler>(setup.Channels, static_cast<int>(setup.SampleRate),
                                                   static_cast<int>(FRate));
    FPlanar.assign(setup.Channels, std::vector<float>(kMaxFrames));
    FPlanarPointers.clear();
    for (auto& channel : FPlanar) FPlanarPointers.push_back(channel.data());
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

unsigned VorbisStreamEncoder::ChooseRate(const VorbisEncoderSetup& setup) {
  for (const unsigned rate : CandidateRates(setup.SampleRate)) {
    if (Configure(setup, rate)) return rate;
    // A refused set-up may leave parts behind; the next try starts from a fresh description.
    Api.vorbis_info_clear(&FInfo);
    Api.vorbis_info_init(&FInfo);
  }
  // An encoder left without a finished set-up would crash the analysis, so a refusal is an error.
  throw EAuException(setup.Nominal == -1
                         ? "Vorbis codec setup with the requested quality failed."
                         : "Vorbis codec setup with the requested bitrate failed. Try a lower bitrate.");
}

bool VorbisStreamEncoder::Configure(const VorbisEncoderSetup& setup, unsigned rate) {
  const auto channels = static_cast<int>(setup.Channels);
  if (setup.Nominal == -1) {
    return Api.vorbis_encode_setup_vbr(&FInfo, channels, rate, setup.Quality) == 0 &&
           Api.vorbis_encode_setup_init(&FInfo) == 0;
  }
  return Api.vorbis_encode_init(&FInfo, channels, rate, setup.Maximum, setup.Nominal,
                                setup.Minimum) == 0;
}

void VorbisStreamEncoder::Encode(const uint8_t* pcm, std::size_t bytes, unsigned bitsPerSample) {
  const unsigned width = std::max(1U, bitsPerSample / 8);
  const std::size_t frameSize = static_cast<std::size_t>(FChannels) * width;
  const auto frames =
      static_cast<int>(std::min<std::size_t>(bytes / frameSize, std::size_t{kMaxFrames}));
  // Without resampling the samples go straight into the analysis buffer.
  float* const* planar = FResampler ? FPlanarPointers.data()
                                    : Api.vorbis_analysis_buffer(&FDsp, kMaxFrames);
  for (int i = 0; i < frames; ++i) {
    const uint8_t* frame = pcm + static_cast<std::size_t>(i) * frameSize;
    for (unsigned c = 0; c < FChannels; ++c) planar[c][i] = SampleValue(frame + c * width, width);
  }
  if (!FResampler) {
    Api.vorbis_analysis_wrote(&FDsp, frames);
  } else if (frames > 0) {
    Analyse(planar, frames);
  } else {
    FlushResampler();
    Api.vorbis_analysis_wrote(&FDsp, 0);
  }
  DrainPackets();
}

void VorbisStreamEncoder::Analyse(const float* const* planar, int frames) {
  const int capacity = FResampler->MaxOutput(frames);
  float** buffer = Api.vorbis_analysis_buffer(&FDsp, capacity);
  const int made = FResampler->Convert(buffer, capacity, planar, frames);
  // The filter may hold a short input back entirely; writing 0 frames would end the stream.
  if (made > 0) Api.vorbis_analysis_wrote(&FDsp, made);
}

void VorbisStreamEncoder::FlushResampler() {
  const int capacity = FResampler->MaxOutput(0);
  if (capacity <= 0) return;
  float** buffer = Api.vorbis_analysis_buffer(&FDsp, capacity);
  const int made = FResampler->Flush(buffer, capacity);
  // Writing 0 frames would end the stream here; the caller ends it once everything is in.
  if (made > 0) Api.vorbis_analysis_wrote(&FDsp, made);
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
  FResampler.reset();
  FPlanar.clear();
  FPlanarPointers.clear();
  std::memset(&FDsp, 0, sizeof FDsp);
  std::memset(&FBlock, 0, sizeof FBlock);
  std::memset(&FStream, 0, sizeof FStream);
}

}  // namespace murmex
