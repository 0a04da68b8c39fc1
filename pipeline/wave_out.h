#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "pipeline/au_output.h"
#include "pipeline/wav_format.h"

namespace murmex {

// Writes the PCM pulled from its input into a RIFF/WAVE file: a 44-byte PCM header, or a
// 68-byte WAVE_FORMAT_EXTENSIBLE header for more than 2 channels or more than 16 bits (unless
// CreateNonMsHeaders), or IMA ADPCM blocks (wtDVIADPCM). With foAppend it adds to an existing
// file of the same format. Read and write errors end the run with their text in ErrorText;
// the file is then finished with sizes matching what was really written.
class TWaveOut : public TAuFileOut {
public:
    TWaveOut();
    ~TWaveOut() override;

    TWavType WavType() const { return FWavType; }
    // Ignored while running; accepts only wtPCM and wtDVIADPCM.
    void SetWavType(TWavType type);
    uint16_t BlockSize() const { return FBlockSize; }
    // ADPCM block size in bytes. Ignored while running, and for 0 or values not a multiple of 4.
    void SetBlockSize(uint16_t size);
    void SetFileMode(TFileOutputMode mode) override;

    // When true the writer never switches to the extensible header.
    bool CreateNonMsHeaders = false;

protected:
    void Init() override;
    bool DoOutput(bool abort) override;
    void Done() override;

private:
    void OpenForAppend();
    void WriteHeader(TWavType type);
    void InitAdpcm();
    bool WriteAdpcmBlock();
    void PatchSizes();
    void FinishFile();
    void WriteSizeAt(int64_t position, int64_t value);
    [[noreturn]] void FailInit(const std::string& message);

    TWavType FWavType = TWavType::wtPCM;
    uint16_t FBlockSize = 512;
    bool EndReached = false;
    bool StreamReady = false;  // a stream was opened (or handed over) in this run
    bool Appending = false;    // the file held a header already
    // Where the size fields and the data of the file being written are.
    WavFileFormat Layout;
    int64_t SamplesBefore = 0;   // ADPCM: samples per channel the appended file already had
    int64_t SamplesWritten = 0;  // ADPCM: samples per channel written in this run
    std::vector<int16_t> PcmBlock;  // interleaved samples of one ADPCM block (little-endian host)
    std::vector<uint8_t> AdpcmBlock;
    std::vector<uint8_t> StepIndex;
};

}  // namespace murmex
