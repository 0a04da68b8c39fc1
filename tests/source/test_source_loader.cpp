// Loading: what the window shows after each kind of source, the engine tables and the streams,
// the two failures, the channel refusal and the bitrate defaults handed to the output settings.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "engine/processing_options.h"
#include "engine/spectral_engine.h"
#include "source/bass.h"
#include "source/source_loader.h"
#include "tests/fixtures/fixture_paths.h"

namespace murmex {
namespace {

namespace fs = std::filesystem;
using testing::FixturePath;

class RecordingOutputs : public OutputDefaults {
 public:
  void ApplySourceKbps(int kbps) override { SourceKbps = kbps; }
  void UpdateWavKbps(int64_t sampleRate, int64_t channels) override { WavSource = {sampleRate, channels}; }

  std::optional<int> SourceKbps;
  std::optional<std::pair<int64_t, int64_t>> WavSource;
};

class SourceLoaderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(BASS_Init(-1, 44100, 0, nullptr, nullptr));
    folder_ = fs::temp_directory_path() / ("murmex_loader_" + std::to_string(::getpid()));
    fs::create_directories(folder_);
  }
  void TearDown() override {
    BASS_Free();
    fs::remove_all(folder_);
  }

  LoadResult Load(const fs::path& path) {
    outputs_ = {};
    return loader_.Load(path);
  }
  fs::path Copy(const std::string& fixture, const std::string& name) {
    const fs::path target = folder_ / name;
    fs::copy_file(FixturePath(fixture), target, fs::copy_options::overwrite_existing);
    return target;
  }
  fs::path RandomFile(const std::string& name, size_t bytes) {
    const fs::path target = folder_ / name;
    std::ofstream out(target, std::ios::binary);
    std::mt19937 random(static_cast<unsigned>(bytes));
    for (size_t i = 0; i < bytes; ++i) out.put(static_cast<char>(random()));
    return target;
  }
  static void ExpectAllCommandsDisabled(const LoadResult& result) {
    EXPECT_FALSE(result.Buttons.Save);
    EXPECT_FALSE(result.Buttons.Play);
    EXPECT_FALSE(result.Buttons.Stop);
    EXPECT_FALSE(result.Buttons.ProgressBar2);
  }

  fs::path folder_;
  ProcessingOptions options_;
  SpectralEngine engine_{options_};
  RecordingOutputs outputs_;
  SourceLoader loader_{engine_, outputs_};
};

struct Shown {
  std::string File, Ind1, Ind2, Ind3, IndRate;
  int32_t QueueLimit;
  std::optional<int> SourceKbps;
};

