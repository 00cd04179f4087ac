// Starting a program of this build from a test. A cross-built program runs
// on the build machine through the emulator CMake names for it (qemu-user):
// the kernel may have no binfmt_misc entry that would run it by itself, and
// a shell handed a foreign executable would read it as a script.
#pragma once

#include <string>
#include <vector>

namespace kestrane::testing {

// The emulator's words (none for a native build), `program`, then `arguments`.
std::vector<std::string> TargetProgramArguments(const std::string& program,
                                                const std::vector<std::string>& arguments = {});

// The same words as the start of a shell command line, each one quoted.
std::string TargetProgramCommand(const std::string& program);

}  // namespace kestrane::testing
