// Writes the seed corpora of the fuzz targets: make_fuzz_seeds FIXTURE_FOLDER SEED_FOLDER.
// Tag seeds are built with the tag writer itself, ADPCM files with the WAV writer; the audio
// seeds are the beginnings of the generated test fixtures, so nothing is downloaded or stored.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine/learnt_noise.h"
#include "pipeline/memory_in.h"
#include "pipeline/wave_out.h"
#include "tags/id3v1.h"
#include "tests/fuzz/input_choice.h"
#include "tests/fuzz/noise_print_patch.h"
#include "tests/pipeline/pipeline_test_support.h"

namespace fs = std::filesystem;
using namespace murmex;
using murmex::fuzz::ChoiceOf;

namespace {

// Beginnings of larger files: long enough for every header, short enough to fuzz quickly.
constexpr std::size_t kHeaderSeedBytes = 4096;
constexpr std::size_t kLoadSeedBytes = 48 * 1024;

using Bytes = std::vector<uint8_t>;

Bytes ReadFixture(const fs::path& file, std::size_t limit) {
    Bytes bytes = test::ReadFileBytes(file);
    if (bytes.empty()) throw std::runtime_error("cannot read " + file.string());
    bytes.resize(std::min(bytes.size(), limit));
    return bytes;
}

void Write(const fs::path& file, const Bytes& bytes) {
    fs::create_directories(file.parent_path());
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) throw std::runtime_error("cannot write " + file.string());
}

void Append(Bytes& bytes, std::string_view text) { bytes.insert(bytes.end(), text.begin(), text.end()); }

// A Lyrics3 v2 block with the given fields; `sizeDigits` replaces the footer's size when set.
Bytes Lyrics3Block(const std::vector<std::pair<std::string, std::string>>& fields, const char* sizeDigits = nullptr) {
    Bytes block;
    Append(block, "LYRICSBEGIN");
    for (const auto& [id, data] : fields) {
        char length[6];
        std::snprintf(length, sizeof length, "%05zu", data.size());
        Append(block, id);
        Append(block, length);
        Append(block, data);
    }
    char size[7];
    std::snprintf(size, sizeof size, "%06zu", block.size());
    Append(block, sizeDigits != nullptr ? sizeDigits : size);
    Append(block, "LYRICS200");
    return block;
}

// Files ending the way MP3 files end: audio, perhaps a Lyrics3 block, perhaps a tag.
void WriteTagSeeds(const fs::path& folder) {
    const Bytes audio(300, 0xFB);
    const Bytes lyrics = Lyrics3Block({{"IND", "11"},
                                      {"LYR", "First line\rSecond line\r\n"},
                                      {"INF", "A comment"},
                                      {"AUT", "Writer"},
                                      {"EAL", "An album title longer than thirty characters"},
                                      {"EAR", "Artist"},
                                      {"ETT", "Title"},
                                      {"IMG", "cover.jpg||"}});
    const Bytes badSize = Lyrics3Block({{"LYR", "Words"}}, "00x012");
    struct Seed {
        const char* name;
        Bytes body;
        bool tag;
        uint8_t track;
    };
    const Bytes withLyrics = [&] { Bytes b = audio; b.insert(b.end(), lyrics.begin(), lyrics.end()); return b; }();
    const Bytes withBadSize = [&] { Bytes b = audio; b.insert(b.end(), badSize.begin(), badSize.end()); return b; }();
    const Seed seeds[] = {{"audio_only", audio, false, 0},     {"v10_tag", audio, true, 0},
                          {"v11_tag", audio, true, 7},         {"lyrics3_and_tag", withLyrics, true, 3},
                          {"lyrics3_only", withLyrics, false, 0}, {"bad_lyrics3_size", withBadSize, true, 0}};
    for (const char* fuzzer : {"fuzz_tag_reader", "fuzz_tag_remover", "fuzz_tag_writer"}) {
        for (const Seed& seed : seeds) {
            const fs::path file = folder / fuzzer / seed.name;
            Write(file, seed.body);
            if (!seed.tag) continue;
            TID3v1 tag;
            tag.SetTitle("Song");
            tag.SetArtist("Band");
            tag.SetAlbum("Record");
            tag.SetYear("1999");
            tag.SetComment("Comment");
            tag.SetTrack(seed.track);
            tag.SetGenreCode(17);
            if (!tag.WriteTagToFile(file)) throw std::runtime_error("cannot tag " + file.string());
        }
    }
}

// An IMA ADPCM file as the WAV writer makes it, which the generated fixtures do not include.
Bytes AdpcmFile(const fs::path& scratch, unsigned channels) {
    Bytes pcm(2 * channels * 1200);
    for (std::size_t i = 0; i < pcm.size(); ++i) pcm[i] = static_cast<uint8_t>(i * 37 / 5);
    TMemoryIn source;
    source.SetInChannels(channels);
    source.SetInSampleRate(22050);
    source.SetBufferPointer(pcm.data());
    source.SetBufferBytes(static_cast<int64_t>(pcm.size()));
    TWaveOut writer;
    writer.SetInput(&source);
    writer.SetWavType(TWavType::wtDVIADPCM);
    writer.SetBlockSize(256);
    writer.SetFileName(scratch.string());
    test::EventLog log;
    log.Attach(writer);
    test::RunToDone(writer, log);
    if (!writer.ErrorText().empty()) throw std::runtime_error(writer.ErrorText());
    return test::ReadFileBytes(scratch);
}

