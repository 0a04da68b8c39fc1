#pragma once

#include <cstdint>
#include <vector>

#include "encoders/lame_stream.h"
#include "encoders/mp3_config.h"
#include "pipeline/au_output.h"

namespace murmex {

// Pipeline file output that encodes its input's 16-bit PCM to MP3 with LAME, ends the file with
// a 128-byte ID3v1-format trailer from Id3v1Tags and, under VBR, fills in the VBR/Info header of
// the first frame once the file is closed. The library is bound when the writer is created.
class TMP3Out : public TAuTaggedFileOut {
public:
    // Raises EAuException "lame_enc.dll library could not be loaded." when LAME is missing.
    TMP3Out();
    ~TMP3Out() override;

    TMP3BitRate BitRate() const { return FSettings.BitRate; }
    void SetBitRate(TMP3BitRate value) { FSettings.BitRate = value; }
    TMP3Mode Mode() const { return FSettings.Mode; }
    void SetMode(TMP3Mode value) { FSettings.Mode = value; }
    bool CRC() const { return FSettings.CRC; }
    void SetCRC(bool value) { FSettings.CRC = value; }
    bool Copyright() const { return FSettings.Copyright; }
    void SetCopyright(bool value) { FSettings.Copyright = value; }
    bool Original() const { return FSettings.Original; }
    void SetOriginal(bool value) { FSettings.Original = value; }
    TMP3Quality VBRQuality() const { return FSettings.VBRQuality; }
    void SetVBRQuality(TMP3Quality value) { FSettings.VBRQuality = value; }
    bool EnableVBR() const { return FSettings.EnableVBR; }
    void SetEnableVBR(bool value) { FSettings.EnableVBR = value; }
    TMP3BitRate AverageBitrate() const { return FSettings.AverageBitrate; }
    void SetAverageBitrate(TMP3BitRate value) { FSettings.AverageBitrate = value; }
    TMP3BitRate MaximumBitrate() const { return FSettings.MaximumBitrate; }
    void SetMaximumBitrate(TMP3BitRate value) { FSettings.MaximumBitrate = value; }

protected:
    void Init() override;
    bool DoOutput(bool abort) override;
    void Done() override;

private:
    void WriteEncoded(int produced, const char* step);
    void FinishFrames();

    Mp3Settings FSettings;
    LameStream FStream;
    bool FEncoding = false;  // the encoder stream was opened in this run
    std::vector<int16_t> FInBuf;
    std::vector<uint8_t> FOutBuf;
};

}  // namespace murmex
