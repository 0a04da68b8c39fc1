#pragma once

#include "pipeline/au_stream.h"
#include "pipeline/wav_format.h"

namespace murmex {

// Walks the chunks of a RIFF/WAVE stream from its start: "fmt " (PCM, extensible PCM/float,
// IMA ADPCM), "fact", "data". Unknown chunks are skipped by their size; the search gives up
// (wtUnsupported) at the end of the stream, after 8192 bytes, or at any size that points
// outside the stream. Leaves the stream position unspecified.
WavFileFormat ReadWavHeader(TAuStream& stream);

}  // namespace murmex
