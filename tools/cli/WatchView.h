// The live values as the window shows them, laid out for a terminal: each
// value with the window's caption in front, one line per value.
#pragma once

#include <string>
#include <vector>

#include "monitor/DisplayText.h"

namespace kestrane::cli {

// `texts` are the texts of one monitor pass; `sent` and `received` the link
// counters the window shows beside them.
std::string WatchScreen(const std::vector<ControlText>& texts, int sent, int received,
                        bool english);

}  // namespace kestrane::cli
