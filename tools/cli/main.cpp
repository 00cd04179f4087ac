// kestrane-cli: headless access to the controller through the same engine as
// the window.
#include <signal.h>
#include <atomic>
#include <cstdio>
#include <string>
#include <vector>

#include "Commands.h"

namespace {

std::atomic<bool> interrupted{false};

extern "C" void OnInterrupt(int) {
    interrupted.store(true);
}

}  // namespace

int main(int argc, char** argv) {
    using namespace kestrane::cli;
    static_assert(std::atomic<bool>::is_always_lock_free);

    std::string error;
    const auto options = ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc), error);
    if (!options) {
        std::fprintf(stderr, "kestrane-cli: %s\n%s", error.c_str(), kUsage);
        return kExitUsage;
    }
    if (options->command == Command::kHelp) {
        std::fputs(kUsage, stdout);
        return kExitDone;
    }

    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);

    return options->command == Command::kRead ? RunRead(*options, interrupted)
                                              : RunWatch(*options, interrupted);
}
