#include "source/decoder_stream.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libswresample/swresample.h>
}

#include <algorithm>
#include <array>
#include <cstring>
#include <string_view>

#include "encoders/ffmpeg_file_url.h"
#include "encoders/ffmpeg_library.h"

namespace murmex {
namespace {

// The loader refuses sources of more than two channels with its own message, so the decoder must
// open them; this only bounds the buffers a hostile header can ask for. Any positive rate is
// taken: the writers keep it, resample it or refuse it by name.
constexpr uint32_t kMaxChannels = 1024;
constexpr uint32_t kMaxConvertedChannels = 64;
// A forward seek closer than this many seconds decodes its way there instead of asking the
// demuxer, which is exact and cheap over short distances.
constexpr int64_t kDecodeForwardSeconds = 10;
// A decoder that keeps failing without ever taking input again is treated as ended.
constexpr int kMaxDecodeErrors = 1000;

// A length the container only estimates may claim at most this long, or longer when the file is
// big enough to hold that much at kLowestBitsPerSecond, below what any codec read here encodes at.
// Anything more is a damaged or hostile header, not audio.
constexpr int64_t kLongestEstimateSeconds = 24 * 60 * 60;
constexpr int64_t kLowestBitsPerSecond = 1000;

// Bytes of `frames` frames, or -1 when the count is negative or the product does not fit.
int64_t BytesOfFrames(int64_t frames, int64_t frameBytes) {
  int64_t bytes = 0;
  if (frames < 0 || __builtin_mul_overflow(frames, frameBytes, &bytes)) return -1;
  return bytes;
}

// The most frames an estimated length of a `fileBytes`-byte file at `rate` may claim.
int64_t MostEstimatedFrames(uint32_t rate, int64_t fileBytes) {
  const int64_t seconds = std::max(kLongestEstimateSeconds, fileBytes / (kLowestBitsPerSecond / 8));
  int64_t frames = 0;
  return __builtin_mul_overflow(seconds, int64_t{rate}, &frames) ? INT64_MAX : frames;
}

bool FamilyAccepts(DecoderStream::Family family, std::string_view demuxer) {
  static constexpr std::array<std::string_view, 5> kCore{"wav", "w64", "mp3", "ogg", "aiff"};
  switch (family) {
    case DecoderStream::Family::Core:
      return std::find(kCore.begin(), kCore.end(), demuxer) != kCore.end();
    case DecoderStream::Family::Wma:
      return demuxer == "asf";
    case DecoderStream::Family::Flac:
      return demuxer == "flac";
  }
  return false;
}

bool IsPcm(AVCodecID id) {
  const AVCodecDescriptor* descriptor = avcodec_descriptor_get(id);
  return descriptor != nullptr && std::string_view(descriptor->name).starts_with("pcm_");
}

bool HasExactLength(AVCodecID id) { return IsPcm(id) || id == AV_CODEC_ID_FLAC; }

}  // namespace

DecoderStream::DecoderStream(std::filesystem::path path, Family family) : path_(std::move(path)), family_(family) {}

DecoderStream::~DecoderStream() { CloseDecoder(); }

std::unique_ptr<DecoderStream> DecoderStream::Open(const std::filesystem::path& path, Family family) {
  PrepareFfmpeg();
  std::unique_ptr<DecoderStream> stream(new DecoderStream(path, family));
  if (!stream->OpenDecoder()) return nullptr;
  const AVStream* audio = stream->container_->streams[stream->streamIndex_];
  const int64_t frameBytes = stream->FrameBytes();
  if (HasExactLength(audio->codecpar->codec_id)) {
    const int64_t frames = stream->CountFrames();
    stream->CloseDecoder();
    if (frames < 0 || !stream->OpenDecoder()) return nullptr;
    stream->lengthBytes_ = BytesOfFrames(frames, frameBytes);
    stream->exactLength_ = true;
  } else {
    // An estimate from the headers: an overflowing or absurd one leaves the length untold (-1),
    // which the loader reports as an invalid file. av_rescale gives INT64_MIN on overflow.
    int64_t frames = -1;
    if (audio->duration != AV_NOPTS_VALUE && audio->duration > 0) {
      const AVRational perFrame{1, static_cast<int>(stream->format_.SampleRate)};
      frames = av_rescale_q(audio->duration, audio->time_base, perFrame);
    } else if (stream->container_->duration != AV_NOPTS_VALUE && stream->container_->duration > 0) {
      frames = av_rescale(stream->container_->duration, stream->format_.SampleRate, AV_TIME_BASE);
    }
    const int64_t fileBytes = std::max<int64_t>(avio_size(stream->container_->pb), 0);
    if (frames <= MostEstimatedFrames(stream->format_.SampleRate, fileBytes))
      stream->lengthBytes_ = BytesOfFrames(frames, frameBytes);
  }
  // A source must yield audio, unless it is an exactly counted empty one.
  // The sample converter takes at most 64 channels. Sources with more are refused by their
  // channel count before any audio is read, so they only need to open.
  const bool decodable = stream->format_.Channels > kMaxConvertedChannels || stream->DecodeNext();
  if (!decodable && !(stream->exactLength_ && stream->lengthBytes_ == 0)) return nullptr;
  return stream;
}

bool DecoderStream::OpenDecoder() {
  if (avformat_open_input(&container_, FfmpegFileUrl(path_).c_str(), nullptr, nullptr) < 0) return false;
  if (!FamilyAccepts(family_, container_->iformat->name)) {
    CloseDecoder();
    return false;
  }
  // A damaged tail can make the probe fail although the headers were read; the checks below
  // and the first decode judge whether there is audio to be had.
  avformat_find_stream_info(container_, nullptr);
  const AVCodec* decoder = nullptr;
  streamIndex_ = av_find_best_stream(container_, AVMEDIA_TYPE_AUDIO, -1, -1, &decoder, 0);
  if (streamIndex_ < 0 || decoder == nullptr) {
    CloseDecoder();
    return false;
  }
  AVStream* audio = container_->streams[streamIndex_];
  codec_ = avcodec_alloc_context3(decoder);
  packet_ = av_packet_alloc();
  frame_ = av_frame_alloc();
  if (codec_ == nullptr || packet_ == nullptr || frame_ == nullptr ||
      avcodec_parameters_to_context(codec_, audio->codecpar) < 0) {
    CloseDecoder();
    return false;
  }
  codec_->pkt_timebase = audio->time_base;
  if (avcodec_open2(codec_, decoder, nullptr) < 0) {
    CloseDecoder();
    return false;
  }
  const int rate = codec_->sample_rate;
  const int channels = codec_->ch_layout.nb_channels;
  if (rate <= 0 || channels <= 0 || static_cast<uint32_t>(channels) > kMaxChannels) {
    CloseDecoder();
    return false;
  }
  const AVCodecID id = audio->codecpar->codec_id;
  format_.SampleRate = static_cast<uint32_t>(rate);
  format_.Channels = static_cast<uint32_t>(channels);
  format_.EightBit = id == AV_CODEC_ID_PCM_U8 || id == AV_CODEC_ID_PCM_S8 || id == AV_CODEC_ID_PCM_S8_PLANAR;
  const int bits = audio->codecpar->bits_per_raw_sample > 0 ? audio->codecpar->bits_per_raw_sample
                                                             : av_get_bits_per_sample(id);
  format_.SourceBits = bits > 0 ? static_cast<uint32_t>(bits) : 0;
  endOfInput_ = false;
  drained_ = false;
  firstPts_ = INT64_MIN;
  pending_.clear();
  pendingOffset_ = 0;
  positionFrames_ = 0;
  return true;
}

void DecoderStream::CloseDecoder() {
  swr_free(&resampler_);
  av_frame_free(&frame_);
  av_packet_free(&packet_);
  avcodec_free_context(&codec_);
  avformat_close_input(&container_);
  streamIndex_ = -1;
  resamplerInput_ = {};
}

int64_t DecoderStream::CountFrames() {
  const AVStream* audio = container_->streams[streamIndex_];
  const AVCodecID id = audio->codecpar->codec_id;
  int blockAlign = audio->codecpar->block_align;
  if (IsPcm(id) && blockAlign <= 0) blockAlign = static_cast<int>(format_.Channels) * av_get_bits_per_sample(id) / 8;
  if (IsPcm(id) && blockAlign > 0) {
    // PCM needs no decoding to be counted: whole frames in the packets that are really there.
    int64_t frames = 0;
    while (av_read_frame(container_, packet_) >= 0) {
      if (packet_->stream_index == streamIndex_) frames += packet_->size / blockAlign;
      av_packet_unref(packet_);
    }
    return frames;
  }
  int64_t frames = 0;
  while (DecodeNext()) {
    frames += static_cast<int64_t>(pending_.size() / FrameBytes());
    pendingOffset_ = pending_.size();
  }
  return frames;
}

bool DecoderStream::DecodeNext() {
  pending_.clear();
  pendingOffset_ = 0;
  int errors = 0;
  while (codec_ != nullptr && !drained_) {
    const int received = avcodec_receive_frame(codec_, frame_);
    if (received == 0) {
      errors = 0;
      const bool converted = ConvertFrame();
      av_frame_unref(frame_);
      if (converted && !pending_.empty()) return true;
      continue;
    }
    // Damaged data is reported once per packet; the decoder goes on with the next one.
    if (received != AVERROR(EAGAIN) && received != AVERROR_EOF && ++errors <= kMaxDecodeErrors) continue;
    if (received != AVERROR(EAGAIN) || endOfInput_) {
      drained_ = true;
      break;
    }
    if (av_read_frame(container_, packet_) < 0) {
      endOfInput_ = true;
      avcodec_send_packet(codec_, nullptr);
      continue;
    }
    if (packet_->stream_index == streamIndex_) avcodec_send_packet(codec_, packet_);
    av_packet_unref(packet_);
  }
  return false;
}

bool DecoderStream::ConvertFrame() {
  const int inChannels = frame_->ch_layout.nb_channels;
  if (frame_->nb_samples <= 0 || inChannels <= 0) return false;
  const ResamplerInput input{frame_->format, frame_->sample_rate, inChannels};
  if (resampler_ == nullptr || !(input == resamplerInput_)) {
    swr_free(&resampler_);
    AVChannelLayout inLayout{};
    AVChannelLayout outLayout{};
    if (frame_->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC || av_channel_layout_copy(&inLayout, &frame_->ch_layout) < 0)
      av_channel_layout_default(&inLayout, inChannels);
    // The output keeps the source's own channel order; only a change of count mid-stream remixes.
    if (static_cast<uint32_t>(inChannels) == format_.Channels)
      av_channel_layout_copy(&outLayout, &inLayout);
    else
      av_channel_layout_default(&outLayout, static_cast<int>(format_.Channels));
    const int made = swr_alloc_set_opts2(&resampler_, &outLayout, AV_SAMPLE_FMT_S16, static_cast<int>(format_.SampleRate),
                                         &inLayout, static_cast<AVSampleFormat>(frame_->format), frame_->sample_rate,
                                         0, nullptr);
    av_channel_layout_uninit(&inLayout);
    av_channel_layout_uninit(&outLayout);
    if (made < 0 || swr_init(resampler_) < 0) {
      swr_free(&resampler_);
      return false;
    }
    resamplerInput_ = input;
  }
  if (frame_->best_effort_timestamp != AV_NOPTS_VALUE && firstPts_ == INT64_MIN) firstPts_ = frame_->best_effort_timestamp;
  lastFramePts_ = frame_->best_effort_timestamp;
  const int capacity = swr_get_out_samples(resampler_, frame_->nb_samples);
  if (capacity <= 0) return false;
  pending_.resize(static_cast<size_t>(capacity) * FrameBytes());
  uint8_t* out = pending_.data();
  const int converted =
      swr_convert(resampler_, &out, capacity, const_cast<const uint8_t**>(frame_->extended_data), frame_->nb_samples);
  if (converted < 0) {
    pending_.clear();
    return false;
  }
  pending_.resize(static_cast<size_t>(converted) * FrameBytes());
  return true;
}

uint32_t DecoderStream::Read(void* dst, uint32_t maxBytes) {
  std::lock_guard lock(mutex_);
  const uint32_t wanted = maxBytes - maxBytes % static_cast<uint32_t>(FrameBytes());
  auto* out = static_cast<uint8_t*>(dst);
  uint32_t written = 0;
  while (written < wanted) {
    if (pendingOffset_ >= pending_.size() && !DecodeNext()) break;
    const size_t take = std::min<size_t>(wanted - written, pending_.size() - pendingOffset_);
    std::memcpy(out + written, pending_.data() + pendingOffset_, take);
    pendingOffset_ += take;
    written += static_cast<uint32_t>(take);
  }
  positionFrames_ += written / FrameBytes();
  return written;
}

bool DecoderStream::SkipFrames(int64_t frames) {
  while (frames > 0) {
    if (pendingOffset_ >= pending_.size() && !DecodeNext()) break;
    const int64_t available = static_cast<int64_t>((pending_.size() - pendingOffset_) / FrameBytes());
    const int64_t take = std::min(frames, available);
    pendingOffset_ += static_cast<size_t>(take) * FrameBytes();
    positionFrames_ += take;
    frames -= take;
  }
  return true;
}

bool DecoderStream::SeekByTimestamp(int64_t targetFrame) {
  const AVStream* audio = container_->streams[streamIndex_];
  const AVRational perFrame{1, static_cast<int>(format_.SampleRate)};
  const int64_t base = firstPts_ != INT64_MIN ? firstPts_ : (audio->start_time != AV_NOPTS_VALUE ? audio->start_time : 0);
  // Timestamps come from the file: a sum or difference that overflows is no place to seek to.
  int64_t target = 0;
  if (__builtin_add_overflow(base, av_rescale_q(targetFrame, perFrame, audio->time_base), &target)) return false;
  if (avformat_seek_file(container_, streamIndex_, INT64_MIN, target, target, 0) < 0) return false;
  avcodec_flush_buffers(codec_);
  swr_free(&resampler_);
  endOfInput_ = false;
  drained_ = false;
  if (!DecodeNext() || lastFramePts_ == AV_NOPTS_VALUE) return false;
  int64_t elapsed = 0;
  if (__builtin_sub_overflow(lastFramePts_, base, &elapsed)) return false;
  const int64_t landed = av_rescale_q(elapsed, audio->time_base, perFrame);
  if (landed > targetFrame || landed < 0) return false;
  positionFrames_ = landed;
  return SkipFrames(targetFrame - landed);
}

bool DecoderStream::Seek(uint64_t byteOffset) {
  std::lock_guard lock(mutex_);
  if (codec_ == nullptr) return false;
  const uint64_t frameBytes = static_cast<uint64_t>(FrameBytes());
  if (exactLength_ && byteOffset > static_cast<uint64_t>(lengthBytes_)) return false;
  if (byteOffset / frameBytes > static_cast<uint64_t>(INT64_MAX / static_cast<int64_t>(frameBytes))) return false;
  const int64_t target = static_cast<int64_t>(byteOffset / frameBytes);
  if (target == positionFrames_) return true;
  if (target > positionFrames_ && target - positionFrames_ <= kDecodeForwardSeconds * format_.SampleRate)
    return SkipFrames(target - positionFrames_);
  if (target != 0 && SeekByTimestamp(target)) return true;
  // Reopening is the one way back to the start that gives the very same PCM as the first decode.
  CloseDecoder();
  if (!OpenDecoder()) return false;
  return SkipFrames(target);
}

uint64_t DecoderStream::PositionBytes() {
  std::lock_guard lock(mutex_);
  return static_cast<uint64_t>(positionFrames_) * FrameBytes();
}

bool DecoderStream::IsActive() {
  std::lock_guard lock(mutex_);
  return pendingOffset_ < pending_.size() || DecodeNext();
}

double DecoderStream::BytesToSeconds(uint64_t bytes) const {
  return static_cast<double>(bytes) / (static_cast<double>(format_.SampleRate) * FrameBytes());
}

}  // namespace murmex