TEST_F(SourceLoaderTest, EachFormatLoadsWithItsInfoLineQueueLimitAndTables) {
  const std::vector<Shown> cases{
      {"mono_44100.wav", "PCM", "44100Hz", "Mono", "705 kbps", 22000, std::nullopt},
      {"stereo_22050.wav", "PCM", "22050Hz", "Stereo", "705 kbps", 11000, std::nullopt},
      {"mono_32000.wav", "PCM", "32000Hz", "Mono", "512 kbps", 15963, std::nullopt},
      {"stereo_48000.wav", "PCM", "48000Hz", "Stereo", "1536 kbps", 22000, std::nullopt},
      {"s24_stereo_44100.wav", "PCM", "44100Hz", "Stereo", "2116 kbps", 22000, std::nullopt},
      {"tagged_22050_64k.mp3", "MP3", "22050Hz", "Stereo", "64 kbps", 11000, 64},
      {"comments_44100.ogg", "OGG", "44100Hz", "Stereo", "128 kbps", 22000, 128},
      {"tagged_44100.wma", "WMA", "44100Hz", "Stereo", "128 kbps", 22000, 128},
      {"stereo_44100.flac", "FLAC", "44100Hz", "Stereo", "1411 kbps", 22000, 320},
      {"stereo_44100.flc", "???", "44100Hz", "Stereo", "0 kbps", 22000, 320},  // FLAC inside, by any name
  };
  for (const Shown& c : cases) {
    SCOPED_TRACE(c.File);
    const LoadResult result = Load(FixturePath(c.File));
    ASSERT_EQ(result.Outcome, LoadOutcome::Loaded);
    EXPECT_TRUE(result.Messages.empty());
    EXPECT_EQ(result.Info.Label1, c.File);
    EXPECT_EQ(result.Info.Label1Hint, c.File);
    EXPECT_EQ(result.Info.Ind1, c.Ind1);
    EXPECT_EQ(result.Info.Ind2, c.Ind2);
    EXPECT_EQ(result.Info.Ind3, c.Ind3);
    EXPECT_EQ(result.Info.IndRate, c.IndRate);
    EXPECT_TRUE(result.Buttons.Save);
    EXPECT_TRUE(result.Buttons.Play);
    EXPECT_FALSE(result.Buttons.Stop);
    EXPECT_FALSE(result.Buttons.ProgressBar2);
    EXPECT_EQ(loader_.PreviewQueueLimit(), c.QueueLimit);
    EXPECT_EQ(outputs_.SourceKbps, c.SourceKbps);

    const SourceInfo& info = loader_.Info();
    const int channels = c.Ind3 == "Mono" ? 1 : 2;
    EXPECT_EQ(info.Channels, channels);
    EXPECT_EQ(info.BitsPerSample, 16);
    EXPECT_EQ(info.SourcePath, FixturePath(c.File).string());
    EXPECT_EQ(info.LastDirectory, FixturePath(c.File).parent_path().string());
    EXPECT_FLOAT_EQ(info.SeekFactor, static_cast<float>(info.LengthBytes) * 0.001f);
    EXPECT_FLOAT_EQ(info.ProgressFactor * static_cast<float>(info.LengthBytes), 1000.0f);
    ASSERT_TRUE(outputs_.WavSource.has_value());
    EXPECT_EQ(*outputs_.WavSource, std::make_pair(info.SampleRate, info.Channels));

    EXPECT_EQ(engine_.FrameLength(), 2048 / channels);
    EXPECT_FALSE(engine_.EngineReady());
    for (int c = 0; c < channels; ++c) {
      for (int bin = 0; bin < 1024; ++bin) ASSERT_EQ(engine_.PreviousMinimum()[c * SpectralEngine::kChannelStride + bin], 1.0f);
    }

    EXPECT_NE(loader_.DecodeStream(), 0u);
    ASSERT_NE(loader_.PreviewStream(), 0u);
    BASS_CHANNELINFO preview;
    EXPECT_FALSE(BASS_ChannelGetInfo(loader_.PreviewStream(), &preview));  // a push stream, not a decoder
    EXPECT_DOUBLE_EQ(BASS_ChannelBytes2Seconds(loader_.PreviewStream(), static_cast<uint64_t>(info.SampleRate) * channels * 2),
                     1.0);
  }
}

