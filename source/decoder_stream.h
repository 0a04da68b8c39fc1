#pragma once
// A decode-only stream on FFmpeg: delivers a file's audio as interleaved signed 16-bit PCM at the
// file's own rate and channel count, with positions counted in bytes of that PCM.
#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

struct AVFormatContext;
struct AVCodecContext;
struct AVPacket;
struct AVFrame;
struct SwrContext;

namespace murmex {

class DecoderStream {
 public:
  // Which demuxers an entry point accepts (the core library, the WMA add-on, the FLAC add-on).
  enum class Family { Core, Wma, Flac };

  struct Format {
    uint32_t SampleRate = 0;
    uint32_t Channels = 0;
    bool EightBit = false;     // the source holds 8-bit PCM
    uint32_t SourceBits = 0;   // resolution of the source's samples, 0 when not told
  };

  // Opens and checks the file; nullptr when it is missing, not of the family, or not decodable.
  static std::unique_ptr<DecoderStream> Open(const std::filesystem::path& path, Family family);
  ~DecoderStream();
  DecoderStream(const DecoderStream&) = delete;
  DecoderStream& operator=(const DecoderStream&) = delete;

  Format Info() const { return format_; }
  // Decoded length in bytes; -1 when it cannot be told.
  int64_t LengthBytes() const { return lengthBytes_; }
  // Reads up to maxBytes, always whole frames; 0 at the end of the data.
  uint32_t Read(void* dst, uint32_t maxBytes);
  // Moves the read position to byteOffset brought down to a whole frame. False beyond the end.
  bool Seek(uint64_t byteOffset);
  uint64_t PositionBytes();
  // True while data remains to be read.
  bool IsActive();
  double BytesToSeconds(uint64_t bytes) const;

 private:
  DecoderStream(std::filesystem::path path, Family family);
  bool OpenDecoder();
  void CloseDecoder();
  bool DecodeNext();     // fills pending_ with the next decoded frame; false at the end
  bool ConvertFrame();
  int64_t CountFrames();
  bool SkipFrames(int64_t frames);
  bool SeekByTimestamp(int64_t targetFrame);
  int FrameBytes() const { return static_cast<int>(format_.Channels) * 2; }

  // What the resampler was built for; a frame that differs rebuilds it.
  struct ResamplerInput {
    int SampleFormat = -1;
    int SampleRate = 0;
    int Channels = 0;
    bool operator==(const ResamplerInput&) const = default;
  };

  const std::filesystem::path path_;
  const Family family_;
  std::mutex mutex_;
  Format format_;
  int64_t lengthBytes_ = -1;
  bool exactLength_ = false;

  AVFormatContext* container_ = nullptr;
  AVCodecContext* codec_ = nullptr;
  AVPacket* packet_ = nullptr;
  AVFrame* frame_ = nullptr;
  SwrContext* resampler_ = nullptr;
  ResamplerInput resamplerInput_;
  int streamIndex_ = -1;
  int64_t firstPts_ = INT64_MIN;   // timestamp of the first decoded frame, the origin of seeks
  int64_t lastFramePts_ = INT64_MIN;
  bool endOfInput_ = false;
  bool drained_ = false;

  std::vector<uint8_t> pending_;  // converted PCM not yet read
  size_t pendingOffset_ = 0;
  int64_t positionFrames_ = 0;    // frame index of the next byte Read returns
};

}  // namespace murmex
