// One line per event on stderr, for journald and for a person at a terminal.
// Lines from different threads never interleave. Tests may divert the lines
// to see what was logged.
#pragma once

#include <functional>
#include <string_view>

namespace kestrane::bridge {

// Writes `line` and a newline to stderr (or to the diverted receiver) in one
// piece. `line` should not end with a newline.
void BridgeLog(std::string_view line);

// Sends every later line to `receiver` instead of stderr; an empty function
// restores stderr. The receiver is called under the log's lock, from whichever
// thread logged.
void DivertBridgeLog(std::function<void(std::string_view)> receiver);

}  // namespace kestrane::bridge
