#pragma once

#include "encoders/vorbis_bitrate.h"
#include "encoders/vorbis_stream_encoder.h"
#include "pipeline/au_output.h"
#include "tags/au_tags.h"

namespace murmex {

// Pipeline file output that encodes its input's PCM into an Ogg Vorbis file: quality mode from
// Compression, or bitrate-managed mode when a nominal bitrate is chosen. Comments are written
// from the Comments container and cleared when the file is finished, so they are filled again
// before each run. With foAppend a new logical stream is added after the existing content.
class TVorbisOut : public TAuFileOut {
public:
    TVorbisOut() = default;
    ~TVorbisOut() override;

    float Compression() const { return FCompression; }
    void SetCompression(float value) { FCompression = value; }

    TVorbisTags& Comments() { return FComments; }
    // Copies the given container's values.
    void SetComments(const TVorbisTags& tags) { FComments.Assign(tags); }

    // The three bitrates keep their order (by ordinal): a nominal value pulls the minimum down
    // and the maximum up to itself, and brAutoSelect as nominal also resets the maximum; a
    // maximum is taken only in managed mode and not below the nominal value; a minimum only when
    // not above the nominal value.
    TVorbisBitRate DesiredNominalBitrate() const { return FNominal; }
    void SetDesiredNominalBitrate(TVorbisBitRate value);
    TVorbisBitRate DesiredMaximumBitrate() const { return FMaximum; }
    void SetDesiredMaximumBitrate(TVorbisBitRate value);
    TVorbisBitRate MinimumBitrate() const { return FMinimum; }
    void SetMinimumBitrate(TVorbisBitRate value);

    void SetFileMode(TFileOutputMode mode) override { FFileMode = mode; }

    int32_t Serial() const { return FSerial; }
    void SetSerial(int32_t value) { FSerial = value; }

protected:
    void Init() override;
    bool DoOutput(bool abort) override;
    void Done() override;

private:
    VorbisEncoderSetup EncoderSetup();

    float FCompression = 0.2F;
    TVorbisTags FComments;
    TVorbisBitRate FNominal = brAutoSelect;
    TVorbisBitRate FMaximum = brAutoSelect;
    TVorbisBitRate FMinimum = brAutoSelect;
    int32_t FSerial = 0;
    unsigned FBitsPerSample = 16;
    VorbisStreamEncoder FEncoder;
};

}  // namespace murmex
