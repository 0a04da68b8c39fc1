// lilv's own command-line host, lv2apply, runs the bundle over WAV files.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "plugin/plugin_ports.h"
#include "plugin_test_support.h"

namespace murmex::test {
namespace {

TEST(Lv2apply, OutputIsTheEnginesOneBlockLater) {
#ifdef MURMEX_SANITIZED
    GTEST_SKIP() << "lv2apply is not built with the sanitizer the plugin is";
#endif
    struct Case {
        const char* uri;
        int channels;
        NoiseReductionMethod method;
    };
    const Case cases[] = {{kMonoPluginUri, 1, NoiseReductionMethod::Classic},
                          {kMonoPluginUri, 1, NoiseReductionMethod::Adaptive},
                          {kStereoPluginUri, 2, NoiseReductionMethod::Classic},
                          {kStereoPluginUri, 2, NoiseReductionMethod::Adaptive}};
    const std::filesystem::path folder = std::filesystem::temp_directory_path() /
                                         ("murmex-lv2apply-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    for (const Case& c : cases) {
        const bool adaptive = c.method == NoiseReductionMethod::Adaptive;
        SCOPED_TRACE(std::string(c.uri) + ", " + std::string(MethodName(c.method)));
        const std::vector<int16_t> input = TestSignal(c.channels, static_cast<size_t>(2.5 * kTestRate), 21);
        const std::string in = (folder / "in.wav").string();
        const std::string out = (folder / "out.wav").string();
        std::filesystem::remove(out);
        WriteFloatWav(in, input, c.channels, static_cast<int>(kTestRate));
        const std::string command = std::string("lv2apply -i '") + in + "' -o '" + out + "' -c method " +
                                    (adaptive ? "1" : "0") + " -c bias 3 -c detail 1 " + c.uri;
        ASSERT_EQ(std::system(command.c_str()), 0) << command;

        const std::vector<float> output = ReadFloatWav(out);
        ASSERT_EQ(output.size(), input.size());
        const std::vector<ControlChange> settings{{0, kPortMethod, adaptive ? 1.0f : 0.0f},
                                                  {0, kPortBias, 3.0f},
                                                  {0, kPortDetail, 1.0f}};
        std::string where;
        EXPECT_EQ(CountMismatches(output, EngineOutput(c.channels, input, settings), c.channels, where), 0u)
            << where;
    }
    std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace murmex::test
