// Reading a password from stdin: one line, not echoed when stdin is a
// terminal (the terminal's settings are restored afterwards).
#pragma once

#include <string>

namespace kestrane::bridge {

// False at the end of input with nothing read. A trailing CR is dropped.
bool ReadHiddenLine(std::string* line);

}  // namespace kestrane::bridge
