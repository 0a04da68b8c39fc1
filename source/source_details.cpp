#include "source/source_details.h"

#include <algorithm>
#include <cctype>
#include <cmath>

#include "encoders/media_attribute_reader.h"
#include "encoders/vorbis_comment_reader.h"
#include "pipeline/wave_in.h"
#include "tags/narrow_text.h"

namespace murmex {
namespace {

// The FLAC defaults: the decoder-computed rate goes on the info line instead (see the loader).
constexpr int kFlacOutputKbps = 320;

bool HasTwoCharacters(std::string_view text) { return CharCount(text) >= 2; }

int32_t WavKbps(const std::filesystem::path& fileName) {
  TWaveIn wave;
  wave.SetFileName(fileName.string());
  const int64_t product = int64_t{wave.InSampleRate()} * wave.InChannels() * wave.InBitsPerSample();
  // The product is a 32-bit integer divided in single precision, as the info line has always shown it.
  return static_cast<int32_t>(std::trunc(static_cast<float>(static_cast<int32_t>(product)) / 1000.0f));
}

// MP3 and WMA sources: bitrate and ID3v2-style fields from the media attributes.
int32_t ReadMediaAttributes(const std::filesystem::path& fileName, SourceTags& tags) {
  TMediaAttributeReader reader;
  reader.Open(fileName);
  const int32_t kbps = reader.Bitrate() / 1000;
  tags.Id3v2.Assign(reader.Id3v2Tags());
  reader.Close();
  return kbps;
}

int32_t ReadVorbisComments(const std::filesystem::path& fileName, SourceTags& tags) {
  TVorbisCommentReader reader;
  reader.Open(fileName);
  const int32_t kbps = reader.NominalBitrate() / 1000;
  tags.Vorbis.Assign(reader.Comments());
  reader.Close();
  return kbps;
}

// Ogg streams of other codecs (Opus, FLAC) carry the same comments, which libvorbisfile cannot
// read: FFmpeg reads them, and they are filed as an Ogg Vorbis source's are, so an Ogg output
// carries them on. Their headers name no nominal bitrate; the container's average stands in.
int32_t ReadOggStreamComments(const std::filesystem::path& fileName, SourceTags& tags) {
  TMediaAttributeReader reader;
  reader.Open(fileName);
  const int32_t kbps = reader.Bitrate() / 1000;
  const TId3v2Tags& read = reader.Id3v2Tags();
  tags.Vorbis.SetTitle(read.Title());
  tags.Vorbis.SetArtist(read.Artist());
  tags.Vorbis.SetAlbum(read.Album());
  tags.Vorbis.SetGenre(read.Genre());
  tags.Vorbis.SetDate(read.Year());
  tags.Vorbis.SetTrack(read.Track());
  reader.Close();
  return kbps;
}

}  // namespace

std::string UpperExtension(const std::filesystem::path& fileName) {
  std::string extension = fileName.extension().string();
  std::transform(extension.begin(), extension.end(), extension.begin(),
                 [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  return extension;
}

std::string CutAtNul(std::string_view text) { return std::string(TextBeforeNul(text)); }

std::string SuggestOutputName(const TId3v2Tags& id3v2, const TID3v1& id3v1) {
  std::string name;
  if (!id3v2.Empty() && HasTwoCharacters(id3v2.Title())) {
    name = CutAtNul(id3v2.Title());
    if (HasTwoCharacters(id3v2.Artist())) name = CutAtNul(id3v2.Artist()) + " - " + name;
  } else if (HasTwoCharacters(id3v1.Title())) {
    name = id3v1.Title();
    if (HasTwoCharacters(id3v1.Artist())) name = id3v1.Artist() + " - " + name;
  }
  std::replace(name.begin(), name.end(), '/', '-');
  std::replace(name.begin(), name.end(), '\\', '-');
  std::erase(name, ':');
  return name;
}

SourceDetails ReadSourceDetails(const std::filesystem::path& fileName, SourceFormat format, SourceTags& tags) {
  tags.Id3v2.Clear();
  tags.Vorbis.Clear();
  tags.Id3v1.ResetFields();

  SourceDetails details;
  switch (format) {
    case SourceFormat::Wav:
      details.Kbps = WavKbps(fileName);
      break;
    case SourceFormat::Mp3:
    case SourceFormat::Wma:
      details.Kbps = ReadMediaAttributes(fileName, tags);
      details.OutputKbps = details.Kbps;
      if (format == SourceFormat::Mp3) tags.Id3v1.ReadTagFromFile(fileName);
      break;
    case SourceFormat::OggVorbis:
      details.Kbps = ReadVorbisComments(fileName, tags);
      details.OutputKbps = details.Kbps;
      break;
    case SourceFormat::OggOther:
      details.Kbps = ReadOggStreamComments(fileName, tags);
      details.OutputKbps = details.Kbps;
      break;
    case SourceFormat::Flac:
      details.OutputKbps = kFlacOutputKbps;
      break;
    case SourceFormat::Unknown:
      break;
  }
  details.SuggestedName = SuggestOutputName(tags.Id3v2, tags.Id3v1);
  return details;
}

}  // namespace murmex
