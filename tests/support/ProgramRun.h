// Runs a program through the shell and keeps its exit status and both outputs.
#pragma once

#include <string>

namespace kestrane::testing {

struct ProgramRun {
    int status = -1;  // -1 when it did not exit normally
    std::string out;
    std::string err;
};

// `commandLine` is passed to the shell; do not redirect its outputs.
ProgramRun RunProgram(const std::string& commandLine);

}  // namespace kestrane::testing
