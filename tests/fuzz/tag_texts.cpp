#include "tests/fuzz/tag_texts.h"

namespace murmex::fuzz {

std::vector<std::string> TextsOf(const TAuTags& tags) {
    std::vector<std::string> texts;
    for (int i = 0; i < tags.Count(); ++i) texts.push_back(tags.AsText(tags.Key(i)));
    return texts;
}

std::vector<std::string> TextsOf(const TID3v1& tag) {
    // The long fields are what the getters return when they are set.
    return {tag.Title(), tag.Artist(), tag.Album(), tag.Comment(), tag.Year(), tag.Lyrics(), tag.LyricsAuthor(),
            tag.LyricsImage()};
}

}  // namespace murmex::fuzz