TEST_F(SourceLoaderTest, AFailedLoadKeepsTheLoadedSourceItsInfoLineAndItsCommands) {
  const fs::path fifo = folder_ / "fifo.wav";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  struct Case {
    fs::path File;
    LoadOutcome Outcome;
    std::vector<std::string> Messages;
  };
  const std::vector<Case> cases{
      {FixturePath("u8_mono_22050.wav"), LoadOutcome::InvalidFile, {"Only 16 bits audio supported!"}},
      {FixturePath("six_channel_48000.wav"), LoadOutcome::TooManyChannels,
       {"This file has more than 2 channels. Preview is not supported!", "Up to 2 channels supported!"}},
      {RandomFile("noise.xyz", 5000), LoadOutcome::InvalidFile, {"Invalid audio file!"}},
      {RandomFile("noise.ogg", 5000), LoadOutcome::NotLoaded, {}},
      // Refused before anything opens it: opening a named pipe would wait for a writer.
      {fifo, LoadOutcome::InvalidFile, {"a named pipe (FIFO), not a regular file"}},
      {folder_, LoadOutcome::InvalidFile, {"a folder, not a regular file"}},
      {"/dev/null", LoadOutcome::InvalidFile, {"a character device, not a regular file"}},
      {folder_ / "missing.mp3", LoadOutcome::InvalidFile, {"No such file or directory"}},
  };
  const LoadResult loaded = Load(FixturePath("stereo_22050.wav"));
  ASSERT_EQ(loaded.Outcome, LoadOutcome::Loaded);
  const HSTREAM decoder = loader_.DecodeStream();
  const HSTREAM preview = loader_.PreviewStream();
  const int64_t length = loader_.Info().LengthBytes;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.File.filename().string());
    const LoadResult result = Load(c.File);
    EXPECT_EQ(result.Outcome, c.Outcome);
    EXPECT_EQ(result.Messages, c.Messages);
    EXPECT_EQ(result.Reason.empty(), c.Outcome != LoadOutcome::NotLoaded);
    EXPECT_TRUE(result.Info == loaded.Info && result.Buttons == loaded.Buttons);
    EXPECT_TRUE(loader_.DecodeStream() == decoder && loader_.PreviewStream() == preview);
    EXPECT_EQ(BASS_ChannelGetLength(decoder, BASS_POS_BYTE), static_cast<uint64_t>(length));
    EXPECT_EQ(loader_.Info().SourcePath + " " + std::to_string(loader_.Info().Channels),
              FixturePath("stereo_22050.wav").string() + " 2");
    EXPECT_EQ(loader_.Info().LastDirectory, c.File.parent_path().string());  // the dialog opens there next
    EXPECT_FALSE(outputs_.SourceKbps || outputs_.WavSource);
    EXPECT_EQ(engine_.FrameLength(), 1024);
  }
  // A load that passes replaces the source and frees its streams.
  ASSERT_EQ(Load(FixturePath("mono_44100.wav")).Outcome, LoadOutcome::Loaded);
  EXPECT_EQ(BASS_ChannelGetLength(decoder, BASS_POS_BYTE), BASS_POSITION_ERROR);
  EXPECT_EQ(BASS_StreamPutData(preview, nullptr, 0), BASS_COUNT_ERROR);
}

TEST_F(SourceLoaderTest, WithNoSourceLoadedEightBitSourcesAndUndecodableFilesFailWithTheirOwnMessage) {
  ASSERT_EQ(Load(FixturePath("six_channel_48000.wav")).Outcome, LoadOutcome::TooManyChannels);
  const LoadResult eightBit = Load(FixturePath("u8_mono_22050.wav"));
  EXPECT_EQ(eightBit.Outcome, LoadOutcome::InvalidFile);
  EXPECT_EQ(eightBit.Messages, std::vector<std::string>{"Only 16 bits audio supported!"});
  EXPECT_EQ(eightBit.Info.Label1, "No file loaded");
  EXPECT_EQ(eightBit.Info.Label1Hint, "six_channel_48000.wav");  // the hint keeps its text
  EXPECT_EQ(eightBit.Info.Ind1, "");
  EXPECT_EQ(eightBit.Info.Ind2, "");
  EXPECT_EQ(eightBit.Info.Ind3, "");
  EXPECT_EQ(eightBit.Info.IndRate, "");
  ExpectAllCommandsDisabled(eightBit);

  // Right after the 8-bit source, a file nothing can decode is judged on its own.
  const LoadResult garbage = Load(RandomFile("noise.raw", 5000));
  EXPECT_EQ(garbage.Outcome, LoadOutcome::InvalidFile);
  EXPECT_EQ(garbage.Messages, std::vector<std::string>{"Invalid audio file!"});
  EXPECT_EQ(garbage.Info.Label1, "No file loaded");
  ExpectAllCommandsDisabled(garbage);
}

