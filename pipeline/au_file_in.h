#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "pipeline/au_input.h"
#include "pipeline/au_stream.h"

namespace murmex {

// Input that reads a stream; the stream is either the caller's or one a file input opened.
class TAuStreamedInput : public TAuInput {
public:
    // A caller's stream replaces any file; it is read but never closed by the input.
    void SetStream(TAuStream* stream);
    bool StreamFromCaller() const { return FStreamFromCaller; }

protected:
    TAuStream* FStream = nullptr;
    bool FStreamFromCaller = false;
};

// Input reading a named file. The format getters open the file on demand (OpenFile reads the
// header) and report what it found; setting FileName closes a file that is open.
class TAuFileIn : public TAuStreamedInput {
public:
    ~TAuFileIn() override;

    void SetFileName(const std::string& fileName);
    const std::string& FileName() const { return FFileName; }
    // Serve the data again from its start when it ends.
    bool Loop = false;

    unsigned InBitsPerSample() override;
    unsigned InChannels() override;
    unsigned InSampleRate() override;
    double TotalTime() override;
    int64_t TotalSamples() override;
    // True when the header was read and understood.
    bool Valid();

protected:
    // Opens FFileName (unless a caller's stream is set) and calls ReadHeader once per file.
    void OpenFile();
    void CloseFile();
    // Reads the format from FStream into the fields below; sets FValid when understood.
    virtual void ReadHeader() = 0;

    bool FOpened = false;
    bool FValid = false;
    unsigned FBitsPerSample = 0;
    unsigned FChannels = 0;
    unsigned FSampleRate = 0;
    int64_t FTotalSamples = 0;

private:
    std::string FFileName;
    std::unique_ptr<TAuStream> FOwnedStream;
};

}  // namespace murmex
