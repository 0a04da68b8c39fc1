#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "source/output_defaults.h"

namespace murmex {

// The output format and bitrate selection behind the window's three small controls
// (format button, bitrate button, VBR switch). It holds the per-format settings and the
// texts the window shows; the window only binds its labels to them.
class OutputSettings : public OutputDefaults {
public:
    static constexpr const char* MoreThanTwoChannelsMessage =
        "Only WAV format available for more than 2 channels.";

    // Current format: "WAV", "MP3", "OGG" or "WMA" (the text of labelFormat).
    const std::string& labelFormat() const { return labelFormat_; }
    // Value in effect for the current format (labelKbps).
    const std::string& labelKbps() const { return labelKbps_; }
    // "Output kbps:" or "Out quality:" (Label6).
    const std::string& Label6() const { return label6_; }
    bool vbr_check() const { return vbr_; }

    // Moves to the next format (WAV, MP3, OGG, WMA, round). Returns the message to show when
    // the format may not change.
    std::optional<std::string> NextFormat(int64_t sourceChannels);
    // Moves to the next bitrate, or VBR quality, of the current format.
    void NextRate();
    // Turns variable bitrate on or off.
    void SetVbr(bool on);

    // Jumps straight to a format ("wav", "mp3", "ogg", "wma", any case); false if unknown.
    // Label6 follows the same rule as the format button.
    bool SelectFormat(const std::string& format);
    // Sets the current format's constant bitrate (a value of the kbps cycle) or VBR quality
    // (1..9); false when the value is not allowed or the format is WAV.
    bool SetKbps(const std::string& kbps);
    bool SetQuality(int quality);

    void ApplySourceKbps(int kbps) override;
    void UpdateWavKbps(int64_t sampleRate, int64_t channels) override;
    static std::string SnapBitrate(int kbps);

    // The save dialog's single filter entry, "description|*.ext".
    std::string SaveFilter() const;
    // Lower-case format, also the output file's extension.
    std::string FormatExtension() const;

    const std::string& Mp3Kbps() const { return mp3Kbps_; }
    const std::string& OggKbps() const { return oggKbps_; }
    const std::string& WmaKbps() const { return wmaKbps_; }
    const std::string& WavKbps() const { return wavKbps_; }
    int Mp3Quality() const { return mp3Quality_; }
    int OggQuality() const { return oggQuality_; }
    int WmaQuality() const { return wmaQuality_; }

private:
    enum class Format { Wav, Mp3, Ogg, Wma };

    Format CurrentFormat() const;
    std::string* KbpsOf(Format f);
    int* QualityOf(Format f);
    std::string ValueShown() const;
    void UpdateLabel6ForFormat();

    std::string labelFormat_ = "WAV";
    std::string labelKbps_ = "1411";
    std::string label6_ = "Output kbps:";
    bool vbr_ = false;

    std::string mp3Kbps_ = "256";
    std::string oggKbps_ = "256";
    std::string wmaKbps_ = "256";
    std::string wavKbps_ = "1411";
    int mp3Quality_ = 5;
    int oggQuality_ = 5;
    int wmaQuality_ = 5;
};

}  // namespace murmex