void WriteWavSeeds(const fs::path& fixtures, const fs::path& folder) {
    std::vector<std::pair<std::string, Bytes>> files;
    for (const char* name : {"mono_44100.wav", "stereo_44100.wav", "u8_mono_22050.wav", "s24_stereo_44100.wav",
                             "f32_stereo_44100.wav", "six_channel_48000.wav"}) {
        files.emplace_back(name, ReadFixture(fixtures / name, kHeaderSeedBytes));
    }
    const test::TempDir scratch;
    files.emplace_back("adpcm_mono.wav", AdpcmFile(scratch.File("mono.wav"), 1));
    files.emplace_back("adpcm_stereo.wav", AdpcmFile(scratch.File("stereo.wav"), 2));
    for (const char* fuzzer : {"fuzz_wav_header", "fuzz_wave_in", "fuzz_wave_append"}) {
        for (const auto& [name, bytes] : files) Write(folder / fuzzer / name, bytes);
    }
}

// Sample files behind the byte that picks their extension.
template <std::size_t N>
void WriteChosenSeeds(const fs::path& fixtures, const fs::path& folder, const std::array<std::string_view, N>& extensions,
                      const std::vector<const char*>& names, std::size_t limit) {
    for (const char* name : names) {
        const Bytes file = ReadFixture(fixtures / name, limit);
        Bytes seed{ChoiceOf(fs::path(name).extension().string(), extensions)};
        seed.insert(seed.end(), file.begin(), file.end());
        Write(folder / name, seed);
    }
}

// Noise prints for fuzz_noise_print: the valid print under several settings, a NaN and a run
// of huge values in each checked array, NaN over the tables the engine rebuilds, and the
// beginning of a print as raw bytes.
void WriteNoisePrintSeeds(const fs::path& folder) {
    using namespace murmex::fuzz;
    const int frozen = kPrintStopEstimation | kPrintCaptureMinima;
    for (const int settings : {0, +kPrintAdaptive, +kPrintStereo, kPrintAdaptive | kPrintStereo | frozen,
                               kPrintAdaptive | frozen | kPrintDetail}) {
        Write(folder / ("valid_" + std::to_string(settings)), Bytes{static_cast<uint8_t>(settings)});
    }
    const auto runs = LearntNoise::CheckedValues();
    for (std::size_t i = 0; i < runs.size(); ++i) {
        Bytes seed{static_cast<uint8_t>((i % 2 == 0 ? 0 : kPrintAdaptive) | frozen | (i % 4 < 2 ? 0 : kPrintStereo))};
        AppendPatch(seed, runs[i].offset + runs[i].count / 2 * 4, 1, NAN);
        AppendPatch(seed, runs[i].offset, 256, 1e30f);
        Write(folder / ("damaged_" + std::to_string(i)), seed);
    }
    // The tables open the adaptive method's part, which follows the last classic array.
    Bytes tables{static_cast<uint8_t>(kPrintAdaptive | frozen)};
    AppendPatch(tables, runs[5].offset + runs[5].count * 4, 256, NAN);
    Write(folder / "nan_tables", tables);
    const Bytes print = LearntNoise().Encode();
    Bytes raw{kPrintRawBytes};
    raw.insert(raw.end(), print.begin(), print.begin() + static_cast<std::ptrdiff_t>(kHeaderSeedBytes));
    Write(folder / "raw_start", raw);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: make_fuzz_seeds FIXTURE_FOLDER SEED_FOLDER\n");
        return 2;
    }
    const fs::path fixtures = argv[1];
    const fs::path seeds = argv[2];
    try {
        WriteTagSeeds(seeds);
        WriteWavSeeds(fixtures, seeds);
        WriteNoisePrintSeeds(seeds / "fuzz_noise_print");
        WriteChosenSeeds(fixtures, seeds / "fuzz_source_load", fuzz::kLoadExtensions,
                         {"stereo_44100.wav", "mono_22050.wav", "u8_mono_22050.wav", "six_channel_48000.wav",
                          "tagged_22050_64k.mp3", "short_title.mp3", "comments_44100.ogg", "tagged_44100.wma",
                          "stereo_44100.flac"},
                         kLoadSeedBytes);
        WriteChosenSeeds(fixtures, seeds / "fuzz_media_attributes", fuzz::kAttributeExtensions,
                         {"tagged_22050_64k.mp3", "short_title.mp3", "tagged_44100.wma"}, kHeaderSeedBytes * 4);
        Write(seeds / "fuzz_vorbis_comments" / "comments_44100.ogg",
              ReadFixture(fixtures / "comments_44100.ogg", kHeaderSeedBytes * 4));
    } catch (const std::exception& error) {
        std::fprintf(stderr, "make_fuzz_seeds: %s\n", error.what());
        return 1;
    }
    return 0;
}
