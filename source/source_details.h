#pragma once
// What the decoder does not tell about a source, read per format while it loads: its own
// bitrate, the default output bitrates derived from it, its tags, and a name for the saved file.
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "source/source_format.h"
#include "source/source_tags.h"

namespace murmex {

struct SourceDetails {
  int32_t Kbps = 0;           // the info line's bitrate; 0 when the format's reader cannot tell
  // For MP3, Ogg, WMA and FLAC sources, the bitrate the output defaults follow once the load
  // succeeds (OutputDefaults::ApplySourceKbps).
  std::optional<int> OutputKbps;
  std::string SuggestedName;  // for the save dialog: no folder, no extension; may be empty
};

// Clears and refills tags from the file read as `format`. A reader's exception (EAuException
// or any other) goes to the caller: the load then fails.
SourceDetails ReadSourceDetails(const std::filesystem::path& fileName, SourceFormat format, SourceTags& tags);

// The part of a text before its first NUL character; the whole text when it has none.
std::string CutAtNul(std::string_view text);

// "Artist - Title" from the ID3v2 fields when they came with the source, else from the ID3v1
// tag; characters a file name cannot hold are replaced or dropped. Empty without a title.
std::string SuggestOutputName(const TId3v2Tags& id3v2, const TID3v1& id3v1);

// Upper-cased extension with its dot (".MP3"); empty when the name has none.
std::string UpperExtension(const std::filesystem::path& fileName);

}  // namespace murmex
