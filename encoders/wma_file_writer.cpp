#include "encoders/wma_file_writer.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/audio_fifo.h>
#include <libavutil/channel_layout.h>
#include <libswresample/swresample.h>
}

#include <algorithm>

#include "encoders/ffmpeg_file_url.h"
#include "encoders/ffmpeg_library.h"

namespace murmex {

WmaFileWriter::~WmaFileWriter() { Release(); }

int WmaFileWriter::Open(const std::filesystem::path& fileName) {
  Release();
  PrepareFfmpeg();
  // Always a plain file: a name such as "pipe:1.wma" must not reach FFmpeg as a protocol.
  const std::string url = FfmpegFileUrl(fileName);
  int result = avformat_alloc_output_context2(&FFormat, nullptr, "asf", url.c_str());
  if (result < 0) return result;
  return avio_open(&FFormat->pb, url.c_str(), AVIO_FLAG_WRITE);
}

int WmaFileWriter::SetProfile(const WmaCodecFormat& format) {
  const AVCodec* encoder = avcodec_find_encoder(AV_CODEC_ID_WMAV2);
  if (FFormat == nullptr || encoder == nullptr || format.FormatTag != kWaveFormatWma2) {
    return AVERROR_ENCODER_NOT_FOUND;
  }
  if (avformat_new_stream(FFormat, nullptr) == nullptr) return AVERROR(ENOMEM);
  FCodec = avcodec_alloc_context3(encoder);
  if (FCodec == nullptr) return AVERROR(ENOMEM);
  FCodec->sample_fmt = AV_SAMPLE_FMT_FLTP;
  FCodec->sample_rate = static_cast<int>(format.SampleRate);
  av_channel_layout_default(&FCodec->ch_layout, static_cast<int>(format.Channels));
  FCodec->bit_rate = format.Bitrate;
  FCodec->time_base = AVRational{1, FCodec->sample_rate};
  FProfile = format;
  FHasProfile = true;
  return 0;
}

void WmaFileWriter::SetInputFormat(unsigned channels, unsigned sampleRate, unsigned bitsPerSample) {
  FInChannels = channels;
  FInRate = sampleRate;
  FInBits = bitsPerSample;
}

void WmaFileWriter::SetAttribute(const std::string& name, const std::string& utf8Value) {
  if (FFormat != nullptr) av_dict_set(&FFormat->metadata, name.c_str(), utf8Value.c_str(), 0);
}

int WmaFileWriter::BeginWriting() {
  if (FFormat == nullptr || !FHasProfile) return AVERROR(EINVAL);
  if (FInBits != 8 && FInBits != 16) return AVERROR(EINVAL);
  if ((FFormat->oformat->flags & AVFMT_GLOBALHEADER) != 0) {
    FCodec->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
  }
  int result = avcodec_open2(FCodec, nullptr, nullptr);
  if (result < 0) return result;
  AVStream* stream = FFormat->streams[0];
  stream->time_base = FCodec->time_base;
  result = avcodec_parameters_from_context(stream->codecpar, FCodec);
  if (result < 0) return result;

  AVChannelLayout inLayout;
  av_channel_layout_default(&inLayout, static_cast<int>(FInChannels));
  result = swr_alloc_set_opts2(&FResampler, &FCodec->ch_layout, AV_SAMPLE_FMT_FLTP,
                               FCodec->sample_rate, &inLayout,
                               FInBits == 8 ? AV_SAMPLE_FMT_U8 : AV_SAMPLE_FMT_S16,
                               static_cast<int>(FInRate), 0, nullptr);
  av_channel_layout_uninit(&inLayout);
  if (result < 0) return result;
  result = swr_init(FResampler);
  if (result < 0) return result;

  const int channels = FCodec->ch_layout.nb_channels;
  FFifo = av_audio_fifo_alloc(AV_SAMPLE_FMT_FLTP, channels, FCodec->frame_size * 4);
  FFrame = av_frame_alloc();
  FPacket = av_packet_alloc();
  if (FFifo == nullptr || FFrame == nullptr || FPacket == nullptr) return AVERROR(ENOMEM);
  FFrame->format = AV_SAMPLE_FMT_FLTP;
  FFrame->sample_rate = FCodec->sample_rate;
  FFrame->nb_samples = FCodec->frame_size;
  result = av_channel_layout_copy(&FFrame->ch_layout, &FCodec->ch_layout);
  if (result < 0) return result;
  result = av_frame_get_buffer(FFrame, 0);
  if (result < 0) return result;
  FConverted.assign(static_cast<std::size_t>(channels), {});
  FConvertedPlanes.assign(static_cast<std::size_t>(channels), nullptr);
  // Decoders give nothing for the encoder's initial padding (its first frame only primes the
  // transform's overlap): that much silence goes first so that the first samples given are heard.
  result = QueueSilence(FCodec->initial_padding);
  if (result < 0) return result;

  // That priming frame keeps its time before zero (the file's preroll absorbs it): shifted to
  // zero, it would make the file claim one frame more than it plays.
  FFormat->avoid_negative_ts = AVFMT_AVOID_NEG_TS_DISABLED;
  result = avformat_write_header(FFormat, nullptr);
  if (result < 0) return result;
  FHeaderWritten = true;
  FLastSampleTime = 0;
  FNextPts = 0;
  return 0;
}

int WmaFileWriter::WriteSample(const uint8_t* pcm, std::size_t bytes, int64_t sampleTime) {
  if (!FHeaderWritten || sampleTime < FLastSampleTime) return AVERROR(EINVAL);
  FLastSampleTime = sampleTime;
  const std::size_t frameSize = FInChannels * (FInBits / 8);
  const auto frames = static_cast<int>(bytes / frameSize);
  if (frames == 0) return 0;
  const int result = Convert(pcm, frames);
  return result < 0 ? result : EncodeFrames(false);
}

void WmaFileWriter::ReserveConverted(int samples) {
  for (std::size_t c = 0; c < FConverted.size(); ++c) {
    if (FConverted[c].size() < static_cast<std::size_t>(samples)) {
      FConverted[c].resize(static_cast<std::size_t>(samples));
    }
    FConvertedPlanes[c] = reinterpret_cast<uint8_t*>(FConverted[c].data());
  }
}

int WmaFileWriter::QueueConverted(int samples) {
  if (samples <= 0) return 0;
  const int written =
      av_audio_fifo_write(FFifo, reinterpret_cast<void**>(FConvertedPlanes.data()), samples);
  return written < samples ? AVERROR(ENOMEM) : 0;
}

int WmaFileWriter::QueueSilence(int samples) {
  if (samples <= 0) return 0;
  ReserveConverted(samples);
  for (std::vector<float>& plane : FConverted) std::fill_n(plane.begin(), samples, 0.0f);
  return QueueConverted(samples);
}

int WmaFileWriter::Convert(const uint8_t* pcm, int frames) {
  const int capacity = swr_get_out_samples(FResampler, frames);
  if (capacity < 0) return capacity;
  ReserveConverted(capacity);
  const uint8_t* in[] = {pcm};
  const int converted =
      swr_convert(FResampler, FConvertedPlanes.data(), capacity, pcm == nullptr ? nullptr : in,
                  frames);
  return converted < 0 ? converted : QueueConverted(converted);
}

int WmaFileWriter::EncodeFrames(bool flush) {
  const int frameSize = FCodec->frame_size;
  while (av_audio_fifo_size(FFifo) >= frameSize || (flush && av_audio_fifo_size(FFifo) > 0)) {
    int result = av_frame_make_writable(FFrame);
    if (result < 0) return result;
    const int available = std::min(av_audio_fifo_size(FFifo), frameSize);
    result = av_audio_fifo_read(FFifo, reinterpret_cast<void**>(FFrame->data), available);
    if (result < available) return result < 0 ? result : AVERROR(EIO);
    // The encoder takes whole frames only: the last one is completed with silence.
    if (available < frameSize) {
      av_samples_set_silence(FFrame->data, available, frameSize - available,
                             FCodec->ch_layout.nb_channels, AV_SAMPLE_FMT_FLTP);
    }
    FFrame->pts = FNextPts;
    FNextPts += frameSize;
    result = EncodeFrame(FFrame);
    if (result < 0) return result;
  }
  return 0;
}

int WmaFileWriter::EncodeFrame(AVFrame* frame) {
  int result = avcodec_send_frame(FCodec, frame);
  if (result < 0) return result;
  for (;;) {
    result = avcodec_receive_packet(FCodec, FPacket);
    if (result == AVERROR(EAGAIN) || result == AVERROR_EOF) return 0;
    if (result < 0) return result;
    av_packet_rescale_ts(FPacket, FCodec->time_base, FFormat->streams[0]->time_base);
    FPacket->stream_index = 0;
    result = av_interleaved_write_frame(FFormat, FPacket);
    if (result < 0) return result;
  }
}

int WmaFileWriter::EndWriting() {
  if (!FHeaderWritten) return AVERROR(EINVAL);
  FHeaderWritten = false;
  // What the resampler still holds, then the last partial frame, then the encoder's own delay.
  int result = Convert(nullptr, 0);
  if (result >= 0) result = EncodeFrames(true);
  if (result >= 0) result = EncodeFrame(nullptr);
  if (result >= 0) result = av_write_trailer(FFormat);
  const int closed = avio_closep(&FFormat->pb);
  return result < 0 ? result : closed;
}

void WmaFileWriter::Release() {
  av_packet_free(&FPacket);
  av_frame_free(&FFrame);
  if (FFifo != nullptr) {
    av_audio_fifo_free(FFifo);
    FFifo = nullptr;
  }
  swr_free(&FResampler);
  avcodec_free_context(&FCodec);
  if (FFormat != nullptr) {
    if (FFormat->pb != nullptr) avio_closep(&FFormat->pb);
    avformat_free_context(FFormat);
    FFormat = nullptr;
  }
  FHasProfile = false;
  FHeaderWritten = false;
}

}  // namespace murmex
