#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "cli/cli_options.h"
#include "cli/cli_runner.h"
#include "cli/interrupt.h"
#include "pipeline/main_thread_queue.h"
#include "source/bass.h"

int main(int argc, char** argv) {
    using namespace murmex;
    const CliParseResult parsed = ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
    switch (parsed.Kind) {
        case CliParseResult::Action::Help: std::fputs(UsageText().c_str(), stdout); return 0;
        case CliParseResult::Action::Version: std::printf("murmex-cli %s\n", MURMEX_VERSION); return 0;
        case CliParseResult::Action::UsageError:
            std::fprintf(stderr, "murmex-cli: %s\nTry 'murmex-cli --help' for more information.\n",
                         parsed.Error.c_str());
            return 2;
        case CliParseResult::Action::Run: break;
    }

    MainThreadQueue::Instance().BindToCurrentThread();
    InstallInterruptHandler();
    // Device 0: decoding only, so the program runs on machines without sound.
    if (!BASS_Init(0, 44100, 0, nullptr, nullptr)) {
        std::fputs("murmex-cli: the audio decoding library could not be started\n", stderr);
        return 1;
    }
    int status = 1;
    try {
        CliRunner runner(parsed.Options);
        status = runner.Run();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "murmex-cli: %s\n", e.what());
    }
    BASS_Free();
    return status;
}
