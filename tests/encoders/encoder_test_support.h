#pragma once

// Shared pieces of the writer tests: a PCM input, a way to run an output to its end, and the
// outside tools (ffprobe, ffmpeg, ogginfo, mp3val, mutagen) that read back what was written.

#include <cstdint>
#include <filesystem>
#include <map>
#include <ostream>
#include <string>
#include <vector>

#include "pipeline/au_input.h"
#include "pipeline/au_output.h"

namespace murmex::test {

// Serves a fixed PCM buffer in pieces of at most `chunk` bytes.
class PcmInput : public TAuInput {
public:
    PcmInput(std::vector<int16_t> samples, unsigned channels, unsigned sampleRate,
             std::size_t chunk = 4096);
    unsigned InBitsPerSample() override { return Bits; }
    unsigned InChannels() override { return Channels; }
    unsigned InSampleRate() override { return SampleRate; }

    // What the input claims its samples are; the data stays 16-bit.
    unsigned Bits = 16;

protected:
    void StartImpl() override;
    void FinishImpl() override {}
    void ReadImpl(const uint8_t*& buffer, std::size_t& bytes) override;

private:
    std::vector<int16_t> Samples;
    unsigned Channels;
    unsigned SampleRate;
    std::size_t Chunk;
    std::size_t Offset = 0;
};

// `seconds` of a sine at `frequency` Hz, 0.5 of full scale, interleaved; the right channel of a
// stereo signal is a different tone (`frequency` × 1.5) so swapped or merged channels show.
std::vector<int16_t> Sine(double seconds, unsigned sampleRate, unsigned channels,
                          double frequency = 440.0);

// Starts `output` and waits (draining the main-thread queue) until its run is over; returns the
// run's ErrorText. Fails the test when the run does not end within `timeoutSeconds`.
std::string RunToEnd(TAuOutput& output, TAuInput& input, int timeoutSeconds = 60);

// A fresh, empty folder for one test.
std::filesystem::path TempDir(const std::string& name);

struct CommandResult {
    int Status = -1;
    std::string Output;  // stdout and stderr together
};
CommandResult RunCommand(const std::string& command);
std::string Quote(const std::filesystem::path& path);

struct ProbedStream {
    std::string Codec;
    unsigned SampleRate = 0;
    unsigned Channels = 0;
    double Duration = 0.0;
    std::map<std::string, std::string> Tags;  // format and stream tags, keys lower-cased
};
ProbedStream Probe(const std::filesystem::path& file);

// The file decoded by ffmpeg to 16-bit PCM at the given rate and channel count.
std::vector<int16_t> Decode(const std::filesystem::path& file, unsigned sampleRate,
                            unsigned channels);

// The normalised correlation of one channel over `frames` frames, from `first` in `reference` and
// from first + shift in `decoded` (both must hold them); 0 when either is silent there.
double Correlation(const std::vector<int16_t>& reference, const std::vector<int16_t>& decoded,
                   unsigned channels, unsigned channel, std::size_t first, std::size_t frames,
                   std::ptrdiff_t shift);

// The largest normalised cross-correlation of one channel of `decoded` with the same channel of
// `reference` over shifts of up to `maxShift` frames (encoders add a delay of their own).
double BestCorrelation(const std::vector<int16_t>& reference, const std::vector<int16_t>& decoded,
                       unsigned channels, unsigned channel, int maxShift);

// Runs a short python3 program with mutagen; returns its output.
std::string Mutagen(const std::string& program);

// One writer run of the format tables: rate, channels and constant or variable bitrate.
struct EncodeCase {
    unsigned Rate;
    unsigned Channels;
    bool Vbr;

    // "44100Hz_2ch_vbr": the test's name and its scratch folder's.
    std::string Name() const {
        return std::to_string(Rate) + "Hz_" + std::to_string(Channels) + "ch_" + (Vbr ? "vbr" : "cbr");
    }
};

inline void PrintTo(const EncodeCase& c, std::ostream* os) {
    *os << c.Rate << " Hz " << c.Channels << " ch" << (c.Vbr ? " VBR" : " CBR");
}

}  // namespace murmex::test
