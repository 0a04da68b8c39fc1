#include "tags/id3v1.h"

#include <array>

#include "tags/lyrics3.h"
#include "tags/narrow_text.h"
#include "tags/tag_file.h"

namespace murmex {
namespace {

constexpr std::size_t kTagSize = 128;
constexpr std::size_t kTextBytes = 30;
constexpr std::size_t kYearChars = 4;
constexpr std::size_t kTitleAt = 3, kArtistAt = 33, kAlbumAt = 63, kYearAt = 93, kCommentAt = 97;
constexpr std::size_t kV11MarkerAt = 125, kTrackAt = 126, kGenreAt = 127;
constexpr std::size_t kV11CommentBytes = 28;
constexpr std::string_view kTagId = "TAG";

using TagBytes = std::array<char, kTagSize>;

// A text field of the tag as UTF-8. Taggers pad with zero bytes but some leave old text behind
// the terminator, so the field ends at its first zero byte.
std::string FieldText(const TagBytes& tag, std::size_t offset, std::size_t length) {
    return DecodeNarrow(TextBeforeNul(std::string_view(tag.data() + offset, length)));
}

void PutText(TagBytes& tag, std::size_t offset, std::size_t maxBytes, std::string_view utf8) {
    // One byte per character on disk, so cutting the encoded text never splits a character.
    const std::string narrow = EncodeNarrow(TrimControls(utf8)).substr(0, maxBytes);
    narrow.copy(tag.data() + offset, narrow.size());
}

std::string ReplaceAll(std::string_view text, std::string_view from, std::string_view to) {
    std::string out;
    std::size_t start = 0;
    for (std::size_t hit = text.find(from); hit != std::string_view::npos; hit = text.find(from, start)) {
        out.append(text.substr(start, hit - start)).append(to);
        start = hit + from.size();
    }
    return out.append(text.substr(start));
}

// Lyrics3 lyrics end their lines with CR alone or with CR LF; both become CR LF.
std::string LyricsLineEnds(std::string_view lyrics) {
    return ReplaceAll(ReplaceAll(lyrics, "\r", "\r\n"), "\r\n\n", "\r\n");
}

}  // namespace

void TID3v1::ResetFields() {
    *this = TID3v1();
}

void TID3v1::StoreText(std::string_view value, std::string& plain, std::string& longField) {
    plain = TrimControls(value);
    if (CharCount(plain) >= LongFieldChars) {
        longField = plain;
    } else {
        longField.clear();
    }
}

void TID3v1::SetYear(std::string_view value) {
    Year_ = LeftChars(TrimControls(value), kYearChars);
}

bool TID3v1::ReadTagFromFile(const std::filesystem::path& fileName) {
    ResetFields();
    TagFile file;
    return file.Open(fileName, TFileAccess::faRead) && ReadTagAndLyrics(file, true) && file.Close();
}

bool TID3v1::ReadTagAndLyrics(TagFile& file, bool readData) {
    // Only what this file holds counts.
    HasTag_ = false;
    HasLyrics3_ = false;
    Lyrics3Size_ = 0;

    const uint64_t size = file.Size();
    if (size >= kTagSize) {
        TagBytes tag{};
        if (!file.ReadAt(size - kTagSize, tag.data(), tag.size())) return false;
        HasTag_ = std::string_view(tag.data(), kTagId.size()) == kTagId;
        if (HasTag_ && readData) ApplyTag(tag);
    }

    const uint64_t blockEnd = HasTag_ ? size - kTagSize : size;
    Lyrics3Reader lyrics3(file);
    int32_t lyrics3Size = 0;
    if (!lyrics3.Locate(blockEnd, lyrics3Size)) return false;
    Lyrics3Size_ = lyrics3Size;
    HasLyrics3_ = lyrics3Size > 0;
    if (!HasLyrics3_ || !readData) return true;
    return lyrics3.ReadFields(blockEnd, lyrics3Size,
                              [this](std::string_view id, std::string_view data) { return ApplyLyrics3Field(id, data); });
}

void TID3v1::ApplyTag(const std::array<char, 128>& tag) {
    const auto marker = static_cast<unsigned char>(tag[kV11MarkerAt]);
    const auto track = static_cast<unsigned char>(tag[kTrackAt]);
    TagVersion_ = (marker == 0 && track != 0) || (marker == ' ' && track != ' ') ? 2 : 1;
    SetTitle(FieldText(tag, kTitleAt, kTextBytes));
    SetArtist(FieldText(tag, kArtistAt, kTextBytes));
    SetAlbum(FieldText(tag, kAlbumAt, kTextBytes));
    SetYear(FieldText(tag, kYearAt, kYearChars));
    if (TagVersion_ == 2) {
        SetComment(FieldText(tag, kCommentAt, kV11CommentBytes));
        Track_ = track;
    } else {
        SetComment(FieldText(tag, kCommentAt, kTextBytes));
    }
    GenreCode_ = static_cast<uint8_t>(tag[kGenreAt]);
}

bool TID3v1::ApplyLyrics3Field(std::string_view id, std::string_view data) {
    const std::string text = DecodeNarrow(data);
    if (id == "IND") {
        // Indication flags: nothing the system uses.
    } else if (id == "LYR") {
        Lyrics_ = LyricsLineEnds(TrimControls(text));
    } else if (id == "INF") {
        SetComment(text);
    } else if (id == "AUT") {
        LyricsAuthor_ = TrimControls(text);
    } else if (id == "EAL") {
        SetAlbum(text);
    } else if (id == "EAR") {
        SetArtist(text);
    } else if (id == "ETT") {
        SetTitle(text);
    } else if (id == "IMG") {
        LyricsImage_ = text;
    } else {
        return false;
    }
    return true;
}

bool TID3v1::WriteTagToFile(const std::filesystem::path& fileName) {
    TagBytes tag{};
    kTagId.copy(tag.data(), kTagId.size());
    PutText(tag, kTitleAt, kTextBytes, Title());
    PutText(tag, kArtistAt, kTextBytes, Artist());
    PutText(tag, kAlbumAt, kTextBytes, Album());
    PutText(tag, kCommentAt, kTextBytes, Comment());
    PutText(tag, kYearAt, kYearChars, Year_);
    if (Track_ != 0) {
        tag[kV11MarkerAt] = 0;
        tag[kTrackAt] = static_cast<char>(Track_);
    }
    tag[kGenreAt] = static_cast<char>(GenreCode_);

    TagFile file;
    return file.Open(fileName, TFileAccess::faReadWrite) && file.Append(tag.data(), tag.size()) && file.Close();
}

bool TID3v1::RemoveTagFromFile(const std::filesystem::path& fileName) {
    TagFile probe;
    if (!probe.Open(fileName, TFileAccess::faRead) || !ReadTagAndLyrics(probe, false)) return false;
    const uint64_t probedSize = probe.Size();
    probe.Close();
    if (!HasTag_ && !HasLyrics3_) return true;

    const uint64_t cut = (HasTag_ ? kTagSize : 0) +
                         (HasLyrics3_ ? static_cast<uint64_t>(Lyrics3Size_) + Lyrics3Reader::FooterSize : 0);
    TagFile file;
    // The size check guards against the file having changed since it was examined.
    if (!file.Open(fileName, TFileAccess::faReadWrite) || file.Size() != probedSize ||
        !file.Truncate(probedSize - cut)) {
        return false;
    }
    HasTag_ = false;
    HasLyrics3_ = false;
    return file.Close();
}

bool TID3v1::SaveTagToFile(const std::filesystem::path& fileName) {
    if (!RemoveTagFromFile(fileName) || !WriteTagToFile(fileName)) return false;
    HasTag_ = true;
    return true;
}

}  // namespace murmex
