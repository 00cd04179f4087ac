// The questions of kestrane-bridge setup: each printed on stdout with its
// default in brackets, answered by one line of stdin; Enter takes the
// default. The end of input throws EndOfInput, which ends the setup before
// anything is written.
#pragma once

#include <stdexcept>
#include <string>

namespace kestrane::bridge {

struct EndOfInput : std::runtime_error {
    EndOfInput() : std::runtime_error("end of input") {}
};

class SetupPrompter {
public:
    std::string Ask(const std::string& question, const std::string& fallback);
    bool AskYesNo(const std::string& question, bool fallback);
    // Asks again until the answer is a whole number in [low, high].
    int AskNumber(const std::string& question, int fallback, int low, int high);
    // Not echoed on a terminal, where it is asked twice; empty is allowed.
    std::string AskPassword(const std::string& question);

private:
    std::string ReadLine();
};

}  // namespace kestrane::bridge
