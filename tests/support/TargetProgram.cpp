#include "support/TargetProgram.h"

#include <sstream>

namespace kestrane::testing {

namespace {

// KESTRANE_TARGET_EMULATOR is the emulator's command line with its words
// separated by spaces, empty for a native build.
std::vector<std::string> EmulatorWords() {
    std::vector<std::string> words;
#ifdef KESTRANE_TARGET_EMULATOR
    std::istringstream line(KESTRANE_TARGET_EMULATOR);
    for (std::string word; line >> word;)
        words.push_back(word);
#endif
    return words;
}

std::string ShellQuoted(const std::string& word) {
    std::string quoted = "'";
    for (const char c : word)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

}  // namespace

std::vector<std::string> TargetProgramArguments(const std::string& program,
                                                const std::vector<std::string>& arguments) {
    std::vector<std::string> words = EmulatorWords();
    words.push_back(program);
    words.insert(words.end(), arguments.begin(), arguments.end());
    return words;
}

std::string TargetProgramCommand(const std::string& program) {
    std::string command;
    for (const std::string& word : TargetProgramArguments(program))
        command += (command.empty() ? "" : " ") + ShellQuoted(word);
    return command;
}

}  // namespace kestrane::testing
