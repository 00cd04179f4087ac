// kestrane-cli: headless access to the controller: `read` and `settings` on
// the fast bus master, `watch` on the same engine as the window, `ports` and
// `doctor` for a link that does not work.
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

    switch (options.command) {
        case Command::kRead:
            return RunRead(options, interrupted);
        case Command::kWatch:
            return RunWatch(options, interrupted);
        case Command::kPorts:
            return RunPorts(options);
        case Command::kDoctor:
            return RunDoctor(options, interrupted);
        case Command::kSettings:
            return RunSettings(options);
        case Command::kHistory:
            return RunHistory(options);
    }
    return kExitUsage;
}
