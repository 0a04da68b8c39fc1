#pragma once
// The source's tags, kept while it is loaded: each load overwrites them, and the export copies
// them into the writers (Vorbis comments, the WMA attributes, the MP3 file's ID3v1 trailer).
#include "tags/au_tags.h"
#include "tags/id3v1.h"

namespace murmex {

struct SourceTags {
  TVorbisTags Vorbis;
  TId3v2Tags Id3v2;
  TID3v1 Id3v1;
};

}  // namespace murmex
