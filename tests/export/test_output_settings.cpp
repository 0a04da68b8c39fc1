#include "export/output_settings.h"

#include <gtest/gtest.h>

namespace murmex {
namespace {

TEST(OutputSettings, StartsOnWavWithItsKbps) {
    OutputSettings s;
    EXPECT_EQ(s.labelFormat(), "WAV");
    EXPECT_EQ(s.labelKbps(), "1411");
    EXPECT_EQ(s.Label6(), "Output kbps:");
    EXPECT_EQ(s.SaveFilter(), "WAV file|*.wav");
}

TEST(OutputSettings, FormatCycleShowsEachFormatsValue) {
    OutputSettings s;
    s.UpdateWavKbps(22050, 1);
    EXPECT_EQ(s.labelKbps(), "352");
    const char* expected[] = {"MP3", "OGG", "WMA", "WAV", "MP3"};
    for (const char* format : expected) {
        EXPECT_FALSE(s.NextFormat(2).has_value());
        EXPECT_EQ(s.labelFormat(), format);
        EXPECT_EQ(s.labelKbps(), std::string(format) == "WAV" ? "352" : "256");
    }
}

TEST(OutputSettings, MoreThanTwoChannelsKeepsTheFormat) {
    OutputSettings s;
    auto message = s.NextFormat(6);
    ASSERT_TRUE(message.has_value());
    EXPECT_EQ(*message, "Only WAV format available for more than 2 channels.");
    EXPECT_EQ(s.labelFormat(), "WAV");
}

TEST(OutputSettings, RateCyclesWrapAround) {
    OutputSettings s;
    s.NextFormat(2);  // MP3
    s.SetVbr(true);
    EXPECT_EQ(s.labelKbps(), "5");
    for (int i = 0; i < 4; ++i) s.NextRate();
    EXPECT_EQ(s.labelKbps(), "9");
    s.NextRate();
    EXPECT_EQ(s.labelKbps(), "1");
    EXPECT_EQ(s.Mp3Quality(), 1);

    s.SetVbr(false);
    s.NextFormat(2);  // OGG
    EXPECT_EQ(s.labelKbps(), "256");
    s.NextRate();
    EXPECT_EQ(s.labelKbps(), "320");
    s.NextRate();
    EXPECT_EQ(s.labelKbps(), "96");
    EXPECT_EQ(s.OggKbps(), "96");
    EXPECT_EQ(s.Mp3Kbps(), "256");  // each format keeps its own setting
}

TEST(OutputSettings, RateOnWavOnlyShowsWavKbps) {
    OutputSettings s;
    s.UpdateWavKbps(48000, 2);
    s.SetVbr(true);
    s.NextRate();
    EXPECT_EQ(s.labelKbps(), "1536");
    EXPECT_EQ(s.Mp3Quality(), 5);
}

TEST(OutputSettings, VbrSwitchOnWavChangesOnlyTheCaption) {
    OutputSettings s;
    s.SetVbr(true);
    EXPECT_EQ(s.Label6(), "Out quality:");
    EXPECT_EQ(s.labelKbps(), "1411");
}

TEST(OutputSettings, CyclingFromWmaToWavKeepsQualityCaption) {
    OutputSettings s;
    s.UpdateWavKbps(44100, 1);
    for (int i = 0; i < 3; ++i) s.NextFormat(1);  // WMA
    s.SetVbr(true);
    s.NextFormat(1);
    EXPECT_EQ(s.labelFormat(), "WAV");
    EXPECT_EQ(s.labelKbps(), "705");
    EXPECT_EQ(s.Label6(), "Out quality:");
    s.NextFormat(1);  // MP3 with VBR on: caption and value follow
    EXPECT_EQ(s.Label6(), "Out quality:");
    EXPECT_EQ(s.labelKbps(), "5");
}

TEST(OutputSettings, SnapBitrateBoundaries) {
    EXPECT_EQ(OutputSettings::SnapBitrate(0), "96");
    EXPECT_EQ(OutputSettings::SnapBitrate(96), "96");
    EXPECT_EQ(OutputSettings::SnapBitrate(97), "128");
    EXPECT_EQ(OutputSettings::SnapBitrate(160), "160");
    EXPECT_EQ(OutputSettings::SnapBitrate(161), "192");
    EXPECT_EQ(OutputSettings::SnapBitrate(256), "256");
    EXPECT_EQ(OutputSettings::SnapBitrate(320), "320");
    EXPECT_EQ(OutputSettings::SnapBitrate(330), "192");
}

TEST(OutputSettings, SourceKbpsSetsAllThreeTextsAndWavKbpsIsTruncated) {
    OutputSettings s;
    s.ApplySourceKbps(330);
    EXPECT_EQ(s.Mp3Kbps(), "192");
    EXPECT_EQ(s.OggKbps(), "192");
    EXPECT_EQ(s.WmaKbps(), "192");
    s.UpdateWavKbps(44100, 2);
    EXPECT_EQ(s.WavKbps(), "1411");
    s.NextFormat(2);
    s.UpdateWavKbps(8000, 1);  // not WAV: the label keeps the MP3 value
    EXPECT_EQ(s.labelKbps(), "192");
    EXPECT_EQ(s.WavKbps(), "128");
}

TEST(OutputSettings, SaveFilterFollowsFormatAndVbr) {
    OutputSettings s;
    s.NextFormat(2);
    EXPECT_EQ(s.SaveFilter(), "MP3 256 kbps|*.mp3");
    s.SetVbr(true);
    EXPECT_EQ(s.SaveFilter(), "VBR mp3|*.mp3");
    s.NextFormat(2);
    EXPECT_EQ(s.SaveFilter(), "VBR Ogg|*.ogg");
    s.SetVbr(false);
    EXPECT_EQ(s.SaveFilter(), "VBR Ogg|*.ogg");
    s.NextFormat(2);
    s.NextRate();
    EXPECT_EQ(s.SaveFilter(), "WMA 320 kbps|*.wma");
    EXPECT_EQ(s.FormatExtension(), "wma");
}

TEST(OutputSettings, DirectSelectionRejectsValuesOutsideTheLists) {
    OutputSettings s;
    EXPECT_FALSE(s.SetKbps("128"));  // WAV has no bitrate choice
    EXPECT_FALSE(s.SelectFormat("flac"));
    EXPECT_TRUE(s.SelectFormat("ogg"));
    EXPECT_EQ(s.labelFormat(), "OGG");
    EXPECT_FALSE(s.SetKbps("100"));
    EXPECT_TRUE(s.SetKbps("128"));
    EXPECT_EQ(s.OggKbps(), "128");
    EXPECT_FALSE(s.SetQuality(0));
    EXPECT_FALSE(s.SetQuality(10));
    EXPECT_TRUE(s.SetQuality(3));
    EXPECT_EQ(s.OggQuality(), 3);
}

}  // namespace
}  // namespace murmex