TEST_F(SourceLoaderTest, WithNoSourceLoadedAReaderExceptionEndsTheLoadQuietly) {
  for (const fs::path& broken : {RandomFile("noise.ogg", 3000), RandomFile("noise.mp3", 3000)}) {
    SCOPED_TRACE(broken.string());
    const LoadResult result = Load(broken);
    EXPECT_EQ(result.Outcome, LoadOutcome::NotLoaded);
    EXPECT_TRUE(result.Messages.empty());
    EXPECT_NE(result.Reason, "");
    EXPECT_EQ(result.Info.Label1, "File could not be loaded!");
    EXPECT_EQ(result.Info.Label1Hint, "");
    EXPECT_EQ(result.Info.Ind1, "");
    EXPECT_EQ(result.Info.IndRate, "");
    ExpectAllCommandsDisabled(result);
  }
}

TEST_F(SourceLoaderTest, WithNoSourceLoadedMoreThanTwoChannelsAreRefusedWithBothMessages) {
  std::vector<std::string> shownDuringLoad;
  loader_.OnMessage = [&](const std::string& text) { shownDuringLoad.push_back(text); };
  const LoadResult result = Load(FixturePath("six_channel_48000.wav"));
  EXPECT_EQ(result.Outcome, LoadOutcome::TooManyChannels);
  const std::vector<std::string> expected{"This file has more than 2 channels. Preview is not supported!",
                                          "Up to 2 channels supported!"};
  EXPECT_EQ(result.Messages, expected);
  EXPECT_EQ(shownDuringLoad, expected);
  EXPECT_EQ(result.Info.Label1, "six_channel_48000.wav");
  EXPECT_EQ(result.Info.Ind1 + result.Info.Ind2 + result.Info.Ind3 + result.Info.IndRate, "");
  ExpectAllCommandsDisabled(result);
  EXPECT_FALSE(loader_.SourceLoaded());
  EXPECT_EQ(loader_.PreviewStream(), 0u);
  EXPECT_FALSE(outputs_.WavSource.has_value());
}

TEST_F(SourceLoaderTest, TheContentsDecideHowAFileIsReadWhateverItsExtension) {
  struct Case {
    fs::path File;
    std::string Ind1, Ind2;
  };
  const std::vector<Case> cases{
      {FixturePath("opus_48000.ogg"), "OGG", "48000Hz"},
      {FixturePath("flac_in_ogg_44100.ogg"), "OGG", "44100Hz"},
      {Copy("flac_in_ogg_44100.ogg", "ogg_flac.flac"), "FLAC", "44100Hz"},
      {Copy("stereo_44100.flac", "flac.wma"), "WMA", "44100Hz"},
      {Copy("tagged_44100.wma", "wma.mp3"), "MP3", "44100Hz"},
      {Copy("stereo_22050.wav", "wav.ogg"), "OGG", "22050Hz"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.File.filename().string());
    const LoadResult result = Load(c.File);
    ASSERT_EQ(result.Outcome, LoadOutcome::Loaded);
    EXPECT_EQ(result.Info.Ind1, c.Ind1);  // the format label goes by the name
    EXPECT_EQ(result.Info.Ind2, c.Ind2);
    EXPECT_GT(loader_.Info().LengthBytes, 0);
  }
  // Opus comments come through FFmpeg, filed as Vorbis comments; its average bitrate stands in.
  Load(FixturePath("opus_48000.ogg"));
  const TVorbisTags& comments = loader_.Tags().Vorbis;
  EXPECT_EQ(comments.Title() + "|" + comments.Artist() + "|" + comments.Date() + "|" + comments.Track(),
            "Opus Song|Opus Band|2011|6");
  EXPECT_GT(outputs_.SourceKbps.value_or(0), 0);
}

