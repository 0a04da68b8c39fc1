#pragma once

#include <array>
#include <string>

#include "encoders/mp3_out.h"
#include "encoders/vorbis_out.h"
#include "encoders/wma_out.h"
#include "export/output_settings.h"
#include "pipeline/memory_in.h"
#include "pipeline/wave_out.h"
#include "tags/au_tags.h"

namespace murmex {

// The memory input and the four file writers a save can use, created with the window's
// settings; ConfigureWriter turns the output selection into the chosen writer's settings.
class ExportWriters {
public:
    ExportWriters();

    // `format` is "wav", "mp3", "ogg" or "wma"; returns the writer to start.
    TAuOutput& ConfigureWriter(const OutputSettings& settings, const std::string& format,
                               const std::string& outputPath, const TVorbisTags& vorbisTags,
                               const TId3v2Tags& id3v2Tags);

    std::array<TAuOutput*, 4> All() { return {&WaveOut1, &MP3Out1, &VorbisOut1, &WMAOut1}; }

    // Declared before the writers: they pull from it until they are destroyed.
    TMemoryIn Mem2;
    TWaveOut WaveOut1;
    TMP3Out MP3Out1;
    TVorbisOut VorbisOut1;
    TWMAOut WMAOut1;
};

// Ogg quality for a constant-bitrate choice: the kbps text selects a quality, not a bitrate.
float OggCompressionForKbps(const std::string& kbps);
// The MP3 bitrate choice for a kbps text of the cycle.
TMP3BitRate Mp3BitRateForKbps(const std::string& kbps);

}  // namespace murmex
