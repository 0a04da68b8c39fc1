#include "cli/cli_options.h"
#include "cli/output_namer.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace murmex {
namespace {

CliParseResult Parse(std::vector<std::string> args) { return ParseCommandLine(args); }

TEST(CliOptions, DefaultsAndEveryOption) {
    auto r = Parse({"in.wav"});
    ASSERT_EQ(r.Kind, CliParseResult::Action::Run);
    EXPECT_EQ(r.Options.Format, "wav");
    EXPECT_EQ(r.Options.BiasDb, 0);
    EXPECT_EQ(r.Options.Reduction, 600);

    r = Parse({"-d", "out", "-f", "MP3", "-b", "192", "--bias", "-5", "--reduction=900", "--detail",
               "--dc-offset", "--capture-minima", "--force", "--quiet", "a.mp3", "b.ogg"});
    ASSERT_EQ(r.Kind, CliParseResult::Action::Run) << r.Error;
    const CliOptions& o = r.Options;
    EXPECT_EQ(o.OutputDir, "out");
    EXPECT_EQ(o.Format, "mp3");
    EXPECT_EQ(o.Kbps, "192");
    EXPECT_EQ(o.BiasDb, -5);
    EXPECT_EQ(o.Reduction, 900);
    EXPECT_TRUE(o.Detail && o.DcOffset && o.CaptureMinima && o.Force && o.Quiet);
    EXPECT_FALSE(o.Info);
    EXPECT_EQ(o.Inputs, (std::vector<std::string>{"a.mp3", "b.ogg"}));
}

TEST(CliOptions, FormatFollowsOutputExtensionUnlessGiven) {
    EXPECT_EQ(Parse({"-o", "x.OGG", "in.wav"}).Options.Format, "ogg");
    EXPECT_EQ(Parse({"-o", "x.flac", "in.wav"}).Options.Format, "wav");
    EXPECT_EQ(Parse({"-o", "x.ogg", "-f", "wma", "in.wav"}).Options.Format, "wma");
    auto r = Parse({"-o", "x.mp3", "-q", "3", "in.wav"});
    ASSERT_EQ(r.Kind, CliParseResult::Action::Run) << r.Error;
    EXPECT_EQ(r.Options.VbrQuality, 3);
}

TEST(CliOptions, HelpVersionAndDashDash) {
    EXPECT_EQ(Parse({"--help"}).Kind, CliParseResult::Action::Help);
    EXPECT_EQ(Parse({"-h", "x.wav"}).Kind, CliParseResult::Action::Help);
    EXPECT_EQ(Parse({"--version"}).Kind, CliParseResult::Action::Version);
    auto r = Parse({"--", "-odd.wav"});
    ASSERT_EQ(r.Kind, CliParseResult::Action::Run);
    EXPECT_EQ(r.Options.Inputs, std::vector<std::string>{"-odd.wav"});
    r = Parse({"-j", "3", "--timeout=2.5", "--skip-existing", "-", "-o", "-"});
    ASSERT_EQ(r.Kind, CliParseResult::Action::Run) << r.Error;
    EXPECT_EQ(r.Options.Jobs, 3);
    EXPECT_EQ(r.Options.TimeoutSeconds, 2.5);
    EXPECT_TRUE(r.Options.SkipExisting && r.Options.WritesStdout());
    EXPECT_FALSE(r.Options.Json);
    EXPECT_EQ(r.Options.Inputs, std::vector<std::string>{"-"});
}

TEST(CliOptions, UsageErrorsSayWhatIsWrong) {
    struct Case {
        std::vector<std::string> args;
        std::string expected;
    };
    const Case cases[] = {
        {{}, "no input file given"},
        {{"--frobnicate", "a.wav"}, "unknown option '--frobnicate'"},
        {{"a.wav", "-o"}, "option -o needs a value"},
        {{"-f", "flac", "a.wav"}, "unknown format 'flac'"},
        {{"-f", "mp3", "-b", "100", "a.wav"}, "bitrate must be 96, 128, 160, 192, 256 or 320"},
        {{"-f", "mp3", "-q", "10", "a.wav"}, "VBR quality must be a whole number from 1 to 9"},
        {{"--bias", "21", "a.wav"}, "noise bias level must be a whole number from -20 to 20"},
        {{"--reduction", "6x0", "a.wav"}, "reduction level must be a whole number from 100 to 1100"},
        {{"-o", "x.wav", "a.wav", "b.wav"}, "--output names one file"},
        {{"-o", "x.wav", "-d", "out", "a.wav"}, "cannot be used together"},
        {{"-f", "mp3", "-b", "128", "-q", "2", "a.wav"}, "either --kbps or --vbr"},
        {{"-b", "128", "a.wav"}, "apply to mp3, ogg and wma only"},
        {{"--force=yes", "a.wav"}, "takes no value"},
        {{"-o", "outdir/", "a.wav"}, "use --output-dir"},
        {{"-j", "0", "a.wav"}, "the number of jobs must be a whole number from 1 to 256, not '0'"},
        {{"--timeout", "0", "a.wav"}, "--timeout takes a number of seconds above 0, not '0'"},
        {{"--json", "-o", "-", "a.wav"}, "--json and -o - both write to standard output"},
        {{"-o", "-", "-f", "ogg", "a.wav"}, "-o - writes WAV only"},
        {{"-", "-d", "out", "-"}, "standard input (\"-\") can be read only once"},
        {{"--info", "--json", "a.wav"}, "cannot be used with --json"},
    };
    for (const Case& c : cases) {
        auto r = Parse(c.args);
        EXPECT_EQ(r.Kind, CliParseResult::Action::UsageError) << c.expected;
        EXPECT_NE(r.Error.find(c.expected), std::string::npos) << r.Error;
    }
}

TEST(OutputNamer, TagNameElseCleanSuffixNeverTwiceNorAnInput) {
    namespace fs = std::filesystem;
    const fs::path dir = fs::temp_directory_path() / "murmex-namer-test";
    fs::remove_all(dir);
    fs::create_directories(dir / "a");
    fs::create_directories(dir / "b");
    const std::string a = (dir / "a" / "take.wav").string();
    const std::string b = (dir / "b" / "take.wav").string();
    const std::string clash = (dir / "take-clean.wav").string();
    std::ofstream(clash) << "x";

    OutputNamer namer({a, b, clash});
    const std::string out = dir.string();
    EXPECT_EQ(namer.InFolder(out, "Band - Song", a, "mp3"), (dir / "Band - Song.mp3").string());
    EXPECT_EQ(namer.InFolder(out, "Band - Song", b, "mp3"), (dir / "Band - Song (2).mp3").string());
    // take-clean.wav is itself an input of the run, so it is never chosen as an output.
    EXPECT_EQ(namer.InFolder(out, "", a, "wav"), (dir / "take-clean (2).wav").string());
    EXPECT_EQ(namer.InFolder(out, "", b, "wav"), (dir / "take-clean (3).wav").string());
    fs::remove_all(dir);
}

}  // namespace
}  // namespace murmex
