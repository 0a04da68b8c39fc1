#pragma once

// A small Windows Media Audio file writer on FFmpeg's wmav2 encoder and asf muxer. It takes what a
// Windows Media writer takes: a one-stream audio profile (one codec format), the PCM format of its
// input, string attributes by name, and timed blocks of PCM between BeginWriting and EndWriting.
// Results are 0 for success or a negative FFmpeg error code.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "encoders/wma_codec_formats.h"

struct AVFormatContext;
struct AVCodecContext;
struct AVFrame;
struct AVPacket;
struct SwrContext;
struct AVAudioFifo;

namespace murmex {

class WmaFileWriter {
public:
    WmaFileWriter() = default;
    ~WmaFileWriter();
    WmaFileWriter(const WmaFileWriter&) = delete;
    WmaFileWriter& operator=(const WmaFileWriter&) = delete;

    // Creates (or empties) the file and prepares the container.
    int Open(const std::filesystem::path& fileName);
    // The one audio stream; the format's bitrate is what the encoder is run at.
    int SetProfile(const WmaCodecFormat& format);
    // The PCM handed to WriteSample: signed 16-bit interleaved (or unsigned 8-bit).
    void SetInputFormat(unsigned channels, unsigned sampleRate, unsigned bitsPerSample);
    // A string attribute by its Windows Media name ("Title", "Author", "WM/AlbumTitle", ...).
    void SetAttribute(const std::string& name, const std::string& utf8Value);

    int BeginWriting();
    // One block of PCM, stamped with its sample time in 100 ns units. Blocks follow each other
    // without gaps; a stamp earlier than the one before is refused.
    int WriteSample(const uint8_t* pcm, std::size_t bytes, int64_t sampleTime);
    // Flushes the encoder, writes the index and closes the file.
    int EndWriting();

    // Closes and frees everything without finishing the file.
    void Release();

private:
    // Converts to the profile's rate, channels and float planes, then encodes whole frames.
    int Convert(const uint8_t* pcm, int frames);
    // Makes the conversion buffers hold at least `samples` per channel.
    void ReserveConverted(int samples);
    // Moves the first `samples` of the conversion buffers into the frame queue.
    int QueueConverted(int samples);
    int QueueSilence(int samples);
    int EncodeFrames(bool flush);
    int EncodeFrame(AVFrame* frame);

    AVFormatContext* FFormat = nullptr;
    AVCodecContext* FCodec = nullptr;
    SwrContext* FResampler = nullptr;
    AVFrame* FFrame = nullptr;
    AVPacket* FPacket = nullptr;
    WmaCodecFormat FProfile;
    bool FHasProfile = false;
    bool FHeaderWritten = false;
    unsigned FInChannels = 2;
    unsigned FInRate = 44100;
    unsigned FInBits = 16;
    int64_t FLastSampleTime = 0;
    int64_t FNextPts = 0;
    // Converted samples waiting to fill a whole encoder frame, and the conversion's output.
    AVAudioFifo* FFifo = nullptr;
    std::vector<std::vector<float>> FConverted;
    std::vector<uint8_t*> FConvertedPlanes;
};

}  // namespace murmex
