// Files written by TID3v1 must read the same in a reader nobody here wrote: mutagen.

#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <sstream>

#include "tags/id3v1.h"
#include "tests/tags/tag_test_files.h"

namespace murmex {
namespace {

// Prints the ID3v1 fields as mutagen sees them, one `key=value` line each, in UTF-8.
constexpr std::string_view kReaderScript = R"(import sys
from mutagen.id3 import ID3
from mutagen._constants import GENRES
tags = ID3(sys.argv[1])
def text(frame_id):
    frame = tags.get(frame_id)
    return str(frame.text[0]) if frame else ''
comments = tags.getall('COMM')
genre = tags.get('TCON')
lines = ['title=' + text('TIT2'), 'artist=' + text('TPE1'), 'album=' + text('TALB'),
         'year=' + text('TDRC'), 'comment=' + (comments[0].text[0] if comments else ''),
         'track=' + text('TRCK'), 'genre=' + (str(GENRES.index(genre.genres[0])) if genre else 'none')]
sys.stdout.buffer.write(('\n'.join(lines) + '\n').encode('utf-8'))
)";

std::map<std::string, std::string> ReadWithMutagen(const test::TempFolder& folder, const std::filesystem::path& mp3) {
    const auto script = folder.File("read_id3v1.py");
    test::WriteBytes(script, kReaderScript);
    const std::string command =
        std::string(MURMEX_TAGS_PYTHON3) + " '" + script.string() + "' '" + mp3.string() + "' 2>&1";
    std::FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) return {};
    std::string output;
    char buffer[512];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) output.append(buffer, n);
    const int status = ::pclose(pipe);
    EXPECT_EQ(status, 0) << "mutagen (python3-mutagen) failed:\n" << output;

    std::map<std::string, std::string> fields;
    std::istringstream lines(output);
    for (std::string line; std::getline(lines, line);) {
        const auto equals = line.find('=');
        if (equals != std::string::npos) fields[line.substr(0, equals)] = line.substr(equals + 1);
    }
    return fields;
}

TEST(Id3v1IndependentReaderTest, MutagenReadsWhatWeWrite) {
    test::TempFolder folder;
    const auto mp3 = folder.File("song.mp3");
    test::WriteBytes(mp3, test::AudioBytes(2000));

    TID3v1 tag;
    tag.SetTitle("Café Déjà Vu");
    tag.SetArtist("Motörhead Ensemble");
    tag.SetAlbum("Ça Ira");
    tag.SetYear("1999");
    tag.SetComment("Denoised by Tarlo Murmex");
    tag.SetTrack(7);
    tag.SetGenreCode(17);
    ASSERT_TRUE(tag.SaveTagToFile(mp3));

    const std::map<std::string, std::string> expected = {
        {"title", "Café Déjà Vu"}, {"artist", "Motörhead Ensemble"}, {"album", "Ça Ira"},
        {"year", "1999"}, {"comment", "Denoised by Tarlo Murmex"}, {"track", "7"}, {"genre", "17"}};
    EXPECT_EQ(ReadWithMutagen(folder, mp3), expected);

    // ID3v1.0: no track and no genre; a long title is cut to its first 30 characters. (mutagen
    // reads at most 29 comment bytes, so the comment stays shorter here.)
    tag.SetTitle("Éclair au chocolat et à la crème fraîche");
    tag.SetComment("No track");
    tag.SetTrack(0);
    tag.SetGenreCode(255);
    ASSERT_TRUE(tag.SaveTagToFile(mp3));
    const auto fields = ReadWithMutagen(folder, mp3);
    EXPECT_EQ(fields.at("title"), "Éclair au chocolat et à la crè");
    EXPECT_EQ(fields.at("comment"), "No track");
    EXPECT_EQ(fields.at("track"), "");
    EXPECT_EQ(fields.at("genre"), "none");
}

}  // namespace
}  // namespace murmex