TEST_F(SourceLoaderTest, LongNamesAreCutAfterSixtyCharacters) {
  const std::string sixty = std::string(56, 'n') + ".wav";
  const std::string sixtyOne = std::string(57, 'n') + ".wav";
  const std::string wide = "ü" + std::string(56, 'n') + ".wav";  // 61 characters, 62 bytes
  EXPECT_EQ(Load(Copy("mono_44100.wav", sixty)).Info.Label1, sixty);
  const LoadResult cut = Load(Copy("mono_44100.wav", sixtyOne));
  EXPECT_EQ(cut.Info.Label1, sixtyOne.substr(0, 60) + "...");
  EXPECT_EQ(cut.Info.Label1Hint, sixtyOne);
  const LoadResult wideCut = Load(Copy("mono_44100.wav", wide));
  EXPECT_EQ(wideCut.Outcome, LoadOutcome::Loaded);
  EXPECT_EQ(wideCut.Info.Label1, wide.substr(0, 61) + "...");
}

TEST_F(SourceLoaderTest, RepaintsShowLoadingFirst) {
  std::vector<std::string> labels;
  loader_.OnRepaint = [&](const InfoLine& line, const LoadButtons&) { labels.push_back(line.Label1); };
  Load(FixturePath("mono_44100.wav"));
  ASSERT_GE(labels.size(), 2u);
  EXPECT_EQ(labels.front(), "Loading...");
  EXPECT_EQ(labels.back(), "mono_44100.wav");
}

TEST_F(SourceLoaderTest, BadInputEndsInAFailureOrLoadsWhatDecodes) {
  std::vector<fs::path> inputs{folder_, folder_ / "missing.flac"};
  for (const char* ext : {".wav", ".mp3", ".ogg", ".wma", ".flac", ".flc"}) {
    inputs.push_back(RandomFile(std::string("empty") + ext, 0));
    inputs.push_back(RandomFile(std::string("noise") + ext, 4096));
  }
  for (const char* fixture : {"tagged_22050_64k.mp3", "comments_44100.ogg", "stereo_44100.flac"}) {
    const fs::path cut = Copy(fixture, std::string("cut_") + fixture);
    fs::resize_file(cut, fs::file_size(cut) / 2);
    inputs.push_back(cut);
  }
  const std::vector<fs::path> named{Copy("mono_44100.wav", "Grüße – 音.wav"),
                                    Copy("mono_44100.wav", "Latin-1 \xE9t\xE9.wav")};  // not UTF-8
  inputs.insert(inputs.end(), named.begin(), named.end());
  for (const fs::path& input : inputs) {
    SCOPED_TRACE(input.string());
    const bool wasLoaded = loader_.SourceLoaded();
    const InfoLine before = loader_.CurrentInfoLine();
    const LoadResult result = Load(input);
    if (result.Outcome != LoadOutcome::Loaded && wasLoaded) {
      EXPECT_EQ(result.Info, before);
      EXPECT_TRUE(result.Buttons.Save);
      continue;
    }
    switch (result.Outcome) {
      case LoadOutcome::Loaded:
        EXPECT_EQ(result.Info.Label1, input.filename().string());
        EXPECT_TRUE(result.Buttons.Save);
        break;
      case LoadOutcome::InvalidFile:
        EXPECT_EQ(result.Info.Label1, "No file loaded");
        EXPECT_EQ(result.Messages.size(), 1u);
        ExpectAllCommandsDisabled(result);
        break;
      case LoadOutcome::NotLoaded:
        EXPECT_EQ(result.Info.Label1, "File could not be loaded!");
        EXPECT_TRUE(result.Messages.empty());
        ExpectAllCommandsDisabled(result);
        break;
      case LoadOutcome::TooManyChannels:
        ADD_FAILURE() << "no input here has more than two channels";
    }
    if (input.filename().string().starts_with("cut_") || std::count(named.begin(), named.end(), input) == 1) {
      EXPECT_EQ(result.Outcome, LoadOutcome::Loaded);
    }
  }
}

}  // namespace
}  // namespace murmex
