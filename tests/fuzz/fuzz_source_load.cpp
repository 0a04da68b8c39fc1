// Loads arbitrary bytes as a source file the way murmex-cli does (no audio device), under the
// extension the first byte chooses (Ogg page checksums set right). Whatever the outcome every text is valid UTF-8; a loaded
// source has one or two channels, a rate and a length in whole frames, reads in whole frames
// from its start and after a seek; a refused one says why.
#include <string>
#include <vector>

#include "engine/processing_options.h"
#include "engine/spectral_engine.h"
#include "source/bass.h"
#include "source/source_loader.h"
#include "tests/fuzz/fuzz_support.h"
#include "tests/fuzz/input_choice.h"
#include "tests/fuzz/ogg_checksums.h"
#include "tests/fuzz/tag_texts.h"

using namespace murmex;
using namespace murmex::fuzz;

namespace {

// What the load tells the output settings.
struct RecordedDefaults : OutputDefaults {
    void ApplySourceKbps(int kbps) override { SourceKbps = kbps; }
    void UpdateWavKbps(int64_t sampleRate, int64_t channels) override {
        WavRate = sampleRate;
        WavChannels = channels;
    }
    int SourceKbps = 0;
    int64_t WavRate = 0;
    int64_t WavChannels = 0;
};

// A long source decodes to much more than its file; this much shows how it reads.
constexpr uint64_t kMaxDecodedBytes = 16 << 20;

// Reads the decoding stream to its end (or the bound), checking that every read is whole frames.
uint64_t DecodeAll(HSTREAM stream, uint32_t frameBytes) {
    std::vector<uint8_t> buffer(4099);  // not a multiple of any frame size
    uint64_t total = 0;
    while (total < kMaxDecodedBytes) {
        const uint32_t got = BASS_ChannelGetData(stream, buffer.data(), static_cast<uint32_t>(buffer.size()));
        if (got == 0 || got == BASS_COUNT_ERROR) break;
        MURMEX_FUZZ_CHECK(got <= buffer.size() && got % frameBytes == 0);
        total += got;
    }
    return total;
}

void CheckLoaded(const SourceLoader& loader, const LoadResult& result, const RecordedDefaults& defaults) {
    const SourceInfo& info = loader.Info();
    MURMEX_FUZZ_CHECK(info.Channels == 1 || info.Channels == 2);
    MURMEX_FUZZ_CHECK(info.SampleRate > 0 && info.BitsPerSample == 16);
    const auto frameBytes = static_cast<uint32_t>(2 * info.Channels);
    MURMEX_FUZZ_CHECK(info.LengthBytes >= 0 && info.LengthBytes % frameBytes == 0);
    MURMEX_FUZZ_CHECK(result.Buttons.Save && result.Buttons.Play && result.Messages.empty());
    MURMEX_FUZZ_CHECK(defaults.WavRate == info.SampleRate && defaults.WavChannels == info.Channels);
    MURMEX_FUZZ_CHECK(loader.PreviewQueueLimit() >= 0 && loader.PreviewStream() == 0);

    const HSTREAM stream = loader.DecodeStream();
    BASS_CHANNELINFO channel;
    MURMEX_FUZZ_CHECK(BASS_ChannelGetInfo(stream, &channel) && channel.chans == info.Channels);
    DecodeAll(stream, frameBytes);
    // The preview's seek lands on a whole frame and reads on in whole frames.
    const uint64_t middle = static_cast<uint64_t>(info.LengthBytes) / 2 + 1;
    if (BASS_ChannelSetPosition(stream, middle, BASS_POS_BYTE)) {
        const uint64_t position = BASS_ChannelGetPosition(stream, BASS_POS_BYTE);
        MURMEX_FUZZ_CHECK(position != BASS_POSITION_ERROR && position % frameBytes == 0 && position <= middle);
        DecodeAll(stream, frameBytes);
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // Device 0, as the command line uses: decoding only, no sound output needed.
    MURMEX_FUZZ_CHECK(BASS_Init(0, 44100, 0, nullptr, nullptr));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    static ProcessingOptions options;
    static SpectralEngine engine(options);
    static RecordedDefaults defaults;
    static SourceLoader loader(engine, defaults);
    defaults = RecordedDefaults();

    const std::string_view extension = ExtensionFor(data[0], kLoadExtensions);
    std::vector<uint8_t> file(data + 1, data + size);
    if (extension == ".ogg") RepairOggChecksums(file);
    const auto path = ScratchPath("source" + std::string(extension));
    WriteScratch(path, file.data(), file.size());
    const bool wasLoaded = loader.SourceLoaded();
    const InfoLine infoBefore = loader.CurrentInfoLine();
    const LoadButtons buttonsBefore = loader.CurrentButtons();
    const LoadResult result = loader.Load(path);

    for (const std::string& text : {result.Info.Label1, result.Info.Label1Hint, result.Info.Ind1, result.Info.Ind2,
                                    result.Info.Ind3, result.Info.IndRate, loader.SuggestedName()}) {
        MURMEX_FUZZ_CHECK(IsValidUtf8(text));
    }
    for (const std::string& text : TextsOf(loader.Tags().Vorbis)) MURMEX_FUZZ_CHECK(IsValidUtf8(text));
    for (const std::string& text : TextsOf(loader.Tags().Id3v2)) MURMEX_FUZZ_CHECK(IsValidUtf8(text));
    for (const std::string& text : TextsOf(loader.Tags().Id3v1)) MURMEX_FUZZ_CHECK(IsValidUtf8(text));

    // A failed load leaves the loaded source and what the window shows of it as they were.
    if (result.Outcome != LoadOutcome::Loaded && wasLoaded)
        MURMEX_FUZZ_CHECK(loader.SourceLoaded() && result.Info == infoBefore && result.Buttons == buttonsBefore);
    switch (result.Outcome) {
        case LoadOutcome::Loaded: CheckLoaded(loader, result, defaults); break;
        case LoadOutcome::TooManyChannels:
            MURMEX_FUZZ_CHECK(!result.Messages.empty() && result.Buttons.Save == wasLoaded);
            break;
        case LoadOutcome::InvalidFile:
            MURMEX_FUZZ_CHECK(!result.Messages.empty() && result.Buttons.Save == wasLoaded);
            break;
        case LoadOutcome::NotLoaded:
            MURMEX_FUZZ_CHECK(wasLoaded || (result.Info.Label1 == SourceLoader::kCouldNotBeLoaded && !result.Buttons.Save));
            break;
    }
    return 0;
}
