#include "encoders/media_attribute_reader.h"

extern "C" {
#include <libavformat/avformat.h>
}

#include <array>
#include <climits>
#include <cstring>
#include <fstream>
#include <initializer_list>
#include <memory>

#include "encoders/ffmpeg_file_url.h"
#include "encoders/ffmpeg_library.h"
#include "pipeline/au_exception.h"
#include "tags/narrow_text.h"

namespace murmex {
namespace {

struct ContainerCloser {
  void operator()(AVFormatContext* container) const { avformat_close_input(&container); }
};

// Each attribute under its own name (as an ASF file stores it) and under the names FFmpeg
// gives the same field when it reads ID3v2 frames or converts ASF attributes.
struct AttributeSource {
  std::string_view Attribute;
  std::initializer_list<const char*> Keys;
};

const std::array<AttributeSource, 7>& AttributeSources() {
  static const std::array<AttributeSource, 7> sources{{
      {TMediaAttributeReader::kAuthor, {"Author", "artist"}},
      {TMediaAttributeReader::kTitle, {"Title"}},
      {TMediaAttributeReader::kAlbumTitle, {"WM/AlbumTitle", "album"}},
      {TMediaAttributeReader::kGenre, {"WM/Genre", "genre"}},
      {TMediaAttributeReader::kTrack, {"WM/Track", "WM/TrackNumber", "track"}},
      {TMediaAttributeReader::kYear, {"WM/Year", "date", "year"}},
      {TMediaAttributeReader::kCopyright, {"Copyright"}},
  }};
  return sources;
}

const char* Lookup(const AVFormatContext& container, const AVStream* audio, const AttributeSource& source) {
  for (const char* key : source.Keys) {
    if (const AVDictionaryEntry* entry = av_dict_get(container.metadata, key, nullptr, 0)) return entry->value;
    if (audio != nullptr) {
      if (const AVDictionaryEntry* entry = av_dict_get(audio->metadata, key, nullptr, 0)) return entry->value;
    }
  }
  return nullptr;
}

int BitrateOf(const AVFormatContext& container, const AVStream* audio) {
  const int64_t bitrate = audio != nullptr && audio->codecpar->bit_rate > 0 ? audio->codecpar->bit_rate : container.bit_rate;
  return bitrate > 0 && bitrate <= INT_MAX ? static_cast<int>(bitrate) : 0;
}

// FFmpeg reports an MP3's ID3v1 trailer as container metadata when no ID3v2 tag is there; only
// ID3v2 frames belong in the attribute set, so an MP3 without an ID3v2 header gives none.
bool LacksId3v2(const AVFormatContext& container, const std::filesystem::path& fileName) {
  if (std::strcmp(container.iformat->name, "mp3") != 0) return false;
  char magic[3] = {};
  std::ifstream file(fileName, std::ios::binary);
  return !file.read(magic, sizeof magic) || std::memcmp(magic, "ID3", sizeof magic) != 0;
}

}  // namespace

void TMediaAttributeReader::Open(const std::filesystem::path& fileName) {
  Close();
  tags_.Clear();
  PrepareFfmpeg();
  AVFormatContext* opened = nullptr;
  const int openResult = avformat_open_input(&opened, FfmpegFileUrl(fileName).c_str(), nullptr, nullptr);
  if (openResult < 0)
    throw EAuException("Cannot open file " + fileName.string() + ": " + FfmpegErrorText(openResult));
  const std::unique_ptr<AVFormatContext, ContainerCloser> container(opened);
  const int probeResult = avformat_find_stream_info(container.get(), nullptr);
  if (probeResult < 0)
    throw EAuException("Cannot read media attributes of " + fileName.string() + ": " +
                       FfmpegErrorText(probeResult));
  const int audioIndex = av_find_best_stream(container.get(), AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
  if (audioIndex < 0) throw EAuException("No audio stream in " + fileName.string());
  const AVStream* audio = container->streams[audioIndex];

  bitrate_ = BitrateOf(*container, audio);
  if (LacksId3v2(*container, fileName)) return;
  for (const AttributeSource& source : AttributeSources()) {
    // A damaged ID3v2 tag makes FFmpeg hand on raw bytes (the ID3v1 trailer's, say): the
    // attributes become tags and file names, so they are made valid UTF-8 here.
    if (const char* value = Lookup(*container, audio, source)) attributes_.emplace(source.Attribute, RepairUtf8(value));
  }
  tags_.SetArtist(Attribute(kAuthor));
  tags_.SetTitle(Attribute(kTitle));
  tags_.SetAlbum(Attribute(kAlbumTitle));
  tags_.SetGenre(Attribute(kGenre));
  tags_.SetTrack(Attribute(kTrack));
  tags_.SetYear(Attribute(kYear));
  tags_.SetComment(Attribute(kCopyright));
}

void TMediaAttributeReader::Close() {
  bitrate_ = 0;
  attributes_.clear();
}

std::string TMediaAttributeReader::Attribute(std::string_view name) const {
  if (name == kBitrate) return std::to_string(bitrate_);
  const auto found = attributes_.find(name);
  return found == attributes_.end() ? std::string() : found->second;
}

}  // namespace murmex
