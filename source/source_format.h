#pragma once
// What a source file holds, told by its first bytes. The loader picks the decoder and the
// details reader by it, so that a file's contents, not its extension, decide how it is read:
// an Ogg Opus stream named ".ogg" is read as what it is, not refused by the Vorbis reader.
#include <filesystem>
#include <string>

namespace murmex {

enum class SourceFormat {
  Unknown,
  Wav,        // RIFF/WAVE
  Mp3,        // MPEG audio frames, perhaps after an ID3v2 tag
  OggVorbis,  // an Ogg stream whose first packet is a Vorbis header
  OggOther,   // an Ogg stream of another codec (Opus, FLAC, Speex)
  Wma,        // an ASF container
  Flac,       // a native FLAC stream
};

// What the file's first bytes show; Unknown when they show none of the formats above, or the
// file cannot be read.
SourceFormat SniffSourceFormat(const std::filesystem::path& path);

// The format the extension names (".WAV", ".MP3", ".OGG", ".WMA", ".FLAC", ".FLC"); Unknown for
// any other.
SourceFormat FormatOfExtension(const std::string& upperExtension);

// The format to read a file as: what its first bytes show, else what its extension names.
SourceFormat SourceFormatOf(const std::filesystem::path& path, const std::string& upperExtension);

}  // namespace murmex
