// The main window's part of the colour themes that needs no widgets: the
// stored theme, which logo shows, and the background SAVE button (1257).
#pragma once

#include <string>

#include "protocol/SharedState.h"
#include "ui/ControlAccess.h"

namespace kestrane {

// "Colour"/"BackColour" as a decimal integer ("NULL" and text without leading
// digits give 0); 0 when the settings file does not exist. Read once at start.
int ReadColourIndex(const std::string& configFilePath);

// Hides the five logos and the fixed caption 1272, shows the logo of the
// theme (none outside 0 to 4), then shows the caption again.
void ShowThemeLogo(IControlAccess& controls, int colourIndex);

// Button 1257: takes the selection of the theme list that is shown (-1 when
// none), stores it in colourIndex and in the settings file, and tells the
// operator to restart. Dialog colours and the logo keep the theme of the
// start; the message line and group titles may follow at their next repaint.
void OnSaveBackground(IControlAccess& controls, SharedState& state,
                      const std::string& configFilePath);

}  // namespace kestrane
