// Where the program lives and where it keeps its settings.
#pragma once

#include <string>

namespace kestrane {

// Directory of the running executable, with a trailing '/'.
std::string ExecutableDirectory();
// The executable's directory when it is writable, else ~/.config/kestrane/
// (created when missing); with a trailing '/'.
std::string ConfigDirectory();

}  // namespace kestrane
