#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "cli/batch_runner.h"
#include "cli/cli_options.h"
#include "cli/escaped_text.h"
#include "cli/interrupt.h"

int main(int argc, char** argv) {
    using namespace murmex;
    const CliParseResult parsed = ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
    switch (parsed.Kind) {
        case CliParseResult::Action::Help: std::fputs(UsageText().c_str(), stdout); return 0;
        case CliParseResult::Action::Version: std::printf("murmex-cli %s\n", MURMEX_VERSION); return 0;
        case CliParseResult::Action::UsageError:
            PrintLine(stderr, "murmex-cli: " + parsed.Error);
            std::fputs("Try 'murmex-cli --help' for more information.\n", stderr);
            return 2;
        case CliParseResult::Action::Run: break;
    }
    InstallCountingInterruptHandler();
    try {
        BatchRunner batch(parsed.Options);
        return batch.Run();
    } catch (const std::exception& e) {
        PrintLine(stderr, std::string("murmex-cli: ") + e.what());
    }
    return 1;
}
