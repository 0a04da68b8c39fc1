#include "export/export_writers.h"

#include <gtest/gtest.h>

namespace murmex {
namespace {

TEST(ConfigureWriter, VbrQualityMapsPerFormat) {
    ExportWriters writers;
    OutputSettings settings;
    TVorbisTags vorbis;
    TId3v2Tags id3v2;
    settings.SetVbr(true);
    for (const char* format : {"mp3", "ogg", "wma"}) {
        settings.SelectFormat(format);
        settings.SetQuality(3);
    }
    EXPECT_EQ(&writers.ConfigureWriter(settings, "mp3", "/t/a.mp3", vorbis, id3v2), &writers.MP3Out1);
    EXPECT_TRUE(writers.MP3Out1.EnableVBR());
    EXPECT_EQ(writers.MP3Out1.VBRQuality(), mp3ql7);
    EXPECT_EQ(writers.MP3Out1.BitRate(), mbrAuto);
    EXPECT_EQ(writers.MP3Out1.FileName(), "/t/a.mp3");

    EXPECT_EQ(&writers.ConfigureWriter(settings, "ogg", "/t/a.ogg", vorbis, id3v2), &writers.VorbisOut1);
    EXPECT_FLOAT_EQ(writers.VorbisOut1.Compression(), 0.3f);

    EXPECT_EQ(&writers.ConfigureWriter(settings, "wma", "/t/a.wma", vorbis, id3v2), &writers.WMAOut1);
    EXPECT_TRUE(writers.WMAOut1.VBR());
    EXPECT_EQ(writers.WMAOut1.VBRQuality(), 30);

    EXPECT_EQ(&writers.ConfigureWriter(settings, "wav", "/t/a.wav", vorbis, id3v2), &writers.WaveOut1);
    EXPECT_EQ(writers.WaveOut1.FileName(), "/t/a.wav");
}

TEST(ConfigureWriter, ConstantBitrateChoices) {
    ExportWriters writers;
    OutputSettings settings;
    TVorbisTags vorbis;
    TId3v2Tags id3v2;
    vorbis.SetValue("title", std::string("Ogg Song"));
    id3v2.SetTitle("Song");

    settings.SelectFormat("mp3");
    settings.SetKbps("320");
    writers.ConfigureWriter(settings, "mp3", "/t/a.mp3", vorbis, id3v2);
    EXPECT_FALSE(writers.MP3Out1.EnableVBR());
    EXPECT_EQ(writers.MP3Out1.BitRate(), mbr320);
    EXPECT_EQ(writers.MP3Out1.AverageBitrate(), mbrAuto);

    const std::pair<const char*, float> ogg[] = {{"96", 0.1f},  {"128", 0.2f}, {"160", 0.4f},
                                                 {"192", 0.5f}, {"256", 0.7f}, {"320", 0.9f}};
    settings.SelectFormat("ogg");
    for (const auto& [kbps, compression] : ogg) {
        settings.SetKbps(kbps);
        writers.ConfigureWriter(settings, "ogg", "/t/a.ogg", vorbis, id3v2);
        EXPECT_FLOAT_EQ(writers.VorbisOut1.Compression(), compression) << kbps;
    }
    EXPECT_EQ(writers.VorbisOut1.Comments().AsText("title"), "Ogg Song");

    settings.SelectFormat("wma");
    settings.SetKbps("160");
    writers.ConfigureWriter(settings, "wma", "/t/a.wma", vorbis, id3v2);
    EXPECT_FALSE(writers.WMAOut1.VBR());
    EXPECT_EQ(writers.WMAOut1.DesiredBitrate(), 160u);
    EXPECT_EQ(writers.WMAOut1.Id3v2Tags().Title(), "Song");
}

}  // namespace
}  // namespace murmex
