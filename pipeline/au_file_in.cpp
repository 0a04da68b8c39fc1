#include "pipeline/au_file_in.h"

#include <filesystem>

#include "pipeline/au_exception.h"
#include "pipeline/au_file_stream.h"

namespace murmex {

void TAuStreamedInput::SetStream(TAuStream* stream) {
    FStream = stream;
    FStreamFromCaller = stream != nullptr;
}

TAuFileIn::~TAuFileIn() = default;

void TAuFileIn::SetFileName(const std::string& fileName) {
    CloseFile();
    FFileName = fileName;
}

void TAuFileIn::OpenFile() {
    if (FOpened) return;
    if (!FStreamFromCaller) {
        if (FFileName.empty()) throw EAuException("File name is not assigned.");
        FOwnedStream = std::make_unique<TAuFileStream>(std::filesystem::path(FFileName),
                                                       fmOpenRead | fmShareDenyWrite);
        FStream = FOwnedStream.get();
    }
    FValid = false;
    FBitsPerSample = FChannels = FSampleRate = 0;
    FTotalSamples = 0;
    ReadHeader();
    FOpened = true;
}

void TAuFileIn::CloseFile() {
    if (!FStreamFromCaller) {
        FOwnedStream.reset();
        FStream = nullptr;
    }
    FOpened = false;
}

bool TAuFileIn::Valid() {
    OpenFile();
    return FValid;
}

unsigned TAuFileIn::InBitsPerSample() {
    OpenFile();
    return FBitsPerSample;
}

unsigned TAuFileIn::InChannels() {
    OpenFile();
    return FChannels;
}

unsigned TAuFileIn::InSampleRate() {
    OpenFile();
    return FSampleRate;
}

int64_t TAuFileIn::TotalSamples() {
    OpenFile();
    return FTotalSamples;
}

double TAuFileIn::TotalTime() {
    OpenFile();
    return FSampleRate == 0 ? 0.0 : static_cast<double>(FTotalSamples) / FSampleRate;
}

}  // namespace murmex
