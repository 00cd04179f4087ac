// The controller's load-control setting as six sentences in the main window
// (lines 1100 and 1112 to 1116, top to bottom).
#pragma once

#include <vector>

#include "monitor/DisplayText.h"
#include "protocol/ControllerData.h"
#include "protocol/LoadModeCodes.h"

namespace kestrane {

// The entries of the window's load-mode lists (the English and the Chinese
// one), in list order. The web page names the modes with them too.
inline constexpr LanguageText kLoadModeListNames[kLoadModeEntries] = {
    {"Light Mode", "光控模式"},
    {"Light&Time Mode", "固定时间光控模式"},
    {"Dual Timer Mode", "双时段定时模式"},
    {"On Mode", "常开模式"},
    {"Off Mode", "常关模式"},
};

// Appends the texts of the six load lines for `loadMode`, top to bottom. A
// line that the mode leaves as it was is not appended: an unknown mode keeps
// lines 1112 and 1116 and empties the others.
//
// Voltages show in volts with one decimal; delays, hours and minutes use the
// low 8 bits of their registers and are not zero-padded (18：5 is five past
// six in the evening).
void AppendLoadModeTexts(const ControllerData& data, bool english, std::vector<ControlText>& out);

}  // namespace kestrane
