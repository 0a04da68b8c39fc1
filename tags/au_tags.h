#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

namespace murmex {

// A loosely typed tag value: empty, an integer or a UTF-8 text.
using TTagValue = std::variant<std::monostate, int, std::string>;

// A fixed set of named tag fields carried from a source file to an output file. The keys are
// chosen when the container is built, kept sorted case-insensitively and never added or removed;
// looking a key up ignores case as well.
class TAuTags {
public:
    // Keys with their values at creation.
    using TFieldList = std::vector<std::pair<std::string_view, TTagValue>>;

    virtual ~TAuTags() = default;

    // Every value becomes empty; Empty and Changed become true.
    void Clear();
    // Clears this container, then copies the value of every key both containers share.
    void Assign(const TAuTags& source);

    int Count() const { return static_cast<int>(Fields_.size()); }
    // Key at a position in sorted order; empty for a position out of range.
    std::string Key(int index) const;

    // A copy of the value; empty for a key the container lacks.
    TTagValue Value(std::string_view key) const;
    // Ignored for a key the container lacks or a value equal to the current one. An empty text is
    // stored as an empty value, so a blank field never makes a container non-empty.
    void SetValue(std::string_view key, TTagValue value);

    // An integer as is, a decimal text converted, anything else 0.
    int AsInteger(std::string_view key) const;
    // An integer as its decimal text, a text as is, anything else empty.
    std::string AsText(std::string_view key) const;

    // True after creation and after Clear; false once a value has changed.
    bool Empty() const { return Empty_; }
    // Set whenever Clear runs or a value changes.
    bool Changed() const { return Changed_; }

protected:
    explicit TAuTags(const TFieldList& fields);

private:
    struct Field {
        std::string Key;
        TTagValue Value;
    };
    const Field* Find(std::string_view key) const;
    Field* Find(std::string_view key);

    std::vector<Field> Fields_;
    bool Empty_ = true;
    bool Changed_ = false;
};

// The fields of a 128-byte ID3v1 trailer.
class TId3v1Tags : public TAuTags {
public:
    static constexpr int DefaultGenreId = 12;
    static constexpr int MaxGenreId = 147;

    TId3v1Tags();

    std::string Title() const { return AsText("title"); }
    void SetTitle(std::string value) { SetValue("title", std::move(value)); }
    std::string Artist() const { return AsText("artist"); }
    void SetArtist(std::string value) { SetValue("artist", std::move(value)); }
    std::string Album() const { return AsText("album"); }
    void SetAlbum(std::string value) { SetValue("album", std::move(value)); }
    std::string Comment() const { return AsText("comment"); }
    void SetComment(std::string value) { SetValue("comment", std::move(value)); }

    // 0 when the stored year is not a number from 0 to 65535.
    uint16_t Year() const;
    void SetYear(uint16_t value) { SetValue("year", int{value}); }
    // 0 when the stored track is not a number from 0 to 255.
    uint8_t Track() const;
    void SetTrack(uint8_t value) { SetValue("track", int{value}); }
    // Genre number as stored; a number outside 0..147 is not stored.
    int GenreId() const { return AsInteger("genre"); }
    void SetGenreId(int value);
};

// Which frame ids the TId3v2Tags properties read and write.
enum class TId3v2IdSet { idsV23, idsV22 };

// ID3v2-style descriptive fields, held under both the ID3v2.3 and the ID3v2.2 frame ids.
class TId3v2Tags : public TAuTags {
public:
    TId3v2Tags();

    TId3v2IdSet IdSet() const { return IdSet_; }
    void SetIdSet(TId3v2IdSet ids) { IdSet_ = ids; }

    std::string Album() const { return Text(kAlbum); }
    void SetAlbum(std::string value) { SetText(kAlbum, std::move(value)); }
    std::string Artist() const { return Text(kArtist); }
    void SetArtist(std::string value) { SetText(kArtist, std::move(value)); }
    std::string Genre() const { return Text(kGenre); }
    void SetGenre(std::string value) { SetText(kGenre, std::move(value)); }
    std::string Title() const { return Text(kTitle); }
    void SetTitle(std::string value) { SetText(kTitle, std::move(value)); }
    std::string Track() const { return Text(kTrack); }
    void SetTrack(std::string value) { SetText(kTrack, std::move(value)); }
    std::string Year() const { return Text(kYear); }
    void SetYear(std::string value) { SetText(kYear, std::move(value)); }
    std::string Comment() const { return Text(kComment); }
    void SetComment(std::string value) { SetText(kComment, std::move(value)); }
    std::string Composer() const { return Text(kComposer); }
    void SetComposer(std::string value) { SetText(kComposer, std::move(value)); }
    std::string Encoder() const { return Text(kEncoder); }
    void SetEncoder(std::string value) { SetText(kEncoder, std::move(value)); }
    std::string Copyright() const { return Text(kCopyright); }
    void SetCopyright(std::string value) { SetText(kCopyright, std::move(value)); }
    std::string Language() const { return Text(kLanguage); }
    void SetLanguage(std::string value) { SetText(kLanguage, std::move(value)); }
    std::string Link() const { return Text(kLink); }
    void SetLink(std::string value) { SetText(kLink, std::move(value)); }

private:
    // Positions in the two frame id lists.
    enum Property {
        kAlbum, kArtist, kGenre, kTitle, kTrack, kYear,
        kComment, kComposer, kEncoder, kCopyright, kLanguage, kLink
    };
    std::string_view FrameId(Property property) const;
    std::string Text(Property property) const { return AsText(FrameId(property)); }
    void SetText(Property property, std::string value) { SetValue(FrameId(property), std::move(value)); }

    TId3v2IdSet IdSet_ = TId3v2IdSet::idsV23;
};

// Ogg Vorbis comments the system carries over.
class TVorbisTags : public TAuTags {
public:
    TVorbisTags();

    std::string Album() const { return AsText("album"); }
    void SetAlbum(std::string value) { SetValue("album", std::move(value)); }
    std::string Artist() const { return AsText("artist"); }
    void SetArtist(std::string value) { SetValue("artist", std::move(value)); }
    std::string Date() const { return AsText("date"); }
    void SetDate(std::string value) { SetValue("date", std::move(value)); }
    std::string Genre() const { return AsText("genre"); }
    void SetGenre(std::string value) { SetValue("genre", std::move(value)); }
    std::string Title() const { return AsText("title"); }
    void SetTitle(std::string value) { SetValue("title", std::move(value)); }
    std::string Track() const { return AsText("tracknumber"); }
    void SetTrack(std::string value) { SetValue("tracknumber", std::move(value)); }
};

}  // namespace murmex
