// The settings file's defaults, written when Configfiles.ini is missing: at
// process start (colour theme "1", which takes effect from the next run) and,
// should the file vanish in between, at window start (colour theme "0").
#pragma once

#include <string>

#include "protocol/SharedState.h"

namespace kestrane {

// Writes Language=ENGLISH, ADDR=1 and BackColour=colourIndexText to `path`
// and sets the language flag to English.
void WriteDefaultSettings(const std::string& path, const char* colourIndexText,
                          SharedState& shared);

}  // namespace kestrane
