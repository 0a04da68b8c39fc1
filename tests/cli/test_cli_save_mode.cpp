// --method, --learn, --noise-from and --aligned: how they are read, refused and carried out.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "cli/cli_options.h"
#include "tests/cli/cli_process.h"
#include "tests/export/export_rig.h"
#include "tests/export/wav_test_files.h"

namespace murmex {
namespace {

using namespace murmex::testing;

TEST(CliSaveMode, FlagsSetTheMethodAndTheSaveMode) {
    struct Case {
        std::vector<std::string> args;
        NoiseReductionMethod method;
        bool learn;
        bool aligned;
        std::optional<std::pair<double, double>> stretch;
    };
    const Case cases[] = {
        {{"in.wav"}, kDefaultMethod, false, false, std::nullopt},
        {{"--method", "adaptive", "in.wav"}, NoiseReductionMethod::Adaptive, false, false, std::nullopt},
        {{"--method=Classic", "--learn", "in.wav"}, NoiseReductionMethod::Classic, true, false, std::nullopt},
        {{"--aligned", "--noise-from", "0.5-2", "in.wav"}, kDefaultMethod, false, true, std::pair{0.5, 2.0}},
    };
    for (const Case& c : cases) {
        const CliParseResult r = ParseCommandLine(c.args);
        SCOPED_TRACE(::testing::PrintToString(c.args));
        ASSERT_EQ(r.Kind, CliParseResult::Action::Run) << r.Error;
        EXPECT_EQ(r.Options.Method, c.method);
        EXPECT_EQ(r.Options.Save.LearnNoiseFirst, c.learn);
        EXPECT_EQ(r.Options.Save.Aligned, c.aligned);
        EXPECT_EQ(r.Options.Save.NoiseFrom, c.stretch);
    }
}

// The default method is the window's; --method classic is the original engine, byte for byte.
TEST(CliSaveMode, DefaultMethodIsTheProductsAndClassicIsTheOriginalEngine) {
    TempFolder dir;
    WriteWav(dir.path() / "in.wav", NoisyTone(30000, 2), 44100, 2);
    const auto engine = [&](NoiseReductionMethod method) {
        ExportRig rig;
        rig.Load(dir.path() / "in.wav");
        rig.Options.Method = method;
        EXPECT_TRUE(rig.Save(dir / "engine.wav"));
        return ReadFile(dir.path() / "engine.wav");
    };
    const auto cli = [&](std::vector<std::string> args) {
        args.insert(args.end(), {"--quiet", "--force", "-o", dir / "cli.wav", dir / "in.wav"});
        EXPECT_EQ(RunCli(args).ExitCode, 0);
        return ReadFile(dir.path() / "cli.wav");
    };
    const auto classic = engine(NoiseReductionMethod::Classic);
    EXPECT_EQ(cli({"--method", "classic"}), classic);
    EXPECT_EQ(cli({}), engine(kDefaultMethod));
    EXPECT_NE(cli({}), classic);
}

TEST(CliSaveMode, WrongValuesAreUsageErrorsNamingThem) {
    struct Case {
        std::vector<std::string> args;
        std::string expected;
    };
    const Case cases[] = {
        {{"--method", "fancy", "in.wav"}, "unknown method 'fancy' (classic or adaptive)"},
        {{"--method"}, "option --method needs a value"},
        {{"--noise-from", "2-1", "in.wav"}, "not '2-1'"},
        {{"--noise-from", "-1-2", "in.wav"}, "not '-1-2'"},
        {{"--noise-from", "a-b", "in.wav"}, "not 'a-b'"},
        {{"--noise-from", "3", "in.wav"}, "START-END in seconds"},
        {{"--noise-from", "1-nan", "in.wav"}, "not '1-nan'"},
        {{"--learn=yes", "in.wav"}, "option --learn takes no value"},
    };
    for (const Case& c : cases) {
        const CliParseResult r = ParseCommandLine(c.args);
        SCOPED_TRACE(::testing::PrintToString(c.args));
        EXPECT_EQ(r.Kind, CliParseResult::Action::UsageError);
        EXPECT_TRUE(Contains(r.Error, c.expected)) << r.Error;
    }
    // The program itself: exit status 2, the reason on stderr, the options in --help.
    const CliResult run = RunCli({"--method", "fancy", "in.wav"});
    EXPECT_EQ(run.ExitCode, 2);
    EXPECT_TRUE(Contains(run.Err, "unknown method 'fancy'")) << run.Err;
    for (const char* option : {"--method M", "--learn", "--noise-from S-E", "--aligned"}) {
        EXPECT_TRUE(Contains(UsageText(), option)) << option;
    }
}

TEST(CliSaveMode, SavesAlignedAfterLearningAndRefusesAStretchBeyondTheSource) {
    TempFolder dir;
    const auto source = NoisyTone(30000, 2);
    WriteWav(dir.path() / "in.wav", source, 44100, 2);

    auto r = RunCli({"--quiet", "--method", "adaptive", "--learn", "--aligned", "-o", dir / "out.wav", dir / "in.wav"});
    ASSERT_EQ(r.ExitCode, 0) << r.Err;
    ExpectConsistentWav(dir.path() / "out.wav", static_cast<uint32_t>(source.size() * 2));

    r = RunCli({"--quiet", "--noise-from", "0.2-0.9", "-o", dir / "far.wav", dir / "in.wav"});
    EXPECT_EQ(r.ExitCode, 1);
    EXPECT_TRUE(Contains(r.Err, dir / "in.wav" + ": the noise stretch 0.2-0.9 s reaches beyond the end of the source"))
        << r.Err;
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "far.wav"));
}

}  // namespace
}  // namespace murmex
