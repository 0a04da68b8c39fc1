#include "export/export_writers.h"

#include <string>

namespace murmex {

ExportWriters::ExportWriters() {
    for (TAuOutput* writer : All()) writer->SetInput(&Mem2);

    MP3Out1.SetBitRate(mbr128);
    MP3Out1.SetVBRQuality(mp3ql5);
    MP3Out1.SetEnableVBR(false);
    MP3Out1.SetAverageBitrate(mbrAuto);
    MP3Out1.SetMaximumBitrate(mbrAuto);

    VorbisOut1.SetCompression(0.5f);
    VorbisOut1.SetDesiredNominalBitrate(brAutoSelect);
    VorbisOut1.SetDesiredMaximumBitrate(brAutoSelect);
    VorbisOut1.SetMinimumBitrate(brAutoSelect);
    VorbisOut1.SetFileMode(TFileOutputMode::foRewrite);
    VorbisOut1.SetSerial(0);

    WMAOut1.SetDesiredBitrate(128);
    WMAOut1.SetLossless(false);
    WMAOut1.SetVBR(false);
    WMAOut1.SetVBRQuality(5);
}

TMP3BitRate Mp3BitRateForKbps(const std::string& kbps) {
    if (kbps == "96") return mbr96;
    if (kbps == "160") return mbr160;
    if (kbps == "192") return mbr192;
    if (kbps == "256") return mbr256;
    if (kbps == "320") return mbr320;
    return mbr128;
}

float OggCompressionForKbps(const std::string& kbps) {
    if (kbps == "96") return 0.1f;
    if (kbps == "160") return 0.4f;
    if (kbps == "192") return 0.5f;
    if (kbps == "256") return 0.7f;
    if (kbps == "320") return 0.9f;
    return 0.2f;
}

TAuOutput& ExportWriters::ConfigureWriter(const OutputSettings& settings, const std::string& format,
                                          const std::string& outputPath, const TVorbisTags& vorbisTags,
                                          const TId3v2Tags& id3v2Tags) {
    const bool vbr = settings.vbr_check();
    if (format == "mp3") {
        MP3Out1.SetFileName(outputPath);
        MP3Out1.SetEnableVBR(vbr);
        MP3Out1.SetAverageBitrate(mbrAuto);
        MP3Out1.SetMaximumBitrate(mbrAuto);
        if (vbr) {
            MP3Out1.SetBitRate(mbrAuto);
            MP3Out1.SetVBRQuality(static_cast<TMP3Quality>(10 - settings.Mp3Quality()));
        } else {
            MP3Out1.SetBitRate(Mp3BitRateForKbps(settings.Mp3Kbps()));
        }
        return MP3Out1;
    }
    if (format == "ogg") {
        VorbisOut1.SetFileName(outputPath);
        VorbisOut1.SetComments(vorbisTags);
        if (vbr) {
            VorbisOut1.SetCompression(static_cast<float>(settings.OggQuality()) * 0.1f);
            VorbisOut1.SetDesiredMaximumBitrate(brAutoSelect);
            VorbisOut1.SetDesiredNominalBitrate(brAutoSelect);
            VorbisOut1.SetMinimumBitrate(brAutoSelect);
        } else {
            VorbisOut1.SetCompression(OggCompressionForKbps(settings.OggKbps()));
        }
        return VorbisOut1;
    }
    if (format == "wma") {
        WMAOut1.Id3v2Tags().Clear();
        WMAOut1.SetId3v2Tags(id3v2Tags);
        WMAOut1.SetFileName(outputPath);
        WMAOut1.SetVBR(vbr);
        if (vbr) {
            WMAOut1.SetVBRQuality(static_cast<uint8_t>(settings.WmaQuality() * 10));
        } else {
            WMAOut1.SetDesiredBitrate(static_cast<uint32_t>(std::stoi(settings.WmaKbps())));
        }
        return WMAOut1;
    }
    WaveOut1.SetFileName(outputPath);
    return WaveOut1;
}

}  // namespace murmex
