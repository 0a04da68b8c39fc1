// Damaged and hostile inputs through the real murmex-cli: every one either fails with its own
// message or saves what can be decoded, at the source's rate, and none of them crashes the
// program, hangs it, makes it grow beyond a few hundred MiB or touches the input file.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "tests/export/wav_test_files.h"
#include "tests/fixtures/fixture_paths.h"
#include "tests/hostile/cli_under_limits.h"
#include "tests/hostile/hostile_files.h"

namespace murmex {
namespace {

namespace fs = std::filesystem;
using namespace murmex::testing;
using namespace std::chrono_literals;

// What the load says when it refuses a file, and what a save says when less could be decoded
// than the file announced.
const std::vector<std::string> kRefusalTexts = {"Invalid audio file!", "File could not be loaded!",
                                                "Only 16 bits audio supported!", "Up to 2 channels supported!",
                                                "the source ended early"};

enum class SaveAllowed {
    No,
    AtSourceRate,         // the source's own rate and channels, no longer than the source
    AtSourceRateOrResampled  // or else at a rate in 2000..96000 Hz, as long as the source
};

struct HostileCase {
    std::string Name;
    std::string FileName;
    std::function<void(const fs::path&)> Make;
    std::vector<std::string> Refusals;  // an exit status 1 must come with one of these
    SaveAllowed Save = SaveAllowed::No;
    std::string OutputFormat = "wav";
    uint32_t Rate = 0;
    uint16_t Channels = 0;
    double Seconds = 0.0;
};

void PrintTo(const HostileCase& c, std::ostream* os) { *os << c.Name; }

struct FixtureSource {
    std::string Extension;
    std::string Fixture;
    uint32_t Rate;
    uint16_t Channels;
    double Seconds;
};

struct Damage {
    std::string Name;
    std::function<Bytes(const Bytes&, const std::string& extension)> Apply;
};

std::vector<HostileCase> DamagedFixtures() {
    const std::vector<FixtureSource> sources = {
        {"wav", "stereo_44100.wav", 44100, 2, 1.5},   {"mp3", "tagged_22050_64k.mp3", 22050, 2, 2.0},
        {"ogg", "comments_44100.ogg", 44100, 2, 1.5}, {"wma", "tagged_44100.wma", 44100, 2, 1.5},
        {"flac", "stereo_44100.flac", 44100, 2, 1.5},
    };
    const std::vector<Damage> damages = {
        {"Empty", [](const Bytes& b, const std::string&) { return Truncated(b, 0); }},
        {"CutInHeader", [](const Bytes& b, const std::string&) { return Truncated(b, 37); }},
        {"CutInHalf", [](const Bytes& b, const std::string&) { return Truncated(b, b.size() / 2); }},
        {"FlipsAnywhereSeed1", [](const Bytes& b, const std::string&) { return WithFlippedBits(b, 1, 24); }},
        {"FlipsAnywhereSeed2", [](const Bytes& b, const std::string&) { return WithFlippedBits(b, 2, 24); }},
        {"FlipsInHeadSeed3", [](const Bytes& b, const std::string&) { return WithFlippedBits(b, 3, 8, 512); }},
        {"FlipsInHeadSeed4", [](const Bytes& b, const std::string&) { return WithFlippedBits(b, 4, 8, 512); }},
        {"SizeClaims", [](const Bytes& b, const std::string& ext) { return WithSizeClaims(b, ext); }},
    };
    std::vector<HostileCase> cases;
    for (const FixtureSource& source : sources) {
        for (const Damage& damage : damages) {
            cases.push_back({source.Extension + damage.Name, "damaged." + source.Extension,
                             [source, damage](const fs::path& path) {
                                 WriteBytes(path, damage.Apply(ReadBytes(FixturePath(source.Fixture)), source.Extension));
                             },
                             kRefusalTexts, SaveAllowed::AtSourceRate, "wav", source.Rate, source.Channels,
                             source.Seconds});
        }
    }
    return cases;
}

std::function<void(const fs::path&)> WavOf(uint32_t rate, uint16_t channels, size_t frames) {
    return [=](const fs::path& path) { WriteWav(path, NoisyTone(frames, channels), rate, channels); };
}

// A mono source at `rate`, saved as `format`: written at that rate where the format holds it,
// resampled where it does not, or refused with the rate named.
HostileCase OddRate(uint32_t rate, size_t frames, const std::string& format, std::vector<std::string> refusals = {}) {
    const std::string hz = std::to_string(rate);
    refusals.push_back(hz + " Hz");
    refusals.push_back(hz + "Hz");
    return {"RateOf" + hz + "HzAs" + format, "rate.wav", WavOf(rate, 1, frames), refusals,
            SaveAllowed::AtSourceRateOrResampled, format, rate, 1, rate == 0 ? 0.0 : static_cast<double>(frames) / rate};
}

std::vector<HostileCase> HostileCases() {
    std::vector<HostileCase> cases = DamagedFixtures();
    // A rate of 0 cannot be decoded at all; the others can, but only WAV holds them as they are.
    cases.push_back(OddRate(0, 4410, "wav", {"Invalid audio file!"}));
    for (const char* format : {"wav", "mp3", "ogg", "wma"}) {
        cases.push_back(OddRate(1, 4, format));
        cases.push_back(OddRate(1000000, 100000, format));
    }
    cases.push_back({"SixChannels", "six.wav", WavOf(44100, 6, 4410), {"Up to 2 channels supported!"}});
    cases.push_back({"TwoHundredFiftyFiveChannels", "many.wav", WavOf(44100, 255, 1000), {"Up to 2 channels supported!"}});
    cases.push_back({"DirectoryUnderAudioName", "folder.wav", [](const fs::path& p) { fs::create_directory(p); },
                     {"not a regular file"}});
    cases.push_back({"FifoUnderAudioName", "pipe.mp3",
                     [](const fs::path& p) { ASSERT_EQ(::mkfifo(p.c_str(), 0644), 0) << p; }, {"not a regular file"}});
    return cases;
}

// What is at the input's place, to show it was left alone: its bytes, or its kind.
std::string Snapshot(const fs::path& path) {
    if (fs::is_regular_file(path)) {
        const Bytes bytes = ReadBytes(path);
        return "file:" + std::string(bytes.begin(), bytes.end());
    }
    return "kind:" + std::to_string(static_cast<int>(fs::symlink_status(path).type()));
}

// The WAV header as written (its sizes must agree with the file), or what ffprobe reads.
std::optional<AudioFacts> ReadWritten(const fs::path& output, const std::string& format) {
    if (format != "wav") return ProbeAudio(output);
    const std::optional<WavFacts> facts = ReadWavFacts(output);
    if (!facts) return std::nullopt;
    EXPECT_TRUE(facts->SizesMatchFile) << "the header's sizes do not match the file";
    return AudioFacts{facts->Rate, facts->Channels, facts->Seconds()};
}

void ExpectSavedAsAllowed(const HostileCase& c, const fs::path& output, const std::string& err) {
    const std::optional<AudioFacts> written = ReadWritten(output, c.OutputFormat);
    ASSERT_TRUE(written.has_value()) << "no readable file written: " << err;
    EXPECT_EQ(written->Channels, c.Channels) << err;
    // Every save begins with two silent blocks of 2048 bytes, one of them the engine's latency.
    const double head = 1024.0 / c.Channels / c.Rate;
    if (written->Rate == c.Rate) {
        EXPECT_LE(written->Seconds, c.Seconds * 1.1 + head + 0.1) << "more audio than the source holds";
        return;
    }
    ASSERT_EQ(c.Save, SaveAllowed::AtSourceRateOrResampled) << "written at " << written->Rate << " Hz: " << err;
    EXPECT_GE(written->Rate, 2000u) << err;
    EXPECT_LE(written->Rate, 192000u) << err;  // Vorbis holds up to 192 kHz
    const double expected = c.Seconds + head;
    EXPECT_NEAR(written->Seconds, expected, expected * 0.05 + 0.1) << "the source's length was not kept: " << err;
}

class HostileInput : public ::testing::TestWithParam<HostileCase> {};

TEST_P(HostileInput, FailsWithItsMessageOrSavesWhatIsDecodable) {
    const HostileCase& c = GetParam();
    ScratchFolder dir;
    const fs::path input = dir / c.FileName;
    c.Make(input);
    if (HasFatalFailure()) return;
    const fs::path output = dir / ("out." + c.OutputFormat);
    const std::string before = Snapshot(input);

    const ChildOutcome outcome = ChildRun(MURMEX_CLI_PATH, {"-o", output.string(), input.string()}, CliLimits(10s)).Wait();

    ExpectOrderlyEnd(outcome);
    EXPECT_EQ(Snapshot(input), before) << "the input was changed";
    if (outcome.ExitCode == 0) {
        ASSERT_NE(c.Save, SaveAllowed::No) << "saved although it must be refused: " << outcome.Err;
        ExpectSavedAsAllowed(c, output, outcome.Err);
    } else if (outcome.ExitCode == 1) {
        EXPECT_TRUE(Contains(outcome.Err, input.string()) || Contains(outcome.Err, output.string()))
            << "the message names neither the input nor the output: " << outcome.Err;
        bool known = false;
        for (const std::string& text : c.Refusals) known = known || Contains(outcome.Err, text);
        EXPECT_TRUE(known) << "not among the expected messages: " << outcome.Err;
        // The inputs here never change, whatever their headers announce.
        EXPECT_FALSE(Contains(outcome.Err, "shorter than when it was loaded")) << "a false reason: " << outcome.Err;
        if (fs::exists(output)) {
            EXPECT_TRUE(Contains(outcome.Err, "ended early") || Contains(outcome.Err, "incomplete"))
                << "a file was left without saying it is short: " << outcome.Err;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Cli, HostileInput, ::testing::ValuesIn(HostileCases()),
                         [](const ::testing::TestParamInfo<HostileCase>& info) { return info.param.Name; });

}  // namespace
}  // namespace murmex
