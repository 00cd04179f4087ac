// kestrane-cli: headless access to the controller: `read` and `settings` on
// the fast bus master, `watch` on the same engine as the window.
#include <signal.h>

#include <atomic>

#include "Commands.h"
#include "SettingsCommand.h"

namespace {

std::atomic<bool> interrupted{false};

extern "C" void OnInterrupt(int) {
    interrupted.store(true);
}

}  // namespace

int main(int argc, char** argv) {
    using namespace kestrane::cli;
    static_assert(std::atomic<bool>::is_always_lock_free);

    CliOptions options;
    if (const int status = ParseCommandLine(argc, argv, options); status != kParsed) return status;

    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);

    if (options.command == Command::kSettings) return RunSettings(options);
    return options.command == Command::kRead ? RunRead(options, interrupted)
                                             : RunWatch(options, interrupted);
}
