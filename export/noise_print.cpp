#include "export/noise_print.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "engine/block_contract.h"
#include "source/decode_block_source.h"

namespace murmex {

namespace {

// The first byte of the sample frame at `seconds`.
int64_t ByteAt(double seconds, const SourceInfo& source) {
    return static_cast<int64_t>(std::floor(seconds * static_cast<double>(source.SampleRate))) * source.FrameBytes();
}

std::string SecondsText(double seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3g", seconds);
    return text;
}

// Reads the source only up to the end of a byte range.
class RangeBlockSource : public BlockSource {
public:
    RangeBlockSource(BlockSource& source, ByteRange range)
        : source_(source), remaining_(range.End < 0 ? -1 : range.Length()) {}
    int ReadBlock(void* dst, int maxBytes) override {
        if (remaining_ == 0) return 0;
        const int wanted = remaining_ < 0 ? maxBytes : static_cast<int>(std::min<int64_t>(maxBytes, remaining_));
        const int n = source_.ReadBlock(dst, wanted);
        if (n > 0 && remaining_ > 0) remaining_ -= n;
        return n;
    }

private:
    BlockSource& source_;
    int64_t remaining_;
};

}  // namespace

std::string NoiseStretchProblem(const SaveMode& mode, const SourceInfo& source) {
    if (!mode.NoiseFrom) return {};
    const auto [start, end] = *mode.NoiseFrom;
    const std::string stretch = "the noise stretch " + SecondsText(start) + "-" + SecondsText(end) + " s";
    if (!std::isfinite(start) || !std::isfinite(end) || start < 0.0 || end <= start) {
        return stretch + " is not a range of seconds from an earlier to a later time";
    }
    if (source.LengthBytes >= 0 && source.SampleRate > 0 && source.FrameBytes() > 0) {
        const double length = static_cast<double>(source.LengthBytes / source.FrameBytes()) /
                              static_cast<double>(source.SampleRate);
        if (end > length) return stretch + " reaches beyond the end of the source (" + SecondsText(length) + " s)";
    }
    // The engine learns nothing from less than one frame.
    if (source.SampleRate > 0 && source.Channels > 0 && source.FrameBytes() > 0) {
        const int64_t samples = (ByteAt(end, source) - ByteAt(start, source)) / source.FrameBytes();
        const int64_t frame = SpectralEngine::kFftSize / source.Channels;
        if (samples < frame) {
            return stretch + " holds " + std::to_string(samples) + " samples, fewer than one engine frame (" +
                   std::to_string(frame) + " samples, " +
                   SecondsText(static_cast<double>(frame) / static_cast<double>(source.SampleRate)) + " s)";
        }
    }
    return {};
}

ByteRange LearningRange(const SaveMode& mode, const SourceInfo& source) {
    if (mode.NoiseFrom) return {ByteAt(mode.NoiseFrom->first, source), ByteAt(mode.NoiseFrom->second, source)};
    return {0, source.LengthBytes};
}

bool NoiseLearner::Learn(ByteRange range, const BlockDone& onBlock) {
    error_.clear();
    if (!BASS_ChannelSetPosition(stream_, static_cast<uint64_t>(range.Begin), BASS_POS_BYTE)) {
        error_ = "the source could not be positioned at the start of the noise to learn";
        return false;
    }
    engine_.StartLearningPass();
    DecodeBlockSource decoder(stream_);
    RangeBlockSource stretch(decoder, range);
    for (;;) {
        const int n = RunBlockContract(engine_, stretch, true);
        if (n <= 0) break;
        if (!onBlock(n)) return false;
    }
    engine_.PrepareEngineKeepingNoise();
    // The save itself starts at the beginning, whatever part was learnt from.
    if (!BASS_ChannelSetPosition(stream_, 0, BASS_POS_BYTE)) {
        error_ = "the source could not be rewound to its start after learning the noise";
        return false;
    }
    return true;
}

}  // namespace murmex
