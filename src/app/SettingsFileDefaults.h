// The settings file's defaults: at process start a missing file is created,
// and a file that lacks some of the three settings (a start that was killed
// while writing them with an older version) is completed, with colour theme
// "1", which takes effect from the next run; should the file vanish before
// the window starts, the window writes them with colour theme "0".
#pragma once

#include <string>

#include "protocol/SharedState.h"
#include "ui/tables/StoredSettings.h"

namespace kestrane {

// Writes Language=ENGLISH, ADDR=1 and BackColour=colourIndexText to `path` in
// one replace of the file and sets the language flag to English.
void WriteDefaultSettings(const std::string& path, const char* colourIndexText,
                          SharedState& shared);

// Writes the defaults of the settings that stored lacks (WriteMissingSettings)
// and sets the language flag to the stored one, or to the default English
// when it was missing.
void CompleteSettings(const std::string& path, const StoredSettings& stored,
                      const char* colourIndexText, SharedState& shared);

}  // namespace kestrane
