#include "encoders/vorbis_comment_reader.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <string>
#include <string_view>

#include "encoders/vorbis_library.h"
#include "pipeline/au_exception.h"
#include "tags/narrow_text.h"

namespace murmex {
namespace {

constexpr std::array<std::string_view, 6> kCarriedKeys{"artist", "album", "title", "date", "genre", "tracknumber"};

// Files one "KEY=value" comment; comments without "=" or with other keys are ignored. Values
// should be UTF-8 but are whatever bytes the file holds, so they are made valid first.
void FileComment(std::string_view comment, TVorbisTags& tags) {
  const size_t equals = comment.find('=');
  if (equals == std::string_view::npos) return;
  std::string key(comment.substr(0, equals));
  std::transform(key.begin(), key.end(), key.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  if (std::find(kCarriedKeys.begin(), kCarriedKeys.end(), key) == kCarriedKeys.end()) return;
  tags.SetValue(key, RepairUtf8(comment.substr(equals + 1)));
}

}  // namespace

void TVorbisCommentReader::Open(const std::filesystem::path& fileName) {
  Close();
  comments_.Clear();
  VorbisLibrary& library = VorbisLibrary::Instance();
  const std::string missing = library.Require({VorbisLib::Ogg, VorbisLib::Vorbis, VorbisLib::VorbisFile});
  if (!missing.empty()) throw EAuException(missing);
  const VorbisApi& api = library.Api();

  OggVorbis_File file;
  if (api.ov_fopen(fileName.c_str(), &file) != 0) throw EAuException("Cannot open file " + fileName.string());
  if (const vorbis_info* info = api.ov_info(&file, -1); info != nullptr && info->bitrate_nominal > 0)
    nominalBitrate_ = static_cast<int>(info->bitrate_nominal);
  if (const vorbis_comment* comments = api.ov_comment(&file, -1); comments != nullptr) {
    for (int i = 0; i < comments->comments; ++i) {
      if (comments->user_comments[i] == nullptr || comments->comment_lengths[i] < 0) continue;
      FileComment(std::string_view(comments->user_comments[i], static_cast<size_t>(comments->comment_lengths[i])),
                  comments_);
    }
  }
  api.ov_clear(&file);
}

}  // namespace murmex
