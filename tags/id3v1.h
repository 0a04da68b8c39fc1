#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace murmex {

class TagFile;

// The 128-byte ID3v1 / ID3v1.1 tag at the end of an MP3 file, and the Lyrics3 (version 2) block
// that may sit right before it. Texts are UTF-8 in memory and Windows-1252 on disk.
//
// Every file routine returns true on success and false when the file could not be opened, read,
// cut or written (a missing file, a directory, a read-only file, a damaged block). Fields set
// before a failure keep their new values.
class TID3v1 {
public:
    // Texts of this many characters or more are also held in the long fields.
    static constexpr std::size_t LongFieldChars = 31;


    void ResetFields();

    // Resets the fields, then reads the tag and the Lyrics3 block of the file.
    bool ReadTagFromFile(const std::filesystem::path& fileName);
    // Appends a new tag built from the fields.
    bool WriteTagToFile(const std::filesystem::path& fileName);
    // Cuts an existing tag and the Lyrics3 block before it off the file. A file with neither is
    // left untouched (true). The text fields are left as they are.
    bool RemoveTagFromFile(const std::filesystem::path& fileName);
    // RemoveTagFromFile, then WriteTagToFile; on success HasTag becomes true.
    bool SaveTagToFile(const std::filesystem::path& fileName);

    bool HasTag() const { return HasTag_; }
    // 1 = ID3v1.0, 2 = ID3v1.1 (28-byte comment followed by a track number).
    uint8_t TagVersion() const { return TagVersion_; }

    // Getters yield the long field when it is set. Setters trim characters 0..32 at both ends.
    std::string Title() const { return LongTitle_.empty() ? Title_ : LongTitle_; }
    void SetTitle(std::string_view value) { StoreText(value, Title_, LongTitle_); }
    std::string Artist() const { return LongArtist_.empty() ? Artist_ : LongArtist_; }
    void SetArtist(std::string_view value) { StoreText(value, Artist_, LongArtist_); }
    std::string Album() const { return LongAlbum_.empty() ? Album_ : LongAlbum_; }
    void SetAlbum(std::string_view value) { StoreText(value, Album_, LongAlbum_); }
    std::string Comment() const { return LongComment_.empty() ? Comment_ : LongComment_; }
    void SetComment(std::string_view value) { StoreText(value, Comment_, LongComment_); }

    const std::string& LongTitle() const { return LongTitle_; }
    const std::string& LongArtist() const { return LongArtist_; }
    const std::string& LongAlbum() const { return LongAlbum_; }
    const std::string& LongComment() const { return LongComment_; }

    // At most 4 characters: the setter trims and keeps the first 4.
    const std::string& Year() const { return Year_; }
    void SetYear(std::string_view value);

    // 0 = none.
    uint8_t Track() const { return Track_; }
    void SetTrack(uint8_t value) { Track_ = value; }
    // 255 = none. Only the number is kept; no genre name is looked up.
    uint8_t GenreCode() const { return GenreCode_; }
    void SetGenreCode(uint8_t value) { GenreCode_ = value; }

    bool HasLyrics3() const { return HasLyrics3_; }
    // The size stored in the Lyrics3 footer; the block occupies this plus 15 bytes.
    int32_t Lyrics3Size() const { return Lyrics3Size_; }
    const std::string& Lyrics() const { return Lyrics_; }
    const std::string& LyricsAuthor() const { return LyricsAuthor_; }
    // Untrimmed.
    const std::string& LyricsImage() const { return LyricsImage_; }

private:
    static void StoreText(std::string_view value, std::string& plain, std::string& longField);
    // Establishes HasTag and HasLyrics3 for this file; with readData also fills the fields.
    bool ReadTagAndLyrics(TagFile& file, bool readData);
    void ApplyTag(const std::array<char, 128>& tag);
    // False for an id that ends the walk over the Lyrics3 fields.
    bool ApplyLyrics3Field(std::string_view id, std::string_view data);

    bool HasTag_ = false;
    uint8_t TagVersion_ = 1;
    std::string Title_, Artist_, Album_, Comment_;
    std::string LongTitle_, LongArtist_, LongAlbum_, LongComment_;
    std::string Year_;
    uint8_t Track_ = 0;
    uint8_t GenreCode_ = 255;
    bool HasLyrics3_ = false;
    int32_t Lyrics3Size_ = 0;
    std::string Lyrics_, LyricsAuthor_, LyricsImage_;
};

}  // namespace murmex
