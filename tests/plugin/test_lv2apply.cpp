// lilv's command-line host, lv2apply, runs the bundle over float WAV files (sox converts them
// from and to raw samples; 16-bit samples over 32768 pass both ways exactly).
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "plugin/plugin_ports.h"
#include "plugin_host.h"

namespace murmex::test {
namespace {

TEST(Lv2apply, OutputIsTheEnginesOneBlockLater) {
#ifdef MURMEX_SANITIZED
    GTEST_SKIP() << "lv2apply cannot load a plugin built with a sanitizer";
#endif
    const std::filesystem::path folder = std::filesystem::temp_directory_path() / ("murmex-lv2apply-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    const std::string raw = (folder / "samples.raw").string();
    for (const auto& [uri, channels] : {std::pair{kMonoPluginUri, 1}, std::pair{kStereoPluginUri, 2}}) {
        for (const char* method : {"0", "1"}) {
            SCOPED_TRACE(std::string(uri) + ", method " + method);
            const std::vector<int16_t> input = TestSignal(channels, 110000, 21);
            std::vector<float> samples(input.begin(), input.end());
            for (float& s : samples) s /= 32768.0f;
            std::ofstream(raw, std::ios::binary).write(reinterpret_cast<const char*>(samples.data()),
                                                       static_cast<std::streamsize>(samples.size() * 4));
            const std::string format = "-t raw -r 44100 -e floating-point -b 32 -c " + std::to_string(channels);
            const std::string command = "sox -D " + format + " " + raw + " " + (folder / "in.wav").string() +
                                        " && lv2apply -i " + (folder / "in.wav").string() + " -o " + (folder / "out.wav").string() +
                                        " -c method " + method + " -c bias 3 -c detail 1 " + uri + " && sox -D " +
                                        (folder / "out.wav").string() + " " + format + " " + raw;
            ASSERT_EQ(std::system(command.c_str()), 0) << command;
            std::ifstream(raw, std::ios::binary).read(reinterpret_cast<char*>(samples.data()),
                                                      static_cast<std::streamsize>(samples.size() * 4));
            const std::vector<ControlChange> settings{{0, kPortMethod, std::stof(method)}, {0, kPortBias, 3}, {0, kPortDetail, 1}};
            std::string where;
            EXPECT_EQ(CountMismatches(samples, EngineOutput(channels, input, settings), where), 0u) << where;
        }
    }
    std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace murmex::test
