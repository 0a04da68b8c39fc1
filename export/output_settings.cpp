#include "export/output_settings.h"

#include <algorithm>
#include <array>
#include <cctype>

namespace murmex {

namespace {

constexpr std::array<const char*, 4> kFormatCycle = {"WAV", "MP3", "OGG", "WMA"};
constexpr std::array<const char*, 6> kKbpsCycle = {"96", "128", "160", "192", "256", "320"};

std::string Upper(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return text;
}

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

}  // namespace

OutputSettings::Format OutputSettings::CurrentFormat() const {
    for (size_t i = 0; i < kFormatCycle.size(); ++i) {
        if (labelFormat_ == kFormatCycle[i]) return static_cast<Format>(i);
    }
    return Format::Wav;
}

std::string* OutputSettings::KbpsOf(Format f) {
    switch (f) {
        case Format::Mp3: return &mp3Kbps_;
        case Format::Ogg: return &oggKbps_;
        case Format::Wma: return &wmaKbps_;
        case Format::Wav: break;
    }
    return &wavKbps_;
}

int* OutputSettings::QualityOf(Format f) {
    switch (f) {
        case Format::Mp3: return &mp3Quality_;
        case Format::Ogg: return &oggQuality_;
        case Format::Wma: return &wmaQuality_;
        case Format::Wav: break;
    }
    return nullptr;
}

std::string OutputSettings::ValueShown() const {
    switch (CurrentFormat()) {
        case Format::Mp3: return vbr_ ? std::to_string(mp3Quality_) : mp3Kbps_;
        case Format::Ogg: return vbr_ ? std::to_string(oggQuality_) : oggKbps_;
        case Format::Wma: return vbr_ ? std::to_string(wmaQuality_) : wmaKbps_;
        case Format::Wav: break;
    }
    return wavKbps_;
}

void OutputSettings::UpdateLabel6ForFormat() {
    // Moving to WAV leaves the caption as it was.
    if (CurrentFormat() != Format::Wav) label6_ = vbr_ ? "Out quality:" : "Output kbps:";
}

std::optional<std::string> OutputSettings::NextFormat(int64_t sourceChannels) {
    if (sourceChannels > 2) return std::string(MoreThanTwoChannelsMessage);
    const auto next = (static_cast<size_t>(CurrentFormat()) + 1) % kFormatCycle.size();
    labelFormat_ = kFormatCycle[next];
    labelKbps_ = ValueShown();
    UpdateLabel6ForFormat();
    return std::nullopt;
}

void OutputSettings::NextRate() {
    const Format f = CurrentFormat();
    if (f == Format::Wav) {
        labelKbps_ = wavKbps_;
        return;
    }
    if (vbr_) {
        int& q = *QualityOf(f);
        q = q == 9 ? 1 : q + 1;
    } else {
        std::string& kbps = *KbpsOf(f);
        auto it = std::find(kKbpsCycle.begin(), kKbpsCycle.end(), kbps);
        const size_t next = it == kKbpsCycle.end() ? 0 : (it - kKbpsCycle.begin() + 1) % kKbpsCycle.size();
        kbps = kKbpsCycle[next];
    }
    labelKbps_ = ValueShown();
}

void OutputSettings::SetVbr(bool on) {
    vbr_ = on;
    label6_ = on ? "Out quality:" : "Output kbps:";
    if (CurrentFormat() != Format::Wav) labelKbps_ = ValueShown();
}

bool OutputSettings::SelectFormat(const std::string& format) {
    const std::string wanted = Upper(format);
    if (std::find(kFormatCycle.begin(), kFormatCycle.end(), wanted) == kFormatCycle.end()) return false;
    labelFormat_ = wanted;
    labelKbps_ = ValueShown();
    UpdateLabel6ForFormat();
    return true;
}

bool OutputSettings::SetKbps(const std::string& kbps) {
    const Format f = CurrentFormat();
    if (f == Format::Wav) return false;
    if (std::find(kKbpsCycle.begin(), kKbpsCycle.end(), kbps) == kKbpsCycle.end()) return false;
    *KbpsOf(f) = kbps;
    labelKbps_ = ValueShown();
    return true;
}

bool OutputSettings::SetQuality(int quality) {
    const Format f = CurrentFormat();
    if (f == Format::Wav || quality < 1 || quality > 9) return false;
    *QualityOf(f) = quality;
    labelKbps_ = ValueShown();
    return true;
}

void OutputSettings::ApplySourceKbps(int kbps) {
    mp3Kbps_ = oggKbps_ = wmaKbps_ = SnapBitrate(kbps);
    labelKbps_ = ValueShown();
}

void OutputSettings::UpdateWavKbps(int64_t sampleRate, int64_t channels) {
    wavKbps_ = std::to_string(sampleRate * channels * 16 / 1000);
    if (CurrentFormat() == Format::Wav) labelKbps_ = wavKbps_;
}

std::string OutputSettings::SnapBitrate(int kbps) {
    if (kbps <= 96) return "96";
    if (kbps <= 128) return "128";
    if (kbps <= 160) return "160";
    if (kbps <= 192) return "192";
    if (kbps <= 256) return "256";
    if (kbps <= 320) return "320";
    return "192";
}

std::string OutputSettings::SaveFilter() const {
    switch (CurrentFormat()) {
        case Format::Mp3: return vbr_ ? "VBR mp3|*.mp3" : "MP3 " + mp3Kbps_ + " kbps|*.mp3";
        case Format::Ogg: return "VBR Ogg|*.ogg";
        case Format::Wma: return vbr_ ? "VBR wma|*.wma" : "WMA " + wmaKbps_ + " kbps|*.wma";
        case Format::Wav: break;
    }
    return "WAV file|*.wav";
}

std::string OutputSettings::FormatExtension() const { return Lower(labelFormat_); }

}  // namespace murmex
